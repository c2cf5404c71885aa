// Rows blended several pixels at a time must give, bit for bit, what the blend
// formulas give pixel by pixel: at 8 and 16 bits an independent reference with
// plain integer division, in float the per-pixel functions.
#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

// ------------------------------------------------------------ references
template <class P>
struct Full;
template <>
struct Full<PF_Pixel> {
    static constexpr uint64_t kFull = 255;
    static constexpr int kShift = 8;
    using D = Blend::detail::Depth8;
};
template <>
struct Full<PF_Pixel16> {
    static constexpr uint64_t kFull = 32768;
    static constexpr int kShift = 15;
    using D = Blend::detail::Depth16;
};

// The separable channel function of a mode, as the blend formulas state it.
template <class D>
uint64_t channelOf(BlendMode m, uint64_t b, uint64_t t) {
    using C = Blend::detail::Chan<D>;
    switch (m) {
        case BlendMode::Add: return C::add(b, t);
        case BlendMode::Multiply: return C::multiply(b, t);
        case BlendMode::Screen: return C::screen(b, t);
        case BlendMode::Overlay: return C::overlay(b, t);
        case BlendMode::Hardlight: return C::hardlight(b, t);
        case BlendMode::Dodge: return C::dodge(b, t);
        case BlendMode::Burn: return C::burn(b, t);
        case BlendMode::Darken: return C::darken(b, t);
        case BlendMode::Lighten: return C::lighten(b, t);
        case BlendMode::Difference: return C::difference(b, t);
        case BlendMode::Exclusion: return C::exclusion(b, t);
        default: return 0;
    }
}

// Integer depths with 64-bit products and the division operator.
template <class P>
P reference(BlendMode m, const P& bottom, const P& top) {
    using F = Full<P>;
    constexpr uint64_t full = F::kFull;
    if (bottom.alpha == 0) return top;
    if (top.alpha == 0) return bottom;
    if (m == BlendMode::Softlight) return blendWith<BlendMode::Softlight, P>(bottom, top);
    auto lim = [](uint64_t v) { return v < full ? v : full; };
    auto c = [&](unsigned v) { return lim(v); };
    const uint64_t ab = c(bottom.alpha), at = c(top.alpha);
    using Ch = decltype(P{}.alpha);
    auto make = [](uint64_t a, uint64_t r, uint64_t g, uint64_t b) {
        return P{static_cast<Ch>(a), static_cast<Ch>(r), static_cast<Ch>(g), static_cast<Ch>(b)};
    };
    if (m == BlendMode::Normal || m == BlendMode::AlphaAdd) {
        if (m == BlendMode::Normal && at == full) return make(at, c(top.red), c(top.green), c(top.blue));
        const uint64_t wb = m == BlendMode::Normal ? ((full - at) * ab) >> F::kShift : ab;
        const uint64_t A = at + wb;
        auto mix = [&](unsigned b, unsigned t) { return lim((c(t) * at + c(b) * wb) / A); };
        return make(lim(A), mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue));
    }
    const uint64_t Wt = (full - ab) * at, Wb = (full - at) * ab, W2 = at * ab;
    const uint64_t A = ab + (Wt >> F::kShift);
    auto mix = [&](unsigned bc, unsigned tc) {
        const uint64_t b = c(bc), t = c(tc);
        return lim(((t * Wt + b * Wb + channelOf<typename F::D>(m, b, t) * W2) / A) >> F::kShift);
    };
    return make(lim(A), mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue));
}

template <BlendMode M>
PF_PixelFloat reference(BlendMode, const PF_PixelFloat& bottom, const PF_PixelFloat& top) {
    return blendWith<M, PF_PixelFloat>(bottom, top);
}

template <class Op>
struct ModeOf;
template <BlendMode M>
struct ModeOf<BlendOp<M>> {
    static constexpr BlendMode value = M;
};

