// Per-element scale, opacity, phase and colour, by tables of hand-computed
// cases: the spreads from the element hash, the element's stored values, the
// post-2D maps read at the drawn position, and the colour-map modes.
#include "DrawFixture.h"
#include "Sampling.h"
#include "VemaroColorsys.h"

using DrawElement = DrawFixture;

namespace {
float luma(const Color& c) { return 0.299f * c.red + 0.587f * c.green + 0.114f * c.blue; }
}  // namespace

TEST_F(DrawElement, ScaleOpacityAndPhase) {
    const Vector seed{3.5, -1.2};
    const double h = hash(4, 7, 0, seed);
    struct Case {
        const char* what;
        void (*set)(Parameters&, ShapeDrawer::Pattern&, hostsim::World&);
        double scale, opacity, phase;  // expected from start values 1.5, 0.8, 0.4
    };
    // Map: one grey at 102/255 = 0.4 (luminance of a grey is the grey).
    const double rate = 102 / 255.0;
    const Case cases[] = {
        {"neutral", [](Parameters&, ShapeDrawer::Pattern&, hostsim::World&) {}, 1.5, 0.8, 0.4},
        {"transform",
         [](Parameters& p, ShapeDrawer::Pattern&, hostsim::World&) { p.transformScale = 2, p.transformRotation = 0.1; },
         3.0, 0.8, 0.5},
        {"spreads",
         [](Parameters& p, ShapeDrawer::Pattern&, hostsim::World&) {
             Parameters::Shape& s = p.shapes[0];
             s.minimumScale = 0.5, s.minimumOpacity = 0, s.randomizePhase = 2;
             s.scaleSeed = s.opacitySeed = s.phaseSeed = {3.5, -1.2};
         },
         (1 - h * 0.5) * 1.5, (1 - h) * 0.8, 0.4 + 2 * h},
        {"element values",
         [](Parameters& p, ShapeDrawer::Pattern& e, hostsim::World&) {
             p.shapes[0].opacity = 0.5, p.shapes[0].phase = 0.2;
             e.opacity = 0.5, e.hasScale = 1, e.scale = 3, e.phase = 0.3, e.hasPhaseOffset = 1, e.phaseOffset = 1;
         },
         4.5, 0.2, 1.9},
        {"offset without its flag",
         [](Parameters&, ShapeDrawer::Pattern& e, hostsim::World&) { e.phaseOffset = 1, e.scale = 3; }, 1.5, 0.8, 0.4},
        {"post-2D maps",
         [](Parameters& p, ShapeDrawer::Pattern&, hostsim::World& map) {
             ScaleMapSettings& s = p.mapPost2D.scaleMap;
             s.layer = map.get(), s.channel = 3, s.power = 1, s.black = 1, s.white = 3;
             PhaseMapSettings& f = p.mapPost2D.phaseMap;
             f.layer = map.get(), f.channel = 3, f.black = 1, f.white = 2, f.invert = 1;
         },
         (1 + 2 * rate) * 1.5, 0.8, 0.4 + 1 + (1 - rate)},
    };
    for (const Case& c : cases) {
        neutral();
        hostsim::World& map = uniform(PF_Pixel{255, 102, 102, 102});
        ShapeDrawer::Pattern e = element(50, 30, 0, 4, 7);
        c.set(record, e, map);
        ShapeDrawer& d = make();
        double scale = 1.5, opacity = 0.8, phase = 0.4;
        EXPECT_EQ(d.calculateScale(record.shapes[0], e, Vector(10, 5), scale), PF_Err_NONE);
        EXPECT_EQ(d.calculateOpacity(record.shapes[0], e, opacity), PF_Err_NONE);
        EXPECT_EQ(d.calculatePhase(record.shapes[0], e, Vector(10, 5), phase), PF_Err_NONE);
        EXPECT_NEAR(scale, c.scale, 1e-6) << c.what;
        EXPECT_NEAR(opacity, c.opacity, 1e-12) << c.what;
        EXPECT_NEAR(phase, c.phase, 1e-6) << c.what;
    }
}

