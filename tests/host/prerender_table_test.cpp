// Pre-render end to end: the effect's own parameter table and values set the
// way a user sets them (scene files), through the simulated host.
#include "Comp.h"
#include "HostFixture.h"
#include "Parameters.h"
#include "Params.h"
#include "Scene.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class PreRenderTableTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        ASSERT_EQ(host.sequenceSetup(), PF_Err_NONE);
    }
    void TearDown() override {
        EXPECT_EQ(params.outstandingCheckouts(), 0);
        endInstance();
        EXPECT_TRUE(host.unloadLeaks().empty()) << joinLines(host.unloadLeaks());
        HostFixture::TearDown();
    }
    void apply(const std::string& json) {
        scene::Context context{host, "test.json", {}, 0};
        scene::applyText(json, context);
    }
    // Pre-render at a frame; the record copied out and the data handed back.
    Parameters render(long frame, hostsim::PreRenderCall* out = nullptr) {
        comp.setFrame(frame);
        hostsim::PreRenderCall call = comp.preRender();
        EXPECT_EQ(call.err, PF_Err_NONE);
        Parameters p{};
        if (PF_Handle h = static_cast<PF_Handle>(call.output.pre_render_data)) {
            std::memcpy(static_cast<void*>(&p), host.handles().lock(h), sizeof p);
            host.handles().unlock(h);
        }
        if (out) *out = call;
        comp.releasePreRenderData(call);
        return p;
    }

    hostsim::Params& params = host.get<hostsim::Params>();
    hostsim::Comp& comp = host.get<hostsim::Comp>();
};

TEST_F(PreRenderTableTest, DefaultsOfAFreshInstance) {
    Parameters p = render(0);
    EXPECT_EQ(p.pattern, 6);  // Grid
    EXPECT_EQ(p.gridCenter, Vector(320, 180));
    EXPECT_DOUBLE_EQ(p.gridWidth, 150);
    EXPECT_DOUBLE_EQ(p.gridHeight, 100);
    EXPECT_EQ(p.gridOrder, 3);
    EXPECT_EQ(p.repeaterX, Vector(640, 0));
    EXPECT_EQ(p.repeaterY, Vector(0, 360));
    EXPECT_DOUBLE_EQ(p.transitionDelay, 0.1);
    EXPECT_EQ(p.transitionEasing.type, 1);
    EXPECT_EQ(p.transitionEasing.mode, 3);
    EXPECT_EQ(p.shapeNumber, 1);
    EXPECT_EQ(p.shapes[0].type, 2);
    EXPECT_EQ(p.shapes[0].color, (Color{1, 1, 0, 0}));
    EXPECT_EQ(p.shapes[0].strokeColor, (Color{1, 1, 1, 1}));
    EXPECT_DOUBLE_EQ(p.shapes[0].size, 100);
    EXPECT_EQ(p.shapeWeights[0], 1);
    EXPECT_EQ(p.shapeWeightTotal, 1);
    EXPECT_DOUBLE_EQ(p.map1D.phaseMap.white, 2 * 3.141592653589793);
    EXPECT_EQ(p.mapPre2D.shapeMap.wrap, 3);
    EXPECT_EQ(p.map1D.shapeMap.wrap, 0);
    EXPECT_EQ(p.blendingMode, 1);
    EXPECT_EQ(p.shapes[1].type, 0);
}

TEST_F(PreRenderTableTest, SceneAtHalfResolution) {
    comp.effectLayer().width = 1920;
    comp.effectLayer().height = 1080;
    comp.setDownsample({1, 2}, {1, 2});
    apply(R"({"params": [
        {"param": "Pattern", "value": "Line"},
        {"param": 11, "value": [960, 540]},
        {"param": 12, "value": 150},
        {"param": 13, "value": 450},
        {"param": "Displacement Seed", "value": [20.52, -2.52]},
        {"param": "Shape Number", "value": 2},
        {"param": "Shape 2", "group": "Shape 2", "value": "Input"},
        {"param": "Frame Offset 2", "value": -3},
        {"param": "Clamp Frame 2", "value": true},
        {"param": "Layer Center 1", "value": [0, 0]},
        {"param": "Global Shape Hue", "value": 370},
        {"param": "Transition Scale", "keyframes": [{"frame": 0, "value": 0}, {"frame": 24, "value": 50}]}
    ]})");
    hostsim::PreRenderCall call;
    Parameters p = render(12, &call);
    EXPECT_EQ(p.pattern, 2);
    EXPECT_EQ(p.lineCenter, Vector(480, 270));  // the host delivers points downsampled
    EXPECT_DOUBLE_EQ(p.lineWidth, 75);
    EXPECT_DOUBLE_EQ(p.lineRotation, 7.853981633974483);
    EXPECT_NEAR(p.displacementSeed.x, 20.5, 1e-9);  // back at full resolution
    EXPECT_NEAR(p.displacementSeed.y, -2.4, 1e-9);
    EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.x, -480);
    EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.y, -270);
    EXPECT_NEAR(p.shapes[0].color.green, 1.0f / 6.0f, 1e-5);  // red turned to hue 10
    EXPECT_NEAR(p.transitionScale, 0.25, 1e-9);               // halfway between its keyframes
    EXPECT_EQ(p.gridWidth, 0);                                // another pattern's block
    EXPECT_EQ(p.shapes[1].boundingBox, 1);

    // Frame 12 minus 3; the input request covers the whole half-size layer.
    ASSERT_EQ(call.checkouts.size(), 2u);
    EXPECT_EQ(call.checkouts[1].id, 2);
    EXPECT_EQ(call.checkouts[1].time, 9);
    EXPECT_EQ(call.checkouts[0].request.rect.right, 960);
    EXPECT_EQ(call.checkouts[0].request.rect.bottom, 540);

    p = render(1, &call);
    EXPECT_EQ(call.checkouts[1].time, 0);  // clamped to the first frame
}

TEST_F(PreRenderTableTest, CompositionSectionOfAScene) {
    apply(R"({"composition": {"downsample": [2, 2], "frameDuration": [1, 25],
                "effectLayer": {"width": 1920, "height": 1080, "type": "text", "content": [600, 500, 1300, 580]},
                "layers": [{"name": "logo", "width": 300, "height": 200}]},
              "params": [{"param": "Shape 1", "group": "Shape 1", "value": "Input"},
                         {"param": "Layer 2", "value": "logo"}]})");
    const PF_InData& in = host.nextInData();
    EXPECT_EQ(in.width, 1920);
    EXPECT_EQ(in.time_scale, 25u);
    EXPECT_EQ(in.downsample_x.den, 2u);
    EXPECT_EQ(params.valueAt(189 + 47, {0, 25}).v[0], comp.layer(2).id);  // "logo" by name

    hostsim::PreRenderCall call;
    Parameters p = render(0, &call);
    EXPECT_EQ(p.shapes[0].boundingBox, 0);  // on a text layer the user's choice stays
    // The glyphs at half size, grown to the whole half-size layer.
    ASSERT_EQ(call.checkouts.size(), 1u);
    EXPECT_EQ(call.checkouts[0].result.result_rect.left, 300);
    EXPECT_EQ(call.output.result_rect.left, 0);
    EXPECT_EQ(call.output.result_rect.right, 960);
    EXPECT_EQ(call.output.result_rect.bottom, 540);

    for (const char* bad : {R"({"composition": {"downsample": [0, 2]}})", R"({"composition": {"fps": 3}})",
                            R"({"composition": {"layers": [{"type": "sound"}]}})"})
        EXPECT_THROW(apply(bad), scene::Error) << bad;
}

}  // namespace
