// The polygon drawer's hard-edged drawing routine for PF_Pixel.
#include "VemaroPolygonDrawer.inl"

template void PolygonDrawer::drawDraftT<PF_Pixel>(PF_LRect b) const;
