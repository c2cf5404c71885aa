#include "Params.h"
#include "Streams.h"
#include "VemaroKeyframeCurve.h"
#include "VemaroTransitionAnimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using hostsim::Keyframe;
using hostsim::ParamValue;
using hostsim::Streams;

ParamValue scalar(double v) {
    ParamValue p;
    p.v[0] = v;
    return p;
}
ParamValue point(double x, double y) {
    ParamValue p;
    p.v[0] = x;
    p.v[1] = y;
    return p;
}
Keyframe key(A_long time, A_u_long scale, ParamValue v) { return {{time, scale}, v}; }

// The loaded effect's parameters with keyframes, and an animator built as the
// smart render builds it.
class AnimatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.load(VEMARO_MODULE_PATH, &error)) << error;
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        in = host.nextInData();
    }
    void TearDown() override {
        animator.reset();
        suites.reset();
        EXPECT_EQ(streams.openStreams(), 0);
        EXPECT_EQ(streams.openValues(), 0);
        EXPECT_EQ(host.suites().outstanding(), 0);
        EXPECT_EQ(host.violations(), std::vector<std::string>{});
    }
    TransitionAnimator& make(int samples) {
        suites = std::make_unique<AEGP_SuiteHandler>(host.basicSuite());
        animator = std::make_unique<TransitionAnimator>();
        animator->pluginId = host.pluginId();
        animator->in_data = &in;
        animator->suites = suites.get();
        animator->effect = reinterpret_cast<AEGP_EffectRefH>(&record);
        animator->params = &record;
        animator->samples = samples;
        return *animator;
    }
    struct Want {
        int i;
        A_long value;
        A_u_long scale;
    };
    // The host was asked for `count` values of the stream, sample i at {value, scale}.
    void expectTimes(int index, std::size_t count, std::initializer_list<Want> wants) const {
        std::vector<A_Time> times = sampledTimes(index);
        ASSERT_EQ(times.size(), count);
        for (const Want& w : wants) {
            EXPECT_EQ(times[std::size_t(w.i)].value, w.value) << w.i;
            EXPECT_EQ(times[std::size_t(w.i)].scale, w.scale) << w.i;
        }
    }
    std::vector<A_Time> sampledTimes(int index) const {
        std::vector<A_Time> out;
        for (const auto& r : streams.requests())
            if (r.index == index) {
                EXPECT_EQ(r.mode, AEGP_LTimeMode_LayerTime);
                EXPECT_FALSE(r.preExpression);
                out.push_back(r.time);
            }
        return out;
    }

    hostsim::Host host;
    hostsim::Params& params = host.get<hostsim::Params>();
    Streams& streams = host.get<Streams>();
    PF_InData in{};
    Parameters record{};
    std::unique_ptr<AEGP_SuiteHandler> suites;
    std::unique_ptr<TransitionAnimator> animator;
};

TEST_F(AnimatorTest, ScaleSampledAtExactTimesWithItsMaximumWrittenBack) {
    params.setKeyframes(136, {key(0, 24, scalar(100)), key(24, 24, scalar(300))});
    record.transitionManualScale = 1;
    record.transitionScale = 7;
    TransitionAnimator& a = make(100);
    ASSERT_EQ(a.init(), A_Err_NONE);
    ASSERT_EQ(a.scales.size(), 100u);
    EXPECT_EQ(a.getScale(0), 1.0);
    EXPECT_EQ(a.getScale(1), 3.0);
    EXPECT_NEAR(a.getScale(0.5), 2.0, 1e-12);  // between samples 49 and 50
    EXPECT_NEAR(a.getScale(0.25), 1.5, 1e-12);
    EXPECT_EQ(record.transitionScale, 3.0);
    EXPECT_EQ(record.transitionManualScale, 1);
    // i / 99 of a second, reduced: 37 / 99, 1 / 3 (i = 33), ...
    expectTimes(136, 100, {{0, 0, 1}, {37, 37, 99}, {33, 1, 3}, {99, 1, 1}});
    // The other targets stay untouched.
    EXPECT_TRUE(a.offsets.empty() && a.colors.empty() && a.opacities.empty() && a.phases.empty());
}

