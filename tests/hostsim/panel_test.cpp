// The simulated panel suites called directly: keyframe searches in both
// directions, dynamic flags, and what the host refuses.
#include "Panel.h"
#include "HostFixture.h"
#include "Params.h"

namespace {

class HostSimPanel : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        const void* s = nullptr;
        ASSERT_EQ(host.suites().acquire(kPFParamUtilsSuite, 2, &s), kSPNoError);
        utils = static_cast<const PF_ParamUtilsSuite2*>(s);
        ASSERT_EQ(host.suites().acquire(kAEGPDynamicStreamSuite, 5, &s), kSPNoError);
        dynamic = static_cast<const AEGP_DynamicStreamSuite5*>(s);
    }
    // Suites held over a command would be leaks of that command.
    void releaseSuites() {
        if (!utils) return;
        host.suites().release(kPFParamUtilsSuite, 2);
        host.suites().release(kAEGPDynamicStreamSuite, 5);
        utils = nullptr;
        dynamic = nullptr;
    }
    void TearDown() override {
        releaseSuites();
        EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
        HostFixture::TearDown();
    }

    // The keyframe index found from a time (value / 24) in a direction, -1 for none.
    int find(int index, A_long time, PF_TimeDir dir) {
        PF_Boolean found = true;
        A_long key = -7, keyTime = 0;
        A_u_long keyScale = 0;
        EXPECT_EQ(utils->PF_FindKeyframeTime(host.effectRef(), index, time, 24, dir, &found, &key, &keyTime, &keyScale),
                  PF_Err_NONE);
        return found ? key : -1;
    }

    hostsim::Params& params = host.get<hostsim::Params>();
    hostsim::Panel& panel = host.get<hostsim::Panel>();
    const PF_ParamUtilsSuite2* utils = nullptr;
    const AEGP_DynamicStreamSuite5* dynamic = nullptr;
};

TEST_F(HostSimPanel, KeyframeSearchInBothDirections) {
    const int slider = 565;
    hostsim::Keyframe a, b;
    a.time = {1, 1};  // 24/24
    b.time = {6, 4};  // 36/24
    params.setKeyframes(slider, {b, a});
    struct Case {
        A_long time;
        PF_TimeDir dir;
        int key;
    };
    const Case cases[] = {
        {0, PF_TimeDir_GREATER_THAN, 0},           {24, PF_TimeDir_GREATER_THAN, 1},
        {24, PF_TimeDir_GREATER_THAN_OR_EQUAL, 0}, {36, PF_TimeDir_GREATER_THAN, -1},
        {36, PF_TimeDir_GREATER_THAN_OR_EQUAL, 1}, {36, PF_TimeDir_LESS_THAN, 0},
        {36, PF_TimeDir_LESS_THAN_OR_EQUAL, 1},    {24, PF_TimeDir_LESS_THAN, -1},
        {30, PF_TimeDir_LESS_THAN_OR_EQUAL, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(find(slider, c.time, c.dir), c.key) << "time " << c.time << " direction " << c.dir;
    EXPECT_EQ(find(566, 0, PF_TimeDir_GREATER_THAN_OR_EQUAL), -1);  // no keyframes at all

    // The keyframe's own time comes back as it is stored.
    PF_Boolean found = false;
    A_long key = -1, keyTime = 0;
    A_u_long keyScale = 0;
    ASSERT_EQ(utils->PF_FindKeyframeTime(host.effectRef(), slider, 30, 24, PF_TimeDir_GREATER_THAN, &found, &key,
                                         &keyTime, &keyScale),
              PF_Err_NONE);
    EXPECT_EQ(keyTime, 6);
    EXPECT_EQ(keyScale, 4u);
    A_long count = 0;
    ASSERT_EQ(utils->PF_GetKeyframeCount(host.effectRef(), slider, &count), PF_Err_NONE);
    EXPECT_EQ(count, 2);
}

TEST_F(HostSimPanel, HiddenFlagsLiveWithTheInstanceForValuesAndGroups) {
    const void* s = nullptr;
    ASSERT_EQ(host.suites().acquire(kAEGPPFInterfaceSuite, 1, &s), kSPNoError);
    auto* pf = static_cast<const AEGP_PFInterfaceSuite1*>(s);
    ASSERT_EQ(host.suites().acquire(kAEGPEffectSuite, 2, &s), kSPNoError);
    auto* effects = static_cast<const AEGP_EffectSuite2*>(s);
    ASSERT_EQ(host.suites().acquire(kAEGPStreamSuite, 9, &s), kSPNoError);
    auto* streams = static_cast<const AEGP_StreamSuite9*>(s);

    AEGP_EffectRefH effect = nullptr;
    ASSERT_EQ(pf->AEGP_GetNewEffectForEffect(host.pluginId(), host.effectRef(), &effect), A_Err_NONE);
    for (int index : {62, 67, 72}) {  // a slider, a group start, a group end
        SCOPED_TRACE(index);
        AEGP_StreamRefH stream = nullptr;
        ASSERT_EQ(streams->AEGP_GetNewEffectStreamByIndex(host.pluginId(), effect, index, &stream), A_Err_NONE);
        ASSERT_EQ(dynamic->AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN, false, true), A_Err_NONE);
        AEGP_DynStreamFlags flags = 0;
        ASSERT_EQ(dynamic->AEGP_GetDynamicStreamFlags(stream, &flags), A_Err_NONE);
        EXPECT_EQ(flags, AEGP_DynStreamFlag_HIDDEN);
        // Two flags at once is not how the host is asked.
        EXPECT_EQ(dynamic->AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN | AEGP_DynStreamFlag_DISABLED,
                                                     false, true),
                  A_Err_PARAMETER);
        ASSERT_EQ(streams->AEGP_DisposeStream(stream), A_Err_NONE);
        EXPECT_TRUE(panel.hidden(index));
    }
    EXPECT_FALSE(panel.hidden(63));
    ASSERT_EQ(effects->AEGP_DisposeEffect(effect), A_Err_NONE);
    EXPECT_EQ(host.violations().size(), 3u);  // the three double flags
    host.clearViolations();
    host.suites().release(kAEGPPFInterfaceSuite, 1);
    host.suites().release(kAEGPEffectSuite, 2);
    host.suites().release(kAEGPStreamSuite, 9);
}

