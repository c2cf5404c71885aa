// Map layers declared by scenes (generated gradients and PNG files), read back
// through the map samplers.
#include "Comp.h"
#include "HostFixture.h"
#include "Scene.h"
#include "VemaroMapSampling.h"

#include <png.h>

#include <cstdio>

#include <unistd.h>

namespace {

class MapScene : public HostFixture {
protected:
    std::string apply(const std::string& text, const std::string& source = "test.json") {
        try {
            scene::Context context{host, source, {}, 0};
            scene::applyText(text, context);
        } catch (const scene::Error& e) {
            return e.what();
        }
        return "";
    }
    hostsim::World& frameOf(const char* name) {
        hostsim::Comp& comp = host.get<hostsim::Comp>();
        int id = 0;
        EXPECT_TRUE(comp.layerByName(name, id));
        return comp.frame(comp.layer(id), 0, 1);
    }
    Color sample1D(hostsim::World& map, double t, int bpc) {
        PF_InData in = host.nextInData();
        AEGP_SuiteHandler suites(host.basicSuite());
        PF_SampPB pb{};
        pb.src = map.get();
        Color c;
        EXPECT_EQ(getMapColor1D(&in, suites, pb, bpc, t, &c), PF_Err_NONE);
        return c;
    }
};

TEST_F(MapScene, GradientLayersAtEveryDepth) {
    for (int bits : {8, 16, 32}) {
        ASSERT_EQ(apply(R"js({"composition": {"bitDepth": )js" + std::to_string(bits) + R"js(,
            "layers": [{"name": "ramp", "width": 256, "height": 3}]},
            "pixels": [{"layer": "ramp", "gradient": {"from": [0, 0, 0], "to": [255, 255, 255, 255]}}]})js"),
                  "");
        hostsim::World& map = frameOf("ramp");
        ASSERT_EQ(map.width(), 256);
        const int bpc = bits == 8 ? 0 : bits == 16 ? 1 : 2;
        // Column x holds x / 255: the middle row at t = 0.25 reads column 63.75.
        Color c = sample1D(map, 0.25, bpc);
        EXPECT_NEAR(c.red, 63.75 / 255, bits == 8 ? 1.0 / 255 : 1e-4) << bits;
        EXPECT_FLOAT_EQ(c.alpha, 1.0f);
        EXPECT_FLOAT_EQ(sample1D(map, 1.0, bpc).green, 1.0f);
    }
}

TEST_F(MapScene, ImageLayersFromPngFiles) {
    const std::string dir = ::testing::TempDir();
    // Named per process: parallel builds run their tests side by side.
    const std::string name = "vemaro_map_test_" + std::to_string(getpid()) + ".png";
    const std::string file = dir + name;
    // 2 x 1: opaque red, then half-transparent blue.
    unsigned char pixels[] = {255, 0, 0, 255, 0, 0, 255, 128};
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = 2;
    img.height = 1;
    img.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&img, file.c_str(), 0, pixels, 0, nullptr));

    ASSERT_EQ(apply(R"js({"composition": {"layers": [{"name": "pic", "width": 4, "height": 2}]},
        "pixels": [{"layer": "pic", "image": ")js" +
                        name + R"js("}]})js",
                    dir + "scene.json"),
              "");
    hostsim::World& map = frameOf("pic");
    const PF_Pixel want[4] = {{255, 255, 0, 0}, {255, 255, 0, 0}, {128, 0, 0, 255}, {128, 0, 0, 255}};
    for (int x = 0; x < 4; ++x) {
        const PF_Pixel& p = map.at<PF_Pixel>(x, 1);
        EXPECT_EQ(p.alpha, want[x].alpha) << x;
        EXPECT_EQ(p.red, want[x].red) << x;
        EXPECT_EQ(p.blue, want[x].blue) << x;
    }
    std::remove(file.c_str());

    EXPECT_NE(apply(R"js({"composition": {"layers": [{"name": "pic", "width": 4, "height": 2}]},
        "pixels": [{"layer": "pic", "image": "missing.png"}]})js")
                  .find("cannot read the PNG file"),
              std::string::npos);
    EXPECT_NE(apply(R"js({"pixels": [{"layer": "nobody", "gradient": {"from": [0, 0, 0], "to": [1, 1, 1]}}]})js")
                  .find("no layer named"),
              std::string::npos);
}

}  // namespace
