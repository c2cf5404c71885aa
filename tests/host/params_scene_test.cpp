// Scene files setting parameters, and the renderer's parameter listing.
#include "params_fixture.h"

#include "Scene.h"

#include <nlohmann/json.hpp>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

class SceneTest : public ParamsTest {
protected:
    void SetUp() override {
        ParamsTest::SetUp();
        setUpTable();
        host.nextInData().width = 1000;
        host.nextInData().height = 500;
    }
    void apply(const std::string& text) {
        scene::Context context{host, "test.json", {}, 0};
        scene::applyText(text, context);
    }
    // The message of the error the scene raises ("" when it applies).
    std::string error(const std::string& text) {
        try {
            apply(text);
        } catch (const scene::Error& e) {
            return e.what();
        }
        return "";
    }
    double at(int index, A_long time = 0, A_u_long scale = 24, int channel = 0) {
        return params.valueAt(index, {time, scale}).v[channel];
    }
};

std::string run(const std::string& args, int* status) {
    std::string out = ::testing::TempDir() + "vemaro_render_out_" + std::to_string(getpid()) + ".txt";
    std::string command = std::string(VEMARO_RENDER_PATH) + " " + args + " >" + out + " 2>&1";
    *status = std::system(command.c_str());
    std::ifstream f(out);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

TEST_F(SceneTest, SetsParametersByIndexNameGroupAndLabel) {
    apply(R"js({"comment": "every way to name a parameter", "params": [
        {"param": 12, "value": 300},
        {"param": "Pattern", "value": "Finite Grid"},
        {"param": "Blending Mode", "value": 3},
        {"param": "Size 2", "value": 40.5},
        {"param": "Rnd Hue (Pre 2D Color)", "value": -720},
        {"param": "Color Seed 3", "group": "Shape 3/Randomize Color 3", "value": [1, 2]},
        {"param": "Shape 4", "group": "Shape 4", "value": "Polygon"},
        {"param": "Manual Scale", "value": true},
        {"param": 17, "value": {"percent": [25, 10]}},
        {"param": "Color 1", "value": "#10ff80"},
        {"param": "Stroke Color 1", "value": [1, 2, 3, 4]},
        {"param": "Transition Map", "value": 7},
        {"param": "Audio Layer", "value": null},
        {"param": 76, "value": 3},
        {"param": "Priority 2", "value": "3 "}
    ]})js");
    EXPECT_EQ(at(12), 300);
    EXPECT_EQ(at(1), 7);
    EXPECT_EQ(at(686), 3);  // the separator's value: stored, though the menu cannot show it
    EXPECT_EQ(at(218), 40.5);
    EXPECT_EQ(at(628), -720);
    EXPECT_EQ(at(298, 0, 24, 0), 1);
    EXPECT_EQ(at(298, 0, 24, 1), 2);
    EXPECT_EQ(at(321), 3);
    EXPECT_EQ(at(137), 1);
    EXPECT_EQ(at(17, 0, 24, 0), 250);
    EXPECT_EQ(at(17, 0, 24, 1), 50);
    EXPECT_EQ(at(198, 0, 24, 0), 255);
    EXPECT_EQ(at(198, 0, 24, 1), 16);
    EXPECT_EQ(at(198, 0, 24, 2), 255);
    EXPECT_EQ(at(198, 0, 24, 3), 128);
    EXPECT_EQ(at(199, 0, 24, 0), 4);
    EXPECT_EQ(at(149), 7);
    EXPECT_EQ(at(73), 0);
    EXPECT_EQ(at(76), 3);
    EXPECT_EQ(at(262), 3);
    expectCleanEnd();
}

TEST_F(SceneTest, KeyframesBySecondsAndFrames) {
    host.nextInData().time_scale = 30;
    host.nextInData().time_step = 2;  // 15 frames per second
    apply(R"({"params": [
        {"param": "Transition Completion", "keyframes": [{"time": 0, "value": 0}, {"frame": 15, "value": 100}]},
        {"param": "Transition Mode", "keyframes": [{"time": 0.5, "value": "Loop"}, {"time": 2, "value": 6}]}
    ]})");
    ASSERT_EQ(params.keyframeCount(131), 2);
    EXPECT_EQ(params.keyframes(131)[1].time.value, 30);
    EXPECT_EQ(params.keyframes(131)[1].time.scale, 30u);
    EXPECT_EQ(at(131, 15, 30), 50);
    EXPECT_EQ(at(130, 59, 30), 2);
    EXPECT_EQ(at(130, 60, 30), 6);
    expectCleanEnd();
}

