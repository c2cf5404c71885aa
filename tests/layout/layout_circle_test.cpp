// The Circle layout through the element pipeline, against hand-computed places.
#include "elements_fixture.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

class CircleTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        record.pattern = 4;
        record.circleCenter = {500, 500};
        record.circleRadius = 100;
        record.circleCentralAngle = 2 * kPi;
        record.repeaterType = 2;  // keep everything
    }
};

TEST_F(CircleTest, FourElementsGoClockwiseFromStraightAbove) {
    record.circleNumber = 4;
    // A 1D phase map ramping 0 .. 1 shows each element's map position.
    phaseRamp();
    ShapeDrawer& d = make(1000, 1000);
    ASSERT_EQ(d.createPatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 4u);
    const Vector want[4] = {{500, 400}, {600, 500}, {500, 600}, {400, 500}};
    for (int k = 0; k < 4; ++k) {
        const ShapeDrawer::Pattern& p = d.patterns[k];
        EXPECT_NEAR(p.position.x, want[k].x, 1e-9) << k;
        EXPECT_NEAR(p.position.y, want[k].y, 1e-9) << k;
        EXPECT_EQ(p.i, k);
        EXPECT_EQ(p.j, 0);
        EXPECT_EQ(p.t, k / 4.0);
        EXPECT_NEAR(p.phaseOffset, k / 3.0, 1e-6) << k;
        EXPECT_EQ(p.phase, 0.0);
    }
}

TEST_F(CircleTest, ArcsPhaseAndOrientation) {
    struct Case {
        int n;
        double arc, phase;
        bool orient;
        std::vector<double> degrees;  // from the x axis, y down
    } cases[] = {
        {3, kPi, 0, false, {-90, -30, 30}},  // the arc's end is never reached
        {6, 2 * kPi, kPi / 6, true, {-60, 0, 60, 120, 180, 240}},
        {1, 2 * kPi, kPi / 2, true, {0}},  // one element, turned by Phase
        {8, 2 * kPi, 0, true, {-90, -45, 0, 45, 90, 135, 180, 225}},
    };
    for (const Case& c : cases) {
        record.circleNumber = c.n;
        record.circleCentralAngle = c.arc;
        record.circlePhase = c.phase;
        record.autoOrient = c.orient;
        ShapeDrawer& d = make(1000, 1000, 100, -50);
        ASSERT_EQ(d.createCirclePatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), c.degrees.size());
        for (int k = 0; k < c.n; ++k) {
            const double a = c.degrees[k] * kPi / 180;
            const ShapeDrawer::Pattern& p = d.patterns[k];
            EXPECT_NEAR(p.position.x, 500 + 100 * std::cos(a) - 100, 1e-9) << c.n << " " << k;
            EXPECT_NEAR(p.position.y, 500 + 100 * std::sin(a) + 50, 1e-9) << c.n << " " << k;
            EXPECT_NEAR(p.phase, c.orient ? a + kPi / 2 : 0.0, 1e-12) << c.n << " " << k;
            EXPECT_EQ(p.t, double(k) / c.n);
        }
    }
}

TEST_F(CircleTest, DegenerateCountsAndRadius) {
    record.circleNumber = 0;
    EXPECT_EQ(make().createCirclePatterns(), PF_Err_NONE);
    EXPECT_TRUE(drawer->patterns.empty());
    record.circleNumber = -3;
    EXPECT_EQ(make().createCirclePatterns(), PF_Err_NONE);
    EXPECT_TRUE(drawer->patterns.empty());

    // Beyond the slider's range: its maximum.
    record.circleNumber = 1 << 30;
    EXPECT_EQ(make().createCirclePatterns(), PF_Err_NONE);
    EXPECT_EQ(drawer->patterns.size(), 10000u);

    record.circleNumber = 5;
    record.circleRadius = 0;
    ShapeDrawer& d = make();
    ASSERT_EQ(d.createCirclePatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(d.patterns[k].position, (Vector{500, 500}));
        EXPECT_EQ(d.patterns[k].i, k);
    }
}

TEST_F(CircleTest, CullingOnlyWithoutRepeaterOrShapeOrder) {
    record.circleNumber = 4;
    record.circleCenter = {100, -5000};  // far above a 200 x 100 output
    record.circleRadius = 10;
    struct Case {
        int repeater, order;
        std::size_t kept;
    } cases[] = {{1, 1, 0}, {2, 1, 4}, {1, 4, 4}};
    for (const Case& c : cases) {
        record.repeaterType = c.repeater;
        record.transitionOrder = c.order;
        ShapeDrawer& d = make();
        ASSERT_EQ(d.createCirclePatterns(), PF_Err_NONE);
        EXPECT_EQ(d.patterns.size(), c.kept) << c.repeater << " " << c.order;
    }
}

TEST_F(CircleTest, TheFirstSamplingErrorIsReturnedAndEveryElementStillPlaced) {
    hostsim::World& shapes = uniformMap(grey(255));
    setShapes(record, {1, 1});
    record.mapPre2D.shapeMap.layer = shapes.get();
    record.mapPre2D.shapeMap.channel = 1;
    record.circleNumber = 3;
    host.faults().failCall("subpixel_sample", 1, 31);
    ShapeDrawer& d = make(1000, 1000);
    EXPECT_EQ(d.createCirclePatterns(), 31);
    EXPECT_EQ(d.patterns.size(), 3u);
    EXPECT_EQ(host.faults().calls("subpixel_sample"), 1);
    host.faults().clear();
}

}  // namespace
