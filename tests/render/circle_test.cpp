// The circle rasteriser: its region, coverage against Cairo, the hard-edged
// circle against a lattice-point count, agreement across depths, stacking and
// the edge cases of rings and strokes.
#include "CairoCoverage.h"
#include "DrawCircle.h"
#include "RenderFixture.h"
#include "VemaroBlend.h"
#include "VemaroLineDrawer.h"
#include "VemaroPolygonDrawer.h"
#include "VemaroRasteriser.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using hostsim::Depth;
using hostsim::World;

using CircleTest = RenderFixture;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST_F(CircleTest, RegionIsTheGrownExtentClippedToTheOutput) {
    World w(100, 60, Depth::Bits8);
    struct Case {
        const char* what;
        CircleDrawer::Pattern p;
        PF_LRect want;
        bool draws;
    };
    const Case cases[] = {
        {"inside", circle(50.3, 30.7, 10), {39, 20, 61, 42}, true},
        {"stroke reaches further", circle(50.3, 30.7, 10, 2, 0, 2.5), {37, 17, 64, 44}, true},
        {"fill ignores the stroke width", circle(50.3, 30.7, 10, 1, 0, 2.5), {39, 20, 61, 42}, true},
        {"clipped at the right and bottom", circle(95, 58, 10), {84, 47, 100, 60}, true},
        {"clipped at the left and top", circle(2, 1, 10), {0, 0, 13, 12}, true},
        {"far outside", circle(1e6, 30, 10), {100, 19, 100, 41}, false},
        {"huge radius covers the output", circle(50, 30, 1e9), {0, 0, 100, 60}, true},
        {"NaN centre", circle(kNaN, 30, 10), {0, 19, 0, 41}, false},
        {"infinite centre", circle(50, -kInf, 10), {39, 0, 61, 0}, false},
        {"infinite radius", circle(50, 30, kInf), {0, 0, 0, 0}, false},
        {"absurd radius", circle(50, 30, 1e300), {0, 0, 0, 0}, false},
        {"NaN stroke width", circle(50, 30, 10, 3, 0, kNaN), {0, 0, 0, 0}, false},
        {"negative radius", circle(50, 30, -5), {54, 34, 46, 26}, false},
    };
    for (const Case& c : cases) {
        CircleDrawer d(&in, *suites, 0, w.get(), 0, c.p);
        EXPECT_EQ(std::vector<A_long>({d.region.left, d.region.top, d.region.right, d.region.bottom}),
                  std::vector<A_long>({c.want.left, c.want.top, c.want.right, c.want.bottom}))
            << c.what;
        EXPECT_EQ(d.doRender(), c.draws) << c.what;
        if (c.draws) {
            EXPECT_EQ(d.distances.size(), static_cast<std::size_t>(c.want.right - c.want.left));
        }
    }
}

TEST_F(CircleTest, MultithreadOnlyWhenTallerThanEightyAndTheThreadCount) {
    World w(400, 400, Depth::Bits8);
    const CircleDrawer::Pattern small = circle(200, 200, 39.5), tall = circle(200, 200, 40);  // 80 and 82 rows
    EXPECT_FALSE(CircleDrawer(&in, *suites, 0, w.get(), 0, small).doMultithread(8));
    EXPECT_TRUE(CircleDrawer(&in, *suites, 0, w.get(), 0, tall).doMultithread(8));
    EXPECT_FALSE(CircleDrawer(&in, *suites, 0, w.get(), 0, tall).doMultithread(100));
}

// ------------------------------------------------------------ against Cairo
namespace {

// Cairo's coverage of the same disc; our pixel centres sit on whole
// coordinates, Cairo's at half ones.
std::vector<double> cairoDisc(int w, int h, double x, double y, double r) {
    return cairoCoverage(w, h, [&](cairo_t* cr) {
        cairo_arc(cr, x + 0.5, y + 0.5, r, 0, 2 * M_PI);
        cairo_fill(cr);
    });
}

}  // namespace

// Exact away from the edge; edge pixels within 0.2 of Cairo's area coverage
// (ours is the linear distance ramp); the total within 0.5 % + 1 pixel.
TEST_F(CircleTest, CoverageMatchesCairo) {
    const double circles[][3] = {{40.0, 40.0, 2.0}, {40.3, 39.6, 5.25}, {41.7, 40.2, 17.8}, {63.5, 64.1, 60.0}};
    for (const auto& c : circles) {
        const int W = 128, H = 128;
        World w(W, H, Depth::Float, 3, 0, 0);
        ASSERT_EQ(drawCircle(&in, *suites, w, circle(c[0], c[1], c[2])), PF_Err_NONE);
        const std::vector<double> ref = cairoDisc(W, H, c[0], c[1], c[2]);
        double ours = 0, theirs = 0, worstEdge = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const double a = w.at<PF_PixelFloat>(x, y).alpha, b = ref[std::size_t(y) * W + x];
                const double d = std::hypot(x - c[0], y - c[1]);
                ours += a;
                theirs += b;
                if (d <= c[2] - 1.0 || d >= c[2] + 1.0)
                    EXPECT_EQ(a, b) << "radius " << c[2] << " at " << x << "," << y;
                else
                    worstEdge = std::max(worstEdge, std::fabs(a - b));
            }
        EXPECT_LE(worstEdge, 0.2) << "radius " << c[2];
        EXPECT_NEAR(ours, theirs, theirs * 0.005 + 1.0) << "radius " << c[2];
        EXPECT_NEAR(ours, M_PI * c[2] * c[2], M_PI * c[2] * c[2] * 0.005 + 1.0) << "radius " << c[2];
    }
}

