// The vector powers must equal the C library's powf (std::pow(float, float))
// bit for bit at every level the processor has: over every operand pair of
// 8-bit soft light, a wide sample of the 16-bit one, random floats where an
// error in the last bit of a double shows most, and the special values; and
// soft light's rows of every depth must equal the per-pixel function.
#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroPowLanes.h"
#include "VemaroSimd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// The sanitizer build runs the large samples thinned by this much.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kThin = 16;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kThin = 16;
#else
constexpr int kThin = 1;
#endif
#else
constexpr int kThin = 1;
#endif

uint32_t bitsOf(float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}
float ofBits(uint32_t u) {
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// Soft light's exponent of a top channel, as the per-pixel function has it.
float exponentOf(float t) { return t < 0.5f ? 2.0f * (1.0f - t) : 1.0f / (2.0f * t); }

struct Level {
    const char* name;
    // The mode the level must find for itself.
    powlanes::Mode expected;
    long (*rows)(powlanes::Mode, const float*, const float*, float*, long);
    powlanes::Mode (*mode)();
};

// Each level the processor has; the mode the library's build asks of it.
std::vector<Level> levels() {
    // Under another release of the C library every level keeps to its calls.
    const bool copied = powlanes::libraryIsCopied(), fuses = powlanes::libraryFuses();
    const powlanes::Mode lanes = !copied ? powlanes::Mode::Library
                                 : fuses ? powlanes::Mode::Fused
                                         : powlanes::Mode::Plain;
    std::vector<Level> v;
#if VEMARO_LANES_SSE2
    v.push_back({"SSE2", fuses ? powlanes::Mode::Library : lanes, &powlanes::sse2::powRows, &powlanes::sse2::mode});
#endif
#if VEMARO_HAVE_AVX2
    if (simd::supported() >= simd::Level::Avx2)
        v.push_back({"AVX2", lanes, &powlanes::avx2::powRows, &powlanes::avx2::mode});
    if (simd::supported() >= simd::Level::Avx512)
        v.push_back({"AVX-512", lanes, &powlanes::avx512::powRows, &powlanes::avx512::mode});
#endif
    return v;
}

// x[i]^y[i] at every level in the mode the library's build asks of it (the
// lanes themselves, not the level's fallback), against std::pow.
void expectLibraryPowers(const std::vector<float>& x, const std::vector<float>& y) {
    ASSERT_EQ(x.size(), y.size());
    const long n = static_cast<long>(x.size());
    std::vector<float> want(x.size()), got(x.size());
    for (long i = 0; i < n; ++i) want[i] = std::pow(x[i], y[i]);
    const powlanes::Mode lanes = powlanes::libraryFuses() ? powlanes::Mode::Fused : powlanes::Mode::Plain;
    for (const Level& level : levels()) {
        if (level.expected == powlanes::Mode::Library) continue;
        const long done = level.rows(lanes, x.data(), y.data(), got.data(), n);
        ASSERT_GE(done, n - 16) << level.name;
        for (long i = 0; i < done; ++i)
            if (bitsOf(got[i]) != bitsOf(want[i]))
                FAIL() << level.name << ": pow(" << std::hexfloat << x[i] << ", " << y[i] << ") gave " << got[i]
                       << ", the library " << want[i];
    }
}

}  // namespace

// Each level takes the library's build where it has the operations for it,
// and its self-check against the library passes (else it would have gone to
// the library for good, hiding a fault in the lanes).
TEST(PowLanes, EveryLevelFindsTheLibrarysBuild) {
    for (const Level& level : levels())
        EXPECT_EQ(static_cast<int>(level.mode()), static_cast<int>(level.expected)) << level.name;
}

// Every pair of 8-bit soft light's operands: b = c / 255 and the exponent of
// every top channel.
TEST(PowLanes, EqualTheLibraryForEveryEightBitSoftLightPair) {
    std::vector<float> x, y;
    for (int b = 0; b < 256; ++b)
        for (int t = 0; t < 256; ++t) {
            x.push_back(static_cast<float>(b / 255.0));
            y.push_back(exponentOf(static_cast<float>(t / 255.0)));
        }
    expectLibraryPowers(x, y);
}

