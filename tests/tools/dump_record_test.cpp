// vemaro-render --dump-record as a user runs it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct RenderRun {
    int status;
    std::string out;
};

RenderRun render(const std::string& args) {
    std::string cmd = std::string(VEMARO_RENDER_PATH) + " " + args + " 2>&1";
    RenderRun r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

TEST(DumpRecord, PrintsTheRecordOfASceneByName) {
    std::string path = ::testing::TempDir() + "dump_record_" + std::to_string(getpid()) + ".json";
    {
        std::ofstream f(path);
        f << R"({"params": [
            {"param": "Pattern", "value": "Circle"},
            {"param": 22, "value": 250},
            {"param": "Shape Number", "value": 2},
            {"param": "Times 2", "value": 3},
            {"param": "Transition Scale", "keyframes": [{"frame": 0, "value": 0}, {"frame": 10, "value": 100}]}
        ]})";
    }
    RenderRun r = render("--scene " + path + " --dump-record 5");
    std::remove(path.c_str());
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char* line : {"pattern = 4\n", "circleRadius = 250\n", "circleCentralAngle = 6.283185307179586\n",
                             "shapeNumber = 2\n", "shapeWeights[1] = 4\n", "shapeWeightTotal = 4\n",
                             "transitionScale = 0.5\n", "shapes[0].color = {1, 1, 0, 0}\n",
                             "shapes[2].type = 0\n", "gridWidth = 0\n", "displacementMap = none\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out.substr(0, 400);
}

TEST(DumpRecord, BadFrameOrScene) {
    RenderRun noFrame = render("--dump-record");
    EXPECT_EQ(noFrame.status, 2);
    EXPECT_NE(noFrame.out.find("--dump-record needs a frame number"), std::string::npos);
    EXPECT_EQ(render("--dump-record -4").status, 2);
    RenderRun missing = render("--scene /nonexistent/scene.json --dump-record 0");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("nonexistent"), std::string::npos) << missing.out;
}

}  // namespace