// Every problem names the entry and the parameter and stops the scene.
TEST_F(SceneTest, ProblemsAreClearErrorsNamingTheParameter) {
    struct Case {
        const char* scene;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {R"({"params": [{"param": "Nope", "value": 1}]})", {"params[0]", "no parameter is named \"Nope\""}},
        {R"({"params": [{"param": "Number", "value": 1}]})",
         {"ambiguous",
          "\"pointNumber\", \"lineSegmentNumber\", \"circleNumber\", \"rectangleNumber\", \"pathNumber\", "
          "\"graphNumber\""}},
        {R"({"params": [{"param": "Size 1", "group": "Shape 2", "value": 1}]})", {"in group \"Shape 2\""}},
        {R"({"params": [{"param": 688, "value": 1}]})", {"no parameter has index 688"}},
        {R"({"params": [{"param": 12, "value": 20000}]})",
         {"\"Width\" (index 12, key \"lineWidth\")", "value 20000 outside the valid range 4 .. 10000"}},
        {R"({"params": [{"param": "Delta", "value": 0}]})",
         {"\"Delta\" (index 104, key \"graphDelta\")", "outside the valid range"}},
        {R"({"params": [{"param": "Pattern", "value": true}]})",
         {"\"Pattern\" (index 1, key \"pattern\")", "must be a number"}},
        {R"({"params": [{"param": "Pattern", "value": "Hexagon"}]})", {"\"Hexagon\" is not one of its items"}},
        {R"({"params": [{"param": "Blending Mode", "value": "(-"}]})", {"is not one of its items"}},
        {R"({"params": [{"param": "Pattern", "value": 13}]})", {"from 1 to 12"}},
        {R"({"params": [{"param": 15, "value": 2.5}]})",
         {"\"Number\" (index 15, key \"lineSegmentNumber\")", "integer"}},
        {R"({"params": [{"param": "Invert", "value": 1}]})", {"true or false"}},
        {R"({"params": [{"param": "Color 1", "value": [256, 0, 0]}]})", {"0 to 255"}},
        {R"({"params": [{"param": "Center", "group": "", "value": [1]}]})", {"ambiguous"}},
        {R"({"params": [{"param": 11, "value": [1]}]})", {"\"Center\" (index 11, key \"lineCenter\")", "[x, y]"}},
        {R"({"params": [{"param": "Pattern", "keyframes": [{"time": 0, "value": 1}]}]})", {"cannot be animated"}},
        {R"({"params": [{"param": 72, "value": 1}]})", {"(index 72)", "GROUP_END holds no value"}},
        {R"({"params": [{"param": 0, "value": 1}]})", {"input layer"}},
        {R"({"params": [{"param": 12, "value": 20, "keyframes": []}]})", {"either \"value\" or \"keyframes\""}},
        {R"({"params": [{"param": 12, "vaule": 20}]})", {"unknown key \"vaule\""}},
        {R"({"params": [{"param": 12, "keyframes": [{"time": 1, "value": 20}, {"time": 1, "value": 30}]}]})",
         {"keyframe 2", "increasing time"}},
        {R"({"params": [{"param": 12, "keyframes": [{"time": 1, "frame": 2, "value": 20}]}]})", {"exactly one of"}},
        {R"({"params": [{"param": 12, "keyframes": [{"time": 0, "value": 20}, {"time": 1, "value": 1}]}]})",
         {"\"Width\" (index 12, key \"lineWidth\") keyframe 2", "outside the valid range"}},
        {R"({"params": [{"param": "Audio Layer", "value": "Music"}]})", {"no layer is named \"Music\""}},
        // Numbers beyond what the host's types hold are refused, not wrapped.
        {R"({"params": [{"param": 12, "keyframes": [{"frame": 0, "value": 20}, {"frame": 4294967320, "value": 30}]}]})",
         {"\"Width\" (index 12", "keyframe 2: \"frame\" is out of range"}},
        {R"({"params": [{"param": 12, "keyframes": [{"frame": 18446744073709551615, "value": 20}]}]})",
         {"keyframe 1", "\"frame\" is out of range"}},
        {R"({"params": [{"param": 12, "keyframes": [{"frame": -9223372036854775808, "value": 20}]}]})",
         {"keyframe 1", "\"frame\" is out of range"}},
        {R"({"params": [{"param": 12, "keyframes": [{"frame": 2000000001, "value": 20}]}]})",
         {"keyframe 1", "\"frame\" is out of range"}},
        {R"({"params": [{"param": 73, "value": 4294967297}]})",
         {"\"Audio Layer\" (index 73", "id must be an integer from 0 to 2147483647"}},
        {R"({"params": [{"param": 73, "value": 2147483648}]})", {"(index 73", "from 0 to 2147483647"}},
        {R"({"params": [{"param": 56, "value": 4294967297}]})",
         {"\"Path\" (index 56", "id must be an integer from 0 to 2147483647"}},
        {R"({"params": [{"param": 56, "value": -1}]})", {"(index 56", "from 0 to 2147483647"}},
        {R"({"params": [{"param": 56, "value": 1e300}]})", {"(index 56", "from 0 to 2147483647"}},
        {R"({"params": [{"param": "Expression", "value": {"texts": ["t", "t", "t"]}}]})",
         {"\"Expression\" (index 83, key \"graphExpression\")", "does not split into 3 text fields"}},
        {R"({"params": {"Width": 3}})", {"must be a list"}},
        {R"({"layers": []})", {"unknown section \"layers\""}},
        {R"({"params": [)", {"not valid JSON"}},
        {R"({"params": [{"param": 12, "value": 1e400}]})", {"not valid JSON", "number overflow", "1e400"}},
    };
    for (const Case& c : cases) {
        std::string message = error(c.scene);
        EXPECT_NE(message, "") << c.scene;
        EXPECT_EQ(message.rfind("test.json: ", 0), 0u) << message;
        for (const std::string& e : c.expected) EXPECT_NE(message.find(e), std::string::npos) << message;
    }
    // Nothing of a refused value was applied, and nothing leaked.
    EXPECT_EQ(at(12), 150);
    expectCleanEnd();
}

// Arbitrary data: texts fill equal fields of the default record, or raw
// bytes are given in hex; the handles stay the host's.
TEST_F(SceneTest, ArbitraryDataFromTextsOrBytes) {
    PF_Handle dephault = params.definition(83).u.arb_d.dephault;
    if (!dephault) {
        // Without a default record the size of the fields is unknown.
        EXPECT_NE(error(R"({"params": [{"param": 83, "value": {"texts": ["t", "t"]}}]})").find("does not split"),
                  std::string::npos);
    } else {
        apply(R"({"params": [{"param": "Expression", "value": {"texts": ["t * w", "h"]}}]})");
        PF_Handle v = params.valueAt(83, {0, 1}).data;
        ASSERT_EQ(host.handles().size(v), host.handles().size(dephault));
        const std::size_t field = host.handles().size(v) / 2;
        EXPECT_STREQ(static_cast<const char*>(*v), "t * w");
        EXPECT_STREQ(static_cast<const char*>(*v) + field, "h");
    }
    apply(R"({"params": [{"param": 83, "value": {"hex": "41420043"}}]})");
    PF_Handle v = params.valueAt(83, {0, 1}).data;
    ASSERT_EQ(host.handles().size(v), 4u);
    EXPECT_EQ(std::memcmp(*v, "AB\0C", 4), 0);
    EXPECT_NE(error(R"({"params": [{"param": 83, "value": {"hex": "4G"}}]})"), "");
    expectCleanEnd();
}

// The largest frame and ids the host's types hold still arrive unchanged
// (the step between frames is 1 in 24).
TEST_F(SceneTest, FramesAndIdsAtTheEndsOfTheHostTypesAreKept) {
    apply(R"({"params": [
        {"param": 12, "keyframes": [{"frame": -2000000000, "value": 20}, {"frame": 2000000000, "value": 30}]},
        {"param": 73, "value": 2147483647}, {"param": 56, "value": 2147483647}]})");
    const std::vector<hostsim::Keyframe>& keys = params.keyframes(12);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].time.value, -2000000000);
    EXPECT_EQ(keys[1].time.value, 2000000000);
    EXPECT_EQ(keys[1].time.scale, 24u);
    EXPECT_EQ(at(73), 2147483647.0);
    EXPECT_EQ(at(56), 2147483647.0);
    expectCleanEnd();
}

