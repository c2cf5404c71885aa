// The interior-run kernel over 256-bit (AVX2) and 512-bit (AVX-512) vectors.
// Only the code between the target brackets uses those instructions; it runs
// only where simd::level() allows it. Each level's code lives in its own
// namespace, so no inline function is shared with the portable build.
#include "VemaroRunKernels.h"

#include "VemaroSimd.h"

#include <cstdint>
#include <cstring>

#if VEMARO_HAVE_AVX2
#include <immintrin.h>

VEMARO_AVX2_BEGIN

namespace runs {
namespace avx2 {
struct V {
    using I = __m256i;
    static constexpr int kWords = 8;
    static constexpr bool kMasked = true;
    static I load(const void* p) { return _mm256_loadu_si256(static_cast<const I*>(p)); }
    static void store(void* p, I v) { _mm256_storeu_si256(static_cast<I*>(p), v); }
    static I zero() { return _mm256_setzero_si256(); }
    static I rep(const uint32_t (&w)[4]) {
        const int a = static_cast<int>(w[0]), b = static_cast<int>(w[1]), c = static_cast<int>(w[2]),
                  d = static_cast<int>(w[3]);
        return _mm256_setr_epi32(a, b, c, d, a, b, c, d);
    }
    static I and_(I a, I b) { return _mm256_and_si256(a, b); }
    static bool testz(I v, I mask) { return _mm256_testz_si256(v, mask) != 0; }
    static unsigned equalBits(I a, I b) {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, b))));
    }
    // The words whose bit is set; the others are neither read nor written.
    static I lanes(unsigned bits) {
        const I bit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), bit), bit);
    }
    static I loadPart(const void* p, int n) {
        const I first = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        return _mm256_maskload_epi32(static_cast<const int*>(p), first);
    }
    static void storeBits(void* p, I v, unsigned bits) {
        if (bits == 0xFFu)
            store(p, v);
        else if (bits != 0u)
            _mm256_maskstore_epi32(static_cast<int*>(p), lanes(bits), v);
    }
};
}  // namespace avx2

#define VEMARO_RUN_NS avx2
#include "VemaroRunKernels.inl"
#undef VEMARO_RUN_NS
}  // namespace runs

VEMARO_AVX2_END

VEMARO_AVX512_BEGIN

namespace runs {
namespace avx512 {
struct V {
    using I = __m512i;
    static constexpr int kWords = 16;
    static constexpr bool kMasked = true;
    static I load(const void* p) { return _mm512_loadu_si512(p); }
    static void store(void* p, I v) { _mm512_storeu_si512(p, v); }
    static I zero() { return _mm512_setzero_si512(); }
    static I rep(const uint32_t (&w)[4]) {
        return _mm512_broadcast_i32x4(_mm_setr_epi32(static_cast<int>(w[0]), static_cast<int>(w[1]),
                                                     static_cast<int>(w[2]), static_cast<int>(w[3])));
    }
    static I and_(I a, I b) { return _mm512_and_si512(a, b); }
    static bool testz(I v, I mask) { return _mm512_test_epi32_mask(v, mask) == 0; }
    static unsigned equalBits(I a, I b) { return _mm512_cmpeq_epi32_mask(a, b); }
    // The words whose bit is set; the others are neither read nor written.
    static I loadPart(const void* p, int n) {
        return _mm512_maskz_loadu_epi32(static_cast<__mmask16>((1u << n) - 1u), p);
    }
    static void storeBits(void* p, I v, unsigned bits) {
        if (bits == 0xFFFFu)
            store(p, v);
        else if (bits != 0u)
            _mm512_mask_storeu_epi32(p, static_cast<__mmask16>(bits), v);
    }
};
}  // namespace avx512

#define VEMARO_RUN_NS avx512
#include "VemaroRunKernels.inl"
#undef VEMARO_RUN_NS
}  // namespace runs

VEMARO_AVX512_END
#endif