// A hard-edged disc centred on a pixel covers exactly the lattice points
// within its radius: 317 for radius 10 and 31417 for radius 100.
TEST_F(CircleTest, DraftDiscCountsTheLatticePoints) {
    const std::pair<double, long> cases[] = {{1, 5}, {2, 13}, {3, 29}, {4, 49}, {5, 81}, {10, 317}, {100, 31417}};
    for (auto [radius, lattice] : cases) {
        World w(256, 256, Depth::Bits8);
        ASSERT_EQ(drawCircle(&in, *suites, w, circle(120, 121, radius), true), PF_Err_NONE);
        long drawn = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const PF_Pixel p = w.at<PF_Pixel>(x, y);
                if (p.alpha) {
                    ++drawn;
                    EXPECT_TRUE(samePixel(p, PF_Pixel{255, 255, 255, 255}));
                }
            }
        EXPECT_EQ(drawn, lattice) << "radius " << radius;
    }
}

// ------------------------------------------------------------ across depths
namespace {

std::vector<CircleDrawer::Pattern> scene() {
    std::vector<CircleDrawer::Pattern> s;
    auto add = [&](CircleDrawer::Pattern p, Color fill, Color stroke, int mode) {
        p.fill = fill;
        p.stroke = stroke;
        p.blendMode = mode;
        s.push_back(p);
    };
    add(circle(40.3, 42.6, 30.2), {1, 0.9f, 0.2f, 0.1f}, {1, 0, 0, 0}, 1);
    add(circle(70.8, 50.1, 22.4, 3, 0.0, 3.3, 0.8), {1, 0.1f, 0.5f, 0.9f}, {1, 0.9f, 0.9f, 0.2f}, 1);
    add(circle(55.5, 75.2, 18.0, 2, 0.5, 2.2, 0.9), {1, 0, 0, 0}, {1, 0.3f, 0.8f, 0.3f}, 1);
    add(circle(30.1, 80.7, 14.6, 1, 0.6, 0, 0.7), {1, 0.6f, 0.1f, 0.7f}, {1, 0, 0, 0}, 1);
    add(circle(90.4, 20.3, 12.2, 3, 0.3, 1.7, 1.0), {1, 0.2f, 0.2f, 0.2f}, {1, 1, 1, 1}, 7);
    add(circle(20.0, 20.0, 0.3, 3, 0.0, 1.2, 1.0), {1, 1, 1, 1}, {1, 0.5f, 0.5f, 0.5f}, 1);
    add(circle(100.2, 90.9, 9.7, 2, 0.95, 0.05, 1.0), {1, 1, 1, 1}, {1, 0.9f, 0.4f, 0.1f}, 1);
    return s;
}

}  // namespace

// One scene at the three depths: 16 bits within 0.1/255 of float, 8 bits
// within 4/255 (its weights lose up to about 3.5/255 where fill and stroke
// merge); colours compared premultiplied, as they appear.
TEST_F(CircleTest, DepthsAgree) {
    const int W = 128, H = 112;
    World w8(W, H, Depth::Bits8), w16(W, H, Depth::Bits16), w32(W, H, Depth::Float);
    for (World* w : {&w8, &w16, &w32})
        for (const CircleDrawer::Pattern& p : scene()) ASSERT_EQ(drawCircle(&in, *suites, *w, p), PF_Err_NONE);
    const DepthGap gap = depthGap(w8, w16, w32);
    EXPECT_LE(gap.bits16, 0.1);
    EXPECT_LE(gap.bits8, 4.0);
    std::printf("worst difference from float: 16 bits %.4f/255, 8 bits %.3f/255\n", gap.bits16, gap.bits8);
}

// ------------------------------------------------------------ stacking and edges
// A later element goes beneath what is drawn: an opaque red disc keeps its
// pixels where a blue one is drawn after it.
TEST_F(CircleTest, LaterElementsGoBeneath) {
    World w(60, 40, Depth::Bits8);
    CircleDrawer::Pattern red = circle(20, 20, 12), blue = circle(35, 20, 12);
    red.fill = {1, 1, 0, 0};
    blue.fill = {1, 0, 0, 1};
    drawCircle(&in, *suites, w, red);
    drawCircle(&in, *suites, w, blue);
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(27, 20), PF_Pixel{255, 255, 0, 0}));  // in both
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(40, 20), PF_Pixel{255, 0, 0, 255}));  // blue only
    // A semi-transparent edge of red shows blue beneath it.
    const PF_Pixel edge = w.at<PF_Pixel>(32, 20);  // 12 from red's centre: half covered
    EXPECT_GT(edge.blue, 0);
    EXPECT_GT(edge.red, 0);
}

