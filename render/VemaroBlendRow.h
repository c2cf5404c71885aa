// Rows of pixels blended at once: top[i] = op(bottom[i], top[i]), or with one
// bottom pixel for the whole row. The results are those of the per-pixel
// functions of VemaroBlend.h to the bit; with SSE2 (every x86-64) the common
// modes at 8 bits and in float take several pixels per step, the rest and
// other processors go pixel by pixel.
#pragma once

#include "VemaroBlend.h"

#include <cstring>
#include <type_traits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEMARO_BLEND_SSE2 1
#endif

namespace Blend {

namespace rowdetail {

// Exact floor(y / A) from a float product: for integers 0 <= y < 2^19 and
// 1 <= A < 2^24, y * fl((1 + 2^-20) / A) lies in [y / A, floor(y / A) + 1):
// the bias outweighs both roundings (2^-23 together) and stays below 1 / A
// over the whole range of y. The blend tests check it for every y and A the
// 8-bit rows use.
constexpr float kQuotientBias = 1.0f + 0x1p-20f;
inline float biasedReciprocal(float A) { return kQuotientBias / A; }
inline uint32_t biasedQuotient(uint32_t y, float reciprocal) {
    return static_cast<uint32_t>(static_cast<float>(y) * reciprocal);
}

// The same in double: for integers 0 <= x < 2^47 and 1 <= D < 2^53,
// x * fl((1 + 2^-48) / D) lies in [x / D, floor(x / D) + 1).
constexpr double kQuotientBias16 = 1.0 + 0x1p-48;

// Pixels whose operands have alpha 0 take the operand itself, as every mode
// starts with: a transparent bottom gives the top, else a transparent top
// gives the bottom.
template <class P>
inline P transparentCase(const P& bottom, const P& top) {
    return bottom.alpha == 0 ? top : bottom;
}

#if VEMARO_BLEND_SSE2
// ------------------------------------------------------------ 8 bits
// Eight pixels as planes of 16-bit lanes.
struct Planes8 {
    __m128i a, r, g, b;
};

inline Planes8 load8(const PF_Pixel* p) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4));
    const __m128i u0 = _mm_unpacklo_epi8(v0, v1), u1 = _mm_unpackhi_epi8(v0, v1);
    const __m128i w0 = _mm_unpacklo_epi8(u0, u1), w1 = _mm_unpackhi_epi8(u0, u1);
    const __m128i ar = _mm_unpacklo_epi8(w0, w1), gb = _mm_unpackhi_epi8(w0, w1);
    const __m128i z = _mm_setzero_si128();
    return {_mm_unpacklo_epi8(ar, z), _mm_unpackhi_epi8(ar, z), _mm_unpacklo_epi8(gb, z), _mm_unpackhi_epi8(gb, z)};
}

// Lanes must hold 0..255.
inline void store8(PF_Pixel* p, const Planes8& q) {
    const __m128i ar = _mm_packus_epi16(q.a, q.r), gb = _mm_packus_epi16(q.g, q.b);
    const __m128i y0 = _mm_unpacklo_epi8(ar, gb), y1 = _mm_unpackhi_epi8(ar, gb);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi8(y0, y1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), _mm_unpackhi_epi8(y0, y1));
}

// The biased reciprocals of eight divisors (16-bit lanes, 0 taken as 1: its
// pixels are replaced anyway), low and high four.
struct Reciprocal8 {
    __m128 lo, hi;
    explicit Reciprocal8(__m128i A) {
        const __m128i one = _mm_set1_epi16(1), z = _mm_setzero_si128();
        const __m128i a = _mm_max_epi16(A, one);
        const __m128 c = _mm_set1_ps(kQuotientBias);
        lo = _mm_div_ps(c, _mm_cvtepi32_ps(_mm_unpacklo_epi16(a, z)));
        hi = _mm_div_ps(c, _mm_cvtepi32_ps(_mm_unpackhi_epi16(a, z)));
    }
    // floor(y / A) of two halves of 32-bit y < 2^19, packed to 16-bit lanes.
    __m128i quotient(__m128i ylo, __m128i yhi) const {
        const __m128i qlo = _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(ylo), lo));
        const __m128i qhi = _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(yhi), hi));
        return _mm_packs_epi32(qlo, qhi);
    }
};

