// The polygon drawer's hard-edged drawing routine for PF_PixelFloat.
#include "VemaroPolygonDrawer.inl"

template void PolygonDrawer::drawDraftT<PF_PixelFloat>(PF_LRect b) const;
