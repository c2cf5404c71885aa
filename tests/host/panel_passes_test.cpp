// Panel update passes: the full passes of a new instance, incremental passes
// afterwards, what is remembered in the sequence data, and failures.
#include "panel_fixture.h"

#include <algorithm>

namespace {

// What the pattern rules touch at the table's defaults (Grid, Width mode,
// displacement Random, Normal order, colour maps Fill), and every shape member.
std::vector<int> defaultTouched() {
    std::vector<int> v = {37,  121, 122, 123, 125, 127, 133, 147, 148, 149, 150, 151, 164,
                          165, 166, 167, 168, 589, 590, 591, 633, 634, 635, 674, 675, 676};
    for (int i = 170; i < 170 + 8 * 47; ++i) v.push_back(i);
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<int> sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST_F(PanelTest, ThreeFullPassesThenOnlyChanges) {
    for (int pass = 1; pass <= 3; ++pass) {
        SCOPED_TRACE("pass " + std::to_string(pass));
        panel.clearLog();
        ASSERT_EQ(update(), PF_Err_NONE);
        // Everything is sent, forced, whether or not it changed.
        EXPECT_EQ(sorted(uiUpdated()), defaultTouched());
        EXPECT_EQ(flagged().size(), 116u + 8u * 26u);
        EXPECT_EQ(sequence().initCount, pass);
    }
    panel.clearLog();
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(uiUpdated(), std::vector<int>{});
    EXPECT_EQ(flagged(), std::vector<int>{});
    const SequenceData seq = sequence();
    EXPECT_EQ(seq.initCount, 3);
    EXPECT_EQ(seq.lastPattern, 6);
    EXPECT_EQ(seq.lastShapeNumber, 1);
    for (int s = 0; s < 8; ++s) EXPECT_EQ(seq.lastShapeType[s], 2);
    EXPECT_TRUE(host.outData().out_flags & PF_OutFlag_REFRESH_UI);
}

TEST_F(PanelTest, IncrementalPassSendsOnlyDefinitionsWhoseStateChanges) {
    settle();
    set(120, 2);  // displacement by map
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(uiUpdated(), (std::vector<int>{121, 122, 123, 125, 127}));
    EXPECT_EQ(flagged(), std::vector<int>{});

    // A shape in use changes its Fill/Stroke: only its stroke members change.
    panel.clearLog();
    set(member(0, 39), 2);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(uiUpdated(), (std::vector<int>{member(0, 29), member(0, 40)}));
    // A shape beyond Shape Number is not looked at on this host.
    panel.clearLog();
    set(member(5, 39), 2);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(uiUpdated(), std::vector<int>{});
}

TEST_F(PanelTest, OldHostResendsEveryTouchedDefinition) {
    useHostVersion(13, 1);
    settle();
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(sorted(uiUpdated()), defaultTouched());
    EXPECT_EQ(flagged(), std::vector<int>{});

    // 13.2 is the first version that passes the host's current definitions.
    useHostVersion(13, 2);
    panel.clearLog();
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(uiUpdated(), std::vector<int>{});
    useHostVersion(12, 9);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(sorted(uiUpdated()), defaultTouched());
}

TEST_F(PanelTest, LayoutSwitchInAnIncrementalPass) {
    settle();
    set(kPattern, 4);  // Grid to Circle
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(hiddenIn(34, 41), span(34, 41));
    EXPECT_EQ(hiddenIn(20, 24), std::set<int>{});
    EXPECT_TRUE(panel.hidden(117) && panel.hidden(118));
    EXPECT_EQ(sequence().lastPattern, 4);
    // The pattern update forces its own gray-outs; no shape changed.
    for (int i : flagged()) EXPECT_LE(i, 118);
    const std::vector<int> sent = uiUpdated();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 37), 0) << "Grid rules rest under Circle";
}

TEST_F(PanelTest, RaisingShapeNumberUpdatesEveryGroup) {
    set(kShapeNumber, 2);
    settle();
    EXPECT_TRUE(panel.grayed(member(2, 0)));
    set(kShapeNumber, 4);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(flagged().size(), 8u * 26u);
    EXPECT_EQ(uiUpdated().size(), 8u * 47u);
    for (int s : {2, 3}) EXPECT_FALSE(panel.grayed(member(s, 0))) << "shape " << s + 1;
    EXPECT_TRUE(panel.grayed(member(4, 0)));
    EXPECT_EQ(sequence().lastShapeNumber, 4);
}

TEST_F(PanelTest, ShapeKindChangeUpdatesThatShapeOnly) {
    set(kShapeNumber, 3);
    settle();
    setShapeKind(1, 5);  // shape 2 becomes Layer
    ASSERT_EQ(update(), PF_Err_NONE);
    const std::vector<int> made = flagged();
    const std::set<int> touched(made.begin(), made.end());
    EXPECT_EQ(touched.size(), 26u);
    EXPECT_TRUE(*touched.begin() > member(1, 0) && *touched.rbegin() < member(1, 46));
    EXPECT_EQ(sequence().lastShapeType[1], 5);
    EXPECT_TRUE(panel.hidden(member(1, 11)));
}

