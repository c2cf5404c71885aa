// The render helpers: bit depth of a world, the band launcher on the host's
// threads, the alpha bounds of a layer, and whether a layer has video.
#include "Comp.h"
#include "Params.h"
#include "RenderFixture.h"
#include "Streams.h"
#include "VemaroRenderHelpers.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

using hostsim::Depth;
using hostsim::World;

namespace {

// A work object that records the bands it was asked for.
struct Recorder {
    PF_Err result = PF_Err_NONE;
    int failBand = -1;
    mutable std::mutex mutex;
    mutable std::vector<std::pair<int, int>> calls;
    PF_Err operator()(int i, int n) const {
        std::lock_guard<std::mutex> g(mutex);
        calls.emplace_back(i, n);
        return i == failBand ? result : (failBand < 0 ? result : PF_Err_NONE);
    }
};

}  // namespace

using RenderHelpers = RenderFixture;

TEST_F(RenderHelpers, BitDepthOfEachWorld) {
    PF_WorldSuite2* ws = nullptr;
    ASSERT_EQ(in.pica_basicP->AcquireSuite(kPFWorldSuite, 2, const_cast<const void**>(reinterpret_cast<void**>(&ws))),
              kSPNoError);
    const std::pair<Depth, int> cases[] = {{Depth::Bits8, 0}, {Depth::Bits16, 1}, {Depth::Float, 2}};
    for (auto [depth, want] : cases) {
        World w(4, 3, depth, 2, 10, -5);
        int bpc = -1;
        EXPECT_EQ(getBPC(&in, nullptr, ws, w.get(), &bpc), PF_Err_NONE);
        EXPECT_EQ(bpc, want);
    }
    // A record the host does not know has no format: the caller's value stays.
    PF_EffectWorld stranger{};
    int bpc = -1;
    EXPECT_NE(getBPC(&in, nullptr, ws, &stranger, &bpc), PF_Err_NONE);
    EXPECT_EQ(bpc, -1);
    in.pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
}

// ------------------------------------------------------------ iterateGeneric
TEST_F(RenderHelpers, NullObjectRunsNothing) {
    Recorder* none = nullptr;
    EXPECT_EQ(iterateGeneric(&in, *suites, none, 0), PF_Err_NONE);
    EXPECT_EQ(host.get<hostsim::Iterate>().threadQueries.load(), 0);
}

TEST_F(RenderHelpers, OneBandRunsInlineThenReportsTheAbortCheck) {
    Recorder r;
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 1), PF_Err_NONE);
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0], std::make_pair(0, 1));
    EXPECT_EQ(host.get<hostsim::Iterate>().launches.load(), 0);  // no host call

    // A user cancel during an inline pass is reported.
    host.get<hostsim::Core>().abortError = PF_Interrupt_CANCEL;
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 1), PF_Interrupt_CANCEL);
    host.get<hostsim::Core>().abortError = PF_Err_NONE;

    // The object's own error comes first.
    r.result = PF_Err_OUT_OF_MEMORY;
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 1), PF_Err_OUT_OF_MEMORY);
}

TEST_F(RenderHelpers, HostThreadCountGivesTheBands) {
    setThreads(3);
    Recorder r;
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 0), PF_Err_NONE);
    EXPECT_EQ(host.get<hostsim::Iterate>().threadQueries.load(), 1);
    std::sort(r.calls.begin(), r.calls.end());
    EXPECT_EQ(r.calls, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));

    // One host thread: inline.
    setThreads(1);
    r.calls.clear();
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 0), PF_Err_NONE);
    EXPECT_EQ(r.calls, (std::vector<std::pair<int, int>>{{0, 1}}));
}

TEST_F(RenderHelpers, ErrorsOfTheHostAndOfABandAreReturned) {
    Recorder r;
    host.faults().failCall("AEGP_GetNumThreads", 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 0), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(r.calls.empty());

    r.failBand = 5;
    r.result = PF_Err_OUT_OF_MEMORY;
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 8), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(r.calls.size(), 8u);  // every band still ran

    host.faults().failCall("iterate_generic", host.faults().calls("iterate_generic") + 1, PF_Interrupt_CANCEL);
    EXPECT_EQ(iterateGeneric(&in, *suites, &r, 4), PF_Interrupt_CANCEL);
}

