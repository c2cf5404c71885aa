// The fourteen per-pixel blend modes for the three pixel types, and the tables
// that map the "Blending Mode" popup to them. Every function takes (bottom, top)
// and returns the composite; pixels are straight (not premultiplied) ARGB.
//
// The functions are defined here, inline, so that pixel loops which pick a mode
// once per band (withBlendOp) get it inlined into their inner loop; the tables
// hold pointers to the very same functions for callers that want a pointer.
#pragma once

#include "AE_Types.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

// The blend functions are small but contain divisions, which makes compilers
// shy to inline them; pixel loops depend on it.
#if defined(_MSC_VER)
#define VEMARO_INLINE __forceinline
#else
#define VEMARO_INLINE inline __attribute__((always_inline))
#endif
// The same for the lambdas that pixel loops are written with.
#if defined(__GNUC__)
#define VEMARO_INLINE_LAMBDA __attribute__((always_inline))
#else
#define VEMARO_INLINE_LAMBDA
#endif

namespace Blend {

// ------------------------------------------------------------ integer depths
namespace detail {

// 8 bits: full value 255, products shifted by 8 (a division by 256, which is
// the effect's look). 16 bits: full value 32768, shifted by 15; the weighted
// sums reach 2^47 and need 64 bits.
template <class P, class C, class W, unsigned Full, int Shift>
struct IntegerDepth {
    using Pixel = P;
    using Chan = C;
    using Wide = W;
    static constexpr Wide kFull = Full;
    static constexpr Wide kHalf = (Full + 1) / 2;  // where overlay and hard light switch
    static constexpr int kShift = Shift;
};
using Depth8 = IntegerDepth<PF_Pixel, A_u_char, uint32_t, 255, 8>;
using Depth16 = IntegerDepth<PF_Pixel16, A_u_short, uint64_t, 32768, 15>;
static_assert(Depth8::kHalf == 128 && Depth16::kHalf == 16384, "half values");

template <class P>
struct DepthOf;
template <>
struct DepthOf<PF_Pixel> {
    using type = Depth8;
};
template <>
struct DepthOf<PF_Pixel16> {
    using type = Depth16;
};

// Exact integer quotients without a division instruction, one per channel
// being the cost of the blends.
//
// 8 bits: q = floor(x / A) = (x * m) >> k with m = floor(2^k / A) + 1 is exact
// whenever x * A < 2^k. Normal and alpha add divide x < 255 * 510 by A <= 510
// (k = 32); the separable modes divide x <= 255 * 255 * (ab + at) by A <= 255
// and shift by 8 more, that is divide by 256 A (k = 41, x * A < 2^33).
//
// 16 bits: the sums stay below 2^53, so their double quotient is exact to
// well within 1 / A of the true one and truncates to the right integer.
template <int K, std::size_t N>
constexpr std::array<uint64_t, N> reciprocals() {
    std::array<uint64_t, N> m{};
    for (std::size_t a = 1; a < N; ++a) m[a] = ((uint64_t{1} << K) / a) + 1;
    return m;
}
inline constexpr std::array<uint64_t, 511> kReciprocal32 = reciprocals<32, 511>();
inline constexpr std::array<uint64_t, 256> kReciprocal33 = reciprocals<33, 256>();

// floor(x / A).
template <class D>
VEMARO_INLINE typename D::Wide quotient(typename D::Wide x, typename D::Wide A) {
    if constexpr (D::kFull == 255) {
        return static_cast<uint32_t>((uint64_t{x} * kReciprocal32[A]) >> 32);
    } else {
        return static_cast<typename D::Wide>(static_cast<double>(x) / static_cast<double>(A));
    }
}
// floor(floor(x / A) / 2^shift) = floor(x / (A * 2^shift)).
template <class D>
VEMARO_INLINE typename D::Wide quotientShifted(typename D::Wide x, typename D::Wide A) {
    if constexpr (D::kFull == 255) {
        return static_cast<uint32_t>((uint64_t{x} * kReciprocal33[A]) >> 41);
    } else {
        return static_cast<typename D::Wide>(
            static_cast<double>(x) / (static_cast<double>(A) * static_cast<double>(typename D::Wide{1} << D::kShift)));
    }
}

// A 16-bit channel may hold up to 65535 although full is 32768; the unsigned
// arithmetic below relies on every channel being at most full, so larger
// values are taken as full (no-op at 8 bits).
template <class D>
VEMARO_INLINE typename D::Wide chan(unsigned v) {
    return v > D::kFull ? D::kFull : v;
}

template <class D>
VEMARO_INLINE typename D::Pixel make(typename D::Wide a, typename D::Wide r, typename D::Wide g, typename D::Wide b) {
    using C = typename D::Chan;
    return {static_cast<C>(a), static_cast<C>(r), static_cast<C>(g), static_cast<C>(b)};
}

// The pixel with every channel at most full; nothing to do at 8 bits.
template <class D>
VEMARO_INLINE typename D::Pixel clampPixel(const typename D::Pixel& p) {
    if constexpr (D::kFull == 255) {
        return p;
    } else {
        return make<D>(chan<D>(p.alpha), chan<D>(p.red), chan<D>(p.green), chan<D>(p.blue));
    }
}

template <class D>
VEMARO_INLINE typename D::Wide minFull(typename D::Wide v) {
    return v > D::kFull ? D::kFull : v;
}

// The separable modes: weights for top only, bottom only and both, then each
// channel = ((t*Wt + b*Wb + B(b, t)*W2) / A) >> shift, clamped to full.
template <class D, class F>
VEMARO_INLINE typename D::Pixel separable(const typename D::Pixel& bottom, const typename D::Pixel& top, F channel) {
    using W = typename D::Wide;
    if (bottom.alpha == 0) return top;
    if (top.alpha == 0) return bottom;
    const W ab = chan<D>(bottom.alpha), at = chan<D>(top.alpha);
    const W Wt = (D::kFull - ab) * at;
    const W Wb = (D::kFull - at) * ab;
    const W W2 = at * ab;
    const W A = ab + (Wt >> D::kShift);
    auto mix = [&](unsigned bc, unsigned tc) -> W {
        const W b = chan<D>(bc), t = chan<D>(tc);
        return minFull<D>(quotientShifted<D>(t * Wt + b * Wb + channel(b, t) * W2, A));
    };
    return make<D>(minFull<D>(A), mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue));
}

// Colours averaged with the weights wt (top) and wb (bottom) over A.
template <class D>
VEMARO_INLINE typename D::Pixel weighted(const typename D::Pixel& bottom, const typename D::Pixel& top,
                                         typename D::Wide wt, typename D::Wide wb, typename D::Wide A) {
    using W = typename D::Wide;
    auto mix = [&](unsigned bc, unsigned tc) -> W {
        return minFull<D>(quotient<D>(chan<D>(tc) * wt + chan<D>(bc) * wb, A));
    };
    return make<D>(minFull<D>(A), mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue));
}