// t * wt + b * wb as two halves of 32-bit lanes; every operand at most 32767.
struct PairSum {
    __m128i lo, hi;
    PairSum(__m128i t, __m128i b, __m128i wlo, __m128i whi) {
        lo = _mm_madd_epi16(_mm_unpacklo_epi16(t, b), wlo);
        hi = _mm_madd_epi16(_mm_unpackhi_epi16(t, b), whi);
    }
};

// u * w of 16-bit unsigned lanes as two halves of 32-bit lanes.
struct Product {
    __m128i lo, hi;
    Product(__m128i u, __m128i w) {
        const __m128i l = _mm_mullo_epi16(u, w), h = _mm_mulhi_epu16(u, w);
        lo = _mm_unpacklo_epi16(l, h);
        hi = _mm_unpackhi_epi16(l, h);
    }
};

template <int S>
inline __m128i mulShift8(__m128i b, __m128i t) {  // (b * t) >> S, b * t < 2^16
    return _mm_srli_epi16(_mm_mullo_epi16(b, t), S);
}

// Channel<V, M>::apply(b, t) is the separable channel function B(b, t) of
// mode M, as in VemaroBlend.h, on the lanes of the depth's vectors: 16-bit
// lanes of __m128i at 8 bits, __m128d at 16 bits, __m128 in float. Modes
// without an entry go pixel by pixel.
struct Lanes8 {};
struct Lanes16 {};
struct LanesF {};
template <class Lanes, BlendMode M>
struct Channel {
    static constexpr bool kVector = false;
};
#define VEMARO_CHANNEL(Lanes, V, mode, expr)          \
    template <>                                       \
    struct Channel<Lanes, BlendMode::mode> {          \
        static constexpr bool kVector = true;         \
        static V apply(V b, V t) { return expr; }     \
    };
#define VEMARO_CHANNEL8(mode, expr) VEMARO_CHANNEL(Lanes8, __m128i, mode, expr)
inline __m128i screen8(__m128i b, __m128i t) { return _mm_sub_epi16(_mm_add_epi16(t, b), mulShift8<8>(t, b)); }
inline __m128i twiceScreenLess255(__m128i b, __m128i t) {
    const __m128i s = screen8(b, t);
    return _mm_sub_epi16(_mm_add_epi16(s, s), _mm_set1_epi16(255));
}
inline __m128i select16(__m128i m, __m128i a, __m128i b) { return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b)); }
VEMARO_CHANNEL8(Add, _mm_add_epi16(t, b))
VEMARO_CHANNEL8(Multiply, mulShift8<8>(t, b))
VEMARO_CHANNEL8(Screen, screen8(b, t))
VEMARO_CHANNEL8(Overlay, select16(_mm_cmpgt_epi16(b, _mm_set1_epi16(127)), twiceScreenLess255(b, t), mulShift8<7>(t, b)))
VEMARO_CHANNEL8(Hardlight, select16(_mm_cmpgt_epi16(t, _mm_set1_epi16(127)), twiceScreenLess255(b, t), mulShift8<7>(b, t)))
VEMARO_CHANNEL8(Darken, _mm_min_epi16(b, t))
VEMARO_CHANNEL8(Lighten, _mm_max_epi16(b, t))
VEMARO_CHANNEL8(Difference, _mm_sub_epi16(_mm_max_epi16(b, t), _mm_min_epi16(b, t)))
VEMARO_CHANNEL8(Exclusion, _mm_sub_epi16(_mm_add_epi16(t, b), mulShift8<7>(t, b)))
#undef VEMARO_CHANNEL8

template <BlendMode M>
constexpr bool kVector8 = M == BlendMode::Normal || M == BlendMode::AlphaAdd || Channel<Lanes8, M>::kVector;

