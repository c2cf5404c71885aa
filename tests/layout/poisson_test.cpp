// Poisson-disk scattering: spacing, containment and coverage properties, the
// generator's draw order (against an independent Python transcription of the
// sampler run with the same seeds), and the limits that keep a run bounded.
#include "VemaroPoissonDisk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

double dist(const Vector& a, const Vector& b) { return std::hypot(a.x - b.x, a.y - b.y); }

void expectSpacing(const std::vector<Vector>& pts, double d) {
    for (std::size_t a = 0; a < pts.size(); ++a)
        for (std::size_t b = a + 1; b < pts.size(); ++b) ASSERT_GE(dist(pts[a], pts[b]), d) << a << " " << b;
}

double farthestProbe(const std::vector<Vector>& pts, Vector mn, Vector mx, double radius, double step) {
    const Vector centre = (mn + mx) * 0.5;
    double worst = 0;
    for (double y = mn.y; y < mx.y; y += step) {
        for (double x = mn.x; x < mx.x; x += step) {
            if (radius >= 0 && dist({x, y}, centre) > radius) continue;
            double best = INFINITY;
            for (const Vector& p : pts) best = std::min(best, dist(p, {x, y}));
            worst = std::max(worst, best);
        }
    }
    return worst;
}

struct Reference {
    uint32_t seed;
    Vector mn, mx;
    double radius, d;
    int attempts;
    bool startAtCenter;
    std::size_t count;
    Vector first[3];
    Vector last;
    Vector sum;
};

// Outputs of the Python transcription (math.sin/cos; fsum for the sums).
const Reference kReferences[] = {
    {7,
     {0, 0},
     {200, 120},
     -1,
     15,
     30,
     false,
     71,
     {{180.8898974631191, 11.36629770774541},
      {192.48346904190072, 33.0218243006915},
      {156.86418958695478, 11.669207940213841}},
     {54.44858609439073, 116.77100276008927},
     {7151.264735045712, 4224.701631214566}},
    {1234,
     {-100, -100},
     {100, 100},
     100,
     12,
     50,
     false,
     154,
     {{47.16525518967893, 71.74876503919921},
      {58.13118502473277, 64.17133409129266},
      {33.35015439182244, 76.26354877237439}},
     {-18.8224533638927, -41.00307205915251},
     {352.6894807483148, -100.00216551203229}},
    {5,
     {-50, -30},
     {50, 30},
     -1,
     9,
     50,
     true,
     56,
     {{0.0, 0.0}, {-6.726133321213027, 7.316164468424941}, {2.439835050498727, 15.122713796565218}},
     {48.83077490708672, -5.0663407814749455},
     {-4.232350759251567, 21.55705317750924}},
};

}  // namespace

TEST(PoissonDisk, DrawOrderMatchesIndependentTranscription) {
    for (const Reference& r : kReferences) {
        PoissonDisk disk(r.seed);
        const std::vector<Vector> pts = disk.sample(r.mn, r.mx, r.radius, r.d, r.attempts, r.startAtCenter);
        ASSERT_EQ(pts.size(), r.count) << "seed " << r.seed;
        for (int k = 0; k < 3; ++k) EXPECT_EQ(pts[k], r.first[k]) << "seed " << r.seed << " point " << k;
        EXPECT_EQ(pts.back(), r.last);
        double sx = 0, sy = 0;
        for (const Vector& p : pts) {
            sx += p.x;
            sy += p.y;
        }
        EXPECT_NEAR(sx, r.sum.x, 1e-9);
        EXPECT_NEAR(sy, r.sum.y, 1e-9);
    }
}