template <class D>
VEMARO_INLINE typename D::Pixel normal(const typename D::Pixel& bottom, const typename D::Pixel& top) {
    using W = typename D::Wide;
    if (bottom.alpha == 0) return top;
    if (top.alpha == 0) return bottom;
    const W ab = chan<D>(bottom.alpha), at = chan<D>(top.alpha);
    if (at == D::kFull) return clampPixel<D>(top);
    const W wb = ((D::kFull - at) * ab) >> D::kShift;
    return weighted<D>(bottom, top, at, wb, at + wb);
}

// The alphas add and the colours are averaged by alpha.
template <class D>
VEMARO_INLINE typename D::Pixel alphaAdd(const typename D::Pixel& bottom, const typename D::Pixel& top) {
    using W = typename D::Wide;
    if (bottom.alpha == 0) return top;
    if (top.alpha == 0) return bottom;
    const W ab = chan<D>(bottom.alpha), at = chan<D>(top.alpha);
    return weighted<D>(bottom, top, at, ab, ab + at);
}

// The channel functions B(b, t); b and t are at most full, so every result is
// non-negative.
template <class D>
struct Chan {
    using W = typename D::Wide;
    static constexpr int S = D::kShift;
    static constexpr W F = D::kFull;
    static W add(W b, W t) { return t + b; }
    static W multiply(W b, W t) { return (t * b) >> S; }
    static W screen(W b, W t) { return t + b - ((t * b) >> S); }
    static W overlay(W b, W t) { return b >= D::kHalf ? 2 * (t + b - ((t * b) >> S)) - F : (t * b) >> (S - 1); }
    static W hardlight(W b, W t) { return t >= D::kHalf ? 2 * (b + t - ((b * t) >> S)) - F : (b * t) >> (S - 1); }
    static W dodge(W b, W t) { return b < F - t ? (b * F) / (F - t) : F; }
    static W burn(W b, W t) { return F - b < t ? F - ((F - b) * F) / t : 0; }
    static W darken(W b, W t) { return b < t ? b : t; }
    static W lighten(W b, W t) { return b > t ? b : t; }
    static W difference(W b, W t) { return t > b ? t - b : b - t; }
    static W exclusion(W b, W t) { return t + b - ((t * b) >> (S - 1)); }
};