// Eight composites; sets `special` to the 16-bit lanes the arithmetic below
// does not cover (a transparent operand), which take transparentCase.
template <BlendMode M>
inline Planes8 kernel8(const Planes8& B, const Planes8& T, __m128i& special) {
    const __m128i z = _mm_setzero_si128(), full = _mm_set1_epi16(255);
    const __m128i ab = B.a, at = T.a;
    if constexpr (M == BlendMode::Normal || M == BlendMode::AlphaAdd) {
        // Normal: wb = ((255 - at) * ab) >> 8, A = at + wb; an opaque top and a
        // transparent bottom come out as the top by themselves. Alpha add:
        // wb = ab, A = at + ab; one transparent operand gives the other.
        __m128i wb;
        if constexpr (M == BlendMode::Normal) {
            wb = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(full, at), ab), 8);
            special = _mm_cmpeq_epi16(at, z);
        } else {
            wb = ab;
            special = _mm_cmpeq_epi16(_mm_or_si128(at, ab), z);
        }
        const __m128i A = _mm_add_epi16(at, wb);
        const Reciprocal8 inv(A);
        const __m128i wlo = _mm_unpacklo_epi16(at, wb), whi = _mm_unpackhi_epi16(at, wb);
        auto mix = [&](__m128i t, __m128i b) {
            const PairSum x(t, b, wlo, whi);
            return _mm_min_epi16(inv.quotient(x.lo, x.hi), full);
        };
        return {_mm_min_epi16(A, full), mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
    } else {
        // Weights for top only, bottom only and both; x = t Wt + b Wb + B W2
        // stays below 2^25, its quotient by 256 A is that of x >> 8 by A.
        special = _mm_or_si128(_mm_cmpeq_epi16(at, z), _mm_cmpeq_epi16(ab, z));
        const __m128i Wt = _mm_mullo_epi16(_mm_sub_epi16(full, ab), at);
        const __m128i Wb = _mm_mullo_epi16(_mm_sub_epi16(full, at), ab);
        const __m128i W2 = _mm_mullo_epi16(at, ab);
        const __m128i A = _mm_add_epi16(ab, _mm_srli_epi16(Wt, 8));
        const Reciprocal8 inv(A);
        auto mix = [&](__m128i t, __m128i b) {
            const Product pt(t, Wt), pb(b, Wb), p2(Channel<Lanes8, M>::apply(b, t), W2);
            const __m128i ylo = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(pt.lo, pb.lo), p2.lo), 8);
            const __m128i yhi = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(pt.hi, pb.hi), p2.hi), 8);
            return _mm_min_epi16(inv.quotient(ylo, yhi), full);
        };
        return {_mm_min_epi16(A, full), mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
    }
}

// Calls step(src, dst, planes of src) for whole groups of N pixels, the bottom
// being a row or one pixel repeated; returns how many pixels were done.
template <int N, bool kUniform, class P, class Load, class Step>
inline A_long groups(const P* bottom, P* top, A_long n, Load load, Step step) {
    P same[N];
    if constexpr (kUniform) {
        for (P& p : same) p = *bottom;
        bottom = same;
    }
    decltype(load(bottom)) uniform{};
    if constexpr (kUniform) uniform = load(bottom);
    A_long i = 0;
    for (; i + N <= n; i += N) {
        const P* src = kUniform ? bottom : bottom + i;
        step(src, top + i, kUniform ? uniform : load(src));
    }
    return i;
}

template <BlendMode M, bool kUniform>
inline A_long rows8(const PF_Pixel* bottom, PF_Pixel* top, A_long n) {
    return groups<8, kUniform>(bottom, top, n, load8, [](const PF_Pixel* src, PF_Pixel* dst, const Planes8& B) {
        __m128i special;
        const Planes8 R = kernel8<M>(B, load8(dst), special);
        const int mask = _mm_movemask_epi8(special);
        if (mask == 0) {
            store8(dst, R);
            return;
        }
        PF_Pixel saved[8];
        std::memcpy(saved, dst, sizeof saved);
        store8(dst, R);
        for (int k = 0; k < 8; ++k)
            if (mask & (1 << (2 * k))) dst[k] = transparentCase(src[k], saved[k]);
    });
}

