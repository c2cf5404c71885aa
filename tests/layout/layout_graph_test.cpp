// The Graph layout: the stored expressions read through the host's stream of
// the Graph parameter, sampled by number, at equal arc length or by delta.
#include "Core.h"
#include "elements_fixture.h"

#include <cmath>
#include <cstring>
#include <numeric>
#include <thread>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kGraph = 83;

class GraphTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        in.width = 200;
        in.height = 100;
        in.downsample_x = in.downsample_y = {1, 1};
        record.pattern = 11;
        record.repeaterType = 2;
        // The parameter defaults.
        record.graphOrigin = {0, 50};
        record.graphFrom = 0;
        record.graphTo = 1;
        record.graphMode = 1;
        record.graphNumber = 30;
        record.graphEqualize = 1;
        record.graphDetail = 2;
        record.graphDelta = 0.01;
    }
    void store(const std::string& x, const std::string& y) {
        PF_Handle h = host.handles().create(512, true);
        char* p = static_cast<char*>(*h);
        std::memset(p, 0, 512);
        std::memcpy(p, x.data(), x.size());
        std::memcpy(p + 256, y.data(), y.size());
        hostsim::ParamValue v;
        v.data = h;
        params.setValue(kGraph, v);
    }
    ShapeDrawer& run(PF_Err want = PF_Err_NONE) {
        ShapeDrawer& d = make(200, 100);
        EXPECT_EQ(d.createPatterns(), want);
        return d;
    }
    static double curveY(double x) { return 50 + std::sin(2 * kPi * x / 200) * 50; }
};

TEST_F(GraphTest, TheDefaultExpressionsGiveOneSinePeriodAtEqualArcLength) {
    record.autoOrient = 1;
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 30u);
    EXPECT_NEAR(d.patterns.front().position.x, 0, 1e-12);
    EXPECT_NEAR(d.patterns.front().position.y, 50, 1e-12);
    EXPECT_NEAR(d.patterns.back().position.x, 200, 1e-12);
    EXPECT_NEAR(d.patterns.back().position.y, 50, 1e-9);
    // Every element on the curve y = 50 + 50 sin(2 pi x / 200), heading along
    // it, and consecutive elements nearly equally far apart along it.
    std::vector<double> gaps;
    for (std::size_t k = 0; k < 30; ++k) {
        const ShapeDrawer::Pattern& p = d.patterns[k];
        EXPECT_NEAR(p.position.y, curveY(p.position.x), 1e-9) << k;
        const double slope = 50 * 2 * kPi / 200 * std::cos(2 * kPi * p.position.x / 200);
        EXPECT_NEAR(p.phase, std::atan(slope), 2e-3) << k;
        EXPECT_EQ(p.t, k / 30.0);
        if (k) {
            // Arc length between the two, finely.
            const double x0 = d.patterns[k - 1].position.x, x1 = p.position.x;
            double len = 0;
            for (int s = 0; s < 1000; ++s) {
                const double a = x0 + (x1 - x0) * s / 1000, b = x0 + (x1 - x0) * (s + 1) / 1000;
                len += std::hypot(b - a, curveY(b) - curveY(a));
            }
            gaps.push_back(len);
        }
    }
    const double mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / gaps.size();
    for (double g : gaps) EXPECT_NEAR(g, mean, mean * 0.02);
    // Without equalizing, t is evenly spaced: x = 200 i / 29.
    record.graphEqualize = 0;
    ShapeDrawer& e = run();
    ASSERT_EQ(e.patterns.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        const double t = i * (1.0 / 29);
        EXPECT_NEAR(e.patterns[i].position.x, 200 * t, 1e-9);
        EXPECT_NEAR(e.patterns[i].position.y, 50 + std::sin(2 * kPi * t) * 50, 1e-9);
    }
}

TEST_F(GraphTest, VariablesRotationOriginAndDownsampling) {
    store("a * t + w", "b - h");
    record.graphVariables[0] = 10;
    record.graphVariables[1] = 7;
    record.graphMode = 1;
    record.graphNumber = 3;
    record.graphEqualize = 0;
    record.graphRotation = kPi / 2;
    record.graphOrigin = {20, 30};
    record.autoOrient = 1;
    in.downsample_x = in.downsample_y = {1, 2};
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        // (x, y) = (10 t + 200, 7 - 100) halved, turned a quarter (x, y) -> (-y, x).
        const double x = (10 * (i / 2.0) + 200) / 2, y = (7 - 100) / 2.0;
        EXPECT_NEAR(d.patterns[i].position.x, 20 - y, 1e-9) << i;
        EXPECT_NEAR(d.patterns[i].position.y, 30 + x, 1e-9) << i;
        EXPECT_NEAR(d.patterns[i].phase, kPi / 2, 1e-12) << i;  // heading +x, turned
    }
}

