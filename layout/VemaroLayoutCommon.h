// Small pieces the bounded and unbounded layouts share.
#pragma once

#include "AE_Effect.h"
#include "Parameters.h"

#include <cstddef>

// Elements outside the output are dropped only when nothing can bring them
// back: no repeater copies and no per-shape transition offsets.
inline bool layoutCulls(const Parameters& p) { return p.repeaterType == 1 && p.transitionOrder != 4; }

// The map position step of n elements: the last one at 1.
inline double mapStep(std::size_t n) { return n > 1 ? 1.0 / static_cast<double>(n - 1) : 1.0; }

// in_data's downsample factor as a double; a zero denominator is full resolution.
inline double downsampleFactor(const PF_RationalScale& f) {
    return f.den ? static_cast<double>(f.num) / static_cast<double>(f.den) : 1.0;
}

constexpr double kLayoutPi = 3.14159265358979323846;