// ------------------------------------------------------------ float
#define VEMARO_CHANNELF(mode, expr) VEMARO_CHANNEL(LanesF, __m128, mode, expr)
inline __m128 selectF(__m128 m, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b)); }
// 2 b t and 1 - 2 (1 - b)(1 - t), in the order of the scalar functions.
inline __m128 lowF(__m128 b, __m128 t) { return _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(2.0f), b), t); }
inline __m128 highF(__m128 b, __m128 t) {
    const __m128 one = _mm_set1_ps(1.0f);
    return _mm_sub_ps(one, _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(2.0f), _mm_sub_ps(one, b)), _mm_sub_ps(one, t)));
}
VEMARO_CHANNELF(Add, _mm_add_ps(t, b))
VEMARO_CHANNELF(Multiply, _mm_mul_ps(t, b))
VEMARO_CHANNELF(Screen, _mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(1.0f), b), _mm_sub_ps(_mm_set1_ps(1.0f), t))))
VEMARO_CHANNELF(Overlay, selectF(_mm_cmplt_ps(b, _mm_set1_ps(0.5f)), lowF(b, t), highF(b, t)))
VEMARO_CHANNELF(Hardlight, selectF(_mm_cmplt_ps(t, _mm_set1_ps(0.5f)), lowF(b, t), highF(b, t)))
VEMARO_CHANNELF(Darken, _mm_min_ps(b, t))
VEMARO_CHANNELF(Lighten, _mm_max_ps(b, t))
VEMARO_CHANNELF(Difference, _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(b, t)))
VEMARO_CHANNELF(Exclusion, _mm_sub_ps(_mm_add_ps(b, t), lowF(b, t)))
#undef VEMARO_CHANNELF

template <BlendMode M>
constexpr bool kVectorF = M == BlendMode::Normal || Channel<LanesF, M>::kVector;

// Four pixels as planes.
struct PlanesF {
    __m128 a, r, g, b;
};
inline PlanesF loadF(const PF_PixelFloat* p) {
    PlanesF q{_mm_loadu_ps(&p[0].alpha), _mm_loadu_ps(&p[1].alpha), _mm_loadu_ps(&p[2].alpha),
              _mm_loadu_ps(&p[3].alpha)};
    _MM_TRANSPOSE4_PS(q.a, q.r, q.g, q.b);
    return q;
}
inline void storeF(PF_PixelFloat* p, PlanesF q) {
    _MM_TRANSPOSE4_PS(q.a, q.r, q.g, q.b);
    _mm_storeu_ps(&p[0].alpha, q.a);
    _mm_storeu_ps(&p[1].alpha, q.r);
    _mm_storeu_ps(&p[2].alpha, q.g);
    _mm_storeu_ps(&p[3].alpha, q.b);
}

// Four composites with the operations of the scalar functions, in their
// order; a transparent bottom gives the top, else a transparent top the
// bottom, and normal keeps an opaque top.
template <BlendMode M>
inline PlanesF kernelF(const PlanesF& B, const PlanesF& T) {
    const __m128 z = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    const __m128 ab = B.a, at = T.a;
    __m128 keepTop = _mm_cmpeq_ps(ab, z);
    const __m128 keepBottom = _mm_andnot_ps(keepTop, _mm_cmpeq_ps(at, z));
    PlanesF R;
    if constexpr (M == BlendMode::Normal) {
        keepTop = _mm_or_ps(keepTop, _mm_andnot_ps(keepBottom, _mm_cmpeq_ps(at, one)));
        const __m128 wb = _mm_mul_ps(ab, _mm_sub_ps(one, at));
        const __m128 A = _mm_add_ps(at, wb);
        auto mix = [&](__m128 b, __m128 t) { return _mm_div_ps(_mm_add_ps(_mm_mul_ps(t, at), _mm_mul_ps(b, wb)), A); };
        R = {A, mix(B.r, T.r), mix(B.g, T.g), mix(B.b, T.b)};
    } else {
        const __m128 W2 = _mm_mul_ps(ab, at);
        const __m128 Wb = _mm_sub_ps(ab, W2);
        const __m128 Wt = _mm_sub_ps(at, W2);
        const __m128 A = _mm_add_ps(at, Wb);
        auto mix = [&](__m128 b, __m128 t) {
            const __m128 s = _mm_add_ps(_mm_mul_ps(t, Wt), _mm_mul_ps(Channel<LanesF, M>::apply(b, t), W2));
            return _mm_div_ps(_mm_add_ps(s, _mm_mul_ps(b, Wb)), A);
        };
        R = {A, mix(B.r, T.r), mix(B.g, T.g), mix(B.b, T.b)};
    }
    auto pick = [&](__m128 b, __m128 t, __m128 r) { return selectF(keepTop, t, selectF(keepBottom, b, r)); };
    return {pick(B.a, T.a, R.a), pick(B.r, T.r, R.r), pick(B.g, T.g, R.g), pick(B.b, T.b, R.b)};
}

