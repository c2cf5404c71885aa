// The polygon drawer's drawing routines for PF_Pixel.
#include "VemaroPolygonDrawer.inl"

VEMARO_POLYGON_DEPTH(PF_Pixel)