TEST_F(AnimatorTest, LongSpanAt2997IsSampledAtExactFractions) {
    // One frame to a minute and a frame at 29.97 fps; expected times from Python's fractions.
    params.setKeyframes(142, {key(1001, 30000, scalar(0)), key(1801801, 30000, scalar(100))});
    record.transitionManualOpacity = 1;
    TransitionAnimator& a = make(1000);
    ASSERT_EQ(a.init(), A_Err_NONE);
    expectTimes(142, 1000,
                {{0, 1001, 30000},
                 {1, 2800799, 29970000},
                 {37, 1827827, 810000},
                 {500, 901399999, 29970000},
                 {998, 1798198399, 29970000},
                 {999, 1801801, 30000}});
    EXPECT_EQ(a.getOpacity(0), 0.0);
    EXPECT_EQ(a.getOpacity(1), 1.0);
    EXPECT_NEAR(a.getOpacity(0.5), 0.5, 1e-9);
    // Just below 1 the interpolation ends on the last sample, never past it.
    EXPECT_NEAR(a.getOpacity(0.999999999), 1.0, 1e-8);
    EXPECT_EQ(a.getOpacity(std::nan("")), 0.0);
}

TEST_F(AnimatorTest, TwoHourSpanRoundsTimesThatOverflowTheHostsFieldsToItsScale) {
    params.setKeyframes(136, {key(1001, 30000, scalar(100)), key(7208201, 30000, scalar(200))});
    record.transitionManualScale = 1;
    TransitionAnimator& a = make(2000);
    ASSERT_EQ(a.init(), A_Err_NONE);
    expectTimes(136, 2000,
                {{1, 9208199, 59970000}, {1000, 3606404, 30000}, {1998, 7204596, 30000}, {1999, 7208201, 30000}});
    const std::vector<A_Time> times = sampledTimes(136);
    for (std::size_t i = 1; i < times.size(); ++i)  // never out of order, never wrapped
        EXPECT_LT(double(times[i - 1].value) / times[i - 1].scale, double(times[i].value) / times[i].scale) << i;
    EXPECT_EQ(record.transitionScale, 2.0);
}

TEST_F(AnimatorTest, TooFewKeyframesClearTheManualSwitch) {
    params.setKeyframes(134, {key(0, 24, point(10, 10))});
    record.transitionManualOffset = 1;
    record.transitionOffset = Vector(5, 6);
    record.transitionManualPhase = 1;  // no keyframes at all
    record.transitionManualColor = 1;
    params.setKeyframes(139, {key(12, 24, scalar(50))});  // one colour key: no span
    TransitionAnimator& a = make(100);
    ASSERT_EQ(a.init(), A_Err_NONE);
    EXPECT_EQ(record.transitionManualOffset, 0);
    EXPECT_EQ(record.transitionManualPhase, 0);
    EXPECT_EQ(record.transitionManualColor, 0);
    EXPECT_EQ(record.transitionOffset, Vector(5, 6));
    EXPECT_TRUE(a.offsets.empty() && a.phases.empty() && a.colors.empty());
    EXPECT_TRUE(streams.requests().empty());
}

TEST_F(AnimatorTest, OffsetsAreDownsampledAndBoundedPerAxis) {
    params.setKeyframes(134, {key(0, 1, point(-40, 10)), key(1, 1, point(20, -90))});
    record.transitionManualOffset = 1;
    in.downsample_x = {1, 2};
    in.downsample_y = {1, 2};
    TransitionAnimator& a = make(50);
    ASSERT_EQ(a.init(), A_Err_NONE);
    EXPECT_EQ(a.getOffset(0), Vector(-20, 5));
    EXPECT_EQ(a.getOffset(1), Vector(10, -45));
    EXPECT_EQ(record.transitionOffset, Vector(20, 45));
}

TEST_F(AnimatorTest, ScaleMaximumIsTheLargestSampleNotTheLast) {
    params.setKeyframes(136, {key(0, 1, scalar(300)), key(2, 1, scalar(50))});
    record.transitionManualScale = 1;
    TransitionAnimator& a = make(100);
    ASSERT_EQ(a.init(), A_Err_NONE);
    EXPECT_EQ(record.transitionScale, 3.0);
    EXPECT_EQ(a.getScale(1), 0.5);
}

