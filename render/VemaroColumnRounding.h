// Rounding of a position to a column within [lo, hi], for the per-row
// column searches of the rasterisers.
#pragma once

#include "AE_Effect.h"

namespace raster {

// The column floor(v), floor(v) + 1 or ceil(v) clamped to [lo, hi]. The
// clamps are tested on v itself, so only a v strictly between them becomes an
// integer, and the rounding is that integer corrected by one: the per-row
// searches of small circles spent much of their time in the library's
// rounding, which the portable build cannot do in one instruction.
[[gnu::always_inline]] inline A_long floorIn(double v, A_long lo, A_long hi) {
    if (v < lo + 1.0) return lo;
    if (v >= hi) return hi;
    const A_long t = static_cast<A_long>(v);
    return t - (static_cast<double>(t) > v ? 1 : 0);
}
[[gnu::always_inline]] inline A_long floorPlusOneIn(double v, A_long lo, A_long hi) {
    if (v < lo) return lo;
    if (v >= hi - 1.0) return hi;
    const A_long t = static_cast<A_long>(v);
    return t - (static_cast<double>(t) > v ? 1 : 0) + 1;
}
[[gnu::always_inline]] inline A_long ceilIn(double v, A_long lo, A_long hi) {
    if (v <= lo) return lo;
    if (v > hi - 1.0) return hi;
    const A_long t = static_cast<A_long>(v);
    return t + (static_cast<double>(t) < v ? 1 : 0);
}

}  // namespace raster