float bitsF(uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// ------------------------------------------------------------ random pixels
// Alphas and channels favour the values where the formulas branch.
struct Source {
    std::mt19937 rng{20261209};
    unsigned pick(unsigned full, unsigned over) {
        switch (rng() % 8) {
            case 0: return 0;
            case 1: return full;
            case 2: return full / 2 + rng() % 3 - 1;
            case 3: return over > full ? full + 1 + rng() % (over - full) : rng() % (full + 1);
            default: return rng() % (full + 1);
        }
    }
    // Besides values in and around 0..1, infinities, NaNs (a negative one with
    // a payload too) and huge values, where the float arithmetic makes NaNs.
    float pickF() {
        static const float kWild[] = {INFINITY, -INFINITY, NAN, -NAN, 1e30f, -1e30f, bitsF(0xFFC00001u), -0.0f};
        switch (rng() % 10) {
            case 8:
            case 9: return kWild[rng() % std::size(kWild)];
            case 0: return 0.0f;
            case 1: return 1.0f;
            case 2: return 0.5f;
            case 3: return std::uniform_real_distribution<float>(-0.25f, 1.5f)(rng);
            default: return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
        }
    }
    void fill(PF_Pixel& p) {
        p = {A_u_char(pick(255, 255)), A_u_char(pick(255, 255)), A_u_char(pick(255, 255)), A_u_char(pick(255, 255))};
    }
    void fill(PF_Pixel16& p) {
        p = {A_u_short(pick(32768, 65535)), A_u_short(pick(32768, 65535)), A_u_short(pick(32768, 65535)),
             A_u_short(pick(32768, 65535))};
    }
    void fill(PF_PixelFloat& p) { p = {pickF(), pickF(), pickF(), pickF()}; }
};

template <class P>
std::string str(const P& p) {
    auto one = [](auto v) {
        if constexpr (std::is_same_v<decltype(v), float>) {
            uint32_t u;
            std::memcpy(&u, &v, sizeof u);
            char hex[16];
            std::snprintf(hex, sizeof hex, "%08x", u);
            return std::to_string(v) + " (" + hex + ")";
        } else {
            return std::to_string(+v);
        }
    };
    return "{" + one(p.alpha) + ", " + one(p.red) + ", " + one(p.green) + ", " + one(p.blue) + "}";
}

// A drawing as a frame holds it: runs of transparent and of opaque pixels
// (16-bit alphas above full among them), between runs of anything.
template <class P>
void frameLike(Source& src, std::vector<P>& top) {
    std::size_t i = 0;
    while (i < top.size()) {
        const std::size_t len = std::min<std::size_t>(top.size() - i, 1 + src.rng() % 90);
        const unsigned kind = src.rng() % 3;
        for (std::size_t k = i; k < i + len; ++k) {
            src.fill(top[k]);
            if (kind == 0) top[k].alpha = 0;
            if (kind == 1) top[k].alpha = raster::fullAlpha<P>();
            if constexpr (std::is_same_v<P, PF_Pixel16>)
                if (kind == 1 && src.rng() % 4 == 0) top[k].alpha = static_cast<A_u_short>(32769 + src.rng() % 30000);
        }
        i += len;
    }
}

// Rows of many lengths (up to 100 pixels: three groups of the widest 8-bit
// kernels) and offsets, so that groups and leftovers both run.
template <class P>
void checkRows(int popup, bool runs) {
    Source src;
    constexpr int kPixels = 6000;
    std::vector<P> bottom(kPixels), top(kPixels);
    for (P& p : bottom) src.fill(p);
    for (P& p : top) src.fill(p);
    if (runs) {
        frameLike(src, top);
        frameLike(src, bottom);
    }
    const BlendMode mode = blendModeOfPopup(popup);
    withBlendOp(popup, [&](auto op) {
        constexpr BlendMode M = ModeOf<decltype(op)>::value;
        auto expect = [&](const P& b, const P& t) {
            if constexpr (std::is_same_v<P, PF_PixelFloat>)
                return reference<M>(mode, b, t);
            else
                return reference<P>(mode, b, t);
        };
        std::vector<P> rows = top;
        std::vector<P> beneath = top;
        int at = 0;
        for (int len = 0; at + len <= kPixels; len = (len * 7 + 3) % 101) {
            Blend::blendRow(op, bottom.data() + at, rows.data() + at, len);
            Blend::blendRowBeneath(op, bottom[at], beneath.data() + at, len);
            for (int i = at; i < at + len; ++i) {
                const P want = expect(bottom[i], top[i]);
                ASSERT_EQ(std::memcmp(&rows[i], &want, sizeof(P)), 0)
                    << "popup " << popup << " bottom " << str(bottom[i]) << " top " << str(top[i]) << ": got "
                    << str(rows[i]) << ", want " << str(want);
                const P wantBeneath = expect(bottom[at], top[i]);
                ASSERT_EQ(std::memcmp(&beneath[i], &wantBeneath, sizeof(P)), 0)
                    << "popup " << popup << " bottom " << str(bottom[at]) << " top " << str(top[i]) << ": got "
                    << str(beneath[i]) << ", want " << str(wantBeneath);
            }
            at += len + 1;
        }
        // Nothing beyond the rows was touched.
        for (int i = at; i < kPixels; ++i) ASSERT_EQ(std::memcmp(&rows[i], &top[i], sizeof(P)), 0);
    });
}

// Every pair of 8-bit bottom and top channel values, three pairs a pixel,
// under the alphas ab and at.
void everyChannelPair(int ab, int at, std::vector<PF_Pixel>& bottom, std::vector<PF_Pixel>& top) {
    constexpr int kPairs = 256 * 256, kPixels = (kPairs + 2) / 3;
    bottom.resize(kPixels);
    top.resize(kPixels);
    for (int i = 0; i < kPixels; ++i) {
        auto pair = [&](int k, A_u_char& b, A_u_char& t) {
            const int c = (3 * i + k) % kPairs;
            b = static_cast<A_u_char>(c & 255);
            t = static_cast<A_u_char>(c >> 8);
        };
        pair(0, bottom[i].red, top[i].red);
        pair(1, bottom[i].green, top[i].green);
        pair(2, bottom[i].blue, top[i].blue);
        bottom[i].alpha = static_cast<A_u_char>(ab);
        top[i].alpha = static_cast<A_u_char>(at);
    }
}

// fn(name) on every vector path the processor has: each level, and at the
// AVX-512 level the 8-bit rows both with and without VBMI and VNNI. Stops at
// a fatal failure; every path is allowed again afterwards.
template <class Fn>
void forEveryPath(Fn fn) {
    const int widest = static_cast<int>(simd::supported());
    for (int level = 0; level <= widest && !::testing::Test::HasFatalFailure(); ++level) {
        simd::setLevelCap(static_cast<simd::Level>(level));
        bool vbmiToo = false;
#if VEMARO_HAVE_AVX2
        vbmiToo = level == static_cast<int>(simd::Level::Avx512) && Blend::avx512vbmi::supported();
#endif
        for (int vbmi = vbmiToo ? 1 : 0; vbmi >= 0 && !::testing::Test::HasFatalFailure(); --vbmi) {
#if VEMARO_HAVE_AVX2
            Blend::avx512vbmi::allowed() = vbmi != 0;
#endif
            fn("level " + std::to_string(level) + (vbmi ? " with VBMI and VNNI" : ""));
        }
    }
#if VEMARO_HAVE_AVX2
    Blend::avx512vbmi::allowed() = true;
#endif
    simd::setLevelCap(simd::Level::Avx512);
}

// One row of bottom beneath top gives want, on every vector path.
template <class Op, class P>
void expectRowsAtEveryLevel(Op op, const std::vector<P>& bottom, const std::vector<P>& top,
                            const std::vector<P>& want) {
    std::vector<P> got;
    forEveryPath([&](const std::string& path) {
        got = top;
        Blend::blendRow(op, bottom.data(), got.data(), static_cast<A_long>(got.size()));
        for (std::size_t i = 0; i < got.size(); ++i)
            if (std::memcmp(&got[i], &want[i], sizeof(P)) != 0)
                FAIL() << path << " bottom " << str(bottom[i]) << " top " << str(top[i]) << ": got " << str(got[i])
                       << ", want " << str(want[i]);
    });
}

// Dodge or burn rows, as mode says, against integer division at every width.
template <class P>
void expectDodgeOrBurnRows(BlendMode mode, const std::vector<P>& bottom, const std::vector<P>& top) {
    std::vector<P> want(top.size());
    for (std::size_t i = 0; i < top.size(); ++i) want[i] = reference<P>(mode, bottom[i], top[i]);
    if (mode == BlendMode::Dodge)
        expectRowsAtEveryLevel(BlendOp<BlendMode::Dodge>{}, bottom, top, want);
    else
        expectRowsAtEveryLevel(BlendOp<BlendMode::Burn>{}, bottom, top, want);
}

}  // namespace