// Float channel value back to an integer channel: v = f * full + 0.5 in single
// precision, clamped, truncated.
template <class D>
VEMARO_INLINE typename D::Wide fromFloat(float f) {
    const float v = f * static_cast<float>(D::kFull) + 0.5f;
    if (!(v >= 0.0f)) return 0;  // also NaN
    if (v > static_cast<float>(D::kFull)) return D::kFull;
    return static_cast<typename D::Wide>(v);
}

}  // namespace detail

// ------------------------------------------------------------ float
namespace detail {

// A NaN made by the arithmetic (from infinite or NaN channels) comes out as
// the one quiet NaN: which of two NaN operands an operation passes on, and so
// the sign and payload, depends on an operand order that the compiler and the
// vector paths choose freely.
VEMARO_INLINE float canonicalNaN(float v) { return v == v ? v : std::numeric_limits<float>::quiet_NaN(); }
VEMARO_INLINE PF_PixelFloat canonicalNaN(const PF_PixelFloat& p) {
    return {canonicalNaN(p.alpha), canonicalNaN(p.red), canonicalNaN(p.green), canonicalNaN(p.blue)};
}

template <class F>
VEMARO_INLINE PF_PixelFloat separableF(const PF_PixelFloat& bottom, const PF_PixelFloat& top, F channel) {
    if (bottom.alpha == 0.0f) return top;
    if (top.alpha == 0.0f) return bottom;
    const float ab = bottom.alpha, at = top.alpha;
    const float W2 = ab * at;
    const float Wb = ab - W2;
    const float Wt = at - W2;
    const float A = at + Wb;
    auto mix = [&](float b, float t) { return (t * Wt + channel(b, t) * W2 + b * Wb) / A; };
    return canonicalNaN({A, mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue)});
}

struct ChanF {
    static float add(float b, float t) { return t + b; }
    static float multiply(float b, float t) { return t * b; }
    static float screen(float b, float t) { return 1.0f - (1.0f - b) * (1.0f - t); }
    static float overlay(float b, float t) { return b < 0.5f ? 2.0f * b * t : 1.0f - 2.0f * (1.0f - b) * (1.0f - t); }
    static float hardlight(float b, float t) { return t < 0.5f ? 2.0f * b * t : 1.0f - 2.0f * (1.0f - b) * (1.0f - t); }
    static float dodge(float b, float t) {
        if (b == 0.0f) return 0.0f;
        if (b >= 1.0f - t) return 1.0f;
        return b / (1.0f - t);
    }
    static float burn(float b, float t) {
        if (b >= 1.0f) return 1.0f;
        if (1.0f - b >= t) return 0.0f;
        return 1.0f - (1.0f - b) / t;
    }
    static float darken(float b, float t) { return b < t ? b : t; }
    static float lighten(float b, float t) { return b > t ? b : t; }
    static float difference(float b, float t) { return std::fabs(b - t); }
    static float exclusion(float b, float t) { return b + t - 2.0f * b * t; }
    static float softlight(float b, float t) { return std::pow(b, t < 0.5f ? 2.0f * (1.0f - t) : 1.0f / (2.0f * t)); }
};

