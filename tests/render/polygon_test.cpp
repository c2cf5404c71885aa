// The polygon rasteriser: its region and reach, hand-computed pixels of an
// axis-aligned square, orientation, holes and strokes, degenerate records,
// stacking, agreement across depths and invariance under the band count.
#include "DrawCircle.h"
#include "RenderFixture.h"
#include "VemaroBlend.h"
#include "VemaroKnownClear.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"
#include "polygon_angle.h"
#include "polygon_draw.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

using hostsim::Depth;
using hostsim::World;

using PolygonTest = RenderFixture;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kQuarterTurn = M_PI / 2;

PolygonDrawer::Pattern withSides(PolygonDrawer::Pattern p, int sides) {
    p.sides = sides;
    return p;
}
}  // namespace

TEST_F(PolygonTest, RegionIsTheReachGrownAndClipped) {
    World w(100, 60, Depth::Bits8);
    const PolygonDrawer::Pattern square = polygon(50.3, 30.7, 10, 4);
    struct Case {
        const char* what;
        PolygonDrawer::Pattern p;
        PF_LRect want;
        bool draws;
    };
    const Case cases[] = {
        {"square", square, {39, 20, 61, 42}, true},
        // 10 + 2 / sin 45 degrees = 12.83
        {"stroke reaches the square's miter", polygon(50.3, 30.7, 10, 4, 0, 0, 2, 2.0), {36, 17, 64, 45}, true},
        {"fill ignores the stroke width", polygon(50.3, 30.7, 10, 4, 0, 0, 1, 2.0), {39, 20, 61, 42}, true},
        // half-angle of the point 19.46 degrees: 10 + 2 / 0.3332 = 16.00
        {"a star point's miter", polygon(50.3, 30.7, 10, 5, 0.5, 0, 3, 2.0), {33, 14, 67, 48}, true},
        {"a sharp star takes the miter limit", polygon(50.3, 30.7, 10, 5, 0.99995, 0, 3, 1.0), {29, 10, 71, 52}, true},
        {"a negative stroke width keeps the fill", polygon(50.3, 30.7, 10, 4, 0, 0, 3, -1.0), {39, 20, 61, 42}, true},
        {"clipped at the right and bottom", polygon(95, 58, 10, 6), {84, 47, 100, 60}, true},
        {"far outside", polygon(1e6, 30, 10, 4), {100, 19, 100, 41}, false},
        {"huge radius covers the output", polygon(50, 30, 1e9, 7), {0, 0, 100, 60}, true},
        {"infinite radius", polygon(50, 30, kInf, 4), {0, 0, 0, 0}, false},
        {"NaN centre", polygon(kNaN, 30, 10, 4), {0, 19, 0, 41}, false},
        {"1024 sides", polygon(50, 30, 10, 1024), {39, 19, 61, 41}, true},
        {"1025 sides", polygon(50, 30, 10, 1025), {0, 0, 0, 0}, false},
        {"two sides", withSides(square, 2), {0, 0, 0, 0}, false},
        {"no sides", withSides(square, 0), {0, 0, 0, 0}, false},
        {"negative sides", withSides(square, -3), {0, 0, 0, 0}, false},
        {"NaN phase", polygon(50, 30, 10, 4, 0, kNaN), {0, 0, 0, 0}, false},
        {"infinite starness", polygon(50, 30, 10, 4, kInf), {0, 0, 0, 0}, false},
        {"NaN hole", polygon(50, 30, 10, 4, 0, 0, 1, 0, kNaN), {0, 0, 0, 0}, false},
        {"NaN stroke width with a stroke", polygon(50, 30, 10, 4, 0, 0, 3, kNaN), {0, 0, 0, 0}, false},
        {"NaN stroke width, fill only", polygon(50.3, 30.7, 10, 4, 0, 0, 1, kNaN), {39, 20, 61, 42}, true},
    };
    for (const Case& c : cases) {
        PolygonDrawer d(&in, *suites, 0, w.get(), 0, c.p);
        EXPECT_EQ(std::vector<A_long>({d.region.left, d.region.top, d.region.right, d.region.bottom}),
                  std::vector<A_long>({c.want.left, c.want.top, c.want.right, c.want.bottom}))
            << c.what;
        EXPECT_EQ(d.doRender(), c.draws) << c.what;
        const std::size_t sides2 = c.draws ? static_cast<std::size_t>(2 * c.p.sides) : 0;
        EXPECT_EQ(d.edges.size(), sides2) << c.what;  // not built for an empty region
        EXPECT_EQ(d.innerEdges.size(), sides2) << c.what;
        if (c.draws) {
            EXPECT_EQ(d.columnOffsets.size(), static_cast<std::size_t>(c.want.right - c.want.left));
        }
    }
}

TEST_F(PolygonTest, MultithreadOnlyWhenTallerThanFiftyAndTheThreadCount) {
    World w(200, 200, Depth::Bits8);
    const PolygonDrawer::Pattern small = polygon(100, 100, 24.5, 6), tall = polygon(100, 100, 25, 6);  // 50, 52 rows
    EXPECT_FALSE(PolygonDrawer(&in, *suites, 0, w.get(), 0, small).doMultithread(8));
    EXPECT_TRUE(PolygonDrawer(&in, *suites, 0, w.get(), 0, tall).doMultithread(8));
    EXPECT_FALSE(PolygonDrawer(&in, *suites, 0, w.get(), 0, tall).doMultithread(60));
}

// The edges run counter-clockwise from point 0 straight above the centre, in
// the y-up frame.
TEST_F(PolygonTest, OutlineStartsAboveTheCentreAndRunsCounterClockwise) {
    World w(100, 100, Depth::Bits8);
    const PolygonDrawer::Pattern p = polygon(50, 50, 20, 4, 0.25, 0, 1, 0, 0.5);
    PolygonDrawer d(&in, *suites, 0, w.get(), 0, p);
    ASSERT_TRUE(d.doRender());
    ASSERT_EQ(d.edges.size(), 8u);
    EXPECT_NEAR(d.edges[0].x, 0.0, 1e-12);
    EXPECT_NEAR(d.edges[0].y, 20.0, 1e-12);
    // The inner point between the top and the left point, pulled in by a quarter.
    EXPECT_NEAR(d.edges[1].x, -7.5, 1e-12);
    EXPECT_NEAR(d.edges[1].y, 7.5, 1e-12);
    EXPECT_NEAR(d.edges[2].x, -20.0, 1e-12);
    EXPECT_NEAR(std::hypot(d.edges[0].ux, d.edges[0].uy), 1.0, 1e-15);
    EXPECT_NEAR(d.innerEdges[2].x, -10.0, 1e-12);  // the hole at half the radius
    // Counter-clockwise: twice the signed area is positive.
    double area2 = 0;
    for (std::size_t k = 0; k < 8; ++k) {
        const auto& a = d.edges[k];
        const auto& b = d.edges[(k + 1) % 8];
        area2 += a.x * b.y - b.x * a.y;
    }
    EXPECT_GT(area2, 0.0);
}