// Every vector width the processor has, and the portable one, on the same
// random drawings and on frame-like ones.
TEST(BlendRow, RowsEqualTheFormulasAtEveryModeDepthAndVectorWidth) {
    int level = 0;
    forEveryPath([&](const std::string& path) {
        SCOPED_TRACE(path);
        ASSERT_EQ(path.rfind("level " + std::to_string(static_cast<int>(simd::level())), 0), 0u);
        ASSERT_GE(static_cast<int>(simd::level()), level);
        level = static_cast<int>(simd::level());
        for (bool runs : {false, true})
            for (int popup = 1; popup <= 15; ++popup) {
                checkRows<PF_Pixel>(popup, runs);
                checkRows<PF_Pixel16>(popup, runs);
                checkRows<PF_PixelFloat>(popup, runs);
            }
    });
    EXPECT_EQ(level, static_cast<int>(simd::supported()));
}

// Where float arithmetic makes a NaN (infinity less infinity, infinity times
// 0, a NaN operand) every path gives the quiet NaN 0x7fc00000, whichever NaN
// the operations met; finite channels of the same pixels are as computed by
// hand.
TEST(BlendRow, MadeNaNsAreTheQuietNaNOnEveryPath) {
    const float inf = INFINITY, nan = bitsF(0x7fc00000u), payload = bitsF(0xffc00001u);
    struct Case {
        int popup;
        PF_PixelFloat bottom, top, want;
    };
    const Case cases[] = {
        // W2 = Wb = 0.5, Wt = 0, A = 1: inf * Wt and |inf - inf| are NaNs;
        // 0.75 * 0 + 0.5 * 0.5 + 0.25 * 0.5 = 0.375.
        {13, {1.0f, inf, 0.25f, -inf}, {0.5f, inf, 0.75f, -inf}, {1.0f, nan, 0.375f, nan}},
        // wb = 0.5, A = 1: -inf * 0.5 + inf * 0.5, a NaN with a payload.
        {1, {1.0f, inf, 0.25f, 0.5f}, {0.5f, -inf, 0.75f, payload}, {1.0f, nan, 0.5f, nan}},
        // Screen of 0.25 under 1 is 1: 0 + 1 * 0.5 + 0.25 * 0.5.
        {8, {1.0f, inf, 0.25f, 0.5f}, {0.5f, -inf, 1.0f, payload}, {1.0f, nan, 0.625f, nan}},
        // A = 1: (inf * 0.5 + -inf * 0.5) / 1, which the clamp leaves a NaN.
        {15, {0.5f, inf, 0.25f, 0.5f}, {0.5f, -inf, 0.75f, payload}, {1.0f, nan, 0.5f, nan}},
    };
    constexpr int kRow = 37;
    for (const Case& c : cases) {
        const PF_PixelFloat one = blendFunction<PF_PixelFloat>(c.popup)(c.bottom, c.top);
        EXPECT_EQ(std::memcmp(&one, &c.want, sizeof one), 0)
            << "popup " << c.popup << ": got " << str(one) << ", want " << str(c.want);
        for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
            simd::setLevelCap(static_cast<simd::Level>(level));
            std::vector<PF_PixelFloat> bottom(kRow, c.bottom), row(kRow, c.top);
            withBlendOp(c.popup, [&](auto op) { Blend::blendRow(op, bottom.data(), row.data(), kRow); });
            for (const PF_PixelFloat& p : row)
                ASSERT_EQ(std::memcmp(&p, &c.want, sizeof p), 0)
                    << "popup " << c.popup << " level " << level << ": got " << str(p) << ", want " << str(c.want);
        }
    }
    simd::setLevelCap(simd::Level::Avx512);
}