TEST(PoissonDisk, SpacingContainmentAndCoverage) {
    struct Case {
        uint32_t seed;
        Vector mn, mx;
        double radius, d;
    };
    const Case cases[] = {
        {0, {-960, -540}, {960, 540}, -1, 40},
        {99, {0, 0}, {300, 300}, -1, 10},
        {4242, {-150, -150}, {150, 150}, 150, 12},
        {17, {10, 20}, {90, 400}, -1, 3},
    };
    for (const Case& c : cases) {
        PoissonDisk disk(c.seed);
        const std::vector<Vector> pts = disk.sample(c.mn, c.mx, c.radius, c.d, 50, false);
        ASSERT_GT(pts.size(), 1u);
        expectSpacing(pts, c.d);
        const Vector centre = (c.mn + c.mx) * 0.5;
        for (std::size_t k = 0; k < pts.size(); ++k) {
            const Vector& p = pts[k];
            ASSERT_TRUE(p.x >= c.mn.x && p.y >= c.mn.y) << k;
            // The first point may lie on the closed upper edge; the others not.
            if (k > 0) {
                ASSERT_TRUE(p.x < c.mx.x && p.y < c.mx.y) << k;
            }
            if (c.radius >= 0) {
                ASSERT_LE(dist(p, centre), c.radius);
            }
        }
        EXPECT_LE(farthestProbe(pts, c.mn, c.mx, c.radius, c.d / 3), 2 * c.d) << "seed " << c.seed;
    }
}

TEST(PoissonDisk, FirstPointAndRepeatability) {
    const Vector mn{-40, 10}, mx{60, 90};
    XorShift128 g(321);
    const double u1 = g.uniform(), u2 = g.uniform();
    PoissonDisk a(321), b(321);
    const std::vector<Vector> pa = a.sample(mn, mx, -1, 7, 50, false);
    EXPECT_EQ(pa.front(), (Vector{u1 * 100 + mn.x, u2 * 80 + mn.y}));
    EXPECT_EQ(pa, b.sample(mn, mx, -1, 7, 50, false));
    // The generator lives on: a second run continues the sequence.
    EXPECT_NE(a.sample(mn, mx, -1, 7, 50, false), pa);
    PoissonDisk c(322);
    EXPECT_NE(c.sample(mn, mx, -1, 7, 50, false), pa);
}

TEST(PoissonDisk, DegenerateRuns) {
    // No attempts: the first point alone; draws: two for it, one per removal.
    PoissonDisk none(8);
    EXPECT_EQ(none.sample({0, 0}, {100, 100}, -1, 5, 0, false).size(), 1u);
    XorShift128 g(8);
    for (int k = 0; k < 3; ++k) g.next();
    EXPECT_EQ(none.random.w, g.w);

    // Start at the centre: exactly the centre, no draw for it.
    PoissonDisk centred(8);
    const std::vector<Vector> pc = centred.sample({-10, 4}, {30, 8}, -1, 100, 0, true);
    EXPECT_EQ(pc, (std::vector<Vector>{{10, 6}}));
    XorShift128 one(8);
    one.next();
    EXPECT_EQ(centred.random.w, one.w);

    // A zero-size rectangle and circle: the single centre.
    PoissonDisk zero(1);
    EXPECT_EQ(zero.sample({5, 5}, {5, 5}, 0, 2, 50, false), (std::vector<Vector>{{5, 5}}));

    // A distance beyond the diagonal: one point.
    PoissonDisk wide(3);
    EXPECT_EQ(wide.sample({0, 0}, {30, 40}, -1, 51, 50, false).size(), 1u);
}