TEST_F(CircleTest, FillEdgeCases) {
    World w(40, 40, Depth::Float);
    // A radius at or below 0.001 has no ring factor: alpha 0 everywhere.
    drawCircle(&in, *suites, w, circle(20, 20, 0.001));
    EXPECT_EQ(w.at<PF_PixelFloat>(20, 20).alpha, 0.0f);
    // A ring narrower than half a pixel is thinned by 2 (R - r): here R = 10
    // and r = 0.98 * 10.5 - 0.5 = 9.79, so the factor is 0.42.
    drawCircle(&in, *suites, w, circle(20, 20, 10, 1, 0.98));
    EXPECT_NEAR(w.at<PF_PixelFloat>(30, 20).alpha, 0.5 * 0.42 * 0.71, 1e-6);  // d = 10: outer 0.5, inner 0.71
    EXPECT_EQ(w.at<PF_PixelFloat>(20, 20).alpha, 0.0f);                       // the hole is not touched
}

TEST_F(CircleTest, StrokeEdgeCases) {
    // Stroke width 0: pixels in reach are blended at alpha 0, which leaves them.
    World w(40, 40, Depth::Bits8);
    w.fill(PF_Pixel{0, 7, 7, 7});
    drawCircle(&in, *suites, w, circle(20, 20, 8, 2, 0.5, 0.0));
    for (int x = 0; x < 40; ++x) EXPECT_TRUE(samePixel(w.at<PF_Pixel>(x, 20), PF_Pixel{0, 7, 7, 7}));

    // A ring thinner than 0.1 pixel is stroked as one band from s to S.
    World t(40, 40, Depth::Float);
    drawCircle(&in, *suites, t, circle(20, 20, 10, 2, 0.999, 2.0));
    for (int x = 20 + 9; x <= 20 + 11; ++x) EXPECT_EQ(t.at<PF_PixelFloat>(x, 20).alpha, 1.0f) << x;
    EXPECT_EQ(t.at<PF_PixelFloat>(20 + 6, 20).alpha, 0.0f);

    // Hard-edged fill and stroke: d = R exactly takes the fill.
    World d(40, 40, Depth::Bits8);
    drawCircle(&in, *suites, d, circle(20, 20, 5, 3, 0, 3), true);
    EXPECT_TRUE(samePixel(d.at<PF_Pixel>(25, 20), PF_Pixel{255, 255, 255, 255}));
    EXPECT_TRUE(samePixel(d.at<PF_Pixel>(26, 20), PF_Pixel{255, 0, 0, 255}));  // the blue stroke
    EXPECT_TRUE(samePixel(d.at<PF_Pixel>(28, 20), PF_Pixel{255, 0, 0, 255}));
    EXPECT_EQ(d.at<PF_Pixel>(29, 20).alpha, 0);
}

// Popup values 0 and 16 blend as normal; an unknown depth draws nothing.
TEST_F(CircleTest, BlendModeFallbackAndUnknownDepth) {
    World ref(30, 30, Depth::Bits16);
    CircleDrawer::Pattern p = circle(15, 15, 9, 3, 0.2, 2, 0.6);
    drawCircle(&in, *suites, ref, p);
    for (int mode : {0, 16, -7}) {
        World w(30, 30, Depth::Bits16);
        p.blendMode = mode;
        drawCircle(&in, *suites, w, p);
        EXPECT_TRUE(sameWorld(w, ref)) << mode;
    }
    World w(30, 30, Depth::Bits8);
    CircleDrawer d(&in, *suites, 0, w.get(), 3, p);
    ASSERT_TRUE(d.doRender());
    EXPECT_EQ(d(0, 1), PF_Err_NONE);
    EXPECT_EQ(w.at<PF_Pixel>(15, 15).alpha, 0);
}

// Clipped at every edge of a padded world: nothing lands in the padding.
TEST_F(CircleTest, ClippedDrawingStaysInTheWorld) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World w(50, 30, depth, 4, 3, -8);
        for (auto [x, y] : {std::pair<double, double>{0, 0}, {49.6, 29.4}, {-3, 15}, {52, 10}})
            for (bool draft : {false, true}) drawCircle(&in, *suites, w, circle(x, y, 9, 3, 0.3, 2.5), draft);
        EXPECT_TRUE(w.paddingUntouched()) << static_cast<int>(depth);
    }
}