TEST_F(GraphTest, CountsAndDeltaWalks) {
    store("t", "0");
    record.graphOrigin = {0, 0};
    record.autoOrient = 1;
    auto xs = [&](ShapeDrawer& d) {
        std::vector<double> v;
        for (const auto& p : d.patterns) v.push_back(p.position.x);
        return v;
    };
    record.graphNumber = 0;
    EXPECT_TRUE(run().patterns.empty());
    record.graphNumber = 1;  // one element at From, heading 0 (no probe)
    record.graphFrom = 3;
    ShapeDrawer& one = run();
    EXPECT_EQ(xs(one), (std::vector<double>{3}));
    EXPECT_EQ(one.patterns[0].phase, 0.0);
    record.graphNumber = 2;  // equalizing needs three
    record.graphTo = 5;
    EXPECT_EQ(xs(run()), (std::vector<double>{3, 5}));

    record.graphMode = 2;
    record.graphDelta = 0.5;
    EXPECT_EQ(xs(run()), (std::vector<double>{3, 3.5, 4, 4.5, 5}));
    record.graphTo = 3;
    EXPECT_EQ(xs(run()), (std::vector<double>{3}));
    record.graphTo = 1.9;  // walking down: the probe follows, heading -x
    ShapeDrawer& down = run();
    EXPECT_EQ(xs(down), (std::vector<double>{3, 2.5, 2}));
    EXPECT_NEAR(down.patterns[1].phase, kPi, 1e-12);
    // Too many steps for one call.
    record.graphFrom = 0;
    record.graphTo = 1000000;
    record.graphDelta = 0.000001;
    ShapeDrawer& huge = run(PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(huge.patterns.empty());
    record.graphDelta = 0;
    EXPECT_TRUE(run().patterns.empty());
}

TEST_F(GraphTest, UnparsableAndNonFiniteCurvesPlaceNothing) {
    for (const auto& texts : std::vector<std::pair<std::string, std::string>>{{"", "t"}, {"t", "t +"}, {"(t", "0"}}) {
        store(texts.first, texts.second);
        EXPECT_TRUE(run().patterns.empty()) << texts.first << " / " << texts.second;
    }
    // 0 / 0 has no place: it fails every cull comparison, and where nothing
    // is culled the element is kept with its position (and drawn nowhere).
    store("t", "(t - t) / (t - t)");
    record.graphEqualize = 0;
    ShapeDrawer& kept = run();
    ASSERT_EQ(kept.patterns.size(), 30u);
    for (const auto& p : kept.patterns) EXPECT_TRUE(std::isnan(p.position.y));
    record.repeaterType = 1;
    EXPECT_TRUE(run().patterns.empty());

    // Under equalizing, a stretch that cannot be measured makes the whole
    // length not a number: the middle elements fall back to From, where the
    // curve has no place either; only the last, at To, is on the curve.
    store("sqrt(t - 0.5) * 200", "50");
    record.graphEqualize = 1;
    record.graphNumber = 5;
    ShapeDrawer& culled = run();
    ASSERT_EQ(culled.patterns.size(), 1u);
    EXPECT_EQ(culled.patterns[0].i, 4);
    EXPECT_EQ(culled.patterns[0].position.x, std::sqrt(0.5) * 200);
    record.repeaterType = 2;
    ShapeDrawer& all = run();
    ASSERT_EQ(all.patterns.size(), 5u);
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isnan(all.patterns[k].position.x)) << k;
}

TEST_F(GraphTest, HostErrorsAreReturnedAndEverythingIsReleased) {
    struct Case {
        const char* fn;
        bool placed;
    } cases[] = {{"AEGP_GetNewEffectForEffect", false}, {"AEGP_GetNewEffectStreamByIndex", false},
                 {"AEGP_GetNewStreamValue", false},     {"AEGP_DisposeStreamValue", true},
                 {"AEGP_DisposeStream", true},          {"AEGP_DisposeEffect", true}};
    for (const Case& c : cases) {
        host.faults().clear();
        host.faults().failCall(c.fn, 1, 66);
        ShapeDrawer& d = run(66);
        EXPECT_EQ(d.patterns.size(), c.placed ? 30u : 0u) << c.fn;
        EXPECT_EQ(host.faults().calls(c.fn), 1) << c.fn;
        host.faults().clear();
        streams.reclaimAll();
    }
}

// A long curve, all inside the output: the layout counts its elements before
// placing them, so the list is taken once at its final size (no growth, no
// second copy), and the same as without culling. A cancel in either walk of
// the layout or in the drawing of a million-element frame returns the host's
// error (leaks: the sanitizer build, where the frame is smaller to stay quick).
TEST_F(GraphTest, AMillionElementFrameIsSizedOnceAndCancellable) {
    hostsim::Core& core = host.get<hostsim::Core>();
    store("w * t", "h / 2 + t");
    record.graphMode = 2;
    record.graphDelta = 1.0 / 70000;  // past the 65,536 samples below which nothing is counted
    record.repeaterType = 1;
    ShapeDrawer& culled = run();
    ASSERT_GE(culled.patterns.size(), 70000u);  // t accumulates: the last step may fall short of 1
    EXPECT_EQ(culled.patterns.capacity(), culled.patterns.size());
    const std::vector<ShapeDrawer::Pattern> kept = culled.patterns;
    record.repeaterType = 2;
    ShapeDrawer& all = run();
    ASSERT_EQ(all.patterns.size(), kept.size());
    for (std::size_t k = 0; k < kept.size(); ++k)
        ASSERT_EQ(std::memcmp(&all.patterns[k], &kept[k], sizeof kept[k]), 0) << k;
    record.repeaterType = 1;

#ifdef NDEBUG
    constexpr double kSamples = 1000000;
#else
    constexpr double kSamples = 150000;
#endif
    record.graphDelta = 1.0 / kSamples;
    const auto cancelAfter = [&](int calls) {
        core.abortCalls = 0;
        return std::thread([&core, calls] {
            while (core.abortCalls.load() < calls) std::this_thread::yield();
            core.abortError = PF_Interrupt_CANCEL;
        });
    };
    // Each walk asks once per 65,536 samples: cancel half way through each.
    const int asks = static_cast<int>(kSamples / 65536);
    for (int calls : {asks / 2, asks + asks / 2}) {
        std::thread user = cancelAfter(calls);
        run(PF_Interrupt_CANCEL);
        user.join();
        core.abortError = PF_Err_NONE;
    }
    ShapeDrawer& d = run();
    std::thread user = cancelAfter(3);
    EXPECT_EQ(d.draw(), PF_Interrupt_CANCEL);
    user.join();
    core.abortError = PF_Err_NONE;
}

}  // namespace
