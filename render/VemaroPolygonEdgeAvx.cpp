// The polygon edge kernel over 256-bit (AVX2) and 512-bit (AVX-512) vectors.
// Only the code below the target pragmas uses those instructions; it runs
// only where simd::level() allows it.
#include "VemaroPolygonEdge.h"

#include <limits>

#if VEMARO_HAVE_AVX2
#include <immintrin.h>

// GCC 12 flags the deliberately undefined pass-through operand of its own
// gather and 512-bit intrinsics.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace polyedge {
namespace avx2 {
struct V {
    using D = __m256d;
    using M = __m256d;
    using K = __m128i;
    static constexpr int kLanes = 4;
    static constexpr unsigned kAll = 0xFu;
    static D set1(double v) { return _mm256_set1_pd(v); }
    static D load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, D v) { _mm256_storeu_pd(p, v); }
    static D add(D a, D b) { return _mm256_add_pd(a, b); }
    static D sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D div(D a, D b) { return _mm256_div_pd(a, b); }
    static D abs(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static M eq(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static M lt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static M le(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static M ge(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
    static M mand(M a, M b) { return _mm256_and_pd(a, b); }
    static D select(M m, D a, D b) { return _mm256_blendv_pd(b, a, m); }
    static unsigned bits(M m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
    static K index(D v) { return _mm256_cvttpd_epi32(v); }
    static D gather(const double* base, K k) { return _mm256_i32gather_pd(base, k, 8); }
};
}  // namespace avx2

#define VEMARO_EDGE_NS avx2
#include "VemaroPolygonEdge.inl"
#undef VEMARO_EDGE_NS
}  // namespace polyedge

#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw")

namespace polyedge {
namespace avx512 {
struct V {
    using D = __m512d;
    using M = __mmask8;
    using K = __m256i;
    static constexpr int kLanes = 8;
    static constexpr unsigned kAll = 0xFFu;
    static D set1(double v) { return _mm512_set1_pd(v); }
    static D load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, D v) { _mm512_storeu_pd(p, v); }
    static D add(D a, D b) { return _mm512_add_pd(a, b); }
    static D sub(D a, D b) { return _mm512_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D div(D a, D b) { return _mm512_div_pd(a, b); }
    static D abs(D a) { return _mm512_abs_pd(a); }
    static M eq(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static M lt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static M le(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static M ge(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    static M mand(M a, M b) { return static_cast<M>(a & b); }
    static D select(M m, D a, D b) { return _mm512_mask_blend_pd(m, b, a); }
    static unsigned bits(M m) { return m; }
    static K index(D v) { return _mm512_cvttpd_epi32(v); }
    static D gather(const double* base, K k) { return _mm512_i32gather_pd(k, base, 8); }
};
}  // namespace avx512

#define VEMARO_EDGE_NS avx512
#include "VemaroPolygonEdge.inl"
#undef VEMARO_EDGE_NS
}  // namespace polyedge

#pragma GCC pop_options
#pragma GCC diagnostic pop
#endif
