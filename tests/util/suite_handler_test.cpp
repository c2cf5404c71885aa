// The per-command suite cache and the direct suite helpers, against the
// simulated host's suite registry, which counts every acquire and release.
#include "AEFX_SuiteHelper.h"
#include "AEGP_SuiteHandler.h"
#include "Host.h"
#include "Smart_Utils.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct DummySuite {
    int tag;
};

class SuiteHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& e : entries) host.suites().add(e.first, e.second, &dummy);
    }
    hostsim::Host host;
    DummySuite dummy{42};
    std::vector<std::pair<std::string, int>> entries = {
        {"AEGP Comp Suite", 15},  {"AEGP Iterate Suite", 1}, {"AEGP Layer Mask Suite", 6}, {"PF Param Utils Suite", 2},
        {"AEGP Effect Suite", 2}, {"AEGP Effect Suite", 3},  {"AEGP Stream Suite", 9},     {"AEGP Keyframe Suite", 4}};
};

TEST_F(SuiteHandlerTest, EachEntryIsAcquiredOnceAndReleasedOnce) {
    {
        AEGP_SuiteHandler suites(host.basicSuite());
        auto* a = suites.CompSuite15();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(suites.CompSuite15(), a);
        suites.IterateSuite1();
        suites.LayerMaskSuite6();
        suites.ParamUtilsSuite2();
        EXPECT_EQ(host.suites().acquired("AEGP Comp Suite", 15), 1);
        EXPECT_EQ(host.suites().released("AEGP Comp Suite", 15), 0) << "nothing is released before the end";
    }
    for (auto& e : std::vector<std::pair<std::string, int>>{{"AEGP Comp Suite", 15},
                                                            {"AEGP Iterate Suite", 1},
                                                            {"AEGP Layer Mask Suite", 6},
                                                            {"PF Param Utils Suite", 2}}) {
        SCOPED_TRACE(e.first);
        EXPECT_EQ(host.suites().acquired(e.first, e.second), 1);
        EXPECT_EQ(host.suites().released(e.first, e.second), 1);
    }
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(SuiteHandlerTest, AnUnusedHandlerReleasesNothing) {
    { AEGP_SuiteHandler suites(host.basicSuite()); }
    EXPECT_TRUE(host.suites().acquireLog().empty());
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(SuiteHandlerTest, TwoVersionsOfOneNameAreSeparateEntries) {
    {
        AEGP_SuiteHandler suites(host.basicSuite());
        suites.EffectSuite2();
        suites.EffectSuite3();
        suites.EffectSuite3();
    }
    EXPECT_EQ(host.suites().acquired("AEGP Effect Suite", 2), 1);
    EXPECT_EQ(host.suites().acquired("AEGP Effect Suite", 3), 1);
    EXPECT_EQ(host.suites().released("AEGP Effect Suite", 2), 1);
    EXPECT_EQ(host.suites().released("AEGP Effect Suite", 3), 1);
}

TEST_F(SuiteHandlerTest, MissingSuiteThrows516AndReleasesWhatWasAcquired) {
    host.suites().setMissing("AEGP Keyframe Suite", 4);
    int thrown = 0;
    try {
        AEGP_SuiteHandler suites(host.basicSuite());
        suites.StreamSuite9();
        suites.CompSuite15();
        suites.KeyframeSuite4();
        ADD_FAILURE() << "no throw";
    } catch (int e) {
        thrown = e;
    }
    EXPECT_EQ(thrown, 516);
    EXPECT_EQ(host.suites().released("AEGP Stream Suite", 9), 1);
    EXPECT_EQ(host.suites().released("AEGP Comp Suite", 15), 1);
    EXPECT_EQ(host.suites().outstanding(), 0);
    // An acquisition that reports success without a pointer is missing too.
    host.suites().add("AEGP Memory Suite", 1, nullptr);
    AEGP_SuiteHandler suites(host.basicSuite());
    EXPECT_THROW(suites.MemorySuite1(), int);
    EXPECT_THROW(AEGP_SuiteHandler(nullptr), int);
}

TEST_F(SuiteHandlerTest, FirstUseFromManyThreadsKeepsAcquiresAndReleasesBalanced) {
    for (int round = 0; round < 50; ++round) {
        const DummySuite* seen[8] = {};
        {
            AEGP_SuiteHandler suites(host.basicSuite());
            std::vector<std::thread> threads;
            for (int t = 0; t < 8; ++t)
                threads.emplace_back([&, t] { seen[t] = reinterpret_cast<const DummySuite*>(suites.StreamSuite9()); });
            for (auto& th : threads) th.join();
            for (auto* s : seen) EXPECT_EQ(s, &dummy);
        }
        ASSERT_EQ(host.suites().outstanding(), 0);
    }
    EXPECT_TRUE(host.violations().empty());
}

TEST(AEFXSuiteHelper, MessagesAndDisplayFlag) {
    hostsim::Host host;
    DummySuite dummy{1};
    host.suites().add("PF Effect UI Suite", 1, &dummy);
    PF_InData in = host.nextInData();
    PF_OutData out{};
    void* suite = nullptr;
    EXPECT_EQ(AEFX_AcquireSuite(&in, &out, "PF Effect UI Suite", 1, "Couldn't load suite.", &suite), PF_Err_NONE);
    EXPECT_EQ(suite, &dummy);
    EXPECT_EQ(out.out_flags, 0);
    EXPECT_EQ(AEFX_ReleaseSuite(&in, &out, "PF Effect UI Suite", 1, "Couldn't release suite."), PF_Err_NONE);

    suite = nullptr;
    EXPECT_EQ(AEFX_AcquireSuite(&in, &out, "PF Nowhere Suite", 1, nullptr, &suite), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(std::string(out.return_msg), "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_EQ(AEFX_AcquireSuite(&in, &out, "PF Nowhere Suite", 1, "Couldn't load suite.", &suite), 516);
    EXPECT_EQ(std::string(out.return_msg), "Couldn't load suite.");

    PF_InData noBasic = in;
    noBasic.pica_basicP = nullptr;
    PF_OutData out2{};
    EXPECT_EQ(AEFX_ReleaseSuite(&noBasic, &out2, "PF Effect UI Suite", 1, nullptr), 516);
    EXPECT_EQ(std::string(out2.return_msg), "Not able to release AEFX Suite.");
    EXPECT_TRUE(out2.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_TRUE(host.violations().empty());
}

TEST(AEFXSuiteHelper, DrawbotBundleStopsAtFirstMissingSuite) {
    hostsim::Host host;
    DummySuite a{1}, b{2}, c{3};
    host.suites().add("DRAWBOT Draw Suite", 1, &a);
    host.suites().add("DRAWBOT Supplier Suite", 1, &b);
    host.suites().add("DRAWBOT Path Suite", 1, &c);
    host.suites().setMissing("DRAWBOT Surface Suite", 1);  // the simulated host offers one
    PF_InData in = host.nextInData();
    PF_OutData out{};
    DRAWBOT_Suites bundle{};
    bundle.path_suiteP = reinterpret_cast<DRAWBOT_PathSuite1*>(&out);  // left as it was
    EXPECT_EQ(AEFX_AcquireDrawbotSuites(&in, &out, &bundle), 516);
    EXPECT_EQ(static_cast<void*>(bundle.drawbot_suiteP), &a);
    EXPECT_EQ(static_cast<void*>(bundle.supplier_suiteP), &b);
    EXPECT_EQ(static_cast<void*>(bundle.path_suiteP), &out);
    EXPECT_EQ(std::string(out.return_msg), "Not able to acquire AEFX Suite.");
    EXPECT_EQ(host.suites().acquired("DRAWBOT Path Suite", 1), 0);
}

TEST(Rectangles, EmptyUnionAndEdge) {
    PF_LRect zeroWidth{3, 3, 3, 9};
    EXPECT_TRUE(IsEmptyRect(&zeroWidth));
    PF_LRect r{0, 0, 10, 10};
    EXPECT_FALSE(IsEmptyRect(&r));

    PF_LRect emptyDst{5, 5, 5, 5}, emptySrc{7, 1, 2, 9};
    UnionLRect(&emptySrc, &emptyDst);
    EXPECT_EQ(emptyDst.left, 7);  // the empty source is copied as it is
    EXPECT_EQ(emptyDst.right, 2);

    PF_LRect dst{0, 0, 10, 10};
    UnionLRect(&emptySrc, &dst);
    EXPECT_EQ(dst.right, 10);
    EXPECT_EQ(dst.bottom, 10);
    PF_LRect src{5, 5, 20, 8};
    UnionLRect(&src, &dst);
    EXPECT_EQ(dst.left, 0);
    EXPECT_EQ(dst.top, 0);
    EXPECT_EQ(dst.right, 20);
    EXPECT_EQ(dst.bottom, 10);

    struct P {
        int x, y;
        bool edge;
    } points[] = {{10, 5, true}, {5, 10, true}, {5, 5, false}, {11, 5, false}, {0, 0, true}, {10, 11, false}};
    for (const P& p : points) EXPECT_EQ(IsEdgePixel(&r, p.x, p.y), p.edge) << p.x << "," << p.y;
}

}  // namespace
