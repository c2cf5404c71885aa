// The blend row kernels over 256-bit vectors. Only the code between the
// target brackets uses AVX2 (and FMA, in soft light's powers alone, where the
// library fuses too); it runs only where simd::level() allows it.
#include "VemaroBlendRow.h"

#if VEMARO_BLEND_SSE2 && VEMARO_HAVE_AVX2
#include <immintrin.h>

VEMARO_AVX2_FMA_BEGIN

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
    static F gatherF(const float* base, I index) { return _mm256_i32gather_ps(base, index, 4); }
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
    static bool allEqual32(I a, I b) { return _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, b)) == -1; }
    static I mullo32(I a, I b) { return _mm256_mullo_epi32(a, b); }
    static I min32(I a, I b) { return _mm256_min_epi32(a, b); }
    static I max32(I a, I b) { return _mm256_max_epi32(a, b); }
    static I minu32(I a, I b) { return _mm256_min_epu32(a, b); }
    static I packus32(I a, I b) { return _mm256_packus_epi32(a, b); }
    // Double lanes of soft light's power bounds, their arithmetic from the
    // shared level.
    using DL = lanes::Avx2;
    using D = DL::D;
    static F asF(I a) { return _mm256_castsi256_ps(a); }
    static D lowD(F f) { return _mm256_cvtps_pd(_mm256_castps256_ps128(f)); }
    static D highD(F f) { return _mm256_cvtps_pd(_mm256_extractf128_ps(f, 1)); }
    static D gatherLowD(const double* base, I index) {
        return _mm256_i32gather_pd(base, _mm256_castsi256_si128(index), 8);
    }
    static D gatherHighD(const double* base, I index) {
        return _mm256_i32gather_pd(base, _mm256_extracti128_si256(index, 1), 8);
    }
    static D exp2BitsD(D v) {
        return _mm256_castsi256_pd(
            _mm256_slli_epi64(_mm256_add_epi64(_mm256_castpd_si256(v), _mm256_set1_epi64x(1023)), 52));
    }
    static F floatsD(D low, D high) { return _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low)); }
    VEMARO_SOFT_POWERS(avx2)
};

}  // namespace avx2
}  // namespace Blend

namespace Blend {
#define VEMARO_SIMD_NS avx2
#define VEMARO_BLEND_ENTRY_POINTS 1
#include "VemaroBlendKernels.inl"
#undef VEMARO_BLEND_ENTRY_POINTS
#undef VEMARO_SIMD_NS
}  // namespace Blend

VEMARO_AVX2_END
#endif
