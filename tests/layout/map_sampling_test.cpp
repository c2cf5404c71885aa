#include "Sampling.h"
#include "VemaroMapSampling.h"
#include "World.h"
#include "service_fixture.h"

#include <cmath>

namespace {

using hostsim::Depth;
using hostsim::Sampling;
using hostsim::World;

class MapSampling : public HostServices {
protected:
    MapSampling() { host.get<Sampling>().logRequests(true); }
    // The fixed-point coordinates of the last sample the host saw.
    std::pair<PF_Fixed, PF_Fixed> last() {
        auto r = host.get<Sampling>().requests();
        EXPECT_FALSE(r.empty());
        if (r.empty()) return {0, 0};
        EXPECT_EQ(r.back().kind, Sampling::Kind::Subpixel);
        return {r.back().x, r.back().y};
    }
    PF_SampPB samplerFor(World& w) {
        PF_SampPB pb{};
        pb.src = w.get();
        return pb;
    }
};

constexpr PF_Fixed F(double pixels) { return static_cast<PF_Fixed>(pixels * 65536.0); }

TEST_F(MapSampling, OneDimensionalReadsTheMiddleRowAtTheRate) {
    struct Case {
        int w, h;
        double t;
        PF_Fixed x, y;
    } cases[] = {
        {10, 5, 0.0, 0, F(2)},
        {10, 5, 1.0, F(9), F(2)},
        {10, 5, 0.5, F(4.5), F(2)},
        {10, 1, 0.25, F(2.25), 0},
        {10, 4, 1.0 / 3.0, 196608, F(2)},  // 3 px exactly: 196608
        {7, 6, -0.5, F(-3), F(3)},         // outside: the host's edge behaviour
        {10, 5, 1e12, 2147418112, F(2)},   // far outside, clamped before conversion
        {10, 5, -1e12, -2147418112, F(2)},
        {10, 5, std::nan(""), 0, F(2)},
    };
    for (const Case& c : cases) {
        World map(c.w, c.h, Depth::Bits8);
        PF_SampPB pb = samplerFor(map);
        Color color;
        ASSERT_EQ(getMapColor1D(&in, suites(), pb, 0, c.t, &color), PF_Err_NONE);
        EXPECT_EQ(last(), std::make_pair(c.x, c.y)) << c.w << "x" << c.h << " t=" << c.t;
    }
}

TEST_F(MapSampling, FixedPointRoundsHalvesAwayFromZero) {
    EXPECT_EQ(mapToFixed(0.5 / 65536), 1);
    EXPECT_EQ(mapToFixed(-0.5 / 65536), -1);
    EXPECT_EQ(mapToFixed(0.49 / 65536), 0);
    EXPECT_EQ(mapToFixed(-1.25), -81920);
    EXPECT_EQ(mapToFixed(1e300), 32767 * 65536);
    EXPECT_EQ(mapToFixed(-INFINITY), -32767 * 65536);
}

TEST_F(MapSampling, OffsetFormStretchesTheMapOverTheLayerAndClamps) {
    World map(10, 5, Depth::Bits16);
    PF_SampPB pb = samplerFor(map);
    struct Case {
        Vector pos, off;
        PF_Fixed x, y;
    } cases[] = {
        {{100, 50}, {10, -10}, F(5.5), F(2)},
        {{200, 100}, {0, 0}, F(9), F(4)},  // right and bottom edge: last column and row
        {{-30, -1}, {0, 0}, 0, 0},         // before the start: first column and row
        {{0, 0}, {1e20, -1e20}, F(9), 0},  // far away still clamps
    };
    for (const Case& c : cases) {
        Color color;
        ASSERT_EQ(getMapColor2D(&in, suites(), pb, 1, c.pos, c.off, 200, 100, &color), PF_Err_NONE);
        EXPECT_EQ(last(), std::make_pair(c.x, c.y)) << c.pos.x << "," << c.pos.y;
    }
}

TEST_F(MapSampling, WrapModes) {
    World map(10, 5, Depth::Float);
    PF_SampPB pb = samplerFor(map);
    // Layer 100 x 50, so position = u * 100, v * 50.
    struct Case {
        int wrap;
        double u, v;
        PF_Fixed x, y;
    } cases[] = {
        {kMapWrapNone, 1.2, 0.5, F(12), F(2.5)},  // unclamped
        {kMapWrapNone, -0.4, 0.5, F(-4), F(2.5)},
        {kMapWrapClamp, 1.2, -0.2, F(9), 0},
        {0, 1.2, 1.5, F(9), F(4)},  // no wrap parameter: clamp
        {7, 1.2, 1.5, F(9), F(4)},  // unknown: clamp
        {kMapWrapRepeat, 1.0, 0.5, 0, F(2.5)},
        {kMapWrapRepeat, -0.25, 2.2, F(7.5), 65536},  // 0.75 and 0.2 of the map (v rounds to 1 px)
        {kMapWrapMirror, 1.5, -0.5, F(5), F(2.5)},
        {kMapWrapMirror, 1.0, 0.2, F(9), 65536},  // u = 1 reads the last column
        {kMapWrapMirror, 2.25, -1.25, F(2.5), F(3.75)},
    };
    for (const Case& c : cases) {
        Color color;
        ASSERT_EQ(getMapColor2D(&in, suites(), pb, 2, Vector(c.u * 100, c.v * 50), c.wrap, 100, 50, &color),
                  PF_Err_NONE);
        auto got = last();
        EXPECT_EQ(got.first, c.x) << "wrap " << c.wrap << " u=" << c.u;
        EXPECT_NEAR(got.second, c.y, 1) << "wrap " << c.wrap << " v=" << c.v;
    }
}

TEST_F(MapSampling, ColoursAtEveryDepthAndFailures) {
    World m8(3, 3, Depth::Bits8), m16(3, 3, Depth::Bits16), mf(3, 3, Depth::Float);
    m8.fill(PF_Pixel{255, 51, 102, 204});
    m16.fill(PF_Pixel16{32768, 8192, 16384, 0});
    mf.fill(PF_PixelFloat{1.0f, -0.5f, 2.0f, 0.25f});
    struct Case {
        World* map;
        int bpc;
        Color want;
    } cases[] = {
        {&m8, 0, {1.0f, 0.2f, 0.4f, 0.8f}},
        {&m16, 1, {1.0f, 0.25f, 0.5f, 0.0f}},
        {&mf, 2, {1.0f, -0.5f, 2.0f, 0.25f}},  // float pixels as they are
    };
    for (const Case& c : cases) {
        PF_SampPB pb = samplerFor(*c.map);
        Color got;
        ASSERT_EQ(getMapColor2D(&in, suites(), pb, c.bpc, Vector(1, 1), Vector(), 3, 3, &got), PF_Err_NONE);
        EXPECT_FLOAT_EQ(got.alpha, c.want.alpha);
        EXPECT_FLOAT_EQ(got.red, c.want.red);
        EXPECT_FLOAT_EQ(got.green, c.want.green);
        EXPECT_FLOAT_EQ(got.blue, c.want.blue);

        // A failing sample returns its error and a zero colour, never stale data.
        const char* fn[] = {"subpixel_sample", "subpixel_sample16", "subpixel_sample_float"};
        host.faults().failCall(fn[c.bpc], host.faults().calls(fn[c.bpc]) + 1, 42);
        Color failed = c.want;
        EXPECT_EQ(getMapColor1D(&in, suites(), pb, c.bpc, 0.5, &failed), 42);
        EXPECT_EQ(failed, Color{});
    }
    // An unknown depth asks the host nothing and leaves the colour alone.
    host.get<Sampling>().clearRequests();
    PF_SampPB pb = samplerFor(m8);
    Color keep{0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(getMapColor1D(&in, suites(), pb, 3, 0.5, &keep), PF_Err_NONE);
    EXPECT_EQ(getMapColor2D(&in, suites(), pb, -1, Vector(), 1, 3, 3, &keep), PF_Err_NONE);
    EXPECT_EQ(keep, (Color{0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_TRUE(host.get<Sampling>().requests().empty());
}

// Every 8-bit value reads as the value divided by 255, correctly rounded to
// float (a product with 1 / 255 is one step off on about half of them).
TEST_F(MapSampling, EightBitChannelsAreDividedBy255) {
    World m(1, 1, Depth::Bits8);
    PF_SampPB pb = samplerFor(m);
    int differFromProduct = 0;
    for (int v = 0; v < 256; ++v) {
        const A_u_char c = static_cast<A_u_char>(v);
        m.fill(PF_Pixel{c, c, c, c});
        Color got;
        ASSERT_EQ(getMapColor2D(&in, suites(), pb, 0, Vector(0, 0), Vector(), 1, 1, &got), PF_Err_NONE);
        // v / 255 is never halfway between two floats, so rounding the double
        // quotient gives the correctly rounded float quotient.
        const float want = static_cast<float>(v / 255.0);
        EXPECT_EQ(got.alpha, want) << v;
        EXPECT_EQ(got.red, want) << v;
        EXPECT_EQ(got.blue, want) << v;
        if (want != static_cast<float>(v) * (1.0f / 255.0f)) ++differFromProduct;
    }
    EXPECT_EQ(differFromProduct, 126);
}

TEST(MapRate, ChannelsAgainstHandValues) {
    const Color c{0.8f, 0.9f, 0.3f, 0.1f};
    const double A = 0.8f, R = 0.9f, G = 0.3f, B = 0.1f;
    struct Case {
        int channel;
        double want;
    } cases[] = {
        {kMapChannelLightness, A * (R + B) * 0.5},
        {kMapChannelBrightness, A * R},
        {kMapChannelLuminance, A * ((0.299 * R + 0.587 * G) + 0.114 * B)},
        {kMapChannelRed, R * A},
        {kMapChannelGreen, G * A},
        {kMapChannelBlue, B * A},
        {kMapChannelAlpha, A},
        {0, 1.0},
        {10, 1.0},
    };
    for (const Case& k : cases) EXPECT_DOUBLE_EQ(getMapRate(k.channel, 1.0, 0, c, 0, 0), k.want) << k.channel;
}

TEST(MapRate, HueAndSaturationMatchPythonColorsysOnThePremultipliedColour) {
    // colorsys.rgb_to_hls(r * a, g * a, b * a) in single-precision inputs.
    struct Case {
        Color c;
        double hue, saturation;
    } cases[] = {
        {{0.8f, 0.9f, 0.3f, 0.1f}, 0.041666670062113755, 0.7999999795109027},
        {{1.0f, 0.2f, 0.4f, 0.9f}, 0.6190476165134079, 0.7777777299468911},
        {{0.5f, 0.1f, 0.8f, 0.6f}, 0.45238095592884786, 0.7777777777777778},
        {{1.0f, 0.5f, 0.5f, 0.5f}, 0.0, 0.0},
    };
    for (const Case& k : cases) {
        EXPECT_NEAR(getMapRate(kMapChannelHue, 1.0, 0, k.c, 0, 0), k.hue, 1e-6);
        EXPECT_NEAR(getMapRate(kMapChannelSaturation, 1.0, 0, k.c, 0, 0), k.saturation, 1e-6);
    }
}

TEST(MapRate, ClampInvertThresholdAndPower) {
    const Color transparent{0, 1, 1, 1};
    for (int ch : {1, 2, 3, 6, 7, 8, 9}) {
        EXPECT_EQ(getMapRate(ch, 1.0, 0, transparent, 0, 0), 0.0) << ch;
        EXPECT_EQ(getMapRate(ch, 1.0, 1, transparent, 0, 0), 1.0) << ch;
    }
    EXPECT_EQ(getMapRate(10, 1.0, 1, transparent, 0, 0), 0.0);  // 1 before invert
    // Over-bright float pixels and negative ones clamp to [0, 1].
    EXPECT_EQ(getMapRate(kMapChannelRed, 1.0, 0, Color{1, 3, 0, 0}, 0, 0), 1.0);
    EXPECT_EQ(getMapRate(kMapChannelRed, 1.0, 0, Color{1, -3, 0, 0}, 0, 0), 0.0);

    auto grey = [](float v) { return Color{1, v, v, v}; };
    EXPECT_EQ(getMapRate(kMapChannelRed, 1.0, 0, grey(0.49f), 0.5, 0.5), 0.0);
    EXPECT_EQ(getMapRate(kMapChannelRed, 1.0, 0, grey(0.5f), 0.5, 0.5), 0.5);
    EXPECT_NEAR(getMapRate(kMapChannelRed, 1.0, 0, grey(0.4f), 0.5, 0.3), 0.2, 1e-7);
    EXPECT_NEAR(getMapRate(kMapChannelRed, 1.0, 1, grey(0.6f), 0.5, 0.3), 0.2, 1e-7);  // inverted first
    EXPECT_EQ(getMapRate(kMapChannelRed, 2.0, 0, grey(0.5f), 0, 0), 0.25);
    EXPECT_EQ(getMapRate(kMapChannelRed, 0.0, 0, grey(0.0f), 0, 0), 1.0);
    EXPECT_EQ(getMapRate(kMapChannelRed, 0.0, 0, grey(0.7f), 0, 0), 1.0);
}

}  // namespace
