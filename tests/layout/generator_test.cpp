// The seeded generator, the shuffle and the transition order table, checked
// against Marsaglia's published xor128 sequence and an independent Python
// transcription:
//
//   M = 0xFFFFFFFF
//   def rotl(v, n): return ((v << n) | (v >> (32 - n))) & M
//   class X:
//       def __init__(s, seed):
//           seed &= M
//           s.x = seed ^ 123456789; s.y = rotl(seed, 8) ^ 362436069
//           s.z = rotl(seed, 24) ^ 521288629; s.w = rotl(seed, 16) ^ 88675123
//           for _ in range(3): s.next()
//       def next(s):
//           t = (s.x ^ (s.x << 11)) & M
//           s.x, s.y, s.z = s.y, s.z, s.w
//           s.w = (s.w ^ (s.w >> 19) ^ t ^ (t >> 8)) & M
//           return s.w
//   def shuffle(n, seed):
//       o = list(range(n)); g = X(seed)
//       if n >= 2:
//           for p in range(n):
//               k = min(int(g.next() / 4294967295.0 * n), n - 1)
//               o[p], o[k] = o[k], o[p]
//       return o
#include "Vector.h"
#include "VemaroOrderMapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

std::vector<uint32_t> firstWords(uint32_t seed, int n) {
    XorShift128 g(seed);
    std::vector<uint32_t> out;
    for (int i = 0; i < n; ++i) out.push_back(g.next());
    return out;
}

}  // namespace

TEST(XorShift128, SeedZeroIsMarsagliasSequence) {
    XorShift128 g(0);
    EXPECT_EQ(g.x, 0x05491333u);
    EXPECT_EQ(g.y, 0xDCA345EAu);
    EXPECT_EQ(g.z, 0x1B5116E6u);
    EXPECT_EQ(g.w, 0x951049AAu);
    EXPECT_EQ(g.max, 4294967295u);
    EXPECT_EQ(firstWords(0, 3), (std::vector<uint32_t>{3633119408u, 516391518u, 2377269574u}));
    // A default-constructed generator is the seed-0 one.
    XorShift128 d;
    EXPECT_EQ(d.next(), 3633119408u);
}

TEST(XorShift128, OtherSeedsMatchIndependentTranscription) {
    struct Case {
        uint32_t seed;
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {0u, {3633119408u, 516391518u, 2377269574u, 2599949379u, 717229868u}},
        {1u, {3515613336u, 529498655u, 3300065639u, 2461537282u, 595676685u}},
        {42u, {2745631909u, 1058504952u, 2089995297u, 3245957036u, 1516300554u}},
        {100000u, {1076696091u, 3383177256u, 2965044809u, 2359754416u, 2751704819u}},
        {0xFFFFFFFFu, {661847887u, 3791160705u, 1921867398u, 1695019963u, 3577737427u}},
        {0x80000000u, {1552782512u, 516097630u, 691204546u, 2667091155u, 2933963688u}},
        {123456789u, {3046645000u, 2642880973u, 1629855843u, 2175173271u, 4104372214u}},
    };
    for (const Case& c : cases) EXPECT_EQ(firstWords(c.seed, 5), c.words) << "seed " << c.seed;
    // A negative seed parameter is used by its bit pattern.
    EXPECT_EQ(firstWords(static_cast<uint32_t>(-1), 5), cases[4].words);
}

TEST(XorShift128, UniformCoversBothEndsAndIndexStaysInRange) {
    XorShift128 g(0);
    EXPECT_DOUBLE_EQ(g.uniform(), 3633119408.0 / 4294967295.0);

    // x = 0 makes t = 0; w ^ (w >> 19) is then 0xFFFFFFFF for w = 0xFFFFE000.
    XorShift128 top;
    top.x = 0;
    top.w = 0xFFFFE000u;
    XorShift128 copy = top;
    EXPECT_EQ(copy.next(), 0xFFFFFFFFu);
    copy = top;
    EXPECT_EQ(copy.uniform(), 1.0);
    for (std::size_t n : {1u, 2u, 7u, 1000u}) {
        copy = top;
        EXPECT_EQ(copy.below(n), n - 1) << n;
    }

    XorShift128 zero;
    zero.x = 0;
    zero.w = 0;
    EXPECT_EQ(zero.uniform(), 0.0);
}

TEST(OrderMapper, RandomOrdersMatchReference) {
    struct Case {
        int seed;
        int count;
        std::vector<int> order;
    };
    const Case cases[] = {
        {0, 8, {0, 3, 7, 2, 6, 1, 5, 4}},
        {0, 5, {0, 4, 2, 3, 1}},
        {7, 10, {2, 3, 7, 8, 1, 0, 5, 4, 6, 9}},
        {-1, 16, {2, 8, 5, 12, 4, 15, 1, 11, 10, 14, 9, 13, 6, 3, 0, 7}},
        {99999, 3, {1, 2, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(OrderMapper(OrderMapper::Random, c.seed, c.count).order, c.order);
}

TEST(OrderMapper, RandomOrderIsAPermutationForManySeedsAndSizes) {
    for (int count : {2, 3, 17, 256, 1001}) {
        for (int seed : {0, 1, 2, 31337, -5, 100000}) {
            std::vector<int> order = OrderMapper(OrderMapper::Random, seed, count).order;
            ASSERT_EQ(order.size(), static_cast<std::size_t>(count));
            std::sort(order.begin(), order.end());
            std::vector<int> identity(count);
            std::iota(identity.begin(), identity.end(), 0);
            EXPECT_EQ(order, identity) << "count " << count << " seed " << seed;
        }
    }
}

TEST(OrderMapper, ModesAndDegenerateCounts) {
    EXPECT_EQ(OrderMapper(OrderMapper::Normal, 1234, 4).order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(OrderMapper(OrderMapper::Map, 0, 5).order.empty());
    EXPECT_TRUE(OrderMapper(OrderMapper::Shape, 0, 5).order.empty());
    EXPECT_EQ(OrderMapper(OrderMapper::Random, 5, 1).order, (std::vector<int>{0}));
    EXPECT_TRUE(OrderMapper(OrderMapper::Random, 5, 0).order.empty());
    EXPECT_TRUE(OrderMapper(OrderMapper::Normal, 5, -3).order.empty());
    // Outside the popup's range: the identity, never an empty table that a
    // reader would index past.
    for (int mode : {0, -1, 5, 99}) EXPECT_EQ(OrderMapper(mode, 5, 3).order, (std::vector<int>{0, 1, 2})) << mode;
}

TEST(SeededShuffle, ShufflesAnyTypeTheSameWayAsTheOrderTable) {
    std::vector<Vector> points;
    for (int k = 0; k < 8; ++k) points.push_back({double(k), -double(k)});
    seededShuffle(points, 0);
    const std::vector<int> expected = {0, 3, 7, 2, 6, 1, 5, 4};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(points[k], (Vector{double(expected[k]), -double(expected[k])}));

    std::vector<Vector> one = {{1, 2}};
    seededShuffle(one, 3);
    EXPECT_EQ(one[0], (Vector{1, 2}));
}