VEMARO_INLINE float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

}  // namespace detail

// ------------------------------------------------------------ the functions
#define VEMARO_INT_SEPARABLE(name) \
    VEMARO_INLINE PF_Pixel name(const PF_Pixel& bottom, const PF_Pixel& top) { \
        return detail::separable<detail::Depth8>( \
            bottom, top, [](auto b, auto t) { return detail::Chan<detail::Depth8>::name(b, t); }); \
    } \
    VEMARO_INLINE PF_Pixel16 name(const PF_Pixel16& bottom, const PF_Pixel16& top) { \
        return detail::separable<detail::Depth16>( \
            bottom, top, [](auto b, auto t) { return detail::Chan<detail::Depth16>::name(b, t); }); \
    } \
    VEMARO_INLINE PF_PixelFloat name(const PF_PixelFloat& bottom, const PF_PixelFloat& top) { \
        return detail::separableF(bottom, top, [](float b, float t) { return detail::ChanF::name(b, t); }); \
    }
VEMARO_INT_SEPARABLE(add)
VEMARO_INT_SEPARABLE(multiply)
VEMARO_INT_SEPARABLE(screen)
VEMARO_INT_SEPARABLE(overlay)
VEMARO_INT_SEPARABLE(hardlight)
VEMARO_INT_SEPARABLE(dodge)
VEMARO_INT_SEPARABLE(burn)
VEMARO_INT_SEPARABLE(darken)
VEMARO_INT_SEPARABLE(lighten)
VEMARO_INT_SEPARABLE(difference)
VEMARO_INT_SEPARABLE(exclusion)
#undef VEMARO_INT_SEPARABLE

VEMARO_INLINE PF_Pixel normal(const PF_Pixel& bottom, const PF_Pixel& top) {
    return detail::normal<detail::Depth8>(bottom, top);
}
VEMARO_INLINE PF_Pixel16 normal(const PF_Pixel16& bottom, const PF_Pixel16& top) {
    return detail::normal<detail::Depth16>(bottom, top);
}
VEMARO_INLINE PF_PixelFloat normal(const PF_PixelFloat& bottom, const PF_PixelFloat& top) {
    if (bottom.alpha == 0.0f) return top;
    if (top.alpha == 0.0f) return bottom;
    const float ab = bottom.alpha, at = top.alpha;
    if (at == 1.0f) return top;
    const float wb = ab * (1.0f - at);
    const float A = at + wb;
    auto mix = [&](float b, float t) { return (t * at + b * wb) / A; };
    return detail::canonicalNaN(
        {A, mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue)});
}

