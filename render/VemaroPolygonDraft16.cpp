// The polygon drawer's hard-edged drawing routine for PF_Pixel16.
#include "VemaroPolygonDrawer.inl"

template void PolygonDrawer::drawDraftT<PF_Pixel16>(PF_LRect b) const;
