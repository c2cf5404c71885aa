// The element transitioner and the per-shape transitioner: order, progress
// and the targets they apply.
#include "VemaroShapeTransitioner.h"
#include "VemaroTransitioner.h"
#include "elements_fixture.h"

#include <cmath>

namespace {

class TransitionerTest : public ElementsTest {
protected:
    // One Shot, delay 0.5, completion 0.5 over three: progress 1, 0.5, 0 for
    // order positions 0, 1, 2 (span L = 2).
    void staggered() {
        record.transitionCompletion = 0.5;
        record.transitionDelay = 0.5;
    }
    double progressOf(Transitioner& t, int index, Vector point = {}) {
        EXPECT_EQ(t.init(point, index), PF_Err_NONE);
        return t.progress;
    }
};

TEST_F(TransitionerTest, OrderOffsetRotatesTheIndicesTowardZeroAndWraps) {
    staggered();
    struct Case {
        double turns;
        double want[3];
    } cases[] = {
        {0.0, {1, 0.5, 0}},          {1.0 / 3.0, {0.5, 0, 1}},  // offset (int)(3 * 0.333..) = 1
        {-0.4, {0, 1, 0.5}},                                    // offset (int)(-1.2) = -1
        {1e300, {1, 0.5, 0}},                                   // beyond int: no rotation
        {std::nan(""), {1, 0.5, 0}},
    };
    for (const Case& c : cases) {
        record.transitionOrderOffset = c.turns;
        Transitioner t(&in, *suites, 0, record, animator, 3);
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(progressOf(t, k), c.want[k]) << c.turns << " " << k;
        EXPECT_FLOAT_EQ(t.progressF, static_cast<float>(c.want[2]));
    }
    // Ten elements, offset -3: index 1 takes order entry 8.
    record.transitionOrderOffset = -0.3;
    record.transitionDelay = 1;
    record.transitionCompletion = 1;  // L = 10: progress = 10 - position, clamped
    Transitioner t(&in, *suites, 0, record, animator, 10);
    EXPECT_EQ(t.orderOffset, -3);
    EXPECT_DOUBLE_EQ(progressOf(t, 1), 1.0);  // clamp01(10 - 8) = 1
    record.transitionCompletion = 0.85;       // 8.5 - position
    Transitioner u(&in, *suites, 0, record, animator, 10);
    EXPECT_DOUBLE_EQ(progressOf(u, 1), 0.5);
}

TEST_F(TransitionerTest, RandomOrderFollowsTheSeededShuffle) {
    record.transitionOrder = 2;
    record.transitionOrderSeed = 7;
    record.transitionDelay = 1;
    record.transitionCompletion = 0.55;  // L = 8: progress 4.4 - position, clamped
    std::vector<int> order{0, 1, 2, 3, 4, 5, 6, 7};
    seededShuffle(order, 7);
    Transitioner t(&in, *suites, 0, record, animator, 8);
    for (int k = 0; k < 8; ++k) {
        const double want = std::min(1.0, std::max(0.0, 4.4 - order[k]));
        EXPECT_NEAR(progressOf(t, k), want, 1e-12) << k;
    }
}

TEST_F(TransitionerTest, ByMapTakesTheRateAsAFractionalIndex) {
    record.transitionOrder = 3;
    record.transitionDelay = 1;
    record.transitionCompletion = 0.5;  // 2.5 - position over five
    // No map: progress 0 for every element, whatever it held.
    Transitioner none(&in, *suites, 0, record, animator, 5);
    none.progress = 0.7;
    EXPECT_EQ(progressOf(none, 3), 0.0);
    // A grey of 51 (rate 0.2) over five: position 0.8, progress 1.
    // A grey of 204 (rate 0.8): position 3.2, progress 0.
    hostsim::World& dark = uniformMap(grey(51));
    record.transitionMap = dark.get();
    record.transitionMapChannel = 1;
    record.transitionMapWrap = 2;
    Transitioner t(&in, *suites, 0, record, animator, 5);
    EXPECT_DOUBLE_EQ(progressOf(t, 4, {3, 3}), 1.0);
    record.transitionMap = uniformMap(grey(204)).get();
    Transitioner u(&in, *suites, 0, record, animator, 5);
    EXPECT_NEAR(progressOf(u, 0, {3, 3}), 0.0, 1e-12);
    // One element: index 0 whatever the map says.
    record.transitionCompletion = 0.0001;
    Transitioner one(&in, *suites, 0, record, animator, 1);
    EXPECT_NEAR(progressOf(one, 0, {3, 3}), 0.0001, 1e-12);
    // The sampling error is returned, the progress still set.
    host.faults().clear();
    host.faults().failCall("subpixel_sample", 1, 9);
    Transitioner bad(&in, *suites, 0, record, animator, 5);
    EXPECT_EQ(bad.init({1, 1}, 0), 9);
    host.faults().clear();
}

TEST_F(TransitionerTest, ShapeOrderChangesNothing) {
    record.transitionOrder = 4;
    record.transitionCompletion = 1;
    record.transitionScale = 2;
    record.transitionOffset = {4, 4};
    Transitioner t(&in, *suites, 0, record, animator, 3);
    t.progress = 0.25;
    EXPECT_EQ(t.init({}, 1), PF_Err_NONE);
    EXPECT_EQ(t.progress, 0.25);
    ShapeDrawer::Pattern p;
    t.map(p);
    EXPECT_EQ(p.hasScale, 0);
    EXPECT_EQ(p.scale, 1.0);
    EXPECT_EQ(t.offset(), Vector());
}

TEST_F(TransitionerTest, StraightLineTargetsAtTheProgress) {
    record.transitionScale = 3;
    record.transitionOpacity = 0.2;
    record.transitionPhase = 2;
    record.transitionOffset = {10, -4};
    Transitioner t(&in, *suites, 0, record, animator, 1);
    struct Case {
        double progress;
        double scale, opacity, phase;
        Vector offset;
    } cases[] = {{0, 1, 1, 0, {0, 0}},
                 {0.5, 2, 0.6, 1, {5, -2}},
                 {1, 3, 0.2, 2, {10, -4}},
                 {1.25, 3.5, 0.0, 2.5, {12.5, -5}}};  // easings that overshoot
    for (const Case& c : cases) {
        t.progress = c.progress;
        t.progressF = static_cast<float>(c.progress);
        ShapeDrawer::Pattern p;
        p.scale = 2;
        p.opacity = 0.5;
        p.phase = 1;
        t.map(p);
        EXPECT_EQ(p.hasScale, 1);
        EXPECT_DOUBLE_EQ(p.scale, 2 * c.scale) << c.progress;
        EXPECT_NEAR(p.opacity, 0.5 * c.opacity, 1e-15) << c.progress;
        EXPECT_DOUBLE_EQ(p.phase, 1 + c.phase) << c.progress;
        EXPECT_EQ(t.offset(), c.offset) << c.progress;
    }
}

TEST_F(TransitionerTest, ColourModifierOnlyBeyondAThousandth) {
    struct Case {
        Color target;
        bool marked;
    } cases[] = {{{0, 0, 1, 1}, false},       {{0, 0.0005f, 1, 1}, false}, {{0, 0.002f, 1, 1}, true},
                 {{0, 0, 1.0005f, 1}, false}, {{0, 0, 1, 0.99f}, true},    {{0, -45, 0.5f, 2}, true}};
    for (const Case& c : cases) {
        record.transitionColor = c.target;
        Transitioner t(&in, *suites, 0, record, animator, 1);
        t.progress = 1;
        t.progressF = 1;
        ShapeDrawer::Pattern p;
        t.map(p);
        EXPECT_EQ(p.hasColorModifier, c.marked ? 1 : 0) << c.target.red << " " << c.target.green;
        const Color want = c.marked ? Color{1, c.target.red, c.target.green, c.target.blue} : Color();
        EXPECT_EQ(p.colorModifier, want);
    }
}

TEST_F(TransitionerTest, ManualTargetsFollowTheAnimatorCurves) {
    animator.offsets = {{0, 0}, {8, 2}};
    animator.scales = {1, 5};
    animator.colors = {{1, 0, 1, 1}, {1, 60, 1, 1}};
    animator.opacities = {1, 0};
    animator.phases = {0, 4};
    record.transitionManualOffset = record.transitionManualScale = record.transitionManualColor =
        record.transitionManualOpacity = record.transitionManualPhase = 1;
    Transitioner t(&in, *suites, 0, record, animator, 1);
    t.progress = 0.5;
    t.progressF = 0.5f;
    ShapeDrawer::Pattern p;
    t.map(p);
    EXPECT_DOUBLE_EQ(p.scale, 3);
    EXPECT_DOUBLE_EQ(p.opacity, 0.5);
    EXPECT_DOUBLE_EQ(p.phase, 2);
    EXPECT_EQ(p.hasColorModifier, 1);
    EXPECT_FLOAT_EQ(p.colorModifier.red, 30);
    EXPECT_EQ(t.offset(), (Vector{4, 1}));
}

// ---------------------------------------------------------------- per shape

TEST_F(TransitionerTest, PerShapeProgressWithOrderOffsets) {
    staggered();
    setShapes(record, {1, 1, 1});
    record.transitionOrder = 4;
    record.transitionScale = 2;
    struct Case {
        double turns;
        double scales[3];
    } cases[] = {{0, {2.0, 1.5, 1.0}}, {120.0 / 360.0, {1.5, 1.0, 2.0}}, {-144.0 / 360.0, {1.0, 2.0, 1.5}}};
    for (const Case& c : cases) {
        record.transitionOrderOffset = c.turns;
        ShapeTransitioner s(record, animator);
        ASSERT_TRUE(s.enabled);
        ASSERT_EQ(s.scales.size(), 3u);
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(s.scales[k], c.scales[k]) << c.turns << " " << k;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(s.colorSet[k], 0);  // identity colour target
        EXPECT_EQ(s.offsets.size(), 3u);
        EXPECT_EQ(s.opacities, (std::vector<double>{1, 1, 1}));
        EXPECT_EQ(s.phases, (std::vector<double>{0, 0, 0}));
    }
}

TEST_F(TransitionerTest, PerShapeOffsetsTurnWithTheTransform) {
    setShapes(record, {1, 1});
    record.transitionOrder = 4;
    record.transitionCompletion = 1;
    record.transitionOffset = {10, 0};
    record.transformRotation = 3.14159265358979323846 / 2;
    record.transformScale = 2;
    record.transitionColor = Color{0, 30, 1, 1};
    record.transitionOpacity = 0.25;
    record.transitionPhase = 1.5;
    ShapeTransitioner s(record, animator);
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(s.offsets[k].x, 0, 1e-12);
        EXPECT_NEAR(s.offsets[k].y, 20, 1e-12);
        EXPECT_EQ(s.colorSet[k], 1);
        EXPECT_EQ(s.colors[k], (Color{1, 30, 1, 1}));
        EXPECT_DOUBLE_EQ(s.opacities[k], 0.25);
        EXPECT_DOUBLE_EQ(s.phases[k], 1.5);
    }
}

