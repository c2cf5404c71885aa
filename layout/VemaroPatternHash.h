// The element hash: the repeatable per-element random value behind sizes,
// opacities, colours, phases, shape choice and random displacement.
#pragma once

#include "AE_Effect.h"
#include "Vector.h"

// fract(sin(((sx + i) + 0.5) * 12.9898 + (((sy + j) + k) + 0.5) * 78.233) * 43758.5453)
// in [0, 1), with the host's sine and floor. k numbers the successive values
// one element draws from one seed.
double patternHash(const PF_InData* in_data, int i, int j, int k, const Vector& seed);
