// What the renderer tells a user: errors that name the place and the problem
// in words, frames of the layer's size, progress per frame, the version.
#include "CliRun.h"
#include "ImageRead.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

class CliMessages : public ::testing::Test {
protected:
    void SetUp() override {
        dir = ::testing::TempDir() + "cli_messages_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    }
    void TearDown() override { (void)system(("rm -rf '" + dir + "'").c_str()); }
    std::string scene(const std::string& text, const std::string& name = "scene.json") {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::string dir;
};

// Every message is the tool's own line: no internal prefixes, the file and
// the place in it, and the allowed or nearest words.
TEST_F(CliMessages, ErrorsNameThePlaceAndTheProblem) {
    struct Case {
        std::string scene;  // "" for none
        std::string args;   // after --scene
        std::vector<std::string> expected;
    };
    const std::string out = " --frames 0 --out " + dir + "/f.png";
    const Case cases[] = {
        {R"({"parms": []})",
         out,
         {"scene.json: unknown section \"parms\"", "did you mean \"params\"",
          "\"composition\", \"pixels\", \"masks\", \"audio\", \"params\""}},
        {R"({"composition": {"bitdepth": 16}})", out, {"composition.bitdepth", "did you mean \"bitDepth\""}},
        {R"({"composition": {"effectLayer": {"widht": 10}}})",
         out,
         {"composition.effectLayer.widht", "did you mean \"width\"", "\"height\""}},
        {R"({"composition": {"bitDepth": 12}})", out, {"composition.bitDepth", "must be 8, 16 or 32"}},
        {R"({"params": [{"param": "gridWidht", "value": 3}]})",
         out,
         {"params[0]", "no parameter is named \"gridWidht\"", "did you mean \"gridWidth\""}},
        {R"({"params": [{"param": "gridWidth", "value": 1}]})",
         out,
         {"params[0] \"Width\" (index 36, key \"gridWidth\")", "outside the valid range 2 .. 10000"}},
        {R"({"params": [{"param": "Rotation", "value": 1}]})",
         out,
         {"is ambiguous", "\"lineRotation\"", "\"gridRotation\"", "give its key"}},
        {R"({"params": [{"param": "gridWidth", "valeu": 1}]})",
         out,
         {"unknown key \"valeu\"", "did you mean \"value\"", "(allowed: \"param\", \"group\", \"value\""}},
        {R"({"params": [{"param": "gridWidth", "value": 1)", out, {"scene.json: not valid JSON", "line 1"}},
        {R"({"interpolation": [{"param": "gridWidth", "group": 3, "mode": "hold"}]})",
         out,
         {"\"interpolation\" entry 1", "\"group\" must be a text"}},
        {R"({"masks": [{"id": 1, "vertices": [[0, 0]]}, {"id": 1, "vertices": [[1, 1]]}]})",
         out,
         {"mask 2", "mask id 1 is already in use"}},
        {R"({"audio": [{"layer": "nobody", "tones": []}]})", out, {"\"audio\" entry 1", "no layer named"}},
        {R"({"composition": {"effectLayer": {"width": 6000, "height": 6000}},
             "params": [{"param": "pattern", "value": "Grid"}, {"param": "gridMode", "value": "Width & Height"},
                        {"param": "gridWidth", "value": 2}, {"param": "gridHeight", "value": 2},
                        {"param": "transformScale", "value": 50}]})",
         out,
         {"frame 0 failed in render: out of memory: the Grid layout", "gridWidth", "no frame was written"}},
        {R"({"params": [{"param": "finiteGridColumn", "value": 3}]})",
         " --frames 0 --out " + dir + "/f",
         {"must end in .png (it has no extension)"}},
        {R"({"composition": {"bitDepth": 32}})",
         " --frames 0 --out " + dir + "/f.png",
         {"a 32-bit scene is written as EXR", "must end in .exr (not .png)"}},
        {"",
         "--frames 0 --out " + dir + "/none/f.png",
         {"frame 0 failed: cannot write " + dir + "/none/f.png", "No such file or directory", "no frame was written"}},
        {"", "--frames 0 --downsample 0 --out " + dir + "/f.png", {"--downsample needs a whole number"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scene + c.args);
        CliRun r = runRenderer((c.scene.empty() ? "" : "--scene " + scene(c.scene)) + " " + c.args);
        EXPECT_NE(r.status, 0) << r.out;
        EXPECT_EQ(r.out.rfind("vemaro-render: ", 0), 0u) << r.out;
        for (const std::string& e : c.expected) EXPECT_NE(r.out.find(e), std::string::npos) << e << "\n" << r.out;
        for (const char* internal : {"hostsim:", "json.exception", "error 4", "[json"})
            EXPECT_EQ(r.out.find(internal), std::string::npos) << r.out;
    }
}

// A frame that fails says which frame and which were written before it.
TEST_F(CliMessages, AFailingFrameSaysWhichWereWritten) {
    ASSERT_EQ(system(("mkdir '" + dir + "/f_2.png'").c_str()), 0);  // frame 2's name is taken by a directory
    CliRun r = runRenderer("--frames 0-3 --out " + dir + "/f_#.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.out.find("frame 2 failed: cannot write " + dir + "/f_2.png: Is a directory; frames 0 and 1 were written"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(access((dir + "/f_3.png").c_str(), F_OK), -1);
}

// Without a terminal each frame gets one plain line: which frame, n of N,
// where it went, how long it took and about how long is left.
TEST_F(CliMessages, ProgressIsOneLinePerFrameWithoutATerminal) {
    CliRun r = runRenderer("--frames 4-6 --downsample 4 --out " + dir + "/p_#.png");
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<std::string> lines;
    for (std::size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.out.substr(at, nl - at));
    ASSERT_EQ(lines.size(), 3u) << r.out;
    for (int n = 1; n <= 3; ++n) {
        const std::string& l = lines[std::size_t(n - 1)];
        EXPECT_EQ(l.find("vemaro-render: frame " + std::to_string(n + 3) + " (" + std::to_string(n) +
                         " of 3) written to " + dir + "/p_" + std::to_string(n + 3) + ".png in "),
                  0u)
            << l;
        EXPECT_NE(l.find(" s"), std::string::npos) << l;
        EXPECT_EQ(l.find("left") != std::string::npos, n < 3) << l;
        EXPECT_EQ(l.find('\r'), std::string::npos) << l;
    }
}

// On a terminal (here made by script(1)) a bar rewrites its line: frame n
// of N, time per frame, time left; the line ends with the last frame.
TEST_F(CliMessages, ProgressIsABarOnATerminal) {
    const std::string cmd = "script -qec \"" + std::string(VEMARO_RENDER_PATH) + " --frames 0-2 --downsample 4 --out " +
                            dir + "/t_#.png\" /dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[512];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ASSERT_EQ(pclose(p), 0) << out;
    for (int n = 1; n <= 3; ++n)
        EXPECT_NE(out.find("\r[" + std::string(std::size_t(8 * n), '#')), std::string::npos) << out;
    EXPECT_NE(out.find("] frame 2 of 3, "), std::string::npos) << out;
    EXPECT_NE(out.find(" a frame, "), std::string::npos) << out;
    EXPECT_NE(out.find(" left"), std::string::npos) << out;
    EXPECT_EQ(out.find("written to"), std::string::npos) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
}

TEST_F(CliMessages, VersionNamesTheEffectAndTheBuild) {
    CliRun r = runRenderer("--version");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("vemaro-render build "), std::string::npos) << r.out;
    // The property list's version word 0x00080601: 1.0.0, release, build 1.
    EXPECT_NE(r.out.find("effect VemaroPatternFx 1.0.0 (release, build 1)"), std::string::npos) << r.out;
}

// Frames are the effect layer's size whatever rectangle the effect's result
// covers, with the result at its offset. A layer whose visible content is a
// part of it (as a text layer's glyphs are) gives a smaller result.
TEST_F(CliMessages, FramesAreTheLayersSizeWithTheResultInPlace) {
    const std::string path = scene(R"({"composition": {"effectLayer": {"width": 60, "height": 40,
                                                                        "content": [10, 5, 40, 30]}},
        "params": [{"param": "pattern", "value": "Point"}, {"param": "point1", "value": [20, 15]},
                   {"param": "shape1.size", "value": 6}, {"param": "shape1.color", "value": "#00ff00"},
                   {"param": "onOriginal", "value": true}]})");
    CliRun r = runRenderer("--scene " + path + " --frames 2 --out " + dir + "/s.png");
    ASSERT_EQ(r.status, 0) << r.out;
    Png png;
    ASSERT_TRUE(readPng(dir + "/s.png", png));
    ASSERT_EQ(png.width, 60u);
    ASSERT_EQ(png.height, 40u);
    // The circle covers its centre in layer pixels; the rest of the result
    // is the layer's own (frame 2 of the default layer: red 2, green 128,
    // blue 64); outside the result the frame is transparent.
    const std::array<unsigned, 4> green{0, 255, 0, 255}, layer{2, 128, 64, 255}, none{0, 0, 0, 0};
    EXPECT_EQ(png.at(20, 15), green);
    EXPECT_EQ(png.at(26, 15), layer);
    EXPECT_EQ(png.at(10, 5), layer);
    EXPECT_EQ(png.at(39, 29), layer);
    for (auto xy : {std::pair<unsigned, unsigned>{9, 5}, {10, 4}, {40, 29}, {39, 30}, {0, 0}, {59, 39}})
        EXPECT_EQ(png.at(xy.first, xy.second), none) << xy.first << "," << xy.second;
}