// The outer points and the rays between the wedges come from one table of
// directions: a point's direction must be the bits its own angle, k steps of
// 2 pi / n from the start, gives, and each ray's those of k steps of pi / n;
// the rays between the points only where the start angle is small enough for
// the drawing to use them. Side counts and phases of every kind, to the bit.
TEST_F(PolygonTest, OuterPointsAndRaysKeepTheBitsOfTheirOwnAngles) {
    World w(64, 64, Depth::Bits8);
    struct Case {
        int sides;
        double phase;
        bool between;
    };
    const Case cases[] = {{3, 0.0, true},   {5, 0.3, true},       {7, -2.9, true},    {12, 6.28, true},
                          {13, 1e-9, true}, {31, 100.0, true},    {64, -998.4, true}, {97, 0.77, true},
                          {333, 3.3, true}, {1024, -1.234, true}, {6, 1001.6, false}, {9, -2.5e4, false}};
    for (const Case& c : cases) {
        const PolygonDrawer::Pattern p = polygon(32, 32, 20, c.sides, 0.3, c.phase);
        PolygonDrawer d(&in, *suites, 0, w.get(), 0, p);
        ASSERT_TRUE(d.doRender()) << c.sides;
        ASSERT_EQ(d.rays.size(), static_cast<std::size_t>(2 * c.sides + 1));
        const double start = M_PI / 2.0 - c.phase, step = 2.0 * M_PI / c.sides, half = M_PI / c.sides;
        for (int k = 0; k < c.sides; ++k) {
            const double a = start + k * step;
            EXPECT_EQ(d.edges[2 * k].x, 20 * std::cos(a)) << c.sides << " " << c.phase << " point " << k;
            EXPECT_EQ(d.edges[2 * k].y, 20 * std::sin(a)) << c.sides << " " << c.phase << " point " << k;
        }
        if (!c.between) continue;
        for (int j = 0; j <= 2 * c.sides; ++j) {
            const double a = start + j * half;
            EXPECT_EQ(d.rays[j].x, std::cos(a)) << c.sides << " " << c.phase << " ray " << j;
            EXPECT_EQ(d.rays[j].y, std::sin(a)) << c.sides << " " << c.phase << " ray " << j;
        }
    }
}

// ------------------------------------------------------------ hand-computed
// A square turned by 45 degrees has its sides on the axes: with R = 5 sqrt 2
// and the centre at (20.25, 20.35) they lie at x = 15.25 and 25.25, y = 15.35
// and 25.35. Each pixel's coverage is its distance to the side of its sector
// plus a half, so at 8 bits 0.25 -> 64, 0.75 -> 191, 0.15 -> 38, 0.85 -> 217;
// corner pixels take the side of their sector.
TEST_F(PolygonTest, AxisAlignedSquareByHand) {
    const PolygonDrawer::Pattern sq = polygon(20.25, 20.35, 5 * std::sqrt(2.0), 4, 0, M_PI / 4);
    World w(40, 40, Depth::Bits8);
    ASSERT_EQ(drawPolygon(&in, *suites, w, sq), PF_Err_NONE);
    struct Px {
        int x, y;
        A_u_char alpha;
    };
    const Px want[] = {
        {15, 20, 64},  {16, 20, 255}, {25, 20, 191}, {26, 20, 0}, {14, 20, 0},  // across the middle row
        {20, 15, 38},  {20, 16, 255}, {20, 25, 217}, {20, 26, 0}, {20, 14, 0},  // down the middle column
        {15, 15, 38},  {25, 15, 38},                                            // upper corners: the top side
        {25, 25, 191}, {15, 25, 64},                                            // lower corners: the sides
        {20, 20, 255},
    };
    for (const Px& p : want) {
        const PF_Pixel got = w.at<PF_Pixel>(p.x, p.y);
        EXPECT_EQ(got.alpha, p.alpha) << p.x << "," << p.y;
        if (got.alpha) {
            EXPECT_TRUE(got.red == 255 && got.green == 255 && got.blue == 255) << p.x << "," << p.y;
        }
    }

    // Stroke only, 1.5 wide: the band outside the sides, 0.75 at a pixel
    // 1.25 outside; strokeFactor is 1.
    World s(40, 40, Depth::Float);
    PolygonDrawer::Pattern st = sq;
    st.fillMode = 2;
    st.strokeWidth = 1.5;
    ASSERT_EQ(drawPolygon(&in, *suites, s, st), PF_Err_NONE);
    EXPECT_NEAR(s.at<PF_PixelFloat>(14, 20).alpha, 0.75, 1e-9);  // 1.25 outside
    EXPECT_NEAR(s.at<PF_PixelFloat>(15, 20).alpha, 0.75, 1e-9);  // 0.25 outside: the fill's share is missing
    EXPECT_EQ(s.at<PF_PixelFloat>(16, 20).alpha, 0.0f);
    EXPECT_NEAR(s.at<PF_PixelFloat>(27, 20).alpha, 0.25, 1e-9);  // 1.75 outside
    EXPECT_EQ(s.at<PF_PixelFloat>(14, 20).red, 1.0f);
    EXPECT_EQ(s.at<PF_PixelFloat>(14, 20).green, 0.0f);
}

// Hard edges: the square covers the 10 x 10 pixels whose centres lie within
// its sides; a 1.5 wide stroke the ring of 13 x 13 - 100 = 69 around it,
// mitered at the corners.
TEST_F(PolygonTest, DraftSquareCountsItsPixels) {
    const PolygonDrawer::Pattern sq = polygon(20.25, 20.35, 5 * std::sqrt(2.0), 4, 0, M_PI / 4, 1, 1.5, 0, 0.5);
    struct Case {
        int fillMode;
        long fill, stroke;
    };
    for (const Case c : {Case{1, 100, 0}, Case{2, 0, 69}, Case{3, 100, 69}}) {
        World w(40, 40, Depth::Bits16);
        PolygonDrawer::Pattern p = sq;
        p.fillMode = c.fillMode;
        ASSERT_EQ(drawPolygon(&in, *suites, w, p, true), PF_Err_NONE);
        long fill = 0, stroke = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const PF_Pixel16 px = w.at<PF_Pixel16>(x, y);
                if (px.alpha == 0) continue;
                EXPECT_EQ(px.alpha, 16384);  // opacity 0.5
                const bool inside = x >= 16 && x <= 25 && y >= 16 && y <= 25;
                (px.green ? fill : stroke)++;
                EXPECT_EQ(px.green != 0, inside) << x << "," << y;
                if (!inside) {
                    EXPECT_TRUE(x >= 14 && x <= 26 && y >= 14 && y <= 26) << x << "," << y;
                }
            }
        EXPECT_EQ(fill, c.fill) << c.fillMode;
        EXPECT_EQ(stroke, c.stroke) << c.fillMode;
    }
}

// Phase 0 puts point 0 straight above the centre; a positive phase turns the
// shape clockwise on screen.
TEST_F(PolygonTest, PhaseTurnsClockwiseFromStraightUp) {
    struct Case {
        double phase;
        int inX, inY, outX, outY;  // a pixel near point 0, and one opposite
    };
    for (const Case c : {Case{0, 30, 12, 30, 48}, Case{kQuarterTurn, 48, 30, 12, 30},
                         Case{-kQuarterTurn, 12, 30, 48, 30}, Case{M_PI, 30, 48, 30, 12}}) {
        for (bool draft : {false, true}) {
            World w(60, 60, Depth::Bits8);
            ASSERT_EQ(drawPolygon(&in, *suites, w, polygon(30, 30, 20, 3, 0, c.phase), draft), PF_Err_NONE);
            EXPECT_EQ(w.at<PF_Pixel>(c.inX, c.inY).alpha, 255) << c.phase;
            EXPECT_EQ(w.at<PF_Pixel>(c.outX, c.outY).alpha, 0) << c.phase;
        }
    }
}

