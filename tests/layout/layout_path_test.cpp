// The Path layout on the simulated host's mask paths: straight segments give
// exact places in every mode.
#include "Masks.h"
#include "elements_fixture.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
using hostsim::MaskVertex;

class PathTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        record.pattern = 9;
        record.repeaterType = 2;
        record.pathScale = 1;
        record.pathMode = 2;
        record.pathNumber = 4;
        record.pathLength = 1;
        record.pathInterval = 30;
        record.pathShapeMapMode = record.pathScaleMapMode = record.pathColorMapMode = record.pathPhaseMapMode = 1;
        square = masks().addMask({{0, 0}, {100, 0}, {100, 100}, {0, 100}}, false);
        line = masks().addMask({{0, 0}, {100, 0}}, true);
    }
    void TearDown() override {
        drawer.reset();
        EXPECT_EQ(masks().checkedOut(), 0);
        EXPECT_EQ(masks().preparations(), 0);
        EXPECT_EQ(masks().maskRefs(), 0);
        ElementsTest::TearDown();
    }
    hostsim::Masks& masks() { return host.get<hostsim::Masks>(); }
    ShapeDrawer& run(PF_Err want = PF_Err_NONE) {
        ShapeDrawer& d = make(300, 300);
        EXPECT_EQ(d.createPatterns(), want);
        return d;
    }
    static std::vector<Vector> places(const ShapeDrawer& d) {
        std::vector<Vector> v;
        for (const auto& p : d.patterns) v.push_back(p.position);
        return v;
    }
    PF_PathID square = 0, line = 0;
};

TEST_F(PathTest, NoPathOrNoCountPlacesNothing) {
    record.pathMask = 0;
    EXPECT_TRUE(run().patterns.empty());
    record.pathMask = 999;  // no mask carries it
    EXPECT_TRUE(run().patterns.empty());
    record.pathMask = square;
    record.pathNumber = 0;
    EXPECT_TRUE(run().patterns.empty());
    // A path without length.
    record.pathNumber = 4;
    record.pathMask = masks().addMask({{10, 10}, {10, 10}}, false);
    EXPECT_TRUE(run().patterns.empty());
}

TEST_F(PathTest, NumberOnAClosedPathWithOffsetTransformAndOrientation) {
    record.pathMask = square;
    record.autoOrient = 1;
    record.pathRotation = 0.5;  // turns the phase too; checked by undoing it
    record.pathAnchor = {50, 50};
    record.pathPosition = {150, 150};
    record.pathScale = 2;
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 4u);
    const Vector corners[4] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
    // A corner belongs to the segment that ends there: its incoming direction.
    const double heading[4] = {0, 0, kPi / 2, kPi};
    const double c = std::cos(0.5), s = std::sin(0.5);
    for (int k = 0; k < 4; ++k) {
        const Vector e{(corners[k].x - 50) * 2, (corners[k].y - 50) * 2};
        EXPECT_NEAR(d.patterns[k].position.x, 150 + e.x * c - e.y * s, 1e-9) << k;
        EXPECT_NEAR(d.patterns[k].position.y, 150 + e.x * s + e.y * c, 1e-9) << k;
        EXPECT_NEAR(d.patterns[k].phase, heading[k] + 0.5, 1e-12) << k;
        EXPECT_EQ(d.patterns[k].t, k / 4.0);
    }
    record.pathRotation = 0;
    record.pathScale = 1;
    record.pathAnchor = record.pathPosition = {0, 0};
    record.pathOffset = 0.25;
    EXPECT_EQ(places(run()), (std::vector<Vector>{{100, 0}, {100, 100}, {0, 100}, {0, 0}}));
    // Vertex mode from the vertex a quarter along.
    record.pathMode = 1;
    EXPECT_EQ(places(run()), (std::vector<Vector>{{100, 0}, {100, 100}, {0, 100}, {0, 0}}));
}