// Dodge and burn divide per channel in the rows. Opaque pixels (the channel
// is B itself) and half-transparent ones, worked out by hand, through rows
// long enough for every vector width, at every width.
template <class P>
void checkHandWorked(int popup, const P& bottom, const P& top, const P& want) {
    constexpr int kRow = 70;
    forEveryPath([&](const std::string& path) {
        std::vector<P> below(kRow, bottom), row(kRow, top), beneath(kRow, top);
        withBlendOp(popup, [&](auto op) {
            Blend::blendRow(op, below.data(), row.data(), kRow);
            Blend::blendRowBeneath(op, bottom, beneath.data(), kRow);
        });
        for (int i = 0; i < kRow; ++i) {
            ASSERT_EQ(std::memcmp(&row[i], &want, sizeof(P)), 0)
                << "popup " << popup << " " << path << ": got " << str(row[i]) << ", want " << str(want);
            ASSERT_EQ(std::memcmp(&beneath[i], &want, sizeof(P)), 0) << "popup " << popup << " " << path;
        }
    });
}

template <class P>
struct Worked {
    int popup;
    P bottom, top, want;
};

TEST(BlendRow, DodgeAndBurnRowsGiveHandWorkedPixels) {
    // 8 bits, opaque: dodge 25500 / 155 = 164 -> 164 * 255 * 255 / 255 >> 8
    // = 163; burn 255 - 14025 / 100 = 115 -> 114; dodge at b >= 255 - t is
    // 255 -> 254; burn at 255 - b >= t is 0. Alpha 128 over 255: A = 255,
    // Wt = 0, Wb = 127 * 255, W2 = 128 * 255: dodge (100 * 127 + 164 * 128)
    // / 256 = 131.6 -> 131.
    const Worked<PF_Pixel> cases8[] = {
        {9, {255, 100, 200, 0}, {255, 100, 60, 255}, {255, 163, 254, 254}},
        {5, {255, 200, 0, 255}, {255, 100, 255, 0}, {255, 114, 0, 0}},
        {9, {255, 100, 0, 0}, {128, 100, 0, 0}, {255, 131, 0, 0}},
    };
    // 16 bits, opaque: dodge 10000 * 32768 / 12768 = 25664.2; burn 32768 -
    // 2768 * 32768 / 10000 = 32768 - 9070.3 = 23698; channels above full are
    // full (dodge of 0 under full is full).
    const Worked<PF_Pixel16> cases16[] = {
        {9, {32768, 10000, 0, 0}, {32768, 20000, 40000, 0}, {32768, 25664, 32768, 0}},
        {5, {32768, 30000, 32768, 0}, {32768, 10000, 0, 0}, {32768, 23698, 0, 0}},
    };
    // Float, opaque: dodge 0.25 / (1 - 0.5) = 0.5, of 0 under 1 is 0, of -0
    // is +0; burn 1 - 0.25 / 0.5 = 0.5, of 1 under 0 is 1.
    const Worked<PF_PixelFloat> casesF[] = {
        {9, {1.0f, 0.25f, 0.0f, -0.0f}, {1.0f, 0.5f, 1.0f, 0.5f}, {1.0f, 0.5f, 0.0f, 0.0f}},
        {5, {1.0f, 0.75f, 1.0f, 0.5f}, {1.0f, 0.5f, 0.0f, 0.25f}, {1.0f, 0.5f, 1.0f, 0.0f}},
    };
    for (const auto& c : cases8) checkHandWorked(c.popup, c.bottom, c.top, c.want);
    for (const auto& c : cases16) checkHandWorked(c.popup, c.bottom, c.top, c.want);
    for (const auto& c : casesF) checkHandWorked(c.popup, c.bottom, c.top, c.want);
}

// The 8-bit soft light rows convert channels with a float division by 255,
// the per-pixel function with a double one taken to float: the same for
// every channel value.
TEST(BlendRow, EightBitChannelsConvertAlikeInFloatAndDouble) {
    for (unsigned c = 0; c < 256; ++c) {
        volatile float f = static_cast<float>(c);
        EXPECT_EQ(f / 255.0f, static_cast<float>(c / 255.0)) << c;
    }
}

// Groups with an opaque top or an opaque bottom take their own arithmetic at 8
// bits (add, whose channel function overflows 16-bit sums, its own over an
// opaque top). Every bottom and top channel pair under every alpha of the
// other operand (for add over an opaque top, the ends and a spread between:
// its quotients are checked whole below), three pairs a pixel, at every vector
// width.
TEST(BlendRow, OpaqueGroupsEqualTheFormulasForEveryEightBitValue) {
    std::vector<PF_Pixel> bottom, top, want;
    auto check = [&](auto op, BlendMode mode, int ab, int at) {
        everyChannelPair(ab, at, bottom, top);
        want.resize(top.size());
        for (std::size_t i = 0; i < top.size(); ++i) want[i] = reference<PF_Pixel>(mode, bottom[i], top[i]);
        expectRowsAtEveryLevel(op, bottom, top, want);
    };
    for (int a = 0; a < 256; ++a) {
        check(BlendOp<BlendMode::Screen>{}, BlendMode::Screen, a, 255);
        check(BlendOp<BlendMode::Screen>{}, BlendMode::Screen, 255, a);
    }
    for (int a : {0, 1, 2, 3, 64, 101, 127, 128, 129, 170, 200, 239, 252, 253, 254, 255})
        check(BlendOp<BlendMode::Add>{}, BlendMode::Add, a, 255);
}