// 16-bit soft light's operands b = c / 32768: every bottom channel against a
// stride of top channels (both sides of one half among them), and random pairs.
TEST(PowLanes, EqualTheLibraryOverTheSixteenBitSoftLightDomain) {
    std::vector<int> tops = {0, 1, 2, 16383, 16384, 16385, 32766, 32767, 32768};
    for (int u = 5; u < 32768; u += 97 * kThin) tops.push_back(u);
    std::vector<float> x, y;
    for (const int u : tops) {
        const float e = exponentOf(static_cast<float>(u) * (1.0f / 32768.0f));
        for (int c = 0; c <= 32768; c += kThin) {
            x.push_back(static_cast<float>(c) * (1.0f / 32768.0f));
            y.push_back(e);
        }
    }
    std::mt19937 g(5);
    for (int k = 0; k < 4000000 / kThin; ++k) {
        x.push_back(static_cast<float>(g() % 32769) * (1.0f / 32768.0f));
        y.push_back(exponentOf(static_cast<float>(g() % 32769) * (1.0f / 32768.0f)));
    }
    expectLibraryPowers(x, y);
}

// Random positive normal x with y bringing |y log2 x| up to and past 126,
// where an error in the last bit of a double of the steps shows most (and
// near x = 1, where y is largest); random bits for both; pairs that the
// library's two builds round apart; and every special value against every
// other, which go to the library lane by lane.
TEST(PowLanes, EqualTheLibraryOnRandomAndSpecialFloats) {
    std::mt19937_64 g(17);
    std::vector<float> x, y;
    for (int k = 0; k < 3000000 / kThin; ++k) {
        const float a = ofBits(0x00800000u + static_cast<uint32_t>(g() % 0x7f000000u));
        const double l = std::log2(static_cast<double>(a));
        const double target = std::uniform_real_distribution<double>(-130.0, 130.0)(g);
        x.push_back(a);
        y.push_back(l == 0.0 ? 3.0f : static_cast<float>(target / l));
    }
    for (int k = 0; k < 1000000 / kThin; ++k) {
        x.push_back(1.0f + std::ldexp(static_cast<float>(g() % 4096 + 1), -static_cast<int>(12 + g() % 12)));
        y.push_back(static_cast<float>(std::ldexp(std::uniform_real_distribution<double>(-90.0, 90.0)(g), 20)));
    }
    for (int k = 0; k < 1000000 / kThin; ++k) {
        x.push_back(ofBits(static_cast<uint32_t>(g())));
        y.push_back(ofBits(static_cast<uint32_t>(g())));
    }
    for (const powlanes::CheckCase& c : powlanes::kHardCases) {
        x.push_back(c.x);
        y.push_back(c.y);
    }
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float specials[] = {0.0f,    -0.0f,    0x1p-149f,  0x1.234p-140f, 0x1p-126f, 0x1.fffffep-127f, 1.0f,   -1.0f,
                              0.5f,    2.0f,     -2.0f,      3.0f,          -0.5f,     0x1.fffffep127f,  inf,    -inf,
                              nan,     -nan,     1.0000001f, 0.99999994f,   125.0f,    -125.0f,          126.0f, 150.0f,
                              -150.0f, 0x1p-20f, 0x1p20f};
    for (const float a : specials)
        for (const float b : specials) {
            x.push_back(a);
            y.push_back(b);
        }
    expectLibraryPowers(x, y);
}

namespace {

// Soft light's rows at every vector level against the per-pixel function.
template <class P>
void expectSoftRows(const std::vector<P>& bottom, const std::vector<P>& top) {
    const BlendOp<BlendMode::Softlight> op;
    std::vector<P> want(top.size()), got;
    for (std::size_t i = 0; i < top.size(); ++i) want[i] = op(bottom[i], top[i]);
    for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
        simd::setLevelCap(static_cast<simd::Level>(level));
        got = top;
        Blend::blendRow(op, bottom.data(), got.data(), static_cast<A_long>(got.size()));
        simd::setLevelCap(simd::Level::Avx512);
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof(P)), 0) << "level " << level << " pixel " << i;
    }
}

}  // namespace

