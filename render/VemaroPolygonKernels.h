// The interior runs of a polygon: one pixel beneath a run of an output row.
// Blending any pixel beneath a transparent output pixel gives that pixel in
// every mode, and normal mode keeps an opaque top at 8 bits and in float, so
// most of a run is plain stores of the pixel or nothing at all: the kernels
// check a vector of output alphas at a time and write the pixel directly, and
// only vectors holding other alphas go through the blend. Compiled for each
// vector level (SSE2, AVX2, AVX-512) and chosen at run time by simd::level();
// every level gives the same bytes as blending pixel by pixel.
#pragma once

#include "AE_Effect.h"
#include "VemaroBlend.h"
#include "VemaroBlendRow.h"

#include <algorithm>

namespace polyspans {

// Writes `element` into the pixels of row[0, n) whose alpha is 0 and, when
// keepOpaque, leaves those whose alpha is full, a vector at a time. Stops at
// the first vector holding any other alpha and returns its index (n when the
// whole run is done; also less than n for a short end the level cannot take
// whole).
template <class P>
using FillFn = A_long (*)(P* row, A_long n, const P& element, bool keepOpaque);

// The kernel of the current simd::level(), or of a given level.
template <class P>
FillFn<P> fillKernel();
template <class P>
FillFn<P> fillKernelAt(simd::Level level);

// Runs shorter than this go pixel by pixel: a vector's set-up would cost more.
constexpr A_long kShortRun = 8;
// A vector of other alphas is blended with this many pixels after it: such
// pixels come in stretches (overlapping elements).
constexpr A_long kMixedRun = 32;

// row[c] = op(element, row[c]) for c in [from, to), the same bytes as the
// per-pixel blend; `fill` is the kernel the caller took once per band.
template <BlendMode M, class P>
inline void beneath(FillFn<P> fill, BlendOp<M> op, const P& element, P* row, A_long from, A_long to) {
    if (element.alpha == 0) return;
    if (to - from < kShortRun) return Blend::blendSpan(op, element, row, from, to);
    constexpr bool keep = BlendOp<M>::template keepsOpaqueTop<P>();
    A_long c = from;
    while (c < to) {
        c += fill(row + c, to - c, element, keep);
        if (c >= to) return;
        const A_long end = std::min(to, c + kMixedRun);
        Blend::blendSpan(op, element, row, c, end);
        c = end;
    }
}

}  // namespace polyspans
