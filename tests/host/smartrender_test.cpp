// The smart render driver end to end: the module under the simulated host,
// pre-render then smart render, as the host runs a frame.
#include "Streams.h"
#include "smartrender_fixture.h"

#include <string>
#include <vector>

using namespace sr;

namespace {

// ------------------------------------------------------------ missing data
TEST_F(SmartRenderTest, MissingDataGivesBadCallbackParamAndTouchesNothing) {
    struct Case {
        const char* what;
        std::function<void(hostsim::PreRenderCall&)> spoil;
        std::function<void()> restore;
    };
    const std::vector<Case> cases = {
        {"no pre-render data", [](hostsim::PreRenderCall& pre) { pre.output.pre_render_data = nullptr; }, [] {}},
        {"global data without memory", [&](hostsim::PreRenderCall&) { host.handles().failLocks(1); }, [] {}},
        {"no sequence data", [&](hostsim::PreRenderCall&) { host.sequenceSetdown(); },
         [&] { ASSERT_EQ(host.sequenceSetup(), PF_Err_NONE); }},
        {"no global data", [&](hostsim::PreRenderCall&) { host.globalSetdown(); },
         [&] { ASSERT_EQ(host.globalSetup(), PF_Err_NONE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hostsim::PreRenderCall pre = comp.preRender();
        ASSERT_EQ(pre.err, PF_Err_NONE);
        void* data = pre.output.pre_render_data;
        c.spoil(pre);
        hostsim::SmartRenderCall call = smart.send(pre);
        EXPECT_EQ(call.err, PF_Err_BAD_CALLBACK_PARAM);
        // Nothing was checked out and the output still holds what the host
        // put there.
        EXPECT_TRUE(call.pixelCheckouts.empty());
        EXPECT_EQ(call.outputCheckouts, 0);
        EXPECT_TRUE(allPixels(*call.output, PF_Pixel{255, 255, 0, 255}));
        pre.output.pre_render_data = data;
        comp.releasePreRenderData(pre);
        c.restore();
    }
}

// ------------------------------------------------------------ the output
// Whatever the depth, the drawing lands on a cleared output: transparent black
// without "On Original", the input blended under it with it.
TEST_F(SmartRenderTest, OutputIsTheDrawingAloneOrBlendedOntoTheInput) {
    // The default scene draws its elements: the output is not left clear.
    {
        hostsim::SmartRenderCall drawn = smart.render(3);
        ASSERT_EQ(drawn.err, PF_Err_NONE);
        EXPECT_FALSE(allPixels(*drawn.output, PF_Pixel{0, 0, 0, 0}));
    }
    // At zero opacity nothing is drawn, so the clearing and the blend show.
    set(kTransformOpacity, 0);
    for (A_short bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        comp.setBitDepth(bits);
        set(kOnOriginal, 0);
        hostsim::SmartRenderCall off = smart.render(3);
        ASSERT_EQ(off.err, PF_Err_NONE);
        ASSERT_GT(off.output->width(), 0);
        set(kOnOriginal, 1);
        hostsim::SmartRenderCall on = smart.render(3);
        ASSERT_EQ(on.err, PF_Err_NONE);
        // The default layer paints frame 3 as {opaque, 3, 128, 64} (8-bit).
        switch (bits) {
            case 8:
                EXPECT_TRUE(allPixels(*off.output, PF_Pixel{0, 0, 0, 0}));
                EXPECT_TRUE(allPixels(*on.output, PF_Pixel{255, 3, 128, 64}));
                break;
            case 16:
                EXPECT_TRUE(allPixels(*off.output, PF_Pixel16{0, 0, 0, 0}));
                EXPECT_TRUE(allPixels(*on.output, PF_Pixel16{32768, A_u_short(3 / 255.0 * 32768), 16384, 8192}));
                break;
            default:
                EXPECT_TRUE(allPixels(*off.output, PF_PixelFloat{0, 0, 0, 0}));
                EXPECT_TRUE(allPixels(*on.output, PF_PixelFloat{1, float(3 / 255.0), 0.5f, 0.25f}));
        }
        EXPECT_TRUE(off.output->paddingUntouched());
        EXPECT_TRUE(on.output->paddingUntouched());
    }
}

// The output world's origin is the corner of the pre-render's result
// rectangle: a request smaller than the layer still blends the right pixels.
TEST_F(SmartRenderTest, OnOriginalFollowsTheOutputOrigin) {
    set(kOnOriginal, 1);
    set(kTransformOpacity, 0);  // the input alone, without the drawing
    comp.effectLayer().paint = [](hostsim::World& w, long) {
        for (int y = 0; y < w.height(); ++y)
            for (int x = 0; x < w.width(); ++x) w.at<PF_Pixel>(x, y) = {255, A_u_char(x), A_u_char(y), 0};
    };
    PF_RenderRequest req{};
    req.rect = {100, 50, 140, 70};
    req.field = PF_Field_FRAME;
    req.channel_mask = PF_ChannelMask_ARGB;
    hostsim::PreRenderCall pre = comp.preRender(&req);
    ASSERT_EQ(pre.err, PF_Err_NONE);
    hostsim::SmartRenderCall call = smart.send(pre);
    comp.releasePreRenderData(pre);
    ASSERT_EQ(call.err, PF_Err_NONE);
    ASSERT_EQ(call.output->width(), 40);
    ASSERT_EQ(call.output->height(), 20);
    EXPECT_EQ(call.output->at<PF_Pixel>(0, 0).red, 100);
    EXPECT_EQ(call.output->at<PF_Pixel>(0, 0).green, 50);
    EXPECT_EQ(call.output->at<PF_Pixel>(39, 19).red, 139);
}

// ------------------------------------------------------------ skip test
// The drawing and its opacity pass run only when the opacity reaches the
// depth's smallest visible step and the scale is above 1e-6. Without "On
// Original" the only iterate launch left is that opacity pass.
TEST_F(SmartRenderTest, DrawingIsSkippedBelowTheDepthsEpsilon) {
    struct Case {
        A_short bits;
        double opacityPercent;  // Transform Opacity (16.16 fixed)
        double scalePercent;
        bool draws;
    };
    const Case cases[] = {
        {8, 0.1, 100, true},        // 0.00100006 >= 0.001
        {8, 0.0999, 100, false},    // 0.000999 < 0.001
        {16, 0.0011, 100, true},    // 1.0986e-5 >= 1e-5
        {16, 0.0009, 100, false},   // 9.0e-6 < 1e-5
        {32, 0.00011, 100, true},   // 1.068e-6 >= 1e-6
        {32, 0.00009, 100, false},  // 9.2e-7 < 1e-6
        {8, 50, 0.00009, false},    // scale 9e-7
        {8, 50, 0.00011, true},     // scale 1.1e-6
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, opacity " + std::to_string(c.opacityPercent) + "%, scale " +
                     std::to_string(c.scalePercent) + "%");
        comp.setBitDepth(c.bits);
        set(kTransformOpacity, c.opacityPercent);
        set(kTransformScale, c.scalePercent);
        const int before = iterate.launches;
        hostsim::SmartRenderCall call = smart.render(0);
        ASSERT_EQ(call.err, PF_Err_NONE);
        if (c.draws)
            EXPECT_GE(iterate.launches - before, 1);
        else
            EXPECT_EQ(iterate.launches - before, 0);
    }
}

// ------------------------------------------------------------ Layer shapes
class LayerShapeTest : public SmartRenderTest {
protected:
    void SetUp() override {
        SmartRenderTest::SetUp();
        comp.setFrameDuration({1, 25});
        hostsim::Comp::Layer& l = comp.addLayer(320, 180);
        // Reversed: three seconds ending at five seconds.
        l.inPoint = {5, 1};
        l.duration = {-3, 1};
        source = l.id;
        set(kShapeType, 5);
        set(kLayer, source);
    }

    // Renders and returns the record; the one layer checkout in `request`.
    Parameters renderAt(long frame, hostsim::LayerRequest& request) {
        comp.setFrame(frame);
        Parameters p;
        hostsim::SmartRenderCall call = renderKeepingRecord(p);
        EXPECT_EQ(call.err, PF_Err_NONE);
        EXPECT_EQ(call.layerParams.size(), 1u);
        if (!call.layerParams.empty()) request = call.layerParams[0];
        return p;
    }

    int source = 0;
};

TEST_F(LayerShapeTest, ReversedLayerFramesAndTheFrameEachModeSamples) {
    struct Case {
        const char* what;
        int sampling;
        double layerTimeDegrees;
        long frame;
        long sampled;  // composition frame checked out
    };
    const Case cases[] = {
        {"Still Frame at Layer Time 1 holds the last frame", 2, 360, 10, 123},
        {"Still Frame at Layer Time -0.5 holds the first frame", 2, -180, 10, 49},
        {"Still Frame half way", 2, 180, 10, 49 + 37},
        {"Play Once before frame 0 samples frame 0", 3, 0, -4, 0},
        {"Play Once inside the layer samples the current frame", 3, 0, 60, 60},
        {"Play Once after the end holds the last frame", 3, 0, 200, 123},
        {"Loop wraps by the layer's length", 4, 0, 130, 49 + (130 + 49) % 75},
        {"Loop with a Layer Time offset", 4, 90, 0, 49 + (49 + 18) % 75},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kLayerSampling, c.sampling);
        set(kLayerTime, c.layerTimeDegrees);
        hostsim::LayerRequest r;
        Parameters p = renderAt(c.frame, r);
        // in = 5 - 3 - 1/25 s, out = 5 - 1/25 s, in frames of 1/25 s.
        EXPECT_EQ(p.shapes[0].layerInFrame, 49);
        EXPECT_EQ(p.shapes[0].layerOutFrame, 124);
        EXPECT_EQ(r.index, kLayer);
        ASSERT_NE(r.scale, 0u);
        // The checkout's time is the sampled frame, and its step one frame.
        EXPECT_EQ(int64_t(r.time) * 25, int64_t(c.sampled) * r.scale) << r.time << "/" << r.scale;
        EXPECT_EQ(int64_t(r.step) * 25, int64_t(r.scale)) << r.step << "/" << r.scale;
    }
}

// The effect layer starting a third of a second into the composition: its
// times are in 75ths, the frame in 25ths. The checkout's time and step share
// one scale, so the step is still exactly one frame.
TEST_F(LayerShapeTest, CheckoutTimeAndStepShareOneScale) {
    comp.effectLayer().start = {1, 3};
    set(kLayerSampling, 2);
    for (double degrees : {360.0, -180.0}) {
        SCOPED_TRACE(degrees);
        set(kLayerTime, degrees);
        const int64_t sampled = degrees > 0 ? 123 : 49;
        hostsim::LayerRequest r;
        renderAt(10, r);
        ASSERT_NE(r.scale, 0u);
        // time = sampled / 25 - 1 / 3 seconds; step = 1 / 25 second.
        EXPECT_EQ(int64_t(r.time) * 75, (3 * sampled - 25) * int64_t(r.scale)) << r.time << "/" << r.scale;
        EXPECT_EQ(int64_t(r.step) * 25, int64_t(r.scale)) << r.step << "/" << r.scale;
    }
}

TEST_F(LayerShapeTest, CurrentTimeChecksOutAtTheHostsTime) {
    set(kLayerSampling, 1);
    hostsim::LayerRequest r;
    renderAt(17, r);
    EXPECT_EQ(r.time, 17);
    EXPECT_EQ(r.step, 1);
    EXPECT_EQ(r.scale, 25u);
}

// A layer shorter than one frame has in-frame = out-frame. Still Frame, Play
// Once past the end and Loop all sample that frame: the last frame before the
// out-frame lies before the layer (frame -1 for a layer at 0), where it has
// nothing to give, and Loop has no length to divide by.
TEST_F(LayerShapeTest, LayerShorterThanAFrameSamplesItsOnlyFrame) {
    struct Case {
        A_Time inPoint;
        long frame;
        int layerFrame;
    };
    const Case cases[] = {{{2, 1}, 70, 50}, {{0, 1}, 5, 0}, {{41, 500}, 30, 2}};
    for (const Case& c : cases) {
        hostsim::Comp::Layer& l = comp.layer(source);
        l.inPoint = c.inPoint;
        l.duration = {1, 100};
        for (int sampling : {2, 3, 4}) {
            SCOPED_TRACE(std::to_string(c.layerFrame) + " sampling " + std::to_string(sampling));
            set(kLayerSampling, sampling);
            hostsim::LayerRequest r;
            Parameters p = renderAt(c.frame, r);
            EXPECT_EQ(p.shapes[0].layerInFrame, c.layerFrame);
            EXPECT_EQ(p.shapes[0].layerOutFrame, c.layerFrame);
            EXPECT_EQ(int64_t(r.time) * 25, c.layerFrame * int64_t(r.scale));
        }
    }
}

TEST_F(LayerShapeTest, LayersWithoutVideoGetNoPointerAndNoFrames) {
    struct Case {
        const char* what;
        std::function<int()> choose;
    };
    const Case cases[] = {
        {"no layer", [] { return 0; }},
        {"a camera", [&] { return comp.addLayer(10, 10, AEGP_ObjectType_CAMERA).id; }},
        {"a light", [&] { return comp.addLayer(10, 10, AEGP_ObjectType_LIGHT).id; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kLayer, c.choose());
        Parameters p;
        hostsim::SmartRenderCall call = renderKeepingRecord(p);
        EXPECT_EQ(call.err, PF_Err_NONE);
        EXPECT_TRUE(call.layerParams.empty());
        EXPECT_EQ(p.shapes[0].layer, nullptr);
        EXPECT_EQ(p.shapes[0].layerInFrame, 0);
        EXPECT_EQ(p.shapes[0].layerOutFrame, 0);
    }
}

// ------------------------------------------------------------ map layers
TEST_F(SmartRenderTest, MapLayersAreCheckedOutOnlyWhenTheirModeUsesThem) {
    const int map = comp.addLayer(64, 64).id;
    set(kDisplacementMap, map);
    set(kTransitionMap, map);
    set(kShapeMap1D, map);
    struct Case {
        int displacementMode, transitionOrder;
        std::vector<int> checkedOut;
    };
    const Case cases[] = {
        {1, 1, {kShapeMap1D}},
        {2, 1, {kDisplacementMap, kShapeMap1D}},
        {1, 3, {kTransitionMap, kShapeMap1D}},
        {2, 3, {kDisplacementMap, kTransitionMap, kShapeMap1D}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.displacementMode) + "/" + std::to_string(c.transitionOrder));
        set(kDisplacementMode, c.displacementMode);
        set(kTransitionOrder, c.transitionOrder);
        Parameters p;
        hostsim::Streams& streams = host.get<hostsim::Streams>();
        streams.clearRequests();
        hostsim::SmartRenderCall call = renderKeepingRecord(p);
        ASSERT_EQ(call.err, PF_Err_NONE);
        std::vector<int> got;
        for (const hostsim::LayerRequest& r : call.layerParams) got.push_back(r.index);
        EXPECT_EQ(got, c.checkedOut);
        // A map its mode leaves unused is not even asked for its layer.
        std::vector<int> asked;
        for (const auto& r : streams.requests())
            if (r.index == kDisplacementMap || r.index == kTransitionMap) asked.push_back(r.index);
        std::vector<int> wanted;
        for (int index : c.checkedOut)
            if (index == kDisplacementMap || index == kTransitionMap) wanted.push_back(index);
        EXPECT_EQ(asked, wanted);
        EXPECT_EQ(p.displacementMap != nullptr, c.displacementMode == 2);
        EXPECT_EQ(p.transitionMap != nullptr, c.transitionOrder == 3);
        EXPECT_NE(p.map1D.shapeMap.layer, nullptr);
        EXPECT_EQ(p.mapPre2D.shapeMap.layer, nullptr);
    }
    // Every checkout was checked in again: the host's accounting (TearDown)
    // finds nothing open.
}

// ------------------------------------------------------------ reduced copies
class InputShapeTest : public SmartRenderTest {
protected:
    void SetUp() override {
        SmartRenderTest::SetUp();
        comp.effectLayer().width = 1000;
        comp.effectLayer().height = 500;
        comp.apply();
        set(kShapeType, 4);
        set(kSize, 100);
        set(kUseScale, 0);
        // Layer Center (600, 300): (100, 50) from the layer's centre.
        setPoint(kLayerCenter, 600, 300);
    }
};

// A 1000 px source drawn at 100 px is resampled to ceil(100.5) = 101 px
// before drawing, at every depth, and the copy is disposed of again.
TEST_F(InputShapeTest, WideSourceIsReplacedByAReducedCopy) {
    for (A_short bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        comp.setBitDepth(bits);
        const int made = worlds.made(), transforms = smart.transforms();
        Parameters p;
        hostsim::SmartRenderCall call = renderKeepingRecord(p);
        ASSERT_EQ(call.err, PF_Err_NONE);
        EXPECT_EQ(worlds.made() - made, 1);
        EXPECT_EQ(smart.transforms() - transforms, 1);
        EXPECT_EQ(worlds.live(), 0);
        // The centre scales with the copy: 101 / 1000.
        EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.x, 100 * 0.101);
        EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.y, 50 * 0.101);
        // The copy is 101 x int(500 * 101 / 1000 + 0.5) = 51, fully covered.
        EXPECT_EQ(p.shapes[0].layerRect.left, -1);
        EXPECT_EQ(p.shapes[0].layerRect.top, -1);
        EXPECT_EQ(p.shapes[0].layerRect.right, 101);
        EXPECT_EQ(p.shapes[0].layerRect.bottom, 51);
    }
}

