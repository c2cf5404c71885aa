// A transition in motion, end to end: a scene rendered by vemaro-render at
// frames 0, 5 and 10, with each disc's centre and size measured from the
// written pixels and compared with values worked out by hand from the
// transition's definition (not from the effect's own functions).
#include "CliRun.h"

#include <gtest/gtest.h>
#include <png.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Three white discs of size 20 at x = 40, 100, 160 on y = 50, a One Shot
// transition whose completion runs 0 to 100 % over frames 0 to 10, delay
// 50 %, towards scale 200 % and an offset of (0, -20), eased Quad In.
const char* kScene = R"({"composition": {"frameDuration": [1, 25], "effectLayer": {"width": 200, "height": 100}},
 "params": [
  {"param": "Pattern", "value": "Point"},
  {"param": 2, "value": 3},
  {"param": 3, "value": [40, 50]},
  {"param": 4, "value": [100, 50]},
  {"param": 5, "value": [160, 50]},
  {"param": "Size 1", "value": 20},
  {"param": "Minimum Scale 1", "value": 100},
  {"param": "Color 1", "value": [255, 255, 255, 255]},
  {"param": "Transition Mode", "value": "One Shot"},
  {"param": "Transition Completion", "keyframes": [{"frame": 0, "value": 0}, {"frame": 10, "value": 100}]},
  {"param": "Transition Delay", "value": 50},
  {"param": "Transition Scale", "value": 200},
  {"param": "Transition Offset", "value": [0, -20]},
  {"param": "Transition Easing Type", "value": "Quad"},
  {"param": "Transition Easing Mode", "value": "In"},
  {"param": "Repeater Type", "value": "None"}
 ]})";

struct Disc {
    double x, y, diameter;
};

// Expected disc k of 3 at frame f. Completion c = f / 10. One Shot over 3
// indices with delay 0.5: L = 2 x 0.5 + 1 = 2, raw progress clamp(c L -
// 0.5 k); Quad In squares it. Scale 1 + eased (target 2), offset -20 eased.
Disc expectedDisc(int k, int frame) {
    const double c = frame / 10.0;
    const double raw = std::min(1.0, std::max(0.0, c * 2.0 - 0.5 * k));
    const double eased = raw * raw;
    return {40.0 + 60 * k, 50.0 - 20 * eased, 20 * (1 + eased)};
}

// Alpha-weighted centroid (pixel centres at whole coordinates) and the
// diameter of the disc of equal area, over the columns x0 .. x1.
Disc measure(const std::vector<unsigned char>& rgba, int width, int height, int x0, int x1) {
    double area = 0, sx = 0, sy = 0;
    for (int y = 0; y < height; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double a = rgba[(std::size_t(y) * width + x) * 4 + 3] / 255.0;
            area += a;
            sx += a * x;
            sy += a * y;
        }
    if (area == 0) return {0, 0, 0};
    return {sx / area, sy / area, 2 * std::sqrt(area / 3.141592653589793)};
}

TEST(Motion, OneShotTransitionFramesMatchTheirFormula) {
    const std::string dir = ::testing::TempDir() + "motion_" + std::to_string(getpid());
    ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    std::ofstream(dir + "/scene.json") << kScene;
    CliRun r = runRenderer("--scene " + dir + "/scene.json --frames 0-10 --out " + dir + "/f_##.png");
    ASSERT_EQ(r.status, 0) << r.out;

    // Frame 5 has the three discs at three different stages: done, a
    // quarter of the way (eased), not started.
    for (int frame : {0, 5, 10}) {
        png_image img{};
        img.version = PNG_IMAGE_VERSION;
        const std::string path = dir + "/f_" + (frame < 10 ? "0" : "") + std::to_string(frame) + ".png";
        ASSERT_TRUE(png_image_begin_read_from_file(&img, path.c_str())) << path;
        img.format = PNG_FORMAT_RGBA;
        std::vector<unsigned char> px(PNG_IMAGE_SIZE(img));
        ASSERT_TRUE(png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) << path;
        ASSERT_EQ(img.width, 200u);
        ASSERT_EQ(img.height, 100u);
        for (int k = 0; k < 3; ++k) {
            const Disc want = expectedDisc(k, frame);
            const Disc got = measure(px, 200, 100, 40 + 60 * k - 29, 40 + 60 * k + 29);
            EXPECT_NEAR(got.x, want.x, 0.05) << "frame " << frame << " disc " << k;
            EXPECT_NEAR(got.y, want.y, 0.05) << "frame " << frame << " disc " << k;
            // Anti-aliased edges quantised to 8 bits: the area is good to a few hundredths of a pixel.
            EXPECT_NEAR(got.diameter, want.diameter, 0.1) << "frame " << frame << " disc " << k;
        }
    }
    (void)std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
