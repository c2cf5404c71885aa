// An Input element whose source holds only part of the layer (a 40 x 20 box
// whose origin is (120, 40) in a 200 x 100 layer), drawn from the record: the
// shape's Bounding Box picks the frame the element is placed and sized in.
// Measured as the alpha-weighted centre and spread of the drawn pixels.
#include "DrawFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using InputFrameTest = DrawFixture;

TEST_F(InputFrameTest, BoundingBoxChoosesTheFrame) {
    hostsim::World src(40, 20, hostsim::Depth::Bits8, 0, 120, 40);
    src.fill(PF_Pixel{255, 255, 255, 255});
    in.width = 200;
    in.height = 100;
    in.downsample_x = in.downsample_y = {1, 1};
    struct Case {
        uint8_t box;
        double size;
        double cx, cy, f;  // centre of the drawn pixels, output pixels per source pixel
    };
    // Off: the layer is the frame (200 wide): pixel u lands at 100 + f (u + 120 - 100),
    // so the box keeps its place right of the layer's centre. On: the box is the
    // frame (40 wide), centred on the element: 100 + f (u - 20).
    const Case cases[] = {
        {0, 200, 100 + 1.0 * (19.5 + 120 - 100), 50 + 1.0 * (9.5 + 40 - 50), 1.0},
        {0, 300, 100 + 1.5 * (19.5 + 120 - 100), 50 + 1.5 * (9.5 + 40 - 50), 1.5},
        {1, 100, 100 + 2.5 * (19.5 - 20), 50 + 2.5 * (9.5 - 10), 2.5},
    };
    for (const Case& c : cases) {
        Parameters::Shape& s = record.shapes[0];
        s.type = 4;
        s.layer = src.get();
        s.layerRect = {-1, -1, 40, 20};  // the bounds with their ring, as the smart render finds them
        s.boundingBox = c.box;
        s.size = c.size;
        s.layerCenter = {0, 0};
        ShapeDrawer& d = make(200, 100);
        ShapeDrawer::Pattern e = element(100, 50);
        ASSERT_EQ(d.drawPattern(e, {}), PF_Err_NONE);
        double a = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x) {
                const double v = output->at<PF_Pixel>(x, y).alpha / 255.0;
                a += v, sx += v * x, sy += v * y, sxx += v * x * x, syy += v * y * y;
            }
        ASSERT_GT(a, 0) << "Bounding Box " << int(c.box) << ": nothing drawn";
        const double cx = sx / a, cy = sy / a;
        // n opaque pixels spread bilinearly at f per pixel: variance f^2 ((n^2 - 1) / 12 + 1 / 6).
        const double fx = std::sqrt((sxx / a - cx * cx) / ((40 * 40 - 1) / 12.0 + 1 / 6.0));
        const double fy = std::sqrt((syy / a - cy * cy) / ((20 * 20 - 1) / 12.0 + 1 / 6.0));
        EXPECT_NEAR(cx, c.cx, 0.1) << "Bounding Box " << int(c.box) << " size " << c.size;
        EXPECT_NEAR(cy, c.cy, 0.1) << "Bounding Box " << int(c.box) << " size " << c.size;
        EXPECT_NEAR(fx, c.f, 0.02 * c.f) << "Bounding Box " << int(c.box) << " size " << c.size;
        EXPECT_NEAR(fy, c.f, 0.02 * c.f) << "Bounding Box " << int(c.box) << " size " << c.size;
    }
}

}  // namespace
