// Geometry shared by the layouts: how far a drawn element can reach from its
// centre (for culling and for limiting repeats), and the rectangle along a
// direction that covers the whole layer (for the layouts that repeat without
// end).
#pragma once

#include "AE_Effect.h"
#include "Vector.h"

#include <cstddef>

struct Parameters;

// The memory one frame's layout may hold, in bytes: the element records it
// keeps for drawing plus the working lists it needs to make them (sample and
// length tables, the scatter grid and its points). Element records are 120
// bytes, so this holds about 17.9 million elements. A setting that needs more
// is refused with PF_Err_OUT_OF_MEMORY before the memory is taken; the frame
// is then not drawn and the input layer is left as it was.
constexpr std::size_t kLayoutMemoryBudget = std::size_t(1) << 31;  // 2 GiB

// Whether `count` items of `bytesEach` bytes fit the budget beside `heldBytes`
// already taken (counts in double, so that no product overflows; NaN fails).
inline bool fitsLayoutBudget(double count, double bytesEach, double heldBytes = 0.0) {
    return count * bytesEach + heldBytes <= static_cast<double>(kLayoutMemoryBudget);
}

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