template <BlendMode M, bool kUniform>
inline A_long rowsF(const PF_PixelFloat* bottom, PF_PixelFloat* top, A_long n) {
    return groups<4, kUniform>(bottom, top, n, loadF, [](const PF_PixelFloat*, PF_PixelFloat* dst, const PlanesF& B) {
        storeF(dst, kernelF<M>(B, loadF(dst)));
    });
}

// ------------------------------------------------------------ 16 bits
// One pixel as two pairs of doubles, (alpha, red) and (green, blue); every
// value below is an integer under 2^53, so the products and sums are exact,
// and the quotients come from kQuotientBias16.
struct Pair16 {
    __m128d ar, gb;
};
// Channels above full are taken as full.
inline Pair16 load16(const PF_Pixel16& p) {
    __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&p));
    v = _mm_sub_epi16(v, _mm_subs_epu16(v, _mm_set1_epi16(static_cast<short>(0x8000))));
    const __m128i w = _mm_unpacklo_epi16(v, _mm_setzero_si128());
    return {_mm_cvtepi32_pd(w), _mm_cvtepi32_pd(_mm_srli_si128(w, 8))};
}
inline void store16(PF_Pixel16& p, const Pair16& q) {
    const __m128i v = _mm_unpacklo_epi64(_mm_cvttpd_epi32(q.ar), _mm_cvttpd_epi32(q.gb));
    const __m128i bias = _mm_set1_epi32(32768);
    const __m128i packed = _mm_add_epi16(_mm_packs_epi32(_mm_sub_epi32(v, bias), v), _mm_set1_epi16(static_cast<short>(0x8000)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&p), packed);
}
// floor(v / 2^S) of non-negative integers v < 2^31 * 2^S.
template <int S>
inline __m128d floorShift(__m128d v) {
    return _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_mul_pd(v, _mm_set1_pd(1.0 / (1 << S)))));
}
inline __m128d selectD(__m128d m, __m128d a, __m128d b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }

#define VEMARO_CHANNEL16(mode, expr) VEMARO_CHANNEL(Lanes16, __m128d, mode, expr)
inline __m128d screen16(__m128d b, __m128d t) { return _mm_sub_pd(_mm_add_pd(t, b), floorShift<15>(_mm_mul_pd(t, b))); }
inline __m128d twiceScreenLessFull(__m128d b, __m128d t) {
    const __m128d s = screen16(b, t);
    return _mm_sub_pd(_mm_add_pd(s, s), _mm_set1_pd(32768.0));
}
VEMARO_CHANNEL16(Add, _mm_add_pd(t, b))
VEMARO_CHANNEL16(Multiply, floorShift<15>(_mm_mul_pd(t, b)))
VEMARO_CHANNEL16(Screen, screen16(b, t))
VEMARO_CHANNEL16(Overlay, selectD(_mm_cmpge_pd(b, _mm_set1_pd(16384.0)), twiceScreenLessFull(b, t), floorShift<14>(_mm_mul_pd(t, b))))
VEMARO_CHANNEL16(Hardlight, selectD(_mm_cmpge_pd(t, _mm_set1_pd(16384.0)), twiceScreenLessFull(b, t), floorShift<14>(_mm_mul_pd(b, t))))
VEMARO_CHANNEL16(Darken, _mm_min_pd(b, t))
VEMARO_CHANNEL16(Lighten, _mm_max_pd(b, t))
VEMARO_CHANNEL16(Difference, _mm_sub_pd(_mm_max_pd(b, t), _mm_min_pd(b, t)))
VEMARO_CHANNEL16(Exclusion, _mm_sub_pd(_mm_add_pd(t, b), floorShift<14>(_mm_mul_pd(t, b))))
#undef VEMARO_CHANNEL16
#undef VEMARO_CHANNEL

template <BlendMode M>
constexpr bool kVector16 = M == BlendMode::Normal || M == BlendMode::AlphaAdd || Channel<Lanes16, M>::kVector;