TEST_F(AnimatorTest, ColourSpansTheUnionOfItsThreeStreams) {
    params.setKeyframes(138, {key(1, 1, scalar(0)), key(2, 1, scalar(90))});    // hue 1 s to 2 s
    params.setKeyframes(140, {key(1, 2, scalar(100)), key(3, 2, scalar(50))});  // saturation 0.5 s to 1.5 s
    params.setValue(139, scalar(80));                                           // lightness constant
    record.transitionManualColor = 1;
    TransitionAnimator& a = make(4);
    ASSERT_EQ(a.init(), A_Err_NONE);
    ASSERT_EQ(a.colors.size(), 4u);
    // 0.5 s, 1 s, 1.5 s, 2 s for each of the three streams.
    const A_Time want[] = {{1, 2}, {1, 1}, {3, 2}, {2, 1}};
    for (int index : {138, 139, 140}) {
        std::vector<A_Time> t = sampledTimes(index);
        ASSERT_EQ(t.size(), 4u) << index;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(t[std::size_t(i)].value, want[i].value) << index << " " << i;
            EXPECT_EQ(t[std::size_t(i)].scale, want[i].scale) << index << " " << i;
        }
    }
    EXPECT_EQ(a.colors[0], (Color{1.0f, 0.0f, 0.8f, 1.0f}));
    EXPECT_EQ(a.colors[2], (Color{1.0f, 45.0f, 0.8f, 0.5f}));
    EXPECT_EQ(a.colors[3], (Color{1.0f, 90.0f, 0.8f, 0.5f}));
    Color mid = a.getColor(0.5);  // x = 1.5 in float
    EXPECT_FLOAT_EQ(mid.red, 22.5f);
    EXPECT_FLOAT_EQ(mid.blue, 0.625f);
    // In single precision 0.999999999 is 1: the last sample, not the one before.
    EXPECT_EQ(a.getColor(0.999999999), a.colors[3]);
}

TEST_F(AnimatorTest, PhaseInRadiansAndHoldInterpolation) {
    params.setKeyframes(144, {key(0, 1, scalar(0)), key(1, 1, scalar(90)), key(2, 1, scalar(180))});
    params.setHold(144, true);
    record.transitionManualPhase = 1;
    TransitionAnimator& a = make(5);  // 0, 0.5, 1, 1.5, 2 s
    ASSERT_EQ(a.init(), A_Err_NONE);
    const double deg = 0.017453292519943295;
    const double want[] = {0, 0, 90 * deg, 90 * deg, 180 * deg};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a.phases[std::size_t(i)], want[i]) << i;
}

TEST_F(AnimatorTest, AnErrorAtEveryHostCallIsReturnedWithNothingLeftOpen) {
    auto arrange = [&] {
        params.setKeyframes(134, {key(0, 1, point(0, 0)), key(1, 1, point(10, 0))});
        params.setKeyframes(136, {key(0, 1, scalar(100)), key(1, 1, scalar(200))});
        params.setKeyframes(138, {key(0, 1, scalar(0)), key(1, 1, scalar(90))});
        params.setKeyframes(142, {key(0, 1, scalar(0)), key(1, 1, scalar(100))});
        params.setKeyframes(144, {key(0, 1, scalar(0)), key(1, 1, scalar(90))});
        record = Parameters{};
        record.transitionManualOffset = record.transitionManualScale = record.transitionManualColor =
            record.transitionManualOpacity = record.transitionManualPhase = 1;
    };
    const char* functions[] = {"AEGP_GetNewEffectStreamByIndex", "AEGP_GetStreamNumKFs",    "AEGP_GetKeyframeTime",
                               "AEGP_GetNewStreamValue",         "AEGP_DisposeStreamValue", "AEGP_DisposeStream"};
    for (const char* fn : functions) {
        host.faults().clear();
        arrange();
        ASSERT_EQ(make(3).init(), A_Err_NONE);
        const int calls = host.faults().calls(fn);
        ASSERT_GT(calls, 0) << fn;
        for (int nth = 1; nth <= calls; ++nth) {
            host.faults().clear();
            host.faults().failCall(fn, nth, 77);
            arrange();
            EXPECT_EQ(make(3).init(), 77) << fn << " #" << nth;
            animator.reset();
            suites.reset();
            // A refused disposal leaves that one object with the host.
            const bool refusedStream = std::string(fn) == "AEGP_DisposeStream";
            const bool refusedValue = std::string(fn) == "AEGP_DisposeStreamValue";
            EXPECT_EQ(streams.openStreams(), refusedStream ? 1 : 0) << fn << " #" << nth;
            EXPECT_EQ(streams.openValues(), refusedValue ? 1 : 0) << fn << " #" << nth;
            EXPECT_EQ(host.suites().outstanding(), 0);
            host.faults().clear();
            streams.reclaimAll();
        }
    }
    host.faults().clear();
}