TEST_F(PanelTest, SequenceResetupStartsFullPassesAgain) {
    settle();
    ASSERT_EQ(host.sequenceResetup(), PF_Err_NONE);
    EXPECT_EQ(sequence().initCount, 0);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(sorted(uiUpdated()), defaultTouched());
    EXPECT_EQ(sequence().initCount, 1);
}

// ---------------------------------------------------------------- failures

TEST_F(PanelTest, MissingSuitesGive516AndLeaveNothingHeld) {
    const std::pair<const char*, int> suites[] = {{"AEGP Dynamic Stream Suite", 5},
                                                  {"AEGP Stream Suite", 9},
                                                  {"PF Param Utils Suite", 2},
                                                  {"AEGP PF Interface Suite", 1},
                                                  {"AEGP Effect Suite", 2}};
    for (const auto& [name, version] : suites) {
        SCOPED_TRACE(name);
        host.suites().setMissing(name, version);
        EXPECT_EQ(update(), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_TRUE(host.outData().out_flags & PF_OutFlag_REFRESH_UI);
        EXPECT_EQ(comp.liveEffects(), 0);
        EXPECT_EQ(sequence().initCount, 0);
        host.suites().setMissing(name, version, false);
    }
    // Host violations (held suites, open streams, effects) are checked at tear-down.
}

TEST_F(PanelTest, AHostErrorStopsThePassAndIsReturned) {
    struct Case {
        const char* function;
        int nth;
        int flagsMade;  // dynamic-flag calls that succeeded before the stop
        int refusedDisposals;
    };
    const Case cases[] = {
        {"AEGP_SetDynamicStreamFlag", 5, 4, 0},  {"AEGP_GetNewEffectStreamByIndex", 5, 4, 0},
        {"AEGP_DisposeStream", 5, 5, 1},         {"PF_UpdateParamUI", 3, 0, 0},
        {"AEGP_GetNewEffectForEffect", 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        panel.clearLog();
        host.faults().clear();
        host.faults().failCall(c.function, c.nth, PF_Err_INVALID_INDEX);
        EXPECT_EQ(update(), PF_Err_INVALID_INDEX);
        EXPECT_EQ(static_cast<int>(flagged().size()), c.flagsMade);
        EXPECT_EQ(sequence().initCount, 0);
        EXPECT_TRUE(host.outData().out_flags & PF_OutFlag_REFRESH_UI);
        EXPECT_EQ(comp.liveEffects(), 0);
        // Every stream was handed back; only one the host refused stays with it.
        EXPECT_EQ(streams.openStreams(), c.refusedDisposals);
        if (c.refusedDisposals) {
            streams.reclaimAll();
            host.clearViolations();
        }
    }
    host.faults().clear();
}

TEST_F(PanelTest, AFailedDisposalOfTheEffectIsReported) {
    host.faults().failCall("AEGP_DisposeEffect", 1, PF_Err_INVALID_CALLBACK);
    EXPECT_EQ(update(), PF_Err_INVALID_CALLBACK);
    // The pass itself was complete.
    EXPECT_EQ(sequence().initCount, 1);
    // The host kept the reference it refused to dispose.
    EXPECT_EQ(comp.liveEffects(), 1);
    host.clearViolations();
}

TEST_F(PanelTest, AChangeThatFailedToApplyIsAppliedByTheNextPass) {
    settle();
    set(kPattern, 4);
    host.faults().clear();  // counts calls from here
    host.faults().failCall("AEGP_SetDynamicStreamFlag", 30, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(update(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(sequence().lastPattern, 6);
    // Nothing changed since, but the layout switch is still owed.
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(sequence().lastPattern, 4);
    EXPECT_EQ(hiddenIn(2, 118), span(2, 19, span(25, 115, {117, 118})));

    // The same for a raised Shape Number.
    host.faults().clear();
    set(kShapeNumber, 5);
    host.faults().failCall("PF_UpdateParamUI", 100, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(update(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(sequence().lastShapeNumber, 1);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(sequence().lastShapeNumber, 5);
    EXPECT_FALSE(panel.grayed(member(4, 0)));

    // The same for a shape's new kind.
    host.faults().clear();
    const int kindBefore = sequence().lastShapeType[0];
    ASSERT_NE(kindBefore, 5);
    setShapeKind(0, 5);
    host.faults().failCall("AEGP_SetDynamicStreamFlag", 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(update(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(sequence().lastShapeType[0], kindBefore);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(sequence().lastShapeType[0], 5);
    EXPECT_TRUE(panel.hidden(member(0, 11)));
    host.faults().clear();
}

TEST_F(PanelTest, WithoutSequenceDataThePanelIsStillUpdated) {
    ASSERT_EQ(host.sequenceSetdown(), PF_Err_NONE);
    set(kPattern, 4);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(hiddenIn(20, 24), std::set<int>{});
    EXPECT_EQ(sorted(uiUpdated()).size(), defaultTouched().size() - 1);  // Grid's Height rule rests
    ASSERT_EQ(host.sequenceSetup(), PF_Err_NONE);
}

TEST_F(PanelTest, MalformedCommandsAreRefused) {
    // No params[].
    EXPECT_EQ(host.send(PF_Cmd_UPDATE_PARAMS_UI), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(host.outData().out_flags & PF_OutFlag_REFRESH_UI);
    // No global data.
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    EXPECT_EQ(update(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(panel.uiUpdates().size(), 0u);
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
}

}  // namespace
