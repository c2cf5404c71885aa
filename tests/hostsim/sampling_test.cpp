#include "Sampling.h"
#include "World.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using hostsim::Depth;
using hostsim::Host;
using hostsim::Sampling;
using hostsim::World;

template <class Suite>
const Suite* acquire(Host& host, const char* name) {
    const void* s = nullptr;
    EXPECT_EQ(host.suites().acquire(name, 1, &s), kSPNoError);
    return static_cast<const Suite*>(s);
}

TEST(HostSampling, NearestAndBilinearAddressPixelCentresWithTransparentOutside) {
    Host host;
    host.get<Sampling>().logRequests(true);
    auto* s8 = acquire<PF_Sampling8Suite1>(host, kPFSampling8Suite);
    World w(2, 1, Depth::Bits8);
    w.at<PF_Pixel>(0, 0) = {255, 200, 0, 0};
    w.at<PF_Pixel>(1, 0) = {255, 0, 100, 0};
    PF_SampPB pb{};
    pb.src = w.get();
    PF_Pixel p{};
    ASSERT_EQ(s8->subpixel_sample(nullptr, 0, 0, &pb, &p), PF_Err_NONE);
    EXPECT_EQ((std::array<int, 4>{p.alpha, p.red, p.green, p.blue}), (std::array<int, 4>{255, 200, 0, 0}));
    s8->subpixel_sample(nullptr, 1 << 15, 0, &pb, &p);  // halfway between the two
    EXPECT_EQ((std::array<int, 4>{p.alpha, p.red, p.green, p.blue}), (std::array<int, 4>{255, 100, 50, 0}));
    // Half a pixel beyond the last: half coverage, the colour itself (premultiplied weighting).
    s8->subpixel_sample(nullptr, 3 << 15, 0, &pb, &p);
    EXPECT_EQ((std::array<int, 4>{p.alpha, p.red, p.green, p.blue}), (std::array<int, 4>{128, 0, 100, 0}));
    s8->subpixel_sample(nullptr, 0, -65536, &pb, &p);
    EXPECT_EQ(p.alpha, 0);
    s8->nn_sample(nullptr, (1 << 15) - 1, 0, &pb, &p);
    EXPECT_EQ(p.red, 200);
    s8->nn_sample(nullptr, 1 << 15, 0, &pb, &p);  // a half rounds up
    EXPECT_EQ(p.green, 100);
    EXPECT_EQ(host.get<Sampling>().requests().size(), 6u);
    host.suites().release(kPFSampling8Suite, 1);
}

TEST(HostSampling, AreaAverageMatchesBruteForceAndBuildsOneTablePerWorld) {
    Host host;
    auto* sf = acquire<PF_SamplingFloatSuite1>(host, kPFSamplingFloatSuite);
    World w(7, 5, Depth::Float);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) w.at<PF_PixelFloat>(x, y) = {1.0f, float(x), float(y), float(x * y)};
    PF_SampPB pb{};
    pb.src = w.get();
    pb.x_radius = 3 << 15;  // 1.5 px: three columns
    pb.y_radius = 1 << 16;  // 1 px: three rows
    for (int cy = -1; cy <= 5; ++cy)
        for (int cx = -1; cx <= 7; ++cx) {
            double a = 0, r = 0, g = 0, b = 0;
            for (int y = cy - 1; y <= cy + 1; ++y)
                for (int x = cx - 1; x <= cx + 1; ++x)
                    if (x >= 0 && y >= 0 && x < 7 && y < 5) a += 1, r += x, g += y, b += x * y;
            PF_PixelFloat p{};
            ASSERT_EQ(sf->area_sample_float(nullptr, cx * 65536, cy * 65536, &pb, &p), PF_Err_NONE);
            EXPECT_NEAR(p.alpha, a / 9, 1e-6);
            if (a > 0) {
                EXPECT_NEAR(p.red, r / a, 1e-5);
                EXPECT_NEAR(p.green, g / a, 1e-5);
                EXPECT_NEAR(p.blue, b / a, 1e-5);
            }
        }
    EXPECT_EQ(host.get<Sampling>().tableBuilds(), 1);
    host.get<Sampling>().forget(w.get());
    PF_PixelFloat p{};
    sf->area_sample_float(nullptr, 0, 0, &pb, &p);
    EXPECT_EQ(host.get<Sampling>().tableBuilds(), 2);
    // Repainted: the probe notices and the average follows the new pixels.
    w.fill(PF_PixelFloat{1.0f, 0.5f, 0.5f, 0.5f});
    sf->area_sample_float(nullptr, 3 * 65536, 2 * 65536, &pb, &p);
    EXPECT_EQ(host.get<Sampling>().tableBuilds(), 3);
    EXPECT_FLOAT_EQ(p.red, 0.5f);
    host.suites().release(kPFSamplingFloatSuite, 1);
}

TEST(HostSampling, FaultsAndMissingSourceAreReported) {
    Host host;
    auto* s16 = acquire<PF_Sampling16Suite1>(host, kPFSampling16Suite);
    World w(1, 1, Depth::Bits16);
    PF_SampPB pb{};
    pb.src = w.get();
    PF_Pixel16 p{};
    host.faults().failCall("area_sample16", 1, 7);
    EXPECT_EQ(s16->area_sample16(nullptr, 0, 0, &pb, &p), 7);
    PF_SampPB none{};
    EXPECT_NE(s16->nn_sample16(nullptr, 0, 0, &none, &p), PF_Err_NONE);
    EXPECT_EQ(host.violations().size(), 1u);
    host.suites().release(kPFSampling16Suite, 1);
}

}  // namespace
