// The outline walk of the Rectangle layout, shared with its tests.
#pragma once

#include "AE_Effect.h"
#include "Vector.h"

// The point at fraction t of the outline of a w x h rectangle with corner
// radius r (at most half the smaller side), relative to its centre before
// rotation, walked clockwise on screen from the top-left corner (the middle
// of its arc when rounded); `angle` is the direction of travel in radians.
Vector getRectanglePoint(const PF_InData* in_data, double t, double w, double h, double r, double* angle);