// ------------------------------------------------------------ the fill's short cuts
// The fill finds whole runs of interior pixels per row; it must give exactly
// what the plain per-pixel rule gives: each pixel's alpha from its row and
// column tests or its distance, blended beneath the output.
namespace {

template <class P>
void plainFill(World& w, const CircleDrawer& d) {
    using D = raster::Depth<P>;
    const CircleDrawer::Pattern& p = *d.pattern;
    const double R = p.radius, r = p.innerRadius * (R + 0.5) - 0.5;
    const double ring = R > 0.001 ? raster::clamp01(2 * (R - r)) : 0.0;
    const double outerSafe = (R - 0.5) / std::sqrt(2.0), innerSafe = (r - 0.5) / std::sqrt(2.0);
    const double innerEdge = r + 0.5, bound = (R + 0.5) * (R + 0.5);
    const BlendFunc<P> f = blendFunction<P>(p.blendMode);
    P px = D::fromColor(p.fill);
    for (A_long row = d.region.top; row < d.region.bottom; ++row) {
        const double ady = std::fabs(p.y - row);
        const bool rowExact = ady >= outerSafe || ady <= innerEdge;
        for (A_long c = d.region.left; c < d.region.right; ++c) {
            const double adx = std::fabs(c - p.x);
            if (adx < innerSafe && ady < innerSafe) continue;
            if (rowExact || adx >= outerSafe || adx <= innerEdge) {
                const double d2 = adx * adx + ady * ady;
                if (d2 > bound) continue;
                const double dd = std::sqrt(d2);
                px.alpha = D::alpha(raster::covOut(dd, R) * ring * raster::covIn(dd, r) * p.opacity);
            } else {
                px.alpha = D::alpha(ring * p.opacity);
            }
            w.at<P>(c, row) = f(px, w.at<P>(c, row));
        }
    }
}

}  // namespace

// Every vector level the processor has, over a blank output and over runs of
// every kind of pixel; opaque fills (whose interior is written without
// arithmetic where it may be) and translucent ones, in every blend mode.
TEST_F(CircleTest, FillRunsGiveThePlainPerPixelResult) {
    atEveryLevel([&] {
        uint32_t s = 12345;
        auto next = [&] {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            return s / 4294967296.0;
        };
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
            for (bool blank : {true, false}) {
                World fast(200, 140, depth), plain(200, 140, depth);
                if (!blank) {
                    fillWithRuns(fast, 7);
                    fillWithRuns(plain, 7);
                }
                for (int k = 0; k < 60; ++k) {
                    CircleDrawer::Pattern p =
                        circle(next() * 220 - 10, next() * 160 - 10, next() * 80, 1, k % 3 == 0 ? next() * 0.95 : 0.0,
                               0, k % 2 == 0 ? 1.0 : 0.3 + 0.7 * next());
                    p.fill = {k % 5 == 1 ? 0.6f : 1.0f, static_cast<float>(next()), static_cast<float>(next()),
                              static_cast<float>(next())};
                    p.blendMode = k % 4 == 0 ? 1 + k % 15 : 1;
                    if (k % 7 == 0) p.radius = 0.2 + next();  // tiny
                    ASSERT_EQ(drawCircle(&in, *suites, fast, p), PF_Err_NONE);
                    CircleDrawer d(&in, *suites, 0, plain.get(), static_cast<int>(depth), p);
                    if (!d.doRender()) continue;
                    if (depth == Depth::Bits8) plainFill<PF_Pixel>(plain, d);
                    if (depth == Depth::Bits16) plainFill<PF_Pixel16>(plain, d);
                    if (depth == Depth::Float) plainFill<PF_PixelFloat>(plain, d);
                    ASSERT_TRUE(sameWorld(fast, plain))
                        << "depth " << static_cast<int>(depth) << (blank ? ", blank" : ", runs") << ", circle " << k;
                }
            }
    });
}

// ------------------------------------------------------------ known-clear columns
// A drawer told which columns of each row are still clear stores there
// without reading the output. The bytes must be those of the drawing that is
// not told, over a clear output and over one partly drawn already, and the
// record must stay true: no byte outside a row's hull is other than zero.
namespace {

std::size_t pixelBytes(Depth depth) { return depth == Depth::Bits8 ? 4 : depth == Depth::Bits16 ? 8 : 16; }

}  // namespace

TEST_F(CircleTest, KnownClearColumnsGiveTheBytesOfTheReadingDrawing) {
    atEveryLevel([&] {
        uint32_t s = 777;
        auto next = [&] {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            return s / 4294967296.0;
        };
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
            for (bool predrawn : {false, true}) {
                const int W = 230, H = 150;
                World told(W, H, depth), plain(W, H, depth), runs(W, H, depth);
                raster::KnownClear known;
                known.reset(0, H);
                if (predrawn) {
                    // Blocks of other drawings' pixels, the record widened over them.
                    fillWithRuns(runs, 3);
                    const std::size_t size = pixelBytes(depth);
                    for (int k = 0; k < 6; ++k) {
                        const PF_LRect r{static_cast<A_long>(next() * W), static_cast<A_long>(next() * H),
                                         static_cast<A_long>(next() * W), static_cast<A_long>(next() * H)};
                        for (int y = r.top; y < r.bottom; ++y)
                            for (int x = r.left; x < r.right; ++x)
                                for (World* w : {&told, &plain})
                                    std::memcpy(w->row<unsigned char>(y) + x * size,
                                                runs.row<unsigned char>(y) + x * size, size);
                        known.widen(r);
                    }
                }
                for (int k = 0; k < 50; ++k) {
                    const int mode = 1 + k % 3;
                    CircleDrawer::Pattern p = circle(next() * (W + 40) - 20, next() * (H + 40) - 20, next() * 110, mode,
                                                     k % 4 == 0 ? next() * 0.9 : 0.0, mode == 1 ? 0.0 : next() * 6,
                                                     k % 2 == 0 ? 1.0 : 0.2 + 0.8 * next());
                    p.fill = {k % 5 == 1 ? 0.6f : 1.0f, static_cast<float>(next()), static_cast<float>(next()),
                              static_cast<float>(next())};
                    p.blendMode = k % 3 == 0 ? 1 + k % 15 : 1;
                    if (k % 7 == 0) p.radius = 0.2 + next();  // tiny
                    const bool draft = k % 6 == 5;
                    ASSERT_EQ(drawCircle(&in, *suites, plain, p, draft), PF_Err_NONE);
                    CircleDrawer d(&in, *suites, draft ? 1 : 0, told.get(), static_cast<int>(depth), p);
                    d.known = &known;
                    // Bands over disjoint rows share the record.
                    if (d.doRender()) {
                        ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1 + k % 4), PF_Err_NONE);
                    }
                    ASSERT_TRUE(sameWorld(told, plain)) << "depth " << static_cast<int>(depth)
                                                        << (predrawn ? ", predrawn" : ", clear") << ", circle " << k;
                    // A hull left narrow stays so: checked every few circles.
                    if (k % 5 == 4) {
                        ASSERT_EQ(untrueRows(told, known), 0) << "circle " << k;
                    }
                }
                EXPECT_TRUE(told.paddingUntouched());
            }
    });
}

