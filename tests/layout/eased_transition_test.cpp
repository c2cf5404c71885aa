// Both transitioners with curved easings (the easing acts on each index's
// progress, after the stagger, never on the completion before it), the scale
// maps' hard and soft thresholds through every map path, and the colour
// mapper's 1D map layer. Expected values are worked out from the published
// easing formulas, not from the effect's easing code.
#include "VemaroMappers.h"
#include "VemaroShapeTransitioner.h"
#include "VemaroTransitioner.h"
#include "elements_fixture.h"

#include <cmath>

namespace {

// One Shot, delay 0.5 over three indices: L = 2, so completion 0.4 gives raw
// progress 0.8, 0.3 and 0 to indices 0, 1, 2.
constexpr double kRaw[3] = {0.8, 0.3, 0.0};

struct EasingCase {
    const char* name;
    int type, mode;
    double eased[3];  // of kRaw
};

// Quad In t^2; Cubic Out (t - 1)^3 + 1; Back In t^2 (2.70158 t - 1.70158),
// which dips below 0; Bounce Out at 0.8 (third piece): 7.5625 (0.8 -
// 0.8181...)^2 + 0.9375, and at 0.3 (first piece): 7.5625 x 0.09; Sine InOut -(cos(pi t) - 1) / 2.
const EasingCase kEasings[] = {
    {"Quad In", 2, 1, {0.64, 0.09, 0}},
    {"Cubic Out", 3, 2, {0.992, 0.657, 0}},
    {"Back In", 10, 1, {0.64 * (2.70158 * 0.8 - 1.70158), 0.09 * (2.70158 * 0.3 - 1.70158), 0}},
    {"Bounce Out", 9, 2, {7.5625 * (0.8 - 0.8181818181818182) * (0.8 - 0.8181818181818182) + 0.9375, 7.5625 * 0.09, 0}},
    {"Sine InOut",
     8,
     3,
     {-0.5 * (std::cos(0.8 * 3.141592653589793) - 1), -0.5 * (std::cos(0.3 * 3.141592653589793) - 1), 0}},
};

class EasedTransitionTest : public ElementsTest {
protected:
    void staggered(const EasingCase& e) {
        record.transitionCompletion = 0.4;
        record.transitionDelay = 0.5;
        record.transitionEasing = Easing{e.type, e.mode};
        record.transitionScale = 3;      // factor 1 + 2 e
        record.transitionOpacity = 0.5;  // factor 1 - 0.5 e
        record.transitionPhase = 2;      // shift 2 e
    }
    MapperHost mapperHost() { return MapperHost{host.pluginId(), &in, suites.get(), effect(), 0, 16, 16}; }
};

TEST_F(EasedTransitionTest, ElementTransitionerEasesEachIndexsProgress) {
    for (const EasingCase& e : kEasings) {
        staggered(e);
        Transitioner t(&in, *suites, 0, record, animator, 3);
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(t.init({}, k), PF_Err_NONE);
            EXPECT_NEAR(t.progress, e.eased[k], 1e-12) << e.name << " index " << k << " raw " << kRaw[k];
            ShapeDrawer::Pattern p;
            t.map(p);
            EXPECT_NEAR(p.scale, 1 + 2 * e.eased[k], 1e-12) << e.name << " index " << k;
            EXPECT_NEAR(p.opacity, 1 - 0.5 * e.eased[k], 1e-12) << e.name << " index " << k;
            EXPECT_NEAR(p.phase, 2 * e.eased[k], 1e-12) << e.name << " index " << k;
        }
    }
}

TEST_F(EasedTransitionTest, ShapeTransitionerEasesEachShapesProgress) {
    setShapes(record, {1, 1, 1});
    record.transitionOrder = 4;
    record.transitionOffset = {10, -4};
    for (const EasingCase& e : kEasings) {
        staggered(e);
        ShapeTransitioner st(record, animator);
        ASSERT_EQ(st.scales.size(), 3u);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(st.scales[k], 1 + 2 * e.eased[k], 1e-12) << e.name << " shape " << k;
            EXPECT_NEAR(st.opacities[k], 1 - 0.5 * e.eased[k], 1e-12) << e.name << " shape " << k;
            EXPECT_NEAR(st.phases[k], 2 * e.eased[k], 1e-12) << e.name << " shape " << k;
            EXPECT_NEAR(st.offsets[k].x, 10 * e.eased[k], 1e-12) << e.name << " shape " << k;
            EXPECT_NEAR(st.offsets[k].y, -4 * e.eased[k], 1e-12) << e.name << " shape " << k;
        }
    }
}

