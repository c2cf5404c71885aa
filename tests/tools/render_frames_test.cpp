// vemaro-render --frames: frames rendered through the simulated host, written
// as PNG or EXR, and read back with the image libraries themselves.
#include "CliRun.h"
#include "ImageRead.h"
#include "RenderFrames.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <gtest/gtest.h>
#include <png.h>

#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

CliRun run(const std::string& args) { return runRenderer(args); }

class RenderFrames : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ::testing::TempDir() + "render_frames_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    }
    void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }

    // A scene whose effect layer shows only its input: "On Original" on and
    // nothing drawn (opacity 0), so every pixel is the layer's own.
    std::string inputScene(int bits) {
        const std::string path = dir + "/scene" + std::to_string(bits) + ".json";
        std::ofstream(path) << R"({"composition": {"bitDepth": )" << bits
                            << R"(, "frameDuration": [1, 25], "effectLayer": {"width": 48, "height": 20}},
            "params": [{"param": "On Original", "value": true},
                       {"param": "Transform Opacity", "value": 0}]})";
        return path;
    }

    std::string dir;
};

// The default layer paints frame f as {opaque, red f, green 128, blue 64}
// (in 8-bit terms).
TEST_F(RenderFrames, EightAndSixteenBitScenesAreWrittenAsPng) {
    for (int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        CliRun r = run("--scene " + inputScene(bits) + " --frames 3-4 --out " + dir + "/b" + std::to_string(bits) +
                       "_###.png");
        ASSERT_EQ(r.status, 0) << r.out;
        for (int f : {3, 4}) {
            Png png;
            ASSERT_TRUE(readPng(dir + "/b" + std::to_string(bits) + "_00" + std::to_string(f) + ".png", png));
            EXPECT_EQ(png.width, 48u);
            EXPECT_EQ(png.height, 20u);
            EXPECT_EQ(png.bits, bits);
            EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
            std::array<unsigned, 4> want;
            if (bits == 8) {
                want = {unsigned(f), 128, 64, 255};
            } else {
                // Host 16-bit channels run to 32768; PNG's to 65535.
                auto to16 = [](double host) { return unsigned(std::lround(host / 32768.0 * 65535.0)); };
                want = {to16(std::floor(f / 255.0 * 32768)), to16(16384), to16(8192), 65535};
            }
            EXPECT_EQ(png.at(0, 0), want);
            EXPECT_EQ(png.at(47, 19), want);
        }
    }
}

TEST_F(RenderFrames, FloatScenesAreWrittenAsExr) {
    CliRun r = run("--scene " + inputScene(32) + " --frames 7 --out " + dir + "/f.exr");
    ASSERT_EQ(r.status, 0) << r.out;
    Imf::InputFile file((dir + "/f.exr").c_str());
    const Imath::Box2i win = file.header().dataWindow();
    const int w = win.max.x - win.min.x + 1, h = win.max.y - win.min.y + 1;
    ASSERT_EQ(w, 48);
    ASSERT_EQ(h, 20);
    std::vector<float> px(std::size_t(w) * h * 4);
    Imf::FrameBuffer fb;
    const char* names[4] = {"R", "G", "B", "A"};
    for (int c = 0; c < 4; ++c) {
        ASSERT_NE(file.header().channels().findChannel(names[c]), nullptr);
        fb.insert(names[c], Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(px.data() + c), sizeof(float) * 4,
                                       sizeof(float) * 4 * w));
    }
    file.setFrameBuffer(fb);
    file.readPixels(win.min.y, win.max.y);
    EXPECT_FLOAT_EQ(px[0], float(7 / 255.0));
    EXPECT_FLOAT_EQ(px[1], 0.5f);
    EXPECT_FLOAT_EQ(px[2], 0.25f);
    EXPECT_FLOAT_EQ(px[3], 1.0f);
}

TEST_F(RenderFrames, DefaultSceneRendersWithoutASceneFile) {
    CliRun r = run("--frames 0 --out " + dir + "/default.png");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(dir + "/default.png"), std::string::npos);
    Png png;
    ASSERT_TRUE(readPng(dir + "/default.png", png));
    EXPECT_EQ(png.width, 640u);
    EXPECT_EQ(png.height, 360u);
    EXPECT_EQ(png.bits, 8);
}

TEST_F(RenderFrames, BadInputGetsAClearMessage) {
    const std::string scene32 = inputScene(32);
    const std::string missingScene = dir + "/missing.json";
    struct Case {
        std::string args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"--frames", 2, "--frames needs a frame or a range"},
        {"--frames 5-2 --out x.png", 2, "--frames needs a frame or a range"},
        {"--frames -3 --out x.png", 2, "--frames needs a frame or a range"},
        {"--frames 1-x --out x.png", 2, "--frames needs a frame or a range"},
        {"--frames 0", 2, "--frames needs --out"},
        {"--out x.png", 2, "--out needs --frames"},
        {"--frames 0-3 --out " + dir + "/x.png", 2, "needs '#'"},
        {"--scene " + scene32 + " --frames 0 --out " + dir + "/x.png", 2, "32-bit scene is written as EXR"},
        {"--frames 0 --out " + dir + "/x.exr", 2, "8-bit scene is written as PNG"},
        {"--frames 0 --out " + dir + "/no/such/dir/x.png", 1, "cannot write"},
        {"--scene " + missingScene + " --frames 0 --out " + dir + "/x.png", 1, "missing.json"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        CliRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
}

TEST(FramePath, HashRunsBecomeZeroPaddedFrameNumbers) {
    EXPECT_EQ(tools::framePath("out/f_####.png", 7), "out/f_0007.png");
    EXPECT_EQ(tools::framePath("f#.png", 123), "f123.png");
    EXPECT_EQ(tools::framePath("a##_b###", 5), "a05_b005");
    EXPECT_EQ(tools::framePath("still.png", 9), "still.png");
}

}  // namespace
