#include "VemaroKeyframeCurve.h"

#include <gtest/gtest.h>

namespace {

// Expected host times from Python's fractions: A + (B - A) * i / (n - 1),
// kept exact when it fits 32 bits, else rounded to the keys' time scale.
TEST(SpanTime, ExactFractionsAndDocumentedRounding) {
    struct Case {
        A_Time a, b;
        int n, i;
        A_Time want;
    } cases[] = {
        {{1001, 30000}, {1801801, 30000}, 1000, 0, {1001, 30000}},
        {{1001, 30000}, {1801801, 30000}, 1000, 1, {2800799, 29970000}},
        {{1001, 30000}, {1801801, 30000}, 1000, 37, {1827827, 810000}},
        {{1001, 30000}, {1801801, 30000}, 1000, 500, {901399999, 29970000}},
        {{1001, 30000}, {1801801, 30000}, 1000, 998, {1798198399, 29970000}},
        {{1001, 30000}, {1801801, 30000}, 1000, 999, {1801801, 30000}},
        {{0, 1}, {1, 1}, 100, 37, {37, 99}},
        {{0, 1}, {1, 1}, 100, 99, {1, 1}},
        // Two hours at 29.97 fps: the exact times no longer fit the host's fields.
        {{1001, 30000}, {7208201, 30000}, 2000, 1, {9208199, 59970000}},
        {{1001, 30000}, {7208201, 30000}, 2000, 37, {268667399, 59970000}},
        {{1001, 30000}, {7208201, 30000}, 2000, 1000, {3606404, 30000}},
        {{1001, 30000}, {7208201, 30000}, 2000, 1998, {7204596, 30000}},
        {{1001, 30000}, {7208201, 30000}, 2000, 1999, {7208201, 30000}},
        {{-3, 2}, {7, 3}, 999, 1, {-8959, 5988}},
        {{-3, 2}, {7, 3}, 999, 499, {5, 12}},
        {{1, 24}, {2, 24}, 7, 3, {1, 16}},
    };
    for (const Case& c : cases) {
        TimeFraction a = toFraction(c.a), b = toFraction(c.b);
        A_Time got = spanTime(a, b - a, c.i, c.n - 1, std::max(c.a.scale, c.b.scale));
        EXPECT_EQ(got.value, c.want.value) << c.b.value << "/" << c.b.scale << " i=" << c.i;
        EXPECT_EQ(got.scale, c.want.scale) << c.b.value << "/" << c.b.scale << " i=" << c.i;
    }
}

TEST(SpanTime, RoundingHalvesAwayFromZeroAndSaturates) {
    // Half a tick of a 3e9 scale has a denominator beyond 32 bits.
    const std::int64_t S = 3000000000;
    const TimeFraction half(1, 2 * S);
    A_Time t = spanTime(0, half, 1, 1, static_cast<A_u_long>(S));
    EXPECT_EQ(t.value, 1);
    EXPECT_EQ(t.scale, static_cast<A_u_long>(S));
    t = spanTime(-half, 0, 0, 1, static_cast<A_u_long>(S));
    EXPECT_EQ(t.value, -1);
    t = spanTime(TimeFraction(1, 3 * S), 0, 0, 1, static_cast<A_u_long>(S));  // a third of a tick
    EXPECT_EQ(t.value, 0);
    // Beyond the host's range of ticks: the latest time it can hold.
    t = spanTime(TimeFraction(S), 0, 0, 1, 1);
    EXPECT_EQ(t.value, 2147483647);
    EXPECT_EQ(t.scale, 1u);
}

}  // namespace
