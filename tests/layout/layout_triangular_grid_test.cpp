// The Triangular Grid layout against a brute-force walk of the lattice: kept
// points, placement, row classes, orientation, cancel and degenerate input.
#include "Core.h"
#include "VemaroElementBounds.h"
#include "lattice_fixture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace {

class TriangularGridTest : public LatticeTest {
protected:
    void SetUp() override {
        LatticeTest::SetUp();
        record.pattern = 8;
        record.triangularGridRadius = 10;
        record.triangularGridHeight = 1;
        record.cycle = 1;
    }
    // Lattice point (u, v) in output pixels, with the standard library's maths.
    Vector latticePoint(int u, int v, Vector origin) const {
        const Parameters& p = record;
        const double s = p.transformScale;
        const double cs = std::max(1.0, p.triangularGridRadius * s);
        const double rs = std::sqrt(3.0) * cs * 0.5 * p.triangularGridHeight;
        const Vector L = latticeOrigin(p.triangularGridCenter, p.triangularGridRotation,
                                       {p.triangularGridOffsetX, p.triangularGridOffsetY}, origin);
        const Vector U = axisU(p.triangularGridRotation), V = axisV(p.triangularGridRotation);
        return L + U * ((u + ((v & 1) ? 0.5 : 0.0)) * cs) + V * (v * rs);
    }
};

TEST_F(TriangularGridTest, KeepsThePointsThatReachTheOutputWhereverTheLatticeLies) {
    struct Case {
        Vector center;
        double radius, height, rotation, scale, transformRotation, offsetX, offsetY;
        int originX, originY;
    };
    const Case cases[] = {
        {{0, 0}, 10, 1, 0, 1, 0, 0, 0, 0, 0},
        {{33, 7}, 12, 0.5, 0.4, 1.5, 0.3, 5, -2, 7, -11},
        {{-1500, 1200}, 17, 1.3, -2.2, 0.8, 3.0, 0, 0, 0, 0},
        {{10, 10}, 0.3, 1, 0.1, 1, 0, 0, 0, 0, 0},  // below 1 px: 1 px steps
    };
    for (const Case& c : cases) {
        record.triangularGridCenter = c.center;
        record.triangularGridRadius = c.radius;
        record.triangularGridHeight = c.height;
        record.triangularGridRotation = c.rotation;
        record.triangularGridOffsetX = c.offsetX;
        record.triangularGridOffsetY = c.offsetY;
        record.transformScale = c.scale;
        record.transformRotation = c.transformRotation;
        record.transformAnchor = {3, 4};
        record.transformPosition = {20, -6};
        const Vector origin{double(c.originX), double(c.originY)};
        ShapeDrawer& d = make(60, 40, c.originX, c.originY);
        ASSERT_EQ(d.createPatterns(), PF_Err_NONE);
        const double m = getMaxSize(&in, &record);
        std::set<std::pair<int, int>> made;
        for (std::size_t k = 0; k < d.patterns.size(); ++k) {
            const ShapeDrawer::Pattern& p = d.patterns[k];
            const Vector want = latticePoint(p.i, p.j, origin);
            EXPECT_NEAR(p.position.x, want.x, 1e-6);
            EXPECT_NEAR(p.position.y, want.y, 1e-6);
            EXPECT_TRUE(want.x >= -m - 1e-9 && want.x <= 60 + m + 1e-9 && want.y >= -m - 1e-9 &&
                        want.y <= 40 + m + 1e-9);
            made.insert({p.i, p.j});
            if (k > 0) {
                const ShapeDrawer::Pattern& q = d.patterns[k - 1];
                EXPECT_TRUE(q.j < p.j || (q.j == p.j && q.i < p.i));
            }
        }
        EXPECT_EQ(made.size(), d.patterns.size());
        // Every point whose shape may reach the output is made.
        for (int v = -700; v <= 700; ++v)
            for (int u = -700; u <= 700; ++u) {
                const Vector P = latticePoint(u, v, origin);
                const double dx = std::max({0.0, -P.x, P.x - 60}), dy = std::max({0.0, -P.y, P.y - 40});
                if (std::hypot(dx, dy) <= m) {
                    EXPECT_EQ(made.count({u, v}), 1u) << u << "," << v;
                }
            }
    }
}

TEST_F(TriangularGridTest, RowsFoldIntoCycleClassesAndOrientByTheLatticeRotation) {
    record.cycle = 8;
    record.autoOrient = 1;
    record.triangularGridRotation = 0.25;
    record.transformRotation = 1.0;
    ShapeDrawer& d = make(60, 40);
    ASSERT_EQ(d.createTriangularGridPatterns(), PF_Err_NONE);
    bool sawMinusOne = false;
    for (const ShapeDrawer::Pattern& p : d.patterns) {
        EXPECT_EQ(p.t, (((p.j % 8) + 8) % 8) / 8.0) << p.j;
        EXPECT_EQ(p.phase, 0.25);
        if (p.j == -1) {
            sawMinusOne = true;
            EXPECT_EQ(p.t, 7 / 8.0);
        }
    }
    EXPECT_TRUE(sawMinusOne);
    // Row -1 is odd: shifted by half a step.
    record.autoOrient = 0;
    record.triangularGridRotation = record.transformRotation = 0;
    record.cycleOffset = 3;
    ShapeDrawer& e = make(60, 40);
    ASSERT_EQ(e.createTriangularGridPatterns(), PF_Err_NONE);
    for (const ShapeDrawer::Pattern& p : e.patterns) {
        EXPECT_DOUBLE_EQ(p.position.x, 10.0 * p.i + ((p.j & 1) ? 5.0 : 0.0));
        EXPECT_EQ(p.t, ((((p.j + 3) % 8) + 8) % 8) / 8.0);
    }
}

TEST_F(TriangularGridTest, CancelStopsAfterTheRowAndDegenerateInputIsSafe) {
    hostsim::Core& core = host.get<hostsim::Core>();
    core.abortError = PF_Interrupt_CANCEL;
    ShapeDrawer& d = make(60, 40);
    EXPECT_EQ(d.createTriangularGridPatterns(), PF_Interrupt_CANCEL);
    EXPECT_EQ(core.abortCalls.load(), 1);
    for (const ShapeDrawer::Pattern& p : d.patterns) EXPECT_EQ(p.j, d.patterns[0].j);
    core.abortError = PF_Err_NONE;

    for (double height : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        record.triangularGridHeight = height;
        ShapeDrawer& z = make();
        EXPECT_EQ(z.createTriangularGridPatterns(), PF_Err_NONE);
        EXPECT_TRUE(z.patterns.empty());
    }
    record.triangularGridHeight = 1;
    record.transformScale = 0;
    ShapeDrawer& s = make();
    EXPECT_EQ(s.createTriangularGridPatterns(), PF_Err_NONE);
    EXPECT_TRUE(s.patterns.empty());
    record.transformScale = 1;
    record.displacementX = 1e6;
    ShapeDrawer& big = make();
    EXPECT_EQ(big.createTriangularGridPatterns(), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(big.patterns.empty());
}

}  // namespace
