// Rows of pixels blended at once: top[i] = op(bottom[i], top[i]), or with one
// bottom pixel for the whole row. The results are those of the per-pixel
// functions of VemaroBlend.h to the bit; with SSE2 (every x86-64) the common
// modes take several pixels per step (AVX2 twice as many, where the processor
// has it), the rest and other processors go pixel by pixel.
#pragma once

#include "VemaroBlend.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"

#include <cstring>
#include <type_traits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEMARO_BLEND_SSE2 1
#endif

namespace Blend {

namespace rowdetail {

// Exact floor(y / A) from a float product: for integers 0 <= y < 2^19 and
// 1 <= A < 2^24, y * fl((1 + 2^-20) / A) lies in [y / A, floor(y / A) + 1):
// the bias outweighs both roundings (2^-23 together) and stays below 1 / A
// over the whole range of y. The blend tests check it for every y and A the
// 8-bit rows use.
constexpr float kQuotientBias = 1.0f + 0x1p-20f;
inline float biasedReciprocal(float A) { return kQuotientBias / A; }
inline uint32_t biasedQuotient(uint32_t y, float reciprocal) {
    return static_cast<uint32_t>(static_cast<float>(y) * reciprocal);
}

// The same in double: for integers 0 <= x < 2^47 and 1 <= D < 2^53,
// x * fl((1 + 2^-48) / D) lies in [x / D, floor(x / D) + 1).
constexpr double kQuotientBias16 = 1.0 + 0x1p-48;

// Pixels whose operands have alpha 0 take the operand itself, as every mode
// starts with: a transparent bottom gives the top, else a transparent top
// gives the bottom.
template <class P>
inline P transparentCase(const P& bottom, const P& top) {
    return bottom.alpha == 0 ? top : bottom;
}

#if VEMARO_BLEND_SSE2
// ------------------------------------------------------------ 16 bits
// One pixel as two pairs of doubles, (alpha, red) and (green, blue); every
// value below is an integer under 2^53, so the products and sums are exact,
// and the quotients come from kQuotientBias16.
struct Pair16 {
    __m128d ar, gb;
};
// Channels above full are taken as full.
inline Pair16 load16(const PF_Pixel16& p) {
    __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&p));
    v = _mm_sub_epi16(v, _mm_subs_epu16(v, _mm_set1_epi16(static_cast<short>(0x8000))));
    const __m128i w = _mm_unpacklo_epi16(v, _mm_setzero_si128());
    return {_mm_cvtepi32_pd(w), _mm_cvtepi32_pd(_mm_srli_si128(w, 8))};
}
inline void store16(PF_Pixel16& p, const Pair16& q) {
    const __m128i v = _mm_unpacklo_epi64(_mm_cvttpd_epi32(q.ar), _mm_cvttpd_epi32(q.gb));
    const __m128i bias = _mm_set1_epi32(32768);
    const __m128i packed =
        _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(v, bias), v), _mm_set1_epi16(static_cast<short>(0x8000)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&p), packed);
}
// floor(v / 2^S) of non-negative integers v < 2^31 * 2^S.
template <int S>
inline __m128d floorShift(__m128d v) {
    return _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_mul_pd(v, _mm_set1_pd(1.0 / (1 << S)))));
}
inline __m128d selectD(__m128d m, __m128d a, __m128d b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }

inline __m128d screen16(__m128d b, __m128d t) { return _mm_sub_pd(_mm_add_pd(t, b), floorShift<15>(_mm_mul_pd(t, b))); }
inline __m128d twiceScreenLessFull(__m128d b, __m128d t) {
    const __m128d s = screen16(b, t);
    return _mm_sub_pd(_mm_add_pd(s, s), _mm_set1_pd(32768.0));
}
// The separable channel function B(b, t) of a mode on pairs of channels; the
// modes without one go pixel by pixel.
template <BlendMode M>
constexpr bool kChannel16 = M == BlendMode::Add || M == BlendMode::Multiply || M == BlendMode::Screen ||
                            M == BlendMode::Overlay || M == BlendMode::Hardlight || M == BlendMode::Darken ||
                            M == BlendMode::Lighten || M == BlendMode::Difference || M == BlendMode::Exclusion;
template <BlendMode M>
inline __m128d channel16(__m128d b, __m128d t) {
    const __m128d half = _mm_set1_pd(16384.0);
    if constexpr (M == BlendMode::Add) return _mm_add_pd(t, b);
    if constexpr (M == BlendMode::Multiply) return floorShift<15>(_mm_mul_pd(t, b));
    if constexpr (M == BlendMode::Screen) return screen16(b, t);
    if constexpr (M == BlendMode::Overlay)
        return selectD(_mm_cmpge_pd(b, half), twiceScreenLessFull(b, t), floorShift<14>(_mm_mul_pd(t, b)));
    if constexpr (M == BlendMode::Hardlight)
        return selectD(_mm_cmpge_pd(t, half), twiceScreenLessFull(b, t), floorShift<14>(_mm_mul_pd(b, t)));
    if constexpr (M == BlendMode::Darken) return _mm_min_pd(b, t);
    if constexpr (M == BlendMode::Lighten) return _mm_max_pd(b, t);
    if constexpr (M == BlendMode::Difference) return _mm_sub_pd(_mm_max_pd(b, t), _mm_min_pd(b, t));
    if constexpr (M == BlendMode::Exclusion) return _mm_sub_pd(_mm_add_pd(t, b), floorShift<14>(_mm_mul_pd(t, b)));
    return b;
}

template <BlendMode M>
constexpr bool kVector16 = M == BlendMode::Normal || M == BlendMode::AlphaAdd || kChannel16<M>;

