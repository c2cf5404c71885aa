// The Grid layout against a brute-force walk of the lattice: which cells are
// kept, where they land, their indices, order classes and walk, the per-row
// cancel and error stop, and the bounds on degenerate input.
#include "Core.h"
#include "VemaroElementBounds.h"
#include "lattice_fixture.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

namespace {

struct Cell {
    int col;
    int row;
    Vector at;
};

class GridTest : public LatticeTest {
protected:
    void SetUp() override {
        LatticeTest::SetUp();
        record.pattern = 6;
        record.gridMode = 1;
        record.gridWidth = 10;
        record.gridOrder = 1;
        record.cycle = 1;
    }
    // Lattice point (c, r) in output pixels, with the standard library's maths.
    Vector latticePoint(int c, int r, Vector origin) const {
        const Parameters& p = record;
        const double s = p.transformScale;
        const double w = p.gridWidth, h = p.gridMode == 1 ? w : p.gridHeight;
        const double cs = std::max(1.0, w * s), rs = std::max(1.0, h * s);
        const Vector L = latticeOrigin(p.gridCenter, p.gridRotation, {p.gridOffsetX, p.gridOffsetY}, origin);
        const Vector U = axisU(p.gridRotation), V = axisV(p.gridRotation);
        return L + U * (c * cs) + V * (r * rs);
    }
    // Every lattice cell within +-600 whose position lies within the output
    // grown by the cull margin, rows ascending, columns ascending.
    std::vector<Cell> expected(int width, int height, Vector origin) {
        const Parameters& p = record;
        const double m =
            getMaxSize(&in, &record) +
            2 * std::max(std::fabs(p.transitionOffset.x), std::fabs(p.transitionOffset.y)) * p.transformScale;
        std::vector<Cell> cells;
        for (int r = -600; r <= 600; ++r)
            for (int c = -600; c <= 600; ++c) {
                const Vector P = latticePoint(c, r, origin);
                if (P.x >= -m && P.x <= width + m && P.y >= -m && P.y <= height + m) cells.push_back({c, r, P});
            }
        return cells;
    }
    static int mod(int a, int n) { return ((a % n) + n) % n; }
};

TEST_F(GridTest, KeepsExactlyTheCellsThatReachTheOutputWhereverTheLatticeLies) {
    struct Case {
        Vector center;
        double width, height, rotation, scale, transformRotation, offsetX, offsetY;
        int mode, originX, originY;
    };
    const Case cases[] = {
        {{0, 0}, 10, 10, 0, 1, 0, 0, 0, 1, 0, 0},
        {{33, 7}, 12, 30, 0.4, 1.5, 0.3, 5, -2, 2, 7, -11},
        {{-2500, 2000}, 17, 9, -2.2, 0.8, 3.0, 0, 0, 2, 0, 0},  // origin far outside
        {{50, 50}, 25, 99, 1.0, 2.0, -0.7, 3, 4, 1, -20, 15},   // Mode Width: square cells
        {{10, 10}, 0.2, 0.2, 0.1, 1, 0, 0, 0, 1, 0, 0},         // below 1 px: 1 px steps
    };
    for (const Case& c : cases) {
        record.gridCenter = c.center;
        record.gridWidth = c.width;
        record.gridHeight = c.height;
        record.gridMode = c.mode;
        record.gridRotation = c.rotation;
        record.gridOffsetX = c.offsetX;
        record.gridOffsetY = c.offsetY;
        record.transformScale = c.scale;
        record.transformRotation = c.transformRotation;
        record.transformAnchor = {3, 4};
        record.transformPosition = {20, -6};
        const Vector origin{double(c.originX), double(c.originY)};
        const std::vector<Cell> box = expected(60, 40, origin);
        ShapeDrawer& d = make(60, 40, c.originX, c.originY);
        ASSERT_EQ(d.createGridPatterns(), PF_Err_NONE);
        // Every element is a lattice cell inside the cull box, in walk order.
        std::map<std::pair<int, int>, Vector> made;
        for (std::size_t k = 0; k < d.patterns.size(); ++k) {
            const ShapeDrawer::Pattern& p = d.patterns[k];
            const Vector want = latticePoint(p.i, p.j, origin);
            EXPECT_NEAR(p.position.x, want.x, 1e-6);
            EXPECT_NEAR(p.position.y, want.y, 1e-6);
            made[{p.i, p.j}] = p.position;
            EXPECT_TRUE(
                std::any_of(box.begin(), box.end(), [&](const Cell& b) { return b.col == p.i && b.row == p.j; }));
            if (k > 0) {
                const ShapeDrawer::Pattern& q = d.patterns[k - 1];
                EXPECT_TRUE(q.j < p.j || (q.j == p.j && q.i < p.i));
            }
        }
        EXPECT_LE(made.size(), box.size());
        // Every cell within the margin of the output (whose shape may reach it) is made.
        const double m = getMaxSize(&in, &record);
        // The list was taken at its final size, give or take a row of cells
        // along each edge: never grown, so no growth slack.
        const double step = std::max(1.0, std::min(c.width, c.mode == 1 ? c.width : c.height) * c.scale);
        EXPECT_LE(d.patterns.capacity(), d.patterns.size() + 2.0 * (60 + 40 + 8 * m) / step + 8);
        for (const Cell& cell : box) {
            const double dx = std::max({0.0, -cell.at.x, cell.at.x - 60});
            const double dy = std::max({0.0, -cell.at.y, cell.at.y - 40});
            if (std::hypot(dx, dy) <= m) {
                EXPECT_EQ(made.count({cell.col, cell.row}), 1u) << cell.col << "," << cell.row;
            }
        }
    }
}

TEST_F(GridTest, RandomDisplacementIsSeededByTheLatticeCellAndTurnedByTheTransform) {
    record.gridCenter = {4, 4};
    record.gridRotation = 0.25;
    record.transformScale = 1.25;
    record.transformRotation = 0.5;
    record.displacementX = 3;
    record.displacementY = 2;
    record.displacementSeed = {1, 2};
    ShapeDrawer& d = make(40, 30);
    ASSERT_EQ(d.createGridPatterns(), PF_Err_NONE);
    ASSERT_GE(d.patterns.size(), 4u);
    const double tc = std::cos(0.5), ts = std::sin(0.5);
    for (const ShapeDrawer::Pattern& p : d.patterns) {
        const Vector G = latticePoint(p.i, p.j, {});
        Vector e{3 * hash(p.i, p.j, 1, {1, 2}), 2 * hash(p.i, p.j, 3, {1, 2})};
        if (hash(p.i, p.j, 0, {1, 2}) > 0.5) e.x = -e.x;
        if (hash(p.i, p.j, 2, {1, 2}) > 0.5) e.y = -e.y;
        EXPECT_NEAR(p.position.x, G.x + 1.25 * (e.x * tc - e.y * ts), 1e-9);
        EXPECT_NEAR(p.position.y, G.y + 1.25 * (e.x * ts + e.y * tc), 1e-9);
    }
}

TEST_F(GridTest, OrdersGiveTheIndexClassWalkAndShapeStart) {
    // Lattice point (c, r) at (10c, 10r) on a 30 x 20 output.
    setShapes(record, {1, 1, 1, 1});
    record.cycle = 8;
    record.cycleOffset = 3;
    struct Case {
        int order;
        std::function<int(int, int)> idx;
        bool descending;
    };
    const Case cases[] = {
        {1, [](int c, int) { return c; }, false},       {2, [](int, int r) { return r; }, false},
        {3, [](int c, int r) { return r + c; }, false}, {4, [](int c, int r) { return r - c; }, true},
        {9, [](int, int) { return 0; }, false},
    };
    for (const Case& oc : cases) {
        record.gridOrder = oc.order;
        ShapeDrawer& d = make(30, 20);
        ASSERT_EQ(d.createGridPatterns(), PF_Err_NONE);
        ASSERT_FALSE(d.patterns.empty());
        for (std::size_t k = 0; k < d.patterns.size(); ++k) {
            const ShapeDrawer::Pattern& p = d.patterns[k];
            const int idx = oc.idx(p.i, p.j);
            EXPECT_EQ(p.t, mod(idx + 3, 8) / 8.0) << oc.order << " " << p.i << "," << p.j;
            EXPECT_EQ(p.shapeIndex, mod(idx, 4)) << oc.order;
            EXPECT_EQ(p.position, (Vector{10.0 * p.i, 10.0 * p.j}));
            if (k > 0 && d.patterns[k - 1].j == p.j) {
                EXPECT_EQ(d.patterns[k - 1].i, p.i + (oc.descending ? 1 : -1));
            }
            if (k > 0) {
                EXPECT_LE(d.patterns[k - 1].j, p.j);
            }
        }
    }
    // Diagonal 2, row 0, column 3: idx -3, class 5 with no cycle offset.
    record.cycleOffset = 0;
    record.gridOrder = 4;
    ShapeDrawer& d = make(30, 20);
    ASSERT_EQ(d.createGridPatterns(), PF_Err_NONE);
    auto it = std::find_if(d.patterns.begin(), d.patterns.end(),
                           [](const ShapeDrawer::Pattern& p) { return p.i == 3 && p.j == 0; });
    ASSERT_NE(it, d.patterns.end());
    EXPECT_EQ(it->t, 5 / 8.0);
}

TEST_F(GridTest, TheTransitionRunsOverTheCycleClasses) {
    // Half way through a one-shot transition that triples the size: every
    // element of a class shares its progress.
    record.transitionCompletion = 0.5;
    record.transitionScale = 3;
    record.transitionDelay = 1;
    record.cycle = 4;
    record.gridOrder = 3;
    ShapeDrawer& d = make(60, 40);
    ASSERT_EQ(d.createGridPatterns(), PF_Err_NONE);
    std::map<double, double> scaleOfClass;
    for (const ShapeDrawer::Pattern& p : d.patterns) {
        EXPECT_EQ(p.hasScale, 1);
        auto [it, fresh] = scaleOfClass.emplace(p.t, p.scale);
        if (!fresh) {
            EXPECT_EQ(it->second, p.scale) << p.t;
        }
    }
    // Delay 1 over 4 classes at completion 0.5: progress 1, 1, 0, 0 by class.
    const std::map<double, double> want{{0.0, 3.0}, {0.25, 3.0}, {0.5, 1.0}, {0.75, 1.0}};
    EXPECT_EQ(scaleOfClass, want);
}

TEST_F(GridTest, AutoOrientIsTheGridRotationAloneAndOffsetShiftsTheColumns) {
    record.autoOrient = 1;
    record.gridRotation = 0.3;
    record.transformRotation = 1.1;
    ShapeDrawer& d = make(30, 20);
    ASSERT_EQ(d.createGridPatterns(), PF_Err_NONE);
    for (const ShapeDrawer::Pattern& p : d.patterns) EXPECT_EQ(p.phase, 0.3);

    // Offset X of one width: same positions, column numbers one lower.
    record.autoOrient = 0;
    record.gridRotation = 0;
    record.transformRotation = 0;
    ShapeDrawer& a = make(30, 20);
    ASSERT_EQ(a.createGridPatterns(), PF_Err_NONE);
    const std::vector<ShapeDrawer::Pattern> before = a.patterns;
    record.gridOffsetX = 10;
    ShapeDrawer& b = make(30, 20);
    ASSERT_EQ(b.createGridPatterns(), PF_Err_NONE);
    ASSERT_EQ(b.patterns.size(), before.size());
    for (std::size_t k = 0; k < before.size(); ++k) {
        EXPECT_EQ(b.patterns[k].position, before[k].position);
        EXPECT_EQ(b.patterns[k].i, before[k].i - 1);
    }
}

TEST_F(GridTest, CullMarginIsInclusiveAndGrowsWithTheTransitionOffset) {
    // One shape of size 10: margin 2 * (sqrt(2) * 10 / 2 + 1.5). Columns 37 px
    // apart from x = 0; cull always applies, even with a repeater.
    record.repeaterType = 2;
    record.gridWidth = 37;
    const double m = getMaxSize(&in, &record);
    ShapeDrawer& d = make(74, 1);
    ASSERT_EQ(d.createGridPatterns(), PF_Err_NONE);
    for (const ShapeDrawer::Pattern& p : d.patterns) EXPECT_TRUE(p.i >= 0 && p.i <= 2) << p.i;
    // Transition offset 10 (at progress 0 nothing moves) grows the margin by 20.
    record.transitionOffset = {-10, 3};
    ASSERT_LT(m, 37.0);
    ASSERT_GT(m + 20, 37.0);
    ShapeDrawer& e = make(74, 1);
    ASSERT_EQ(e.createGridPatterns(), PF_Err_NONE);
    int low = 0, high = 0;
    for (const ShapeDrawer::Pattern& p : e.patterns) {
        low = std::min(low, p.i);
        high = std::max(high, p.i);
    }
    EXPECT_EQ(low, -1);
    EXPECT_EQ(high, 3);
    // Exactly on the bound: a 1-pixel-tall output with the margin hit exactly.
    record.transitionOffset = {};
    record.gridWidth = 74 + m;
    ShapeDrawer& f = make(74, 1);
    ASSERT_EQ(f.createGridPatterns(), PF_Err_NONE);
    high = 0;
    for (const ShapeDrawer::Pattern& p : f.patterns) high = std::max(high, p.i);
    EXPECT_EQ(high, 1);
}

TEST_F(GridTest, CancelAndErrorsStopAfterTheRow) {
    hostsim::Core& core = host.get<hostsim::Core>();
    ShapeDrawer& full = make(30, 20);
    ASSERT_EQ(full.createGridPatterns(), PF_Err_NONE);
    const int rows = core.abortCalls.load();
    EXPECT_GT(rows, 3);
    core.abortCalls = 0;
    core.abortError = PF_Interrupt_CANCEL;
    ShapeDrawer& d = make(30, 20);
    EXPECT_EQ(d.createGridPatterns(), PF_Interrupt_CANCEL);
    EXPECT_EQ(core.abortCalls.load(), 1);
    for (const ShapeDrawer::Pattern& p : d.patterns) EXPECT_EQ(p.j, full.patterns[0].j);
    core.abortError = PF_Err_NONE;

    // A displacement map whose 11th sample fails: columns -2 ... 5 and rows
    // -2 ... 4 are walked, so that is the third cell of row -1. The row is
    // still finished (undisplaced: X and Y 0) and no further row starts.
    failingDisplacementMap(11);
    ShapeDrawer& e = make(30, 20);
    EXPECT_EQ(e.createGridPatterns(), 42);
    EXPECT_EQ(host.faults().calls("subpixel_sample"), 11);
    ASSERT_EQ(e.patterns.size(), 6u);
    for (const ShapeDrawer::Pattern& p : e.patterns) EXPECT_EQ(p.j, -1);
    host.faults().clear();
}

TEST_F(GridTest, DegenerateInputCreatesNothingOrIsRefused) {
    for (double scale : {0.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        record.transformScale = scale;
        ShapeDrawer& d = make();
        EXPECT_EQ(d.createGridPatterns(), PF_Err_NONE);
        EXPECT_TRUE(d.patterns.empty());
    }
    record.transformScale = 1;
    record.gridCenter = {std::numeric_limits<double>::quiet_NaN(), 0};
    ShapeDrawer& n = make();
    EXPECT_EQ(n.createGridPatterns(), PF_Err_NONE);
    EXPECT_TRUE(n.patterns.empty());
    // Far too many cells: refused before any work, not a hang.
    record.gridCenter = {};
    record.displacementX = 1e7;
    ShapeDrawer& big = make();
    EXPECT_EQ(big.createGridPatterns(), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(big.patterns.empty());
    record.displacementX = 1e300;
    ShapeDrawer& huge = make();
    EXPECT_EQ(huge.createGridPatterns(), PF_Err_OUT_OF_MEMORY);
    record.displacementX = 0;
    record.gridWidth = 0;  // 1 px cells over 200 x 100: fine
    ShapeDrawer& px = make();
    EXPECT_EQ(px.createGridPatterns(), PF_Err_NONE);
    EXPECT_GT(px.patterns.size(), 20000u);
}

}  // namespace
