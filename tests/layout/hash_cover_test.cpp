// The element hash against values computed independently (Python, same
// formula) and the layer cover against brute-force projection of the corners.
#include "StdHost.h"
#include "VemaroElementBounds.h"
#include "VemaroPatternHash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

int sinCalls = 0;
double countingSin(double v) {
    ++sinCalls;
    return std::sin(v);
}

}  // namespace

TEST(PatternHash, MatchesReferenceValues) {
    StdHost host;
    struct Case {
        int i, j, k;
        Vector seed;
        double expected;
    };
    const Case cases[] = {
        {0, 0, 0, {0, 0}, 0.1844875210808823},         {0, 0, 1, {0, 0}, 0.7162054697837448},
        {1, 0, 0, {0, 0}, 0.4719153063488193},         {17, -4, 3, {2.5, -11.25}, 0.3262332510039414},
        {-1000, 250, 2, {0, 0}, 0.003273859754699515},
    };
    for (const Case& c : cases) EXPECT_NEAR(patternHash(&host.in, c.i, c.j, c.k, c.seed), c.expected, 1e-9);
}

TEST(PatternHash, StaysInUnitIntervalAndAWholeSeedShiftsTheIndices) {
    StdHost host;
    for (int i = -50; i <= 50; ++i) {
        for (int j = -20; j <= 20; ++j) {
            const double h = patternHash(&host.in, i, j, 0, {3, -2});
            ASSERT_GE(h, 0.0);
            ASSERT_LT(h, 1.0);
            // The seed adds to the indices.
            ASSERT_EQ(h, patternHash(&host.in, i + 3, j - 2, 0, {0, 0}));
        }
    }
}

// The weighted draw is the product bit for bit (sign of zero included), and
// a zero weight draws nothing unless the seed is too large to sum finitely.
TEST(PatternHash, WeightedDrawIsTheProductAndSkipsZeroWeights) {
    StdHost host;
    host.utils.ansi.sin = countingSin;
    auto bits = [](double v) {
        uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    const double weights[] = {0.0, -0.0, 1.0, 0.25, -0.75, 1e-300};
    const Vector seeds[] = {{0, 0}, {3.5, -2.25}, {-0.0, 1e6}};
    for (const Vector& seed : seeds)
        for (double w : weights)
            for (int i = -3; i < 4; ++i)
                for (int k = 0; k < 3; ++k) {
                    sinCalls = 0;
                    const double weighted = patternHashTimes(&host.in, i, 2 * i, k, seed, w);
                    EXPECT_EQ(sinCalls, w == 0.0 ? 0 : 1);
                    EXPECT_EQ(bits(weighted), bits(patternHash(&host.in, i, 2 * i, k, seed) * w))
                        << seed.x << " " << w << " " << i << " " << k;
                }
    // A seed past the finite sums: the hash is drawn (and is not a number).
    sinCalls = 0;
    const double huge = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(std::isnan(patternHashTimes(&host.in, 0, 0, 0, {huge, 0}, 0.0)));
    EXPECT_EQ(sinCalls, 1);
}

TEST(PatternHash, UsesTheHostsSine) {
    StdHost host;
    host.utils.ansi.sin = countingSin;
    sinCalls = 0;
    patternHash(&host.in, 1, 2, 3, {0, 0});
    EXPECT_EQ(sinCalls, 1);
}

TEST(OriginAndAxis, TableCases) {
    StdHost host;
    const int w = 640, h = 360;
    struct Case {
        double angle;
        Vector origin, u, v;
        double lu, lv;
    };
    const Case cases[] = {
        {0.0, {0, 0}, {1, 0}, {0, 1}, 640, 360},
        {M_PI / 2, {640, 0}, {0, 1}, {-1, 0}, 360, 640},
        {M_PI, {640, 360}, {-1, 0}, {0, -1}, 640, 360},
        {-M_PI / 2, {0, 360}, {0, -1}, {1, 0}, 360, 640},
    };
    for (const Case& c : cases) {
        Vector origin, u, v;
        double lu = 0, lv = 0;
        getOriginAndAxis(&host.in, c.angle, w, h, origin, u, v, lu, lv);
        EXPECT_NEAR(origin.x, c.origin.x, 1e-9) << c.angle;
        EXPECT_NEAR(origin.y, c.origin.y, 1e-9) << c.angle;
        EXPECT_NEAR(u.x, c.u.x, 1e-12);
        EXPECT_NEAR(u.y, c.u.y, 1e-12);
        EXPECT_NEAR(v.x, c.v.x, 1e-12);
        EXPECT_NEAR(v.y, c.v.y, 1e-12);
        EXPECT_NEAR(lu, c.lu, 1e-9);
        EXPECT_NEAR(lv, c.lv, 1e-9);
    }
}

TEST(OriginAndAxis, CoversTheLayerAtEveryAngle) {
    StdHost host;
    for (auto size : {std::pair<int, int>{1920, 1080}, {100, 700}, {1, 1}, {0, 50}}) {
        const double w = size.first, h = size.second;
        for (int n = -800; n <= 800; ++n) {
            const double angle = n * 0.0123;
            Vector origin, u, v;
            double lu = 0, lv = 0;
            getOriginAndAxis(&host.in, angle, size.first, size.second, origin, u, v, lu, lv);
            // u is the direction of the angle, v a quarter turn from it.
            ASSERT_NEAR(u.x, std::cos(angle), 1e-12);
            ASSERT_NEAR(u.y, std::sin(angle), 1e-12);
            ASSERT_NEAR(v.x, -u.y, 1e-15);
            ASSERT_NEAR(v.y, u.x, 1e-15);
            // Brute force: project the four corners on both axes.
            const Vector corners[] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
            double minU = INFINITY, maxU = -INFINITY, minV = INFINITY, maxV = -INFINITY;
            for (const Vector& c : corners) {
                const double pu = c.x * u.x + c.y * u.y, pv = c.x * v.x + c.y * v.y;
                minU = std::min(minU, pu);
                maxU = std::max(maxU, pu);
                minV = std::min(minV, pv);
                maxV = std::max(maxV, pv);
            }
            const double tol = 1e-9 * (w + h + 1);
            ASSERT_NEAR(lu, maxU - minU, tol) << angle;
            ASSERT_NEAR(lv, maxV - minV, tol) << angle;
            ASSERT_NEAR(origin.x, minU * u.x + minV * v.x, tol) << angle;
            ASSERT_NEAR(origin.y, minU * u.y + minV * v.y, tol) << angle;
            // 2 pi later, the same cover.
            Vector o2, u2, v2;
            double lu2 = 0, lv2 = 0;
            getOriginAndAxis(&host.in, angle + 2 * M_PI, size.first, size.second, o2, u2, v2, lu2, lv2);
            ASSERT_NEAR(o2.x, origin.x, tol);
            ASSERT_NEAR(o2.y, origin.y, tol);
            ASSERT_NEAR(lu2, lu, tol);
            ASSERT_NEAR(lv2, lv, tol);
        }
    }
}

TEST(OriginAndAxis, NonFiniteAngleGivesTheUnrotatedCover) {
    StdHost host;
    for (double angle : {NAN, INFINITY, -INFINITY}) {
        Vector origin{9, 9}, u, v;
        double lu = 0, lv = 0;
        getOriginAndAxis(&host.in, angle, 30, 20, origin, u, v, lu, lv);
        EXPECT_EQ(origin, (Vector{0, 0}));
        EXPECT_EQ(u, (Vector{1, 0}));
        EXPECT_EQ(lu, 30.0);
        EXPECT_EQ(lv, 20.0);
    }
}
