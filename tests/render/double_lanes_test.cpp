// The double-lane levels the pixel kernels are written in must give, lane for
// lane and to the bit, what one lane in plain C++ gives: every operation over
// values where rounding, truncation and comparison are delicate.
#include "VemaroDoubleLanes.h"
#include "VemaroSimd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr int kValues = 9, kMasks = 7;
struct LaneResults {
    double values[kValues];
    unsigned masks[kMasks];
};

}  // namespace

#define LANES_NS plain
#include "double_lanes_ops.inl"
#undef LANES_NS

#if VEMARO_HAVE_AVX2
VEMARO_AVX2_BEGIN
#define LANES_NS wide2
#include "double_lanes_ops.inl"
#undef LANES_NS
VEMARO_AVX2_END
VEMARO_AVX512_BEGIN
#define LANES_NS wide4
#include "double_lanes_ops.inl"
#undef LANES_NS
VEMARO_AVX512_END
#endif

namespace {

uint64_t bitsOf(double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// Each value against each: signed zeros, halves that round either way,
// values at 2^52 where truncation stops mattering, the largest and smallest
// doubles, infinities and NaNs, and random values.
void operands(std::vector<double>& a, std::vector<double>& b) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> v = {0.0,
                             -0.0,
                             0.5,
                             -0.5,
                             0.49999999999999994,
                             1.0,
                             1.5,
                             -1.5,
                             2.5,
                             -2.5,
                             3.7,
                             -3.7,
                             0x1p52 - 0.5,
                             -(0x1p52 - 0.5),
                             0x1p52 - 1.0,
                             0x1p52,
                             0x1p52 + 1.0,
                             -0x1p53,
                             0x1.8p52,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::min(),
                             inf,
                             -inf,
                             nan,
                             -nan};
    std::mt19937_64 g(11);
    for (int k = 0; k < 14; ++k) v.push_back(std::ldexp(std::uniform_real_distribution<double>(-1, 1)(g), k * 5 - 20));
    for (double x : v)
        for (double y : v) {
            a.push_back(x);
            b.push_back(y);
        }
}

TEST(DoubleLanes, EveryLevelGivesThePlainLanesBits) {
    std::vector<double> a, b;
    operands(a, b);
    ASSERT_EQ(a.size() % 8, 0u);
    std::vector<LaneResults> want(a.size());
    plain::everyOperation<lanes::Scalar>(a.data(), b.data(), a.size(), want.data());
    // loadPartial keeps the first m lanes of each group of a level; one lane
    // always keeps its only lane.
    auto check = [&](const char* level, int lanes, const std::vector<LaneResults>& got) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            const int m = static_cast<int>(i / lanes % (lanes + 1));
            const double partial = static_cast<int>(i % lanes) < m ? a[i] : 0.0;
            for (int v = 0; v < kValues; ++v) {
                const double w = v == kValues - 1 ? partial : want[i].values[v];
                ASSERT_EQ(bitsOf(got[i].values[v]), bitsOf(w))
                    << level << " value " << v << " of " << a[i] << ", " << b[i];
            }
            for (int k = 0; k < kMasks; ++k)
                ASSERT_EQ(got[i].masks[k], want[i].masks[k])
                    << level << " mask " << k << " of " << a[i] << ", " << b[i];
        }
    };
    std::vector<LaneResults> got(a.size());
#if VEMARO_LANES_SSE2
    plain::everyOperation<lanes::Sse2>(a.data(), b.data(), a.size(), got.data());
    check("SSE2", 2, got);
#endif
#if VEMARO_HAVE_AVX2
    if (simd::supported() >= simd::Level::Avx2) {
        wide2::everyOperation<lanes::Avx2>(a.data(), b.data(), a.size(), got.data());
        check("AVX2", 4, got);
    }
    if (simd::supported() >= simd::Level::Avx512) {
        wide4::everyOperation<lanes::Avx512>(a.data(), b.data(), a.size(), got.data());
        check("AVX-512", 8, got);
    }
#endif
}

// Truncation is built from additions at SSE2; these are worked out by hand.
TEST(DoubleLanes, TruncationOfHandPickedValues) {
    struct Case {
        double in, want;
    } const cases[] = {{2.5, 2.0},
                       {-2.5, -2.0},
                       {0.99999999999999989, 0.0},
                       {-0.5, -0.0},
                       {3.0, 3.0},
                       {0x1p52 - 0.5, 0x1p52 - 1.0},
                       {-(0x1p52 + 2.0), -(0x1p52 + 2.0)},
                       {1e300, 1e300}};
    for (const Case& c : cases) {
        const double pair[2] = {c.in, -c.in};
        double out[2];
#if VEMARO_LANES_SSE2
        lanes::Sse2::store(out, lanes::Sse2::trunc(lanes::Sse2::load(pair)));
#else
        out[0] = lanes::Scalar::trunc(pair[0]);
        out[1] = lanes::Scalar::trunc(pair[1]);
#endif
        EXPECT_EQ(bitsOf(out[0]), bitsOf(c.want)) << c.in;
        EXPECT_EQ(bitsOf(out[1]), bitsOf(-c.want)) << -c.in;
    }
}

}  // namespace