// The maps are read at the element's position plus the draw offset, in layer
// pixels (the output's origin added), stretched over the layer; a failed
// sample still scales (by the zero colour) and reports its error.
TEST_F(DrawElement, MapsReadAtTheDrawnPositionAndReportErrors) {
    hostsim::World& map = uniform(PF_Pixel{255, 255, 255, 255}, 20, 10);
    ScaleMapSettings& s = record.mapPost2D.scaleMap;
    s.layer = map.get(), s.channel = 3, s.power = 1, s.black = 2, s.white = 4;
    in.width = 200, in.height = 100;
    ShapeDrawer& d = make();
    auto& sampling = host.get<hostsim::Sampling>();
    sampling.logRequests(true);
    sampling.clearRequests();
    double scale = 1;
    ASSERT_EQ(d.calculateScale(record.shapes[0], element(50, 30), Vector(10, 5), scale), PF_Err_NONE);
    EXPECT_NEAR(scale, 4, 1e-12);
    const auto req = sampling.requests();
    ASSERT_EQ(req.size(), 1u);
    EXPECT_EQ(req[0].x, 6 * 65536);         // 20 * (50 + 10) / 200
    EXPECT_EQ(req[0].y, int(3.5 * 65536));  // 10 * (30 + 5) / 100
    host.faults().failCall("subpixel_sample", host.faults().calls("subpixel_sample") + 1, PF_Err_OUT_OF_MEMORY);
    scale = 1;
    EXPECT_EQ(d.calculateScale(record.shapes[0], element(50, 30), Vector(), scale), PF_Err_OUT_OF_MEMORY);
    EXPECT_NEAR(scale, 2, 1e-12);  // black at the zero colour's rate
}

// ------------------------------------------------------------ colour
namespace {
struct ColourCase {
    const char* what;
    int mode;
    Color shape;   // RGB
    Color mapHls;  // element colour1, HLS form
    bool luma;
    Color wantFill;  // RGB; alpha slot unchanged (1)
};
}  // namespace

// The 1D map colour through each mode, on fill and stroke alike.
TEST_F(DrawElement, ColourMapModes) {
    const Color highlight{1, 1, 1, 0}, shadow{1, 0, 0, 0.5f};
    const ColourCase cases[] = {
        {"fill", 1, {1, 0.2f, 0.3f, 0.4f}, {1, 120, 0.5f, 1}, false, {1, 0, 1, 0}},
        {"tint", 2, {1, 0.5f, 0.5f, 0.5f}, {1, 0, 0.5f, 1}, false, {1, 0.5f, 0, 0}},
        // Luma exactly 0.5 (grey 0.5) gives the map colour.
        {"tritone mid", 3, {1, 0.5f, 0.5f, 0.5f}, {1, 240, 0.5f, 1}, false, {1, 0, 0, 1}},
        {"tritone bright", 3, {1, 1, 1, 1}, {1, 240, 0.5f, 1}, false, {1, 1, 1, 0}},
        {"tritone dark", 3, {1, 0, 0, 0}, {1, 240, 0.5f, 1}, false, {1, 0, 0, 0.5f}},
        // Grey map colour: saturation 0, hue 0 -> red hue at the colour's L and S.
        {"hue from grey", 4, {1, 0, 0, 1}, {1, 200, 0.5f, 0}, false, {1, 1, 0, 0}},
        {"unknown mode", 7, {1, 0.2f, 0.3f, 0.4f}, {1, 120, 0.5f, 1}, false, {1, 0.2f, 0.3f, 0.4f}},
    };
    for (const ColourCase& c : cases) {
        neutral();
        ColorMapSettings& m = record.map1D.colorMap;
        m.mode = c.mode, m.highlight = highlight, m.shadow = shadow, m.preserveLuma = c.luma;
        record.shapes[0].color = record.shapes[0].strokeColor = c.shape;
        ShapeDrawer::Pattern e = element(10, 10);
        e.hasColor1 = 1;
        e.color1 = c.mapHls;
        e.color1.alpha = 0.5f;
        ShapeDrawer& d = make();
        Color fill, stroke;
        double alpha = 0.8;
        ASSERT_EQ(d.calculateColor(0, record.shapes[0], e, Vector(), fill, stroke, alpha), PF_Err_NONE);
        EXPECT_NEAR(fill.red, c.wantFill.red, 1e-5) << c.what;
        EXPECT_NEAR(fill.green, c.wantFill.green, 1e-5) << c.what;
        EXPECT_NEAR(fill.blue, c.wantFill.blue, 1e-5) << c.what;
        EXPECT_EQ(fill.alpha, 1.0f) << c.what;
        EXPECT_TRUE(fill == stroke) << c.what;
        EXPECT_NEAR(alpha, 0.4, 1e-7) << c.what;  // the map colour's alpha, once
    }
}