TEST_F(InputShapeTest, NoCopyWhenTheSourceIsNotMuchWiderThanItsDrawing) {
    struct Case {
        const char* what;
        double size;
        double transformScalePercent;
    };
    const Case cases[] = {
        {"half the width is drawn", 500, 100},
        {"the transform doubles the size", 250, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set(kSize, c.size);
        set(kTransformScale, c.transformScalePercent);
        const int made = worlds.made();
        Parameters p;
        ASSERT_EQ(renderKeepingRecord(p).err, PF_Err_NONE);
        EXPECT_EQ(worlds.made(), made);
        EXPECT_DOUBLE_EQ(p.shapes[0].layerCenter.x, 100);
        EXPECT_EQ(p.shapes[0].layerRect.right, 1000);  // the whole input is covered
    }
}

// On a text layer the Input shape keeps the user's Bounding Box: off, the
// whole layer's width sizes it and no copy is made.
TEST_F(InputShapeTest, TextLayerWithoutBoundingBoxIsSizedByTheLayerAndNotCopied) {
    comp.effectLayer().type = AEGP_ObjectType_TEXT;
    comp.effectLayer().hasSource = false;
    set(kBoundingBox, 0);
    set(kUseScale, 1);
    set(kScale, 10);
    const int made = worlds.made();
    Parameters p;
    ASSERT_EQ(renderKeepingRecord(p).err, PF_Err_NONE);
    EXPECT_EQ(p.shapes[0].boundingBox, 0);
    EXPECT_DOUBLE_EQ(p.shapes[0].size, 100);
    EXPECT_EQ(worlds.made(), made);
    set(kBoundingBox, 1);
    ASSERT_EQ(renderKeepingRecord(p).err, PF_Err_NONE);
    EXPECT_EQ(worlds.made(), made + 1);
}

// Use Scale sizes an Input shape from its source's width.
TEST_F(InputShapeTest, UseScaleSizesFromTheSourceWidth) {
    set(kUseScale, 1);
    set(kScale, 10);
    Parameters p;
    ASSERT_EQ(renderKeepingRecord(p).err, PF_Err_NONE);
    EXPECT_DOUBLE_EQ(p.shapes[0].size, 100);
    EXPECT_EQ(p.shapes[0].layerRect.right, 101);
}

// An offset frame whose checkout fails leaves the shape without a layer; Use
// Scale with Bounding Box must not read its width.
TEST_F(InputShapeTest, FailedOffsetFrameCheckoutIsReportedWithoutReadingIt) {
    set(kFrameOffset, 2);
    set(kUseScale, 1);
    set(kScale, 10);
    // The first call fetches the input (id 0), the second the offset frame.
    host.faults().failCall("checkout_layer_pixels", 2, PF_Err_OUT_OF_MEMORY);
    Parameters p;
    hostsim::SmartRenderCall call = renderKeepingRecord(p);
    EXPECT_EQ(call.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(p.shapes[0].layer, nullptr);
    EXPECT_DOUBLE_EQ(p.shapes[0].size, 100);  // Size 1 as set, not rescaled
}

TEST_F(InputShapeTest, OffsetFrameIsFetchedByItsShapesCheckoutId) {
    set(kFrameOffset, 2);
    Parameters p;
    hostsim::SmartRenderCall call = renderKeepingRecord(p);
    ASSERT_EQ(call.err, PF_Err_NONE);
    EXPECT_EQ(call.pixelCheckouts, (std::vector<A_long>{0, 1}));
}

// ------------------------------------------------------------ errors and clean-up
// Host errors and missing suites anywhere in the render: the result is the
// error, and every check-out, world, effect reference, suite and lock is given
// back (the host's accounting sees no leak).
TEST_F(SmartRenderTest, EveryWayOutGivesEverythingBack) {
    comp.effectLayer().width = 1000;
    comp.apply();
    const int other = comp.addLayer(1000, 100).id;
    set(kShapeNumber, 2);
    set(kShapeType, 4);  // Input shape 1, reduced to 101 px
    set(kSize, 100);
    set(kShapeType + 47, 5);  // Layer shape 2, reduced as well
    set(kLayer + 47, other);
    set(kSize + 47, 100);
    set(kShapeMap1D, other);
    set(kOnOriginal, 1);

    struct Case {
        const char* what;
        std::function<void()> arm;
        PF_Err expected;
    };
    auto failNext = [&](const char* fn, int n, PF_Err e) {
        host.faults().failCall(fn, host.faults().calls(fn) + n, e);
    };
    const Case cases[] = {
        {"nothing fails", [] {}, PF_Err_NONE},
        {"the world suite cannot be acquired", [&] { host.suites().failAcquire("PF World Suite", 2); },
         PF_Err_BAD_CALLBACK_PARAM},
        {"the output checkout fails", [&] { failNext("checkout_output", 1, 9); }, 9},
        {"the second reduced copy cannot be made", [&] { failNext("new_world", 2, 4); }, 4},
        {"the transform fails", [&] { failNext("transform_world", 1, 11); }, 11},
        {"the map checkout fails", [&] { failNext("checkout_param", 2, 12); }, 12},
        {"the sampling suite is missing", [&] { host.suites().setMissing("PF Sampling8 Suite", 1); },
         PF_Err_BAD_CALLBACK_PARAM},
        {"the blend launch fails", [&] { failNext("iterate_generic", 1, 14); }, 14},
        {"a check-in fails", [&] { failNext("checkin_param", 1, 15); }, 15},
        {"the layer suite is missing", [&] { host.suites().setMissing("AEGP Layer Suite", 13); },
         PF_Err_BAD_CALLBACK_PARAM},
        {"the world suite 1 is missing", [&] { host.suites().setMissing("PF World Suite", 1); },
         PF_Err_BAD_CALLBACK_PARAM},
        {"the iterate suite is missing", [&] { host.suites().setMissing("AEGP Iterate Suite", 1); },
         PF_Err_BAD_CALLBACK_PARAM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hostsim::PreRenderCall pre = comp.preRender();
        ASSERT_EQ(pre.err, PF_Err_NONE);
        c.arm();
        hostsim::SmartRenderCall call = smart.send(pre);
        EXPECT_EQ(call.err, c.expected);
        host.faults().clear();
        host.suites().setMissing("AEGP Layer Suite", 13, false);
        host.suites().setMissing("PF World Suite", 1, false);
        host.suites().setMissing("AEGP Iterate Suite", 1, false);
        host.suites().setMissing("PF Sampling8 Suite", 1, false);
        if (c.expected == PF_Err_NONE) {
            EXPECT_EQ(call.layerParams.size(), 2u);  // the Layer shape and the map
        }
        EXPECT_EQ(worlds.live(), 0);
        EXPECT_EQ(comp.liveEffects(), 0);
        if (c.expected == 15) {
            // The refused check-in stays open in the host's books; the map's
            // check-in after it still happened.
            EXPECT_EQ(host.violations().size(), 1u) << joinLines(host.violations());
        } else {
            EXPECT_EQ(params.outstandingCheckouts(), 0);
            EXPECT_TRUE(host.violations().empty()) << joinLines(host.violations());
        }
        host.clearViolations();
        comp.releasePreRenderData(pre);
    }
}

// A time scale of zero is no time: an error code, not an exception.
TEST_F(SmartRenderTest, ZeroTimeScaleIsAnError) {
    hostsim::PreRenderCall pre = comp.preRender();
    ASSERT_EQ(pre.err, PF_Err_NONE);
    host.nextInData().time_scale = 0;
    hostsim::SmartRenderCall call = smart.send(pre);
    comp.releasePreRenderData(pre);
    comp.apply();
    EXPECT_EQ(call.err, PF_Err_BAD_CALLBACK_PARAM);
}

}  // namespace
