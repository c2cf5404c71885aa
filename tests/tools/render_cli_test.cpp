// The command-line renderer as a user runs it.
#include "CliRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

CliRun run(const std::string& args) { return runRenderer(args); }

TEST(RenderCli, AboutShowsTextAndPropertyList) {
    CliRun r = run("--about");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("VemaroPattern, v1.00\nVemaro"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("name:          VemaroPatternFx"), std::string::npos);
    EXPECT_NE(r.out.find("category:      Vemaro"), std::string::npos);
    EXPECT_NE(r.out.find("out flags:     0x06108022"), std::string::npos);
    EXPECT_NE(r.out.find("out flags 2:   0x00001401"), std::string::npos);
    EXPECT_NE(r.out.find("version:       0x00080601"), std::string::npos);
}

TEST(RenderCli, HelpAndBadArguments) {
    EXPECT_EQ(run("--help").status, 0);
    CliRun bad = run("--frobnicate");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.out.find("unknown option '--frobnicate'"), std::string::npos);
}

TEST(RenderCli, ModulesThatCannotBeLoadedGiveOneClearLine) {
    std::string notThere = run("--module /nonexistent/Fx.so --about").out;
    EXPECT_NE(notThere.find("cannot open /nonexistent/Fx.so"), std::string::npos) << notThere;

    std::string junk = ::testing::TempDir() + "junk_" + std::to_string(getpid()) + ".so";
    std::ofstream(junk) << "not a module";
    CliRun r = run("--module " + junk + " --about");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("not a 64-bit ELF module"), std::string::npos) << r.out;

    // A shared object without the effect's property list or entry point.
    CliRun libc = run("--module /lib/x86_64-linux-gnu/libm.so.6 --about");
    EXPECT_EQ(libc.status, 1);
    EXPECT_NE(libc.out.find("no plug-in property list"), std::string::npos) << libc.out;
    EXPECT_EQ(std::count(libc.out.begin(), libc.out.end(), '\n'), 1) << libc.out;
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
    CliRun r = run("--scene " + path + " --dump-record 5");
    std::remove(path.c_str());
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char* line :
         {"pattern = 4\n", "circleRadius = 250\n", "circleCentralAngle = 6.283185307179586\n", "shapeNumber = 2\n",
          "shapeWeights[1] = 4\n", "shapeWeightTotal = 4\n", "transitionScale = 0.5\n",
          "shapes[0].color = {1, 1, 0, 0}\n", "shapes[2].type = 0\n", "gridWidth = 0\n", "displacementMap = none\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out.substr(0, 400);
}

TEST(DumpRecord, BadFrameOrScene) {
    CliRun noFrame = run("--dump-record");
    EXPECT_EQ(noFrame.status, 2);
    EXPECT_NE(noFrame.out.find("--dump-record needs a frame number"), std::string::npos);
    EXPECT_EQ(run("--dump-record -4").status, 2);
    CliRun missing = run("--scene /nonexistent/scene.json --dump-record 0");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("nonexistent"), std::string::npos) << missing.out;
}

}  // namespace
