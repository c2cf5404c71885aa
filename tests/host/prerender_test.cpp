// Pre-render driven through the simulated host: which parameters it checks
// out and in, the record it hands over, the input frames it requests, the
// rectangles it reports, and what each failure leaves behind.
#include "prerender_fixture.h"

#include "ParametersFields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <type_traits>

namespace {

void range(std::vector<int>& v, int from, int to) {
    for (int i = from; i <= to; ++i) v.push_back(i);
}

// The checkouts of one frame, in order, written out from the parameter table.
std::vector<int> expectedCheckouts(int pattern, int shapes) {
    std::vector<int> v{1};
    switch (pattern) {
        case 1: range(v, 2, 10); break;
        case 2: range(v, 11, 14); break;
        case 3: range(v, 15, 19); break;
        case 4: range(v, 20, 24); break;
        case 5: range(v, 25, 33); break;
        case 6: range(v, 34, 41); break;
        case 7: range(v, 42, 49); break;
        case 8: range(v, 50, 55); break;
        case 9:
            range(v, 56, 66);
            range(v, 68, 71);
            break;
        case 10: range(v, 74, 82); break;
        case 11:
            range(v, 85, 94);
            range(v, 96, 104);
            break;
        case 12: range(v, 105, 115); break;
        default: break;
    }
    range(v, 116, 118);
    v.push_back(120);
    range(v, 122, 127);
    range(v, 130, 148);
    range(v, 150, 155);
    range(v, 158, 162);
    range(v, 165, 167);
    v.push_back(169);
    range(v, 554, 556);
    for (int i = 0; i < shapes; ++i) {
        const int b = 170 + 47 * i;
        range(v, b + 1, b + 18);
        range(v, b + 20, b + 29);
        range(v, b + 31, b + 34);
        range(v, b + 36, b + 45);
    }
    range(v, 547, 552);
    for (int i : {561, 562}) v.push_back(i);
    range(v, 567, 573);
    range(v, 579, 582);
    range(v, 584, 587);
    range(v, 589, 591);
    range(v, 596, 599);
    range(v, 605, 607);
    range(v, 611, 618);
    range(v, 622, 626);
    range(v, 628, 631);
    range(v, 633, 635);
    range(v, 639, 643);
    range(v, 649, 650);
    range(v, 654, 660);
    range(v, 664, 667);
    range(v, 669, 672);
    range(v, 674, 676);
    range(v, 680, 683);
    v.push_back(686);
    v.push_back(687);
    return v;
}

TEST_F(PreRenderTest, ChecksOutEachPatternsParametersInOrderAndChecksThemIn) {
    for (int pattern = 0; pattern <= 13; ++pattern) {
        for (int shapes : {1, 3, 8}) {
            params.checkouts.clear();
            params.checkins.clear();
            params.popup(1, pattern);
            params.popup(169, shapes);
            for (int i = 0; i < shapes; ++i) setShape(i, 2);
            hostsim::PreRenderCall& call = run();
            ASSERT_EQ(call.err, PF_Err_NONE);
            const std::vector<int> expected = expectedCheckouts(pattern, shapes);
            EXPECT_EQ(params.checkouts, expected) << "pattern " << pattern << ", shapes " << shapes;
            EXPECT_EQ(params.checkins, expected);
            for (A_long t : params.checkoutTimes) EXPECT_EQ(t, host.inData().current_time);
            params.checkoutTimes.clear();
        }
    }
}

// The pattern block a field belongs to, 0 for the common fields.
int blockOf(const std::string& name) {
    auto starts = [&](const char* p) { return name.rfind(p, 0) == 0; };
    if (starts("lineSegment")) return 3;
    if (starts("line")) return 2;
    if (starts("point")) return 1;
    if (starts("circle")) return 4;
    if (starts("rectangle")) return 5;
    if (starts("grid")) return 6;
    if (starts("finiteGrid")) return 7;
    if (starts("triangularGrid")) return 8;
    if (starts("path")) return 9;
    if (starts("waveform")) return 10;
    if (starts("graph")) return 11;
    if (starts("random") && !starts("randomize")) return 12;
    return 0;
}

bool isZero(int32_t v) { return v == 0; }
bool isZero(uint8_t v) { return v == 0; }
bool isZero(double v) { return v == 0.0; }
bool isZero(const Vector& v) { return v.x == 0.0 && v.y == 0.0; }
bool isZero(const Color& c) { return c.alpha == 0 && c.red == 0 && c.green == 0 && c.blue == 0; }
bool isZero(const Easing& e) { return e.type == 0 && e.mode == 0; }
bool isZero(const PF_LayerDef* p) { return p == nullptr; }
bool isZero(const PF_LRect& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }
bool isZero(const A_Time& t) { return t.value == 0 && t.scale == 0; }

// Fields that pre-render leaves zero: the smart render's, and the wraps that
// have no parameter.
bool leftForRender(const std::string& name) {
    auto ends = [&](const std::string& s) {
        return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
    };
    // The 1D and post-2D groups have no wrap popups.
    if ((name.rfind("map1D.", 0) == 0 || name.rfind("mapPost2D.", 0) == 0) && ends(".wrap")) return true;
    return ends(".layer") || ends("layerRect") || ends("layerInFrame") || ends("layerOutFrame") ||
           name == "displacementMap" || name == "transitionMap" || name == "frameDuration";
}

bool isHlsTriple(const std::string& name) {
    for (const char* s : {"transitionColor", "randomizeColor", ".adjust", ".randomize"})
        if (name.find(s) != std::string::npos) return true;
    return false;
}

TEST_F(PreRenderTest, WritesTheSelectedBlockAndLeavesEveryOtherZero) {
    params.fill = 0x41;  // every parameter not set below reads non-zero
    for (int pattern = 1; pattern <= 12; ++pattern) {
        params.popup(1, pattern);
        params.popup(169, 3);
        for (int i = 0; i < 3; ++i) setShape(i, 1 + i, 1, true);  // no Input shape
        Parameters p = record(run());
        visitFields(p, [&](const std::string& name, const auto& value) {
            const int block = blockOf(name);
            const bool inactiveShape = name.rfind("shapes[", 0) == 0 && name[7] >= '3';
            const bool weight = name.rfind("shapeWeights[", 0) == 0 && name[13] >= '3';
            if ((block != 0 && block != pattern) || inactiveShape || weight) {
                EXPECT_TRUE(isZero(value)) << name << " with pattern " << pattern;
            } else if (leftForRender(name)) {
                EXPECT_TRUE(isZero(value)) << name << " written by pre-render";
            } else if (isHlsTriple(name)) {
                if constexpr (std::is_same<std::decay_t<decltype(value)>, Color>::value) {
                    EXPECT_EQ(value.alpha, 0.0f) << name;  // the unused slot
                    EXPECT_TRUE(value.red != 0 && value.green != 0 && value.blue != 0) << name;
                }
            } else if (name != "queueByPriority") {
                EXPECT_FALSE(isZero(value)) << name << " not written with pattern " << pattern;
            }
        });
    }
}

TEST_F(PreRenderTest, ConvertsValuesAtTheCurrentDownsample) {
    comp.effectLayer().width = 1920;
    comp.effectLayer().height = 1080;
    comp.setDownsample({1, 2}, {1, 3});
    params.popup(1, 6);
    params.floatSlider(36, 90);                     // Grid Width: x factor
    params.floatSlider(37, 90);                     // Grid Height: y factor
    params.floatSlider(126, 90);                    // Displacement Y: x factor
    params.point(127, 10.26, -1.26);                // Displacement Seed
    params.angle(147, 450);                         // Transition Order Offset, turns
    params.angle(40, 450);                          // Grid Rotation, radians
    params.point(shapeIndex(0, 15), 0, 0);          // Layer Center
    params.color(shapeIndex(0, 28), 0, 255, 0, 0);  // alpha 0 in the host colour
    params.color(shapeIndex(0, 25), 0, 255, 255, 255);
    params.popup(shapeIndex(0, 39), 0x103);  // Fill/Stroke: the low byte
    params.floatSlider(547, 100);
    params.angle(548, 370);  // Global Shape Hue
    params.floatSlider(549, 100);
    params.floatSlider(550, 100);
    params.floatSlider(551, 100);
    params.popup(169, 9);  // out of range: only eight shapes exist
    for (int i = 0; i < 8; ++i) setShape(i, 2);

    Parameters p = record(run());
    EXPECT_DOUBLE_EQ(p.gridWidth, 45);
    EXPECT_DOUBLE_EQ(p.gridHeight, 30);
    EXPECT_DOUBLE_EQ(p.displacementY, 45);
    EXPECT_NEAR(p.displacementSeed.x, 20.5, 1e-12);
    EXPECT_NEAR(p.displacementSeed.y, -3.7, 1e-12);
    EXPECT_DOUBLE_EQ(p.transitionOrderOffset, 1.25);
    EXPECT_DOUBLE_EQ(p.gridRotation, 7.853981633974483);
    EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.x, -480);
    EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.y, -180);
    EXPECT_EQ(p.shapes[0].color.alpha, 1.0f);
    EXPECT_EQ(p.shapes[0].highlight.alpha, 0.0f);
    EXPECT_EQ(p.shapes[0].fillStroke, 3);
    // Red turned by 370 degrees: hue 10.
    EXPECT_NEAR(p.shapes[0].color.red, 1.0f, 1e-6);
    EXPECT_NEAR(p.shapes[0].color.green, 1.0f / 6.0f, 1e-5);
    EXPECT_NEAR(p.shapes[0].color.blue, 0.0f, 1e-6);
    EXPECT_EQ(p.shapeNumber, 8);
    EXPECT_EQ(p.shapeWeightTotal, 8);
}

