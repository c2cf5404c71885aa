// The polygon drawer's drawing routines for PF_PixelFloat.
#include "VemaroPolygonDrawer.inl"

VEMARO_POLYGON_DEPTH(PF_PixelFloat)
