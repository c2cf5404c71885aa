// The span kernels over 256-bit (AVX2) and 512-bit (AVX-512) vectors. Only the
// code below the target pragmas uses those instructions; it runs only where
// simd::level() allows it.
#include "VemaroSimd.h"
#include "VemaroSpanKernels.h"

#if VEMARO_HAVE_AVX2
#include <immintrin.h>

#include <cstdint>
#include <cstring>

// The operations whose intrinsics differ only in their prefix.
#define VEMARO_SPAN_ARITHMETIC(mm, cmp) \
    static D set1(double v) { return mm##_set1_pd(v); } \
    static D load(const double* p) { return mm##_loadu_pd(p); } \
    static D add(D a, D b) { return mm##_add_pd(a, b); } \
    static D sub(D a, D b) { return mm##_sub_pd(a, b); } \
    static D mul(D a, D b) { return mm##_mul_pd(a, b); } \
    static D sqrt(D a) { return mm##_sqrt_pd(a); } \
    static M le(D a, D b) { return cmp(a, b, _CMP_LE_OQ); } \
    static M ge(D a, D b) { return cmp(a, b, _CMP_GE_OQ); } \
    static M gt(D a, D b) { return cmp(a, b, _CMP_GT_OQ); } \
    static M lt(D a, D b) { return cmp(a, b, _CMP_LT_OQ); }

// The kernels of namespace VEMARO_SPAN_NS, for kernels().
#define VEMARO_SPAN_TABLE(...) \
    namespace VEMARO_SPAN_NS { \
    extern const Kernels kKernels; \
    const Kernels kKernels{&circleFill, &circleStroke, &line, __VA_ARGS__}; \
    }

#pragma GCC push_options
#pragma GCC target("avx2")

namespace spans {
namespace avx2 {
struct V {
    using D = __m256d;
    using M = __m256d;
    static constexpr int kLanes = 4;
    VEMARO_SPAN_ARITHMETIC(_mm256, _mm256_cmp_pd)
    // The first m lanes; the others 0, without touching their memory.
    static D loadPartial(const double* p, int m) {
        const __m256i lanes = _mm256_cmpgt_epi64(_mm256_set1_epi64x(m), _mm256_setr_epi64x(0, 1, 2, 3));
        return _mm256_maskload_pd(p, lanes);
    }
    static D abs(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static D trunc(D a) { return _mm256_round_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static M mor(M a, M b) { return _mm256_or_pd(a, b); }
    static D select(M m, D a, D b) { return _mm256_blendv_pd(b, a, m); }
    static void storeF(float* p, D v) { _mm_storeu_ps(p, _mm256_cvtpd_ps(v)); }
};
}  // namespace avx2

#define VEMARO_SPAN_NS avx2
#include "VemaroSpanKernels.inl"
VEMARO_SPAN_TABLE(nullptr, nullptr, nullptr)
#undef VEMARO_SPAN_NS
}  // namespace spans

#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw")
// GCC 12 flags the deliberately undefined pass-through operand of its own
// 512-bit intrinsics.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

namespace spans {
namespace avx512 {
struct V {
    using D = __m512d;
    using M = __mmask8;
    static constexpr int kLanes = 8;
    VEMARO_SPAN_ARITHMETIC(_mm512, _mm512_cmp_pd_mask)
    static D loadPartial(const double* p, int m) { return _mm512_maskz_loadu_pd(static_cast<M>((1u << m) - 1u), p); }
    static D abs(D a) { return _mm512_abs_pd(a); }
    static D trunc(D a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static M mor(M a, M b) { return static_cast<M>(a | b); }
    static D select(M m, D a, D b) { return _mm512_mask_blend_pd(m, b, a); }
    static void storeF(float* p, D v) { _mm256_storeu_ps(p, _mm512_cvtpd_ps(v)); }
};
}  // namespace avx512

namespace avx512 {
// Whole groups of G pixels of one 512-bit vector: alpha(v) gives a mask of the
// group's transparent pixels and full(v) one of its opaque ones.
template <int G, class P, class Alpha, class Full, class Store>
A_long fillGroups(P* row, A_long n, bool keepFull, Alpha zero, Full full, Store store) {
    constexpr unsigned kAll = (1u << G) - 1u;
    A_long i = 0;
    for (; i + G <= n; i += G) {
        const __m512i v = _mm512_loadu_si512(row + i);
        const unsigned z = zero(v);
        if (z == kAll) {
            store(row + i, kAll);
            continue;
        }
        if (!keepFull || (z | full(v)) != kAll) break;
        if (z) store(row + i, z);
    }
    return i;
}

A_long fill8(const PF_Pixel& element, PF_Pixel* row, A_long n, bool keepFull) {
    uint32_t bits;
    std::memcpy(&bits, &element, sizeof bits);
    const __m512i e = _mm512_set1_epi32(static_cast<int>(bits)), alpha = _mm512_set1_epi32(0xFF);
    return fillGroups<16>(
        row, n, keepFull, [&](__m512i v) { return _mm512_testn_epi32_mask(v, alpha); },
        [&](__m512i v) { return _mm512_cmpeq_epi32_mask(_mm512_and_si512(v, alpha), alpha); },
        [&](PF_Pixel* p, unsigned m) { _mm512_mask_storeu_epi32(p, static_cast<__mmask16>(m), e); });
}
// Opaque 16-bit pixels are not left: normal blending clamps their channels.
A_long fill16(const PF_Pixel16& element, PF_Pixel16* row, A_long n, bool) {
    uint64_t bits;
    std::memcpy(&bits, &element, sizeof bits);
    const __m512i e = _mm512_set1_epi64(static_cast<long long>(bits)), alpha = _mm512_set1_epi64(0xFFFF);
    return fillGroups<8>(
        row, n, false, [&](__m512i v) { return _mm512_testn_epi64_mask(v, alpha); }, [](__m512i) { return 0u; },
        [&](PF_Pixel16* p, unsigned m) { _mm512_mask_storeu_epi64(p, static_cast<__mmask8>(m), e); });
}
// Four pixels of four floats: the masks of their alpha lanes, one bit each.
unsigned alphaLanes(__mmask16 m) { return (m & 1u) | ((m >> 3) & 2u) | ((m >> 6) & 4u) | ((m >> 9) & 8u); }
A_long fill32(const PF_PixelFloat& element, PF_PixelFloat* row, A_long n, bool keepFull) {
    const __m512 e = _mm512_broadcast_f32x4(_mm_loadu_ps(&element.alpha));
    const __m512 zero = _mm512_setzero_ps(), one = _mm512_set1_ps(1.0f);
    return fillGroups<4>(
        row, n, keepFull,
        [&](__m512i v) { return alphaLanes(_mm512_cmp_ps_mask(_mm512_castsi512_ps(v), zero, _CMP_EQ_OQ)); },
        [&](__m512i v) { return alphaLanes(_mm512_cmp_ps_mask(_mm512_castsi512_ps(v), one, _CMP_EQ_OQ)); },
        [&](PF_PixelFloat* p, unsigned m) {
            // Each pixel's four lanes.
            const __mmask16 lanes = static_cast<__mmask16>((m & 1u ? 0x000Fu : 0u) | (m & 2u ? 0x00F0u : 0u) |
                                                           (m & 4u ? 0x0F00u : 0u) | (m & 8u ? 0xF000u : 0u));
            _mm512_mask_storeu_ps(&p->alpha, lanes, e);
        });
}
}  // namespace avx512

#define VEMARO_SPAN_NS avx512
#include "VemaroSpanKernels.inl"
VEMARO_SPAN_TABLE(&fill8, &fill16, &fill32)
#undef VEMARO_SPAN_NS
}  // namespace spans

#pragma GCC diagnostic pop
#pragma GCC pop_options
#undef VEMARO_SPAN_ARITHMETIC
#undef VEMARO_SPAN_TABLE
#endif