// One composite of operands whose alphas are not 0.
template <BlendMode M>
inline void kernel16(const PF_Pixel16& bottom, PF_Pixel16& top) {
    const Pair16 B = load16(bottom), T = load16(top);
    const __m128d full = _mm_set1_pd(32768.0);
    const __m128d ab = _mm_unpacklo_pd(B.ar, B.ar), at = _mm_unpacklo_pd(T.ar, T.ar);
    Pair16 R;
    if constexpr (M == BlendMode::Normal || M == BlendMode::AlphaAdd) {
        __m128d wb;
        if constexpr (M == BlendMode::Normal)
            wb = floorShift<15>(_mm_mul_pd(_mm_sub_pd(full, at), ab));
        else
            wb = ab;
        const __m128d A = _mm_add_pd(at, wb);
        const __m128d inv = _mm_div_pd(_mm_set1_pd(kQuotientBias16), A);
        auto mix = [&](__m128d t, __m128d b) {
            return _mm_min_pd(_mm_mul_pd(_mm_add_pd(_mm_mul_pd(t, at), _mm_mul_pd(b, wb)), inv), full);
        };
        R = {_mm_move_sd(mix(T.ar, B.ar), _mm_min_pd(A, full)), mix(T.gb, B.gb)};
    } else {
        const __m128d Wt = _mm_mul_pd(_mm_sub_pd(full, ab), at);
        const __m128d Wb = _mm_mul_pd(_mm_sub_pd(full, at), ab);
        const __m128d W2 = _mm_mul_pd(at, ab);
        const __m128d A = _mm_add_pd(ab, floorShift<15>(Wt));
        const __m128d inv = _mm_div_pd(_mm_set1_pd(kQuotientBias16), _mm_mul_pd(A, full));
        auto mix = [&](__m128d t, __m128d b) {
            const __m128d x = _mm_add_pd(_mm_add_pd(_mm_mul_pd(t, Wt), _mm_mul_pd(b, Wb)),
                                         _mm_mul_pd(Channel<Lanes16, M>::apply(b, t), W2));
            return _mm_min_pd(_mm_mul_pd(x, inv), full);
        };
        R = {_mm_move_sd(mix(T.ar, B.ar), _mm_min_pd(A, full)), mix(T.gb, B.gb)};
    }
    store16(top, R);
}

template <BlendMode M, bool kUniform>
inline A_long rows16(const PF_Pixel16* bottom, PF_Pixel16* top, A_long n) {
    for (A_long i = 0; i < n; ++i) {
        const PF_Pixel16& b = kUniform ? *bottom : bottom[i];
        if (b.alpha == 0 || top[i].alpha == 0)
            top[i] = transparentCase(b, top[i]);
        else
            kernel16<M>(b, top[i]);
    }
    return n;
}
#endif

template <BlendMode M, bool kUniform, class P>
inline void blendRow(const P* bottom, P* top, A_long n) {
    A_long i = 0;
#if VEMARO_BLEND_SSE2
    if constexpr (std::is_same_v<P, PF_Pixel>) {
        if constexpr (kVector8<M>) i = rows8<M, kUniform>(bottom, top, n);
    } else if constexpr (std::is_same_v<P, PF_Pixel16>) {
        if constexpr (kVector16<M>) i = rows16<M, kUniform>(bottom, top, n);
    } else if constexpr (std::is_same_v<P, PF_PixelFloat>) {
        if constexpr (kVectorF<M>) i = rowsF<M, kUniform>(bottom, top, n);
    }
#endif
    const BlendOp<M> op;
    for (; i < n; ++i) top[i] = op(kUniform ? *bottom : bottom[i], top[i]);
}

}  // namespace rowdetail

// top[i] = op(bottom[i], top[i]) for i in [0, n).
template <BlendMode M, class P>
inline void blendRow(BlendOp<M>, const P* bottom, P* top, A_long n) {
    rowdetail::blendRow<M, false>(bottom, top, n);
}
// top[i] = op(bottom, top[i]) for i in [0, n).
template <BlendMode M, class P>
inline void blendRowBeneath(BlendOp<M>, const P& bottom, P* top, A_long n) {
    rowdetail::blendRow<M, true>(&bottom, top, n);
}

}  // namespace Blend
