// Single-precision powers x^y on vector lanes that equal the C library's powf
// (std::pow(float, float)) to the bit.
//
// The library here computes powf in one short, fixed sequence: log2 x in
// double from a 16-entry table and a polynomial, times y, then 2^(y log2 x)
// from a 32-entry table and a polynomial, rounded once to float. It has two
// builds of that sequence, one with plain multiplications and additions, one
// fusing some of them, and runs the fused one where the processor has FMA and
// AVX2. The lanes here take the same steps in the same order with the same
// constants, fused exactly where that build fuses, so each lane rounds as the
// library does. Inputs off that sequence (x not a positive normal number, y 0,
// infinite or NaN, |y log2 x| at least 126) go to the library lane by lane.
//
// Each level checks itself once against the library on inputs where a slip
// shows, and goes to the library for good if any lane differs; the SSE2 level
// has no fused multiply-add and, where the library fuses, calls it too.
#pragma once

#include "VemaroDoubleLanes.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#endif
#include <limits>
#include <vector>

// The lanes' steps go inline into the kernels: called, they would pass their
// vectors through memory.
#if defined(__GNUC__)
#define VEMARO_POW_INLINE inline __attribute__((always_inline))
#else
#define VEMARO_POW_INLINE inline
#endif

namespace powlanes {

// The library's constants. log2 x = log2(z / c) + log2 c + k for x = z 2^k
// and c the centre of z's sub-interval: 1/c and log2 c by the interval.
inline constexpr double kInvC[16] = {
    0x1.661ec79f8f3bep+0, 0x1.571ed4aaf883dp+0, 0x1.49539f0f010b0p+0, 0x1.3c995b0b80385p+0,
    0x1.30d190c8864a5p+0, 0x1.25e227b0b8ea0p+0, 0x1.1bb4a4a1a343fp+0, 0x1.12358f08ae5bap+0,
    0x1.0953f419900a7p+0, 0x1.0000000000000p+0, 0x1.e608cfd9a47acp-1, 0x1.ca4b31f026aa0p-1,
    0x1.b2036576afce6p-1, 0x1.9c2d163a1aa2dp-1, 0x1.886e6037841edp-1, 0x1.767dcf5534862p-1};
inline constexpr double kLogC[16] = {
    -0x1.efec65b963019p-2, -0x1.b0b6832d4fca4p-2, -0x1.7418b0a1fb77bp-2, -0x1.39de91a6dcf7bp-2, -0x1.01d9bf3f2b631p-2,
    -0x1.97c1d1b3b7af0p-3, -0x1.2f9e393af3c9fp-3, -0x1.960cbbf788d5cp-4, -0x1.a6f9db6475fcep-5, 0x0.0p+0,
    0x1.338ca9f24f53dp-4,  0x1.476a9543891bap-3,  0x1.e840b4ac4e4d2p-3,  0x1.40645f0c6651cp-2,  0x1.88e9c2c1b9ff8p-2,
    0x1.ce0a44eb17bccp-2};
// log2(1 + r) ~ r (A4 + r (A3 + r (A2 + r (A1 + r A0)))), evaluated in pairs.
inline constexpr double kLog2Poly[5] = {0x1.27616c9496e0bp-2, -0x1.71969a075c67ap-2, 0x1.ec70a6ca7baddp-2,
                                        -0x1.7154748bef6c8p-1, 0x1.71547652ab82bp+0};
// 2^(j / 32) with j taken away from the exponent field (j << 47 is added
// back with the integer part), j = 0..31.
inline constexpr uint64_t kExp2Table[32] = {
    0x3ff0000000000000, 0x3fefd9b0d3158574, 0x3fefb5586cf9890f, 0x3fef9301d0125b51, 0x3fef72b83c7d517b,
    0x3fef54873168b9aa, 0x3fef387a6e756238, 0x3fef1e9df51fdee1, 0x3fef06fe0a31b715, 0x3feef1a7373aa9cb,
    0x3feedea64c123422, 0x3feece086061892d, 0x3feebfdad5362a27, 0x3feeb42b569d4f82, 0x3feeab07dd485429,
    0x3feea47eb03a5585, 0x3feea09e667f3bcd, 0x3fee9f75e8ec5f74, 0x3feea11473eb0187, 0x3feea589994cce13,
    0x3feeace5422aa0db, 0x3feeb737b0cdc5e5, 0x3feec49182a3f090, 0x3feed503b23e255d, 0x3feee89f995ad3ad,
    0x3feeff76f2fb5e47, 0x3fef199bdd85529c, 0x3fef3720dcef9069, 0x3fef5818dcfba487, 0x3fef7c97337b9b5f,
    0x3fefa4afa2a490da, 0x3fefd0765b6e4540};
// 2^r ~ 1 + r (C2 + r (C1 + r C0)) for |r| <= 1/64.
inline constexpr double kExp2Poly[3] = {0x1.c6af84b912394p-5, 0x1.ebfce50fac4f3p-3, 0x1.62e42ff0c52d6p-1};
// Added and taken away, rounds to a multiple of 1/32 and leaves 32 times it
// in the low bits.
inline constexpr double kShift = 0x1.8p47;
// The exponent field of x less that of the lowest interval's start.
inline constexpr uint32_t kOffset = 0x3f330000;

// How a level computes powers: the library lane by lane, or the lanes with
// the plain or the fused build's steps.
enum class Mode { Library, Plain, Fused };

// Whether the C library is the release whose steps and constants the lanes
// copy. Another release (or a build by another compiler) may fuse elsewhere
// and still agree on the self-check's inputs, so it keeps the library's own
// calls.
inline bool libraryIsCopied() {
#if defined(__GLIBC__)
    return std::strcmp(gnu_get_libc_version(), "2.36") == 0;
#else
    return false;
#endif
}

// The library's own choice of build.
inline bool libraryFuses() {
#if defined(__GNUC__) && defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

// The self-check's inputs beyond those it makes: pairs that the library's two
// builds round apart, and pairs whose result moves with a change of one unit
// in the last place of one of the constants above or with one fused step
// taken in two (found by search against the library).
struct CheckCase {
    float x, y;
};
inline constexpr CheckCase kHardCases[] = {
    {0x1.c0dc98p+5f, -0x1.55aa5ep+4f},  {0x1.ac3462p-48f, 0x1.9d9c7p+0f},   {0x1.151094p-3f, -0x1.30d654p+5f},
    {0x1.13732p+5f, 0x1.33092cp+4f},    {0x1.06b3fep+0f, -0x1.50e1dp+11f},  {0x1.28099ap+0f, 0x1.59366p+8f},
    {0x1.f591dep-2f, -0x1.bb4b0cp+6f},  {0x1.e9624p+14f, 0x1.b694fcp+2f},   {0x1.0756b4p+0f, 0x1.ed32dcp+10f},
    {0x1.e3f8c8p-1f, -0x1.76a6c8p+10f}, {0x1.b098dep-1f, 0x1.9a0b82p+8f},   {0x1.43d508p-1f, 0x1.32ff66p+7f},
    {0x1.000006p+0f, 0x1.a2c3b6p+27f},  {0x1.00019cp+0f, -0x1.73aa58p+21f}, {0x1.25a8p+0f, -0x1.30dc14p+9f},
    {0x1.0d26p+0f, 0x1.9c8fdcp+10f},    {0x1.768p+0f, -0x1.7be1fep+7f},     {0x1.0006acp+0f, 0x1.72c4a4p+19f},
    {0x1.3228p+0f, -0x1.c20308p+8f},    {0x1.69596cp-3f, 0x1.7d5dbcp+5f},   {0x1.6138p+0f, 0x1.c33c52p+7f},
    {0x1.0d4ep+0f, 0x1.70bad4p+10f},    {0x1.1a1fp+0f, 0x1.b82c86p+9f},     {0x1.0e8p+0f, 0x1.3bedacp+10f},
    {0x1.2e4cp+0f, -0x1.d16c82p+8f},    {0x1.b074fep+0f, -0x1.34cd6p+7f},   {0x1.0f1e8p+0f, 0x1.4c26ap+10f},
    {0x1.0280cp+0f, -0x1.f5f608p+12f},  {0x1.7c0cp+0f, 0x1.6eea4ep+7f},     {0x1.17db8p-64f, 0x1.d3640ap+0f},
    {0x1.3e44p+0f, 0x1.75ca6cp+8f},     {0x1.3b14p+0f, -0x1.8ef51cp+8f},    {0x1.d6120ep+21f, -0x1.3241cep+2f},
    {0x1.a4a008p-1f, -0x1.bb7b0ap+8f},
};

}  // namespace powlanes

// The levels: each the double lanes of VemaroDoubleLanes.h plus the float and
// integer lanes the sequence needs, then the body of VemaroPowLanes.inl over
// it in its own namespace.
// The float loads and the 32-bit integer lanes, alike but for the prefix.
#define VEMARO_POW_INT_LANES(mm, si) \
    static F loadF(const float* p) { return mm##_loadu_ps(p); } \
    static void storeF(float* p, F v) { mm##_storeu_ps(p, v); } \
    static I asI(F v) { return mm##_castps_##si(v); } \
    static F asF(I v) { return mm##_cast##si##_ps(v); } \
    static I set32(uint32_t v) { return mm##_set1_epi32(static_cast<int>(v)); } \
    static I add32(I a, I b) { return mm##_add_epi32(a, b); } \
    static I sub32(I a, I b) { return mm##_sub_epi32(a, b); } \
    static I and32(I a, I b) { return mm##_and_##si(a, b); } \
    template <int S> \
    static I srli32(I a) { \
        return mm##_srli_epi32(a, S); \
    } \
    template <int S> \
    static I srai32(I a) { \
        return mm##_srai_epi32(a, S); \
    }

#if VEMARO_LANES_SSE2
namespace powlanes {
namespace sse2 {
struct W : lanes::Sse2 {
    using F = __m128;
    using I = __m128i;
    static constexpr int kLanesF = 4;
    static constexpr bool kCanFuse = false;
    static D fma(D, D, D);  // never defined: no fused build at this level
    VEMARO_POW_INT_LANES(_mm, si128)
    // a < b as unsigned, one bit a lane.
    static unsigned belowU32(I a, I b) {
        const I s = _mm_set1_epi32(INT32_MIN);
        return static_cast<unsigned>(
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(_mm_xor_si128(a, s), _mm_xor_si128(b, s)))));
    }
    static D lowF(F f) { return _mm_cvtps_pd(f); }
    static D highF(F f) { return _mm_cvtps_pd(_mm_movehl_ps(f, f)); }
    static D lowI(I i) { return _mm_cvtepi32_pd(i); }
    static D highI(I i) { return _mm_cvtepi32_pd(_mm_srli_si128(i, 8)); }
    // t[i] for the 32-bit lanes of the low or the high half.
    static D lookupLow(const double* t, I i) {
        return _mm_setr_pd(t[_mm_cvtsi128_si32(i)], t[_mm_cvtsi128_si32(_mm_srli_si128(i, 4))]);
    }
    static D lookupHigh(const double* t, I i) { return lookupLow(t, _mm_srli_si128(i, 8)); }
    // The scale 2^(k/32) of kd = kShift + k/32: kExp2Table[k % 32] + (k << 47).
    static D scale(D kd) {
        const __m128i k = _mm_castpd_si128(kd);
        const uint64_t k0 = static_cast<uint64_t>(_mm_cvtsi128_si64(k));
        const uint64_t k1 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(k, k)));
        const __m128i t =
            _mm_set_epi64x(static_cast<long long>(kExp2Table[k1 % 32]), static_cast<long long>(kExp2Table[k0 % 32]));
        return _mm_castsi128_pd(_mm_add_epi64(t, _mm_slli_epi64(k, 47)));
    }
    static F floats(D lo, D hi) { return _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi)); }
};
#include "VemaroPowLanes.inl"
}  // namespace sse2
}  // namespace powlanes
#endif

#if VEMARO_HAVE_AVX2
// The AVX2 level with FMA, which the fused build needs; its blend kernels are
// compiled so (with contraction off, only the explicit fused operations use
// it, and only where the library itself fuses).
// clang-format off
#if defined(__clang__)
#define VEMARO_AVX2_FMA_BEGIN \
    VEMARO_TARGET_BEGIN("clang attribute push(__attribute__((target(\"avx2,fma\"))), apply_to = function)")
#else
#define VEMARO_AVX2_FMA_BEGIN VEMARO_TARGET_BEGIN("GCC target(\"avx2,fma\")")
#endif
// clang-format on

VEMARO_AVX2_FMA_BEGIN
namespace powlanes {
namespace avx2 {
struct W : lanes::Avx2 {
    using F = __m256;
    using I = __m256i;
    static constexpr int kLanesF = 8;
    static constexpr bool kCanFuse = true;
    static D fma(D a, D b, D c) { return _mm256_fmadd_pd(a, b, c); }
    VEMARO_POW_INT_LANES(_mm256, si256)
    static unsigned belowU32(I a, I b) {
        const I s = _mm256_set1_epi32(INT32_MIN);
        return static_cast<unsigned>(_mm256_movemask_ps(
            _mm256_castsi256_ps(_mm256_cmpgt_epi32(_mm256_xor_si256(b, s), _mm256_xor_si256(a, s)))));
    }
    static D lowF(F f) { return _mm256_cvtps_pd(_mm256_castps256_ps128(f)); }
    static D highF(F f) { return _mm256_cvtps_pd(_mm256_extractf128_ps(f, 1)); }
    static D lowI(I i) { return _mm256_cvtepi32_pd(_mm256_castsi256_si128(i)); }
    static D highI(I i) { return _mm256_cvtepi32_pd(_mm256_extracti128_si256(i, 1)); }
    static D lookupLow(const double* t, I i) { return _mm256_i32gather_pd(t, _mm256_castsi256_si128(i), 8); }
    static D lookupHigh(const double* t, I i) { return _mm256_i32gather_pd(t, _mm256_extracti128_si256(i, 1), 8); }
    static D scale(D kd) {
        const __m256i k = _mm256_castpd_si256(kd);
        const __m256i t = _mm256_i64gather_epi64(reinterpret_cast<const long long*>(kExp2Table),
                                                 _mm256_and_si256(k, _mm256_set1_epi64x(31)), 8);
        return _mm256_castsi256_pd(_mm256_add_epi64(t, _mm256_slli_epi64(k, 47)));
    }
    static F floats(D lo, D hi) { return _mm256_set_m128(_mm256_cvtpd_ps(hi), _mm256_cvtpd_ps(lo)); }
};
#include "VemaroPowLanes.inl"
}  // namespace avx2
}  // namespace powlanes
VEMARO_AVX2_END

VEMARO_AVX512_BEGIN
namespace powlanes {
namespace avx512 {
struct W : lanes::Avx512 {
    using F = __m512;
    using I = __m512i;
    static constexpr int kLanesF = 16;
    static constexpr bool kCanFuse = true;
    static D fma(D a, D b, D c) { return _mm512_fmadd_pd(a, b, c); }
    VEMARO_POW_INT_LANES(_mm512, si512)
    static unsigned belowU32(I a, I b) { return _mm512_cmplt_epu32_mask(a, b); }
    static D lowF(F f) { return _mm512_cvtps_pd(_mm512_castps512_ps256(f)); }
    static D highF(F f) { return _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(f), 1))); }
    static D lowI(I i) { return _mm512_cvtepi32_pd(_mm512_castsi512_si256(i)); }
    static D highI(I i) { return _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(i, 1)); }
    // Sixteen entries: a permutation across two registers.
    static D lookup(const double* t, __m256i i) {
        return _mm512_permutex2var_pd(_mm512_loadu_pd(t), _mm512_cvtepu32_epi64(i), _mm512_loadu_pd(t + 8));
    }
    static D lookupLow(const double* t, I i) { return lookup(t, _mm512_castsi512_si256(i)); }
    static D lookupHigh(const double* t, I i) { return lookup(t, _mm512_extracti64x4_epi64(i, 1)); }
    // Thirty-two: two permutations, picked by bit 4 of k.
    static D scale(D kd) {
        const __m512i k = _mm512_castpd_si512(kd);
        const long long* e = reinterpret_cast<const long long*>(kExp2Table);
        const __m512i lo = _mm512_permutex2var_epi64(_mm512_loadu_si512(e), k, _mm512_loadu_si512(e + 8));
        const __m512i hi = _mm512_permutex2var_epi64(_mm512_loadu_si512(e + 16), k, _mm512_loadu_si512(e + 24));
        const __m512i t = _mm512_mask_blend_epi64(_mm512_test_epi64_mask(k, _mm512_set1_epi64(16)), lo, hi);
        return _mm512_castsi512_pd(_mm512_add_epi64(t, _mm512_slli_epi64(k, 47)));
    }
    static F floats(D lo, D hi) {
        const __m256 l = _mm512_cvtpd_ps(lo), h = _mm512_cvtpd_ps(hi);
        return _mm512_castpd_ps(
            _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_castps_pd(l)), _mm256_castps_pd(h), 1));
    }
};
#include "VemaroPowLanes.inl"
}  // namespace avx512
}  // namespace powlanes
VEMARO_AVX512_END
#endif
#undef VEMARO_POW_INT_LANES
