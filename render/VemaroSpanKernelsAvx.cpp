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
#define VEMARO_SPAN_TABLE \
    namespace VEMARO_SPAN_NS { \
    extern const Kernels kKernels; \
    const Kernels kKernels{&circleFill, &circleStroke, &line}; \
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
VEMARO_SPAN_TABLE
#undef VEMARO_SPAN_NS
}  // namespace spans

#pragma GCC pop_options

VEMARO_AVX512_BEGIN

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

#define VEMARO_SPAN_NS avx512
#include "VemaroSpanKernels.inl"
VEMARO_SPAN_TABLE
#undef VEMARO_SPAN_NS
}  // namespace spans

VEMARO_AVX512_END
#undef VEMARO_SPAN_ARITHMETIC
#undef VEMARO_SPAN_TABLE
#endif