// The record is taken at its word: an opaque pixel it calls clear is stored
// over (the drawing beneath would keep it), at every level and depth. Only
// what lies outside the hull is stored over.
TEST_F(CircleTest, KnownClearColumnsAreStoredWithoutReading) {
    atEveryLevel([&] {
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            World w(160, 120, depth), reference(160, 120, depth);
            const Color red{1.0f, 1.0f, 0.0f, 0.0f};
            auto paint = [&](World& x) {
                for (int y = 0; y < 120; ++y)
                    for (int c = 0; c < 160; ++c) {
                        if (depth == Depth::Bits8) x.at<PF_Pixel>(c, y) = raster::Depth<PF_Pixel>::fromColor(red);
                        if (depth == Depth::Bits16) x.at<PF_Pixel16>(c, y) = raster::Depth<PF_Pixel16>::fromColor(red);
                        if (depth == Depth::Float)
                            x.at<PF_PixelFloat>(c, y) = raster::Depth<PF_PixelFloat>::fromColor(red);
                    }
            };
            paint(w);
            raster::KnownClear known;
            known.reset(0, 120);
            known.widen(10, 0, 160);  // row 10 written whole: read as always
            CircleDrawer::Pattern p = circle(80.3, 60.2, 58.0);
            p.fill = {1.0f, 0.0f, 0.0f, 1.0f};
            CircleDrawer d(&in, *suites, 0, w.get(), static_cast<int>(depth), p);
            d.known = &known;
            ASSERT_TRUE(d.doRender());
            ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1), PF_Err_NONE);
            // What the circle gives over a clear output, hand-checked at the
            // centre (opaque blue) and outside the disc (untouched).
            ASSERT_EQ(drawCircle(&in, *suites, reference, p), PF_Err_NONE);
            auto same = [&](int c, int y, const World& x) {
                const std::size_t size = pixelBytes(depth);
                return std::memcmp(w.row<unsigned char>(y) + c * size, x.row<unsigned char>(y) + c * size, size) == 0;
            };
            World redWorld(160, 120, depth);
            paint(redWorld);
            for (int y = 0; y < 120; ++y)
                for (int c = 0; c < 160; ++c) {
                    const double r = std::hypot(c - 80.3, y - 60.2);
                    if (y == 10 || r > 59.0) {
                        ASSERT_TRUE(same(c, y, redWorld)) << c << ", " << y;
                    } else if (r < 57.0) {
                        ASSERT_TRUE(same(c, y, reference)) << c << ", " << y;
                    }
                }
            if (depth == Depth::Bits8) {
                const PF_Pixel centre = w.at<PF_Pixel>(80, 60);
                EXPECT_EQ(centre.alpha, 255);
                EXPECT_EQ(centre.red, 0);
                EXPECT_EQ(centre.blue, 255);
            }
            // Widened over the columns within R + 0.5 of the centre, 22 to 138
            // on row 60, and never narrowed.
            EXPECT_EQ(known.hull(60).lo, 22);
            EXPECT_EQ(known.hull(60).hi, 139);
            EXPECT_EQ(known.hull(10).lo, 0);
            EXPECT_EQ(known.hull(10).hi, 160);
        }
    });
}