// ------------------------------------------------------------ holes and strokes
TEST_F(PolygonTest, HolesAndStrokeBands) {
    // A hexagon with a hole at half its size: the centre stays empty.
    for (bool draft : {false, true}) {
        World w(80, 80, Depth::Float);
        ASSERT_EQ(drawPolygon(&in, *suites, w, polygon(40, 40, 30, 6, 0, 0, 1, 0, 0.5), draft), PF_Err_NONE);
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40).alpha, 0.0f);
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40 - 22).alpha, 1.0f);  // in the ring
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40 - 12).alpha, 0.0f);  // in the hole (its top point at 15)
    }
    // Stroke only with a hole draws both bands: outside the outline and inside
    // the hole, and leaves the ring between them.
    for (bool draft : {false, true}) {
        World w(80, 80, Depth::Float);
        ASSERT_EQ(drawPolygon(&in, *suites, w, polygon(40, 40, 30, 6, 0, 0, 2, 2.0, 0.5), draft), PF_Err_NONE);
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40 - 31).alpha, 1.0f) << draft;  // outside the top point
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40 - 14).alpha, 1.0f) << draft;  // just inside the hole
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40 - 22).alpha, 0.0f) << draft;  // the ring
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40 - 8).alpha, 0.0f) << draft;   // deep in the hole
        EXPECT_EQ(w.at<PF_PixelFloat>(40, 40 - 14).green, 0.0f) << draft;  // stroke colour
    }
    // Fill and stroke: the fill lies over the stroke.
    World w(80, 80, Depth::Bits8);
    ASSERT_EQ(drawPolygon(&in, *suites, w, polygon(40, 40, 30, 6, 0, 0, 3, 2.0, 0.5)), PF_Err_NONE);
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(40, 40 - 22), PF_Pixel{255, 255, 255, 255}));
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(40, 40 - 31), PF_Pixel{255, 255, 0, 0}));
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(40, 40 - 14), PF_Pixel{255, 255, 0, 0}));
    EXPECT_EQ(w.at<PF_Pixel>(40, 40).alpha, 0);
}

// Fill and stroke cap the stroke radially at R + 10 w: a nearly closed star's
// points would otherwise run far out along their miters.
TEST_F(PolygonTest, FillAndStrokeCapAtTheMiterLimit) {
    // R 20, w 2: cap at 40. Along point 0's ray the miter line lies about
    // 0.5 px off, well within the stroke width.
    const PolygonDrawer::Pattern star = polygon(30, 50.5, 20, 5, 0.95, 0, 3, 2.0);
    World w(60, 100, Depth::Bits8);
    PolygonDrawer d(&in, *suites, 1, w.get(), 0, star);
    ASSERT_EQ(d.region.top, 10);  // the reach is the cap
    ASSERT_EQ(drawPolygon(&in, *suites, w, star, true), PF_Err_NONE);
    EXPECT_EQ(w.at<PF_Pixel>(30, 11).alpha, 255);  // 39.5 from the centre
    EXPECT_EQ(w.at<PF_Pixel>(30, 10).alpha, 0);    // 40.5
}

// ------------------------------------------------------------ degenerate records
TEST_F(PolygonTest, DegenerateRecordsLeaveTheOutput) {
    const PF_Pixel base{90, 10, 20, 30};
    struct Case {
        const char* what;
        PolygonDrawer::Pattern p;
        bool draftToo;  // hard edges draw what lies exactly on a dot or a hairline
    };
    const Case cases[] = {
        // No ring factor: the fill comes out at alpha 0.
        {"radius 0.001", polygon(20, 20, 0.001, 5), false},
        {"radius 0.001, fill and stroke 0 wide", polygon(20, 20, 0.001, 5, 0, 0, 3, 0), false},
        // No stroke factor.
        {"stroke 0 wide", polygon(20, 20, 8, 5, 0, 0, 2, 0), false},
        {"stroke 0.001 wide", polygon(20, 20, 8, 5, 0, 0, 2, 0.001), false},
        {"negative stroke", polygon(20, 20, 8, 5, 0, 0, 2, -3), true},
        {"opacity 0", polygon(20, 20, 8, 5, 0.3, 0.2, 3, 2, 0.3, 0.0), true},
        {"NaN opacity", polygon(20, 20, 8, 5, 0.3, 0.2, 3, 2, 0.3, kNaN), true},
        {"two sides", polygon(20, 20, 8, 2), true},
        {"NaN phase", polygon(20, 20, 8, 5, 0, kNaN), true},
        {"a hole far larger than the shape", polygon(20, 20, 8, 5, 0, 0, 1, 0, 1e300), true},
    };
    for (const Case& c : cases)
        for (bool draft : {false, true}) {
            if (draft && !c.draftToo) continue;
            World w(40, 40, Depth::Bits8);
            w.fill(base);
            ASSERT_EQ(drawPolygon(&in, *suites, w, c.p, draft), PF_Err_NONE);
            bool same = true;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x) same = same && samePixel(w.at<PF_Pixel>(x, y), base);
            EXPECT_TRUE(same) << c.what << (draft ? ", draft" : "");
        }
}

// Thin spikes meeting at the centre, a shape turned by many turns and the
// largest side count draw finite pixels within their reach.
TEST_F(PolygonTest, ExtremeButValidShapesDrawFinitePixels) {
    const PolygonDrawer::Pattern cases[] = {
        polygon(30, 30, 20, 24, 1.0, 0, 3, 1.5, 0.4), polygon(30, 30, 20, 7, 0.5, 1e9, 3, 1.0),
        polygon(30, 30, 20, 1024, 0.2, -3.0, 2, 1.0, 0.5), polygon(30, 420, 400, 6, 0.3, 0.1, 3, 2.0, 0.9),
        polygon(30, 30, 20, 3, -2.0, 0, 3, 1.0)};
    for (const PolygonDrawer::Pattern& p : cases)
        for (bool draft : {false, true}) {
            World w(60, 60, Depth::Float);
            ASSERT_EQ(drawPolygon(&in, *suites, w, p, draft), PF_Err_NONE);
            double sum = 0;
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 60; ++x) {
                    const PF_PixelFloat px = w.at<PF_PixelFloat>(x, y);
                    ASSERT_TRUE(std::isfinite(px.alpha) && px.alpha >= 0.0f && px.alpha <= 1.0f);
                    sum += px.alpha;
                }
            EXPECT_GT(sum, 10.0) << p.sides << " sides, starness " << p.starness;
        }
}

// A run without doRender, or at an unknown depth, draws nothing.
TEST_F(PolygonTest, NoTablesOrUnknownDepthDrawNothing) {
    World w(30, 30, Depth::Bits8);
    const PolygonDrawer::Pattern p = polygon(15, 15, 9, 5, 0.2, 0, 3, 2, 0.2);
    PolygonDrawer early(&in, *suites, 0, w.get(), 0, p);
    EXPECT_EQ(early(0, 1), PF_Err_NONE);
    PolygonDrawer odd(&in, *suites, 0, w.get(), 3, p);
    ASSERT_TRUE(odd.doRender());
    EXPECT_EQ(odd(0, 1), PF_Err_NONE);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(w.at<PF_Pixel>(x, y).alpha, 0);
}

// Popup values 0, 16 and negative blend as normal.
TEST_F(PolygonTest, BlendModeFallback) {
    World ref(30, 30, Depth::Bits16);
    PolygonDrawer::Pattern p = polygon(15, 15, 11, 5, 0.3, 0.4, 3, 1.5, 0.3, 0.6);
    drawPolygon(&in, *suites, ref, p);
    for (int mode : {0, 16, -7}) {
        World w(30, 30, Depth::Bits16);
        p.blendMode = mode;
        drawPolygon(&in, *suites, w, p);
        EXPECT_TRUE(sameWorld(w, ref)) << mode;
    }
}

