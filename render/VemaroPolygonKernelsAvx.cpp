// The interior-run kernel over 256-bit (AVX2) and 512-bit (AVX-512) vectors.
// Only the code below the target pragmas uses those instructions; it runs
// only where simd::level() allows it. Each level's code lives in its own
// namespace, so no inline function is shared with the portable build.
#include "VemaroPolygonKernels.h"

#include "VemaroSimd.h"

#include <cstdint>
#include <cstring>

#if VEMARO_HAVE_AVX2
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")

namespace polyspans {
namespace avx2 {
struct V {
    using I = __m256i;
    static constexpr A_long kBytes = 32;
    static constexpr bool kMasked = true;
    static I load(const void* p) { return _mm256_loadu_si256(static_cast<const I*>(p)); }
    static void store(void* p, I v) { _mm256_storeu_si256(static_cast<I*>(p), v); }
    static I rep(const uint32_t (&w)[4]) {
        const int a = static_cast<int>(w[0]), b = static_cast<int>(w[1]), c = static_cast<int>(w[2]),
                  d = static_cast<int>(w[3]);
        return _mm256_setr_epi32(a, b, c, d, a, b, c, d);
    }
    static I and_(I a, I b) { return _mm256_and_si256(a, b); }
    static bool equal(I a, I b) { return _mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)) == -1; }
    static bool testz(I v, I mask) { return _mm256_testz_si256(v, mask) != 0; }
    // The first `words` 32-bit words; the others are neither read nor written.
    static I words(int n) {
        return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    }
    static I loadPart(const void* p, int n) { return _mm256_maskload_epi32(static_cast<const int*>(p), words(n)); }
    static void storePart(void* p, I v, int n) { _mm256_maskstore_epi32(static_cast<int*>(p), words(n), v); }
};
}  // namespace avx2

#define VEMARO_POLY_NS avx2
#include "VemaroPolygonKernels.inl"
#undef VEMARO_POLY_NS
}  // namespace polyspans

#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw")
// GCC 12 flags the deliberately undefined pass-through operand of its own
// 512-bit intrinsics.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

namespace polyspans {
namespace avx512 {
struct V {
    using I = __m512i;
    static constexpr A_long kBytes = 64;
    static constexpr bool kMasked = true;
    static I load(const void* p) { return _mm512_loadu_si512(p); }
    static void store(void* p, I v) { _mm512_storeu_si512(p, v); }
    static I rep(const uint32_t (&w)[4]) {
        return _mm512_broadcast_i32x4(_mm_setr_epi32(static_cast<int>(w[0]), static_cast<int>(w[1]),
                                                     static_cast<int>(w[2]), static_cast<int>(w[3])));
    }
    static I and_(I a, I b) { return _mm512_and_si512(a, b); }
    static bool equal(I a, I b) { return _mm512_cmpneq_epi32_mask(a, b) == 0; }
    static bool testz(I v, I mask) { return _mm512_test_epi32_mask(v, mask) == 0; }
    static __mmask16 words(int n) { return static_cast<__mmask16>((1u << n) - 1u); }
    static I loadPart(const void* p, int n) { return _mm512_maskz_loadu_epi32(words(n), p); }
    static void storePart(void* p, I v, int n) { _mm512_mask_storeu_epi32(p, words(n), v); }
};
}  // namespace avx512

#define VEMARO_POLY_NS avx512
#include "VemaroPolygonKernels.inl"
#undef VEMARO_POLY_NS
}  // namespace polyspans

#pragma GCC diagnostic pop
#pragma GCC pop_options
#endif