// Discs whose rows carry edges of every length: rows that are all edge and
// wider than any batch of waiting edge columns, edges that fill such a batch
// by their columns or by their rows, clipped at every side, over a blank
// output and over runs of every kind, told the output is clear and not.
TEST_F(CircleTest, DiscEdgesOfEveryLengthGiveThePlainPerPixelResult) {
    struct Case {
        const char* what;
        double x, y, radius;
    };
    const Case cases[] = {
        {"top edge 400 columns wide", 320.4, 20005.3, 20000.0},
        {"bottom edge 400 columns wide", 319.6, -19960.2, 20000.0},
        {"edges of some hundred columns", 300.2, 3010.7, 3000.0},
        {"left edge crossing the rows", -2900.3, 24.5, 2950.0},
        {"right edge crossing the rows", 3530.8, 23.1, 2950.0},
        {"taller than the output", 320.5, 24.5, 160.25},
        {"rows of a few edge pixels", 100.3, 20.6, 19.7},
        {"tiny", 50.5, 10.5, 1.3},
    };
    atEveryLevel([&] {
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
            for (bool blank : {true, false})
                for (bool told : {false, true}) {
                    const int W = 640, H = 48;
                    World fast(W, H, depth), plain(W, H, depth);
                    if (!blank) {
                        fillWithRuns(fast, 11);
                        fillWithRuns(plain, 11);
                    }
                    raster::KnownClear known;
                    known.reset(0, H);
                    if (!blank) known.widen(PF_LRect{0, 0, W, H});
                    int k = 0;
                    for (const Case& c : cases)
                        for (double opacity : {1.0, 0.55}) {
                            CircleDrawer::Pattern p = circle(c.x, c.y, c.radius, 1, 0.0, 0.0, opacity);
                            p.fill = {1.0f, 0.25f, 0.5f, 0.75f};
                            p.blendMode = ++k % 3 == 0 ? 1 + k % 15 : 1;
                            CircleDrawer d(&in, *suites, 0, fast.get(), static_cast<int>(depth), p);
                            if (told) d.known = &known;
                            ASSERT_TRUE(d.doRender()) << c.what;
                            ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1 + k % 3), PF_Err_NONE);
                            CircleDrawer ref(&in, *suites, 0, plain.get(), static_cast<int>(depth), p);
                            ASSERT_TRUE(ref.doRender());
                            if (depth == Depth::Bits8) plainFill<PF_Pixel>(plain, ref);
                            if (depth == Depth::Bits16) plainFill<PF_Pixel16>(plain, ref);
                            if (depth == Depth::Float) plainFill<PF_PixelFloat>(plain, ref);
                            ASSERT_TRUE(sameWorld(fast, plain))
                                << c.what << ", opacity " << opacity << ", depth " << static_cast<int>(depth)
                                << (blank ? ", blank" : ", runs") << (told ? ", told" : "");
                        }
                    if (told) {
                        EXPECT_EQ(untrueRows(fast, known), 0);
                    }
                    EXPECT_TRUE(fast.paddingUntouched());
                }
    });
}

// The edge pixels of many rows wait together for their alphas, each with its
// own row's hull: rows whose hulls end at every place in and around their
// edges, an output drawn within the hulls and clear outside them, discs tall
// enough that one wait holds the edges of dozens of rows (and short ones),
// against the plain per-pixel rule over the same output without the record.
TEST_F(CircleTest, WaitingEdgePixelsKeepTheirOwnRowsHull) {
    const int W = 300, H = 200;
    struct Case {
        double x, y, radius, opacity;
        int mode;
    };
    const Case cases[] = {
        {150.3, 100.6, 96.2, 1.0, 1}, {149.8, 101.2, 70.7, 0.55, 1}, {151.1, 99.4, 88.9, 1.0, 3},
        {20.5, 180.2, 130.4, 1.0, 1}, {150.0, 100.0, 50.0, 1.0, 1},
    };
    atEveryLevel([&] {
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
            for (const Case& c : cases) {
                World told(W, H, depth), plain(W, H, depth);
                fillWithRuns(told, 5);
                fillWithRuns(plain, 5);
                raster::KnownClear known;
                known.reset(0, H);
                Uniform next{static_cast<uint32_t>(91 + c.radius)};
                const std::size_t size = pixelBytes(depth);
                for (int y = 0; y < H; ++y) {
                    // Every fifth row untouched (empty hull); the others end
                    // anywhere within 12 columns of the disc's edges or away.
                    const double half = std::sqrt(std::max(0.0, c.radius * c.radius - (y - c.y) * (y - c.y)));
                    const A_long lo = static_cast<A_long>(std::clamp(c.x - half + next() * 24 - 12, 0.0, W - 1.0));
                    const A_long hi = static_cast<A_long>(std::clamp(c.x + half + next() * 24 - 12, lo + 1.0, 1.0 * W));
                    const bool none = y % 5 == 2;
                    if (!none) known.widen(y, lo, hi);
                    for (int x = 0; x < W; ++x)
                        if (none || x < lo || x >= hi)
                            for (World* w : {&told, &plain}) std::memset(w->row<unsigned char>(y) + x * size, 0, size);
                }
                CircleDrawer::Pattern p = circle(c.x, c.y, c.radius, 1, 0.0, 0.0, c.opacity);
                p.fill = {1.0f, 0.8f, 0.3f, 0.6f};
                p.blendMode = c.mode;
                CircleDrawer d(&in, *suites, 0, told.get(), static_cast<int>(depth), p);
                d.known = &known;
                ASSERT_TRUE(d.doRender());
                ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1), PF_Err_NONE);
                CircleDrawer ref(&in, *suites, 0, plain.get(), static_cast<int>(depth), p);
                ASSERT_TRUE(ref.doRender());
                if (depth == Depth::Bits8) plainFill<PF_Pixel>(plain, ref);
                if (depth == Depth::Bits16) plainFill<PF_Pixel16>(plain, ref);
                if (depth == Depth::Float) plainFill<PF_PixelFloat>(plain, ref);
                ASSERT_TRUE(sameWorld(told, plain)) << "radius " << c.radius << ", depth " << static_cast<int>(depth);
                EXPECT_EQ(untrueRows(told, known), 0);
            }
    });
}