TEST_F(PreRenderTest, LayerCentreAtHalfResolution) {
    comp.effectLayer().width = 1920;
    comp.effectLayer().height = 1080;
    for (PF_RationalScale ds : {PF_RationalScale{1, 1}, PF_RationalScale{1, 2}}) {
        comp.setDownsample(ds, ds);
        params.point(shapeIndex(0, 15), 0, 0);
        Parameters p = record(run());
        EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.x, -960.0 * ds.num / ds.den);
        EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.y, -540.0 * ds.num / ds.den);
    }
}

struct OffsetCase {
    long frame;
    int offset;
    bool clamp;
    A_long expectedTime;  // in time steps of 1/24 s (time_step 1)
};

TEST_F(PreRenderTest, OffsetFramesOfInputShapes) {
    // A 10 s layer at 24 fps: frames 0-239, total_time 240.
    const OffsetCase cases[] = {
        {0, -3, true, 0},                           // before the first frame: clamped to it
        {0, -3, false, -3},   {239, 5, true, 239},  // past the last frame: total_time - time_step
        {239, 5, false, 244}, {100, 7, true, 107},
    };
    for (const OffsetCase& c : cases) {
        comp.setFrame(c.frame);
        params.popup(169, 2);
        setShape(0, 2);
        setShape(1, 4, c.offset, c.clamp);
        hostsim::PreRenderCall& call = run();
        ASSERT_EQ(call.err, PF_Err_NONE);
        ASSERT_EQ(call.checkouts.size(), 2u);
        EXPECT_EQ(call.checkouts[0].id, 0);
        EXPECT_EQ(call.checkouts[0].time, c.frame);
        EXPECT_EQ(call.checkouts[1].id, 2);  // shape 1: id 2; no checkout uses id 1
        EXPECT_EQ(call.checkouts[1].time, c.expectedTime) << c.frame << " " << c.offset;
        EXPECT_EQ(call.checkouts[1].timeStep, 1);
        EXPECT_EQ(call.checkouts[1].timeScale, 24u);
        // The frames the smart render will fetch by these ids.
        EXPECT_EQ(comp.checkedOutFrame(call, 0)->at<PF_Pixel>(0, 0).red, c.frame);
        EXPECT_EQ(comp.checkedOutFrame(call, 2)->at<PF_Pixel>(0, 0).red, (c.expectedTime + 256) % 256);
        EXPECT_EQ(comp.checkedOutFrame(call, 1), nullptr);
    }
    // Frame Offset 0 asks for nothing more, whatever the shape kind.
    for (int type = 1; type <= 5; ++type) {
        setShape(1, type, 0, true);
        EXPECT_EQ(run().checkouts.size(), 1u);
    }
    // Only Input shapes have offset frames.
    setShape(1, 5, 4, false);
    EXPECT_EQ(run().checkouts.size(), 1u);
}

