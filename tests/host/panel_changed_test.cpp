// A parameter the user changed: a keyframed curve slider edited at one of its
// keyframes is marked changed, and the picture is always rendered again.
#include "panel_fixture.h"

#include <memory>

namespace {

class ChangedTest : public PanelTest {
protected:
    // Sends the command at a time (value / scale) with a params[] the test
    // keeps, so the change flags the effect set can be read.
    PF_Err changed(int index, A_long time, A_u_long scale) {
        host.nextInData().current_time = time;
        host.nextInData().time_scale = scale;
        array = params.buildArray({time, scale}, params.frame());
        host.nextInData().num_params = array->size();
        PF_UserChangedParamExtra extra{index};
        return host.send(PF_Cmd_USER_CHANGED_PARAM, &extra, array->get());
    }
    bool marked(int index) { return ((*array)[index].uu.change_flags & PF_ChangeFlag_CHANGED_VALUE) != 0; }
    bool rerender() { return (host.outData().out_flags & PF_OutFlag_FORCE_RERENDER) != 0; }
    // Keyframes at the given times (value / scale) with distinct values.
    void keys(int index, std::vector<A_Time> times) {
        std::vector<hostsim::Keyframe> k;
        for (std::size_t i = 0; i < times.size(); ++i) {
            hostsim::Keyframe key;
            key.time = times[i];
            key.value.v[0] = 10.0 * static_cast<double>(i + 1);
            k.push_back(key);
        }
        params.setKeyframes(index, k);
    }

    std::unique_ptr<hostsim::ParamArray> array;
};

TEST_F(ChangedTest, CurveSliderMarkedOnlyAtAKeyframe) {
    struct Case {
        int index;
        int manual;  // checkbox that must be on, 0 for none
    };
    const Case sliders[] = {{134, 135}, {136, 137}, {138, 141}, {139, 141}, {140, 141}, {142, 143},
                            {144, 145}, {559, 0},   {565, 0},   {576, 0},   {577, 0},   {594, 0}};
    for (const Case& c : sliders) {
        SCOPED_TRACE("parameter " + std::to_string(c.index));
        keys(c.index, {{0, 24}, {48, 24}});
        if (c.manual) set(c.manual, 1);
        ASSERT_EQ(changed(c.index, 48, 24), PF_Err_NONE);
        EXPECT_TRUE(marked(c.index));
        EXPECT_TRUE(rerender());
        ASSERT_EQ(changed(c.index, 30, 24), PF_Err_NONE);  // between keyframes
        EXPECT_FALSE(marked(c.index));
        EXPECT_TRUE(rerender());
        ASSERT_EQ(changed(c.index, 72, 24), PF_Err_NONE);  // after the last
        EXPECT_FALSE(marked(c.index));
    }
    // Each search starts at the current time and includes it.
    for (const auto& s : panel.keyframeSearches()) EXPECT_EQ(s.direction, 0x1000);
}

TEST_F(ChangedTest, TransitionSlidersNeedTheirManualCheckbox) {
    keys(136, {{0, 24}});
    ASSERT_EQ(changed(136, 0, 24), PF_Err_NONE);  // Manual Scale off
    EXPECT_FALSE(marked(136));
    EXPECT_TRUE(rerender());
    EXPECT_TRUE(panel.keyframeSearches().empty());

    keys(139, {{0, 24}});
    set(137, 1);  // a neighbour's checkbox is not Manual Color
    ASSERT_EQ(changed(139, 0, 24), PF_Err_NONE);
    EXPECT_FALSE(marked(139));
    set(141, 1);
    ASSERT_EQ(changed(139, 0, 24), PF_Err_NONE);
    EXPECT_TRUE(marked(139));
}

TEST_F(ChangedTest, OtherParametersOnlyRerender) {
    keys(131, {{0, 24}});
    ASSERT_EQ(changed(131, 0, 24), PF_Err_NONE);
    EXPECT_FALSE(marked(131));
    EXPECT_TRUE(rerender());
    EXPECT_TRUE(panel.keyframeSearches().empty());
}

TEST_F(ChangedTest, KeyframeTimesCompareAsFractions) {
    keys(576, {{2, 4}});
    ASSERT_EQ(changed(576, 12, 24), PF_Err_NONE);  // 2/4 == 12/24
    EXPECT_TRUE(marked(576));
    ASSERT_EQ(changed(576, 13, 24), PF_Err_NONE);
    EXPECT_FALSE(marked(576));
}

TEST_F(ChangedTest, TheHostKeepsAValueMarkedAtItsKeyframe) {
    keys(565, {{0, 24}, {24, 24}});
    host.nextInData().current_time = 24;
    host.nextInData().time_scale = 24;
    // The host's own round trip: the effect marks, the host stores at the keyframe.
    PF_UserChangedParamExtra extra{565};
    ASSERT_EQ(params.send(PF_Cmd_USER_CHANGED_PARAM, &extra), PF_Err_NONE);
    ASSERT_EQ(params.keyframeCount(565), 2);
    EXPECT_EQ(params.keyframes(565)[1].value.v[0], 20.0);
}

TEST_F(ChangedTest, SearchErrorsAreReturnedAndStillRerender) {
    keys(576, {{0, 24}});
    host.faults().failCall("PF_FindKeyframeTime", 1, PF_Err_INVALID_CALLBACK);
    EXPECT_EQ(changed(576, 0, 24), PF_Err_INVALID_CALLBACK);
    EXPECT_FALSE(marked(576));
    EXPECT_TRUE(rerender());

    host.suites().setMissing("PF Param Utils Suite", 2);
    EXPECT_EQ(changed(576, 0, 24), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(rerender());
    host.suites().setMissing("PF Param Utils Suite", 2, false);

    // No current time: refused without asking the host.
    const std::size_t searches = panel.keyframeSearches().size();
    EXPECT_EQ(changed(576, 0, 0), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(panel.keyframeSearches().size(), searches);
    EXPECT_TRUE(rerender());

    // No extra record: refused, but the picture is still redone.
    host.nextInData().num_params = params.count();
    EXPECT_EQ(host.send(PF_Cmd_USER_CHANGED_PARAM, nullptr, array->get()), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(rerender());
}

}  // namespace