// ------------------------------------------------------------ known-opaque columns
// Beside the clear columns the record keeps, per row, columns known opaque:
// a disc drawn beneath them in a mode that keeps an opaque top (normal, at 8
// bits and in float) neither reads nor writes there. The record must stay
// true (every column it calls opaque holds a pixel of full alpha) whatever
// else is drawn over the rows, and the bytes be those of the drawing without
// any record.
namespace {

// Draws one circle as the frame driver does, told the record when given.
void drawTold(PF_InData* in, AEGP_SuiteHandler& suites, World& w, const CircleDrawer::Pattern& p, bool draft,
              raster::KnownClear* known, int threads) {
    CircleDrawer d(in, suites, draft ? 1 : 0, w.get(), static_cast<int>(w.depth()), p);
    d.known = known;
    if (d.doRender()) {
        ASSERT_EQ(iterateGeneric(in, suites, &d, threads), PF_Err_NONE);
    }
}

}  // namespace

// The record taken at its word: columns it calls opaque over a transparent
// output are left transparent inside the disc by a keeping mode, and drawn as
// always by the others; the gap between two spans is drawn.
TEST_F(CircleTest, KnownOpaqueColumnsAreNeitherReadNorWritten) {
    struct Case {
        Depth depth;
        int mode;
        bool skipped;
    };
    const Case cases[] = {
        {Depth::Bits8, 1, true},   {Depth::Float, 1, true},  {Depth::Float, 2, true},  // popup 2 is normal too
        {Depth::Bits16, 1, false}, {Depth::Bits8, 4, false}, {Depth::Float, 3, false}, {Depth::Bits8, 6, false},
    };
    atEveryLevel([&] {
        for (const Case& c : cases) {
            World w(200, 120, c.depth), reference(200, 120, c.depth);
            raster::KnownClear known;
            known.reset(0, 120);
            // Row 60 called opaque, yet clear, but for a gap [80, 120).
            known.keep(60, 0, 80, 0, 80);
            known.keep(60, 120, 200, 120, 200);
            CircleDrawer::Pattern p = circle(100.3, 60.2, 70.0);
            p.fill = {1.0f, 0.2f, 0.4f, 0.6f};
            p.blendMode = c.mode;
            drawTold(&in, *suites, w, p, false, &known, 1);
            ASSERT_EQ(drawCircle(&in, *suites, reference, p), PF_Err_NONE);
            const std::size_t size = pixelBytes(c.depth);
            const std::vector<unsigned char> zero(size, 0);
            int left = 0, drawn = 0;
            for (int y = 0; y < 120; ++y)
                for (int x = 0; x < 200; ++x) {
                    const unsigned char* got = w.row<unsigned char>(y) + x * size;
                    const bool asReference = std::memcmp(got, reference.row<unsigned char>(y) + x * size, size) == 0;
                    const double d = std::hypot(x - 100.3, y - 60.2);
                    const bool inside = d < 69.0;
                    const bool clear = std::memcmp(got, zero.data(), size) == 0;
                    const bool gap = x >= 80 && x < 120;
                    if (y == 60 && inside && c.skipped && !gap) {
                        left += clear ? 1 : 0;
                    } else if (y == 60 && d < 70.0 && c.skipped && !gap) {
                        // The interior may reach here: skipped or drawn.
                        ASSERT_TRUE(clear || asReference) << x;
                    } else {
                        ASSERT_TRUE(asReference) << x << ", " << y << ", mode " << c.mode;
                        drawn += y == 60 && inside ? 1 : 0;
                    }
                }
            // 138 columns of row 60 lie within 69 of the centre, the 40 of
            // the gap among them.
            EXPECT_EQ(left + drawn, 138) << "mode " << c.mode;
            EXPECT_EQ(left, c.skipped ? 98 : 0) << "mode " << c.mode;
        }
    });
}