// Clipped at every edge of a padded world: nothing lands in the padding.
TEST_F(PolygonTest, ClippedDrawingStaysInTheWorld) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World w(50, 30, depth, 4, 3, -8);
        for (auto [x, y] : {std::pair<double, double>{0, 0}, {49.6, 29.4}, {-3, 15}, {52, 10}})
            for (bool draft : {false, true})
                drawPolygon(&in, *suites, w, polygon(x, y, 9, 5, 0.4, 0.3, 3, 2.5, 0.3), draft);
        EXPECT_TRUE(w.paddingUntouched()) << static_cast<int>(depth);
    }
}

// ------------------------------------------------------------ stacking
// A later element goes beneath what is drawn: an opaque red square keeps its
// pixels where a blue one is drawn after it, and its soft edge shows blue.
TEST_F(PolygonTest, LaterElementsGoBeneath) {
    for (bool draft : {false, true}) {
        World w(60, 40, Depth::Bits8);
        PolygonDrawer::Pattern red = polygon(20, 20, 12 * std::sqrt(2.0), 4, 0, M_PI / 4),
                               blue = polygon(35, 20, 12 * std::sqrt(2.0), 4, 0, M_PI / 4);
        red.fill = {1, 1, 0, 0};
        blue.fill = {1, 0, 0, 1};
        drawPolygon(&in, *suites, w, red, draft);
        drawPolygon(&in, *suites, w, blue, draft);
        EXPECT_TRUE(samePixel(w.at<PF_Pixel>(27, 20), PF_Pixel{255, 255, 0, 0}));  // in both
        EXPECT_TRUE(samePixel(w.at<PF_Pixel>(40, 20), PF_Pixel{255, 0, 0, 255}));  // blue only
        if (!draft) {
            // Row 32 lies on both squares' bottom side: half covered by each.
            const PF_Pixel edge = w.at<PF_Pixel>(27, 32);
            EXPECT_GT(edge.blue, 0);
            EXPECT_GT(edge.red, 0);
        }
    }
}

// ------------------------------------------------------------ across depths and bands
namespace {

// Stars and polygons of every mode, hole and blend mode, overlapping.
std::vector<std::pair<PolygonDrawer::Pattern, bool>> scene(bool withDraft) {
    std::vector<std::pair<PolygonDrawer::Pattern, bool>> s;
    auto add = [&](PolygonDrawer::Pattern p, Color fill, Color stroke, int mode) {
        p.fill = fill;
        p.stroke = stroke;
        p.blendMode = mode;
        s.push_back({p, false});
    };
    add(polygon(40.3, 42.6, 30.2, 6, 0.0, 0.2), {1, 0.9f, 0.2f, 0.1f}, {1, 0, 0, 0}, 1);
    add(polygon(70.8, 50.1, 22.4, 5, 0.5, 0.0, 3, 3.3, 0.0, 0.8), {1, 0.1f, 0.5f, 0.9f}, {1, 0.9f, 0.9f, 0.2f}, 1);
    add(polygon(55.5, 75.2, 18.0, 4, 0.2, 0.7, 2, 2.2, 0.5, 0.9), {1, 0, 0, 0}, {1, 0.3f, 0.8f, 0.3f}, 1);
    add(polygon(30.1, 80.7, 14.6, 8, 0.3, 1.1, 1, 0, 0.6, 0.7), {1, 0.6f, 0.1f, 0.7f}, {1, 0, 0, 0}, 1);
    add(polygon(90.4, 20.3, 12.2, 3, 0.0, 2.0, 3, 1.7, 0.3), {1, 0.2f, 0.2f, 0.2f}, {1, 1, 1, 1}, 7);
    add(polygon(20.0, 20.0, 0.3, 5, 0.0, 0.0, 3, 1.2), {1, 1, 1, 1}, {1, 0.5f, 0.5f, 0.5f}, 1);
    add(polygon(100.2, 90.9, 9.7, 12, 0.9, 0.3, 2, 0.6, 0.4), {1, 1, 1, 1}, {1, 0.9f, 0.4f, 0.1f}, 1);
    if (withDraft) {
        const std::size_t n = s.size();
        for (std::size_t k = 0; k < n; ++k) {
            auto e = s[k];
            e.first.x += 7.5;
            e.first.y -= 5.25;
            e.first.blendMode = 1 + static_cast<int>(k * 2) % 15;
            e.second = true;
            s.push_back(e);
        }
    }
    return s;
}

}  // namespace

// One scene at the three depths: 16 bits within 0.1/255 of float, 8 bits
// within 4/255; colours compared premultiplied, as they appear.
TEST_F(PolygonTest, DepthsAgree) {
    const int W = 128, H = 112;
    World w8(W, H, Depth::Bits8), w16(W, H, Depth::Bits16), w32(W, H, Depth::Float);
    for (World* w : {&w8, &w16, &w32})
        for (const auto& [p, draft] : scene(false)) ASSERT_EQ(drawPolygon(&in, *suites, *w, p, draft), PF_Err_NONE);
    const DepthGap gap = depthGap(w8, w16, w32);
    EXPECT_LE(gap.bits16, 0.1);
    EXPECT_LE(gap.bits8, 4.0);
    std::printf("worst difference from float: 16 bits %.4f/255, 8 bits %.3f/255\n", gap.bits16, gap.bits8);
}

// Bit-identical output for 1, 2, 3, 7 and 64 bands, also when the output is
// shorter than the band count.
TEST_F(PolygonTest, OutputIsTheSameForEveryBandCount) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        for (int height : {120, 5}) {
            auto render = [&](int threads) {
                setThreads(threads);
                auto w = std::make_unique<World>(130, height, depth, 3, 4, 2);
                for (const auto& [p, draft] : scene(true)) {
                    PolygonDrawer d(&in, *suites, draft, w->get(), static_cast<int>(depth), p);
                    if (d.doRender()) {
                        EXPECT_EQ(iterateGeneric(&in, *suites, &d, threads), PF_Err_NONE);
                    }
                }
                return w;
            };
            const auto reference = render(1);
            for (int threads : {2, 3, 7, 64}) {
                const auto w = render(threads);
                EXPECT_TRUE(sameWorld(*w, *reference))
                    << "depth " << static_cast<int>(depth) << ", height " << height << ", " << threads << " bands";
                EXPECT_TRUE(w->paddingUntouched());
            }
        }
    }
}