// Over an opaque top every separable mode (add has its own kernel above) takes
// a transparent bottom and a full one through the same arithmetic as the
// others, and leaves quotients above 255 for the store to saturate. Every
// bottom and top channel pair under the bottom alphas at the ends of the range
// and in between, for every such mode, at every vector width.
TEST(BlendRow, OpaqueTopGroupsEqualTheFormulasForEveryModeAndEdgeAlpha) {
    std::vector<PF_Pixel> bottom, top, want;
    const int kPopups[] = {3, 4, 5, 7, 8, 9, 10, 12, 13, 14};  // the separable modes but add
    for (const int popup : kPopups) {
        const BlendMode mode = blendModeOfPopup(popup);
        SCOPED_TRACE("popup " + std::to_string(popup));
        for (const int ab : {0, 1, 2, 127, 128, 253, 254, 255}) {
            SCOPED_TRACE("bottom alpha " + std::to_string(ab));
            everyChannelPair(ab, 255, bottom, top);
            want.resize(top.size());
            for (std::size_t i = 0; i < top.size(); ++i) want[i] = reference<PF_Pixel>(mode, bottom[i], top[i]);
            withBlendOp(popup, [&](auto op) { expectRowsAtEveryLevel(op, bottom, top, want); });
        }
    }
}

// Dodge and burn divide every channel at 8 bits. Every bottom and top channel
// pair under alphas that take the general kernel and the opaque ones, at every
// vector width, against plain integer division.
TEST(BlendRow, EightBitDodgeAndBurnEqualTheFormulasForEveryChannelPair) {
    std::vector<PF_Pixel> bottom, top;
    for (const BlendMode mode : {BlendMode::Dodge, BlendMode::Burn})
        for (const int ab : {1, 200, 255})
            for (const int at : {3, 128, 255}) {
                everyChannelPair(ab, at, bottom, top);
                expectDodgeOrBurnRows(mode, bottom, top);
            }
}

// Overlay and hard light take both halves of their channel function from one
// product at 8 bits. Every bottom and top channel pair under alphas that take
// the general kernel and the opaque ones, at every vector width, against plain
// integer arithmetic.
TEST(BlendRow, EightBitOverlayAndHardlightEqualTheFormulasForEveryChannelPair) {
    std::vector<PF_Pixel> bottom, top, want;
    for (const int popup : {10, 12}) {
        const BlendMode mode = blendModeOfPopup(popup);
        SCOPED_TRACE("popup " + std::to_string(popup));
        for (const int ab : {1, 200, 255})
            for (const int at : {3, 128, 255}) {
                everyChannelPair(ab, at, bottom, top);
                want.resize(top.size());
                for (std::size_t i = 0; i < top.size(); ++i) want[i] = reference<PF_Pixel>(mode, bottom[i], top[i]);
                withBlendOp(popup, [&](auto op) { expectRowsAtEveryLevel(op, bottom, top, want); });
            }
    }
}

// The general 8-bit kernels take each channel's weighted sum as one pair
// product of 16-bit lanes and divide it by 256 A at once. Every pair of alphas
// (transparent ones among them), each with the channel pairs at the ends of the
// range and where the channel functions branch, three pairs a pixel, for every
// mode but soft light (its own tests above), at every vector width, against
// plain integer arithmetic.
TEST(BlendRow, EightBitModesEqualTheFormulasForEveryAlphaPair) {
    const int kChannels[] = {0, 1, 127, 128, 254, 255};
    std::vector<std::pair<int, int>> pairs;  // (bottom, top)
    for (int b : kChannels)
        for (int t : kChannels) pairs.emplace_back(b, t);
    const int perAlphas = static_cast<int>(pairs.size() / 3);
    std::vector<PF_Pixel> bottom, top, want;
    for (int ab = 0; ab < 256; ++ab)
        for (int at = 0; at < 256; ++at)
            for (int k = 0; k < perAlphas; ++k) {
                auto chan = [&](int j) { return pairs[3 * k + j]; };
                auto u8 = [](int v) { return static_cast<A_u_char>(v); };
                bottom.push_back({u8(ab), u8(chan(0).first), u8(chan(1).first), u8(chan(2).first)});
                top.push_back({u8(at), u8(chan(0).second), u8(chan(1).second), u8(chan(2).second)});
            }
    want.resize(top.size());
    for (int popup = 1; popup <= 15; ++popup) {
        const BlendMode mode = blendModeOfPopup(popup);
        if (popup == 2 || mode == BlendMode::Softlight) continue;
        SCOPED_TRACE("popup " + std::to_string(popup));
        for (std::size_t i = 0; i < top.size(); ++i) want[i] = reference<PF_Pixel>(mode, bottom[i], top[i]);
        withBlendOp(popup, [&](auto op) { expectRowsAtEveryLevel(op, bottom, top, want); });
    }
}

// The 8-bit rows divide by multiplying with a reciprocal biased upwards; the
// floor of the product must be the quotient for every dividend and divisor
// they meet (dividends below 2^17, divisors up to 510).
TEST(BlendRow, BiasedReciprocalsGiveExactQuotients) {
    using namespace Blend::rowdetail;
    for (uint32_t A = 1; A <= 510; ++A) {
        const float inv = biasedReciprocal(static_cast<float>(A));
        for (uint32_t y = 0; y < (1u << 17); ++y)
            if (biasedQuotient(y, inv) != y / A) FAIL() << y << " / " << A;
    }
}

