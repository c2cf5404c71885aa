// Tests and a union on the host's integer rectangle.
#pragma once

#include "AE_Types.h"

bool IsEmptyRect(const PF_LRect* r);
void UnionLRect(const PF_LRect* src, PF_LRect* dst);
// Right and bottom count as border pixels here, both ends inclusive.
bool IsEdgePixel(const PF_LRect* r, int x, int y);
