// The stream and keyframe suites over the effect's registered parameters.
#include "Streams.h"
#include "HostFixture.h"
#include "Params.h"

namespace {

using hostsim::Keyframe;
using hostsim::ParamValue;
using hostsim::Streams;

class StreamSuites : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        const void* s = nullptr;
        ASSERT_EQ(host.suites().acquire(kAEGPStreamSuite, 9, &s), kSPNoError);
        stream = static_cast<const AEGP_StreamSuite9*>(s);
        ASSERT_EQ(host.suites().acquire(kAEGPKeyframeSuite, 4, &s), kSPNoError);
        keys = static_cast<const AEGP_KeyframeSuite4*>(s);
    }
    void TearDown() override {
        host.suites().release(kAEGPStreamSuite, 9);
        host.suites().release(kAEGPKeyframeSuite, 4);
        EXPECT_EQ(streams.openStreams(), 0);
        EXPECT_EQ(streams.openValues(), 0);
        HostFixture::TearDown();
    }
    AEGP_StreamRefH open(int index) {
        AEGP_StreamRefH h = nullptr;
        EXPECT_EQ(stream->AEGP_GetNewEffectStreamByIndex(host.pluginId(), effect, index, &h), A_Err_NONE);
        return h;
    }

    hostsim::Params& params = host.get<hostsim::Params>();
    Streams& streams = host.get<Streams>();
    const AEGP_StreamSuite9* stream = nullptr;
    const AEGP_KeyframeSuite4* keys = nullptr;
    int dummy = 0;
    AEGP_EffectRefH effect = reinterpret_cast<AEGP_EffectRefH>(&dummy);
};

TEST_F(StreamSuites, TypesValuesAndKeyframesInTheSuitesUnits) {
    ParamValue red;
    red.v[0] = 255, red.v[1] = 255, red.v[2] = 51, red.v[3] = 0;
    params.setKeyframes(576, {Keyframe{{0, 1}, red}, Keyframe{{2, 1}, ParamValue{{255, 0, 0, 255}, nullptr}}});
    AEGP_StreamRefH colour = open(576), point = open(134), slider = open(136);
    AEGP_StreamType type;
    ASSERT_EQ(stream->AEGP_GetStreamType(colour, &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_StreamType_COLOR);
    stream->AEGP_GetStreamType(point, &type);
    EXPECT_EQ(type, AEGP_StreamType_TwoD_SPATIAL);
    stream->AEGP_GetStreamType(slider, &type);
    EXPECT_EQ(type, AEGP_StreamType_OneD);

    A_long n = 0;
    ASSERT_EQ(keys->AEGP_GetStreamNumKFs(colour, &n), A_Err_NONE);
    EXPECT_EQ(n, 2);
    A_Time t{};
    ASSERT_EQ(keys->AEGP_GetKeyframeTime(colour, 1, AEGP_LTimeMode_LayerTime, &t), A_Err_NONE);
    EXPECT_EQ(t.value, 2);
    EXPECT_NE(keys->AEGP_GetKeyframeTime(colour, 2, AEGP_LTimeMode_LayerTime, &t), A_Err_NONE);

    AEGP_StreamValue2 v{};
    const A_Time half{1, 1};
    ASSERT_EQ(stream->AEGP_GetNewStreamValue(host.pluginId(), colour, AEGP_LTimeMode_LayerTime, &half, false, &v),
              A_Err_NONE);
    EXPECT_DOUBLE_EQ(v.val.color.alphaF, 1.0);
    EXPECT_DOUBLE_EQ(v.val.color.redF, 0.5);
    EXPECT_DOUBLE_EQ(v.val.color.greenF, 0.1);
    EXPECT_DOUBLE_EQ(v.val.color.blueF, 0.5);
    EXPECT_EQ(streams.openValues(), 1);
    ASSERT_EQ(stream->AEGP_DisposeStreamValue(&v), A_Err_NONE);

    // Held before the first and after the last keyframe.
    for (A_Time when : {A_Time{-5, 1}, A_Time{9, 1}}) {
        ASSERT_EQ(stream->AEGP_GetNewStreamValue(host.pluginId(), colour, AEGP_LTimeMode_LayerTime, &when, false, &v),
                  A_Err_NONE);
        EXPECT_DOUBLE_EQ(v.val.color.redF, when.value < 0 ? 1.0 : 0.0);
        stream->AEGP_DisposeStreamValue(&v);
    }
    ASSERT_EQ(keys->AEGP_GetNewKeyframeValue(host.pluginId(), colour, 0, &v), A_Err_NONE);
    EXPECT_DOUBLE_EQ(v.val.color.greenF, 0.2);
    stream->AEGP_DisposeStreamValue(&v);
    EXPECT_EQ(streams.requests().size(), 3u);

    for (AEGP_StreamRefH h : {colour, point, slider}) EXPECT_EQ(stream->AEGP_DisposeStream(h), A_Err_NONE);
    EXPECT_EQ(streams.streamsOpened(), 3);
}

TEST_F(StreamSuites, MisuseIsReported) {
    AEGP_StreamRefH h = nullptr;
    EXPECT_NE(stream->AEGP_GetNewEffectStreamByIndex(host.pluginId(), effect, 9999, &h), A_Err_NONE);
    EXPECT_EQ(h, nullptr);
    h = open(136);
    EXPECT_EQ(stream->AEGP_DisposeStream(h), A_Err_NONE);
    EXPECT_NE(stream->AEGP_DisposeStream(h), A_Err_NONE);
    AEGP_StreamValue2 v{};
    v.streamH = h;
    EXPECT_NE(stream->AEGP_DisposeStreamValue(&v), A_Err_NONE);
    EXPECT_EQ(host.violations().size(), 2u);
    host.clearViolations();
}

}  // namespace
