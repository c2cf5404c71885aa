// Frame files: the layer-sized image with the result at its offset, and
// writes that replace a frame only when complete.
#include "FrameFile.h"
#include "ImageRead.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using hostsim::Depth;
using hostsim::World;

class FrameFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ::testing::TempDir() + "frame_file_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    }
    void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }
    static std::string bytes(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    bool write(const tools::FrameView& v, const std::string& path, std::string* error, long failAfterRows = -1) {
        tools::WriteOptions o;
        o.failAfterRows = failAfterRows;
        return v.depth == Depth::Float ? tools::writeExr(v, path, error, o) : tools::writePng(v, path, error, o);
    }

    std::string dir;
};

// Pixel (x, y) of the test result: distinct per pixel, alpha below full.
PF_Pixel pixel8(int x, int y) {
    return {A_u_char(200), A_u_char(10 + 40 * x), A_u_char(20 + 50 * y), A_u_char(255 - 30 * x - 7 * y)};
}

World* makeResult(Depth depth, int w, int h, int left, int top) {
    auto* world = new World(w, h, depth, 3, left, top);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const PF_Pixel p = pixel8(x, y);
            if (depth == Depth::Bits8) {
                world->at<PF_Pixel>(x, y) = p;
            } else if (depth == Depth::Bits16) {
                // Host 16-bit: 0 .. 32768; include both ends.
                auto h16 = [](A_u_char c) { return A_u_short(c == 255 ? 32768 : c * 128); };
                world->at<PF_Pixel16>(x, y) = {h16(p.alpha), h16(p.red), h16(p.green), h16(p.blue)};
            } else {
                world->at<PF_PixelFloat>(x, y) = {p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
            }
        }
    return world;
}

// What the file holds at a pixel the result covers, by the file format's
// own rules: 8 bits as is; 16 bits scaled from 0..32768 to 0..65535 and
// rounded; EXR premultiplied.
std::array<double, 4> expected(Depth depth, int rx, int ry) {
    const PF_Pixel p = pixel8(rx, ry);
    if (depth == Depth::Bits8) return {double(p.red), double(p.green), double(p.blue), double(p.alpha)};
    if (depth == Depth::Bits16) {
        auto f = [](A_u_char c) { return std::floor((c == 255 ? 32768 : c * 128) / 32768.0 * 65535.0 + 0.5); };
        return {f(p.red), f(p.green), f(p.blue), f(p.alpha)};
    }
    const float a = p.alpha / 255.0f;
    return {double(p.red / 255.0f * a), double(p.green / 255.0f * a), double(p.blue / 255.0f * a), double(a)};
}

std::array<double, 4> readBack(Depth depth, const std::string& path, int x, int y, int& w, int& h) {
    if (depth == Depth::Float) {
        Exr e = readExr(path);
        w = e.width, h = e.height;
        EXPECT_EQ(e.left, 0);
        EXPECT_EQ(e.top, 0);
        auto v = e.at(x, y);
        return {v[0], v[1], v[2], v[3]};
    }
    Png png;
    EXPECT_TRUE(readPng(path, png));
    EXPECT_EQ(png.bits, depth == Depth::Bits16 ? 16 : 8);
    w = int(png.width), h = int(png.height);
    auto v = png.at(unsigned(x), unsigned(y));
    return {double(v[0]), double(v[1]), double(v[2]), double(v[3])};
}