VEMARO_INLINE PF_PixelFloat softlight(const PF_PixelFloat& bottom, const PF_PixelFloat& top) {
    return detail::separableF(bottom, top, [](float b, float t) { return detail::ChanF::softlight(b, t); });
}
// At the integer depths soft light goes through the float function and back,
// alpha included.
VEMARO_INLINE PF_Pixel softlight(const PF_Pixel& bottom, const PF_Pixel& top) {
    using D = detail::Depth8;
    if (bottom.alpha == 0) return top;
    if (top.alpha == 0) return bottom;
    auto f = [](unsigned c) { return static_cast<float>(c / 255.0); };
    const PF_PixelFloat r = softlight(PF_PixelFloat{f(bottom.alpha), f(bottom.red), f(bottom.green), f(bottom.blue)},
                                      PF_PixelFloat{f(top.alpha), f(top.red), f(top.green), f(top.blue)});
    return detail::make<D>(detail::fromFloat<D>(r.alpha), detail::fromFloat<D>(r.red), detail::fromFloat<D>(r.green),
                           detail::fromFloat<D>(r.blue));
}
VEMARO_INLINE PF_Pixel16 softlight(const PF_Pixel16& bottom, const PF_Pixel16& top) {
    using D = detail::Depth16;
    if (bottom.alpha == 0) return top;
    if (top.alpha == 0) return bottom;
    auto f = [](unsigned c) { return static_cast<float>(detail::chan<D>(c)) * (1.0f / 32768.0f); };
    const PF_PixelFloat r = softlight(PF_PixelFloat{f(bottom.alpha), f(bottom.red), f(bottom.green), f(bottom.blue)},
                                      PF_PixelFloat{f(top.alpha), f(top.red), f(top.green), f(top.blue)});
    return detail::make<D>(detail::fromFloat<D>(r.alpha), detail::fromFloat<D>(r.red), detail::fromFloat<D>(r.green),
                           detail::fromFloat<D>(r.blue));
}

VEMARO_INLINE PF_Pixel alpha_add(const PF_Pixel& bottom, const PF_Pixel& top) {
    return detail::alphaAdd<detail::Depth8>(bottom, top);
}
VEMARO_INLINE PF_Pixel16 alpha_add(const PF_Pixel16& bottom, const PF_Pixel16& top) {
    return detail::alphaAdd<detail::Depth16>(bottom, top);
}
// The only float mode that clamps.
VEMARO_INLINE PF_PixelFloat alpha_add(const PF_PixelFloat& bottom, const PF_PixelFloat& top) {
    if (bottom.alpha == 0.0f) return top;
    if (top.alpha == 0.0f) return bottom;
    const float ab = bottom.alpha, at = top.alpha;
    const float A = ab + at;
    auto mix = [&](float b, float t) { return detail::clamp01((b * ab + t * at) / A); };
    return detail::canonicalNaN(
        {detail::clamp01(A), mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue)});
}

}  // namespace Blend

// ------------------------------------------------------------ tables
enum class BlendMode {
    Normal,
    Darken,
    Multiply,
    Burn,
    Add,
    Lighten,
    Screen,
    Dodge,
    Overlay,
    Softlight,
    Hardlight,
    Difference,
    Exclusion,
    AlphaAdd
};

// Popup value k + 1 -> mode; the popup's second item is a separator line.
constexpr std::array<BlendMode, 15> kPopupBlendModes = {
    BlendMode::Normal,    BlendMode::Normal,    BlendMode::Darken,     BlendMode::Multiply,  BlendMode::Burn,
    BlendMode::Add,       BlendMode::Lighten,   BlendMode::Screen,     BlendMode::Dodge,     BlendMode::Overlay,
    BlendMode::Softlight, BlendMode::Hardlight, BlendMode::Difference, BlendMode::Exclusion, BlendMode::AlphaAdd};

// 0, negative and values above 15 blend as normal.
inline BlendMode blendModeOfPopup(int popup) {
    const uint32_t k = static_cast<uint32_t>(popup) - 1u;
    return k < 15u ? kPopupBlendModes[k] : BlendMode::Normal;
}

template <BlendMode M, class P>
VEMARO_INLINE P blendWith(const P& bottom, const P& top) {
    switch (M) {
        case BlendMode::Normal: return Blend::normal(bottom, top);
        case BlendMode::Darken: return Blend::darken(bottom, top);
        case BlendMode::Multiply: return Blend::multiply(bottom, top);
        case BlendMode::Burn: return Blend::burn(bottom, top);
        case BlendMode::Add: return Blend::add(bottom, top);
        case BlendMode::Lighten: return Blend::lighten(bottom, top);
        case BlendMode::Screen: return Blend::screen(bottom, top);
        case BlendMode::Dodge: return Blend::dodge(bottom, top);
        case BlendMode::Overlay: return Blend::overlay(bottom, top);
        case BlendMode::Softlight: return Blend::softlight(bottom, top);
        case BlendMode::Hardlight: return Blend::hardlight(bottom, top);
        case BlendMode::Difference: return Blend::difference(bottom, top);
        case BlendMode::Exclusion: return Blend::exclusion(bottom, top);
        case BlendMode::AlphaAdd: return Blend::alpha_add(bottom, top);
    }
    return Blend::normal(bottom, top);
}

