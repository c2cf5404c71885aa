// Every scene in examples/ loads and renders (at a quarter of its size), and
// the examples together show every layout and every shape kind.
#include "CliRun.h"
#include "ImageRead.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dirent.h>
#include <unistd.h>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kExamples = std::string(VEMARO_SOURCE_DIR) + "/examples";

std::vector<std::string> exampleScenes() {
    std::vector<std::string> names;
    if (DIR* d = opendir(kExamples.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 5 && n.compare(n.size() - 5, 5, ".json") == 0) names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

nlohmann::json load(const std::string& name) {
    std::ifstream f(kExamples + "/" + name);
    return nlohmann::json::parse(f);
}

// The value a scene gives a parameter by key, or null.
nlohmann::json valueOf(const nlohmann::json& scene, const std::string& key) {
    for (const auto& p : scene.value("params", nlohmann::json::array()))
        if (p["param"] == key && p.contains("value")) return p["value"];
    return nullptr;
}

TEST(Examples, EveryExampleRendersAtReducedSize) {
    const std::string dir = ::testing::TempDir() + "examples_" + std::to_string(getpid());
    ASSERT_EQ(system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    const std::vector<std::string> scenes = exampleScenes();
    ASSERT_GE(scenes.size(), 12u);
    for (const std::string& name : scenes) {
        SCOPED_TRACE(name);
        const nlohmann::json scene = load(name);
        EXPECT_TRUE(scene.contains("comment")) << "an example says what it shows";
        const bool exr = scene["composition"].value("bitDepth", 8) == 32;
        const std::string out = dir + "/" + name.substr(0, name.size() - 5) + (exr ? ".exr" : ".png");
        CliRun r = runRenderer("--scene " + kExamples + "/" + name + " --frames 10 --downsample 4 --out " + out);
        ASSERT_EQ(r.status, 0) << r.out;
        // Something was drawn: the frame holds more than one colour.
        std::set<std::vector<float>> colours;
        if (exr) {
            const Exr e = readExr(out);
            for (int y = 0; y < e.height; ++y)
                for (int x = 0; x < e.width; ++x) {
                    auto c = e.at(x, y);
                    colours.insert({c[0], c[1], c[2], c[3]});
                }
        } else {
            Png png;
            ASSERT_TRUE(readPng(out, png));
            for (unsigned y = 0; y < png.height; ++y)
                for (unsigned x = 0; x < png.width; ++x) {
                    auto c = png.at(x, y);
                    colours.insert({float(c[0]), float(c[1]), float(c[2]), float(c[3])});
                }
        }
        EXPECT_GT(colours.size(), 2u);
    }
    (void)system(("rm -rf '" + dir + "'").c_str());
}

TEST(Examples, CoverEveryLayoutShapeKindAndDepth) {
    std::set<std::string> layouts, shapes;
    std::set<int> depths;
    bool animated = false;
    for (const std::string& name : exampleScenes()) {
        const nlohmann::json scene = load(name);
        if (valueOf(scene, "pattern").is_string()) layouts.insert(valueOf(scene, "pattern").get<std::string>());
        for (int n = 1; n <= 8; ++n) {
            const nlohmann::json t = valueOf(scene, "shape" + std::to_string(n) + ".type");
            if (t.is_string()) shapes.insert(t.get<std::string>());
        }
        if (valueOf(scene, "shape1.type").is_null()) shapes.insert("Circle");  // the default
        depths.insert(scene["composition"].value("bitDepth", 8));
        for (const auto& p : scene["params"]) animated = animated || p.contains("keyframes");
    }
    EXPECT_EQ(layouts,
              (std::set<std::string>{"Point", "Line", "Line Segment", "Circle", "Rectangle", "Grid", "Finite Grid",
                                     "Triangular Grid", "Path", "Waveform", "Graph", "Random"}));
    EXPECT_EQ(shapes, (std::set<std::string>{"Line", "Circle", "Polygon", "Input", "Layer"}));
    EXPECT_EQ(depths, (std::set<int>{8, 16, 32}));
    EXPECT_TRUE(animated);
}

// What the help, the README and the scene documentation point a user to
// exists.
TEST(Examples, DocumentedExamplesExist) {
    std::string text = runRenderer("--help").out;
    for (const char* doc : {"/README.md", "/docs/scenes.md"}) {
        std::ifstream f(std::string(VEMARO_SOURCE_DIR) + doc);
        std::stringstream s;
        s << f.rdbuf();
        ASSERT_FALSE(s.str().empty()) << doc;
        text += s.str();
    }
    int found = 0;
    for (std::size_t at = text.find("examples/"); at != std::string::npos; at = text.find("examples/", at + 1)) {
        std::size_t end = at + 9;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-' ||
                                     text[end] == '.' || text[end] == '_'))
            ++end;
        std::string name = text.substr(at + 9, end - at - 9);
        while (!name.empty() && name.back() == '.') name.pop_back();  // a full stop after the name
        if (name.empty()) continue;
        ++found;
        EXPECT_EQ(access((kExamples + "/" + name).c_str(), R_OK), 0) << name;
    }
    EXPECT_GE(found, 5);
}

}  // namespace