TEST_F(PathTest, HalfResolutionPlacesVerticesAndPathPointsAlike) {
    record.pathMask = square;
    host.nextInData().downsample_x = host.nextInData().downsample_y = {1, 2};
    in.downsample_x = in.downsample_y = {1, 2};
    const std::vector<Vector> want{{0, 0}, {50, 0}, {50, 50}, {0, 50}};
    EXPECT_EQ(places(run()), want);
    record.pathMode = 1;
    EXPECT_EQ(places(run()), want);
}

TEST_F(PathTest, OpenPathsStopShortAndPutWrappedElementsBackInPathOrder) {
    record.pathMask = line;
    record.pathNumber = 5;
    std::vector<Vector> want;
    for (int i = 0; i < 5; ++i) want.push_back({99.99 * (i * 0.25), 0});
    const std::vector<Vector> got = places(run());
    ASSERT_EQ(got.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(got[i].x, want[i].x, 1e-9);

    // Starting halfway: the last point wraps onto the first and is dropped;
    // the one that wrapped past the end comes first yet keeps its index.
    record.pathOffset = 0.5;
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 4u);
    const double x[4] = {99.99 * 0.75 + 50 - 100, 50, 99.99 * 0.25 + 50, 99.99 * 0.5 + 50};
    const int index[4] = {3, 0, 1, 2};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(d.patterns[k].position.x, x[k], 1e-9) << k;
        EXPECT_EQ(d.patterns[k].i, index[k]) << k;
        EXPECT_EQ(d.patterns[k].t, index[k] / 4.0) << k;
    }
    // One element: fraction 0, at the start.
    record.pathOffset = 0;
    record.pathNumber = 1;
    EXPECT_EQ(places(run()), (std::vector<Vector>{{0, 0}}));
}

TEST_F(PathTest, InvertAndMapPositions) {
    phaseRamp();
    record.pathMask = line;
    record.pathNumber = 3;
    record.pathInvert = 1;
    record.pathPhaseMapMode = 2;  // along the path (the walk distance, not the mirrored one)
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 3u);
    const double walk[3] = {0, 49.995, 99.99};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(d.patterns[k].position.x, 100 - walk[k], 1e-9) << k;
        EXPECT_NEAR(d.patterns[k].phaseOffset, walk[k] / 100, 1.0 / 255) << k;
    }
    // Closed path, half its length: Position maps run 0 .. below 0.5, Index maps 0 .. 1.
    record.pathInvert = 0;
    record.pathMask = square;
    record.pathNumber = 4;
    record.pathLength = 0.5;
    for (int mode : {1, 2}) {
        record.pathPhaseMapMode = mode;
        ShapeDrawer& e = run();
        ASSERT_EQ(e.patterns.size(), 4u);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(e.patterns[k].phaseOffset, mode == 1 ? k / 3.0 : k * 0.125, 1.0 / 255) << mode << k;
    }
}

TEST_F(PathTest, IntervalsCoverTheSpanAndAreBounded) {
    record.pathMask = line;
    record.pathMode = 3;
    phaseRamp();
    ShapeDrawer& d = run();
    EXPECT_EQ(places(d), (std::vector<Vector>{{0, 0}, {30, 0}, {60, 0}, {90, 0}}));
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(d.patterns[k].phaseOffset, k / 3.0, 1.0 / 255);
    record.pathInterval = 500;
    EXPECT_EQ(places(run()), (std::vector<Vector>{{0, 0}}));
    // More places than the layout memory budget holds: refused before the walk.
    record.pathInterval = 1;
    record.pathLength = 1e7;
    EXPECT_TRUE(run(PF_Err_OUT_OF_MEMORY).patterns.empty());
}

TEST_F(PathTest, MaskErrorsAreReturnedAndThePathIsCheckedIn) {
    record.pathMask = square;
    for (const char* fn : {"AEGP_GetLayerNumMasks", "PF_CheckoutPath", "PF_PathGetSegLength"}) {
        host.faults().clear();
        host.faults().failCall(fn, 1, 55);
        EXPECT_TRUE(run(55).patterns.empty()) << fn;
        drawer.reset();
        EXPECT_EQ(masks().checkedOut(), 0) << fn;
    }
    host.faults().clear();
}

}  // namespace