#if VEMARO_BLEND_SSE2
// The 16-bit rows divide with a float estimate that the remainder puts right,
// at every vector width. It must give floor(x / A) over the whole range they
// use: divisors up to 2^15 with dividends from -2^14 A to 2^15 A, divisors up
// to 2^16 with dividends within 2^14 A. Every divisor, with the ends of the
// range, the largest quotients (where the estimate is least precise) and
// random multiples of the divisor with their neighbours.
TEST(BlendRow, SixteenBitQuotientsAreExactFloors) {
    std::mt19937 rng(11);
    auto floorDiv = [](int64_t x, int64_t A) { return x / A - (x % A < 0 ? 1 : 0); };
    std::vector<int32_t> xs, got;
    auto expect = [&](int level, int64_t A) {
        for (std::size_t k = 0; k < xs.size(); ++k)
            if (got[k] != floorDiv(xs[k], A)) {
                ADD_FAILURE() << "level " << level << ": " << xs[k] << " / " << A << ": got " << got[k];
                return false;
            }
        return true;
    };
    for (int64_t A = 1; A <= 65536; ++A) {
        const int64_t qlo = -16384, qhi = A <= 32768 ? 32768 : 16384;
        xs.clear();
        auto add = [&](int64_t x) {
            if (x >= qlo * A && x <= qhi * A) xs.push_back(static_cast<int32_t>(x));
        };
        for (const int64_t q : {qlo, qlo + 1, int64_t{-1}, int64_t{0}, int64_t{1}, qhi - 2, qhi - 1, qhi})
            for (const int64_t d : {int64_t{-1}, int64_t{0}, int64_t{1}, A - 1}) add(q * A + d);
        for (int k = 0; k < 16; ++k) {
            const int64_t q = qlo + static_cast<int64_t>(rng() % static_cast<uint32_t>(qhi - qlo + 1));
            for (const int64_t d : {int64_t{-1}, int64_t{0}, A - 1, static_cast<int64_t>(rng() % A)}) add(q * A + d);
        }
        while (xs.size() % 16 != 0) xs.push_back(0);
        got.assign(xs.size(), 0);
        const Blend::sse2::Quotient16 div(_mm_set1_epi32(static_cast<int>(A)));
        for (std::size_t k = 0; k < xs.size(); k += 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&got[k]),
                             div(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&xs[k]))));
        if (!expect(0, A)) return;
#if VEMARO_HAVE_AVX2
        const A_long n = static_cast<A_long>(xs.size());
        if (simd::supported() >= simd::Level::Avx2) {
            if (Blend::avx2::floorQuotients16(static_cast<int32_t>(A), xs.data(), got.data(), n) != n) FAIL();
            if (!expect(1, A)) return;
        }
        if (simd::supported() >= simd::Level::Avx512) {
            if (Blend::avx512::floorQuotients16(static_cast<int32_t>(A), xs.data(), got.data(), n) != n) FAIL();
            if (!expect(2, A)) return;
        }
#endif
    }
}
#endif

#if VEMARO_HAVE_AVX2
// Where the 16-bit rows divide by a biased double reciprocal (the AVX-512
// level), the dividends are unsigned sums up to full * A for divisors up to
// 2^16: every divisor, with quotients at the ends and at random, each with
// the remainders 0, 1 and A - 1, against integer division.
TEST(BlendRow, SixteenBitDoubleQuotientsAreExactFloors) {
    if (simd::supported() < simd::Level::Avx512) GTEST_SKIP() << "no AVX-512";
    std::mt19937 rng(12);
    std::vector<uint32_t> ys;
    std::vector<int32_t> got;
    for (uint64_t A = 1; A <= 65536; ++A) {
        ys.clear();
        for (uint64_t q : {uint64_t{0}, uint64_t{1}, uint64_t{16383}, uint64_t{16384}, uint64_t{32767}, uint64_t{32768},
                           uint64_t{rng() % 32768}, uint64_t{rng() % 32768}})
            for (uint64_t d : {uint64_t{0}, uint64_t{1}, A - 1, rng() % A}) {
                const uint64_t y = q * A + d;
                if (y <= 32768 * A) ys.push_back(static_cast<uint32_t>(y));
            }
        while (ys.size() % 16 != 0) ys.push_back(0);
        got.assign(ys.size(), -1);
        const A_long n = static_cast<A_long>(ys.size());
        ASSERT_EQ(Blend::avx512::unsignedFloorQuotients16(static_cast<int32_t>(A), ys.data(), got.data(), n), n);
        for (std::size_t k = 0; k < ys.size(); ++k)
            if (static_cast<uint64_t>(got[k]) != ys[k] / A) FAIL() << ys[k] << " / " << A << ": got " << got[k];
    }
}
#endif

#if VEMARO_BLEND_SSE2
// The separable and normal 16-bit rows at the AVX-512 level divide dividends
// up to full * A by divisors up to full with a float estimate biased upwards,
// put right by one step: every divisor, quotients at the ends and at random,
// each with the remainders 0, 1 and A - 1, against integer division. The
// operations are exact IEEE ones, alike at every width: the SSE2 form stands
// for them.
TEST(BlendRow, SixteenBitUpwardQuotientsAreExactFloors) {
    std::mt19937 rng(13);
    std::vector<int32_t> ys;
    for (int64_t A = 1; A <= 32768; ++A) {
        ys.clear();
        for (int64_t q : {int64_t{0}, int64_t{1}, int64_t{16383}, int64_t{16384}, int64_t{32767}, int64_t{32768},
                          static_cast<int64_t>(rng() % 32768), static_cast<int64_t>(rng() % 32768)})
            for (int64_t d : {int64_t{0}, int64_t{1}, A - 1, static_cast<int64_t>(rng() % A)}) {
                const int64_t y = q * A + d;
                if (y <= 32768 * A) ys.push_back(static_cast<int32_t>(y));
            }
        const Blend::sse2::QuotientUp16 div(_mm_set1_epi32(static_cast<int>(A)));
        while (ys.size() % 4 != 0) ys.push_back(0);
        for (std::size_t k = 0; k < ys.size(); k += 4) {
            int32_t got[4];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(got),
                             div(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&ys[k]))));
            for (int j = 0; j < 4; ++j)
                if (got[j] != ys[k + j] / A) FAIL() << ys[k + j] << " / " << A << ": got " << got[j];
        }
    }
}
#endif