TEST_F(TransitionerTest, PerShapeManualTargetsFollowTheAnimatorCurves) {
    setShapes(record, {1, 1, 1});
    staggered();  // progress 1, 0.5, 0
    record.transitionOrder = 4;
    record.transformScale = 1;
    animator.offsets = {{0, 0}, {6, 2}};
    animator.scales = {1, 5};
    animator.colors = {{1, 0, 1, 1}, {1, 60, 1, 1}};
    animator.opacities = {1, 0};
    animator.phases = {0, 4};
    record.transitionManualOffset = record.transitionManualScale = record.transitionManualColor =
        record.transitionManualOpacity = record.transitionManualPhase = 1;
    ShapeTransitioner s(record, animator);
    const double progress[3] = {1, 0.5, 0};
    for (int k = 0; k < 3; ++k) {
        const double e = progress[k];
        EXPECT_EQ(s.offsets[k], (Vector{6 * e, 2 * e})) << k;
        EXPECT_DOUBLE_EQ(s.scales[k], 1 + 4 * e) << k;
        EXPECT_DOUBLE_EQ(s.opacities[k], 1 - e) << k;
        EXPECT_DOUBLE_EQ(s.phases[k], 4 * e) << k;
        EXPECT_EQ(s.colorSet[k], k < 2 ? 1 : 0) << k;
        EXPECT_FLOAT_EQ(s.colors[k].red, k < 2 ? static_cast<float>(60 * e) : 0.0f) << k;
    }
}

TEST_F(TransitionerTest, PerShapeOffIsEmptyAndAShapelessRecordHoldsNothing) {
    record.transitionOrder = 1;
    record.transformScale = 3;
    ShapeTransitioner off(record, animator);
    EXPECT_FALSE(off.enabled);
    for (double m : off.matrix) EXPECT_EQ(m, 0.0);
    EXPECT_TRUE(off.offsets.empty() && off.scales.empty() && off.colors.empty() && off.colorSet.empty() &&
                off.opacities.empty() && off.phases.empty());
    // Damaged counts are bounded: no division by zero, no more than eight.
    record.transitionOrder = 4;
    for (int n : {0, -3, 50}) {
        record.shapeNumber = n;
        ShapeTransitioner s(record, animator);
        EXPECT_EQ(s.scales.size(), n > 0 ? 8u : 0u) << n;
    }
}

}  // namespace