// The frame is the layer's size; the result lands at its offset, clipped to
// the layer, and the rest is transparent black.
TEST_F(FrameFile, ResultIsPlacedAtItsOffsetInALayerSizedFrame) {
    struct Case {
        Depth depth;
        int left, top;  // the result's offset (4 x 3 pixels) in a 7 x 5 layer
    };
    const Case cases[] = {{Depth::Bits8, 2, 1},   {Depth::Bits16, 2, 1}, {Depth::Float, 2, 1},
                          {Depth::Bits8, -2, -1}, {Depth::Bits16, 5, 3}, {Depth::Float, -1, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.depth)) + " at " + std::to_string(c.left) + "," + std::to_string(c.top));
        std::unique_ptr<World> result(makeResult(c.depth, 4, 3, c.left, c.top));
        tools::FrameView view{result.get(), c.left, c.top, 7, 5, c.depth};
        const std::string path = dir + "/frame" + tools::frameExtension(c.depth);
        std::string error;
        ASSERT_TRUE(write(view, path, &error)) << error;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                int w = 0, h = 0;
                const std::array<double, 4> got = readBack(c.depth, path, x, y, w, h);
                ASSERT_EQ(w, 7);
                ASSERT_EQ(h, 5);
                const int rx = x - c.left, ry = y - c.top;
                const bool inside = rx >= 0 && rx < 4 && ry >= 0 && ry < 3;
                const std::array<double, 4> want = inside ? expected(c.depth, rx, ry) : std::array<double, 4>{};
                for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k], want[k]) << x << "," << y << " channel " << k;
            }
    }
}

// Nothing to show (an empty result rectangle) still makes a full-size,
// fully transparent frame.
TEST_F(FrameFile, EmptyResultWritesATransparentLayerSizedFrame) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World empty(0, 0, depth);
        for (const World* result : {static_cast<const World*>(nullptr), static_cast<const World*>(&empty)}) {
            tools::FrameView view{result, 0, 0, 9, 4, depth};
            const std::string path = dir + "/empty" + tools::frameExtension(depth);
            std::string error;
            ASSERT_TRUE(write(view, path, &error)) << error;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 9; ++x) {
                    int w = 0, h = 0;
                    const std::array<double, 4> got = readBack(depth, path, x, y, w, h);
                    ASSERT_EQ(w, 9);
                    ASSERT_EQ(h, 4);
                    EXPECT_EQ(got, (std::array<double, 4>{})) << x << "," << y;
                }
        }
    }
}

// A write that fails midway (the disk filling up) leaves the frame that was
// there intact and no temporary file behind; with no earlier frame, no file.
TEST_F(FrameFile, FailedWriteLeavesTheEarlierFileIntact) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE(int(depth));
        std::unique_ptr<World> result(makeResult(depth, 64, 40, 0, 0));
        tools::FrameView view{result.get(), 0, 0, 64, 40, depth};
        const std::string path = dir + "/frame_0001" + tools::frameExtension(depth);
        std::string error;
        ASSERT_TRUE(write(view, path, &error)) << error;
        const std::string before = bytes(path);
        ASSERT_FALSE(before.empty());

        tools::FrameView other{result.get(), 5, 5, 64, 40, depth};
        EXPECT_FALSE(write(other, path, &error, 20));
        EXPECT_NE(error.find("cannot write " + path), std::string::npos) << error;
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        EXPECT_EQ(bytes(path), before);
        EXPECT_EQ(files(), std::vector<std::string>{"frame_0001" + std::string(tools::frameExtension(depth))});

        const std::string fresh = dir + "/fresh" + tools::frameExtension(depth);
        EXPECT_FALSE(write(other, fresh, &error, 0));
        EXPECT_EQ(files().size(), 1u);
        std::remove(path.c_str());
    }
}

TEST_F(FrameFile, UnwritablePlacesNameTheFileAndTheReason) {
    std::unique_ptr<World> result(makeResult(Depth::Bits8, 2, 2, 0, 0));
    tools::FrameView view{result.get(), 0, 0, 2, 2, Depth::Bits8};
    std::string error;
    EXPECT_FALSE(tools::writePng(view, dir + "/missing/f.png", &error));
    EXPECT_NE(error.find(dir + "/missing/f.png"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    // A directory where the frame should go: the rename is refused.
    ASSERT_EQ(system(("mkdir '" + dir + "/taken.png'").c_str()), 0);
    EXPECT_FALSE(tools::writePng(view, dir + "/taken.png", &error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    EXPECT_EQ(files().size(), 1u);
}

}  // namespace