// The 16-bit dodge and burn rows divide every channel: the widest set rounds
// its quotient toward zero, the others put it right by the remainder. Opaque
// over opaque pixels come out as the channel function itself. For every
// divisor d, the numerators c < d whose quotients c 2^15 / d lie closest
// below an integer (where a rounded quotient reaches it), with d = 2^s m (m
// odd) those with c 2^(15 - s) = -1 (mod m), and the largest, c = d - 1; at
// every width, against integer division.
TEST(BlendRow, SixteenBitDodgeAndBurnDivideExactlyForEveryDivisor) {
    constexpr uint32_t full = 32768;
    std::vector<PF_Pixel16> bottom, top;
    for (const BlendMode mode : {BlendMode::Dodge, BlendMode::Burn}) {
        bottom.clear();
        top.clear();
        for (uint32_t d = 1; d <= full; ++d) {
            int s = 0;
            while ((d >> s) % 2 == 0) ++s;
            const uint64_t m = d >> s;
            uint64_t inverse = 1 % m;  // of 2^(15 - s) modulo m, from that of 2
            for (int k = s; k < 15; ++k) inverse = inverse * ((m + 1) / 2) % m;
            const uint64_t c0 = (m - inverse) % m;
            const uint64_t cs[3] = {c0, c0 + ((d - 1 - c0) / m) * m, d - 1};
            PF_Pixel16 b{static_cast<A_u_short>(full), 0, 0, 0}, t = b;
            A_u_short* bc[3] = {&b.red, &b.green, &b.blue};
            A_u_short* tc[3] = {&t.red, &t.green, &t.blue};
            for (int k = 0; k < 3; ++k) {
                // Dodge divides b 2^15 by full - t, burn (full - b) 2^15 by t.
                *bc[k] = static_cast<A_u_short>(mode == BlendMode::Dodge ? cs[k] : full - cs[k]);
                *tc[k] = static_cast<A_u_short>(mode == BlendMode::Dodge ? full - d : d);
            }
            bottom.push_back(b);
            top.push_back(t);
        }
        expectDodgeOrBurnRows(mode, bottom, top);
    }
}

// Soft light at 8 bits looks its channel function up by the two channels.
// Every bottom and top channel pair, three a pixel, under alphas at and
// between the ends, at every vector width.
TEST(BlendRow, EightBitSoftLightEqualsThePixelFunctionForEveryChannelPair) {
    std::vector<PF_Pixel> bottom, top, want;
    const BlendOp<BlendMode::Softlight> op;
    for (const int ab : {1, 128, 255})
        for (const int at : {1, 127, 255}) {
            everyChannelPair(ab, at, bottom, top);
            want.resize(top.size());
            for (std::size_t i = 0; i < top.size(); ++i) want[i] = op(bottom[i], top[i]);
            expectRowsAtEveryLevel(op, bottom, top, want);
        }
}

// Every bottom and top channel pair, three a pixel, under a table of alpha
// pairs (the ends, their neighbours and between), each pair along a whole row;
// then the same pixels with the alphas changing from pixel to pixel, so that
// groups mix transparent, opaque and partial alphas. Every vector width,
// against the per-pixel function.
TEST(BlendRow, EightBitSoftLightEqualsThePixelFunctionForEveryChannelPairUnderManyAlphaPairs) {
    const int kAlphas[] = {0, 1, 2, 3, 17, 100, 127, 128, 200, 253, 254, 255};
    constexpr int kN = static_cast<int>(std::size(kAlphas));
    std::vector<PF_Pixel> bottom, top, want;
    const BlendOp<BlendMode::Softlight> op;
    auto check = [&] {
        want.resize(top.size());
        for (std::size_t i = 0; i < top.size(); ++i) want[i] = op(bottom[i], top[i]);
        expectRowsAtEveryLevel(op, bottom, top, want);
    };
    for (const int ab : kAlphas)
        for (const int at : kAlphas) {
            SCOPED_TRACE("alphas " + std::to_string(ab) + " " + std::to_string(at));
            everyChannelPair(ab, at, bottom, top);
            check();
            if (::testing::Test::HasFatalFailure()) return;
        }
    everyChannelPair(0, 0, bottom, top);
    for (std::size_t i = 0; i < top.size(); ++i) {
        bottom[i].alpha = static_cast<A_u_char>(kAlphas[i % kN]);
        top[i].alpha = static_cast<A_u_char>(kAlphas[(i / kN + 3 * i) % kN]);
    }
    check();
}