// ------------------------------------------------------------ the short cuts
// The drawer settles whole runs of a row without the angle: the pixels far
// enough outside and, for a fill without a hole, those deep inside. It must
// give exactly what the plain per-pixel rule gives: each pixel's side from
// its angle (the rational approximation up to a reach of 250, the exact angle
// beyond), its coverage from the signed distances, every pixel blended
// beneath the output.
namespace {

template <class P>
void plainDraw(World& w, const PolygonDrawer& d, bool draft) {
    using D = raster::Depth<P>;
    using raster::covIn;
    using raster::covOut;
    const PolygonDrawer::Pattern& p = *d.pattern;
    const double R = p.radius, sw = p.strokeWidth, M = R + 10 * sw, h = (R + 0.5) * p.innerRadius - 0.5;
    const bool hole = h > 0.01;
    const double ring = R > 0.001 ? raster::clamp01(2 * (R - h)) : 0.0;
    const double strokeFactor = sw > 0.001 ? raster::clamp01(2 * sw) : 0.0;
    const double start = M_PI / 2 - p.phase;
    const bool approximate = (p.fillMode == 1 ? R : R + sw) <= 250;
    const BlendFunc<P> blend = blendFunction<P>(p.blendMode);
    const P fillColour = D::fromColor(p.fill), strokeColour = D::fromColor(p.stroke);
    for (A_long row = d.region.top; row < d.region.bottom; ++row)
        for (A_long c = d.region.left; c < d.region.right; ++c) {
            const double x = c - p.x, y = p.y - row;
            double angle = std::fmod((approximate ? approximateAngle(y, x) : std::atan2(y, x)) - start, 2 * M_PI);
            if (angle < 0) angle += 2 * M_PI;
            const int k = std::min(static_cast<int>(angle / (M_PI / p.sides)), 2 * p.sides - 1);
            auto signedDistance = [&](const PolygonDrawer::Edge& e) { return (y - e.y) * e.ux - (x - e.x) * e.uy; };
            const double dd = signedDistance(d.edges[k]);
            const double d2 = hole ? signedDistance(d.innerEdges[k]) : 0.0;
            const double dist = std::sqrt(x * x + y * y);
            P fill = fillColour, stroke = strokeColour, px;
            if (draft) {
                fill.alpha = stroke.alpha = D::alpha(p.opacity);
                const bool inFill = dd >= 0 && (!hole || d2 <= 0);
                if (p.fillMode == 1) {
                    if (!inFill) continue;
                    px = fill;
                } else if (p.fillMode == 2) {
                    if (!((-sw <= dd && dd <= 0) || (hole && 0 <= d2 && d2 <= sw))) continue;
                    px = stroke;
                } else if (inFill) {
                    px = fill;
                } else {
                    if (!(dd >= -sw && dist <= M && (!hole || d2 <= sw))) continue;
                    px = stroke;
                }
            } else if (p.fillMode == 1) {
                double f = covIn(dd, 0) * ring;
                if (hole) f *= covOut(d2, 0);
                px = fill;
                px.alpha = D::alpha(f * p.opacity);
            } else if (p.fillMode == 2) {
                double g = covIn(dd, -sw) * covOut(dd, 0);
                if (hole) g = raster::clamp01(g + covIn(d2, 0) * covOut(d2, sw));
                px = stroke;
                px.alpha = D::alpha(g * strokeFactor * p.opacity);
            } else {
                double f = covIn(dd, 0) * ring, g = covOut(dist, M) * strokeFactor * covIn(dd, -sw);
                if (hole) f *= covOut(d2, 0), g *= covOut(d2, sw);
                fill.alpha = D::alpha(f);
                stroke.alpha = D::alpha(g);
                px = Blend::normal(stroke, fill);
                px.alpha = D::scaleAlpha(px.alpha, p.opacity);
            }
            w.at<P>(c, row) = blend(px, w.at<P>(c, row));
        }
}

// Draws the shapes into a w x h world painted by paint, at every depth, hard
// and anti-aliased, on every vector level the processor has, and expects the
// plain per-pixel result to the bit.
template <class Paint>
void everyLevelGivesThePlainResult(PF_InData* in, AEGP_SuiteHandler& suites,
                                   const std::vector<PolygonDrawer::Pattern>& shapes, int w, int h, Paint paint) {
    struct Restore {
        ~Restore() { simd::setLevelCap(simd::Level::Avx512); }
    } restore;
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
        for (bool draft : {false, true}) {
            World plain(w, h, depth);
            paint(plain);
            for (const PolygonDrawer::Pattern& p : shapes) {
                PolygonDrawer d(in, suites, draft, plain.get(), static_cast<int>(depth), p);
                if (!d.doRender()) continue;
                if (depth == Depth::Bits8) plainDraw<PF_Pixel>(plain, d, draft);
                if (depth == Depth::Bits16) plainDraw<PF_Pixel16>(plain, d, draft);
                if (depth == Depth::Float) plainDraw<PF_PixelFloat>(plain, d, draft);
            }
            for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
                simd::setLevelCap(static_cast<simd::Level>(level));
                World fast(w, h, depth);
                paint(fast);
                for (const PolygonDrawer::Pattern& p : shapes)
                    ASSERT_EQ(drawPolygon(in, suites, fast, p, draft), PF_Err_NONE);
                EXPECT_TRUE(sameWorld(fast, plain))
                    << "depth " << static_cast<int>(depth) << (draft ? ", draft" : "") << ", level " << level;
            }
        }
}

}  // namespace

TEST_F(PolygonTest, RunsGiveThePlainPerPixelResult) {
    uint32_t s = 4242;
    auto next = [&] {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return s / 4294967296.0;
    };
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
        for (bool draft : {false, true}) {
            World fast(200, 150, depth), plain(200, 150, depth);
            for (int k = 0; k < 100; ++k) {
                const int mode = k % 5 < 3 ? 1 : k % 5 == 3 ? 2 : 3;
                PolygonDrawer::Pattern p =
                    polygon(next() * 220 - 10, next() * 170 - 10, next() * 60, 3 + static_cast<int>(next() * 22),
                            k % 2 ? next() : 0.0, next() * 7, mode, next() * 6, k % 3 == 0 ? next() * 0.9 : 0.0,
                            0.3 + 0.7 * next());
                p.stroke = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
                if (k % 17 == 0) p.innerRadius = 1.2;                        // a hole larger than the outline
                if (k % 19 == 0) p.starness = k % 2 ? 1 + next() : -next();  // beyond the range
                p.fill = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
                p.blendMode = 1 + k % 15;
                if (k % 7 == 0) p.radius = 0.2 + next();             // tiny
                if (k % 11 == 0) p.radius = 251 + next() * 100;      // the exact angle
                if (k % 13 == 0) p.starness = 0.99 + 0.01 * next();  // spikes
                ASSERT_EQ(drawPolygon(&in, *suites, fast, p, draft), PF_Err_NONE);
                PolygonDrawer d(&in, *suites, draft, plain.get(), static_cast<int>(depth), p);
                if (!d.doRender()) continue;
                if (depth == Depth::Bits8) plainDraw<PF_Pixel>(plain, d, draft);
                if (depth == Depth::Bits16) plainDraw<PF_Pixel16>(plain, d, draft);
                if (depth == Depth::Float) plainDraw<PF_PixelFloat>(plain, d, draft);
                ASSERT_TRUE(sameWorld(fast, plain))
                    << "depth " << static_cast<int>(depth) << (draft ? ", draft" : "") << ", shape " << k;
            }
        }
}

// Larger shapes, clipped by the output, on every vector level the processor
// has: the wedge runs, the columns next to the rays and the edge pixels all
// give the plain per-pixel result to the bit.
TEST_F(PolygonTest, EveryVectorLevelGivesThePlainPerPixelResult) {
    uint32_t s = 777;
    auto next = [&] {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return s / 4294967296.0;
    };
    std::vector<PolygonDrawer::Pattern> shapes;
    for (int k = 0; k < 36; ++k) {
        // Radius classes from a few pixels to beyond the cheap angle's reach.
        static constexpr double kRadius[][2] = {{0.5, 8}, {8, 40}, {40, 200}, {200, 600}};
        const double* r = kRadius[k % 4];
        const int mode = k % 5 < 2 ? 1 : k % 5 == 2 ? 2 : 3;
        PolygonDrawer::Pattern p =
            polygon(next() * 360 - 50, next() * 300 - 50, r[0] + next() * (r[1] - r[0]),
                    3 + static_cast<int>(next() * 22), k % 2 ? next() : 0.0, next() * 7, mode, next() * 8,
                    k % 6 == 0 ? next() * 0.9 : 0.0, k % 3 ? 1.0 : 0.3 + 0.7 * next());
        if (k % 9 == 4) p.sides = 33 + static_cast<int>(next() * 40);  // more wedges than the runs take
        if (k % 10 == 7) p.phase = 400 + next();                       // far-turned rays
        if (k % 11 == 5) p.phase = 5000;                               // no rays
        p.fill = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
        p.stroke = {k % 4 ? 1.0f : 0.6f, static_cast<float>(next()), static_cast<float>(next()),
                    static_cast<float>(next())};
        p.blendMode = k % 3 ? 1 : 1 + k % 15;
        shapes.push_back(p);
    }
    everyLevelGivesThePlainResult(&in, *suites, shapes, 260, 200, [](World&) {});
}

