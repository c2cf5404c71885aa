// Rows of pixels blended at once: top[i] = op(bottom[i], top[i]), or with one
// bottom pixel for the whole row. The results are those of the per-pixel
// functions of VemaroBlend.h to the bit; with SSE2 (every x86-64) the common
// modes take several pixels per step (AVX2 twice as many and AVX-512 four
// times, where the processor has them), the rest and other processors go
// pixel by pixel.
#pragma once

#include "VemaroBlend.h"
#include "VemaroDoubleLanes.h"
#include "VemaroPowLanes.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"

#include <atomic>
#include <cstring>
#include <limits>
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

// Soft light's float channel function of every pair of 8-bit channels as the
// 8-bit blend converts them, at [b * 256 + t]; made on first use.
const float* softlightTable8();
// The same rounded to 8 bits: the channel of opaque over opaque pixels.
const A_u_char* softlightBytes8();
// log2 of the float of each 16-bit channel c, c / 32768 (0 for c = 0).
const double* softlightLog2Table16();

}  // namespace rowdetail

// Soft light's powers at a level (ns of VemaroPowLanes.h), the library's powf
// to the bit: powF(x, y) of one vector or several side by side; and how the
// level takes them.
#define VEMARO_SOFT_POWERS(ns) \
    VEMARO_POW_INLINE static F powF(F x, F y) { return powlanes::ns::pow(x, y); } \
    template <int N> \
    VEMARO_POW_INLINE static void powF(const F(&x)[N], const F(&y)[N], F(&out)[N]) { \
        powlanes::ns::pow(x, y, out); \
    } \
    static powlanes::Mode powMode() { return powlanes::ns::mode(); }

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
    static F gatherF(const float* base, I index) {
        alignas(16) int32_t k[4];
        _mm_store_si128(reinterpret_cast<I*>(k), index);
        return _mm_setr_ps(base[k[0]], base[k[1]], base[k[2]], base[k[3]]);
    }
#define VEMARO_MM(op) _mm_##op
#define VEMARO_MMSI(op) _mm_##op##_si128
#include "VemaroSimdOps.inl"
#undef VEMARO_MM
#undef VEMARO_MMSI
    // 32-bit lanes; what SSE2 lacks is built from what it has.
    static I sub32(I a, I b) { return _mm_sub_epi32(a, b); }
    template <int S>
    static I slli32(I a) {
        return _mm_slli_epi32(a, S);
    }
    static I cmpgt32(I a, I b) { return _mm_cmpgt_epi32(a, b); }
    static bool allEqual32(I a, I b) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) == 0xFFFF; }
    static I mullo32(I a, I b) {
        const I even = _mm_mul_epu32(a, b), odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                  _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    }
    static I min32(I a, I b) { return pick(_mm_cmpgt_epi32(a, b), b, a); }
    static I max32(I a, I b) { return pick(_mm_cmpgt_epi32(a, b), a, b); }
    static I minu32(I a, I b) {
        const I sign = _mm_set1_epi32(INT32_MIN);
        return pick(_mm_cmpgt_epi32(_mm_xor_si128(a, sign), _mm_xor_si128(b, sign)), b, a);
    }
    // Lanes 0..65535 to unsigned 16 bits.
    static I packus32(I a, I b) {
        const I bias = _mm_set1_epi32(32768);
        return _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(a, bias), _mm_sub_epi32(b, bias)),
                             _mm_set1_epi16(static_cast<short>(0x8000)));
    }

    // Double lanes, for soft light's power bounds: their arithmetic from the
    // shared level (DL); the first and the second half of the float lanes,
    // and back.
    using DL = lanes::Sse2;
    using D = DL::D;
    static F asF(I a) { return _mm_castsi128_ps(a); }
    static D lowD(F f) { return _mm_cvtps_pd(f); }
    static D highD(F f) { return _mm_cvtps_pd(_mm_movehl_ps(f, f)); }
    static D gatherLowD(const double* base, I index) {
        return _mm_setr_pd(base[_mm_cvtsi128_si32(index)], base[_mm_cvtsi128_si32(_mm_srli_si128(index, 4))]);
    }
    static D gatherHighD(const double* base, I index) { return gatherLowD(base, _mm_srli_si128(index, 8)); }
    // 2^k for the integer k that v = k + 1.5 * 2^52 holds in its low bits
    // (as rounding to an integer with that constant leaves it).
    static D exp2BitsD(D v) {
        return _mm_castsi128_pd(_mm_slli_epi64(_mm_add_epi64(_mm_castpd_si128(v), _mm_set1_epi64x(1023)), 52));
    }
    static F floatsD(D low, D high) { return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)); }
    VEMARO_SOFT_POWERS(sse2)