// Threshold 0.5 and soft 0.2 (lower threshold 0.3): a rate of 0.4 is scaled
// by (0.4 - 0.3) / 0.2 to 0.2, 0.2 falls below and gives 0, 0.8 is kept.
// With the two settings exchanged every one of these would differ.
struct BandCase {
    A_u_char grey;
    double want;
};
const BandCase kBand[] = {{102, 0.4 * 0.5}, {51, 0.0}, {204, 0.8}, {153, 0.6}};

void band(ScaleMapSettings& s, PF_LayerDef* layer) {
    s.layer = layer;
    s.channel = 1;
    s.wrap = 2;
    s.threshold = 0.5;
    s.thresholdSoft = 0.2;
    s.power = 1;
    s.black = 0;
    s.white = 1;
}

TEST_F(EasedTransitionTest, ScaleMapThresholdsOnTheOneDAndPreTwoDLayers) {
    for (const BandCase& c : kBand) {
        for (int side = 0; side < 2; ++side) {
            ScaleMapSettings oneD{}, pre2D{};
            band(side == 0 ? oneD : pre2D, uniformMap(grey(c.grey)).get());
            ScaleMapper m(mapperHost(), oneD, pre2D);
            ShapeDrawer::Pattern p;
            ASSERT_EQ(m.map({4, 4}, 0, 0, 0.5, p), PF_Err_NONE);
            EXPECT_EQ(p.hasScale, 1);
            EXPECT_NEAR(p.scale, c.want, 1e-6) << (side == 0 ? "1D" : "pre-2D") << " grey " << int(c.grey);
        }
    }
}

TEST_F(EasedTransitionTest, ScaleMapThresholdsOnThePostTwoDLayer) {
    record.shapes[0].minimumScale = 1;  // no random spread
    for (const BandCase& c : kBand) {
        band(record.mapPost2D.scaleMap, uniformMap(grey(c.grey)).get());
        ShapeDrawer& d = make(16, 16);
        ShapeDrawer::Pattern p;
        p.position = {4, 4};
        double scale = 1;
        ASSERT_EQ(d.calculateScale(record.shapes[0], p, {}, scale), PF_Err_NONE);
        EXPECT_NEAR(scale, c.want, 1e-6) << "post-2D grey " << int(c.grey);
    }
}

TEST_F(EasedTransitionTest, ColourMapperReadsItsOneDLayerAtTheMapPosition) {
    // Left half red at alpha 204, right half blue; a curve that says green
    // must lose to the layer.
    hostsim::World& map = uniformMap(PF_Pixel{204, 255, 0, 0}, 256, 1);
    for (int x = 128; x < 256; ++x) map.at<PF_Pixel>(x, 0) = PF_Pixel{255, 0, 0, 255};
    hostsim::ParamValue green{{255, 0, 255, 0}, nullptr};
    params.setKeyframes(576, {{{0, 1}, green}, {{1, 1}, green}});
    ColorMapSettings oneD{};
    oneD.layer = map.get();
    oneD.adjust = Color{0, 30, 0.5f, 1};  // hue +30, lightness halved
    struct Case {
        double t;
        float alpha, hue;
    } cases[] = {{0.1, 0.8f, 30}, {0.9, 1.0f, 270}};
    for (const Case& c : cases) {
        ColorMapper m(mapperHost(), oneD, ColorMapSettings{});
        ShapeDrawer::Pattern p;
        ASSERT_EQ(m.map({}, 0, 0, c.t, p), PF_Err_NONE);
        EXPECT_EQ(p.hasColor1, 1);
        EXPECT_EQ(p.hasColor2, 0);
        EXPECT_NEAR(p.color1.alpha, c.alpha, 1e-6) << c.t;
        EXPECT_NEAR(p.color1.red, c.hue, 1e-4) << c.t;    // hue in degrees
        EXPECT_NEAR(p.color1.green, 0.25f, 1e-6) << c.t;  // lightness 0.5 halved
        EXPECT_NEAR(p.color1.blue, 1.0f, 1e-6) << c.t;    // saturation
    }
}

}  // namespace