// A negative starness pushes the inner points out: beyond the outer points'
// circle they are the shape's farthest corners, and the bound outside which
// nothing is drawn must reach them. Small, mid-sized and tall shapes, filled,
// stroked and both, to the bit of the plain per-pixel rule.
TEST_F(PolygonTest, InnerPointsBeyondTheOuterPointsGiveThePlainPerPixelResult) {
    struct Case {
        double x, y, radius;
        int sides;
        double starness;
        int mode;
    };
    const Case cases[] = {{30, 30, 9, 6, -0.3, 1},     {200, 40, 14, 8, -0.15, 3}, {60, 140, 25, 5, -0.6, 1},
                          {150, 130, 40, 12, -0.1, 1}, {110, 90, 55, 7, -0.45, 2}, {230, 170, 70, 9, -0.25, 3},
                          {130, 100, 30, 4, -0.9, 1}};
    std::vector<PolygonDrawer::Pattern> shapes;
    for (const Case& c : cases) {
        PolygonDrawer::Pattern p = polygon(c.x, c.y, c.radius, c.sides, c.starness, 0.37 * c.sides, c.mode, 2.5);
        p.fill = {1, 0.2f, 0.7f, 0.4f};
        shapes.push_back(p);
    }
    everyLevelGivesThePlainResult(&in, *suites, shapes, 260, 200, [](World&) {});
}

// The interior runs and the edge pixels over output that is not empty: rows
// left transparent, opaque and half covered, beneath plain and shallow-star
// polygons from a few pixels to far larger than the layer (the outline
// crossing it, or the layer wholly inside), filled, stroked and both, on
// every vector level: the same bits as the plain per-pixel rule.
TEST_F(PolygonTest, RunsOverCoveredRowsGiveThePlainPerPixelResult) {
    uint32_t s = 9090;
    auto next = [&] {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return s / 4294967296.0;
    };
    struct Case {
        double radius, starness;
        int mode;
        double fillAlpha, opacity;
    };
    static constexpr Case kCases[] = {
        {3, 0, 1, 1, 1},     {20, 0, 1, 1, 0.6}, {90, 0, 1, 1, 1},     {300, 0, 1, 1, 1},
        {4000, 0, 1, 1, 1},  {60, 0.1, 1, 1, 1}, {60, 0.25, 1, 1, 1},  {60, 0.3, 1, 1, 1},
        {70, 0, 3, 1, 1},    {70, 0, 3, 1, 0.5}, {70, 0, 3, 0.5, 1},   {400, 0.2, 3, 1, 1},
        {50, -0.2, 1, 1, 1}, {40, 0, 2, 1, 1},   {120, 0.05, 1, 1, 1}, {6000, 0.1, 3, 1, 1},
    };
    std::vector<PolygonDrawer::Pattern> shapes;
    for (int round = 0; round < 2; ++round)
        for (const Case& c : kCases) {
            const double r = c.radius * (0.9 + 0.2 * next());
            double cx = next() * 280 - 20, cy = next() * 220 - 20;
            // The huge ones: the outline through the layer, or all around it.
            if (c.radius > 1000) cx = 120 + (round ? 0 : 0.93 * r), cy = 90 + (round ? 0.91 * r : 0);
            const int sides = next() < 0.2 ? 33 + static_cast<int>(next() * 8) : 3 + static_cast<int>(next() * 14);
            PolygonDrawer::Pattern p =
                polygon(cx, cy, r, sides, c.starness, next() * 7, c.mode, 1 + next() * 4, 0.0, c.opacity);
            p.fill = {static_cast<float>(c.fillAlpha), static_cast<float>(next()), static_cast<float>(next()),
                      static_cast<float>(next())};
            p.stroke = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
            shapes.push_back(p);
        }
    // Rows in threes: left transparent, opaque, half covered.
    auto paint = [](World& w) {
        auto rows = [&](auto px) {
            using P = decltype(px);
            using D = raster::Depth<P>;
            for (int y = 0; y < w.height(); ++y) {
                if (y % 3 == 0) continue;
                const P c = D::fromColor(y % 3 == 1 ? Color{1, 0.2f, 0.7f, 0.4f} : Color{0.5f, 0.9f, 0.1f, 0.3f});
                for (int x = 0; x < w.width(); ++x) w.at<P>(x, y) = c;
            }
        };
        if (w.depth() == Depth::Bits8) rows(PF_Pixel{});
        if (w.depth() == Depth::Bits16) rows(PF_Pixel16{});
        if (w.depth() == Depth::Float) rows(PF_PixelFloat{});
    };
    everyLevelGivesThePlainResult(&in, *suites, shapes, 240, 180, paint);
}

// Tall shapes, sharp and blunt, plain and starred: pixels next to the rays
// (where the cheap angle may pick either wedge), at corners, in the notches
// of stars and where a row grazes a corner must come out as the plain
// per-pixel rule gives them, for the cheap angle and the exact one, filled,
// stroked and both, over empty and covered rows, on every vector level.
TEST_F(PolygonTest, TallShapesGiveThePlainPerPixelResult) {
    uint32_t s = 31337;
    auto next = [&] {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return s / 4294967296.0;
    };
    struct Case {
        double radius;
        int sides;
        double starness;
        int mode;
        double stroke, opacity;
    };
    static constexpr Case kCases[] = {
        {70, 3, 0, 1, 0, 1},    {90, 4, 0, 1, 0, 0.7},    {110, 5, 0.3, 1, 0, 1},   {80, 6, 0.6, 1, 0, 1},
        {130, 7, 0.9, 1, 0, 1}, {100, 12, 0.15, 1, 0, 1}, {120, 31, 0, 1, 0, 1},    {150, 32, 0.4, 1, 0, 1},
        {240, 5, 0, 1, 0, 1},   {300, 3, 0.2, 1, 0, 1},   {400, 9, 0.5, 1, 0, 1},   {90, 5, 0.3, 3, 3, 1},
        {120, 4, 0, 3, 6, 1},   {80, 8, 0.5, 2, 2, 1},    {260, 6, 0.1, 3, 2, 0.5}, {70, 3, -0.3, 1, 0, 1},
    };
    std::vector<PolygonDrawer::Pattern> shapes;
    for (int round = 0; round < 2; ++round)
        for (const Case& c : kCases) {
            PolygonDrawer::Pattern p = polygon(40 + next() * 240, 40 + next() * 160, c.radius * (0.95 + 0.1 * next()),
                                               c.sides, c.starness, next() * 7, c.mode, c.stroke, 0.0, c.opacity);
            // The second round's corners on whole and half pixels.
            if (round) p.x = std::floor(p.x) + (c.sides % 2 ? 0.5 : 0.0), p.y = std::floor(p.y), p.phase = 0;
            p.fill = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
            p.stroke = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
            shapes.push_back(p);
        }
    auto paint = [](World& w) {
        auto rows = [&](auto px) {
            using P = decltype(px);
            const P c = raster::Depth<P>::fromColor(Color{0.5f, 0.9f, 0.1f, 0.3f});
            for (int y = 1; y < w.height(); y += 2)
                for (int x = 0; x < w.width(); ++x) w.at<P>(x, y) = c;
        };
        if (w.depth() == Depth::Bits8) rows(PF_Pixel{});
        if (w.depth() == Depth::Bits16) rows(PF_Pixel16{});
        if (w.depth() == Depth::Float) rows(PF_PixelFloat{});
    };
    everyLevelGivesThePlainResult(&in, *suites, shapes, 320, 240, paint);
}

