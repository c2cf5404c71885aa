// The polygon drawer's anti-aliased drawing routine for PF_Pixel16.
#include "VemaroPolygonDrawer.inl"

template void PolygonDrawer::drawT<PF_Pixel16>(PF_LRect b) const;