// Wide opaque discs in normal mode, the rows they fill then drawn over by a
// line, a polygon, a half-transparent disc, a disc in another mode, a stroked
// disc and a draft disc, each followed by another opaque disc over the same
// rows: every byte that of the drawing without any record, and the record
// true after each element.
TEST_F(CircleTest, KnownOpaqueColumnsAreForgottenByEveryOtherWrite) {
    enum Kind { kDisc, kLine, kPolygon };
    struct Step {
        const char* what;
        Kind kind;
        double x, y, size, opacity;
        int mode, fillMode;
        bool draft;
    };
    const Step steps[] = {
        {"opaque disc", kDisc, 100.4, 70.2, 90, 1.0, 1, 1, false},
        {"opaque disc apart", kDisc, 230.7, 69.6, 80, 1.0, 1, 1, false},
        {"line", kLine, 160.2, 72.3, 150, 0.7, 1, 1, false},
        {"opaque disc over the line", kDisc, 160.5, 70.5, 100, 1.0, 1, 1, false},
        {"polygon", kPolygon, 120.3, 60.8, 60, 0.6, 1, 3, false},
        {"opaque disc over the polygon", kDisc, 150.1, 80.4, 110, 1.0, 1, 1, false},
        {"half-transparent disc", kDisc, 130.6, 70.1, 90, 0.5, 1, 1, false},
        {"opaque disc over it", kDisc, 170.2, 69.9, 120, 1.0, 1, 1, false},
        {"multiplying disc", kDisc, 150.8, 70.3, 100, 1.0, 4, 1, false},
        {"opaque disc over that", kDisc, 160.3, 70.6, 130, 1.0, 1, 1, false},
        {"stroked disc", kDisc, 140.5, 70.5, 100, 1.0, 1, 3, false},
        {"opaque disc over the stroke", kDisc, 165.4, 70.2, 135, 1.0, 1, 1, false},
        {"draft disc", kDisc, 150.5, 70.5, 105, 1.0, 1, 1, true},
        {"opaque disc over the draft", kDisc, 155.2, 69.8, 140, 1.0, 1, 1, false},
    };
    atEveryLevel([&] {
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            const int W = 320, H = 140;
            World told(W, H, depth), plain(W, H, depth);
            raster::KnownClear known;
            known.reset(0, H);
            int k = 0, kept = 0;
            for (const Step& s : steps) {
                const Color colour{1.0f, 0.1f + 0.06f * k, 0.9f - 0.05f * k, 0.3f};
                const int threads = 1 + k++ % 3;
                for (World* w : {&told, &plain}) {
                    raster::KnownClear* record = w == &told ? &known : nullptr;
                    if (s.kind == kDisc) {
                        CircleDrawer::Pattern p = circle(s.x, s.y, s.size, s.fillMode, 0.0, 4.0, s.opacity);
                        p.fill = colour;
                        p.blendMode = s.mode;
                        drawTold(&in, *suites, *w, p, s.draft, record, threads);
                    } else if (s.kind == kLine) {
                        LineDrawer::Pattern p;
                        p.x = s.x, p.y = s.y, p.halfLength = s.size, p.halfThickness = 3.5, p.phase = 0.1;
                        p.fill = colour, p.opacity = s.opacity, p.blendMode = s.mode;
                        LineDrawer d(&in, *suites, 0, w->get(), static_cast<int>(depth), p);
                        if (d.doRender()) {
                            if (record) record->widen(d.region);
                            ASSERT_EQ(iterateGeneric(&in, *suites, &d, threads), PF_Err_NONE);
                        }
                    } else {
                        PolygonDrawer::Pattern p;
                        p.x = s.x, p.y = s.y, p.radius = s.size, p.sides = 5, p.fillMode = s.fillMode;
                        p.fill = colour, p.stroke = Color{1.0f, 0.0f, 1.0f, 0.0f}, p.strokeWidth = 3.0;
                        p.opacity = s.opacity, p.blendMode = s.mode;
                        PolygonDrawer d(&in, *suites, 0, w->get(), static_cast<int>(depth), p);
                        d.known = record;
                        if (d.doRender()) {
                            ASSERT_EQ(iterateGeneric(&in, *suites, &d, threads), PF_Err_NONE);
                        }
                    }
                }
                if (!recordStep(told, plain, known, s.what, kept)) return;
            }
            expectKept(told, kept);
        }
    });
}

// Many overlapping discs, most wide, of every opacity, some in other modes,
// some rings, some with fill alphas below one, with blocks of other drawings
// between them: the bytes of the plain per-pixel rule, the record true.
TEST_F(CircleTest, OverlappingDiscsWithTheRecordGiveThePlainPerPixelResult) {
    overlappingWithTheRecord(4242, 5, [&](int k, Uniform& next, World& told, World& plain, raster::KnownClear& known) {
        const int W = told.width(), H = told.height();
        const double radius = k % 5 == 0 ? 5 + next() * 40 : 50 + next() * 120;
        const double opacity = k % 3 == 0 ? next() : 1.0;
        CircleDrawer::Pattern p = circle(next() * (W + 60) - 30, next() * (H + 60) - 30, radius, 1,
                                         k % 7 == 3 ? next() * 0.8 : 0.0, 0.0, opacity);
        p.fill = {k % 8 == 5 ? 0.7f : 1.0f, static_cast<float>(next()), static_cast<float>(next()),
                  static_cast<float>(next())};
        p.blendMode = k % 4 == 1 ? 1 + static_cast<int>(next() * 15) : 1;
        drawTold(&in, *suites, told, p, false, &known, 1 + k % 3);
        CircleDrawer ref(&in, *suites, 0, plain.get(), static_cast<int>(told.depth()), p);
        if (ref.doRender()) {
            if (told.depth() == Depth::Bits8) plainFill<PF_Pixel>(plain, ref);
            if (told.depth() == Depth::Bits16) plainFill<PF_Pixel16>(plain, ref);
            if (told.depth() == Depth::Float) plainFill<PF_PixelFloat>(plain, ref);
        }
    });
}
