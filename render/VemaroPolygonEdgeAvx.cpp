// The polygon edge kernel over 256-bit (AVX2) and 512-bit (AVX-512) vectors.
// Only the code between the target brackets uses those instructions; it runs
// only where simd::level() allows it.
#include "VemaroPolygonEdge.h"

#include "VemaroDoubleLanes.h"

#include <limits>

#if VEMARO_HAVE_AVX2

VEMARO_AVX2_BEGIN

namespace polyedge {
namespace avx2 {
struct V : lanes::Avx2 {
    using K = __m128i;
    static K index(D v) { return _mm256_cvttpd_epi32(v); }
    static D gather(const double* base, K k) { return _mm256_i32gather_pd(base, k, 8); }
};
}  // namespace avx2

#define VEMARO_EDGE_NS avx2
#include "VemaroPolygonEdge.inl"
#undef VEMARO_EDGE_NS
}  // namespace polyedge

VEMARO_AVX2_END

VEMARO_AVX512_BEGIN

namespace polyedge {
namespace avx512 {
struct V : lanes::Avx512 {
    using K = __m256i;
    static K index(D v) { return _mm512_cvttpd_epi32(v); }
    static D gather(const double* base, K k) { return _mm512_i32gather_pd(k, base, 8); }
};
}  // namespace avx512

#define VEMARO_EDGE_NS avx512
#include "VemaroPolygonEdge.inl"
#undef VEMARO_EDGE_NS
}  // namespace polyedge

VEMARO_AVX512_END
#endif
