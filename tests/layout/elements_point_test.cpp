// The element creation end to end: the layout dispatch and the Point layout
// through the shared pipeline, against hand-computed placements.
#include "VemaroElementBounds.h"
#include "elements_fixture.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST_F(ElementsTest, PatternValuesOutsideThePopupCreateNothing) {
    record.pointNumber = 3;
    for (int pattern : {0, -1, 13, 1000}) {
        record.pattern = pattern;
        ShapeDrawer& d = make();
        EXPECT_EQ(d.createPatterns(), PF_Err_NONE) << pattern;
        EXPECT_TRUE(d.patterns.empty()) << pattern;
    }
    record.pattern = 1;
    ShapeDrawer& d = make();
    EXPECT_EQ(d.createPatterns(), PF_Err_NONE);
    EXPECT_EQ(d.patterns.size(), 3u);
}

TEST_F(ElementsTest, LayerSizeIsDownsampledInIntegers) {
    in.width = 101;
    in.height = 51;
    in.downsample_x = {1, 2};
    in.downsample_y = {1, 3};
    ShapeDrawer& d = make(60, 20, 4, -7);
    EXPECT_EQ(d.width, 50);
    EXPECT_EQ(d.height, 17);
    EXPECT_EQ(d.originX, 4.0);
    EXPECT_EQ(d.originY, -7.0);
    EXPECT_FALSE(d.shapeTransitioner.enabled);
}

TEST_F(ElementsTest, PointElementsArePlacedByTheTransformGroupInOutputPixels) {
    record.pointNumber = 4;
    const Vector points[4] = {{10, 20}, {20, 20}, {10, 25}, {0, 0}};
    for (int k = 0; k < 4; ++k) record.points[k] = points[k];
    record.transformAnchor = {10, 20};
    record.transformPosition = {110, 70};
    record.transformScale = 2;
    record.transformRotation = kPi / 2;
    record.repeaterType = 2;  // no culling
    setShapes(record, {1, 2});
    ShapeDrawer& d = make(200, 100, 5, -3);
    ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 4u);
    // A quarter turn clockwise (y down) at twice the size about the anchor, then
    // moved to the position and into the output world (origin (5, -3)).
    const Vector want[4] = {{105, 73}, {105, 93}, {95, 73}, {145, 53}};
    const int shape[4] = {0, 1, 1, 0};  // weights 1, 3
    for (int k = 0; k < 4; ++k) {
        const ShapeDrawer::Pattern& p = d.patterns[k];
        EXPECT_NEAR(p.position.x, want[k].x, 1e-12) << k;
        EXPECT_NEAR(p.position.y, want[k].y, 1e-12) << k;
        EXPECT_EQ(p.i, k);
        EXPECT_EQ(p.j, 0);
        EXPECT_EQ(p.t, k / 4.0);
        EXPECT_EQ(p.shapeIndex, shape[k]) << k;
        // Completion 0: the transition is on but at its start.
        EXPECT_EQ(p.hasScale, 1);
        EXPECT_EQ(p.scale, 1.0);
        EXPECT_EQ(p.opacity, 1.0);
        EXPECT_EQ(p.phase, 0.0);
        EXPECT_EQ(p.hasColor1 | p.hasColor2 | p.hasColorModifier | p.hasPhaseOffset, 0);
        EXPECT_EQ(p.color1, Color());
        EXPECT_EQ(p.colorModifier, Color());
    }
}

TEST_F(ElementsTest, DisplacementThenTransitionOffsetThenTransform) {
    record.pointNumber = 2;
    record.points[0] = {50, 50};
    record.points[1] = {60, 50};
    record.displacementX = 8;
    record.displacementY = 4;
    record.displacementSeed = {3, 1};
    record.transitionCompletion = 1;  // full progress for every element
    record.transitionOffset = {5, -2};
    record.transformScale = 0.5;
    record.transformAnchor = {0, 0};
    record.transformPosition = {0, 0};
    ShapeDrawer& d = make();
    ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 2u);
    for (int k = 0; k < 2; ++k) {
        double dx = 8, dy = 4;
        if (hash(k, 0, 0, {3, 1}) > 0.5) dx = -dx;
        dx *= hash(k, 0, 1, {3, 1});
        if (hash(k, 0, 2, {3, 1}) > 0.5) dy = -dy;
        dy *= hash(k, 0, 3, {3, 1});
        EXPECT_DOUBLE_EQ(d.patterns[k].position.x, ((record.points[k].x + dx) + 5) * 0.5) << k;
        EXPECT_DOUBLE_EQ(d.patterns[k].position.y, ((record.points[k].y + dy) - 2) * 0.5) << k;
    }
}

