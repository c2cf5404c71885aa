// Geometry shared by the layouts: how far a drawn element can reach from its
// centre (for culling and for limiting repeats), and the rectangle along a
// direction that covers the whole layer (for the layouts that repeat without
// end).
#pragma once

#include "AE_Effect.h"
#include "Vector.h"

struct Parameters;

// The culling margin in downsampled pixels: twice the farthest reach of any
// active shape's drawing from its element's centre, 0 when no shape is active.
// Uses the host's sin, cos, acos, fabs and sqrt.
double getMaxSize(PF_InData* in_data, const Parameters* params);

// The smallest rectangle along the direction `angle` (radians) that covers the
// layer (0, 0)-(width, height): origin + a * axisU + b * axisV with
// 0 <= a <= lengthU and 0 <= b <= lengthV. axisU is the unit vector at angle,
// axisV axisU turned a quarter turn. Uses the host's fmod, sin and cos.
void getOriginAndAxis(PF_InData* in_data, double angle, int width, int height, Vector& origin, Vector& axisU,
                      Vector& axisV, double& lengthU, double& lengthV);
