// The per-pixel arithmetic of the circle and line edges over runs of a row,
// written once (VemaroSpanKernels.inl) and compiled for each vector level:
// plain C++, AVX2 and AVX-512, chosen at run time by simd::level(). A kernel
// turns a run of columns into the depth's alpha of each pixel; the drawer then
// blends its colour with those alphas. Every level does the same double
// operations in the same order as the plain code (no fused multiply-adds), so
// the alphas, and the pixels, are the same to the bit.
#pragma once

#include "AE_Effect.h"
#include "VemaroRasteriser.h"
#include "VemaroRunKernels.h"

#include <cstdint>
#include <type_traits>

namespace spans {

// Alphas are written a whole vector at a time: an alpha buffer holds this many
// more entries than the run.
constexpr int kPad = 8;
// Runs longer than this are done in pieces of this many columns.
constexpr A_long kChunk = 256;

// The depth an alpha is for: the integer depths' full value (255, 32768), or 0
// for float alphas clamped to [0, 1]. Integer alphas come out as whole numbers.
template <class P>
constexpr double fullOf() {
    if constexpr (std::is_same_v<P, PF_PixelFloat>)
        return 0.0;
    else
        return static_cast<double>(raster::fullAlpha<P>());
}

// A circle's fill: alpha of covOut(d; R) * ringFactor * covIn(d; r) * opacity,
// where d = sqrt(sq[c] + ady2); 0 where the square exceeds bound, and, on rows
// crossing the hole, where dist[c] < innerSafe (the pixel lies in the hole).
struct CircleFill {
    double R, r, ringFactor, opacity, innerSafe, bound, full;
};
// A circle's stroke (strokeOnly) or fill and stroke, d = sqrt(sq[c] + dy2).
// Stroke: the alpha of a b strokeFactor opacity, a and b the coverages of the
// thin ring, outer or inner stroke by d; 0 in the solid part of the ring.
// Fill and stroke: with f = covOut(d; R) ringFactor covIn(d; r), where
// f > 0.999999 the fill's alpha of f opacity and -1 in the second buffer;
// elsewhere the alphas of f and of covOut(d; S) strokeFactor covIn(d; s), to
// be merged. Both 0 where the square exceeds bound.
struct CircleStroke {
    double R, r, s, S, ringFactor, strokeFactor, opacity, bound, full;
    bool strokeOnly, thinRing;
};
// A line: u = |a0 dx + bu| along the axis and v = |a2 dx + bv| across it,
// dx = off[c]. Mode 1 gives the alpha of covOut(u; L) thin covOut(v; T)
// opacity; mode 2 that of (1 - covOut(u; L) covOut(v; T)) covOut(u; Ls)
// covOut(v; Ts) opacity; mode 3 the fill's alpha of covOut(u; L) covOut(v; T)
// and, in the second buffer, the stroke's of covOut(u; Ls) covOut(v; Ts).
struct LineEdge {
    double a0, a2, L, T, Ls, Ts, thin, opacity, full;
    int mode;
};

struct Kernels {
    // alpha[k] for the columns k < n of the tables, which start at the run.
    void (*circleFill)(const CircleFill&, const double* sq, const double* dist, A_long n, double ady2, bool rowInHole,
                       float* alpha);
    // alpha[k] of pixels of several rows none of which crosses the hole,
    // d = sqrt(sq[k] + rowSq[k]): circleFill of each pixel's row.
    void (*circleFillRows)(const CircleFill&, const double* sq, const double* rowSq, A_long n, float* alpha);
    void (*circleStroke)(const CircleStroke&, const double* sq, A_long n, double dy2, float* alpha, float* alpha2);
    void (*line)(const LineEdge&, const double* off, A_long n, double bu, double bv, float* alpha, float* alpha2);
};

// The kernels of the current simd::level().
const Kernels& kernels();
// The plain C++ kernels: for runs too short to repay a vector's set-up.
const Kernels& plainKernels();
// Runs up to this long go to the plain kernels.
constexpr A_long kShortRun = 4;
// The kernels for a run of n pixels.
inline const Kernels& kernelsFor(const Kernels& vector, A_long n) { return n <= kShortRun ? plainKernels() : vector; }

// row[k] = op(element with alpha[k], row[k]) for k < n; alpha 0 leaves the
// pixel, as blending a transparent element beneath anything does. Most edge
// pixels meet a transparent output or another element's opaque interior:
// those take no blend arithmetic.
template <class P, class Op>
inline void blendAlphas(Op op, P element, const float* alpha, P* row, A_long n) {
    using Chan = decltype(element.alpha);
    for (A_long k = 0; k < n; ++k) {
        if (alpha[k] == 0.0f) continue;
        element.alpha = static_cast<Chan>(alpha[k]);
        runs::blendPixel(op, element, row[k]);
    }
}

// row[k] = element with alpha[k] for k < n, over pixels known to be
// transparent: the row is not read, and alpha 0 leaves the pixel clear.
template <class P>
inline void storeAlphas(P element, const float* alpha, P* row, A_long n) {
    using Chan = decltype(element.alpha);
    for (A_long k = 0; k < n; ++k) {
        if (alpha[k] == 0.0f) continue;
        element.alpha = static_cast<Chan>(alpha[k]);
        row[k] = element;
    }
}

}  // namespace spans
