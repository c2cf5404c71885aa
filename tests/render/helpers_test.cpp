// The render helpers: bit depth of a world, the band launcher on the host's
// threads, the alpha bounds of a layer, and whether a layer has video.
#include "RenderFixture.h"
#include "Comp.h"
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
            for (int k = 0; k < 2000 && arrived.load() < n; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
// The composition's layers and items are the simulated host's; the layer
// parameter's stream is stood in for here: its value names a layer by id.
namespace {

struct Stream {
    AEGP_LayerIDVal layerId = 0;
    A_Err streamErr = 0, valueErr = 0;
    int streams = 0, values = 0;  // outstanding
    A_Time askedTime{};
} g_stream;

AEGP_StreamRefH const kStream = reinterpret_cast<AEGP_StreamRefH>(0x51);

A_Err newStream(AEGP_PluginID, AEGP_EffectRefH, PF_ParamIndex, AEGP_StreamRefH* s) {
    if (g_stream.streamErr) return g_stream.streamErr;
    ++g_stream.streams;
    *s = kStream;
    return 0;
}
A_Err disposeStream(AEGP_StreamRefH) { return --g_stream.streams, 0; }
A_Err newValue(AEGP_PluginID, AEGP_StreamRefH, AEGP_LTimeMode, const A_Time* t, A_Boolean, AEGP_StreamValue2* v) {
    g_stream.askedTime = *t;
    if (g_stream.valueErr) return g_stream.valueErr;
    ++g_stream.values;
    v->val.layer_id = g_stream.layerId;
    return 0;
}
A_Err disposeValue(AEGP_StreamValue2*) { return --g_stream.values, 0; }

}  // namespace

TEST_F(RenderHelpers, HasVideoByLayerKind) {
    AEGP_StreamSuite9 streams{newStream, disposeStream, nullptr, newValue, disposeValue, nullptr};
    host.suites().add(kAEGPStreamSuite, 9, &streams);
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
    in = host.nextInData();
    in.current_time = 48;
    in.time_scale = 24;

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
        {"audio-only footage", audioLayer.id, 0, 0},
        {"no such layer", 999, A_Err_PARAMETER, 0},
    };
    const AEGP_CompH c = comp.compHandle();
    for (const Case& k : cases) {
        g_stream = Stream{};
        g_stream.layerId = k.id;
        int id = -1;
        unsigned char video = 9;
        EXPECT_EQ(hasVideo(77, &in, *suites, nullptr, c, 12, &id, &video), k.err) << k.what;
        EXPECT_EQ(id, k.id) << k.what;
        EXPECT_EQ(video, k.video) << k.what;
        EXPECT_EQ(g_stream.streams, 0) << k.what << ": stream not disposed";
        EXPECT_EQ(g_stream.values, 0) << k.what << ": value not disposed";
    }
    EXPECT_EQ(g_stream.askedTime.value, 48);  // read at the current time
    EXPECT_EQ(g_stream.askedTime.scale, 24u);

    // Failures: the first error is returned and nothing is left held.
    struct Failure {
        const char* what;
        A_Err streamErr, valueErr;
        const char* failing;  // a host function made to fail, or null
        A_Err err;
        int id;
    };
    const Failure failures[] = {
        {"no stream", A_Err_STRUCT, 0, nullptr, A_Err_STRUCT, 0},
        {"value cannot be read", 0, A_Err_PARAMETER, nullptr, A_Err_PARAMETER, 0},
        {"object type fails", 0, 0, "AEGP_GetLayerObjectType", A_Err_GENERIC, footage},
        {"item flags fail", 0, 0, "AEGP_GetItemFlags", A_Err_GENERIC, footage},
    };
    for (const Failure& f : failures) {
        g_stream = Stream{};
        g_stream.layerId = footage;
        g_stream.streamErr = f.streamErr;
        g_stream.valueErr = f.valueErr;
        if (f.failing) host.faults().failCall(f.failing, host.faults().calls(f.failing) + 1, A_Err_GENERIC);
        int id = -1;
        unsigned char video = 9;
        EXPECT_EQ(hasVideo(77, &in, *suites, nullptr, c, 12, &id, &video), f.err) << f.what;
        EXPECT_EQ(id, f.id) << f.what;
        EXPECT_EQ(video, 0) << f.what;
        EXPECT_EQ(g_stream.streams + g_stream.values, 0) << f.what;
    }
    // The outputs are optional.
    g_stream = Stream{};
    g_stream.layerId = footage;
    EXPECT_EQ(hasVideo(77, &in, *suites, nullptr, c, 12, nullptr, nullptr), A_Err_NONE);
    suites.reset();  // release before the stand-in table goes out of scope
}