TEST_F(RenderHelpers, MissingIterateSuiteRaisesTheSuiteError) {
    host.suites().setMissing(kPFIterate8Suite, 1);
    Recorder r;
    try {
        iterateGeneric(&in, *suites, &r, 4);
        FAIL() << "no error";
    } catch (int e) {
        EXPECT_EQ(e, PF_Err_BAD_CALLBACK_PARAM);
    }
}

// Bands run at the same time on the pool's threads.
TEST_F(RenderHelpers, BandsRunInParallel) {
    setThreads(4);
    struct Meeting {
        mutable std::atomic<int> arrived{0};
        PF_Err operator()(int, int n) const {
            ++arrived;
            // Wait (bounded) until every band has started.
            for (int k = 0; k < 2000 && arrived.load() < n; ++k)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return PF_Err_NONE;
        }
    } meeting;
    EXPECT_EQ(iterateGeneric(&in, *suites, &meeting, 4), PF_Err_NONE);
    EXPECT_EQ(host.get<hostsim::Iterate>().maxConcurrent.load(), 4);
}

// ------------------------------------------------------------ calculateLayerRect
namespace {
template <class P>
void cover(World& w, int x, int y, float alpha) {
    w.at<P>(x, y).alpha = static_cast<decltype(P{}.alpha)>(alpha);
}
}  // namespace

TEST_F(RenderHelpers, LayerRectBoundsTheCoveredPixels) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> covered;
        PF_LRect expected;
    };
    const Case cases[] = {
        {"one pixel", {{10, 20}}, {9, 19, 11, 21}},
        {"column 0 and row 0", {{0, 5}, {7, 0}}, {-1, -1, 8, 6}},
        {"corners", {{0, 0}, {199, 99}}, {-1, -1, 200, 100}},
        {"transparent", {}, {199, 99, 1, 1}},
    };
    for (const Case& c : cases) {
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            World w(200, 100, depth, 3, 17, 4);
            for (auto [x, y] : c.covered) {
                if (depth == Depth::Bits8) cover<PF_Pixel>(w, x, y, 1);
                if (depth == Depth::Bits16) cover<PF_Pixel16>(w, x, y, 1);
                if (depth == Depth::Float) cover<PF_PixelFloat>(w, x, y, 0.5f);
            }
            PF_LRect r{};
            calculateLayerRect(&in, *suites, static_cast<int>(depth), w.get(), r);
            EXPECT_EQ(std::vector<A_long>({r.left, r.top, r.right, r.bottom}),
                      std::vector<A_long>({c.expected.left, c.expected.top, c.expected.right, c.expected.bottom}))
                << c.what << " at depth " << static_cast<int>(depth);
        }
    }
}

TEST_F(RenderHelpers, LayerRectFloatThresholdAndUnknownDepth) {
    World w(30, 20, Depth::Float);
    w.at<PF_PixelFloat>(3, 4).alpha = 1e-6f;
    PF_LRect r{};
    calculateLayerRect(&in, *suites, 2, w.get(), r);
    EXPECT_EQ(r.left, 29);  // 1e-6 is not covered
    w.at<PF_PixelFloat>(3, 4).alpha = 1.1e-6f;
    calculateLayerRect(&in, *suites, 2, w.get(), r);
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.bottom, 5);
    // An unknown depth reads nothing and gives the empty rectangle.
    calculateLayerRect(&in, *suites, 7, w.get(), r);
    EXPECT_EQ(std::vector<A_long>({r.left, r.top, r.right, r.bottom}), std::vector<A_long>({29, 19, 1, 1}));
}