TEST_F(PreRenderTest, OffsetFrameTimesDoNotWrap) {
    // A time step of 100000 units: offsets of tens of thousands of frames
    // leave 32 bits.
    comp.setFrameDuration({100000, 2400000});  // 24 fps
    comp.setFrame(10);
    const A_long now = 10 * 100000;
    const A_long last = 240 * 100000 - 100000;
    struct Case {
        int offset;
        bool clamp;
        A_long expected;
    } cases[] = {
        {-30000, true, 0},  // wraps to a large positive time in 32 bits
        {30000, true, last}, {30000, false, INT32_MAX}, {-30000, false, INT32_MIN}, {5, false, now + 500000},
    };
    for (const Case& c : cases) {
        params.popup(169, 1);
        setShape(0, 4, c.offset, c.clamp);
        hostsim::PreRenderCall& call = run();
        ASSERT_EQ(call.checkouts.size(), 2u);
        EXPECT_EQ(call.checkouts[1].time, c.expected) << c.offset << (c.clamp ? " clamped" : "");
    }
}

TEST_F(PreRenderTest, RequestFlagsAndTheWholeLayerForInputShapes) {
    comp.effectLayer().width = 1920;
    comp.effectLayer().height = 1080;
    comp.setDownsample({1, 2}, {1, 2});
    PF_RenderRequest req{};
    req.rect = {10, 20, 100, 120};
    req.channel_mask = PF_ChannelMask_ARGB;

    hostsim::PreRenderCall& plain = run(&req);
    ASSERT_EQ(plain.err, PF_Err_NONE);
    ASSERT_EQ(plain.checkouts.size(), 1u);
    EXPECT_TRUE(plain.checkouts[0].request.preserve_rgb_of_zero_alpha);
    EXPECT_EQ(plain.checkouts[0].request.rect.left, 10);
    EXPECT_EQ(plain.checkouts[0].request.rect.right, 100);
    EXPECT_EQ(plain.checkouts[0].request.channel_mask, PF_ChannelMask_ARGB);
    EXPECT_EQ(plain.output.flags & PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS, 0);
    EXPECT_EQ(plain.output.result_rect.left, 10);
    EXPECT_EQ(plain.output.result_rect.bottom, 120);
    EXPECT_EQ(plain.output.max_result_rect.right, 960);

    // An Input shape (even on footage) widens the request to the whole layer.
    setShape(0, 4, 2);
    hostsim::PreRenderCall& input = run(&req);
    ASSERT_EQ(input.err, PF_Err_NONE);
    ASSERT_EQ(input.checkouts.size(), 2u);
    for (const hostsim::LayerCheckout& c : input.checkouts) {
        EXPECT_TRUE(c.request.preserve_rgb_of_zero_alpha);
        EXPECT_EQ(c.request.rect.left, 0);
        EXPECT_EQ(c.request.rect.top, 0);
        EXPECT_EQ(c.request.rect.right, 960);
        EXPECT_EQ(c.request.rect.bottom, 540);
    }
    EXPECT_NE(input.output.flags & PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS, 0);
    EXPECT_EQ(input.output.result_rect.right, 960);
}