TEST_F(SceneTest, LayerNamesResolveThroughTheLayerSection) {
    scene::Context context{host, "test.json",
                           [](const std::string& name, int& id) {
                               id = name == "Music" ? 5 : 0;
                               return id != 0;
                           },
                           0};
    scene::applyText(R"({"params": [{"param": "Audio Layer", "value": "Music"}]})", context);
    EXPECT_EQ(at(73), 5);
    EXPECT_EQ(context.paramsSet, 1);
    expectCleanEnd();
}

// The renderer lists what the module registered, and applies scenes.
TEST(Renderer, ListsParametersAndAppliesScenes) {
    int status = 0;
    std::string out = run("--list-params --json", &status);
    ASSERT_EQ(status, 0) << out;
    nlohmann::json list = nlohmann::json::parse(out);
    ASSERT_EQ(list.size(), 688u);
    EXPECT_EQ(list[65]["name"], "Offset");
    EXPECT_EQ(list[65]["disk_id"], 62);
    EXPECT_EQ(list[215]["items"][7], "8 ");
    EXPECT_EQ(list[135]["label"], "Manual Offset");
    EXPECT_EQ(list[104]["precision"], 5);
    EXPECT_EQ(list[16]["default"]["percent"], nlohmann::json::array({10.0, 50.0}));

    out = run("--list-params", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Randomoize Shape"), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 689);

    const std::string scene = ::testing::TempDir() + "vemaro_scene_" + std::to_string(getpid()) + ".json";
    std::ofstream(scene) << R"({"params": [{"param": "Sides 3", "value": 5}, {"param": "Width", "value": 1}]})";
    out = run("--scene " + scene, &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("params[1]"), std::string::npos) << out;
    EXPECT_NE(out.find("ambiguous"), std::string::npos) << out;

    std::ofstream(scene) << R"({"params": [{"param": "Sides 3", "value": 5}]})";
    out = run("--scene " + scene + " --list-params --json", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(nlohmann::json::parse(out)[170 + 94 + 13]["value"], 5);
}
