// The entry point through the loaded module: dispatch, about, setup and
// setdown of global and sequence data, and the exception guard.
#include "Core.h"
#include "HostFixture.h"
#include "World.h"

#include <cstring>

namespace {

struct SequenceRecord {  // the sequence data's layout as the panel code keeps it
    int32_t initCount, lastPattern, lastShapeNumber, lastShapeType[8];
};

using EntryTest = HostFixture;

TEST_F(EntryTest, EveryCodeWithoutAHandlerReturnsZeroAndTouchesNothing) {
    startInstance();
    hostsim::World output(8, 4, hostsim::Depth::Bits8);
    output.fill(PF_Pixel{1, 2, 3, 4});
    for (PF_Cmd cmd : {-1, 2, 7, 10, 11, 12, 16, 17, 19, 20, 21, 25, 26, 27, 28, 29, 30, 1000}) {
        SCOPED_TRACE(cmd);
        PF_Handle global = host.globalData();
        EXPECT_EQ(host.send(cmd, nullptr, nullptr, output.get()), PF_Err_NONE);
        EXPECT_EQ(host.outData().out_flags, 0);
        EXPECT_EQ(host.outData().return_msg[0], '\0');
        EXPECT_EQ(host.globalData(), global);
        EXPECT_EQ(host.handles().created(), 2);  // global and sequence data only
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) ASSERT_EQ(output.at<PF_Pixel>(x, y).alpha, 1);
    }
    endInstance();
}

TEST_F(EntryTest, HandledCodesAnswerWithoutError) {
    startInstance();
    // Handlers of later stages answer 0 until their data exists; none may fail
    // or leak on an idle instance.
    for (PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_QUERY_DYNAMIC_FLAGS}) {
        SCOPED_TRACE(cmd);
        EXPECT_EQ(host.send(cmd), PF_Err_NONE);
    }
    endInstance();
}

TEST_F(EntryTest, AboutTextNamesEffectVersionAndMaker) {
    ASSERT_EQ(host.send(PF_Cmd_ABOUT), PF_Err_NONE);
    EXPECT_EQ(host.message(), "VemaroPattern, v1.00\rVemaro");
}

TEST_F(EntryTest, GlobalSetupAddsVersionAndFlagsToWhatTheHostSet) {
    host.presetOutFlags(PF_OutFlag_KEEP_RESOURCE_OPEN | PF_OutFlag_I_DO_DIALOG, PF_OutFlag2_I_USE_3D_CAMERA);
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.outData().my_version, 0x80601u);
    EXPECT_EQ(host.outData().out_flags, 0x06108022 | PF_OutFlag_KEEP_RESOURCE_OPEN);
    EXPECT_EQ(host.outData().out_flags2, 0x1401 | PF_OutFlag2_I_USE_3D_CAMERA);
    // The property list promises the same values.
    const hostsim::PiPL& pipl = host.module().pipl();
    EXPECT_EQ(pipl.long32("eGLO"), 0x06108022u);
    EXPECT_EQ(pipl.long32("eGL2"), 0x1401u);
    EXPECT_EQ(pipl.long32("eVER"), host.outData().my_version);

    auto& core = host.get<hostsim::Core>();
    EXPECT_EQ(core.registrations, 1);
    EXPECT_EQ(core.registeredName, "VemaroPattern");
    ASSERT_NE(host.globalData(), nullptr);
    auto* id = static_cast<int32_t*>(host.handles().lock(host.globalData()));
    EXPECT_EQ(*id, host.pluginId());
    host.handles().unlock(host.globalData());
    EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
}

TEST_F(EntryTest, DynamicFlagsAskForWideTimeInput) {
    host.presetOutFlags(PF_OutFlag_NON_PARAM_VARY, 0);
    ASSERT_EQ(host.send(PF_Cmd_QUERY_DYNAMIC_FLAGS), PF_Err_NONE);
    EXPECT_EQ(host.outData().out_flags, PF_OutFlag_WIDE_TIME_INPUT | PF_OutFlag_NON_PARAM_VARY);
}