// ------------------------------------------------------------ hasVideo
// The layer parameter is the module's own (shape 1's "Layer", index 189), its
// value read through the simulated host's stream suite; the layers and items
// are the simulated composition's.
TEST(HasVideo, ByLayerKindThroughTheHostsStreams) {
    hostsim::Host host;
    std::string error;
    ASSERT_TRUE(host.load(VEMARO_MODULE_PATH, &error)) << error;
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    hostsim::Params& params = host.get<hostsim::Params>();
    ASSERT_EQ(params.setup(), PF_Err_NONE);
    hostsim::Streams& streams = host.get<hostsim::Streams>();
    constexpr int kLayerParam = 189;

    hostsim::Comp& comp = host.get<hostsim::Comp>();
    const AEGP_LayerIDVal camera = comp.addLayer(0, 0, AEGP_ObjectType_CAMERA).id;
    const AEGP_LayerIDVal light = comp.addLayer(0, 0, AEGP_ObjectType_LIGHT).id;
    hostsim::Comp::Layer& textLayer = comp.addLayer(300, 100, AEGP_ObjectType_TEXT);
    textLayer.hasSource = false;
    hostsim::Comp::Layer& shapeLayer = comp.addLayer(300, 100, AEGP_ObjectType_VECTOR);
    shapeLayer.hasSource = false;
    const AEGP_LayerIDVal footage = comp.addLayer(320, 240).id;
    hostsim::Comp::Layer& audioLayer = comp.addLayer(320, 240);
    audioLayer.hasVideo = false;
    const AEGP_LayerIDVal audioId = audioLayer.id;
    PF_InData in = host.nextInData();
    in.current_time = 48;
    in.time_scale = 24;
    const AEGP_CompH c = comp.compHandle();
    auto setLayer = [&](AEGP_LayerIDVal id) {
        hostsim::ParamValue v;
        v.v[0] = id;
        params.setValue(kLayerParam, v);
    };

    struct Case {
        const char* what;
        AEGP_LayerIDVal id;
        A_Err err;
        unsigned char video;
    };
    const Case cases[] = {
        {"layer parameter set to none", 0, 0, 0},
        {"camera", camera, 0, 0},
        {"light", light, 0, 0},
        {"text", textLayer.id, 0, 1},
        {"shape", shapeLayer.id, 0, 1},
        {"footage with video", footage, 0, 1},
        {"audio-only footage", audioId, 0, 0},
        {"no such layer", 999, A_Err_PARAMETER, 0},
    };
    {
        AEGP_SuiteHandler suites(host.basicSuite());
        AEGP_EffectRefH effect = nullptr;
        ASSERT_EQ(suites.PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(host.pluginId(), in.effect_ref, &effect), 0);
        for (const Case& k : cases) {
            setLayer(k.id);
            streams.clearRequests();
            int id = -1;
            unsigned char video = 9;
            EXPECT_EQ(hasVideo(host.pluginId(), &in, suites, effect, c, kLayerParam, &id, &video), k.err) << k.what;
            EXPECT_EQ(id, k.id) << k.what;
            EXPECT_EQ(video, k.video) << k.what;
            EXPECT_EQ(streams.openStreams() + streams.openValues(), 0) << k.what << ": stream or value kept";
            ASSERT_EQ(streams.requests().size(), 1u) << k.what;
            EXPECT_EQ(streams.requests()[0].time.value, 48) << "read at the current time";
            EXPECT_EQ(streams.requests()[0].time.scale, 24u);
        }

        // Failures: the first error is returned and nothing is left held.
        struct Failure {
            const char* what;
            const char* failing;
            A_Err err;
            int id;
        };
        const Failure failures[] = {
            {"no stream", "AEGP_GetNewEffectStreamByIndex", A_Err_STRUCT, 0},
            {"value cannot be read", "AEGP_GetNewStreamValue", A_Err_PARAMETER, 0},
            {"object type fails", "AEGP_GetLayerObjectType", A_Err_GENERIC, footage},
            {"item flags fail", "AEGP_GetItemFlags", A_Err_GENERIC, footage},
        };
        setLayer(footage);
        for (const Failure& f : failures) {
            host.faults().failCall(f.failing, host.faults().calls(f.failing) + 1, f.err);
            int id = -1;
            unsigned char video = 9;
            EXPECT_EQ(hasVideo(host.pluginId(), &in, suites, effect, c, kLayerParam, &id, &video), f.err) << f.what;
            EXPECT_EQ(id, f.id) << f.what;
            EXPECT_EQ(video, 0) << f.what;
            EXPECT_EQ(streams.openStreams() + streams.openValues(), 0) << f.what;
        }
        // The outputs are optional.
        EXPECT_EQ(hasVideo(host.pluginId(), &in, suites, effect, c, kLayerParam, nullptr, nullptr), A_Err_NONE);
        suites.EffectSuite3()->AEGP_DisposeEffect(effect);
    }
    EXPECT_EQ(host.suites().outstanding(), 0);
    EXPECT_EQ(host.violations(), std::vector<std::string>{});
    EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
}
