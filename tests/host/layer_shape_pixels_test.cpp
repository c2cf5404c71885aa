// One Layer-shape element rendered through the simulated host, measured in
// the output pixels: its size from the shape's width and height draws, and
// its colour through each re-colouring step (HLS and Hue toners, the post-2D
// colour map, the transition colour). Expected values come from the
// published element hash and HLS formulas, computed here in double.
#include "smartrender_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// Parameters of shape 0 and of the groups used here.
enum : int {
    kNumber = 2,
    kPoint1 = 3,
    kTransitionCompletion = 131,
    kTransitionOffset = 134,
    kTransitionScale = 136,
    kTransitionOpacity = 142,
    kTransitionPhase = 144,
    kTransitionHue = 138,
    kTransitionLightness = 139,
    kTransitionSaturation = 140,
    kMinimumScale = 174,
    kWidth = 175,
    kMinimumWidth = 176,
    kHeight = 177,
    kMinimumHeight = 178,
    kScaleSeed = 179,
    kToner = 194,
    kPreserveLuma = 197,
    kColor = 198,
    kRandomizeHue = 201,
    kRandomizeLightness = 202,
    kRandomizeSaturation = 203,
    kColorSeed = 204,
    kMinimumOpacity = 207,
    kPost2DColorLayer = 663,
    kPost2DColorMode = 664,
};

constexpr int kOutW = 96, kOutH = 48;
constexpr int kSrcW = 4, kSrcH = 2;
constexpr double kSize = 48;  // 12 output pixels per source pixel

// The element hash: fract(sin(12.9898 (i + sx + 0.5) + 78.233 (j + sy + k + 0.5)) x 43758.5453).
double hash(int k, double sx, double sy, int i = 0, int j = 0) {
    const double v = std::sin(12.9898 * (i + sx + 0.5) + 78.233 * (j + sy + k + 0.5)) * 43758.5453;
    return v - std::floor(v);
}

// A seed point as the record keeps it: tenths, rounded by adding a half and
// truncating toward zero (-12.4 is kept as -12.3).
double seed(double px) { return std::trunc(px * 10 + 0.5) / 10; }

struct Rgb {
    double r, g, b;
};
struct Hls {
    double h, l, s;
};

Hls toHls(Rgb c) {
    const double mx = std::max({c.r, c.g, c.b}), mn = std::min({c.r, c.g, c.b});
    const double l = (mx + mn) / 2;
    if (mx == mn) return {0, l, 0};
    const double d = mx - mn;
    const double s = l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    double h = mx == c.r ? (c.g - c.b) / d : mx == c.g ? 2 + (c.b - c.r) / d : 4 + (c.r - c.g) / d;
    h = std::fmod(h * 60, 360);
    if (h < 0) h += 360;
    return {h, l, s};
}

Rgb toRgb(Hls c) {
    double h = std::fmod(c.h, 360);
    if (h < 0) h += 360;
    const double l = std::clamp(c.l, 0.0, 1.0), s = std::min(c.s, 1.0);
    if (s <= 0) return {l, l, l};
    const double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s, m1 = 2 * l - m2;
    auto v = [&](double x) {
        x = std::fmod(x + 360, 360);
        if (x < 60) return m1 + (m2 - m1) * x / 60;
        if (x < 180) return m2;
        if (x < 240) return m1 + (m2 - m1) * (240 - x) / 60;
        return m1;
    };
    return {v(h + 120), v(h), v(h - 120)};
}

int to8(double v) { return static_cast<int>(std::clamp(v, 0.0, 1.0) * 255 + 0.5); }