TEST_F(ElementsTest, MapPositionsAndTimesAlongThePoints) {
    // A 1D phase map ramps 0 .. 1 across its width: each element's phase offset
    // is its map position k / (n - 1).
    phaseRamp();
    for (int n : {1, 4}) {
        record.pointNumber = n;
        ShapeDrawer& d = make();
        ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), std::size_t(n));
        for (int k = 0; k < n; ++k) {
            const double u = n > 1 ? k * (1.0 / (n - 1)) : 0.0;
            EXPECT_NEAR(d.patterns[k].phaseOffset, u, 1e-6) << n << " " << k;
            EXPECT_EQ(d.patterns[k].t, double(k) / n);
        }
    }
}

TEST_F(ElementsTest, CullingKeepsTheMarginInclusivelyAndOnlyWithoutRepeaterOrShapeOrder) {
    record.pointNumber = 2;
    ShapeDrawer& probe = make(200, 100);
    (void)probe;
    const double m = getMaxSize(&in, &record);
    ASSERT_GT(m, 0);
    record.points[0] = {200 + m, 100 + m};
    record.points[1] = {std::nextafter(200 + m, 1e9), -m};
    struct Case {
        int repeater, order;
        std::size_t kept;
    } cases[] = {{1, 1, 1}, {1, 2, 1}, {2, 1, 2}, {3, 1, 2}, {1, 4, 2}};
    for (const Case& c : cases) {
        record.repeaterType = c.repeater;
        record.transitionOrder = c.order;
        ShapeDrawer& d = make(200, 100);
        ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), c.kept) << c.repeater << " " << c.order;
        EXPECT_EQ(d.patterns[0].i, 0);
    }
    // A NaN point lies nowhere: culled.
    record.repeaterType = 1;
    record.transitionOrder = 1;
    record.points[0] = {std::nan(""), 0};
    ShapeDrawer& d = make(200, 100);
    ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
    EXPECT_TRUE(d.patterns.empty());
}

TEST_F(ElementsTest, EachElementTakesTheProgressOfItsPlaceInTheOrder) {
    record.pointNumber = 3;
    record.repeaterType = 2;
    record.transitionDelay = 1;
    record.transitionCompletion = 0.5;  // L = 3: progress 1.5 - place, clamped
    record.transitionScale = 3;
    record.transitionOffset = {0, 10};
    for (uint8_t invert : {0, 1}) {
        record.transitionOrderInvert = invert;
        ShapeDrawer& d = make();
        ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), 3u);
        for (int k = 0; k < 3; ++k) {
            const int place = invert ? 2 - k : k;
            const double progress = std::min(1.0, std::max(0.0, 1.5 - place));
            EXPECT_DOUBLE_EQ(d.patterns[k].scale, 1 + 2 * progress) << int(invert) << " " << k;
            EXPECT_DOUBLE_EQ(d.patterns[k].position.y, 10 * progress) << int(invert) << " " << k;
        }
    }
}

TEST_F(ElementsTest, ShapeOrderAddsNoOffsetAndLeavesTheElementFresh) {
    record.pointNumber = 2;
    record.points[1] = {30, 40};
    record.transitionOrder = 4;
    record.transitionCompletion = 1;
    record.transitionOffset = {50, 50};
    record.transitionScale = 3;
    record.transitionOpacity = 0.5;
    record.transitionPhase = 1;
    record.transitionColor = Color{0, 90, 1, 1};
    ShapeDrawer& d = make();
    ASSERT_TRUE(d.shapeTransitioner.enabled);
    ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 2u);
    EXPECT_EQ(d.patterns[1].position, (Vector{30, 40}));
    EXPECT_EQ(d.patterns[1].hasScale, 0);
    EXPECT_EQ(d.patterns[1].scale, 1.0);
    EXPECT_EQ(d.patterns[1].opacity, 1.0);
    EXPECT_EQ(d.patterns[1].phase, 0.0);
    EXPECT_EQ(d.patterns[1].hasColorModifier, 0);
}

TEST_F(ElementsTest, PointCountOutsideThePopupIsBounded) {
    for (int n : {-5, 0, 9, 1 << 30}) {
        record.pointNumber = n;
        record.repeaterType = 2;
        ShapeDrawer& d = make();
        EXPECT_EQ(d.createPointPatterns(), PF_Err_NONE) << n;
        EXPECT_EQ(d.patterns.size(), n > 0 ? 8u : 0u) << n;
    }
}