// ------------------------------------------------------------ known-clear columns
// Told which columns of each row are still clear, the drawer stores there
// without reading the output. The bytes must be the plain per-pixel rule's
// over a clear output and over one partly drawn already, with bands sharing
// the record, on every vector level; and the record must stay true: outside a
// row's hull every byte is still zero.
namespace {

// The first row with a byte outside its hull that is not zero, or -1.
int firstUntrueRow(const World& w, const raster::KnownClear& known) {
    const std::size_t size = hostsim::pixelSize(w.depth());
    for (int y = 0; y < w.height(); ++y) {
        const raster::KnownClear::Hull h = known.hull(y);
        const unsigned char* row = w.row<unsigned char>(y);
        for (std::size_t b = 0; b < size * static_cast<std::size_t>(w.width()); ++b)
            if (row[b] != 0 && (static_cast<A_long>(b / size) < h.lo || static_cast<A_long>(b / size) >= h.hi))
                return y;
    }
    return -1;
}

template <class P>
void plainDraw(World& w, const PolygonDrawer& d) {
    plainDraw<P>(w, d, d.draft != 0);
}

}  // namespace

TEST_F(PolygonTest, KnownClearColumnsGiveThePlainPerPixelResult) {
    uint32_t s = 2468;
    auto next = [&] {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return s / 4294967296.0;
    };
    const int W = 230, H = 170;
    struct Shape {
        PolygonDrawer::Pattern p;
        bool draft;
    };
    std::vector<Shape> shapes;
    for (int k = 0; k < 40; ++k) {
        // From a few pixels to beyond the cheap angle's reach, partly off the
        // layer; stars, holes, every fill mode.
        static constexpr double kRadius[][2] = {{0.5, 8}, {8, 40}, {40, 200}, {200, 600}};
        const double* r = kRadius[k % 4];
        const int mode = k % 5 < 2 ? 1 : k % 5 == 2 ? 2 : 3;
        PolygonDrawer::Pattern p =
            polygon(next() * (W + 60) - 30, next() * (H + 60) - 30, r[0] + next() * (r[1] - r[0]),
                    3 + static_cast<int>(next() * 14), k % 2 ? next() * 0.8 : 0.0, next() * 7, mode, next() * 5,
                    k % 7 == 3 ? next() * 0.9 : 0.0, k % 3 ? 1.0 : 0.3 + 0.7 * next());
        if (k % 9 == 4) p.sides = 33 + static_cast<int>(next() * 40);  // more wedges than the runs take
        p.fill = {k % 5 == 1 ? 0.6f : 1.0f, static_cast<float>(next()), static_cast<float>(next()),
                  static_cast<float>(next())};
        p.stroke = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
        p.blendMode = k % 4 == 0 ? 1 + k % 15 : 1;
        shapes.push_back({p, k % 6 == 5});
    }
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
        for (bool predrawn : {false, true}) {
            // Blocks of other drawings' pixels, the record widened over them.
            World runs(W, H, depth);
            fillWithRuns(runs, 3);
            std::vector<PF_LRect> blocks;
            for (int k = 0; predrawn && k < 6; ++k)
                blocks.push_back({static_cast<A_long>(next() * W), static_cast<A_long>(next() * H),
                                  static_cast<A_long>(next() * W), static_cast<A_long>(next() * H)});
            auto predraw = [&](World& w, raster::KnownClear* known) {
                const std::size_t size = hostsim::pixelSize(depth);
                for (const PF_LRect& r : blocks) {
                    for (int y = r.top; y < r.bottom; ++y)
                        for (int x = r.left; x < r.right; ++x)
                            std::memcpy(w.row<unsigned char>(y) + x * size, runs.row<unsigned char>(y) + x * size,
                                        size);
                    if (known) known->widen(r);
                }
            };
            // A few shapes per frame, so that the hulls stay narrow.
            constexpr std::size_t kPerFrame = 4;
            for (std::size_t first = 0; first < shapes.size(); first += kPerFrame) {
                const std::size_t last = std::min(shapes.size(), first + kPerFrame);
                World plain(W, H, depth);
                predraw(plain, nullptr);
                for (std::size_t k = first; k < last; ++k) {
                    PolygonDrawer d(&in, *suites, shapes[k].draft, plain.get(), static_cast<int>(depth), shapes[k].p);
                    if (!d.doRender()) continue;
                    if (depth == Depth::Bits8) plainDraw<PF_Pixel>(plain, d);
                    if (depth == Depth::Bits16) plainDraw<PF_Pixel16>(plain, d);
                    if (depth == Depth::Float) plainDraw<PF_PixelFloat>(plain, d);
                }
                atEveryLevel([&] {
                    World told(W, H, depth);
                    raster::KnownClear known;
                    known.reset(0, H);
                    predraw(told, &known);
                    for (std::size_t k = first; k < last; ++k) {
                        PolygonDrawer d(&in, *suites, shapes[k].draft, told.get(), static_cast<int>(depth),
                                        shapes[k].p);
                        d.known = &known;
                        // Bands over disjoint rows share the record.
                        if (d.doRender()) {
                            ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1 + static_cast<int>(k % 4)), PF_Err_NONE);
                        }
                        ASSERT_EQ(firstUntrueRow(told, known), -1) << "shape " << k;
                    }
                    EXPECT_TRUE(sameWorld(told, plain))
                        << "depth " << static_cast<int>(depth) << (predrawn ? ", predrawn" : ", clear")
                        << ", shapes from " << first;
                    EXPECT_TRUE(told.paddingUntouched());
                });
            }
        }
}