class LayerShapePixelsTest : public SmartRenderTest {
protected:
    void SetUp() override {
        SmartRenderTest::SetUp();
        hostsim::Comp::Layer& effect = comp.effectLayer();
        effect.width = kOutW;
        effect.height = kOutH;
        comp.apply();
        hostsim::Comp::Layer& src = comp.addLayer(kSrcW, kSrcH);
        src.paint = [this](hostsim::World& w, long) {
            for (int y = 0; y < w.height(); ++y)
                for (int x = 0; x < w.width(); ++x) w.at<PF_Pixel>(x, y) = source;
        };
        set(sr::kPattern, 1);
        set(kNumber, 1);
        setPoint(kPoint1, kOutW / 2, kOutH / 2);
        set(sr::kShapeType, 5);
        set(sr::kLayer, src.id);
        set(sr::kLayerSampling, 1);
        set(sr::kRandomizeLayerSampling, 1);
        set(sr::kSize, kSize);
        set(sr::kUseScale, 0);
        setPoint(sr::kLayerCenter, kOutW / 2, kOutH / 2);  // anchor at the source's centre
        for (int i : {kMinimumScale, kMinimumWidth, kMinimumHeight, kMinimumOpacity, kWidth, kHeight}) set(i, 100);
        set(kToner, 1);
        set(sr::kOnOriginal, 0);
        set(kTransitionCompletion, 0);
    }
    void setColor(int index, PF_Pixel c) {
        params.setValue(
            index, hostsim::ParamValue{{double(c.alpha), double(c.red), double(c.green), double(c.blue)}, nullptr});
    }
    // The colour of a pixel well inside the element (source (2, 0.5)).
    PF_Pixel middle() {
        hostsim::SmartRenderCall call = smart.render(0);
        EXPECT_EQ(call.err, PF_Err_NONE);
        return call.output->at<PF_Pixel>(kOutW / 2, kOutH / 2 - 6);
    }
    void expectColour(const PF_Pixel& got, Rgb want, const char* what) {
        EXPECT_EQ(got.alpha, 255) << what;
        EXPECT_NEAR(got.red, to8(want.r), 1) << what;
        EXPECT_NEAR(got.green, to8(want.g), 1) << what;
        EXPECT_NEAR(got.blue, to8(want.b), 1) << what;
    }
    Rgb sourceRgb() const { return {source.red / 255.0, source.green / 255.0, source.blue / 255.0}; }

    PF_Pixel source{255, 200, 100, 50};
};

// Alpha-weighted moments of the drawing: a source of n opaque pixels,
// bilinearly spread at f output pixels per source pixel, has the variance
// f^2 (n^2 - 1) / 12 + f^2 / 6 along that axis.
struct Moments {
    double area, cx, cy, fx, fy;
};

Moments measure(const hostsim::World& w) {
    double a = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const double v = w.at<PF_Pixel>(x, y).alpha / 255.0;
            a += v;
            sx += v * x;
            sy += v * y;
            sxx += v * x * x;
            syy += v * y * y;
        }
    const double cx = sx / a, cy = sy / a;
    const double vx = sxx / a - cx * cx, vy = syy / a - cy * cy;
    auto factor = [](double var, int n) { return std::sqrt(var / ((n * n - 1) / 12.0 + 1 / 6.0)); };
    return {a, cx, cy, factor(vx, kSrcW), factor(vy, kSrcH)};
}

