// One element pixel blended beneath runs of an output row: the rule every
// rasteriser (circle, line, polygon) follows for its pixels, and the kernel
// for the long runs where the element's pixel is the same throughout.
// Blending any pixel beneath a transparent output pixel gives that pixel in
// every mode, and normal mode keeps an opaque top at 8 bits and in float, so
// most of a run is plain stores of the pixel or nothing at all: the kernel
// checks a vector of output alphas at a time and writes the pixel directly,
// and only the pixels holding other alphas go through the blend. Compiled for
// each vector level (SSE2, AVX2, AVX-512) and chosen at run time by
// simd::level(); every level gives the same bytes as blending pixel by pixel.
#pragma once

#include "AE_Effect.h"
#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"

namespace runs {

// out = op(px, out) for an element pixel px that is not transparent, without
// the blend's arithmetic where it is not needed: over a transparent output
// pixel every mode gives px, and a mode that keeps an opaque top leaves it.
template <class P, class Op>
VEMARO_INLINE void blendPixel(Op op, const P& px, P& out) {
    if (out.alpha == 0)
        out = px;
    else if (!(Op::template keepsOpaqueTop<P>() && out.alpha == raster::fullAlpha<P>()))
        out = op(px, out);
}

// Writes `element` into the pixels of row[0, n) whose alpha is 0 (a float
// alpha of either zero) and, when keepOpaque, leaves those whose alpha is
// full. Stops at the first pixel that needs a real blend and returns its
// index, having written the pixels before it and nothing from it on; returns
// n when the whole run is done.
template <class P>
using FillFn = A_long (*)(P* row, A_long n, const P& element, bool keepOpaque);

// The kernel of the current simd::level(), or of a given level.
template <class P>
FillFn<P> fillKernel();
template <class P>
FillFn<P> fillKernelAt(simd::Level level);

// Writes `element` into row[0, n) without reading the row: for pixels known
// to be transparent (the element goes there whole in every blend mode).
template <class P>
using StoreFn = void (*)(P* row, A_long n, const P& element);
template <class P>
StoreFn<P> storeKernel();
template <class P>
StoreFn<P> storeKernelAt(simd::Level level);

// Runs shorter than this go pixel by pixel: a vector's set-up would cost more.
constexpr A_long kShortRun = 8;
// Where the kernel stops twice in a row, the output holds other elements'
// pixels over a stretch (overlapping elements): the next this many pixels go
// to the row blend whole.
constexpr A_long kMixedRun = 32;

// row[c] = op(element, row[c]) for c in [from, to), the same bytes as the
// per-pixel blend; `fill` is the kernel the caller took once per band.
template <BlendMode M, class P>
inline void beneath(FillFn<P> fill, BlendOp<M> op, const P& element, P* row, A_long from, A_long to) {
    if (element.alpha == 0) return;
    if (to - from < kShortRun) {
        for (A_long c = from; c < to; ++c) blendPixel(op, element, row[c]);
        return;
    }
    constexpr bool keep = BlendOp<M>::template keepsOpaqueTop<P>();
    // A pixel alone (another element's edge, say) is blended by itself; a
    // second stop straight after it starts a block.
    bool mixed = false;
    while (from < to) {
        const A_long done = fill(row + from, to - from, element, keep);
        from += done;
        if (from >= to) return;
        if (done > 0 || !mixed) {
            row[from] = op(element, row[from]);
            ++from;
            mixed = true;
            continue;
        }
        const A_long end = to - from > kMixedRun ? from + kMixedRun : to;
        Blend::blendSpan(op, element, row, from, end);
        from = end;
    }
}

}  // namespace runs
