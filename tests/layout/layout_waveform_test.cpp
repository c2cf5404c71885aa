// The Waveform layout with layer audio from the simulated host: levels from
// the window, the sideways push along a line or a mask path, and the release
// of everything it obtained.
#include "Audio.h"
#include "Masks.h"
#include "elements_fixture.h"

#include <cmath>

namespace {

constexpr int kAudioLayer = 73;
constexpr int kLayerId = 5;

class WaveformTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        in.current_time = 0;
        in.time_scale = 1000;
        host.nextInData().current_time = 0;
        host.nextInData().time_scale = 1000;
        record.pattern = 10;
        record.repeaterType = 2;
        record.waveformPoint1 = {0, 100};
        record.waveformPoint2 = {400, 100};
        record.waveformMaxHeight = 50;
        record.waveformPower = 1;
        record.waveformSamplingRate = 1000;
        record.waveformDuration = 100;  // 100 samples
        record.waveformSamples = 500;
        hostsim::ParamValue layer;
        layer.v[0] = kLayerId;
        params.setValue(kAudioLayer, layer);
        // A ramp: sample k of the window at time 0 is k / 100.
        audio().setSignal(kLayerId, [](double t) { return static_cast<float>(t * 10); });
    }
    void TearDown() override {
        drawer.reset();
        EXPECT_EQ(audio().outstanding(), 0);
        EXPECT_EQ(host.get<hostsim::Masks>().checkedOut(), 0);
        ElementsTest::TearDown();
    }
    hostsim::Audio& audio() { return host.get<hostsim::Audio>(); }
    ShapeDrawer& run(PF_Err want = PF_Err_NONE) {
        ShapeDrawer& d = make(500, 300);
        EXPECT_EQ(d.createPatterns(), want);
        return d;
    }
    // The level of each element on the line from (0,100) to (400,100): pushed up.
    std::vector<double> levels(const ShapeDrawer& d) {
        std::vector<double> v;
        for (const auto& p : d.patterns) v.push_back((100 - p.position.y) / 50);
        return v;
    }
};

TEST_F(WaveformTest, FewerSamplesThanLevelsInterpolate) {
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 500u);
    const std::vector<double> got = levels(d);
    for (int i = 0; i < 500; ++i) {
        const float x = float(i) * 100.0f / 499.0f;
        const double want = x < 99 ? 0.01 * x : 0.99;
        EXPECT_NEAR(got[i], want, 1e-5) << i;
        EXPECT_NEAR(d.patterns[i].position.x, 400.0 * i / 499, 1e-9) << i;
        EXPECT_EQ(d.patterns[i].t, i / 500.0);
    }
    EXPECT_NEAR(got.back(), 0.99, 1e-6);
    const std::vector<hostsim::AudioRequest> r = audio().requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].layerId, kLayerId);
    EXPECT_EQ(r[0].start, 0);
    EXPECT_EQ(r[0].duration, 100);
    EXPECT_EQ(r[0].scale, 1000u);
    EXPECT_EQ(r[0].rate, 1000u * 65536u);
}

