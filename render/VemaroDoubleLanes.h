// The double-precision lane operations the per-level pixel kernels are
// written in: one lane in plain C++, two with SSE2 (every x86-64), four with
// AVX2, eight with AVX-512. A kernel body (an .inl over a struct V) takes a V
// deriving from one of these and adding what only that kernel needs. Every
// operation is the same IEEE operation in every width, with no contraction, so
// every width gives the same bits. The wider structs are compiled for their
// processors alone and are only called from code that simd::level() allows to
// run.
#pragma once

#include "VemaroSimd.h"

#include <cmath>

namespace lanes {

// One lane: the selects are the branches of the per-pixel code.
struct Scalar {
    using D = double;
    using M = bool;
    static constexpr int kLanes = 1;
    static constexpr unsigned kAll = 1u;
    static D set1(double v) { return v; }
    static D load(const double* p) { return *p; }
    static D loadPartial(const double* p, int) { return *p; }
    static void store(double* p, D v) { *p = v; }
    static D add(D a, D b) { return a + b; }
    static D sub(D a, D b) { return a - b; }
    static D mul(D a, D b) { return a * b; }
    static D div(D a, D b) { return a / b; }
    static D sqrt(D a) { return std::sqrt(a); }
    static D abs(D a) { return std::fabs(a); }
    static D trunc(D a) { return std::trunc(a); }
    static M eq(D a, D b) { return a == b; }
    static M lt(D a, D b) { return a < b; }
    static M le(D a, D b) { return a <= b; }
    static M ge(D a, D b) { return a >= b; }
    static M gt(D a, D b) { return a > b; }
    static M mand(M a, M b) { return a && b; }
    static M mor(M a, M b) { return a || b; }
    static D select(M m, D a, D b) { return m ? a : b; }
    static unsigned bits(M m) { return m ? 1u : 0u; }
};

}  // namespace lanes

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEMARO_LANES_SSE2 1

// The operations whose intrinsics differ only in their prefix.
#define VEMARO_LANES_ARITHMETIC(mm) \
    static D set1(double v) { return mm##_set1_pd(v); } \
    static D load(const double* p) { return mm##_loadu_pd(p); } \
    static void store(double* p, D v) { mm##_storeu_pd(p, v); } \
    static D add(D a, D b) { return mm##_add_pd(a, b); } \
    static D sub(D a, D b) { return mm##_sub_pd(a, b); } \
    static D mul(D a, D b) { return mm##_mul_pd(a, b); } \
    static D div(D a, D b) { return mm##_div_pd(a, b); } \
    static D sqrt(D a) { return mm##_sqrt_pd(a); }
// Those of the sets whose comparisons give vectors of all-ones lanes.
#define VEMARO_LANES_VECTOR_MASKS(mm) \
    static D abs(D a) { return mm##_andnot_pd(mm##_set1_pd(-0.0), a); } \
    static M mand(M a, M b) { return mm##_and_pd(a, b); } \
    static M mor(M a, M b) { return mm##_or_pd(a, b); } \
    static unsigned bits(M m) { return static_cast<unsigned>(mm##_movemask_pd(m)); }

namespace lanes {
// Two lanes, as every x86-64 processor has them.
struct Sse2 {
    using D = __m128d;
    using M = __m128d;
    static constexpr int kLanes = 2;
    static constexpr unsigned kAll = 0x3u;
    VEMARO_LANES_ARITHMETIC(_mm)
    VEMARO_LANES_VECTOR_MASKS(_mm)
    // The first m lanes; the others 0, without touching their memory.
    static D loadPartial(const double* p, int m) {
        return m >= 2 ? _mm_loadu_pd(p) : m == 1 ? _mm_load_sd(p) : _mm_setzero_pd();
    }
    // SSE2 has no rounding instruction: below 2^52 in magnitude, adding and
    // taking away 2^52 rounds to an integer, one too far where it rounded up;
    // larger values (and NaNs) are kept, the sign is put back (so -0.5 gives -0).
    static D trunc(D a) {
        const D big = _mm_set1_pd(0x1p52), sign = _mm_set1_pd(-0.0);
        const D m = _mm_andnot_pd(sign, a);
        D r = _mm_sub_pd(_mm_add_pd(m, big), big);
        r = _mm_sub_pd(r, _mm_and_pd(_mm_cmpgt_pd(r, m), _mm_set1_pd(1.0)));
        return _mm_or_pd(select(_mm_cmplt_pd(m, big), r, m), _mm_and_pd(sign, a));
    }
    static M eq(D a, D b) { return _mm_cmpeq_pd(a, b); }
    static M lt(D a, D b) { return _mm_cmplt_pd(a, b); }
    static M le(D a, D b) { return _mm_cmple_pd(a, b); }
    static M ge(D a, D b) { return _mm_cmpge_pd(a, b); }
    static M gt(D a, D b) { return _mm_cmpgt_pd(a, b); }
    static D select(M m, D a, D b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
};
}  // namespace lanes
#endif

#if VEMARO_HAVE_AVX2
#include <immintrin.h>

// The comparisons of the wider sets, which take the predicate.
#define VEMARO_LANES_COMPARE(cmp) \
    static M eq(D a, D b) { return cmp(a, b, _CMP_EQ_OQ); } \
    static M lt(D a, D b) { return cmp(a, b, _CMP_LT_OQ); } \
    static M le(D a, D b) { return cmp(a, b, _CMP_LE_OQ); } \
    static M ge(D a, D b) { return cmp(a, b, _CMP_GE_OQ); } \
    static M gt(D a, D b) { return cmp(a, b, _CMP_GT_OQ); }

VEMARO_AVX2_BEGIN
namespace lanes {
struct Avx2 {
    using D = __m256d;
    using M = __m256d;
    static constexpr int kLanes = 4;
    static constexpr unsigned kAll = 0xFu;
    VEMARO_LANES_ARITHMETIC(_mm256)
    VEMARO_LANES_COMPARE(_mm256_cmp_pd)
    VEMARO_LANES_VECTOR_MASKS(_mm256)
    // The first m lanes; the others 0, without touching their memory.
    static D loadPartial(const double* p, int m) {
        const __m256i first = _mm256_cmpgt_epi64(_mm256_set1_epi64x(m), _mm256_setr_epi64x(0, 1, 2, 3));
        return _mm256_maskload_pd(p, first);
    }
    static D trunc(D a) { return _mm256_round_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static D select(M m, D a, D b) { return _mm256_blendv_pd(b, a, m); }
};
}  // namespace lanes
VEMARO_AVX2_END

VEMARO_AVX512_BEGIN
namespace lanes {
struct Avx512 {
    using D = __m512d;
    using M = __mmask8;
    static constexpr int kLanes = 8;
    static constexpr unsigned kAll = 0xFFu;
    VEMARO_LANES_ARITHMETIC(_mm512)
    VEMARO_LANES_COMPARE(_mm512_cmp_pd_mask)
    static D loadPartial(const double* p, int m) { return _mm512_maskz_loadu_pd(static_cast<M>((1u << m) - 1u), p); }
    static D abs(D a) { return _mm512_abs_pd(a); }
    static D trunc(D a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static M mand(M a, M b) { return static_cast<M>(a & b); }
    static M mor(M a, M b) { return static_cast<M>(a | b); }
    static D select(M m, D a, D b) { return _mm512_mask_blend_pd(m, b, a); }
    static unsigned bits(M m) { return m; }
};
}  // namespace lanes
VEMARO_AVX512_END

#undef VEMARO_LANES_COMPARE
#endif
#undef VEMARO_LANES_ARITHMETIC
#undef VEMARO_LANES_VECTOR_MASKS
