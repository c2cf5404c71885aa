// The polygon edge kernel at every vector level the processor has, against the
// per-pixel rule written out here: each column's wedge from the rational
// approximation of its angle, turned by the start angle and brought into one
// turn with fmod, its distances to that wedge's sides, and the settled
// columns. Distances must match to the bit, wedges and settled columns
// exactly, on rows through the centre, columns on the axis, start angles that
// wrap either way, short and full chunks, with and without a hole.
#include "VemaroPolygonEdge.h"
#include "VemaroSimd.h"
#include "polygon_angle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

int wedge(double px, double py, double start, double width, int sectors) {
    double angle = approximateAngle(py, px) - start;
    if (!(angle > -2 * M_PI && angle < 2 * M_PI)) angle = std::fmod(angle, 2 * M_PI);
    if (angle < 0.0) angle += 2 * M_PI;
    const double q = angle / width;
    if (!(q >= 0.0)) return 0;
    return std::min(static_cast<int>(q), sectors - 1);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Case {
    double py, x;  // the row, and the centre (cols are c - x)
    double start;
    int sectors;
    bool hole, settle;
    int n;
};

TEST(PolygonEdge, EveryLevelFollowsThePerPixelRule) {
    struct Restore {
        ~Restore() { simd::setLevelCap(simd::Level::Avx512); }
    } restore;
    std::mt19937_64 rng(90210);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    std::vector<Case> cases = {
        {0.0, 20.5, 1.0, 6, false, true, 40},      // the row through the centre
        {3.0, 20.0, -2.0, 8, false, true, 40},     // a column on the axis
        {-7.25, 31.0, -8.9, 24, true, false, 64},  // wraps up by a turn
        {5.5, 12.3, 8.9, 64, false, true, 64},     // wraps down by a turn
        {-0.5, 3.7, 0.0, 7, true, true, 1},        // one column
        {1e-9, 0.25, 1.5707963267948966, 20, false, true, 63},
    };
    // Columns on the diagonals (|px| = |py|, where the approximation
    // switches form, its two forms there 0.008 apart), with a ray on the
    // diagonal between them.
    for (int i = 0; i < 24; ++i)
        cases.push_back({static_cast<double>(i % 2 ? 3 + i : -5 - i), static_cast<double>(10 + i),
                         (2 * (i % 4) + 1) * M_PI / 4 - M_PI, 6 + 2 * i, i % 3 == 0, true, 64});
    for (int i = 0; i < 400; ++i) {
        const double x = i % 5 == 0 ? std::floor(uniform(0, 60)) : uniform(0, 60);
        const double py = i % 7 == 0 ? 0.0 : uniform(-80, 80) * (i % 3 == 0 ? 0.05 : 1.0);
        cases.push_back({py, x, uniform(-polyedge::kMaxStart, polyedge::kMaxStart),
                         6 + static_cast<int>(uniform(0, 59)), i % 4 == 0, i % 3 != 0,
                         1 + static_cast<int>(uniform(0, 64))});
    }
    // Start angles that put a column exactly on a ray: its angle less the
    // start is a whole number of wedges, where any other rounding of the
    // division moves it to the wedge before.
    for (int i = 0; i < 200; ++i) {
        Case k{uniform(-60, 60),
               std::floor(uniform(0, 60)),
               0.0,
               6 + 2 * static_cast<int>(uniform(0, 29)),
               false,
               true,
               64};
        const double px = static_cast<int>(uniform(-30, 10)) + 5 - k.x, width = M_PI / (k.sectors / 2.0);
        const double target = static_cast<int>(uniform(0, k.sectors)) * width;
        k.start = approximateAngle(k.py, px) - target;
        if (std::fabs(k.start) <= polyedge::kMaxStart) cases.push_back(k);
    }
    for (const Case& k : cases) {
        // Sides placed at random: the kernel only looks them up.
        const int n = k.sectors;
        std::vector<double> de(n), ex(n), uy(n), dh(n), hx(n), huy(n);
        for (int s = 0; s < n; ++s) {
            de[s] = uniform(-40, 40), ex[s] = uniform(-50, 50), uy[s] = uniform(-1, 1);
            dh[s] = uniform(-40, 40), hx[s] = uniform(-50, 50), huy[s] = uniform(-1, 1);
        }
        // Horizontal sides lying exactly at the settling distances.
        uy[0] = 0.0, de[0] = 0.5 + 1e-7;
        if (n > 1) uy[1] = 0.0, de[1] = -(3.5 + 1e-7);
        const double width = M_PI / (n / 2.0);
        const polyedge::Row row{
            k.py,      k.start,   width,     static_cast<double>(n),       k.settle,  0.5 + 1e-7, 3.5 + 1e-7,
            de.data(), ex.data(), uy.data(), k.hole ? dh.data() : nullptr, hx.data(), huy.data()};
        std::vector<double> cols(k.n);
        const int first = static_cast<int>(uniform(-30, -26));  // takes in every on-ray column
        for (int c = 0; c < k.n; ++c) cols[c] = (first + c) - k.x;

        std::vector<double> wantD(k.n), wantD2(k.n);
        uint64_t wantIn = 0, wantEdge = 0;
        for (int c = 0; c < k.n; ++c) {
            const double px = cols[c];
            const int s = wedge(px, k.py, k.start, width, n);
            wantD[c] = de[s] - (px - ex[s]) * uy[s];
            wantD2[c] = k.hole ? dh[s] - (px - hx[s]) * huy[s] : -std::numeric_limits<double>::infinity();
            const bool in = k.settle && wantD[c] >= row.depth, out = k.settle && wantD[c] <= -row.far;
            wantIn |= static_cast<uint64_t>(in) << c;
            wantEdge |= static_cast<uint64_t>(!in && !out) << c;
        }
        for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
            const polyedge::ClassifyFn classify = polyedge::classifyKernelAt(static_cast<simd::Level>(level));
            std::vector<double> d(k.n), d2(k.n);
            const polyedge::Result got = classify(row, cols.data(), k.n, d.data(), d2.data());
            EXPECT_EQ(got.interior, wantIn) << "level " << level << ", row " << k.py << ", start " << k.start;
            EXPECT_EQ(got.edge, wantEdge) << "level " << level << ", row " << k.py << ", start " << k.start;
            for (int c = 0; c < k.n; ++c) {
                ASSERT_TRUE(sameBits(d[c], wantD[c]) && sameBits(d2[c], wantD2[c]))
                    << "level " << level << ", column " << c << " of " << k.n << ": " << d[c] << " vs " << wantD[c]
                    << ", row " << k.py << ", start " << k.start;
            }
        }
    }
}

}  // namespace
