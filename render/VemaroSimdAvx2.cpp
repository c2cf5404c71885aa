// The blend row kernels over 256-bit vectors. Only the code below the target
// pragma uses AVX2; it runs only where simd::level() allows it.
#include "VemaroBlendRow.h"

#if VEMARO_BLEND_SSE2 && VEMARO_HAVE_AVX2
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")

namespace Blend {
namespace avx2 {

struct V {
    using I = __m256i;
    using F = __m256;
    static constexpr int kLanes16 = 16;
    static constexpr int kLanesF = 8;
    static constexpr int kAllBytes = -1, kAllFloats = 0xFF;
    static F cmpeqF(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
    static F cmpltF(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
#define VEMARO_MM(op) _mm256_##op
#define VEMARO_MMSI(op) _mm256_##op##_si256
#include "VemaroSimdOps.inl"
#undef VEMARO_MM
#undef VEMARO_MMSI
    // The 32-bit lane operations of the 16-bit blend kernels.
    static I sub32(I a, I b) { return _mm256_sub_epi32(a, b); }
    template <int S>
    static I slli32(I a) {
        return _mm256_slli_epi32(a, S);
    }
    static I cmpgt32(I a, I b) { return _mm256_cmpgt_epi32(a, b); }
    static I mullo32(I a, I b) { return _mm256_mullo_epi32(a, b); }
    static I min32(I a, I b) { return _mm256_min_epi32(a, b); }
    static I max32(I a, I b) { return _mm256_max_epi32(a, b); }
    static I minu32(I a, I b) { return _mm256_min_epu32(a, b); }
    static I packus32(I a, I b) { return _mm256_packus_epi32(a, b); }
};

}  // namespace avx2
}  // namespace Blend

namespace Blend {
#define VEMARO_SIMD_NS avx2
#include "VemaroBlendKernels.inl"
#undef VEMARO_SIMD_NS

namespace avx2 {
namespace {
template <class P>
A_long rowsOf(BlendMode mode, bool uniform, const P* bottom, P* top, A_long n) {
    A_long done = 0;
    switch (mode) {
#define VEMARO_MODE(m) \
    case BlendMode::m: \
        done = uniform ? rows<BlendMode::m, true>(bottom, top, n) : rows<BlendMode::m, false>(bottom, top, n); \
        break;
        VEMARO_MODE(Normal)
        VEMARO_MODE(Darken)
        VEMARO_MODE(Multiply)
        VEMARO_MODE(Add)
        VEMARO_MODE(Lighten)
        VEMARO_MODE(Screen)
        VEMARO_MODE(Overlay)
        VEMARO_MODE(Hardlight)
        VEMARO_MODE(Difference)
        VEMARO_MODE(Exclusion)
        VEMARO_MODE(AlphaAdd)
#undef VEMARO_MODE
        default: break;
    }
    return done;
}
}  // namespace

A_long rows(BlendMode mode, bool uniform, const PF_Pixel* bottom, PF_Pixel* top, A_long n) {
    return rowsOf(mode, uniform, bottom, top, n);
}
A_long rows(BlendMode mode, bool uniform, const PF_Pixel16* bottom, PF_Pixel16* top, A_long n) {
    return rowsOf(mode, uniform, bottom, top, n);
}
A_long rows(BlendMode mode, bool uniform, const PF_PixelFloat* bottom, PF_PixelFloat* top, A_long n) {
    return rowsOf(mode, uniform, bottom, top, n);
}
}  // namespace avx2
}  // namespace Blend

#pragma GCC pop_options
#endif
