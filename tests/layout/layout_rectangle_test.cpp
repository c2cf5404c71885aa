// The Rectangle layout: the outline walk and the elements along it.
#include "VemaroRectangleLayout.h"
#include "elements_fixture.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

class RectangleTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        record.pattern = 5;
        record.rectangleCenter = {300, 200};
        record.rectangleMode = 1;  // a square of side "Width"
        record.rectangleWidth = 100;
        record.rectangleHeight = 999;
        record.rectangleLength = 1;
        record.repeaterType = 2;
    }
    // Positions relative to the centre, and phases, of the elements.
    void expectElements(const std::vector<Vector>& where, const std::vector<double>& phases) {
        ShapeDrawer& d = make(600, 400);
        ASSERT_EQ(d.createPatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), where.size());
        for (std::size_t k = 0; k < where.size(); ++k) {
            const ShapeDrawer::Pattern& p = d.patterns[k];
            EXPECT_NEAR(p.position.x - 300, where[k].x, 1e-9) << k;
            EXPECT_NEAR(p.position.y - 200, where[k].y, 1e-9) << k;
            if (!phases.empty()) {
                EXPECT_NEAR(p.phase, phases[k], 1e-12) << k;
            }
            EXPECT_EQ(p.i, int(k));
            EXPECT_EQ(p.t, double(k) / where.size());
        }
    }
};

TEST_F(RectangleTest, SharpSquareCornersAndMidpoints) {
    record.autoOrient = 1;
    record.rectangleNumber = 4;
    expectElements({{-50, -50}, {50, -50}, {50, 50}, {-50, 50}}, {0, kPi / 2, kPi, 3 * kPi / 2});
    // A distance exactly at a side's end belongs to the next side.
    record.rectangleNumber = 8;
    expectElements({{-50, -50}, {0, -50}, {50, -50}, {50, 0}, {50, 50}, {0, 50}, {-50, 50}, {-50, 0}},
                   {0, 0, kPi / 2, kPi / 2, kPi, kPi, 3 * kPi / 2, 3 * kPi / 2});
}

TEST_F(RectangleTest, LengthAndOffsetMoveAlongTheOutline) {
    record.rectangleNumber = 4;
    record.rectangleLength = 0.5;  // top and right sides only
    expectElements({{-50, -50}, {0, -50}, {50, -50}, {50, 0}}, {});
    record.rectangleLength = 1;
    for (double offset : {0.25, 1.25, -0.75}) {
        record.rectangleOffset = offset;
        expectElements({{50, -50}, {50, 50}, {-50, 50}, {-50, -50}}, {});
    }
    record.rectangleOffset = -0.25;  // as 0.75
    expectElements({{-50, 50}, {-50, -50}, {50, -50}, {50, 50}}, {});
    // A negative length walks anticlockwise.
    record.rectangleOffset = 0;
    record.rectangleLength = -1;
    expectElements({{-50, -50}, {-50, 50}, {50, 50}, {50, -50}}, {});
}

TEST_F(RectangleTest, WidthAndHeightModeAndRotation) {
    record.rectangleMode = 2;
    record.rectangleHeight = 60;
    record.rectangleNumber = 4;
    record.rectangleLength = 0.5;  // 160 along the 320 outline: 40 apart
    record.rectangleRotation = kPi / 2;
    record.autoOrient = 1;
    record.transformRotation = 1;  // not part of the phase
    record.transformAnchor = record.transformPosition = {300, 200};
    // Before the quarter turn: (-50,-30), (-10,-30), (30,-30), (50,-10); turned (x,y) -> (-y,x), then
    // the transform turns everything once more by 1 radian about the centre.
    const Vector before[4] = {{-50, -30}, {-10, -30}, {30, -30}, {50, -10}};
    const double dir[4] = {0, 0, 0, kPi / 2};
    ShapeDrawer& d = make(600, 400);
    ASSERT_EQ(d.createRectanglePatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        const Vector q{-before[k].y, before[k].x};
        const Vector want{q.x * std::cos(1.0) - q.y * std::sin(1.0), q.x * std::sin(1.0) + q.y * std::cos(1.0)};
        EXPECT_NEAR(d.patterns[k].position.x - 300, want.x, 1e-9) << k;
        EXPECT_NEAR(d.patterns[k].position.y - 200, want.y, 1e-9) << k;
        EXPECT_NEAR(d.patterns[k].phase, dir[k] + kPi / 2, 1e-12) << k;
    }
}

TEST_F(RectangleTest, RoundedCornersAreContinuousAndALimitedRadiusMakesACircle) {
    // Radius above half the side is limited: a circle of radius 50, starting
    // at the middle of the top-left arc, heading up-right.
    record.rectangleBorderRadius = 80;
    record.rectangleNumber = 8;
    record.autoOrient = 1;
    std::vector<Vector> where;
    std::vector<double> phases;
    for (int k = 0; k < 8; ++k) {
        const double a = -3 * kPi / 4 + k * kPi / 4;  // from the centre, y down
        where.push_back({50 * std::cos(a), 50 * std::sin(a)});
        phases.push_back(-kPi / 4 + k * kPi / 4);
    }
    expectElements(where, phases);

    // A rounded rectangle walked finely: each step moves by the arc length
    // step (straight or round alike) and the direction never jumps.
    const double w = 120, h = 70, r = 20;
    const double total = 2 * ((w - 2 * r) + (h - 2 * r)) + 2 * kPi * r;
    const int steps = 2000;
    double lastAngle = 0;
    Vector last = getRectanglePoint(&in, 0, w, h, r, &lastAngle);
    EXPECT_NEAR(last.x, -w / 2 + r - r * std::sin(kPi / 4), 1e-12);
    EXPECT_NEAR(lastAngle, -kPi / 4, 1e-12);
    for (int s = 1; s <= steps; ++s) {
        double angle = 0;
        const Vector p = getRectanglePoint(&in, double(s) / steps, w, h, r, &angle);
        const double moved = std::hypot(p.x - last.x, p.y - last.y);
        EXPECT_NEAR(moved, total / steps, 1e-3) << s;
        double turn = std::remainder(angle - lastAngle, 2 * kPi);
        EXPECT_LT(std::fabs(turn), 0.02) << s;
        last = p;
        lastAngle = angle;
    }
}

TEST_F(RectangleTest, DegenerateOutlinesAndCounts) {
    record.rectangleNumber = 0;
    EXPECT_EQ(make().createRectanglePatterns(), PF_Err_NONE);
    EXPECT_TRUE(drawer->patterns.empty());
    record.rectangleNumber = 1 << 30;  // beyond the slider's range: its maximum
    EXPECT_EQ(make().createRectanglePatterns(), PF_Err_NONE);
    EXPECT_EQ(drawer->patterns.size(), 10000u);
    // A tiny radius is a sharp corner.
    record.rectangleBorderRadius = 1e-7;
    record.rectangleNumber = 4;
    expectElements({{-50, -50}, {50, -50}, {50, 50}, {-50, 50}}, {});
    // No outline: every element at the centre, heading 0.
    record.rectangleWidth = 0;
    record.autoOrient = 1;
    expectElements({{0, 0}, {0, 0}, {0, 0}, {0, 0}}, {0, 0, 0, 0});
    record.rectangleWidth = std::nan("");
    expectElements({{0, 0}, {0, 0}, {0, 0}, {0, 0}}, {0, 0, 0, 0});
}

}  // namespace
