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
    static I load(const void* p) { return _mm256_loadu_si256(static_cast<const I*>(p)); }
    static void store(void* p, I v) { _mm256_storeu_si256(static_cast<I*>(p), v); }
    static I zero() { return _mm256_setzero_si256(); }
    static I set16(short v) { return _mm256_set1_epi16(v); }
    static I set32(int v) { return _mm256_set1_epi32(v); }
    static I set64(long long v) { return _mm256_set1_epi64x(v); }
    static I and_(I a, I b) { return _mm256_and_si256(a, b); }
    static I or_(I a, I b) { return _mm256_or_si256(a, b); }
    static I andnot(I a, I b) { return _mm256_andnot_si256(a, b); }
    static I add16(I a, I b) { return _mm256_add_epi16(a, b); }
    static I sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
    static I subsu16(I a, I b) { return _mm256_subs_epu16(a, b); }
    static I mullo16(I a, I b) { return _mm256_mullo_epi16(a, b); }
    static I mulhiu16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
    static I min16(I a, I b) { return _mm256_min_epi16(a, b); }
    static I max16(I a, I b) { return _mm256_max_epi16(a, b); }
    static I cmpeq16(I a, I b) { return _mm256_cmpeq_epi16(a, b); }
    static I cmpgt16(I a, I b) { return _mm256_cmpgt_epi16(a, b); }
    static I madd16(I a, I b) { return _mm256_madd_epi16(a, b); }
    static I add32(I a, I b) { return _mm256_add_epi32(a, b); }
    static I cmpeq32(I a, I b) { return _mm256_cmpeq_epi32(a, b); }
    template <int S>
    static I srli16(I a) { return _mm256_srli_epi16(a, S); }
    template <int S>
    static I srli32(I a) { return _mm256_srli_epi32(a, S); }
    static I unpacklo8(I a, I b) { return _mm256_unpacklo_epi8(a, b); }
    static I unpackhi8(I a, I b) { return _mm256_unpackhi_epi8(a, b); }
    static I unpacklo16(I a, I b) { return _mm256_unpacklo_epi16(a, b); }
    static I unpackhi16(I a, I b) { return _mm256_unpackhi_epi16(a, b); }
    static I packus16(I a, I b) { return _mm256_packus_epi16(a, b); }
    static I packs32(I a, I b) { return _mm256_packs_epi32(a, b); }
    // Lane 0 of each group of four 16-bit lanes into all four.
    static I spreadAlpha16(I a) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0), 0); }
    static bool allOnes(I m) { return _mm256_movemask_epi8(m) == -1; }
    static F cvt32F(I a) { return _mm256_cvtepi32_ps(a); }
    static I cvttF32(F a) { return _mm256_cvttps_epi32(a); }
    static F loadF(const float* p) { return _mm256_loadu_ps(p); }
    static void storeF(float* p, F v) { _mm256_storeu_ps(p, v); }
    static F zeroF() { return _mm256_setzero_ps(); }
    static F set1F(float v) { return _mm256_set1_ps(v); }
    static F addF(F a, F b) { return _mm256_add_ps(a, b); }
    static F subF(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mulF(F a, F b) { return _mm256_mul_ps(a, b); }
    static F divF(F a, F b) { return _mm256_div_ps(a, b); }
    static F minF(F a, F b) { return _mm256_min_ps(a, b); }
    static F maxF(F a, F b) { return _mm256_max_ps(a, b); }
    static F cmpeqF(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
    static F cmpltF(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    static F andF(F a, F b) { return _mm256_and_ps(a, b); }
    static F orF(F a, F b) { return _mm256_or_ps(a, b); }
    static F andnotF(F a, F b) { return _mm256_andnot_ps(a, b); }
    static bool allOnesF(F m) { return _mm256_movemask_ps(m) == 0xFF; }
    static F unpackloF(F a, F b) { return _mm256_unpacklo_ps(a, b); }
    static F unpackhiF(F a, F b) { return _mm256_unpackhi_ps(a, b); }
    static F halvesLoF(F a, F b) { return _mm256_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 1, 0)); }
    static F halvesHiF(F a, F b) { return _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 3, 2)); }
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
#define VEMARO_MODE(m)                                                                                       \
    case BlendMode::m:                                                                                       \
        done = uniform ? avx2::rows<BlendMode::m, true>(bottom, top, n) : avx2::rows<BlendMode::m, false>(bottom, top, n); \
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
