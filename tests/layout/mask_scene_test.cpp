// Scenes declaring masks and the interpolation of keyframed streams.
#include "HostFixture.h"
#include "Masks.h"
#include "Params.h"
#include "Scene.h"
#include "Streams.h"

namespace {

class AnimationScene : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(host.get<hostsim::Params>().setup(), PF_Err_NONE);
    }
    std::string error(const std::string& text) {
        try {
            scene::Context context{host, "test.json", {}, 0};
            scene::applyText(text, context);
        } catch (const scene::Error& e) {
            return e.what();
        }
        return "";
    }
};

TEST_F(AnimationScene, MasksWithTangentsIdsAndKeyframes) {
    ASSERT_EQ(error(R"js({"masks": [
        {"vertices": [[0, 0], {"at": [100, 0], "in": [-10, 5], "out": [0, 20]}, [100, 100]], "closed": false},
        {"id": 9, "vertices": [[1, 2], [3, 4]], "keyframes": [
            {"time": 0, "vertices": [[1, 2], [3, 4]]}, {"frame": 24, "vertices": [[5, 6], [7, 8]]}]}],
      "params": [{"param": "Transition Phase", "keyframes": [{"time": 0, "value": 0}, {"time": 1, "value": 90}]}],
      "interpolation": [{"param": "Transition Phase", "mode": "hold"}]})js"),
              "");
    hostsim::Masks& masks = host.get<hostsim::Masks>();
    auto first = masks.verticesAt(1, {0, 1});
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[1].x, 100);
    EXPECT_EQ(first[1].inX, -10);
    EXPECT_EQ(first[1].outY, 20);
    auto mid = masks.verticesAt(9, {1, 2});
    ASSERT_EQ(mid.size(), 2u);
    EXPECT_EQ(mid[0].x, 3);
    EXPECT_EQ(mid[1].y, 6);

    hostsim::Streams& streams = host.get<hostsim::Streams>();
    EXPECT_TRUE(host.get<hostsim::Params>().hold(144));
    EXPECT_EQ(streams.valueAt(144, {23, 24}).v[0], 0.0);
    EXPECT_EQ(streams.valueAt(144, {24, 24}).v[0], 90.0);
}

TEST_F(AnimationScene, FlawedMasksAreNamed) {
    struct Case {
        const char* scene;
        const char* message;
    } cases[] = {
        {R"js({"masks": [{"vertices": []}]})js", "\"vertices\" must be a non-empty list"},
        {R"js({"masks": [{"vertices": [[1]]}]})js", "expected [x, y]"},
        {R"js({"masks": [{"id": 2, "vertices": [[1, 1]]}, {"id": 2, "vertices": [[1, 1]]}]})js", "already in use"},
        {R"js({"masks": [{"vertices": [[1, 1]], "keyframes": [{"time": 0, "vertices": [[1, 1], [2, 2]]}]}]})js",
         "vertex count"},
        {R"js({"masks": [{"vertices": [[1, 1]], "shape": 3}]})js", "unknown key \"shape\""},
        {R"js({"interpolation": [{"param": "Transition Phase", "mode": "cubic"}]})js", "\"hold\" or \"linear\""},
    };
    for (const Case& c : cases) {
        host.get<hostsim::Masks>().clear();
        std::string e = error(c.scene);
        EXPECT_NE(e.find(c.message), std::string::npos) << c.scene << "\n -> " << e;
    }
}

}  // namespace
