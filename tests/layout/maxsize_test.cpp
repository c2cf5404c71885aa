// The culling margin against hand-computed cases (Python, with the star's tip
// angle found by atan2 rather than by the arc cosine the code uses).
#include "Parameters.h"
#include "StdHost.h"
#include "VemaroElementBounds.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct MaxSizeFixture : ::testing::Test {
    StdHost host;
    Parameters params;
    PF_LayerDef world{};

    MaxSizeFixture() {
        params = Parameters{};
        params.transitionScale = 1.0;
        params.transformScale = 1.0;
        host.in.width = 1920;
        host.in.height = 1080;
    }
    Parameters::Shape& shape(int k, int type, double size) {
        Parameters::Shape& s = params.shapes[k];
        s.type = type;
        s.size = size;
        s.fillStroke = 1;
        s.starness = 1.0;
        s.sides = 5;
        return s;
    }
    double margin() { return getMaxSize(&host.in, &params); }
};

}  // namespace

TEST_F(MaxSizeFixture, NoActiveShapeGivesZero) {
    shape(0, 2, 100);
    params.shapeNumber = 0;
    EXPECT_EQ(margin(), 0.0);
    params.shapeNumber = -3;
    EXPECT_EQ(margin(), 0.0);
}

TEST_F(MaxSizeFixture, CircleAndTheTransitionScale) {
    shape(0, 2, 10);
    params.shapeNumber = 1;
    EXPECT_NEAR(margin(), 17.14213562373095, 1e-12);
    params.transitionScale = 0.5;  // never shrinks the margin
    EXPECT_NEAR(margin(), 17.14213562373095, 1e-12);
    params.transitionScale = 3.0;
    EXPECT_NEAR(margin(), 45.42640687119285, 1e-12);
    params.transitionScale = 1.0;
    params.transformScale = 3.0;
    EXPECT_NEAR(margin(), 45.42640687119285, 1e-12);
    // A stroke widens the circle on both sides.
    params.transformScale = 1.0;
    params.shapes[0].fillStroke = 3;
    params.shapes[0].strokeWidth = 12;
    EXPECT_NEAR(margin(), 2 * (std::sqrt(2.0 * 34 * 34) * 0.5 + 1.5), 1e-12);
}

TEST_F(MaxSizeFixture, LinesPolygonsAndStars) {
    Parameters::Shape& line = shape(0, 1, 10);
    line.thickness = 3;
    line.fillStroke = 2;
    line.strokeWidth = 2;
    params.shapeNumber = 1;
    EXPECT_NEAR(margin(), 51.08326112068523, 1e-12);
    line.thickness = 0.25;  // a thin line still counts its length
    line.fillStroke = 1;
    EXPECT_NEAR(margin(), 17.14213562373095, 1e-12);

    Parameters::Shape& poly = shape(0, 3, 20);
    EXPECT_NEAR(margin(), 2 * (std::sqrt(800.0) * 0.5 + 1.5), 1e-12);  // unstroked: its size
    poly.fillStroke = 2;
    poly.strokeWidth = 1;
    EXPECT_NEAR(margin(), 59.568542494923804, 1e-12);  // starness above 0.9999: size + 20 x stroke
    poly.starness = 0.5;
    EXPECT_NEAR(margin(), 39.77232561628005, 1e-9);  // the star's own miter is smaller
}

TEST_F(MaxSizeFixture, LargestOfTheActiveShapesOnly) {
    shape(0, 2, 10);
    shape(1, 2, 40);
    shape(2, 2, 500);  // not active
    params.shapeNumber = 2;
    EXPECT_NEAR(margin(), 2 * (std::sqrt(3200.0) * 0.5 + 1.5), 1e-12);
    // More shapes than there are: the eight that exist.
    params.shapeNumber = 1000;
    EXPECT_NEAR(margin(), 2 * (std::sqrt(500000.0) * 0.5 + 1.5), 1e-9);
}

TEST_F(MaxSizeFixture, LayerSourcesFollowTheirAspectAndAnchor) {
    world.width = 200;
    world.height = 100;
    Parameters::Shape& layer = shape(0, 5, 50);
    layer.layer = &world;
    layer.layerCenter = {10, -20};
    params.shapeNumber = 1;
    EXPECT_NEAR(margin(), 68.19202405202648, 1e-12);

    // Input without its bounding box: the layer size at the downsampled size.
    Parameters::Shape& input = shape(0, 4, 96);
    input.layer = &world;
    input.layerCenter = {0, 0};
    host.in.downsample_x = {1, 2};
    host.in.downsample_y = {1, 2};
    EXPECT_NEAR(margin(), 113.14535850411491, 1e-12);
    input.boundingBox = 1;  // with it: the source world's own size
    EXPECT_NEAR(margin(), 2 * (std::hypot(96.0, 48.0) * 0.5 + 1.5), 1e-12);

    // A source without width is measured as a square.
    world.width = 0;
    EXPECT_NEAR(margin(), 2 * (std::sqrt(2.0 * 96 * 96) * 0.5 + 1.5), 1e-12);
}

TEST_F(MaxSizeFixture, DegenerateStarsStayFinite) {
    Parameters::Shape& star = shape(0, 3, 20);
    star.fillStroke = 2;
    star.strokeWidth = 2;
    params.shapeNumber = 1;
    for (int sides : {0, 1, 2, 3, 64}) {
        for (double starness : {-1.0, 0.0, 0.5, 0.9999}) {
            star.sides = sides;
            star.starness = starness;
            const double m = margin();
            EXPECT_TRUE(std::isfinite(m)) << sides << " " << starness;
            EXPECT_LE(m, 2 * (std::sqrt(2.0 * 60 * 60) * 0.5 + 1.5) + 1e-9);
            EXPECT_GE(m, 2 * (std::sqrt(2.0 * 20 * 20) * 0.5 + 1.5) - 1e-9);
        }
    }
}