TEST_F(HostSimPanel, UiFlagsReachTheDefinitionsTheHostHandsOut) {
    PF_ParamDef def = params.definition(29);
    def.ui_flags |= PF_PUI_DISABLED;
    ASSERT_EQ(utils->PF_UpdateParamUI(host.effectRef(), 29, &def), PF_Err_NONE);
    EXPECT_TRUE(panel.grayed(29));
    auto array = params.buildArray({0, 24}, params.frame());
    EXPECT_TRUE((*array)[29].ui_flags & PF_PUI_DISABLED);
    releaseSuites();
    ASSERT_EQ(params.setup(), PF_Err_NONE);  // a new table starts enabled
    EXPECT_FALSE(panel.grayed(29));
}

TEST_F(HostSimPanel, MisuseIsRefusedAndReported) {
    PF_ParamDef blank{};  // a popup's index with a blank (layer-typed) definition
    EXPECT_EQ(utils->PF_UpdateParamUI(host.effectRef(), 27, &blank), PF_Err_BAD_CALLBACK_PARAM);
    PF_ParamDef def = params.definition(27);
    EXPECT_EQ(utils->PF_UpdateParamUI(host.effectRef(), 688, &def), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(utils->PF_UpdateParamUI(nullptr, 27, &def), PF_Err_BAD_CALLBACK_PARAM);
    PF_Boolean found;
    A_long key, keyTime;
    A_u_long keyScale;
    EXPECT_EQ(utils->PF_FindKeyframeTime(host.effectRef(), 27, 0, 0, PF_TimeDir_GREATER_THAN, &found, &key, &keyTime,
                                         &keyScale),
              PF_Err_BAD_CALLBACK_PARAM);
    // A stream handle nobody handed out.
    EXPECT_EQ(dynamic->AEGP_SetDynamicStreamFlag(reinterpret_cast<AEGP_StreamRefH>(&def), AEGP_DynStreamFlag_HIDDEN,
                                                 false, true),
              A_Err_PARAMETER);
    EXPECT_EQ(host.violations().size(), 5u);
    host.clearViolations();
}

}  // namespace
