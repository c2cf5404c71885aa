// The Line and Line Segment layouts: which indices are walked and kept, where
// they land, their classes, times and orientation, and degenerate input.
#include "VemaroElementBounds.h"
#include "VemaroTransformer.h"
#include "elements_fixture.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;

class LineTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        record.pattern = 2;
        record.lineWidth = 100;
        record.cycle = 1;
    }
};

TEST_F(LineTest, WalksTheIndicesThatReachTheOutputAndCullsTheRest) {
    record.lineCenter = {500, 50};
    record.repeaterType = 2;  // the line culls whatever the repeater
    ShapeDrawer& d = make(1000, 100);
    ASSERT_EQ(d.createPatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 11u);
    for (int n = -5; n <= 5; ++n) {
        const ShapeDrawer::Pattern& p = d.patterns[n + 5];
        EXPECT_EQ(p.i, n);
        EXPECT_EQ(p.j, 0);
        EXPECT_EQ(p.position, (Vector{500.0 + 100 * n, 50}));
        EXPECT_EQ(p.t, 0.0);
        EXPECT_EQ(p.phase, 0.0);
    }
}

TEST_F(LineTest, TurnedScaledAndOffsetLineMatchesTheTransformedPoints) {
    record.lineCenter = {-30, 40};
    record.lineWidth = 13;
    record.lineRotation = 0.7;
    record.lineOffset = 5;
    record.transformAnchor = {2, 3};
    record.transformPosition = {60, 10};
    record.transformScale = 1.5;
    record.transformRotation = -0.4;
    record.autoOrient = 1;
    ShapeDrawer& d = make(120, 80, 6, -9);
    ASSERT_EQ(d.createLinePatterns(), PF_Err_NONE);
    ASSERT_GT(d.patterns.size(), 3u);
    const Transformer tr(record.transformAnchor, record.transformPosition, 1.5, -0.4);
    const Vector dir{std::cos(0.7), std::sin(0.7)};
    const double m = getMaxSize(&in, &record);
    int kept = 0;
    for (int n = -500; n <= 500; ++n) {
        // Along the line in layout space, 13 px apart, through centre + offset.
        const Vector at = tr.transform(record.lineCenter + dir * (5 + 13.0 * n)) - Vector{6, -9};
        const bool inside = at.x >= -m && at.x <= 120 + m && at.y >= -m && at.y <= 80 + m;
        auto it =
            std::find_if(d.patterns.begin(), d.patterns.end(), [n](const ShapeDrawer::Pattern& p) { return p.i == n; });
        EXPECT_EQ(it != d.patterns.end(), inside) << n;
        if (it == d.patterns.end()) continue;
        ++kept;
        EXPECT_NEAR(it->position.x, at.x, 1e-9);
        EXPECT_NEAR(it->position.y, at.y, 1e-9);
        EXPECT_EQ(it->phase, 0.7);  // the line rotation alone
    }
    EXPECT_EQ(kept, static_cast<int>(d.patterns.size()));
}

TEST_F(LineTest, CycleClassesGiveTimesShapeStartsAndTheOneStepFloor) {
    // 1 px apart (width x scale below 1) along y = 0 of a 3 x 1 output.
    setShapes(record, {1, 1, 1, 1});
    record.lineWidth = 0.5;
    record.cycle = 3;
    record.cycleOffset = 1;
    ShapeDrawer& d = make(3, 1);
    ASSERT_EQ(d.createLinePatterns(), PF_Err_NONE);
    ASSERT_FALSE(d.patterns.empty());
    for (std::size_t k = 0; k < d.patterns.size(); ++k) {
        const ShapeDrawer::Pattern& p = d.patterns[k];
        EXPECT_EQ(p.position.x, p.i);
        EXPECT_EQ(p.t, (((p.i + 1) % 3 + 3) % 3) / 3.0) << p.i;
        EXPECT_EQ(p.shapeIndex, ((p.i % 4) + 4) % 4) << p.i;
        if (k > 0) {
            EXPECT_EQ(p.i, d.patterns[k - 1].i + 1);
        }
    }
    EXPECT_LT(d.patterns.front().i, -1);
}