TEST(PoissonDisk, HugeGridIsRefusedWithoutAllocating) {
    // "Layer Size" with the largest expansion at distance 2: ~10^11 cells.
    const double e = 500000;
    PoissonDisk disk(0);
    std::vector<Vector> pts{{1, 1}};
    EXPECT_EQ(PoissonDisk::check({-960 - e, -540 - e}, {960 + e, 540 + e}, -1, 2), PoissonDisk::Status::tooLarge);
    EXPECT_EQ(disk.sample({-960 - e, -540 - e}, {960 + e, 540 + e}, -1, 2, 50, false, pts),
              PoissonDisk::Status::tooLarge);
    EXPECT_TRUE(pts.empty());
    EXPECT_EQ(disk.random.w, XorShift128(0).w);  // nothing drawn

    // Side lengths whose cell counts overflow 32 (and 64) bits.
    EXPECT_EQ(PoissonDisk::check({-1e300, 0}, {1e300, 1}, -1, 2), PoissonDisk::Status::tooLarge);
    EXPECT_EQ(PoissonDisk::check({0, 0}, {1, 1}, -1, 1e-300), PoissonDisk::Status::tooLarge);
    // Well inside the budget: a UHD layer at distance 2, and an HD layer
    // grown by 2000 px on every side (15 million cells).
    EXPECT_EQ(PoissonDisk::check({-1920, -1080}, {1920, 1080}, -1, 2), PoissonDisk::Status::ok);
    EXPECT_EQ(PoissonDisk::check({-2960, -2540}, {2960, 2540}, -1, 2), PoissonDisk::Status::ok);
}

TEST(PoissonDisk, InvalidInputNeverHangs) {
    struct Case {
        Vector mn, mx;
        double radius, d;
    };
    const Case cases[] = {
        {{0, 0}, {10, 10}, NAN, 2},      {{0, 0}, {10, 10}, -1, 0},        {{0, 0}, {10, 10}, -1, -3},
        {{0, 0}, {10, 10}, -1, NAN},     {{0, 0}, {10, 10}, -1, INFINITY}, {{NAN, 0}, {10, 10}, -1, 2},
        {{0, 0}, {INFINITY, 10}, -1, 2}, {{10, 0}, {0, 10}, -1, 2},
    };
    for (const Case& c : cases) {
        PoissonDisk disk(0);
        std::vector<Vector> pts;
        EXPECT_EQ(disk.sample(c.mn, c.mx, c.radius, c.d, 50, false, pts), PoissonDisk::Status::invalidInput);
        EXPECT_TRUE(pts.empty());
    }
    // A circle far too small to hit by chance ends at its centre.
    PoissonDisk tiny(0);
    EXPECT_EQ(tiny.sample({0, 0}, {1000, 1000}, 0, 2, 50, false), (std::vector<Vector>{{500, 500}}));
    // An infinite radius is no limit at all.
    PoissonDisk open(0), none(0);
    EXPECT_EQ(open.sample({0, 0}, {50, 50}, INFINITY, 6, 20, false), none.sample({0, 0}, {50, 50}, -1, 6, 20, false));
}

// A long run asks whether to stop every 65,536 candidates; stopping ends it
// at once with no points, and a run that is never stopped gives the same
// points as one without the check.
TEST(PoissonDisk, AbortCheckStopsALongRun) {
    const Vector mn{-160, -90}, mx{160, 90};
    const std::vector<Vector> plain = PoissonDisk(3).sample(mn, mx, -1, 2, 50, false);
    int calls = 0;
    std::vector<Vector> pts;
    PoissonDisk counted(3);
    ASSERT_EQ(counted.sample(mn, mx, -1, 2, 50, false, pts,
                             [&] {
                                 ++calls;
                                 return false;
                             }),
              PoissonDisk::Status::ok);
    EXPECT_EQ(pts, plain);
    // About 70 candidates a point.
    EXPECT_GE(calls, static_cast<int>(plain.size() * 50 / 65536));
    ASSERT_GE(calls, 4);

    int left = 3;
    PoissonDisk stopped(3);
    EXPECT_EQ(stopped.sample(mn, mx, -1, 2, 50, false, pts, [&] { return --left == 0; }), PoissonDisk::Status::aborted);
    EXPECT_TRUE(pts.empty());
    EXPECT_EQ(left, 0);
}

