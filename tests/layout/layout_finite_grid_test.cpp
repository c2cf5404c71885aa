// The Finite Grid layout: the centred grid, the order table (count, column
// placement, index), rotation and orientation, per-row cancel and error stop.
#include "Core.h"
#include "lattice_fixture.h"

#include <cmath>
#include <functional>

namespace {

class FiniteGridTest : public LatticeTest {
protected:
    void SetUp() override {
        LatticeTest::SetUp();
        record.pattern = 7;
        record.finiteGridCenter = {500, 500};
        record.finiteGridMode = 1;
        record.finiteGridWidth = 100;
        record.finiteGridHeight = 7;
        record.finiteGridColumn = 3;
        record.finiteGridRow = 2;
        record.finiteGridOrder = 1;
    }
};

TEST_F(FiniteGridTest, CentredGridAndCollapsedAxes) {
    struct Case {
        int cols, rows, mode;
        std::vector<double> xs, ys;
    };
    const Case cases[] = {
        {3, 2, 1, {400, 500, 600}, {450, 550}},  // Mode Width: square cells
        {3, 2, 2, {400, 500, 600}, {496.5, 503.5}},
        {1, 3, 1, {500}, {400, 500, 600}},  // one column sits on the centre
        {2, 1, 1, {450, 550}, {500}},
        {0, 3, 1, {}, {}},
        {3, 0, 1, {}, {}},
        {-1, 3, 1, {}, {}},
    };
    for (const Case& c : cases) {
        record.finiteGridColumn = c.cols;
        record.finiteGridRow = c.rows;
        record.finiteGridMode = c.mode;
        ShapeDrawer& d = make(1000, 1000);
        ASSERT_EQ(d.createPatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), c.xs.size() * c.ys.size()) << c.cols << "x" << c.rows;
        std::size_t k = 0;
        for (std::size_t r = 0; r < c.ys.size(); ++r)
            for (std::size_t col = 0; col < c.xs.size(); ++col, ++k) {
                const ShapeDrawer::Pattern& p = d.patterns[k];
                EXPECT_EQ(p.position, (Vector{c.xs[col], c.ys[r]}));
                EXPECT_EQ(p.i, static_cast<int>(col));
                EXPECT_EQ(p.j, static_cast<int>(r));
            }
    }
}

TEST_F(FiniteGridTest, OrderTableGivesCountIndexAndColumn) {
    setShapes(record, {1, 1, 1, 1});
    record.finiteGridColumn = 3;
    record.finiteGridRow = 3;
    struct Case {
        int order, n;
        std::function<int(int, int)> idx;
        bool mirrored;
    };
    const Case cases[] = {
        {1, 3, [](int c, int) { return c; }, false},
        {2, 3, [](int, int r) { return r; }, false},
        {3, 6, [](int c, int r) { return c + r; }, false},
        {4, 6, [](int c, int r) { return c + r; }, true},
        {5, 9, [](int c, int r) { return r * 3 + c; }, false},
        {0, 1, [](int, int) { return 0; }, false},
        {6, 1, [](int, int) { return 0; }, false},
    };
    for (const Case& oc : cases) {
        record.finiteGridOrder = oc.order;
        ShapeDrawer& d = make(1000, 1000);
        ASSERT_EQ(d.createFiniteGridPatterns(), PF_Err_NONE);
        ASSERT_EQ(d.patterns.size(), 9u);
        for (int k = 0; k < 9; ++k) {
            const ShapeDrawer::Pattern& p = d.patterns[k];
            const int c = k % 3, r = k / 3;
            const int idx = oc.idx(c, r);
            EXPECT_EQ(p.i, c);
            EXPECT_EQ(p.j, r);
            EXPECT_EQ(p.t, static_cast<double>(idx) / oc.n) << oc.order;
            EXPECT_EQ(p.shapeIndex, idx % 4) << oc.order;
            const int cx = oc.mirrored ? 2 - c : c;
            EXPECT_EQ(p.position, (Vector{400.0 + 100 * cx, 400.0 + 100 * r})) << oc.order;
        }
    }
}

TEST_F(FiniteGridTest, RotationTurnsAboutTheCentreAndOrientsTheElements) {
    record.finiteGridRotation = 0.6;
    record.transformRotation = 0.2;
    record.transformAnchor = record.transformPosition = {500, 500};
    record.autoOrient = 1;
    ShapeDrawer& d = make(1000, 1000);
    ASSERT_EQ(d.createFiniteGridPatterns(), PF_Err_NONE);
    ASSERT_EQ(d.patterns.size(), 6u);
    const double a = 0.8;  // both rotations turn the grid about the shared centre
    for (const ShapeDrawer::Pattern& p : d.patterns) {
        const double x = (p.i - 1) * 100.0, y = (p.j - 0.5) * 100.0;
        EXPECT_NEAR(p.position.x, 500 + x * std::cos(a) - y * std::sin(a), 1e-9);
        EXPECT_NEAR(p.position.y, 500 + x * std::sin(a) + y * std::cos(a), 1e-9);
        EXPECT_EQ(p.phase, 0.6);
    }
}

TEST_F(FiniteGridTest, CancelAndErrorsStopAfterTheRowAndCountsAreBounded) {
    hostsim::Core& core = host.get<hostsim::Core>();
    record.finiteGridRow = 4;
    ShapeDrawer& full = make(1000, 1000);
    ASSERT_EQ(full.createFiniteGridPatterns(), PF_Err_NONE);
    EXPECT_EQ(full.patterns.size(), 12u);
    EXPECT_EQ(core.abortCalls.load(), 4);
    core.abortCalls = 0;
    core.abortError = PF_Interrupt_CANCEL;
    ShapeDrawer& d = make(1000, 1000);
    EXPECT_EQ(d.createFiniteGridPatterns(), PF_Interrupt_CANCEL);
    EXPECT_EQ(core.abortCalls.load(), 1);
    EXPECT_EQ(d.patterns.size(), 3u);
    core.abortError = PF_Err_NONE;

    // The fifth displacement sample (row 1, column 1) fails and reads as rate
    // 0; the rest of row 1 is finished without displacement, no row after it.
    failingDisplacementMap(5);
    record.displacementX = 10;
    ShapeDrawer& e = make(1000, 1000);
    EXPECT_EQ(e.createFiniteGridPatterns(), 42);
    ASSERT_EQ(e.patterns.size(), 6u);
    EXPECT_EQ(e.patterns[3].position.x, 410.0);
    EXPECT_EQ(e.patterns[4].position.x, 490.0);
    EXPECT_EQ(e.patterns[5].position.x, 600.0);
    host.faults().clear();

    record.finiteGridColumn = record.finiteGridRow = 100000;
    ShapeDrawer& big = make();
    EXPECT_EQ(big.createFiniteGridPatterns(), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(big.patterns.empty());
}

}  // namespace