template <class P>
using BlendFunc = P (*)(const P& bottom, const P& top);
using BlendFunc8 = BlendFunc<PF_Pixel>;
using BlendFunc16 = BlendFunc<PF_Pixel16>;
using BlendFunc32 = BlendFunc<PF_PixelFloat>;

template <class P, std::size_t... K>
constexpr std::array<BlendFunc<P>, 15> makeBlendTable(std::index_sequence<K...>) {
    return {{&blendWith<kPopupBlendModes[K], P>...}};
}

extern const std::array<BlendFunc8, 15> blendTable8;
extern const std::array<BlendFunc16, 15> blendTable16;
extern const std::array<BlendFunc32, 15> blendTable32;

template <class P>
const std::array<BlendFunc<P>, 15>& blendTable();
template <>
inline const std::array<BlendFunc8, 15>& blendTable<PF_Pixel>() {
    return blendTable8;
}
template <>
inline const std::array<BlendFunc16, 15>& blendTable<PF_Pixel16>() {
    return blendTable16;
}
template <>
inline const std::array<BlendFunc32, 15>& blendTable<PF_PixelFloat>() {
    return blendTable32;
}

// Table lookup by popup value, for callers that keep a pointer.
template <class P>
inline BlendFunc<P> blendFunction(int popup) {
    const uint32_t k = static_cast<uint32_t>(popup) - 1u;
    return k < 15u ? blendTable<P>()[k] : &blendWith<BlendMode::Normal, P>;
}

// A stateless functor for one mode, so that a pixel loop instantiated with it
// has the blend inlined.
template <BlendMode M>
struct BlendOp {
    // Normal over an opaque top gives the top: at 8 bits and in float exactly
    // the top pixel (16 bits clamps its channels), so loops may leave it.
    template <class P>
    static constexpr bool keepsOpaqueTop() {
        return M == BlendMode::Normal && !std::is_same_v<P, PF_Pixel16>;
    }
    template <class P>
    VEMARO_INLINE P operator()(const P& bottom, const P& top) const {
        return blendWith<M, P>(bottom, top);
    }
};

// Picks the mode of a popup value once and calls f(BlendOp<mode>{}).
template <class F>
inline void withBlendOp(int popup, F&& f) {
    switch (blendModeOfPopup(popup)) {
        case BlendMode::Normal: f(BlendOp<BlendMode::Normal>{}); return;
        case BlendMode::Darken: f(BlendOp<BlendMode::Darken>{}); return;
        case BlendMode::Multiply: f(BlendOp<BlendMode::Multiply>{}); return;
        case BlendMode::Burn: f(BlendOp<BlendMode::Burn>{}); return;
        case BlendMode::Add: f(BlendOp<BlendMode::Add>{}); return;
        case BlendMode::Lighten: f(BlendOp<BlendMode::Lighten>{}); return;
        case BlendMode::Screen: f(BlendOp<BlendMode::Screen>{}); return;
        case BlendMode::Dodge: f(BlendOp<BlendMode::Dodge>{}); return;
        case BlendMode::Overlay: f(BlendOp<BlendMode::Overlay>{}); return;
        case BlendMode::Softlight: f(BlendOp<BlendMode::Softlight>{}); return;
        case BlendMode::Hardlight: f(BlendOp<BlendMode::Hardlight>{}); return;
        case BlendMode::Difference: f(BlendOp<BlendMode::Difference>{}); return;
        case BlendMode::Exclusion: f(BlendOp<BlendMode::Exclusion>{}); return;
        case BlendMode::AlphaAdd: f(BlendOp<BlendMode::AlphaAdd>{}); return;
    }
}