namespace {

// The scatter exactly as the method reads, with none of the sampler's
// shortcuts: library sine and cosine for every candidate, the window clipped
// to the grid and read row by row, a square root per neighbour.
std::vector<Vector> plainScatter(uint32_t seed, Vector mn, Vector mx, double radius, double d, int attempts,
                                 bool startAtCenter) {
    XorShift128 random(seed);
    const double cell = d / 1.4142135623730951;
    const Vector size = mx - mn, centre = (mn + mx) * 0.5;
    const int w = static_cast<int>(size.x / cell) + 1, h = static_cast<int>(size.y / cell) + 1;
    std::vector<int> grid(static_cast<std::size_t>(w) * h, -1);
    std::vector<Vector> points, active;
    const auto add = [&](Vector p) {
        const int gx = std::min(static_cast<int>((p.x - mn.x) / cell), w - 1);
        const int gy = std::min(static_cast<int>((p.y - mn.y) / cell), h - 1);
        grid[gx + gy * static_cast<std::size_t>(w)] = static_cast<int>(points.size());
        active.push_back(p);
        points.push_back(p);
    };
    if (startAtCenter) {
        add({mn.x + size.x * 0.5, mn.y + size.y * 0.5});
    } else {
        for (;;) {
            const double u1 = random.uniform(), u2 = random.uniform();
            const Vector p{u1 * size.x + mn.x, u2 * size.y + mn.y};
            if (radius < 0 || dist(p, centre) <= radius) {
                add(p);
                break;
            }
        }
    }
    while (!active.empty()) {
        const std::size_t index = random.below(active.size());
        bool added = false;
        for (int a = 0; a < attempts; ++a) {
            const double u1 = random.uniform(), u2 = random.uniform();
            const double angle = u2 * 6.283185307179586, r = u1 * d + d;
            const Vector c{active[index].x + std::sin(angle) * r, active[index].y + std::cos(angle) * r};
            if (!(mn.x <= c.x && c.x < mx.x && mn.y <= c.y && c.y < mx.y)) continue;
            if (radius >= 0 && dist(c, centre) > radius) continue;
            const int gx = static_cast<int>((c.x - mn.x) / cell), gy = static_cast<int>((c.y - mn.y) / cell);
            bool fits = true;
            for (int j = std::max(gy - 2, 0); j < std::min(gy + 3, h) && fits; ++j)
                for (int i = std::max(gx - 2, 0); i < std::min(gx + 3, w) && fits; ++i) {
                    const int n = grid[i + j * static_cast<std::size_t>(w)];
                    const Vector q = n >= 0 ? points[n] : Vector();
                    fits = n < 0 || std::sqrt((q.x - c.x) * (q.x - c.x) + (q.y - c.y) * (q.y - c.y)) >= d;
                }
            if (fits) {
                add(c);
                added = true;
            }
        }
        if (!added) active.erase(active.begin() + static_cast<std::ptrdiff_t>(index));
    }
    return points;
}

}  // namespace

// The sampler's shortcuts (rough placement, nearest cells first, squared
// distances, the bordered grid) keep every point and its order: the same
// lists as the plain method over seeds, shapes, distances and placements,
// far from the origin too, where rounding is coarsest.
TEST(PoissonDisk, SameAsThePlainMethodPointForPoint) {
    for (uint32_t seed = 0; seed < 12; ++seed) {
        const double d = 1.5 + seed * 0.7;
        const Vector far{1e6 * seed, -3e5 * seed};
        struct Run {
            Vector mn, mx;
            double radius;
            int attempts;
            bool centre;
        } runs[] = {
            {{-60, -40}, {60, 40}, -1, 30, false},
            {{-50, -50}, {50, 50}, 50, 20, (seed & 1) != 0},
            {far + Vector{-40, -30}, far + Vector{40, 30}, -1, 30, false},
            {{-100, -3}, {100, 3}, -1, 1 + static_cast<int>(seed % 4), false},
        };
        for (const Run& r : runs) {
            const std::vector<Vector> want = plainScatter(seed, r.mn, r.mx, r.radius, d, r.attempts, r.centre);
            PoissonDisk disk(seed);
            ASSERT_EQ(disk.sample(r.mn, r.mx, r.radius, d, r.attempts, r.centre), want)
                << "seed " << seed << ", corner " << r.mn.x << ", " << r.mn.y;
        }
    }
}