TEST_F(PreRenderTest, RectanglesDescribeTheCurrentFrame) {
    // The layer's visible pixels move over time: the offset frame's bounds
    // must not replace the current frame's.
    hostsim::Comp::Layer& l = comp.effectLayer();
    l.contentByFrame = [](long frame) { return frame == 10 ? PF_LRect{100, 100, 200, 200} : PF_LRect{0, 0, 50, 50}; };
    comp.setFrame(10);
    setShape(0, 4, 3);
    hostsim::PreRenderCall& call = run();
    ASSERT_EQ(call.err, PF_Err_NONE);
    ASSERT_EQ(call.checkouts.size(), 2u);
    EXPECT_EQ(call.checkouts[1].result.result_rect.right, 50);
    EXPECT_EQ(call.output.result_rect.left, 100);
    EXPECT_EQ(call.output.result_rect.right, 200);
    EXPECT_EQ(call.output.max_result_rect.left, 100);
    EXPECT_EQ(call.output.max_result_rect.bottom, 200);
}

TEST_F(PreRenderTest, TextAndShapeLayers) {
    hostsim::Comp::Layer& text = comp.addLayer(800, 600, AEGP_ObjectType_TEXT);
    text.content = {300, 250, 500, 350};  // the glyphs
    comp.setEffectLayer(text.id);
    params.popup(169, 3);
    setShape(0, 4);  // Input, Bounding Box off
    setShape(1, 5);  // Layer, Bounding Box off
    setShape(2, 2);
    params.checkbox(shapeIndex(0, 16), false);
    params.checkbox(shapeIndex(1, 16), false);
    params.checkbox(shapeIndex(2, 16), false);

    hostsim::PreRenderCall& call = run();
    ASSERT_EQ(call.err, PF_Err_NONE);
    Parameters p = record(call);
    EXPECT_EQ(p.shapes[0].boundingBox, 0);  // text layer: the user's choice stays
    EXPECT_EQ(p.shapes[1].boundingBox, 1);  // Layer shapes always
    EXPECT_EQ(p.shapes[2].boundingBox, 0);
    // The glyphs' bounds grow to the whole layer, and the max rectangle with them.
    EXPECT_EQ(call.output.result_rect.left, 0);
    EXPECT_EQ(call.output.result_rect.top, 0);
    EXPECT_EQ(call.output.result_rect.right, 800);
    EXPECT_EQ(call.output.result_rect.bottom, 600);
    EXPECT_EQ(call.output.max_result_rect.right, 800);
    EXPECT_NE(call.output.flags & PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS, 0);

    // An empty text layer: nothing to grow, the flag only from the Input shape.
    text.content = {0, 0, 0, 0};
    params.popup(169, 1);
    setShape(0, 2);
    hostsim::PreRenderCall& empty = run();
    ASSERT_EQ(empty.err, PF_Err_NONE);
    EXPECT_EQ(empty.output.result_rect.right, 0);
    EXPECT_EQ(empty.output.flags & PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS, 0);

    // On a shape layer as on a text layer; on a solid the Input shape's box is forced.
    hostsim::Comp::Layer& vector = comp.addLayer(800, 600, AEGP_ObjectType_VECTOR);
    comp.setEffectLayer(vector.id);
    setShape(0, 4);
    params.checkbox(shapeIndex(0, 16), false);
    EXPECT_EQ(record(run()).shapes[0].boundingBox, 0);
    hostsim::Comp::Layer& solid = comp.addLayer(800, 600, AEGP_ObjectType_AV);
    comp.setEffectLayer(solid.id);
    EXPECT_EQ(record(run()).shapes[0].boundingBox, 1);
}

