// The render helpers: bit depth of a world, the band launcher on the host's
// threads, the alpha bounds of a layer, and whether a layer has video.
#include "RenderFixture.h"
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
// The stream, layer and item suites stand in for the composition here: the
// layer parameter's value names a layer by id.
namespace {

struct Scene {
    AEGP_LayerIDVal layerId = 0;
    AEGP_ObjectType type = AEGP_ObjectType_AV;
    AEGP_ItemFlags flags = AEGP_ItemFlag_HAS_VIDEO;
    bool hasItem = true;
    A_Err streamErr = 0, valueErr = 0, typeErr = 0;
    int streams = 0, values = 0;  // outstanding
    A_Time askedTime{};
} g_scene;

AEGP_StreamRefH const kStream = reinterpret_cast<AEGP_StreamRefH>(0x51);
AEGP_LayerH const kLayer = reinterpret_cast<AEGP_LayerH>(0x52);
AEGP_ItemH const kItem = reinterpret_cast<AEGP_ItemH>(0x53);

A_Err newStream(AEGP_PluginID, AEGP_EffectRefH, PF_ParamIndex, AEGP_StreamRefH* s) {
    if (g_scene.streamErr) return g_scene.streamErr;
    ++g_scene.streams;
    *s = kStream;
    return 0;
}
A_Err disposeStream(AEGP_StreamRefH) { return --g_scene.streams, 0; }
A_Err newValue(AEGP_PluginID, AEGP_StreamRefH, AEGP_LTimeMode, const A_Time* t, A_Boolean, AEGP_StreamValue2* v) {
    g_scene.askedTime = *t;
    if (g_scene.valueErr) return g_scene.valueErr;
    ++g_scene.values;
    v->val.layer_id = g_scene.layerId;
    return 0;
}
A_Err disposeValue(AEGP_StreamValue2*) { return --g_scene.values, 0; }
A_Err layerFromId(AEGP_CompH, AEGP_LayerIDVal, AEGP_LayerH* l) { return *l = kLayer, 0; }
A_Err objectType(AEGP_LayerH, AEGP_ObjectType* t) {
    if (g_scene.typeErr) return g_scene.typeErr;
    *t = g_scene.type;
    return 0;
}
A_Err sourceItem(AEGP_LayerH, AEGP_ItemH* i) { return *i = g_scene.hasItem ? kItem : nullptr, 0; }
A_Err itemFlags(AEGP_ItemH, AEGP_ItemFlags* f) { return *f = g_scene.flags, 0; }

}  // namespace

TEST_F(RenderHelpers, HasVideoByLayerKind) {
    AEGP_StreamSuite9 streams{newStream, disposeStream, nullptr, newValue, disposeValue, nullptr};
    AEGP_LayerSuite13 layers{};
    layers.AEGP_GetLayerFromLayerID = layerFromId;
    layers.AEGP_GetLayerObjectType = objectType;
    layers.AEGP_GetLayerSourceItem = sourceItem;
    AEGP_ItemSuite13 items{itemFlags, nullptr};
    host.suites().add(kAEGPStreamSuite, 9, &streams);
    host.suites().add(kAEGPLayerSuite, 13, &layers);
    host.suites().add(kAEGPItemSuite, 13, &items);
    in.current_time = 48;
    in.time_scale = 24;

    struct Case {
        const char* what;
        Scene scene;
        A_Err err;
        int id;
        unsigned char video;
    };
    Scene none;
    Scene camera;
    camera.layerId = 4, camera.type = AEGP_ObjectType_CAMERA;
    Scene light = camera;
    light.type = AEGP_ObjectType_LIGHT;
    Scene text = camera;
    text.type = AEGP_ObjectType_TEXT, text.hasItem = false;
    Scene shape = text;
    shape.type = AEGP_ObjectType_VECTOR;
    Scene footage = camera;
    footage.type = AEGP_ObjectType_AV;
    Scene audioOnly = footage;
    audioOnly.flags = AEGP_ItemFlag_HAS_AUDIO;
    Scene typeFails = footage;
    typeFails.typeErr = A_Err_GENERIC;
    Scene valueFails = footage;
    valueFails.valueErr = A_Err_PARAMETER;
    Scene streamFails = footage;
    streamFails.streamErr = A_Err_STRUCT;
    const Case cases[] = {
        {"layer parameter set to none", none, 0, 0, 0},
        {"camera", camera, 0, 4, 0},
        {"light", light, 0, 4, 0},
        {"text", text, 0, 4, 1},
        {"shape", shape, 0, 4, 1},
        {"footage with video", footage, 0, 4, 1},
        {"audio-only footage", audioOnly, 0, 4, 0},
        {"object type fails", typeFails, A_Err_GENERIC, 4, 0},
        {"value cannot be read", valueFails, A_Err_PARAMETER, 0, 0},
        {"no stream", streamFails, A_Err_STRUCT, 0, 0},
    };
    for (const Case& c : cases) {
        g_scene = c.scene;
        int id = -1;
        unsigned char video = 9;
        EXPECT_EQ(hasVideo(77, &in, *suites, nullptr, nullptr, 12, &id, &video), c.err) << c.what;
        EXPECT_EQ(id, c.id) << c.what;
        EXPECT_EQ(video, c.video) << c.what;
        EXPECT_EQ(g_scene.streams, 0) << c.what << ": stream not disposed";
        EXPECT_EQ(g_scene.values, 0) << c.what << ": value not disposed";
    }
    // The outputs are optional; the value is read at the current time.
    g_scene = footage;
    EXPECT_EQ(hasVideo(77, &in, *suites, nullptr, nullptr, 12, nullptr, nullptr), A_Err_NONE);
    EXPECT_EQ(g_scene.askedTime.value, 48);
    EXPECT_EQ(g_scene.askedTime.scale, 24u);
    suites.reset();  // release before the tables go out of scope
}