// Nothing visible (an empty result rectangle) still gives a full-size,
// fully transparent frame.
TEST_F(CliMessages, AnEmptyResultGivesATransparentFullSizeFrame) {
    const std::string path = scene(R"({"composition": {"effectLayer": {"width": 30, "height": 20,
                                                                        "content": [5, 5, 5, 5]}}})");
    CliRun r = runRenderer("--scene " + path + " --frames 0 --out " + dir + "/e.png");
    ASSERT_EQ(r.status, 0) << r.out;
    Png png;
    ASSERT_TRUE(readPng(dir + "/e.png", png));
    ASSERT_EQ(png.width, 30u);
    ASSERT_EQ(png.height, 20u);
    for (unsigned y = 0; y < png.height; ++y)
        for (unsigned x = 0; x < png.width; ++x) ASSERT_EQ(png.at(x, y), (std::array<unsigned, 4>{})) << x << "," << y;
}

// A PNG given as a layer's pixels keeps its own size unless the scene sets
// one.
TEST_F(CliMessages, PicturesKeepTheirSizeUnlessTheSceneSetsOne) {
    const std::string photo = std::string(VEMARO_SOURCE_DIR) + "/examples/photo.png";
    Png source;
    ASSERT_TRUE(readPng(photo, source));
    struct Case {
        std::string layer;
        unsigned width, height;
    };
    const Case cases[] = {{R"({"name": "bg"})", source.width, source.height},
                          {R"({"name": "bg", "width": 100, "height": 50})", 100, 50},
                          {R"({"name": "bg", "width": 100})", 100, 360}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layer);
        const std::string path = scene(R"({"composition": {"effectLayer": )" + c.layer + R"(},
            "pixels": [{"layer": "bg", "image": ")" +
                                       photo + R"("}],
            "params": [{"param": "onOriginal", "value": true}, {"param": "transformOpacity", "value": 0}]})");
        CliRun r = runRenderer("--scene " + path + " --frames 0 --out " + dir + "/p.png");
        ASSERT_EQ(r.status, 0) << r.out;
        Png png;
        ASSERT_TRUE(readPng(dir + "/p.png", png));
        EXPECT_EQ(png.width, c.width);
        EXPECT_EQ(png.height, c.height);
        if (c.width == source.width) {
            // photo.png is RGB: three values a pixel.
            ASSERT_EQ(source.colorType, PNG_COLOR_TYPE_RGB);
            for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(png.at(170, 70)[k], source.rows[70][170 * 3 + k]);
            for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(png.at(17, 120)[k], source.rows[120][17 * 3 + k]);
        }
    }
}

}  // namespace
