// The displacer and the shape, scale, colour and phase mappers: their rules on
// tables of hand-computed cases, with maps and hidden curves from the
// simulated host.
#include "VemaroColorsys.h"
#include "VemaroDisplacer.h"
#include "VemaroMappers.h"
#include "elements_fixture.h"

#include <cmath>

namespace {

class MapperTest : public ElementsTest {
protected:
    MapperHost mapperHost() { return MapperHost{host.pluginId(), &in, suites.get(), effect(), 0, 16, 16}; }
    std::vector<int> shapesFor(int count, double t = 0) {
        ShapeMapper m(mapperHost(), record);
        std::vector<int> out;
        for (int k = 0; k < count; ++k) {
            int s = k;
            EXPECT_EQ(m.map({2, 2}, k, 0, t, s), PF_Err_NONE);
            out.push_back(s);
        }
        return out;
    }
};

// ---------------------------------------------------------------- Displacer

TEST_F(MapperTest, ElementHashReferenceValues) {
    EXPECT_NEAR(hash(0, 0, 0, {0, 0}), 0.18449, 1e-5);
    EXPECT_NEAR(hash(0, 0, 1, {0, 0}), 0.71621, 1e-5);
    EXPECT_NEAR(hash(1, 0, 0, {0, 0}), 0.47192, 1e-5);
}

TEST_F(MapperTest, RandomDisplacementFlipsAndScalesEachAxisByTheHash) {
    record.displacementX = 12;
    record.displacementY = -6;
    for (Vector seed : {Vector{0, 0}, Vector{2.5, -1.2}}) {
        record.displacementSeed = seed;
        Displacer d(&in, *suites, 0, 16, 16, record);
        for (int i = -2; i < 3; ++i)
            for (int j = 0; j < 2; ++j) {
                Vector off;
                ASSERT_EQ(d.map({1, 1}, i, j, off), PF_Err_NONE);
                const double x = (hash(i, j, 0, seed) > 0.5 ? -12 : 12) * hash(i, j, 1, seed);
                const double y = (hash(i, j, 2, seed) > 0.5 ? 6 : -6) * hash(i, j, 3, seed);
                EXPECT_EQ(off, (Vector{x, y})) << i << " " << j;
            }
    }
    // A zero amount keeps the drawn sign, on either axis.
    record.displacementSeed = {0, 0};
    for (double zero : {0.0, -0.0}) {
        record.displacementX = zero;
        record.displacementY = zero;
        Displacer d(&in, *suites, 0, 16, 16, record);
        for (int i = 0; i < 8; ++i) {
            Vector off{1, 1};
            ASSERT_EQ(d.map({1, 1}, i, 0, off), PF_Err_NONE);
            const double x = (hash(i, 0, 0, {}) > 0.5 ? -zero : zero) * hash(i, 0, 1, {});
            const double y = (hash(i, 0, 2, {}) > 0.5 ? -zero : zero) * hash(i, 0, 3, {});
            EXPECT_EQ(std::signbit(off.x), std::signbit(x)) << i;
            EXPECT_EQ(std::signbit(off.y), std::signbit(y)) << i;
            EXPECT_EQ(off, (Vector{0, 0}));
        }
    }
    record.displacementX = 12;
    record.displacementY = -6;
    // A whole-number seed shifts the sequence along the indices.
    record.displacementSeed = {1, 0};
    Displacer shifted(&in, *suites, 0, 16, 16, record);
    record.displacementSeed = {0, 0};
    Displacer plain(&in, *suites, 0, 16, 16, record);
    Vector a, b;
    shifted.map({}, 3, 1, a);
    plain.map({}, 4, 1, b);
    EXPECT_EQ(a, b);
}

TEST_F(MapperTest, MapDisplacementByTwoChannelsAroundMidGrey) {
    record.displacementMode = 2;
    record.displacementMapWrap = 2;
    record.displacementX = 10;
    record.displacementY = 20;
    record.displacementXChannel = 6;  // red
    record.displacementYChannel = 8;  // blue
    struct Case {
        PF_Pixel colour;
        Vector want;
    } cases[] = {{{255, 255, 0, 0}, {10, -20}}, {{255, 0, 0, 255}, {-10, 20}}, {{255, 51, 0, 204}, {-6, 12}}};
    for (const Case& c : cases) {
        record.displacementMap = uniformMap(c.colour).get();
        Displacer d(&in, *suites, 0, 16, 16, record);
        Vector off{99, 99};
        ASSERT_EQ(d.map({4, 4}, 0, 0, off), PF_Err_NONE);
        EXPECT_NEAR(off.x, c.want.x, 1e-5);
        EXPECT_NEAR(off.y, c.want.y, 1e-5);
    }
    // No map, or a mode outside the popup: the offset stays as the caller set it.
    record.displacementMap = nullptr;
    for (int mode : {2, 0, 3}) {
        record.displacementMode = mode;
        Displacer d(&in, *suites, 0, 16, 16, record);
        Vector off{1, 2};
        EXPECT_EQ(d.map({4, 4}, 5, 5, off), PF_Err_NONE);
        EXPECT_EQ(off, (Vector{1, 2})) << mode;
    }
}

// ---------------------------------------------------------------- ShapeMapper

TEST_F(MapperTest, ShapesByWeightsAndOffset) {
    setShapes(record, {1, 2, 1});  // weights 1, 3, 4
    EXPECT_EQ(shapesFor(8), (std::vector<int>{0, 1, 1, 2, 0, 1, 1, 2}));
    record.shapeOffset = 1;
    EXPECT_EQ(shapesFor(8), (std::vector<int>{1, 1, 2, 0, 1, 1, 2, 0}));
    record.shapeOffset = -1;
    EXPECT_EQ(shapesFor(1), (std::vector<int>{2}));
    // A negative layout index wraps into range.
    ShapeMapper m(mapperHost(), record);
    int s = -6;
    EXPECT_EQ(m.map({}, -6, 0, 0, s), PF_Err_NONE);
    EXPECT_EQ(s, 1);  // (-6 - 1) mod 4 = -3, + 4 = slot 1: shape 1
}

TEST_F(MapperTest, RandomShapeGoesThroughOffsetAndWeights) {
    setShapes(record, {1, 2, 1});
    record.randomizeShape = 1;
    record.shapeSeed = {4, 7};
    record.shapeOffset = 2;
    const int weights[3] = {1, 3, 4};
    std::vector<int> got = shapesFor(6);
    for (int k = 0; k < 6; ++k) {
        const int slot = (static_cast<int>(4 * hash(k, 0, 0, {4, 7})) + 2) % 4;
        int want = 0;
        while (slot >= weights[want]) ++want;
        EXPECT_EQ(got[k], want) << k;
    }
}

TEST_F(MapperTest, MapsAndCurveTakePrecedenceInTurn) {
    setShapes(record, {1, 1, 1, 1});
    flatCurve(559, 30);  // 4 * 0.3 -> slot 1
    EXPECT_EQ(shapesFor(3), (std::vector<int>{1, 1, 1}));
    record.map1D.shapeMap.invert = 1;  // 1 - 0.3 -> slot 2
    EXPECT_EQ(shapesFor(1), (std::vector<int>{2}));
    record.map1D.shapeMap.invert = 0;
    record.map1D.shapeMap.layer = uniformMap(grey(255)).get();  // rate 1: the last slot, not one past
    record.map1D.shapeMap.channel = 1;
    EXPECT_EQ(shapesFor(2), (std::vector<int>{3, 3}));
    record.mapPre2D.shapeMap.layer = uniformMap(grey(0)).get();
    record.mapPre2D.shapeMap.channel = 1;
    record.mapPre2D.shapeMap.wrap = 2;
    EXPECT_EQ(shapesFor(2), (std::vector<int>{0, 0}));
    record.randomizeShape = 1;  // a map still wins
    EXPECT_EQ(shapesFor(2), (std::vector<int>{0, 0}));
    // A post-2D shape map leaves the choice to drawing time.
    record.mapPost2D.shapeMap.layer = uniformMap(grey(128)).get();
    EXPECT_EQ(shapesFor(3), (std::vector<int>{0, 1, 2}));
}

TEST_F(MapperTest, CurveValuesClampBelowAndAtTheLastSlot) {
    setShapes(record, {1, 1, 1});
    struct Case {
        double value;
        int shape;
    } cases[] = {{-40, 0}, {0, 0}, {33.4, 1}, {99.9, 2}, {100, 2}, {250, 2}};
    for (const Case& c : cases) {
        flatCurve(559, c.value);
        EXPECT_EQ(shapesFor(1, 0.5), std::vector<int>{c.shape}) << c.value;
    }
    // One keyframe: no curve, the layout's index stands.
    params.setKeyframes(559, {{{0, 1}, scalar(100)}});
    EXPECT_EQ(shapesFor(3), (std::vector<int>{0, 1, 2}));
}

TEST_F(MapperTest, DamagedWeightsNeverLeaveTheShapeTable) {
    setShapes(record, {1, 1});
    record.shapeWeightTotal = 0;  // nothing to divide by
    EXPECT_EQ(shapesFor(3), (std::vector<int>{0, 0, 0}));
    record.shapeWeightTotal = 5;  // weights 1, 2 never reach 4: the last shape
    EXPECT_EQ(shapesFor(5), (std::vector<int>{0, 1, 1, 1, 1}));
    record.shapeNumber = 40;
    record.shapeWeightTotal = 2;
    EXPECT_EQ(shapesFor(2), (std::vector<int>{0, 1}));
}

// ---------------------------------------------------------------- values

TEST_F(MapperTest, NoSourcesLeaveTheElementAsItCame) {
    ScaleMapper scale(mapperHost(), record.map1D.scaleMap, record.mapPre2D.scaleMap);
    ColorMapper colour(mapperHost(), record.map1D.colorMap, record.mapPre2D.colorMap);
    PhaseMapper phase(mapperHost(), record.map1D.phaseMap, record.mapPre2D.phaseMap);
    ShapeDrawer::Pattern p;
    p.scale = 2;
    p.phaseOffset = 0.5;
    EXPECT_EQ(scale.map({}, 0, 0, 0.3, p), PF_Err_NONE);
    EXPECT_EQ(colour.map({}, 0, 0, 0.3, p), PF_Err_NONE);
    EXPECT_EQ(phase.map({}, 0, 0, 0.3, p), PF_Err_NONE);
    EXPECT_EQ(p.hasScale | p.hasColor1 | p.hasColor2 | p.hasPhaseOffset, 0);
    EXPECT_EQ(p.scale, 2.0);
    EXPECT_EQ(p.phaseOffset, 0.5);
}

TEST_F(MapperTest, ScaleCurveThresholdBandAndPower) {
    ScaleMapSettings& s = record.map1D.scaleMap;
    s.threshold = 0.5;
    s.thresholdSoft = 0.2;
    s.black = 0;
    s.white = 1;
    struct Case {
        double slider, power;
        uint8_t invert;
        double want;
    } cases[] = {{40, 1, 0, 0.2},  {20, 1, 0, 0.0}, {60, 1, 0, 0.6}, {60, 2, 0, 0.36},
                 {300, 1, 0, 3.0}, {40, 1, 1, 0.6}, {80, 1, 1, 0.0}};
    for (const Case& c : cases) {
        flatCurve(565, c.slider);
        s.power = c.power;
        s.invert = c.invert;
        ScaleMapper m(mapperHost(), s, record.mapPre2D.scaleMap);
        ShapeDrawer::Pattern p;
        ASSERT_EQ(m.map({}, 0, 0, 0.25, p), PF_Err_NONE);
        EXPECT_EQ(p.hasScale, 1);
        EXPECT_NEAR(p.scale, c.want, 1e-12) << c.slider << " ^" << c.power;
    }
    // Black and white span the result.
    flatCurve(565, 50);
    s = ScaleMapSettings{};
    s.power = 1;
    s.black = 0.5;
    s.white = 2.5;
    ScaleMapper m(mapperHost(), s, record.mapPre2D.scaleMap);
    ShapeDrawer::Pattern p;
    p.scale = 2;
    ASSERT_EQ(m.map({}, 0, 0, 0.25, p), PF_Err_NONE);
    EXPECT_DOUBLE_EQ(p.scale, 2 * 1.5);
}

TEST_F(MapperTest, PreTwoDMapsApplyOnTopOfTheOneDSide) {
    flatCurve(565, 50);
    flatCurve(594, 25);
    ScaleMapSettings s1{};
    s1.power = 1;
    s1.black = 0;
    s1.white = 4;  // 0.5 -> 2
    ScaleMapSettings s2{};
    s2.layer = uniformMap(grey(51)).get();  // rate 0.2
    s2.channel = 1;
    s2.wrap = 2;
    s2.power = 1;
    s2.black = 1;
    s2.white = 6;  // 1 + 5 * 0.2 = 2
    ScaleMapper scale(mapperHost(), s1, s2);
    PhaseMapSettings p1{};
    p1.black = 1;
    p1.white = 3;  // 1 + 2 * 0.25 = 1.5
    PhaseMapSettings p2{};
    p2.layer = uniformMap(grey(204)).get();  // rate 0.8
    p2.channel = 1;
    p2.wrap = 2;
    p2.invert = 1;  // 0.2
    p2.black = 0;
    p2.white = -10;  // -2
    PhaseMapper phase(mapperHost(), p1, p2);
    ShapeDrawer::Pattern p;
    ASSERT_EQ(scale.map({3, 3}, 0, 0, 0.5, p), PF_Err_NONE);
    ASSERT_EQ(phase.map({3, 3}, 0, 0, 0.5, p), PF_Err_NONE);
    EXPECT_NEAR(p.scale, 2 * 2, 1e-6);
    EXPECT_EQ(p.hasPhaseOffset, 1);
    EXPECT_NEAR(p.phaseOffset, 1.5 - 2, 1e-6);
    // The phase curve clamps below only.
    flatCurve(594, -50);
    PhaseMapper clamped(mapperHost(), p1, PhaseMapSettings{});
    ShapeDrawer::Pattern q;
    ASSERT_EQ(clamped.map({}, 0, 0, 0.5, q), PF_Err_NONE);
    EXPECT_DOUBLE_EQ(q.phaseOffset, 1.0);
}

TEST_F(MapperTest, ColoursInHlsWithTheGroupsAdjustment) {
    // The curve: pure red at 50 % opacity, hue shifted by 30, lightness halved.
    hostsim::ParamValue red{{255, 255, 0, 0}, nullptr};
    params.setKeyframes(576, {{{0, 1}, red}, {{1, 1}, red}});
    params.setKeyframes(577, {{{0, 1}, scalar(50)}});
    ColorMapSettings c1{};
    c1.adjust = Color{0, 30, 0.5f, 1};
    ColorMapSettings c2{};
    c2.layer = uniformMap(PF_Pixel{255, 0, 0, 255}).get();  // blue
    c2.wrap = 2;
    c2.adjust = Color{0, -60, 1, 0.5f};
    ColorMapper m(mapperHost(), c1, c2);
    ShapeDrawer::Pattern p;
    ASSERT_EQ(m.map({5, 5}, 0, 0, 0.5, p), PF_Err_NONE);
    EXPECT_EQ(p.hasColor1, 1);
    EXPECT_FLOAT_EQ(p.color1.alpha, 0.5f);
    EXPECT_FLOAT_EQ(p.color1.red, 30);       // red's hue 0 + 30
    EXPECT_FLOAT_EQ(p.color1.green, 0.25f);  // lightness 0.5 halved
    EXPECT_FLOAT_EQ(p.color1.blue, 1);
    EXPECT_EQ(p.hasColor2, 1);
    EXPECT_FLOAT_EQ(p.color2.alpha, 1);
    EXPECT_FLOAT_EQ(p.color2.red, 180);  // blue's hue 240 - 60
    EXPECT_FLOAT_EQ(p.color2.green, 0.5f);
    EXPECT_FLOAT_EQ(p.color2.blue, 0.5f);
    // A single colour key and no opacity keys: no span, no 1D colour.
    params.setKeyframes(576, {{{0, 1}, red}});
    params.setKeyframes(577, {});
    ColorMapper none(mapperHost(), c1, ColorMapSettings{});
    ShapeDrawer::Pattern q;
    ASSERT_EQ(none.map({}, 0, 0, 0.5, q), PF_Err_NONE);
    EXPECT_EQ(q.hasColor1, 0);
}

TEST_F(MapperTest, APendingErrorSkipsThePreTwoDSampleButItsValueStillApplies) {
    hostsim::World& one = uniformMap(grey(255));
    ScaleMapSettings s1{};
    s1.layer = one.get();
    s1.channel = 1;
    s1.power = 1;
    s1.black = 1;
    s1.white = 2;
    ScaleMapSettings s2 = s1;
    s2.wrap = 2;
    s2.black = 3;
    s2.white = 5;
    ScaleMapper m(mapperHost(), s1, s2);
    host.faults().clear();
    host.faults().failCall("subpixel_sample", 1, 31);
    ShapeDrawer::Pattern p;
    EXPECT_EQ(m.map({1, 1}, 0, 0, 0.5, p), 31);
    EXPECT_EQ(host.faults().calls("subpixel_sample"), 1);
    // 1D: the failed sample reads as zero: black 1. Pre-2D: not sampled, zero
    // colour: black 3.
    EXPECT_EQ(p.hasScale, 1);
    EXPECT_EQ(p.scale, 3.0);
    host.faults().clear();
}

}  // namespace
