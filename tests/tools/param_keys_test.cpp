// Parameter keys: one per parameter that holds a value, unique, and the same
// as the published list forever; scenes accept them and mistakes get the
// nearest keys.
#include "CliRun.h"
#include "ParamKeys.h"
#include "Scene.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

nlohmann::json listing(const std::string& args = "") {
    CliRun r = runRenderer(args + " --list-params --json");
    EXPECT_EQ(r.status, 0) << r.out;
    return nlohmann::json::parse(r.out);
}

// Published keys may never change: a scene written today must load in every
// later build. The list is tests/tools/param_keys.tsv (index, key, name).
TEST(ParamKeys, MatchThePublishedList) {
    std::ifstream f(std::string(VEMARO_SOURCE_DIR) + "/tests/tools/param_keys.tsv");
    ASSERT_TRUE(f) << "the published list is missing";
    std::string line;
    std::size_t rows = 0;
    const nlohmann::json params = listing();
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        std::string index, key, name;
        std::getline(in, index, '\t');
        std::getline(in, key, '\t');
        std::getline(in, name);
        const int i = std::stoi(index);
        ASSERT_LT(std::size_t(i), params.size()) << line;
        EXPECT_EQ(params[std::size_t(i)]["key"], key) << line;
        EXPECT_EQ(params[std::size_t(i)]["name"], name) << "the key's parameter moved: " << line;
        EXPECT_EQ(tools::paramByKey(key), i) << line;
        ++rows;
    }
    std::size_t keyed = 0;
    for (const auto& p : params) keyed += !p["key"].get<std::string>().empty();
    EXPECT_EQ(rows, keyed) << "a new key must be added to the published list";
}

TEST(ParamKeys, EveryValueHasOneUniqueKey) {
    const nlohmann::json params = listing();
    ASSERT_EQ(params.size(), tools::paramKeys().size());
    std::set<std::string> keys, names;
    for (const auto& p : params) names.insert(p["name"].get<std::string>());
    for (const auto& p : params) {
        const std::string key = p["key"], type = p["type"];
        const bool holdsValue = p["index"] != 0 && type != "GROUP_START" && type != "GROUP_END";
        EXPECT_EQ(!key.empty(), holdsValue) << p.dump();
        if (key.empty()) continue;
        EXPECT_TRUE(keys.insert(key).second) << "repeated key " << key;
        // A key is never some parameter's display name, so a reference reads
        // one way only.
        EXPECT_EQ(names.count(key), 0u) << key;
        EXPECT_EQ(key.find(' '), std::string::npos) << key;
        EXPECT_FALSE(p["section"].get<std::string>().empty()) << key;
    }
}

TEST(ParamKeys, ScenesSetParametersByKey) {
    const std::string path = ::testing::TempDir() + "keys_" + std::to_string(getpid()) + ".json";
    std::ofstream(path) << R"({"params": [
        {"param": "gridWidth", "value": 77},
        {"param": "shape3.sides", "value": 9},
        {"param": "mapPre2D.scaleMap.power", "value": 2.5},
        {"param": "transitionManualScale", "value": true},
        {"param": "circleRadius", "keyframes": [{"frame": 0, "value": 10}, {"frame": 4, "value": 50}]}
    ]})";
    const nlohmann::json params = listing("--scene " + path);
    std::remove(path.c_str());
    EXPECT_EQ(params[36]["value"], 77);
    EXPECT_EQ(params[170 + 2 * 47 + 13]["value"], 9);
    EXPECT_EQ(params[615]["value"], 2.5);
    EXPECT_EQ(params[137]["value"], true);
    EXPECT_EQ(params[22]["keyframes"], 2);
}

TEST(ParamKeys, NearestWordsForMistakes) {
    const std::vector<std::string>& keys = tools::paramKeys();
    struct Case {
        const char* typed;
        const char* first;
    };
    const Case cases[] = {{"gridWidht", "gridWidth"},
                          {"GRIDWIDTH", "gridWidth"},
                          {"shape1.colour", "shape1.color"},
                          {"circleRadus", "circleRadius"},
                          {"blendMode", "blendingMode"},
                          {"onoriginal", "onOriginal"},
                          {"transitionScael", "transitionScale"}};
    for (const Case& c : cases) {
        const std::vector<std::string> near = tools::closestWords(c.typed, keys);
        ASSERT_FALSE(near.empty()) << c.typed;
        EXPECT_EQ(near.front(), c.first) << c.typed;
        EXPECT_LE(near.size(), 3u);
    }
    EXPECT_TRUE(tools::closestWords("zzzzqqqq", keys).empty());
}

// The documentation names every key and every scene section, so a new one
// cannot go undocumented (scripts/docs.sh regenerates docs/parameters.md).
TEST(ParamKeys, DocumentationNamesEveryKeyAndSection) {
    auto read = [](const std::string& file) {
        std::ifstream f(std::string(VEMARO_SOURCE_DIR) + "/" + file);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    };
    const std::string params = read("docs/parameters.md"), scenes = read("docs/scenes.md");
    ASSERT_FALSE(params.empty());
    for (const std::string& key : tools::paramKeys())
        if (!key.empty()) {
            EXPECT_NE(params.find("| `" + key + "` |"), std::string::npos) << key;
        }
    for (const scene::Section& s : scene::sections())
        EXPECT_NE(scenes.find("## `" + std::string(s.name) + "`"), std::string::npos) << s.name;
}

}  // namespace