TEST_F(WaveformTest, EqualOrMoreSamplesAverageInBins) {
    record.waveformSamples = 100;
    std::vector<double> one = levels(run());
    ASSERT_EQ(one.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_NEAR(one[i], i / 100.0, 1e-5) << i;
    record.waveformSamples = 10;
    std::vector<double> bins = levels(run());
    ASSERT_EQ(bins.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_NEAR(bins[i], (10 * i + 4.5) / 100, 1e-5) << i;
    // The highest rate fits the unsigned fixed-point rate.
    record.waveformSamplingRate = 48000;
    EXPECT_EQ(run().patterns.size(), 10u);
    EXPECT_EQ(audio().requests().back().rate, 48000u * 65536u);
}

TEST_F(WaveformTest, PowerKeepsTheSign) {
    record.waveformSamples = 4;
    struct Case {
        float signal;
        double power, level;
    } cases[] = {{-0.5f, 2, -0.25}, {0.5f, 2, 0.25}, {0.5f, 0, 1}, {0.0f, 0, -1}, {0.0f, 1, 0}};
    for (const Case& c : cases) {
        audio().setSignal(kLayerId, [&](double) { return c.signal; });
        record.waveformPower = c.power;
        for (double l : levels(run())) EXPECT_NEAR(l, c.level, 1e-6) << c.signal << " ^ " << c.power;
    }
}

TEST_F(WaveformTest, NoAudioNoLineAndNoLayer) {
    // A window too short for one sample: the elements lie on the line.
    record.waveformDuration = 0.5;
    record.waveformSamples = 3;
    for (double l : levels(run())) EXPECT_EQ(l, 0.0);
    audio().setSignal(kLayerId, nullptr);
    record.waveformDuration = 100;
    for (double l : levels(run())) EXPECT_EQ(l, 0.0);
    // Both points equal: every element on Point 1, heading 0.
    audio().setSignal(kLayerId, [](double) { return 1.0f; });
    record.waveformPoint2 = record.waveformPoint1;
    record.autoOrient = 1;
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 3u);
    for (const auto& p : d.patterns) {
        EXPECT_EQ(p.position, (Vector{0, 100}));
        EXPECT_EQ(p.phase, 0.0);
    }
    // No "Audio Layer": nothing, nothing asked.
    params.setValue(kAudioLayer, hostsim::ParamValue{});
    const std::size_t asked = audio().requests().size();
    EXPECT_TRUE(run().patterns.empty());
    EXPECT_EQ(audio().requests().size(), asked);
}

TEST_F(WaveformTest, AlongAMaskPathPushedToTheLeftOfTravel) {
    audio().setSignal(kLayerId, [](double) { return 0.5f; });
    auto& masks = host.get<hostsim::Masks>();
    record.waveformSamples = 4;
    record.autoOrient = 1;
    // Closed square: S points L / S apart, starting at the start.
    record.waveformMask = static_cast<int32_t>(masks.addMask({{0, 0}, {100, 0}, {100, 100}, {0, 100}}, false));
    ShapeDrawer& d = run();
    ASSERT_EQ(d.patterns.size(), 4u);
    // At a corner the incoming segment gives the direction; the push is 25
    // towards (-dy, dx).
    const Vector want[4] = {{0, 25}, {100, 25}, {75, 100}, {0, 75}};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(d.patterns[k].position, want[k]) << k;
    // Open line: from the start to the end inclusive.
    record.waveformSamples = 3;
    record.waveformMask = static_cast<int32_t>(masks.addMask({{0, 0}, {100, 0}}, true));
    EXPECT_EQ(run().patterns.back().position, (Vector{100, 25}));
}

TEST_F(WaveformTest, HostErrorsAreReturnedAndEverythingIsReleased) {
    record.waveformSamples = 3;
    struct Case {
        const char* fn;
        int outstanding;  // a refused check-in leaves the window out
    } cases[] = {{"AEGP_GetNewEffectForEffect", 0}, {"AEGP_GetNewStreamValue", 0}, {"AEGP_DisposeStream", 0},
                 {"AEGP_DisposeEffect", 0},         {"checkout_layer_audio", 0},   {"get_audio_data", 0},
                 {"checkin_layer_audio", 1}};
    for (const Case& c : cases) {
        host.faults().clear();
        host.faults().failCall(c.fn, 1, 88);
        EXPECT_TRUE(run(88).patterns.empty()) << c.fn;
        EXPECT_EQ(host.faults().calls(c.fn), 1) << c.fn;
        EXPECT_EQ(audio().outstanding(), c.outstanding) << c.fn;
        host.faults().clear();
        audio().reclaimAll();
        streams.reclaimAll();
    }
}

}  // namespace