TEST_F(EntryTest, GlobalSetupFailures) {
    struct Case {
        const char* what;
        std::function<void(hostsim::Host&)> arrange;
        PF_Err expected;
    };
    // Each leaves no global data and no handle behind (checked by TearDown and below).
    std::vector<Case> cases = {
        {"no handle", [](hostsim::Host& h) { h.handles().failAllocations(1); }, PF_Err_INTERNAL_STRUCT_DAMAGED},
        {"lock gives no pointer", [](hostsim::Host& h) { h.handles().failLocks(1); }, PF_Err_INTERNAL_STRUCT_DAMAGED},
        {"registration fails", [](hostsim::Host& h) { h.faults().failCall("AEGP_RegisterWithAEGP", 1, 7); }, 7},
        {"utility suite missing", [](hostsim::Host& h) { h.suites().setMissing("AEGP Utility Suite", 7); },
         PF_Err_BAD_CALLBACK_PARAM},
        {"allocation throws inside the host",
         [](hostsim::Host& h) { h.faults().throwBadAlloc("AEGP_RegisterWithAEGP", 1); }, PF_Err_OUT_OF_MEMORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hostsim::Host& h = host;
        h.faults().clear();
        c.arrange(h);
        EXPECT_EQ(h.globalSetup(), c.expected);
        EXPECT_EQ(h.globalData(), nullptr);
        EXPECT_EQ(h.handles().live(), 0);
        EXPECT_EQ(h.suites().outstanding(), 0);
        h.suites().setMissing("AEGP Utility Suite", 7, false);
    }
    // Flags and version are written before anything can fail.
    host.handles().failAllocations(1);
    EXPECT_EQ(host.globalSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host.outData().my_version, 0x80601u);
    EXPECT_EQ(host.outData().out_flags, 0x06108022);
}

TEST_F(EntryTest, SequenceResetupStartsFromZeroedData) {
    startInstance();
    PF_Handle first = host.sequenceData();
    ASSERT_EQ(host.handles().size(first), sizeof(SequenceRecord));
    auto* seq = static_cast<SequenceRecord*>(host.handles().lock(first));
    for (int32_t i = 0; i < 11; ++i) (&seq->initCount)[i] = 3 + i;  // three panel passes and more
    host.handles().unlock(first);

    ASSERT_EQ(host.sequenceResetup(), PF_Err_NONE);
    EXPECT_FALSE(host.handles().valid(first)) << "the old record must be disposed";
    PF_Handle second = host.sequenceData();
    ASSERT_NE(second, nullptr);
    seq = static_cast<SequenceRecord*>(host.handles().lock(second));
    SequenceRecord zero{};
    EXPECT_EQ(std::memcmp(seq, &zero, sizeof zero), 0);
    host.handles().unlock(second);
    endInstance();
}

TEST_F(EntryTest, SequenceSetupFailuresLeaveNothingBehind) {
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    host.handles().failAllocations(1);
    EXPECT_EQ(host.sequenceSetup(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.sequenceData(), nullptr);
    host.handles().failLocks(1);
    EXPECT_EQ(host.sequenceSetup(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.sequenceData(), nullptr);
    EXPECT_EQ(host.handles().live(), 1);  // the global data
    // A reset whose new record cannot be made leaves no stale handle either.
    ASSERT_EQ(host.sequenceSetup(), PF_Err_NONE);
    host.handles().failAllocations(1);
    EXPECT_EQ(host.sequenceResetup(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.sequenceData(), nullptr);
    EXPECT_EQ(host.handles().live(), 1);
    EXPECT_EQ(host.sequenceSetdown(), PF_Err_NONE);  // without sequence data
    EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
}

TEST_F(EntryTest, FullLifeCycleLeavesNothing) {
    startInstance();
    EXPECT_EQ(host.send(PF_Cmd_ABOUT), PF_Err_NONE);
    EXPECT_EQ(host.sequenceResetup(), PF_Err_NONE);
    endInstance();
    host.unload();
    EXPECT_TRUE(host.unloadLeaks().empty()) << joinLines(host.unloadLeaks());
    EXPECT_EQ(host.handles().live(), 0);
    EXPECT_EQ(host.suites().outstanding(), 0);
}

}  // namespace
