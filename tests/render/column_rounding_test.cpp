// The column roundings of the rasterisers' row searches against the library's
// floor and ceil, clamped the way the searches clamped them before.
#include "VemaroColumnRounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

A_long clamped(double rounded, A_long lo, A_long hi) {
    return rounded <= lo ? lo : (rounded >= hi ? hi : static_cast<A_long>(rounded));
}

void expectAll(double v, A_long lo, A_long hi) {
    EXPECT_EQ(raster::floorIn(v, lo, hi), clamped(std::floor(v), lo, hi))
        << "floor " << v << " in " << lo << ".." << hi;
    EXPECT_EQ(raster::floorPlusOneIn(v, lo, hi), clamped(std::floor(v) + 1.0, lo, hi))
        << "floor + 1 " << v << " in " << lo << ".." << hi;
    EXPECT_EQ(raster::ceilIn(v, lo, hi), clamped(std::ceil(v), lo, hi)) << "ceil " << v << " in " << lo << ".." << hi;
}

}  // namespace

// Whole numbers, values just beside them and halves, on both sides of both
// clamps, in ranges starting at 0, above it and below it, and an empty one.
TEST(ColumnRounding, MatchesTheClampedLibraryRounding) {
    const A_long ranges[][2] = {{0, 20}, {3, 9}, {-7, 5}, {4, 4}, {0, 1}, {-3, -1}, {0, 1920}};
    for (const auto& range : ranges) {
        const A_long lo = range[0], hi = range[1];
        for (A_long k = lo - 3; k <= hi + 3; ++k)
            for (double d : {0.0, 0.5, 1e-9, -1e-9, 0.25, -0.75}) expectAll(k + d, lo, hi);
        for (double v :
             {std::nextafter(static_cast<double>(lo), -1e9), std::nextafter(static_cast<double>(hi), 1e9),
              std::nextafter(lo + 1.0, -1e9), std::nextafter(hi - 1.0, 1e9), -0.0, 1e15, -1e15, HUGE_VAL, -HUGE_VAL})
            expectAll(v, lo, hi);
    }
    std::mt19937_64 g(7);
    std::uniform_real_distribution<double> u(-50.0, 2000.0);
    for (int i = 0; i < 20000; ++i) {
        const A_long lo = static_cast<A_long>(g() % 40), hi = lo + static_cast<A_long>(g() % 1900);
        expectAll(u(g), lo, hi);
    }
}
