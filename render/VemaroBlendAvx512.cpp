// The blend row kernels over 512-bit vectors (AVX-512 F and BW). Only the code
// between the target brackets uses them; it runs only where simd::level() allows.
// Comparisons give masks here; the kernels take them as vectors of all-ones
// lanes, as on the narrower sets.
#include "VemaroBlendRow.h"

#if VEMARO_BLEND_SSE2 && VEMARO_HAVE_AVX2
#include <immintrin.h>

VEMARO_AVX512_BEGIN

namespace Blend {
namespace avx512 {

struct V {
    using I = __m512i;
    using F = __m512;
    static constexpr int kLanes16 = 32;
    static constexpr int kLanesF = 16;

    static I ones() { return _mm512_set1_epi32(-1); }
    static I of16(__mmask32 m) { return _mm512_movm_epi16(m); }
    static I of32(__mmask16 m) { return _mm512_maskz_mov_epi32(m, ones()); }
    static F of32F(__mmask16 m) { return _mm512_castsi512_ps(of32(m)); }

    static I load(const void* p) { return _mm512_loadu_si512(p); }
    static void store(void* p, I v) { _mm512_storeu_si512(p, v); }
    static I zero() { return _mm512_setzero_si512(); }
    static I set16(short v) { return _mm512_set1_epi16(v); }
    static I set32(int v) { return _mm512_set1_epi32(v); }
    static I set64(long long v) { return _mm512_set1_epi64(v); }
    static I and_(I a, I b) { return _mm512_and_si512(a, b); }
    static I or_(I a, I b) { return _mm512_or_si512(a, b); }
    static I andnot(I a, I b) { return _mm512_andnot_si512(a, b); }
    static I add16(I a, I b) { return _mm512_add_epi16(a, b); }
    static I sub16(I a, I b) { return _mm512_sub_epi16(a, b); }
    static I subsu16(I a, I b) { return _mm512_subs_epu16(a, b); }
    static I mullo16(I a, I b) { return _mm512_mullo_epi16(a, b); }
    static I mulhiu16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
    static I min16(I a, I b) { return _mm512_min_epi16(a, b); }
    static constexpr bool kMinU16 = true;
    static I minu16(I a, I b) { return _mm512_min_epu16(a, b); }
    static I max16(I a, I b) { return _mm512_max_epi16(a, b); }
    static I cmpeq16(I a, I b) { return of16(_mm512_cmpeq_epi16_mask(a, b)); }
    static I cmpgt16(I a, I b) { return of16(_mm512_cmpgt_epi16_mask(a, b)); }
    // a > b ? x : y, straight from the comparison's mask.
    static constexpr bool kMaskBlends16 = true;
    static I blendWhereGreater16(I a, I b, I x, I y) {
        return _mm512_mask_blend_epi16(_mm512_cmpgt_epi16_mask(a, b), y, x);
    }
    static I madd16(I a, I b) { return _mm512_madd_epi16(a, b); }
    static I add32(I a, I b) { return _mm512_add_epi32(a, b); }
    static I sub32(I a, I b) { return _mm512_sub_epi32(a, b); }
    static I cmpeq32(I a, I b) { return of32(_mm512_cmpeq_epi32_mask(a, b)); }
    static I cmpgt32(I a, I b) { return of32(_mm512_cmpgt_epi32_mask(a, b)); }
    static I mullo32(I a, I b) { return _mm512_mullo_epi32(a, b); }
    // q + 1 or q - 1 where a > b, straight from the comparison's mask.
    static constexpr bool kMaskedSteps = true;
    static I incWhereGreater32(I q, I a, I b) {
        return _mm512_mask_add_epi32(q, _mm512_cmpgt_epi32_mask(a, b), q, set32(1));
    }
    static I decWhereGreater32(I q, I a, I b) {
        return _mm512_mask_sub_epi32(q, _mm512_cmpgt_epi32_mask(a, b), q, set32(1));
    }
    static I min32(I a, I b) { return _mm512_min_epi32(a, b); }
    static I max32(I a, I b) { return _mm512_max_epi32(a, b); }
    static I minu32(I a, I b) { return _mm512_min_epu32(a, b); }
    template <int S>
    static I srli16(I a) {
        return _mm512_srli_epi16(a, S);
    }
    template <int S>
    static I slli16(I a) {
        return _mm512_slli_epi16(a, S);
    }
    // a == b ? x >> S : y of 16-bit lanes, straight from the comparison's mask.
    static constexpr bool kMaskShifts16 = true;
    template <int S>
    static I srliWhereEqual16(I a, I b, I x, I y) {
        return _mm512_mask_srli_epi16(y, _mm512_cmpeq_epi16_mask(a, b), x, S);
    }
    // Whether some 16-bit lane of v is 0.
    static bool anyZero16(I v) { return _mm512_testn_epi16_mask(v, v) != 0; }
    template <int S>
    static I srli32(I a) {
        return _mm512_srli_epi32(a, S);
    }
    template <int S>
    static I slli32(I a) {
        return _mm512_slli_epi32(a, S);
    }
    // Words of a and b (indices 32..63) picked by idx.
    static constexpr bool kPermutes16 = true;
    static I permute2x16(I a, I idx, I b) { return _mm512_permutex2var_epi16(a, idx, b); }
    static I unpacklo8(I a, I b) { return _mm512_unpacklo_epi8(a, b); }
    static I unpackhi8(I a, I b) { return _mm512_unpackhi_epi8(a, b); }
    static I unpacklo16(I a, I b) { return _mm512_unpacklo_epi16(a, b); }
    static I unpackhi16(I a, I b) { return _mm512_unpackhi_epi16(a, b); }
    static I packus16(I a, I b) { return _mm512_packus_epi16(a, b); }
    static I packs32(I a, I b) { return _mm512_packs_epi32(a, b); }
    static I packus32(I a, I b) { return _mm512_packus_epi32(a, b); }
    // Lane 0 of each group of four 16-bit lanes into all four.
    static I spreadAlpha16(I a) { return _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(a, 0), 0); }
    // Where the 16-bit pixel (a 64-bit lane, alpha its low word) of v has
    // alpha 0 x, else y.
    static constexpr bool kPixelBlends16 = true;
    static I blendWhereAlphaZero16(I v, I x, I y) {
        return _mm512_mask_blend_epi64(_mm512_testn_epi64_mask(v, _mm512_set1_epi64(0xFFFF)), y, x);
    }
    static bool allAlphaZero16(I v0, I v1) {
        const I alpha = _mm512_set1_epi64(0xFFFF);
        return (_mm512_test_epi64_mask(v0, alpha) | _mm512_test_epi64_mask(v1, alpha)) == 0;
    }
    // Every alpha at least 0x8000.
    static bool allAlphaHigh16(I v0, I v1) {
        const I high = _mm512_set1_epi64(0x8000);
        return (_mm512_testn_epi64_mask(v0, high) | _mm512_testn_epi64_mask(v1, high)) == 0;
    }
    static bool allOnes(I m) { return _mm512_movepi8_mask(m) == ~__mmask64{0}; }
    static bool allEqual32(I a, I b) { return _mm512_cmpeq_epi32_mask(a, b) == 0xFFFF; }
    static F cvt32F(I a) { return _mm512_cvtepi32_ps(a); }
    static I cvttF32(F a) { return _mm512_cvttps_epi32(a); }
    // To unsigned 32 bits: infinities and NaNs as 0xFFFFFFFF.
    static I cvttuF32(F a) { return _mm512_cvttps_epu32(a); }
    // Unsigned 32-bit lanes as doubles, the low and the high half; and two
    // halves of doubles (each below 2^31) truncated back to 32-bit lanes.
    static constexpr bool kQuotientsD = true;
    static __m512d lowU32D(I a) { return _mm512_cvtepu32_pd(_mm512_castsi512_si256(a)); }
    static __m512d highU32D(I a) { return _mm512_cvtepu32_pd(_mm512_extracti64x4_epi64(a, 1)); }
    static I truncD32(__m512d lo, __m512d hi) {
        return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvttpd_epi32(lo)), _mm512_cvttpd_epi32(hi), 1);
    }

    static F loadF(const float* p) { return _mm512_loadu_ps(p); }
    static void storeF(float* p, F v) { _mm512_storeu_ps(p, v); }
    static F zeroF() { return _mm512_setzero_ps(); }
    static F set1F(float v) { return _mm512_set1_ps(v); }
    static F addF(F a, F b) { return _mm512_add_ps(a, b); }
    static F subF(F a, F b) { return _mm512_sub_ps(a, b); }
    static F mulF(F a, F b) { return _mm512_mul_ps(a, b); }
    static F divF(F a, F b) { return _mm512_div_ps(a, b); }
    // Rounded toward zero rather than to nearest.
    static constexpr bool kDivTowardZero = true;
    static F divTowardZeroF(F a, F b) { return _mm512_div_round_ps(a, b, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static F gatherF(const float* base, I index) { return _mm512_i32gather_ps(index, base, 4); }
    static F minF(F a, F b) { return _mm512_min_ps(a, b); }
    static F maxF(F a, F b) { return _mm512_max_ps(a, b); }
    static F cmpeqF(F a, F b) { return of32F(_mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ)); }
    static F cmpltF(F a, F b) { return of32F(_mm512_cmp_ps_mask(a, b, _CMP_LT_OQ)); }
    // Bitwise float operations through the integer ones (the float forms
    // need AVX-512 DQ).
    static F andF(F a, F b) { return bitsF(_mm512_and_si512(bits(a), bits(b))); }
    static F orF(F a, F b) { return bitsF(_mm512_or_si512(bits(a), bits(b))); }
    static F andnotF(F a, F b) { return bitsF(_mm512_andnot_si512(bits(a), bits(b))); }
    static bool allOnesF(F m) { return _mm512_cmplt_epi32_mask(bits(m), zero()) == 0xFFFF; }
    static F unpackloF(F a, F b) { return _mm512_unpacklo_ps(a, b); }
    static F unpackhiF(F a, F b) { return _mm512_unpackhi_ps(a, b); }
    // {a0, a1, b0, b1} and {a2, a3, b2, b3} in each 128-bit quarter.
    static F halvesLoF(F a, F b) { return _mm512_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 1, 0)); }
    static F halvesHiF(F a, F b) { return _mm512_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 3, 2)); }

    // Double lanes of soft light's power bounds, their arithmetic from the
    // shared level.
    using DL = lanes::Avx512;
    using D = DL::D;
    static F asF(I a) { return _mm512_castsi512_ps(a); }
    static D lowD(F f) { return _mm512_cvtps_pd(_mm512_castps512_ps256(f)); }
    static D highD(F f) { return _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(f), 1))); }
    static D gatherLowD(const double* base, I index) {
        return _mm512_i32gather_pd(_mm512_castsi512_si256(index), base, 8);
    }
    static D gatherHighD(const double* base, I index) {
        return _mm512_i32gather_pd(_mm512_extracti64x4_epi64(index, 1), base, 8);
    }
    static D exp2BitsD(D v) {
        return _mm512_castsi512_pd(
            _mm512_slli_epi64(_mm512_add_epi64(_mm512_castpd_si512(v), _mm512_set1_epi64(1023)), 52));
    }
    VEMARO_SOFT_POWERS(avx512)
    static F floatsD(D low, D high) {
        const __m256 l = _mm512_cvtpd_ps(low), h = _mm512_cvtpd_ps(high);
        return _mm512_castpd_ps(
            _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(l)), _mm256_castps_pd(h), 1));
    }