TEST_F(ElementsTest, TheFirstErrorEndsTheFallibleStepsButEveryElementIsPlaced) {
    // A pre-2D shape map whose first sampling fails: the later elements keep
    // their own index, get no displacement (map mode) and are still appended.
    hostsim::World& shapes = uniformMap(grey(255));
    hostsim::World& shift = uniformMap(grey(255));
    setShapes(record, {1, 1, 1, 1});
    record.mapPre2D.shapeMap.layer = shapes.get();
    record.mapPre2D.shapeMap.channel = 1;
    record.mapPre2D.shapeMap.wrap = 2;
    record.displacementMode = 2;
    record.displacementMap = shift.get();
    record.displacementMapWrap = 2;
    record.displacementXChannel = record.displacementYChannel = 1;
    record.displacementX = record.displacementY = 10;
    record.pointNumber = 4;
    for (int k = 0; k < 4; ++k) record.points[k] = {10.0 * k, 5};
    // Samples per element: displacement, then shape map. Fail the shape map's.
    host.faults().failCall("subpixel_sample", 2, 42);
    ShapeDrawer& d = make();
    EXPECT_EQ(d.createPointPatterns(), 42);
    ASSERT_EQ(d.patterns.size(), 4u);
    EXPECT_EQ(host.faults().calls("subpixel_sample"), 2);
    // Element 0: displaced by the full amount (white); its failed shape sample
    // reads as rate 0, shape 0.
    EXPECT_EQ(d.patterns[0].shapeIndex, 0);
    EXPECT_EQ(d.patterns[0].position, (Vector{10, 15}));
    for (int k = 1; k < 4; ++k) {
        EXPECT_EQ(d.patterns[k].position, (Vector{10.0 * k, 5})) << k;
        EXPECT_EQ(d.patterns[k].shapeIndex, k) << k;
    }
    host.faults().clear();
}

TEST_F(ElementsTest, HiddenCurvesAreOpenedOnceAndDisposedWithTheLayout) {
    flatCurve(559, 60);   // shape: 0.6 of 2 slots -> 1
    flatCurve(565, 150);  // scale 1.5
    flatCurve(594, 50);   // phase 0.5
    params.setKeyframes(577, {{{0, 1}, scalar(50)}, {{1, 1}, scalar(50)}});
    setShapes(record, {1, 1});
    record.map1D.scaleMap.threshold = 0;
    record.map1D.scaleMap.power = 1;
    record.map1D.scaleMap.black = 0;
    record.map1D.scaleMap.white = 1;
    record.map1D.phaseMap.black = 0;
    record.map1D.phaseMap.white = 2;
    record.map1D.colorMap.adjust = Color{0, 0, 1, 1};
    record.pointNumber = 3;
    ShapeDrawer& d = make();
    ASSERT_EQ(d.createPointPatterns(), PF_Err_NONE);
    EXPECT_EQ(streams.openStreams(), 0);
    ASSERT_EQ(d.patterns.size(), 3u);
    for (const ShapeDrawer::Pattern& p : d.patterns) {
        EXPECT_EQ(p.shapeIndex, 1);
        EXPECT_DOUBLE_EQ(p.scale, 1.5);
        EXPECT_EQ(p.hasPhaseOffset, 1);
        EXPECT_DOUBLE_EQ(p.phaseOffset, 1.0);
        EXPECT_EQ(p.hasColor1, 1);
        EXPECT_FLOAT_EQ(p.color1.alpha, 0.5f);
    }
    // Four curves (the colour one with two streams), one value per distinct map
    // position and stream.
    std::size_t reads = streams.requests().size();
    EXPECT_EQ(reads, 3u * 5u);
}

TEST_F(ElementsTest, AnErrorAtAnyStreamCallIsReturnedAndNothingStaysOpen) {
    const char* functions[] = {"AEGP_GetNewEffectStreamByIndex", "AEGP_GetStreamNumKFs",    "AEGP_GetKeyframeTime",
                               "AEGP_GetNewStreamValue",         "AEGP_DisposeStreamValue", "AEGP_DisposeStream"};
    flatCurve(559, 60);
    flatCurve(565, 150);
    flatCurve(594, 50);
    flatCurve(577, 50);
    record.pointNumber = 2;
    for (const char* fn : functions) {
        host.faults().clear();
        make().createPointPatterns();
        drawer.reset();
        const int calls = host.faults().calls(fn);
        ASSERT_GT(calls, 0) << fn;
        for (int nth = 1; nth <= calls; ++nth) {
            host.faults().clear();
            host.faults().failCall(fn, nth, 77);
            ShapeDrawer& d = make();
            const PF_Err err = d.createPointPatterns();
            EXPECT_EQ(d.patterns.size(), 2u) << fn << " #" << nth;
            drawer.reset();
            // The destructor's disposal has no caller to report to.
            const bool atDispose = std::string(fn) == "AEGP_DisposeStream" && err == PF_Err_NONE;
            if (!atDispose) {
                EXPECT_EQ(err, 77) << fn << " #" << nth;
            }
            const bool refusedStream = std::string(fn) == "AEGP_DisposeStream";
            const bool refusedValue = std::string(fn) == "AEGP_DisposeStreamValue";
            EXPECT_EQ(streams.openStreams(), refusedStream ? 1 : 0) << fn << " #" << nth;
            EXPECT_EQ(streams.openValues(), refusedValue ? 1 : 0) << fn << " #" << nth;
            host.faults().clear();
            streams.reclaimAll();
        }
    }
}

}  // namespace