TEST_F(LineTest, DegenerateInputCreatesNothingOrIsRefused) {
    for (double scale : {0.0, std::numeric_limits<double>::quiet_NaN()}) {
        record.transformScale = scale;
        ShapeDrawer& d = make();
        EXPECT_EQ(d.createLinePatterns(), PF_Err_NONE);
        EXPECT_TRUE(d.patterns.empty());
    }
    record.transformScale = 1;
    record.lineCenter = {std::numeric_limits<double>::infinity(), 0};
    ShapeDrawer& inf = make();
    EXPECT_EQ(inf.createLinePatterns(), PF_Err_NONE);
    EXPECT_TRUE(inf.patterns.empty());
    record.lineCenter = {};
    record.lineWidth = 0;
    record.displacementY = 1e8;  // a cover far beyond the element limit
    ShapeDrawer& big = make();
    EXPECT_EQ(big.createLinePatterns(), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(big.patterns.empty());
    record.cycle = 0;  // out of the parameter's range: one class
    record.displacementY = 0;
    ShapeDrawer& one = make();
    EXPECT_EQ(one.createLinePatterns(), PF_Err_NONE);
    for (const ShapeDrawer::Pattern& p : one.patterns) EXPECT_EQ(p.t, 0.0);
}

class LineSegmentTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        record.pattern = 3;
        record.lineSegmentPoint1 = {0, 0};
        record.lineSegmentPoint2 = {100, 0};
        record.lineSegmentLength = 1;
        record.repeaterType = 2;
    }
};

TEST_F(LineSegmentTest, StepsFromTheStartCoveringTheLength) {
    struct Case {
        int number;
        double length;
        bool invert;
        std::vector<double> xs;
    };
    const Case cases[] = {
        {5, 1.0, false, {0, 25, 50, 75, 100}},
        {5, 1.0, true, {100, 75, 50, 25, 0}},
        {3, 0.5, false, {0, 25, 50}},
        {3, -1.0, false, {0, -50, -100}},
        {1, 0.3, false, {0}},
        {1, 0.3, true, {100}},
        {0, 1.0, false, {}},
        {-4, 1.0, false, {}},
    };
    for (const Case& c : cases) {
        record.lineSegmentNumber = c.number;
        record.lineSegmentLength = c.length;
        record.lineSegmentInvert = c.invert;
        record.autoOrient = 1;
        ShapeDrawer& d = make();
        ASSERT_EQ(d.createPatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), c.xs.size()) << c.number;
        for (std::size_t k = 0; k < c.xs.size(); ++k) {
            const ShapeDrawer::Pattern& p = d.patterns[k];
            EXPECT_DOUBLE_EQ(p.position.x, c.xs[k]);
            EXPECT_EQ(p.position.y, 0.0);
            EXPECT_EQ(p.i, static_cast<int>(k));
            EXPECT_EQ(p.t, static_cast<double>(k) / c.number);
            EXPECT_DOUBLE_EQ(p.phase, c.invert ? kPi : 0.0);
        }
    }
}

TEST_F(LineSegmentTest, EqualEndsHaveNoDirectionAndTheCountIsBounded) {
    record.lineSegmentPoint2 = record.lineSegmentPoint1 = {7, 8};
    record.lineSegmentNumber = 3;
    record.autoOrient = 1;
    ShapeDrawer& d = make();
    ASSERT_EQ(d.createLineSegmentPatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 3u);
    for (const ShapeDrawer::Pattern& p : d.patterns) {
        EXPECT_EQ(p.position, (Vector{7, 8}));
        EXPECT_EQ(p.phase, 0.0);
    }
    record.lineSegmentNumber = 2000000000;
    ShapeDrawer& big = make();
    EXPECT_EQ(big.createLineSegmentPatterns(), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(big.patterns.empty());
}

}  // namespace