private:
    static I bits(F a) { return _mm512_castps_si512(a); }
    static F bitsF(I a) { return _mm512_castsi512_ps(a); }
};

}  // namespace avx512

#define VEMARO_SIMD_NS avx512
#define VEMARO_BLEND_ENTRY_POINTS 1
#include "VemaroBlendKernels.inl"
#undef VEMARO_BLEND_ENTRY_POINTS
#undef VEMARO_SIMD_NS
}  // namespace Blend

VEMARO_AVX512_END

// The 8-bit rows again where the processor also has VBMI (byte permutes
// across two vectors: a group's channel planes and its pixels without the
// unpacking) and VNNI (pair products added to a sum in one instruction).
// clang-format off
#if defined(__clang__)
#define VEMARO_VBMI_BEGIN \
    VEMARO_TARGET_BEGIN("clang attribute push(__attribute__((target(\"avx2,avx512f,avx512bw,avx512vbmi,avx512vnni\"))), apply_to = function)")
#else
#define VEMARO_VBMI_BEGIN VEMARO_TARGET_BEGIN("GCC target(\"avx2,avx512f,avx512bw,avx512vbmi,avx512vnni\")")
#endif
// clang-format on
VEMARO_VBMI_BEGIN

namespace Blend {
namespace avx512vbmi {

struct V : avx512::V {
    // Bytes of a and b (indices 64..127) picked by idx; Low zeroes every odd byte.
    static constexpr bool kPermutes8 = true;
    static I permute2x8(I a, I idx, I b) { return _mm512_permutex2var_epi8(a, idx, b); }
    static I permute2x8Low(I a, I idx, I b) { return _mm512_maskz_permutex2var_epi8(0x5555555555555555ull, a, idx, b); }
    // k + a0 b0 + a1 b1 of each pair of signed 16-bit lanes.
    static constexpr bool kDotAdds16 = true;
    static I dotAdd16(I k, I a, I b) { return _mm512_dpwssd_epi32(k, a, b); }
};

}  // namespace avx512vbmi

#define VEMARO_SIMD_NS avx512vbmi
#define VEMARO_BLEND_ENTRY_POINTS8 1
#include "VemaroBlendKernels.inl"
#undef VEMARO_BLEND_ENTRY_POINTS8
#undef VEMARO_SIMD_NS
}  // namespace Blend

VEMARO_AVX512_END

// Outside the brackets: it runs on every processor.
bool Blend::avx512vbmi::supported() {
    static const bool s = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vnni");
    }();
    return s;
}
#endif