// 16-bit soft light's rows at every level against the per-pixel function:
// every top channel (each in red, green and blue by turns) over bottoms of a
// few kinds under opaque, half and near-transparent alphas; and every
// combination of channel and alpha values at and around the ends, where the
// composites meet 0 and full and values above full are taken as full.
TEST(PowLanes, SixteenBitSoftLightRowsOverEveryTopChannelAndTheEnds) {
    auto u16 = [](long v) { return static_cast<A_u_short>(v); };
    std::vector<PF_Pixel16> bottom, top;
    const int alphas[][2] = {{32768, 32768}, {32768, 16384}, {9000, 32768}, {1, 32767}, {32767, 1}, {20000, 12345}};
    const int bottoms[] = {0, 1, 2, 16384, 32767, 32768};
    for (const auto& a : alphas)
        for (long u = 0; u <= 32768; ++u) {
            const long c = (u * 7919 + a[1]) % 32769, d = bottoms[u % std::size(bottoms)];
            const long k = u % 3;
            top.push_back({u16(a[1]), u16(k == 0 ? u : c), u16(k == 1 ? u : 32768 - c), u16(k == 2 ? u : c / 2)});
            bottom.push_back({u16(a[0]), u16(k == 0 ? c : d), u16(k == 1 ? c : d), u16(k == 2 ? c : 32768 - d)});
        }
    const long ends[] = {0, 1, 2, 16383, 16384, 16385, 32766, 32767, 32768, 40000, 65535};
    for (const long ab : ends)
        for (const long at : ends)
            for (const long b : ends)
                for (const long t : ends) {
                    bottom.push_back({u16(ab), u16(b), u16(t), u16(32768 - b % 32769)});
                    top.push_back({u16(at), u16(t), u16(b), u16(t ^ 0x5555)});
                }
    expectSoftRows(bottom, top);
}

// Every 8-bit channel pair under a few alphas (opaque over opaque, opaque
// tops, neither), every 16-bit bottom channel against a stride of top channels
// under the same, and float pixels with channels in and out of [0, 1] and
// the special values.
TEST(PowLanes, SoftLightRowsOfEveryDepthEqualThePixelFunction) {
    {
        std::vector<PF_Pixel> bottom, top;
        for (const int ab : {255, 90})
            for (const int at : {255, 200})
                for (int b = 0; b < 256; ++b)
                    for (int t = 0; t < 256; ++t) {
                        bottom.push_back({static_cast<A_u_char>(ab), static_cast<A_u_char>(b),
                                          static_cast<A_u_char>(255 - b), static_cast<A_u_char>(b ^ 0x55)});
                        top.push_back({static_cast<A_u_char>(at), static_cast<A_u_char>(t),
                                       static_cast<A_u_char>(t ^ 0xAA), static_cast<A_u_char>(255 - t)});
                    }
        expectSoftRows(bottom, top);
    }
    {
        std::vector<PF_Pixel16> bottom, top;
        for (const int ab : {32768, 9000})
            for (const int at : {32768, 20000})
                for (int c = 0; c <= 32768; c += 3 * kThin)
                    for (int u = c % 7; u <= 32768; u += 4099) {
                        bottom.push_back({static_cast<A_u_short>(ab), static_cast<A_u_short>(c),
                                          static_cast<A_u_short>(32768 - c), static_cast<A_u_short>(c / 2)});
                        top.push_back({static_cast<A_u_short>(at), static_cast<A_u_short>(u),
                                       static_cast<A_u_short>(32768 - u), static_cast<A_u_short>((u * 7) % 32769)});
                    }
        expectSoftRows(bottom, top);
    }
    {
        std::mt19937 g(3);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f), wide(-0.5f, 3.0f);
        const float specials[] = {0.0f,
                                  -0.0f,
                                  1.0f,
                                  0.5f,
                                  0x1p-140f,
                                  std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::quiet_NaN(),
                                  -1.0f,
                                  2.0f};
        std::vector<PF_PixelFloat> bottom, top;
        for (int k = 0; k < 200000 / kThin; ++k) {
            auto channel = [&] {
                const unsigned pick = g() % 16;
                return pick == 0 ? specials[g() % std::size(specials)] : pick < 4 ? wide(g) : unit(g);
            };
            bottom.push_back({g() % 4 ? 1.0f : unit(g), channel(), channel(), channel()});
            top.push_back({g() % 4 ? 1.0f : unit(g), channel(), channel(), channel()});
        }
        expectSoftRows(bottom, top);
    }
}