// One composite of operands whose alphas are not 0.
template <BlendMode M>
inline void kernel16(const PF_Pixel16& bottom, PF_Pixel16& top) {
    const Pair16 B = load16(bottom), T = load16(top);
    const __m128d full = _mm_set1_pd(32768.0);
    const __m128d ab = _mm_unpacklo_pd(B.ar, B.ar), at = _mm_unpacklo_pd(T.ar, T.ar);
    Pair16 R;
    if constexpr (M == BlendMode::Normal || M == BlendMode::AlphaAdd) {
        __m128d wb;
        if constexpr (M == BlendMode::Normal)
            wb = floorShift<15>(_mm_mul_pd(_mm_sub_pd(full, at), ab));
        else
            wb = ab;
        const __m128d A = _mm_add_pd(at, wb);
        const __m128d inv = _mm_div_pd(_mm_set1_pd(kQuotientBias16), A);
        auto mix = [&](__m128d t, __m128d b) {
            return _mm_min_pd(_mm_mul_pd(_mm_add_pd(_mm_mul_pd(t, at), _mm_mul_pd(b, wb)), inv), full);
        };
        R = {_mm_move_sd(mix(T.ar, B.ar), _mm_min_pd(A, full)), mix(T.gb, B.gb)};
    } else {
        const __m128d Wt = _mm_mul_pd(_mm_sub_pd(full, ab), at);
        const __m128d Wb = _mm_mul_pd(_mm_sub_pd(full, at), ab);
        const __m128d W2 = _mm_mul_pd(at, ab);
        const __m128d A = _mm_add_pd(ab, floorShift<15>(Wt));
        const __m128d inv = _mm_div_pd(_mm_set1_pd(kQuotientBias16), _mm_mul_pd(A, full));
        auto mix = [&](__m128d t, __m128d b) {
            const __m128d x =
                _mm_add_pd(_mm_add_pd(_mm_mul_pd(t, Wt), _mm_mul_pd(b, Wb)), _mm_mul_pd(channel16<M>(b, t), W2));
            return _mm_min_pd(_mm_mul_pd(x, inv), full);
        };
        R = {_mm_move_sd(mix(T.ar, B.ar), _mm_min_pd(A, full)), mix(T.gb, B.gb)};
    }
    store16(top, R);
}

#endif

}  // namespace rowdetail

#if VEMARO_BLEND_SSE2
// The SSE2 operations the row kernels are written in.
namespace sse2 {
struct V {
    using I = __m128i;
    using F = __m128;
    static constexpr int kLanes16 = 8;
    static constexpr int kLanesF = 4;
    static constexpr int kAllBytes = 0xFFFF, kAllFloats = 0xF;
    static F cmpeqF(F a, F b) { return _mm_cmpeq_ps(a, b); }
    static F cmpltF(F a, F b) { return _mm_cmplt_ps(a, b); }
#define VEMARO_MM(op) _mm_##op
#define VEMARO_MMSI(op) _mm_##op##_si128
#include "VemaroSimdOps.inl"
#undef VEMARO_MM
#undef VEMARO_MMSI
};
}  // namespace sse2
#define VEMARO_SIMD_NS sse2
#include "VemaroBlendKernels.inl"
#undef VEMARO_SIMD_NS
#endif

#if VEMARO_HAVE_AVX2
// The same kernels over 256-bit vectors, in their own file; each returns how
// many pixels it did (whole groups of the modes it has kernels for).
namespace avx2 {
A_long rows(BlendMode mode, bool uniform, const PF_Pixel* bottom, PF_Pixel* top, A_long n);
A_long rows(BlendMode mode, bool uniform, const PF_Pixel16* bottom, PF_Pixel16* top, A_long n);
A_long rows(BlendMode mode, bool uniform, const PF_PixelFloat* bottom, PF_PixelFloat* top, A_long n);
}  // namespace avx2
#endif

namespace rowdetail {

template <BlendMode M, bool kUniform, class P>
inline void blendRow(const P* bottom, P* top, A_long n) {
    A_long i = 0;
#if VEMARO_BLEND_SSE2
#if VEMARO_HAVE_AVX2
    if (simd::useAvx2())
        i = avx2::rows(M, kUniform, bottom, top, n);
    else
#endif
        i = sse2::rows<M, kUniform>(bottom, top, n);
#endif
    const BlendOp<M> op;
    for (; i < n; ++i) top[i] = op(kUniform ? *bottom : bottom[i], top[i]);
}

}  // namespace rowdetail

// top[i] = op(bottom[i], top[i]) for i in [0, n).
template <BlendMode M, class P>
inline void blendRow(BlendOp<M>, const P* bottom, P* top, A_long n) {
    rowdetail::blendRow<M, false>(bottom, top, n);
}
// top[i] = op(bottom, top[i]) for i in [0, n).
template <BlendMode M, class P>
inline void blendRowBeneath(BlendOp<M>, const P& bottom, P* top, A_long n) {
    rowdetail::blendRow<M, true>(&bottom, top, n);
}

// An element's pixel beneath the columns [from, to) of an output row:
// row[c] = op(element, row[c]). A transparent element leaves the row as it is.
template <BlendMode M, class P>
inline void blendSpan(BlendOp<M> op, const P& element, P* row, A_long from, A_long to) {
    if (element.alpha == 0) return;
    // Short runs, most of a small element's, are not worth the call: over a
    // transparent output pixel every mode gives the element's pixel.
    constexpr A_long kShort = 16;
    if (to - from >= kShort) return blendRowBeneath(op, element, row + from, to - from);
    for (A_long c = from; c < to; ++c) {
        P& o = row[c];
        if (o.alpha == 0)
            o = element;
        else if (!(BlendOp<M>::template keepsOpaqueTop<P>() && o.alpha == raster::fullAlpha<P>()))
            o = op(element, o);
    }
}

}  // namespace Blend
