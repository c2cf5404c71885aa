// Colorsys against Python's colorsys module (reference file written by
// colorsys_reference.py) and against hand-computed clamp and wrap cases.
#include "VemaroColorsys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Hue difference on the circle, in degrees.
double hueDistance(double a, double b) {
    double d = std::fabs(a - b);
    return std::min(d, 360.0 - d);
}

TEST(Colorsys, MatchesPythonColorsys) {
    std::ifstream in(std::string(VEMARO_SOURCE_DIR) + "/tests/render/colorsys_reference.txt");
    ASSERT_TRUE(in) << "reference file missing";
    int toHls = 0, toRgb = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string kind;
        double a, b, c, x, y, z;
        s >> kind >> a >> b >> c >> x >> y >> z;
        ASSERT_FALSE(s.fail()) << line;
        if (kind == "rgb2hls") {
            Color hls = Colorsys::rgbToHls({0.25f, float(a), float(b), float(c)});
            EXPECT_EQ(hls.alpha, 0.25f);
            // Single precision against double: the hue error grows as the
            // channel range narrows, 8-bit colours keep it at least 1/255.
            double range = std::max({a, b, c}) - std::min({a, b, c});
            double hueTol = range > 0 ? 1e-4 / range : 1e-6;
            EXPECT_LE(hueDistance(hls.red, x), hueTol) << line;
            EXPECT_GE(hls.red, 0.0f);
            EXPECT_LT(hls.red, 360.0f);
            EXPECT_NEAR(hls.green, y, 1e-6) << line;
            EXPECT_NEAR(hls.blue, z, 1e-5) << line;
            ++toHls;
        } else if (kind == "hls2rgb") {
            Color rgb = Colorsys::hlsToRgb({0.75f, float(a), float(b), float(c)});
            EXPECT_EQ(rgb.alpha, 0.75f);
            EXPECT_NEAR(rgb.red, x, 2e-6) << line;
            EXPECT_NEAR(rgb.green, y, 2e-6) << line;
            EXPECT_NEAR(rgb.blue, z, 2e-6) << line;
            ++toRgb;
        } else {
            FAIL() << "unknown line: " << line;
        }
    }
    EXPECT_EQ(toHls, 1600);
    EXPECT_EQ(toRgb, 1400);
}

struct HlsCase {
    Color rgb;
    Color hls;
};

TEST(Colorsys, RgbToHlsHandCases) {
    const HlsCase cases[] = {
        {{1, 1, 0, 0}, {1, 0, 0.5f, 1}},                           // red
        {{1, 0, 1, 0}, {1, 120, 0.5f, 1}},                         // green
        {{1, 0, 0, 1}, {1, 240, 0.5f, 1}},                         // blue
        {{1, 1, 0, 1}, {1, 300, 0.5f, 1}},                         // magenta: negative sector wraps
        {{1, 0.6f, 0.6f, 0.6f}, {1, 0, 0.6f, 0}},                  // grey
        {{1, 1, 1, 1}, {1, 0, 1, 0}},                              // white
        {{1, 0, 0, 0}, {1, 0, 0, 0}},                              // black
        {{1, 2, -0.5f, 0}, {1, 0, 0.5f, 1}},                       // channels clamped to [0, 1]
        {{-3, 0.5f, 0.25f, 0.25f}, {-3, 0, 0.375f, 1.0f / 3.0f}},  // alpha untouched
        {{1, 0.75f, 0.5f, 0.25f}, {1, 30, 0.5f, 0.5f}},
        {{1, 1, 0.8f, 0.8f}, {1, 0, 0.9f, 1}},  // lightness above 0.5
    };
    for (const HlsCase& c : cases) {
        Color h = Colorsys::rgbToHls(c.rgb);
        EXPECT_EQ(h.alpha, c.hls.alpha);
        EXPECT_NEAR(h.red, c.hls.red, 1e-4);
        EXPECT_NEAR(h.green, c.hls.green, 1e-6);
        EXPECT_NEAR(h.blue, c.hls.blue, 1e-6);
    }
}

TEST(Colorsys, HlsToRgbWrapsHueAndClamps) {
    auto rgb = [](float h, float l, float s) { return Colorsys::hlsToRgb({1, h, l, s}); };
    auto near = [](const Color& a, const Color& b) {
        return std::fabs(a.alpha - b.alpha) < 1e-6 && std::fabs(a.red - b.red) < 1e-5 &&
               std::fabs(a.green - b.green) < 1e-5 && std::fabs(a.blue - b.blue) < 1e-5;
    };
    EXPECT_TRUE(near(rgb(-30, 0.5f, 1), rgb(330, 0.5f, 1)));
    EXPECT_TRUE(near(rgb(480, 0.5f, 1), rgb(120, 0.5f, 1)));
    EXPECT_TRUE(near(rgb(370, 0.5f, 1), rgb(10, 0.5f, 1)));
    EXPECT_TRUE(near(rgb(-720, 0.5f, 1), rgb(0, 0.5f, 1)));
    // Hue 10 on full red: red 1, green rises a sixth of the way, blue 0.
    EXPECT_TRUE(near(rgb(10, 0.5f, 1), Color{1, 1, 1.0f / 6.0f, 0}));
    EXPECT_TRUE(near(rgb(200, 1.4f, 0.7f), Color{1, 1, 1, 1}));        // lightness clamped: white
    EXPECT_TRUE(near(rgb(200, -0.2f, 0.7f), Color{1, 0, 0, 0}));       // and black
    EXPECT_TRUE(near(rgb(200, 0.3f, 0), Color{1, 0.3f, 0.3f, 0.3f}));  // grey
    EXPECT_TRUE(near(rgb(200, 0.3f, -1), Color{1, 0.3f, 0.3f, 0.3f}));
    EXPECT_TRUE(near(rgb(200, 1.3f, -1), Color{1, 1, 1, 1}));
    EXPECT_TRUE(near(rgb(0, 0.5f, 3), rgb(0, 0.5f, 1)));  // saturation clamped
    EXPECT_TRUE(near(rgb(0, 0.25f, 1), Color{1, 0.5f, 0, 0}));
    Color nanSat = rgb(0, 0.4f, std::nanf(""));
    EXPECT_TRUE(near(nanSat, Color{1, 0.4f, 0.4f, 0.4f}));
    EXPECT_EQ(Colorsys::hlsToRgb({7.5f, 0, 0.5f, 1}).alpha, 7.5f);
}

TEST(Colorsys, RoundTripOfEightBitColours) {
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 51) {
                Color c{1, r / 255.0f, g / 255.0f, b / 255.0f};
                Color back = Colorsys::hlsToRgb(Colorsys::rgbToHls(c));
                EXPECT_NEAR(back.red, c.red, 2e-6);
                EXPECT_NEAR(back.green, c.green, 2e-6);
                EXPECT_NEAR(back.blue, c.blue, 2e-6);
                EXPECT_EQ(back.alpha, 1.0f);
            }
}

TEST(Colorsys, HueStaysBelow360ForTinyNegativeSectors) {
    // Blue a hair above green on full red: the hue is a tiny negative angle.
    Color h = Colorsys::rgbToHls({1, 1, 0.5f, std::nextafter(0.5f, 1.0f)});
    EXPECT_GE(h.red, 0.0f);
    EXPECT_LT(h.red, 360.0f);
}

}  // namespace