// ------------------------------------------------------------------ the mappers' curve
TEST_F(AnimatorTest, MemoCurveSamplesAGridOf2000StepsAndMemoisesPerPosition) {
    params.setKeyframes(559, {key(0, 1, scalar(0)), key(2, 1, scalar(100))});
    suites = std::make_unique<AEGP_SuiteHandler>(host.basicSuite());
    {
        MemoCurve<double> curve(host.pluginId(), *suites, reinterpret_cast<AEGP_EffectRefH>(&record), {559});
        auto percent = [](const std::vector<AEGP_StreamVal2>& v) { return v[0].one_d * 0.01; };
        double r = 0;
        bool has = false;
        ASSERT_EQ(curve.get(0.5, percent, &r, &has), PF_Err_NONE);
        ASSERT_TRUE(has);
        EXPECT_EQ(r, 0.5);
        ASSERT_EQ(curve.get(0.50003, percent, &r, &has), PF_Err_NONE);  // same grid step, new entry
        EXPECT_EQ(r, 0.5);
        ASSERT_EQ(curve.get(0.5, percent, &r, &has), PF_Err_NONE);  // memo hit
        ASSERT_EQ(curve.get(7.0, percent, &r, &has), PF_Err_NONE);  // far outside: the end's value
        EXPECT_EQ(r, 1.0);
        EXPECT_EQ(curve.memo.size(), 3u);
        std::vector<A_Time> t = sampledTimes(559);
        ASSERT_EQ(t.size(), 3u);
        EXPECT_EQ(t[0].value, 1);  // 1000/2000 of 2 s
        EXPECT_EQ(t[0].scale, 1u);
        EXPECT_EQ(t[2].value, 2);
    }
    {
        // One keyframe: no curve, and nothing held open.
        params.setKeyframes(565, {key(0, 1, scalar(50))});
        MemoCurve<double> curve(host.pluginId(), *suites, reinterpret_cast<AEGP_EffectRefH>(&record), {565});
        double r = -1;
        bool has = true;
        EXPECT_EQ(curve.get(
                      0.3, [](const auto&) { return 1.0; }, &r, &has),
                  PF_Err_NONE);
        EXPECT_FALSE(has);
        EXPECT_EQ(streams.openStreams(), 0);
    }
    {
        // Two streams: colour keyed once, opacity not keyed: a zero span, no curve.
        params.setKeyframes(576, {key(1, 1, ParamValue{{255, 255, 0, 0}, nullptr})});
        MemoCurve<Color> curve(host.pluginId(), *suites, reinterpret_cast<AEGP_EffectRefH>(&record), {576, 577});
        Color c;
        bool has = true;
        EXPECT_EQ(curve.get(
                      0.3, [](const auto&) { return Color(); }, &c, &has),
                  PF_Err_NONE);
        EXPECT_FALSE(has);
        // Opacity keyed later: the union span makes a curve.
        params.setKeyframes(577, {key(2, 1, scalar(50)), key(3, 1, scalar(100))});
        MemoCurve<Color> both(host.pluginId(), *suites, reinterpret_cast<AEGP_EffectRefH>(&record), {576, 577});
        auto colour = [](const std::vector<AEGP_StreamVal2>& v) {
            return Color{static_cast<float>(v[1].one_d * 0.01), static_cast<float>(v[0].color.redF),
                         static_cast<float>(v[0].color.greenF), static_cast<float>(v[0].color.blueF)};
        };
        ASSERT_EQ(both.get(0.0, colour, &c, &has), PF_Err_NONE);
        EXPECT_TRUE(has);
        EXPECT_EQ(c, (Color{0.5f, 1.0f, 0.0f, 0.0f}));
        EXPECT_DOUBLE_EQ(boost::rational_cast<double>(both.curve.start()), 1.0);
        EXPECT_DOUBLE_EQ(boost::rational_cast<double>(both.curve.length()), 2.0);
    }
}

}  // namespace