private:
    static I pick(I m, I a, I b) { return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b)); }
};
}  // namespace sse2
#define VEMARO_SIMD_NS sse2
#include "VemaroBlendKernels.inl"
#undef VEMARO_SIMD_NS
#endif

#if VEMARO_HAVE_AVX2
// The same kernels over 256-bit and 512-bit vectors, each set in its own file;
// each returns how many pixels it did (whole groups of the modes it has
// kernels for).
namespace avx2 {
A_long rows(BlendMode mode, bool uniform, const PF_Pixel* bottom, PF_Pixel* top, A_long n);
A_long rows(BlendMode mode, bool uniform, const PF_Pixel16* bottom, PF_Pixel16* top, A_long n);
A_long rows(BlendMode mode, bool uniform, const PF_PixelFloat* bottom, PF_PixelFloat* top, A_long n);
// q[i] = floor(x[i] / A) as the 16-bit rows divide, for the tests; whole
// groups of the set's 32-bit lanes (16 at most), how many were done.
A_long floorQuotients16(int32_t A, const int32_t* x, int32_t* q, A_long n);
// q[i] = floor(y[i] / A) of unsigned dividends, as the 16-bit rows divide
// where the set has double quotients (none here: returns 0).
A_long unsignedFloorQuotients16(int32_t A, const uint32_t* y, int32_t* q, A_long n);
}  // namespace avx2
namespace avx512 {
A_long rows(BlendMode mode, bool uniform, const PF_Pixel* bottom, PF_Pixel* top, A_long n);
A_long rows(BlendMode mode, bool uniform, const PF_Pixel16* bottom, PF_Pixel16* top, A_long n);
A_long rows(BlendMode mode, bool uniform, const PF_PixelFloat* bottom, PF_PixelFloat* top, A_long n);
A_long floorQuotients16(int32_t A, const int32_t* x, int32_t* q, A_long n);
A_long unsignedFloorQuotients16(int32_t A, const uint32_t* y, int32_t* q, A_long n);
}  // namespace avx512
// The 8-bit rows over 512-bit vectors with VBMI and VNNI too, taken at the
// AVX-512 level where the processor has them (supported()) and enabled() lets
// them (the tests run the level with and without).
namespace avx512vbmi {
A_long rows(BlendMode mode, bool uniform, const PF_Pixel* bottom, PF_Pixel* top, A_long n);
bool supported();
inline std::atomic<bool>& allowed() {
    static std::atomic<bool> a{true};
    return a;
}
inline bool enabled() { return allowed().load(std::memory_order_relaxed) && supported(); }
}  // namespace avx512vbmi
#endif

namespace rowdetail {

template <BlendMode M, bool kUniform, class P>
inline void blendRow(const P* bottom, P* top, A_long n) {
    A_long i = 0;
#if VEMARO_BLEND_SSE2
#if VEMARO_HAVE_AVX2
    const simd::Level level = simd::level();
    if (level >= simd::Level::Avx512) {
        if constexpr (std::is_same_v<P, PF_Pixel>)
            i = avx512vbmi::enabled() ? avx512vbmi::rows(M, kUniform, bottom, top, n)
                                      : avx512::rows(M, kUniform, bottom, top, n);
        else
            i = avx512::rows(M, kUniform, bottom, top, n);
    } else if (level >= simd::Level::Avx2)
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
