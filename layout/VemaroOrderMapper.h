// The seeded generator behind every seed that picks positions or orders, the
// one shuffle built on it, and the transition order table.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// xorshift128: four 32-bit state words mixed with the seed. The same seed gives
// the same sequence on every machine and build, so stored projects keep their
// random arrangements.
struct XorShift128 {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t z = 0;
    uint32_t w = 0;
    uint32_t max = 4294967295u;

    XorShift128() { seed(0); }
    explicit XorShift128(uint32_t s) { seed(s); }

    // A signed seed parameter is used by its bit pattern (-1 is 0xFFFFFFFF).
    void seed(uint32_t s) {
        x = s ^ 123456789u;
        y = rotl(s, 8) ^ 362436069u;
        z = rotl(s, 24) ^ 521288629u;
        w = rotl(s, 16) ^ 88675123u;
        next();
        next();
        next();
        max = 4294967295u;
    }

    uint32_t next() {
        const uint32_t t = x ^ (x << 11);
        x = y;
        y = z;
        z = w;
        w = w ^ (w >> 19) ^ t ^ (t >> 8);
        return w;
    }

    // In [0, 1], both ends included.
    double uniform() { return static_cast<double>(next()) / static_cast<double>(max); }

    // The integer part of uniform() * count, kept below count: the draw yields
    // exactly 1.0 when the word is 0xFFFFFFFF. count must be at least 1.
    std::size_t below(std::size_t count) {
        const std::size_t k = static_cast<std::size_t>(uniform() * static_cast<double>(count));
        return k < count ? k : count - 1;
    }

private:
    static uint32_t rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
};

// Swaps every position p = 0 .. n-1 in turn with a position drawn over the whole
// table (not only the positions not yet visited), one draw per position, from a
// fresh generator seeded with `seed`. Fewer than two items draw nothing. This
// is the order existing projects were made with; keep it.
template <typename T>
void seededShuffle(std::vector<T>& items, uint32_t seed) {
    const std::size_t n = items.size();
    if (n < 2) return;
    XorShift128 random(seed);
    for (std::size_t p = 0; p < n; ++p) {
        const std::size_t k = random.below(n);
        std::swap(items[p], items[k]);
    }
}

// Maps an element index to its rank in the transition.
class OrderMapper {
public:
    enum Mode { Normal = 1, Random = 2, Map = 3, Shape = 4 };

    // Normal: the identity. Random: the identity shuffled with the seed. Map
    // and Shape keep no table (the order comes from the map or the shape
    // transitioner). A mode outside the popup's range is taken as Normal, so a
    // reader of the table never finds it empty. A negative count is taken as 0.
    OrderMapper(int mode, int seed, int count);

    std::vector<int> order;
};