TEST_F(DrawElement, ColourSpreadsLumaAndModifiers) {
    // No maps, spreads or modifiers: the shape's own colours (through the
    // HLS round trip of the zero spread), alpha unchanged.
    record.shapes[0].color = {1, 0.1f, 0.2f, 0.3f};
    record.shapes[0].strokeColor = {1, 0.7f, 0.6f, 0.5f};
    ShapeDrawer::Pattern e = element(10, 10, 0, 2, 3);
    Color fill, stroke;
    double alpha = 0.7;
    ASSERT_EQ(make().calculateColor(0, record.shapes[0], e, Vector(), fill, stroke, alpha), PF_Err_NONE);
    for (auto [got, want] :
         {std::pair{fill, record.shapes[0].color}, std::pair{stroke, record.shapes[0].strokeColor}}) {
        EXPECT_EQ(got.alpha, want.alpha);
        EXPECT_NEAR(got.red, want.red, 1e-6);
        EXPECT_NEAR(got.green, want.green, 1e-6);
        EXPECT_NEAR(got.blue, want.blue, 1e-6);
    }
    EXPECT_EQ(alpha, 0.7);

    // A hue spread of 30: fill and stroke move by the same (2h - 1) * 30.
    record.shapes[0].color = {1, 1, 0, 0};
    record.shapes[0].strokeColor = {1, 0, 0, 1};
    record.shapes[0].randomizeColor = {0, 30, 0, 0};
    record.shapes[0].colorSeed = {1, 2};
    const float shift = static_cast<float>(2 * hash(2, 3, 0, {1, 2}) - 1) * 30;
    ASSERT_EQ(make().calculateColor(0, record.shapes[0], e, Vector(), fill, stroke, alpha), PF_Err_NONE);
    auto hue = [](float h) { return h < 0 ? h + 360 : h; };
    EXPECT_NEAR(Colorsys::rgbToHls(fill).red, hue(shift), 1e-3);
    EXPECT_NEAR(Colorsys::rgbToHls(stroke).red, 240 + shift, 1e-3);

    // Tint with Preserve Luma keeps each colour's luma and takes the tint's chroma.
    neutral();
    record.shapes[0].color = {1, 0.8f, 0.6f, 0.2f};
    record.shapes[0].strokeColor = {1, 0.1f, 0.3f, 0.2f};
    record.mapPre2D.colorMap.mode = 2;
    record.mapPre2D.colorMap.preserveLuma = 1;
    e.hasColor2 = 1;
    e.color2 = {1, 200, 0.5f, 0.8f};
    ASSERT_EQ(make().calculateColor(0, record.shapes[0], e, Vector(), fill, stroke, alpha), PF_Err_NONE);
    EXPECT_NEAR(luma(fill), luma(record.shapes[0].color), 2e-3);
    EXPECT_NEAR(luma(stroke), luma(record.shapes[0].strokeColor), 2e-3);

    // A post-2D map of alpha 0.5 after a pre-2D one of alpha 0.5: 0.25.
    hostsim::World& map = uniform(PF_Pixel{128, 255, 0, 0});
    record.mapPost2D.colorMap.layer = map.get();
    record.mapPost2D.colorMap.mode = 1;
    record.mapPost2D.colorMap.adjust = {0, 120, 1, 1};  // red turned to green
    e.color2.alpha = 0.5f;
    alpha = 1;
    ASSERT_EQ(make().calculateColor(0, record.shapes[0], e, Vector(), fill, stroke, alpha), PF_Err_NONE);
    EXPECT_NEAR(alpha, 0.5 * (128 / 255.0f), 1e-6);
    EXPECT_NEAR(fill.green, 1, 1e-5);
    EXPECT_NEAR(fill.red, 0, 1e-5);

    // The element's modifier wins over the shape's transition colour.
    neutral();
    record.shapes[0].color = record.shapes[0].strokeColor = {1, 1, 0, 0};
    ShapeDrawer& d = make();
    d.shapeTransitioner.enabled = 1;
    d.shapeTransitioner.colorSet = {1};
    d.shapeTransitioner.colors = {Color{1, 240, 1, 1}};
    ShapeDrawer::Pattern plain = element(10, 10);
    ASSERT_EQ(d.calculateColor(0, record.shapes[0], plain, Vector(), fill, stroke, alpha), PF_Err_NONE);
    EXPECT_NEAR(fill.blue, 1, 1e-5);  // the transition's +240 degrees
    plain.hasColorModifier = 1;
    plain.colorModifier = {1, 120, 1, 1};
    ASSERT_EQ(d.calculateColor(0, record.shapes[0], plain, Vector(), fill, stroke, alpha), PF_Err_NONE);
    EXPECT_NEAR(fill.green, 1, 1e-5);
    EXPECT_NEAR(fill.blue, 0, 1e-5);
}
