// Params setup through the simulated host: what the effect registers besides
// the definitions, and how it stops when the host refuses something.
#include "params_fixture.h"

#include "AE_EffectSuites.h"
#include "VemaroExpressionData.h"

#include <cstring>

namespace {

const char* const kUiSuite = kPFEffectUISuite;

}  // namespace

TEST_F(ParamsTest, SetupRegistersTheTableTheCustomControlAndTheOptionsButton) {
    setUpTable();
    EXPECT_EQ(params.reportedNumParams(), 688);
    EXPECT_EQ(host.faults().calls("add_param"), 687);
    // The host's own input layer comes first.
    EXPECT_EQ(params.definition(0).param_type, PF_Param_LAYER);
    EXPECT_STREQ(params.definition(1).name, "Pattern");
    EXPECT_STREQ(params.definition(687).name, "On Original");

    EXPECT_EQ(params.uiRegistrations(), 1);
    PF_CustomUIInfo expected{};
    expected.events = PF_CustomEFlag_EFFECT;
    EXPECT_EQ(std::memcmp(&params.uiInfo(), &expected, sizeof expected), 0);

    EXPECT_EQ(params.optionsButtonName(), "Edit Expressions");
    EXPECT_EQ(host.suites().acquired(kUiSuite, 1), 1);
    EXPECT_EQ(host.suites().released(kUiSuite, 1), 1);
    expectCleanEnd();
}

// Index 83 carries the record the Graph data code makes as its default.
TEST_F(ParamsTest, GraphParameterTakesItsDefaultFromTheGraphData) {
    setUpTable();
    const PF_ParamDef& d = params.definition(83);
    EXPECT_EQ(d.param_type, PF_Param_ARBITRARY_DATA);
    EXPECT_EQ(d.flags, PF_ParamFlag_CANNOT_TIME_VARY | PF_ParamFlag_COLLAPSE_TWIRLY);

    // What the Graph code makes on its own, called the way setup calls it.
    PF_InData in = host.nextInData();
    PF_OutData out{};
    PF_ArbitraryH reference = nullptr;
    EXPECT_EQ(Graph::NewDefaultData(&in, &out, nullptr, &reference), PF_Err_NONE);
    ASSERT_EQ(d.u.arb_d.dephault != nullptr, reference != nullptr);
    if (reference) {
        ASSERT_EQ(host.handles().size(d.u.arb_d.dephault), 512u);
        const char* data = static_cast<const char*>(*d.u.arb_d.dephault);
        EXPECT_STREQ(data, "w * t");
        EXPECT_STREQ(data + 256, "sin(2 * pi * t) * h / 2");
        EXPECT_EQ(std::memcmp(data, *reference, 512), 0);
        host.handles().dispose(reference);
        // The value starts as a host-owned copy of the default.
        hostsim::ParamValue v = params.valueAt(83, {0, 1});
        ASSERT_NE(v.data, nullptr);
        EXPECT_NE(v.data, d.u.arb_d.dephault);
        EXPECT_EQ(std::memcmp(*v.data, data, 512), 0);
    }
    expectCleanEnd();
}

// A refused definition ends setup at once: nothing after it, no custom
// control, no options button, num_params untouched.
TEST_F(ParamsTest, RefusedDefinitionStopsRegistrationThere) {
    const int effectHandles = host.handles().liveEffectOwned();  // its global data
    for (int k : {1, 2, 83, 84, 170, 546, 687}) {
        SCOPED_TRACE("refused at index " + std::to_string(k));
        host.faults().clear();
        host.suites().resetCounts();
        host.faults().failCall("add_param", k, PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(params.setup(), PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(host.faults().calls("add_param"), k);
        EXPECT_EQ(params.count(), k);  // index 0 and the k - 1 accepted
        EXPECT_EQ(params.reportedNumParams(), 0);
        EXPECT_EQ(params.uiRegistrations(), 0);
        EXPECT_EQ(params.optionsButtonName(), "");
        EXPECT_EQ(host.suites().acquired(kUiSuite, 1), 0);
        // Nothing the effect made for a refused definition stays behind.
        EXPECT_EQ(host.handles().liveEffectOwned(), effectHandles);
    }
    expectCleanEnd();
}

TEST_F(ParamsTest, FailedCustomUiRegistrationStillSetsNumParams) {
    host.faults().failCall("register_ui", 1, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(params.setup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(params.count(), 688);
    EXPECT_EQ(params.reportedNumParams(), 688);
    EXPECT_EQ(params.optionsButtonName(), "");
    EXPECT_EQ(host.suites().acquired(kUiSuite, 1), 0);
    expectCleanEnd();
}

TEST_F(ParamsTest, MissingEffectUiSuiteIsReportedAndNumParamsStillSet) {
    host.suites().setMissing(kUiSuite, 1);
    EXPECT_EQ(params.setup(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(params.reportedNumParams(), 688);
    EXPECT_EQ(params.uiRegistrations(), 1);
    EXPECT_EQ(params.optionsButtonName(), "");
    EXPECT_EQ(host.message(), "Couldn't load suite.");
    EXPECT_TRUE(host.outData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    expectCleanEnd();  // and no release of a suite never acquired
}

TEST_F(ParamsTest, FailedOptionsButtonNameIsReturnedAndTheSuiteReleased) {
    host.faults().failCall("PF_SetOptionsButtonName", 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(params.setup(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(params.reportedNumParams(), 688);
    EXPECT_EQ(host.suites().acquired(kUiSuite, 1), 1);
    EXPECT_EQ(host.suites().released(kUiSuite, 1), 1);
    expectCleanEnd();
}

// A second setup (the host re-creating the instance) starts from nothing and
// leaves nothing of the first behind.
TEST_F(ParamsTest, RepeatedSetupReplacesTheTable) {
    setUpTable();
    params.setValue(12, [] {
        hostsim::ParamValue v;
        v.v[0] = 20;
        return v;
    }());
    setUpTable();
    EXPECT_EQ(params.valueAt(12, {0, 1}).v[0], 150.0);
    EXPECT_EQ(params.uiRegistrations(), 1);
    expectCleanEnd();
}
