// The element hash: the repeatable per-element random value behind sizes,
// opacities, colours, phases, shape choice and random displacement.
#pragma once

#include "AE_Effect.h"
#include "Vector.h"

// fract(sin(((sx + i) + 0.5) * 12.9898 + (((sy + j) + k) + 0.5) * 78.233) * 43758.5453)
// in [0, 1), with the host's sine. k numbers the successive values
// one element draws from one seed.
double patternHash(const PF_InData* in_data, int i, int j, int k, const Vector& seed);

// patternHash(...) * weight, bit for bit, without drawing the hash when the
// weight is zero: the hash is a finite value in [+0, 1), so its product with
// a zero weight is that zero (sign included). Seeds too large for the sum to
// stay finite are drawn as usual.
double patternHashTimes(const PF_InData* in_data, int i, int j, int k, const Vector& seed, double weight);
