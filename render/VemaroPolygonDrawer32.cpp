// The polygon drawer's anti-aliased drawing routine for PF_PixelFloat.
#include "VemaroPolygonDrawer.inl"

template void PolygonDrawer::drawT<PF_PixelFloat>(PF_LRect b) const;