// The record is taken at its word: an opaque pixel it calls clear is stored
// over (the drawing beneath would keep it), in the interior runs and at the
// edges, filled and hard-edged. Only what lies outside the hull is stored
// over, and the hull grows over the columns the shape may reach. A small
// element (rows of up to 96 columns) takes its band as written whole and
// blends beneath as without the record.
TEST_F(PolygonTest, KnownClearColumnsAreStoredWithoutReading) {
    struct Case {
        double half;  // half the square's side; its centre is (W/2 + 0.25, W/2 + 0.35)
        bool stores;
    };
    constexpr int W = 160;
    for (const Case c : {Case{50, true}, Case{5, false}})
        atEveryLevel([&] {
            for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
                for (bool draft : {false, true}) {
                    auto red = [&] {
                        auto w = std::make_unique<World>(W, W, depth);
                        const Color col{1.0f, 1.0f, 0.0f, 0.0f};
                        for (int y = 0; y < W; ++y)
                            for (int x = 0; x < W; ++x) {
                                if (depth == Depth::Bits8)
                                    w->at<PF_Pixel>(x, y) = raster::Depth<PF_Pixel>::fromColor(col);
                                if (depth == Depth::Bits16)
                                    w->at<PF_Pixel16>(x, y) = raster::Depth<PF_Pixel16>::fromColor(col);
                                if (depth == Depth::Float)
                                    w->at<PF_PixelFloat>(x, y) = raster::Depth<PF_PixelFloat>::fromColor(col);
                            }
                        return w;
                    };
                    const auto w = red(), untouched = red();
                    World clear(W, W, depth);
                    constexpr int kMid = W / 2;
                    raster::KnownClear known;
                    known.reset(0, W);
                    known.widen(kMid, 0, W);  // the middle row written whole: read as always
                    // Opaque blue, sides at 0.25 and 0.35 past whole columns and rows
                    // (AxisAlignedSquareByHand's square, and one ten times as large).
                    PolygonDrawer::Pattern sq =
                        polygon(kMid + 0.25, kMid + 0.35, c.half * std::sqrt(2.0), 4, 0, M_PI / 4);
                    sq.fill = {1.0f, 0.0f, 0.0f, 1.0f};
                    PolygonDrawer d(&in, *suites, draft, w->get(), static_cast<int>(depth), sq);
                    d.known = &known;
                    ASSERT_TRUE(d.doRender());
                    ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1), PF_Err_NONE);
                    ASSERT_EQ(drawPolygon(&in, *suites, clear, sq, draft), PF_Err_NONE);
                    const std::size_t size = hostsim::pixelSize(depth);
                    auto same = [&](int x, int y, const World& o) {
                        return std::memcmp(w->row<unsigned char>(y) + x * size, o.row<unsigned char>(y) + x * size,
                                           size) == 0;
                    };
                    // Columns and rows lo to hi hold the square's pixels, edges
                    // included; beyond them nothing is drawn.
                    const int lo = kMid - static_cast<int>(c.half), hi = kMid + static_cast<int>(c.half);
                    for (int y = 0; y < W; ++y)
                        for (int x = 0; x < W; ++x) {
                            const bool square = x >= lo && x <= hi && y >= lo && y <= hi;
                            const bool drawn = c.stores && square && !(draft && (x == lo || y == lo));
                            if (y == kMid || !drawn) {
                                ASSERT_TRUE(same(x, y, *untouched)) << x << ", " << y << (draft ? " draft" : "");
                            } else {
                                ASSERT_TRUE(same(x, y, clear)) << x << ", " << y << (draft ? " draft" : "");
                            }
                        }
                    // The hull of a row near the bottom spans the square's
                    // columns, not beyond the region (a small element's whole
                    // band); the middle row stays whole; rows above untouched.
                    const raster::KnownClear::Hull h = known.hull(hi);
                    EXPECT_LE(h.lo, lo);
                    EXPECT_GE(h.hi, hi + 1);
                    EXPECT_GE(h.lo, d.region.left);
                    EXPECT_LE(h.hi, d.region.right);
                    if (!c.stores) {
                        EXPECT_EQ(h.lo, d.region.left);
                        EXPECT_EQ(h.hi, d.region.right);
                    }
                    EXPECT_EQ(known.hull(kMid).lo, 0);
                    EXPECT_EQ(known.hull(kMid).hi, W);
                    EXPECT_EQ(known.hull(0).lo, raster::KnownClear::kEmpty.lo);
                }
        });
}

// ------------------------------------------------------------ known-opaque columns
// A wide polygon drawn beneath columns the record calls opaque, in a mode that
// keeps an opaque top (normal, at 8 bits and in float), neither reads nor
// writes them; in other modes and at 16 bits it draws them as always. The
// record is taken at its word: row 60 is called opaque yet clear.
TEST_F(PolygonTest, KnownOpaqueColumnsAreNeitherReadNorWritten) {
    struct Case {
        Depth depth;
        int blendMode, fillMode;
        bool draft, skipped;
    };
    const Case cases[] = {
        {Depth::Bits8, 1, 1, false, true},   {Depth::Float, 2, 1, false, true},  // popup 2 is normal too
        {Depth::Bits8, 1, 3, false, true},   {Depth::Float, 1, 1, true, true},   {Depth::Bits8, 1, 2, false, true},
        {Depth::Bits16, 1, 1, false, false}, {Depth::Bits8, 4, 1, false, false}, {Depth::Float, 6, 3, true, false},
    };
    constexpr int W = 200, H = 120;
    constexpr double kX = 100.25, kY = 60.35, kHalf = 70.0;
    atEveryLevel([&] {
        for (const Case& c : cases) {
            World w(W, H, c.depth), reference(W, H, c.depth);
            raster::KnownClear known;
            known.reset(0, H);
            known.keep(60, 0, W, 0, W);
            // An axis-aligned square, its sides 70 from the centre.
            PolygonDrawer::Pattern p = polygon(kX, kY, kHalf * std::sqrt(2.0), 4, 0, M_PI / 4, c.fillMode, 2.0);
            p.fill = {1.0f, 0.2f, 0.4f, 0.6f};
            p.blendMode = c.blendMode;
            PolygonDrawer d(&in, *suites, c.draft, w.get(), static_cast<int>(c.depth), p);
            d.known = &known;
            ASSERT_TRUE(d.doRender());
            ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1), PF_Err_NONE);
            ASSERT_EQ(drawPolygon(&in, *suites, reference, p, c.draft), PF_Err_NONE);
            const std::size_t size = hostsim::pixelSize(c.depth);
            const std::vector<unsigned char> zero(size, 0);
            int left = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const unsigned char* got = w.row<unsigned char>(y) + x * size;
                    const bool asReference = std::memcmp(got, reference.row<unsigned char>(y) + x * size, size) == 0;
                    const bool clear = std::memcmp(got, zero.data(), size) == 0;
                    const double inside = kHalf - std::fabs(x - kX);  // depth within the square along the row
                    if (y == 60 && c.skipped) {
                        // The square's rows run through its outline: its edge
                        // pixels there pass the opaque columns by too.
                        ASSERT_TRUE(clear) << x;
                        left += inside > 2.0 ? 1 : 0;
                    } else {
                        ASSERT_TRUE(asReference) << x << ", " << y << ", case " << (&c - cases);
                    }
                }
            // 136 columns of row 60 lie more than 2 inside the square.
            EXPECT_EQ(left, c.skipped ? 136 : 0) << "case " << (&c - cases);
        }
    });
}

// Many overlapping polygons and stars, most wide, filled, stroked and both,
// hard-edged and anti-aliased, of every opacity, some in other modes, some
// with holes, with blocks of other drawings between them: the bytes of the
// plain per-pixel rule after every element, and the record true (every column
// it calls clear zero, every column it calls opaque of full alpha).
TEST_F(PolygonTest, OverlappingPolygonsWithTheRecordGiveThePlainPerPixelResult) {
    overlappingWithTheRecord(8642, 7, [&](int k, Uniform& next, World& told, World& plain, raster::KnownClear& known) {
        const int W = told.width(), H = told.height();
        const Depth depth = told.depth();
        const double radius = k % 5 == 0 ? 5 + next() * 40 : 60 + next() * 140;
        const int mode = k % 4 < 2 ? 1 : k % 4 == 2 ? 3 : 2;
        PolygonDrawer::Pattern p =
            polygon(next() * (W + 60) - 30, next() * (H + 60) - 30, radius, 3 + static_cast<int>(next() * 12),
                    k % 2 ? next() * 0.7 : 0.0, next() * 7, mode, 1 + next() * 4, k % 7 == 3 ? next() * 0.8 : 0.0,
                    k % 3 == 0 ? next() : 1.0);
        p.fill = {k % 8 == 5 ? 0.7f : 1.0f, static_cast<float>(next()), static_cast<float>(next()),
                  static_cast<float>(next())};
        p.stroke = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
        p.blendMode = k % 4 == 1 ? 1 + static_cast<int>(next() * 15) : 1;
        const bool draft = k % 6 == 4;
        PolygonDrawer d(&in, *suites, draft, told.get(), static_cast<int>(depth), p);
        d.known = &known;
        if (d.doRender()) {
            ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1 + k % 3), PF_Err_NONE);
        }
        PolygonDrawer ref(&in, *suites, draft, plain.get(), static_cast<int>(depth), p);
        if (!ref.doRender()) return;
        if (depth == Depth::Bits8) plainDraw<PF_Pixel>(plain, ref);
        if (depth == Depth::Bits16) plainDraw<PF_Pixel16>(plain, ref);
        if (depth == Depth::Float) plainDraw<PF_PixelFloat>(plain, ref);
    });
}