// ---------------------------------------------------------------- failures

class PreRenderFailureTest : public PreRenderTest {
protected:
    void expectNothingLeft(const hostsim::PreRenderCall& call) {
        EXPECT_EQ(call.output.pre_render_data, nullptr);
        EXPECT_EQ(host.handles().lockedNow(), 0);
        EXPECT_EQ(host.handles().live(), baseline);
        EXPECT_EQ(params.outstanding(), 0);
        EXPECT_EQ(call.output.result_rect.right, 0);
        EXPECT_EQ(call.output.max_result_rect.right, 0);
    }
    int baseline = 0;
    void SetUp() override {
        PreRenderTest::SetUp();
        baseline = host.handles().live();
    }
};

TEST_F(PreRenderFailureTest, NoMemoryForTheRecord) {
    host.handles().failAllocations(1);
    hostsim::PreRenderCall& call = run();
    EXPECT_EQ(call.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(params.checkouts.empty());
    EXPECT_TRUE(call.checkouts.empty());
    expectNothingLeft(call);
}

TEST_F(PreRenderFailureTest, RecordCannotBeLocked) {
    host.handles().failLocks(1);
    hostsim::PreRenderCall& call = run();
    EXPECT_EQ(call.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(params.checkouts.empty());
    expectNothingLeft(call);  // the unlockable handle is given back too
}

TEST_F(PreRenderFailureTest, ParameterCheckoutFails) {
    // Grid: the eighth checkout is parameter 40 (Rotation).
    params.popup(1, 6);
    host.faults().failCall("checkout_param", 8, 9);
    hostsim::PreRenderCall& call = run();
    EXPECT_EQ(call.err, 9);
    EXPECT_EQ(params.checkouts.back(), 39);  // nothing after the failure
    EXPECT_EQ(params.checkins, params.checkouts);
    EXPECT_TRUE(call.checkouts.empty());
    expectNothingLeft(call);
}

TEST_F(PreRenderFailureTest, ParameterCheckInFails) {
    host.faults().failCall("checkin_param", 3, 11);
    hostsim::PreRenderCall& call = run();
    EXPECT_EQ(call.err, 11);
    EXPECT_EQ(params.checkouts.size(), 3u);
    EXPECT_EQ(params.checkins.size(), 2u);
    params.checkins = params.checkouts;  // the failed check-in is the host's to settle
    expectNothingLeft(call);
}

TEST_F(PreRenderFailureTest, InputCheckoutFails) {
    setShape(0, 4, 2);
    host.faults().failCall("checkout_layer", 1, 13);
    hostsim::PreRenderCall& call = run();
    EXPECT_EQ(call.err, 13);
    ASSERT_EQ(call.checkouts.size(), 1u);
    EXPECT_TRUE(call.checkouts[0].request.preserve_rgb_of_zero_alpha);
    EXPECT_NE(call.output.flags & PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS, 0);
    expectNothingLeft(call);
}

TEST_F(PreRenderFailureTest, EffectLayerOrItsTypeUnavailable) {
    for (const char* fn : {"AEGP_GetEffectLayer", "AEGP_GetLayerObjectType"}) {
        host.faults().clear();
        host.faults().failCall(fn, 1, 15);
        setShape(0, 4, 2);
        hostsim::PreRenderCall& call = run();
        EXPECT_EQ(call.err, 15) << fn;
        EXPECT_EQ(call.checkouts.size(), 1u) << "no offset frame after " << fn;
        expectNothingLeft(call);
    }
}

TEST_F(PreRenderFailureTest, OffsetFrameCheckoutFails) {
    params.popup(169, 3);
    setShape(0, 4, 1);
    setShape(1, 4, 2);
    setShape(2, 4, 3);
    host.faults().failCall("checkout_layer", 2, 17);
    hostsim::PreRenderCall& call = run();
    EXPECT_EQ(call.err, 17);
    EXPECT_EQ(call.checkouts.size(), 2u);  // the third shape's frame is not asked for
    expectNothingLeft(call);
}

TEST_F(PreRenderFailureTest, MissingSuites) {
    const std::pair<const char*, int> suites[] = {
        {"AEGP PF Interface Suite", 1}, {"AEGP Layer Suite", 13}, {"PF Handle Suite", 2}};
    for (auto [suite, version] : suites) {
        host.suites().setMissing(suite, version);
        hostsim::PreRenderCall& call = run();
        EXPECT_EQ(call.err, PF_Err_BAD_CALLBACK_PARAM) << suite;
        expectNothingLeft(call);
        host.suites().setMissing(suite, version, false);
    }
}

// ---------------------------------------------------------------- lifetime

TEST_F(PreRenderTest, TheHostFreesTheRecordThroughTheDeleteFunction) {
    const int before = host.handles().live();
    for (int frame = 0; frame < 20; ++frame) {
        comp.setFrame(frame);
        hostsim::PreRenderCall call = comp.preRender();
        ASSERT_EQ(call.err, PF_Err_NONE);
        ASSERT_NE(call.output.delete_pre_render_data_func, nullptr);
        EXPECT_EQ(host.handles().lockCount(static_cast<PF_Handle>(call.output.pre_render_data)), 0);
        comp.releasePreRenderData(call);
    }
    EXPECT_EQ(host.handles().live(), before);
    EXPECT_EQ(host.suites().outstanding(), 0);
    EXPECT_EQ(comp.liveEffects(), 0);
}

}  // namespace