TEST_F(LayerShapePixelsTest, WidthAndHeightDrawsSizeTheImage) {
    struct Case {
        const char* what;
        double width, minWidth, height, minHeight;  // percent
        Vector seed;
    };
    const Case cases[] = {
        {"whole", 100, 100, 100, 100, {0, 0}},
        {"squeezed to half its width", 50, 100, 100, 100, {0, 0}},
        {"a third of its height", 100, 100, 100 / 3.0, 100, {0, 0}},
        {"random width and height", 100, 40, 100, 10, {3.7, 1.2}},
        {"random, another seed", 80, 30, 60, 50, {-12.4, 5.5}},
    };
    for (const Case& c : cases) {
        set(kWidth, c.width);
        set(kMinimumWidth, c.minWidth);
        set(kHeight, c.height);
        set(kMinimumHeight, c.minHeight);
        setPoint(kScaleSeed, c.seed.x, c.seed.y);
        // Draw 1 of the scale seed spreads the width, draw 2 the height.
        const double sx = seed(c.seed.x), sy = seed(c.seed.y);
        const double k = kSize / kSrcW;
        const double fx = k * (1 - hash(1, sx, sy) * (1 - c.minWidth / 100)) * c.width / 100;
        const double fy = k * (1 - hash(2, sx, sy) * (1 - c.minHeight / 100)) * c.height / 100;
        hostsim::SmartRenderCall call = smart.render(0);
        ASSERT_EQ(call.err, PF_Err_NONE);
        const Moments m = measure(*call.output);
        // Source pixel (u, v) lands at the point + (u - W/2, v - H/2) scaled,
        // so the middle of pixels 0 .. 3 and 0 .. 1 sits half a pixel up-left.
        EXPECT_NEAR(m.cx, kOutW / 2 - 0.5 * fx, 0.05) << c.what;
        EXPECT_NEAR(m.cy, kOutH / 2 - 0.5 * fy, 0.05) << c.what;
        EXPECT_NEAR(m.area, kSrcW * fx * kSrcH * fy, 0.01 * m.area) << c.what;
        EXPECT_NEAR(m.fx, fx, 0.02 * fx) << c.what;
        EXPECT_NEAR(m.fy, fy, 0.02 * fy) << c.what;
    }
}

TEST_F(LayerShapePixelsTest, HueTonerTakesTheShapeColoursHue) {
    set(kToner, 6);
    set(kPreserveLuma, 0);
    setColor(kColor, PF_Pixel{255, 0, 64, 255});  // azure: hue 225 (rounded to the 8-bit channels)
    const Hls shape = toHls({0, 64 / 255.0, 1});
    Hls px = toHls(sourceRgb());
    px.h = shape.h;
    expectColour(middle(), toRgb(px), "Hue toner");
}

TEST_F(LayerShapePixelsTest, HlsTonerAddsTheShapesRandomTerms) {
    set(kToner, 2);
    set(kPreserveLuma, 0);
    set(kRandomizeHue, 90);
    set(kRandomizeLightness, 30);
    set(kRandomizeSaturation, 40);
    setPoint(kColorSeed, -2.3, 7.1);
    // Draws 0, 1 and 2 of the colour seed, each spread to (-1, 1).
    const double sx = seed(-2.3), sy = seed(7.1);
    const double jh = (2 * hash(0, sx, sy) - 1) * 90;
    const double jl = (2 * hash(1, sx, sy) - 1) * 0.3;
    const double js = (2 * hash(2, sx, sy) - 1) * 0.4;
    Hls px = toHls(sourceRgb());
    px = {px.h + jh, px.l + jl, px.s + js};
    expectColour(middle(), toRgb(px), "HLS toner");
}

TEST_F(LayerShapePixelsTest, PostTwoDColourMapTintsTheImage) {
    hostsim::Comp::Layer& map = comp.addLayer(kOutW, kOutH);
    map.paint = [](hostsim::World& w, long) {
        for (int y = 0; y < w.height(); ++y)
            for (int x = 0; x < w.width(); ++x) w.at<PF_Pixel>(x, y) = PF_Pixel{255, 51, 204, 255};
    };
    set(kPost2DColorLayer, map.id);
    set(kPost2DColorMode, 2);  // Tint: the pixel times the map colour
    const Rgb s = sourceRgb();
    expectColour(middle(), {s.r * 0.2, s.g * 0.8, s.b * 1.0}, "post-2D tint");
}

TEST_F(LayerShapePixelsTest, TransitionColourTurnsTheHue) {
    // One element: its progress is the completion itself. Only the colour
    // has a target.
    set(kTransitionCompletion, 100);
    setPoint(kTransitionOffset, 0, 0);
    set(kTransitionScale, 100);
    set(kTransitionOpacity, 100);
    set(kTransitionPhase, 0);
    set(kTransitionHue, 90);
    set(kTransitionLightness, 50);
    set(kTransitionSaturation, 100);
    Hls px = toHls(sourceRgb());
    px = {px.h + 90, px.l * 0.5, px.s};
    expectColour(middle(), toRgb(px), "transition colour");
}

}  // namespace