// Over opaque tops the 8-bit soft light rows drop the bottom's channels and
// the division by A, and over opaque bottoms too they read the rounded
// channel from a table. Every bottom alpha (a transparent one too) with every
// top channel and a spread of bottom channels, under an opaque top, at every
// vector width; groups where only some bottoms are opaque among them.
TEST(BlendRow, EightBitSoftLightOverOpaqueTopsEqualsThePixelFunctionForEveryBottomAlpha) {
    const int kBottoms[] = {0, 1, 2, 17, 63, 64, 127, 128, 129, 191, 200, 230, 252, 253, 254, 255};
    std::vector<PF_Pixel> bottom, top, want;
    constexpr int kN = static_cast<int>(std::size(kBottoms));
    for (int ab = 0; ab < 256; ++ab)
        for (int t = 0; t < 256; ++t)
            for (int k = 0; k < kN; ++k) {
                // Every fourth pixel opaque beneath, so that groups mix.
                const int a = bottom.size() % 4 == 0 ? 255 : ab;
                bottom.push_back({static_cast<A_u_char>(a), static_cast<A_u_char>(kBottoms[k]),
                                  static_cast<A_u_char>(kBottoms[(k + 5) % kN]),
                                  static_cast<A_u_char>(kBottoms[(k + 11) % kN])});
                top.push_back(
                    {255, static_cast<A_u_char>(t), static_cast<A_u_char>(255 - t), static_cast<A_u_char>(t * 7)});
            }
    const BlendOp<BlendMode::Softlight> op;
    want.resize(top.size());
    for (std::size_t i = 0; i < top.size(); ++i) want[i] = op(bottom[i], top[i]);
    expectRowsAtEveryLevel(op, bottom, top, want);
}

// Soft light at 16 bits settles most channels from bounds on the power and
// calls the library only where the bounds round apart. Many random pixels,
// so that both ways run often, against the per-pixel function at every width;
// channels at and above full among them; then the same under opaque tops.
TEST(BlendRow, SixteenBitSoftLightEqualsThePixelFunctionOnManyPixels) {
    Source src;
    constexpr int kPixels = 60000;
    std::vector<PF_Pixel16> bottom(kPixels), top(kPixels), want(kPixels);
    for (PF_Pixel16& p : bottom) src.fill(p);
    for (PF_Pixel16& p : top) src.fill(p);
    // Random channels rather than the picked edge values for most pixels.
    for (int i = 0; i < kPixels; i += 2) {
        for (A_u_short* c :
             {&bottom[i].red, &bottom[i].green, &bottom[i].blue, &top[i].red, &top[i].green, &top[i].blue})
            *c = static_cast<A_u_short>(src.rng() % 32769);
        bottom[i].alpha = static_cast<A_u_short>(1 + src.rng() % 32768);
        top[i].alpha = static_cast<A_u_short>(1 + src.rng() % 32768);
    }
    const BlendOp<BlendMode::Softlight> op;
    for (int i = 0; i < kPixels; ++i) want[i] = op(bottom[i], top[i]);
    expectRowsAtEveryLevel(op, bottom, top, want);
    // Opaque tops (some alphas above full), which drop the division.
    for (int i = 0; i < kPixels; ++i) {
        top[i].alpha = static_cast<A_u_short>(i % 5 == 0 ? 32768 + src.rng() % 32768 : 32768);
        want[i] = op(bottom[i], top[i]);
    }
    expectRowsAtEveryLevel(op, bottom, top, want);
}

// Float soft light over opaque tops skips the division by A = 1. Whole rows
// of opaque tops over every kind of bottom (infinite, NaN and huge channels
// and alphas among them, where A is not 1 or the bottom's term is a NaN), and
// every tenth top alpha just below 1, against the per-pixel function at every
// width.
TEST(BlendRow, FloatSoftLightOverOpaqueTopsEqualsThePixelFunction) {
    Source src;
    constexpr int kPixels = 20000;
    std::vector<PF_PixelFloat> bottom(kPixels), top(kPixels), want(kPixels);
    for (PF_PixelFloat& p : bottom) src.fill(p);
    const BlendOp<BlendMode::Softlight> op;
    for (const bool some : {false, true}) {
        for (int i = 0; i < kPixels; ++i) {
            src.fill(top[i]);
            top[i].alpha = some && i % 10 == 0 ? 0.99999994f : 1.0f;
            want[i] = op(bottom[i], top[i]);
        }
        expectRowsAtEveryLevel(op, bottom, top, want);
    }
}

#if VEMARO_BLEND_SSE2
// The bounds must hold the C library's powf for every 16-bit bottom channel
// and the exponents of top channels across the range (both sides of one
// half, where the exponent's formula switches, and the ends).
TEST(BlendRow, SoftLightPowerBoundsHoldTheLibraryPower) {
    const double* log2b = Blend::rowdetail::softlightLog2Table16();
    std::vector<int> tops = {0, 1, 2, 16383, 16384, 16385, 32766, 32767, 32768};
    for (int u = 3; u < 32768; u += 211) tops.push_back(u);
    for (const int u : tops) {
        const float t = static_cast<float>(u) * (1.0f / 32768.0f);
        const float e = t < 0.5f ? 2.0f * (1.0f - t) : 1.0f / (2.0f * t);
        for (int32_t c = 0; c <= 32768; c += 4) {
            int32_t cs[4];
            float lo[4], hi[4];
            for (int j = 0; j < 4; ++j) cs[j] = std::min(c + j, 32768);
            const Blend::sse2::PowBounds b = Blend::sse2::powBounds<32768>(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(cs)), _mm_set1_ps(e), log2b);
            _mm_storeu_ps(lo, b.lo);
            _mm_storeu_ps(hi, b.hi);
            for (int j = 0; j < 4; ++j) {
                const float p = std::pow(static_cast<float>(cs[j]) * (1.0f / 32768.0f), e);
                if (!(lo[j] <= p && p <= hi[j]))
                    FAIL() << "channel " << cs[j] << " exponent " << e << ": " << lo[j] << " <= " << p
                           << " <= " << hi[j];
            }
        }
    }
}
#endif
