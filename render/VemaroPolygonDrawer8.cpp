// The polygon drawer's anti-aliased drawing routine for PF_Pixel.
#include "VemaroPolygonDrawer.inl"

template void PolygonDrawer::drawT<PF_Pixel>(PF_LRect b) const;
