// The line rasteriser: its region, hand-computed pixels of axis-aligned lines
// at the three depths, rotated lines against Cairo, the row spans against the
// plain per-pixel rule, band invariance, stacking and degenerate input.
#include "CairoCoverage.h"
#include "DrawCircle.h"
#include "RenderFixture.h"
#include "VemaroBlend.h"
#include "VemaroKnownClear.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"
#include "line_fixture.h"

#include <cairo.h>

#include <cstring>
#include <limits>
#include <vector>

using hostsim::Depth;
using hostsim::World;

using LineTest = RenderFixture;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<A_long> rect(const PF_LRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// Calls f(P{}) for each depth with a world of that depth.
template <class F>
void forEachDepth(int w, int h, F f) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World world(w, h, depth);
        raster::forDepth(static_cast<int>(depth), [&](auto pixel) { f(pixel, world); });
    }
}
}  // namespace

TEST_F(LineTest, RegionIsTheRotatedBoxGrownAndClipped) {
    World w(100, 60, Depth::Bits8);
    const double q = M_PI / 4;
    struct Case {
        const char* what;
        LineDrawer::Pattern p;
        PF_LRect want;
        bool draws;
    };
    const Case cases[] = {
        {"axis-aligned", line(50.3, 30.7, 10, 2), {39, 28, 61, 34}, true},
        {"a quarter turn swaps width and height", line(50.3, 30.7, 10, 2, M_PI / 2), {47, 20, 53, 42}, true},
        {"a half turn", line(50.3, 30.7, 10, 2, M_PI), {39, 28, 61, 34}, true},
        {"stroke grows both extents", line(50.3, 30.7, 10, 2, 0, 2, 1.5), {38, 26, 63, 35}, true},
        {"fill ignores the stroke width", line(50.3, 30.7, 10, 2, 0, 1, 1.5), {39, 28, 61, 34}, true},
        // Half extents (10 + 2) cos 45 = 8.485 each way.
        {"diagonal", line(50, 30, 10, 2, q), {41, 21, 59, 39}, true},
        {"clipped at the right and bottom", line(95, 58, 10, 4), {84, 53, 100, 60}, true},
        {"clipped at the left and top", line(2, 1, 10, 4), {0, 0, 13, 6}, true},
        {"far outside", line(1e6, 30, 10, 2), {100, 27, 100, 33}, false},
        {"very long line crosses the output", line(50, 30, 1e9, 1, 0.1), {0, 0, 100, 60}, true},
        {"NaN centre", line(kNaN, 30, 10, 2), {0, 27, 0, 33}, false},
        {"NaN phase", line(50, 30, 10, 2, kNaN), {0, 0, 0, 0}, false},
        {"infinite phase", line(50, 30, 10, 2, kInf), {0, 0, 0, 0}, false},
        {"infinite length", line(50, 30, kInf, 2), {0, 0, 0, 0}, false},
        {"infinite thickness", line(50, 30, 10, kInf), {0, 0, 0, 0}, false},
        {"absurd length", line(50, 30, 1e300, 2, 0.3), {0, 0, 0, 0}, false},
        {"NaN stroke width", line(50, 30, 10, 2, 0, 3, kNaN), {0, 0, 0, 0}, false},
        {"negative lengths reach as far", line(50, 30, -10, -2), {39, 27, 61, 33}, true},
        {"zero size still covers its pixel", line(50, 30, 0, 0), {49, 29, 51, 31}, true},
    };
    for (const Case& k : cases) {
        LineDrawer d(&in, *suites, 0, w.get(), 0, k.p);
        EXPECT_EQ(rect(d.region), rect(k.want)) << k.what;
        EXPECT_EQ(d.doRender(), k.draws) << k.what;
        if (k.draws) {
            ASSERT_EQ(d.offsets.size(), static_cast<std::size_t>(k.want.right - k.want.left)) << k.what;
            EXPECT_EQ(d.offsets.front(), k.want.left - k.p.x) << k.what;
        }
    }
}

TEST_F(LineTest, MultithreadOnlyWhenTallerThanAHundredAndTheThreadCount) {
    World w(400, 400, Depth::Bits8);
    const LineDrawer::Pattern shorter = line(200, 200, 49.5, 2, M_PI / 2), taller = line(200, 200, 50, 2, M_PI / 2);
    const PF_LRect r = LineDrawer(&in, *suites, 0, w.get(), 0, shorter).region;
    EXPECT_EQ(r.bottom - r.top, 100);
    EXPECT_FALSE(LineDrawer(&in, *suites, 0, w.get(), 0, shorter).doMultithread(8));
    EXPECT_TRUE(LineDrawer(&in, *suites, 0, w.get(), 0, taller).doMultithread(8));
    EXPECT_FALSE(LineDrawer(&in, *suites, 0, w.get(), 0, taller).doMultithread(200));
}

// ------------------------------------------------------------ hand-computed pixels
// A fill at (10.25, 20.25) with L = 3 and T = 1.5: the columns 7 ... 13 are
// covered 0.25, 1, 1, 1, 1, 1, 0.75 (|c - 10.25| against 3 +- 0.5) and the
// rows 19 ... 22 are covered 0.75, 1, 1, 0.25 (|20.25 - r| against 1.5 +- 0.5);
// each pixel is the product. A quarter turn with L and T swapped, and a half
// turn, give the same coverage.
TEST_F(LineTest, AxisAlignedFillHasTheProductOfTheEdgeCoverages) {
    const double cols[] = {0.25, 1, 1, 1, 1, 1, 0.75};  // columns 7 ... 13
    const double rows[] = {0.75, 1, 1, 0.25};           // rows 19 ... 22
    auto expected = [&](int x, int y) {
        return x >= 7 && x <= 13 && y >= 19 && y <= 22 ? cols[x - 7] * rows[y - 19] : 0.0;
    };
    const LineDrawer::Pattern turns[] = {line(10.25, 20.25, 3, 1.5), line(10.25, 20.25, 1.5, 3, M_PI / 2),
                                         line(10.25, 20.25, 3, 1.5, M_PI)};
    for (const LineDrawer::Pattern& p0 : turns) {
        forEachDepth(24, 32, [&](auto pixel, World& w) {
            using P = decltype(pixel);
            LineDrawer::Pattern p = p0;
            p.fill = {1.0f, 1.0f, 0.5f, 0.0f};
            ASSERT_EQ(drawLine(&in, *suites, w, p), PF_Err_NONE);
            double area = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 24; ++x) {
                    const P& px = w.at<P>(x, y);
                    const double a = expected(x, y);
                    area += norm(px).a;
                    if constexpr (std::is_same_v<P, PF_PixelFloat>) {
                        EXPECT_NEAR(px.alpha, a, 1e-7) << x << "," << y;
                        if (a > 0) {
                            EXPECT_TRUE(px.red == 1.0f && px.green == 0.5f && px.blue == 0.0f);
                        }
                    } else {
                        const double full = std::is_same_v<P, PF_Pixel> ? 255 : 32768;
                        EXPECT_EQ(px.alpha, static_cast<int>(a * full + 0.5)) << x << "," << y;
                        if (a > 0) {
                            EXPECT_EQ(px.red, full);
                            EXPECT_EQ(px.green, static_cast<int>(0.5f * float(full) + 0.5f));
                        }
                    }
                }
            EXPECT_NEAR(area, 2 * 3 * 2 * 1.5, 0.01);  // the rectangle's area, 18
        });
    }
}

// Hard edges: a pixel whose centre lies within the box is drawn whole.
TEST_F(LineTest, AxisAlignedDraftDrawsThePixelCentresInside) {
    forEachDepth(24, 32, [&](auto pixel, World& w) {
        using P = decltype(pixel);
        ASSERT_EQ(drawLine(&in, *suites, w, line(10.25, 20.25, 3, 1.5, 0, 1, 0, 0.5), true), PF_Err_NONE);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 24; ++x) {
                const bool inside = x >= 8 && x <= 13 && y >= 19 && y <= 21;  // |x - 10.25| <= 3, |20.25 - y| <= 1.5
                EXPECT_EQ(norm(w.at<P>(x, y)).a, inside ? norm(P{raster::Depth<P>::alpha(0.5), 0, 0, 0}).a : 0.0)
                    << x << "," << y;
            }
    });
}

// Stroke only, width 0, around a box from (7, 18) to (13, 22): the hard-edged
// stroke is the box's 20 boundary pixels; the anti-aliased one keeps the
// fringe where the fill's coverage c is below 1, at (1 - c) c.
TEST_F(LineTest, StrokeOfWidthZero) {
    World d(24, 32, Depth::Bits8);
    ASSERT_EQ(drawLine(&in, *suites, d, line(10, 20, 3, 2, 0, 2, 0.0), true), PF_Err_NONE);
    int drawn = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 24; ++x) {
            const bool boundary =
                (x == 7 || x == 13) ? (y >= 18 && y <= 22) : (y == 18 || y == 22) && x >= 7 && x <= 13;
            EXPECT_EQ(d.at<PF_Pixel>(x, y).alpha, boundary ? 255 : 0) << x << "," << y;
            drawn += d.at<PF_Pixel>(x, y).alpha != 0;
        }
    EXPECT_EQ(drawn, 20);

    World a(24, 32, Depth::Float);
    ASSERT_EQ(drawLine(&in, *suites, a, line(10.25, 20.25, 3, 1.5, 0, 2, 0.0)), PF_Err_NONE);
    EXPECT_NEAR(a.at<PF_PixelFloat>(13, 20).alpha, 0.25 * 0.75, 1e-7);      // c = 0.75
    EXPECT_NEAR(a.at<PF_PixelFloat>(13, 19).alpha, 0.4375 * 0.5625, 1e-7);  // c = 0.75 * 0.75
    EXPECT_EQ(a.at<PF_PixelFloat>(10, 20).alpha, 0.0f);                     // inside: c = 1
    EXPECT_EQ(a.at<PF_PixelFloat>(10, 23).alpha, 0.0f);                     // outside: c = 0
    EXPECT_FLOAT_EQ(a.at<PF_PixelFloat>(10, 20 - 1).red, 1.0f);             // the stroke colour
}

// Fill and stroke at 8 bits: at (13, 20) the fill (L = 3) covers half and the
// stroke (Ls = 4.5) all. Fill alpha 128 over stroke alpha 255: wb =
// (127 * 255) >> 8 = 126, A = 254; red (255 * 128 + 255 * 126) / 254 = 255,
// green and blue 255 * 128 / 254 = 128; the alpha then takes the opacity:
// 254 * 0.5 + 0.5 = 127.5, truncated to 127.
TEST_F(LineTest, FillAndStrokeMergeThenTakeTheOpacity) {
    World w(24, 32, Depth::Bits8);
    ASSERT_EQ(drawLine(&in, *suites, w, line(10, 20, 3, 2, 0, 3, 1.5, 0.5)), PF_Err_NONE);
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(13, 20), PF_Pixel{127, 255, 128, 128}));
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(10, 20), PF_Pixel{128, 255, 255, 255}));  // fill alone: 255 * 0.5 + 0.5
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(14, 20), PF_Pixel{128, 255, 0, 0}));      // stroke alone
    EXPECT_EQ(w.at<PF_Pixel>(15, 20).alpha, 0);                                    // u = 5 = Ls + 0.5

    // Hard edges: the fill wins at u = L exactly, the stroke up to Ls.
    World d(24, 32, Depth::Bits8);
    ASSERT_EQ(drawLine(&in, *suites, d, line(10, 20, 3, 2, 0, 3, 1.5), true), PF_Err_NONE);
    EXPECT_TRUE(samePixel(d.at<PF_Pixel>(13, 20), PF_Pixel{255, 255, 255, 255}));
    EXPECT_TRUE(samePixel(d.at<PF_Pixel>(14, 20), PF_Pixel{255, 255, 0, 0}));
    EXPECT_TRUE(samePixel(d.at<PF_Pixel>(14, 23), PF_Pixel{255, 255, 0, 0}));
    EXPECT_EQ(d.at<PF_Pixel>(15, 20).alpha, 0);
    EXPECT_EQ(d.at<PF_Pixel>(10, 24).alpha, 0);
}

// ------------------------------------------------------------ against Cairo
namespace {

// Cairo's coverage of the same rotated rectangle; its pixel centres sit at
// half coordinates.
std::vector<double> cairoBox(int w, int h, const LineDrawer::Pattern& p) {
    return cairoCoverage(w, h, [&](cairo_t* cr) {
        const double c = std::cos(p.phase), sn = std::sin(p.phase);
        const double L = p.halfLength, T = p.halfThickness;
        const double corners[4][2] = {{L, T}, {L, -T}, {-L, -T}, {-L, T}};
        for (const auto& k : corners)
            cairo_line_to(cr, p.x + 0.5 + k[0] * c - k[1] * sn, p.y + 0.5 + k[0] * sn + k[1] * c);
        cairo_close_path(cr);
        cairo_fill(cr);
    });
}

}  // namespace

// Exact a pixel away from every edge; edge pixels within 0.1 of Cairo's area
// coverage (ours is the product of two linear ramps, which rounds the
// corners); the total within 0.5 % + 1 pixel of Cairo's and of the area 4 L T.
TEST_F(LineTest, RotatedCoverageMatchesCairo) {
    const double cases[][5] = {
        // x, y, L, T, phase
        {60.3, 64.7, 40, 1.0, 0.3}, {64.1, 60.2, 50, 3.5, 0.785398}, {63.5, 64.5, 25.3, 12.2, 2.1},
        {61.8, 62.2, 45, 1.6, 1.3}, {64.0, 64.0, 30, 30, 0.05},      {62.2, 65.9, 55, 2.25, -0.6},
    };
    for (const auto& k : cases) {
        const int W = 128, H = 128;
        World w(W, H, Depth::Float, 3, 0, 0);
        const LineDrawer::Pattern p = line(k[0], k[1], k[2], k[3], k[4]);
        ASSERT_EQ(drawLine(&in, *suites, w, p), PF_Err_NONE);
        const std::vector<double> ref = cairoBox(W, H, p);
        const double c = std::cos(p.phase), s = std::sin(p.phase);
        const double L = p.halfLength, T = p.halfThickness, area = 4 * L * T;
        double ours = 0, theirs = 0, worstEdge = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const double a = w.at<PF_PixelFloat>(x, y).alpha, b = ref[std::size_t(y) * W + x];
                const double u = std::fabs((x - p.x) * c + (y - p.y) * s),
                             v = std::fabs(-(x - p.x) * s + (y - p.y) * c);
                ours += a;
                theirs += b;
                const bool farInside = u <= L - 1 && v <= T - 1, farOutside = u >= L + 1 || v >= T + 1;
                if (farInside || farOutside)
                    EXPECT_EQ(a, b) << "case " << &k - cases << " at " << x << "," << y;
                else
                    worstEdge = std::max(worstEdge, std::fabs(a - b));
            }
        EXPECT_LE(worstEdge, 0.1) << "case " << &k - cases;
        std::printf("case %d: worst edge pixel %.3f from Cairo, total %.2f against %.2f\n", int(&k - cases), worstEdge,
                    ours, theirs);
        EXPECT_NEAR(ours, theirs, theirs * 0.005 + 1.0) << "case " << &k - cases;
        EXPECT_NEAR(ours, area, area * 0.005 + 1.0) << "case " << &k - cases;
    }
}

// ------------------------------------------------------------ across depths
namespace {

std::vector<std::pair<LineDrawer::Pattern, bool>> scene() {
    std::vector<std::pair<LineDrawer::Pattern, bool>> s;
    auto add = [&](LineDrawer::Pattern p, Color fill, Color stroke, int mode, bool draft = false) {
        p.fill = fill;
        p.stroke = stroke;
        p.blendMode = mode;
        s.push_back({p, draft});
    };
    add(line(60.3, 52.6, 50.2, 6.1, 0.4), {1, 0.9f, 0.2f, 0.1f}, {1, 0, 0, 0}, 1);
    add(line(70.8, 50.1, 30.4, 8.3, 1.9, 3, 3.3, 0.8), {1, 0.1f, 0.5f, 0.9f}, {1, 0.9f, 0.9f, 0.2f}, 1);
    add(line(55.5, 75.2, 40.0, 4.0, -0.7, 2, 2.2, 0.9), {1, 0, 0, 0}, {1, 0.3f, 0.8f, 0.3f}, 1);
    add(line(30.1, 80.7, 24.6, 0.4, 2.6, 1, 0, 0.7), {1, 0.6f, 0.1f, 0.7f}, {1, 0, 0, 0}, 8);
    add(line(90.4, 20.3, 22.2, 5.5, 0.0, 3, 1.7, 1.0), {1, 0.2f, 0.2f, 0.2f}, {1, 1, 1, 1}, 7);
    add(line(40.0, 30.0, 35.0, 3.0, 1.1, 3, 2.0, 0.6), {1, 0.8f, 0.3f, 0.5f}, {1, 0.2f, 0.1f, 0.9f}, 12, true);
    return s;
}

}  // namespace

// One scene at the three depths: 16 bits within 0.1/255 of float, 8 bits
// within 4/255 (its weights lose up to about 3.5/255 where fill and stroke
// merge); colours compared premultiplied, as they appear.
TEST_F(LineTest, DepthsAgree) {
    const int W = 128, H = 112;
    World w8(W, H, Depth::Bits8), w16(W, H, Depth::Bits16), w32(W, H, Depth::Float);
    for (World* w : {&w8, &w16, &w32})
        for (const auto& [p, draft] : scene()) ASSERT_EQ(drawLine(&in, *suites, *w, p, draft), PF_Err_NONE);
    const DepthGap gap = depthGap(w8, w16, w32);
    EXPECT_LE(gap.bits16, 0.1);
    EXPECT_LE(gap.bits8, 4.0);
    std::printf("worst difference from float: 16 bits %.4f/255, 8 bits %.3f/255\n", gap.bits16, gap.bits8);
}

// ------------------------------------------------------------ row spans
// The drawer visits only the columns of each row where the coverage can be
// above 0; it must give exactly what blending every pixel of the region
// gives, alpha 0 included, with the distances and coverages as plainly
// stated, over any output and in every blend mode.
namespace {

template <class P>
void plainLine(World& w, const LineDrawer& d, bool draft) {
    using D = raster::Depth<P>;
    using raster::covOut;
    const LineDrawer::Pattern& p = *d.pattern;
    const double c = std::cos(p.phase), s = std::sin(p.phase);
    const double L = p.halfLength, T = p.halfThickness, Ls = L + p.strokeWidth, Ts = T + p.strokeWidth;
    const BlendFunc<P> f = blendFunction<P>(p.blendMode);
    P fill = D::fromColor(p.fill), stroke = D::fromColor(p.stroke);
    for (A_long row = d.region.top; row < d.region.bottom; ++row)
        for (A_long col = d.region.left; col < d.region.right; ++col) {
            const double dx = col - p.x, dy = p.y - row;
            const double u = std::fabs(c * dx - s * dy), v = std::fabs(s * dx + c * dy);
            P px;
            if (draft) {
                fill.alpha = stroke.alpha = D::alpha(p.opacity);
                if (p.fillMode == 1 && u <= L && v <= T)
                    px = fill;
                else if (p.fillMode == 2 && u <= Ls && v <= Ts && !(u < L && v < T))
                    px = stroke;
                else if (p.fillMode == 3 && v <= T && u <= L)
                    px = fill;
                else if (p.fillMode == 3 && v <= Ts && u <= Ls)
                    px = stroke;
                else
                    continue;
            } else if (p.fillMode == 1) {
                px = fill;
                px.alpha = D::alpha(covOut(u, L) * raster::clamp01(std::min(L, T)) * covOut(v, T) * p.opacity);
            } else if (p.fillMode == 2) {
                px = stroke;
                px.alpha = D::alpha((1 - covOut(u, L) * covOut(v, T)) * covOut(u, Ls) * covOut(v, Ts) * p.opacity);
            } else {
                fill.alpha = D::alpha(covOut(u, L) * covOut(v, T));
                stroke.alpha = D::alpha(covOut(u, Ls) * covOut(v, Ts));
                px = Blend::normal(stroke, fill);
                px.alpha = D::scaleAlpha(px.alpha, p.opacity);
            }
            w.at<P>(col, row) = f(px, w.at<P>(col, row));
        }
}

}  // namespace

// ------------------------------------------------------------ bands
namespace {

template <class P>
void paint(World& w) {
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const double v = ((x * 7 + y * 13) % 17) / 16.0;
            const Color c{static_cast<float>(v), 0.3f, static_cast<float>(1 - v), 0.6f};
            P px = raster::Depth<P>::fromColor(c);
            px.alpha = raster::Depth<P>::alpha(v);
            w.at<P>(x, y) = px;
        }
}

// paint, with a block of transparent pixels and one of opaque pixels, each
// wider than any vector group.
template <class P>
void paintWithRuns(World& w) {
    paint<P>(w);
    for (int y = 0; y < w.height(); ++y)
        for (int x = w.width() / 3; x < 2 * w.width() / 3; ++x)
            w.at<P>(x, y).alpha = y < w.height() / 2 ? 0 : raster::fullAlpha<P>();
}

}  // namespace

// Lines of every kind, in regions taller and shorter than the band count,
// over a painted output: bit-identical output for 1, 2, 3 and 7 bands.
TEST_F(LineTest, OutputIsTheSameForEveryBandCount) {
    std::vector<std::pair<LineDrawer::Pattern, bool>> lines;
    for (bool draft : {false, true}) {
        lines.push_back({line(65.2, 60.7, 70.3, 4.2, 1.2), draft});  // 120 rows or so
        lines.push_back({line(60.6, 50.1, 50.2, 6.5, 0.5, 3, 2.5, 0.8), draft});
        lines.push_back({line(30.3, 70.8, 40.7, 3.0, 2.8, 2, 1.5, 0.9), draft});
        lines.push_back({line(100.1, 90.4, 3.2, 0.4, 0.1, 3, 0.4), draft});  // 3 or 4 rows
    }
    int mode = 1;
    for (auto& [p, draft] : lines) {
        p.blendMode = mode;
        p.fill = {1, 0.07f * mode, 0.5f, 0.9f};
        mode = mode % 15 + 1;
    }
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        auto render = [&](int threads) {
            setThreads(threads);
            auto w = std::make_unique<World>(130, 125, depth, 3, 4, 2);
            raster::forDepth(static_cast<int>(depth), [&](auto pixel) { paint<decltype(pixel)>(*w); });
            for (const auto& [p, draft] : lines) EXPECT_EQ(drawLine(&in, *suites, *w, p, draft, threads), PF_Err_NONE);
            return w;
        };
        const auto reference = render(1);
        for (int threads : {2, 3, 7}) {
            const auto w = render(threads);
            EXPECT_TRUE(sameWorld(*w, *reference))
                << "depth " << static_cast<int>(depth) << ", " << threads << " bands";
            EXPECT_TRUE(w->paddingUntouched());
        }
    }
}

// Random lines of every kind (thin and thick, short and longer than the
// world, steep, flat and at any angle, every fill mode, hard-edged and
// anti-aliased, strokes inside the fill, every blend mode) over an output of
// every alpha, with runs of transparent and opaque pixels: each vector level
// the processor has gives, line after line, the bytes of the plain per-pixel
// rule.
TEST_F(LineTest, EveryVectorLevelGivesThePlainPerPixelResult) {
    struct Restore {
        ~Restore() { simd::setLevelCap(simd::Level::Avx512); }
    } restore;
    const int W = 300, H = 140;
    const double phases[] = {0.0, M_PI / 2, M_PI, -M_PI / 2, 1e-9, M_PI / 2 + 1e-12, M_PI / 4, 2e-3, M_PI / 2 - 3e-3};
    for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
        simd::setLevelCap(static_cast<simd::Level>(level));
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            uint32_t s = 4242;
            auto next = [&] {
                s ^= s << 13, s ^= s >> 17, s ^= s << 5;
                return s / 4294967296.0;
            };
            World fast(W, H, depth), plain(W, H, depth);
            for (World* w : {&fast, &plain})
                raster::forDepth(static_cast<int>(depth), [&](auto px) { paintWithRuns<decltype(px)>(*w); });
            for (int k = 0; k < 120; ++k) {
                double x = next() * (W + 40) - 20, y = next() * (H + 40) - 20;
                double L = next() * 60, T = next() * 8;
                if (k % 5 == 1) L = 100 + next() * 300;  // long, often past the world's edges
                if (k % 7 == 2) T = 10 + next() * 30;    // thick
                if (k % 11 == 0) T = 0.2 * next();       // thinner than a pixel
                if (k % 9 == 4) L = next();              // shorter than a pixel
                if (k % 17 == 0) L = 1e7;                // far beyond the output
                double phase = k % 3 == 0 ? phases[k / 3 % 9] : next() * 9 - 3;
                if (k % 6 == 5) {  // axis-aligned on whole pixels: distances exactly at the bounds
                    x = std::round(x), y = std::round(y), L = std::round(L), T = std::round(T);
                    phase = k % 12 == 5 ? 0.0 : M_PI;
                }
                const double stroke = k % 6 == 5 ? std::round(next() * 4) : next() * 4;
                LineDrawer::Pattern p = line(x, y, L, T, phase, 1 + k % 3, stroke, 0.3 + 0.9 * next());
                p.fill = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
                p.stroke = {1, static_cast<float>(next()), static_cast<float>(next()), static_cast<float>(next())};
                p.blendMode = 1 + k % 15;
                if (k % 13 == 0) p.strokeWidth = -next();  // a stroke inside the fill
                const bool draft = k % 4 >= 2;
                ASSERT_EQ(drawLine(&in, *suites, fast, p, draft), PF_Err_NONE);
                LineDrawer d(&in, *suites, draft, plain.get(), static_cast<int>(depth), p);
                if (d.doRender()) {
                    if (depth == Depth::Bits8) plainLine<PF_Pixel>(plain, d, draft);
                    if (depth == Depth::Bits16) plainLine<PF_Pixel16>(plain, d, draft);
                    if (depth == Depth::Float) plainLine<PF_PixelFloat>(plain, d, draft);
                }
                ASSERT_TRUE(sameWorld(fast, plain))
                    << "level " << level << ", depth " << static_cast<int>(depth) << ", line " << k;
            }
        }
    }
}

// The interior runs of wide rows: every length from one vector group to well
// past two, so the part after the whole groups takes every length, with the
// columns beneath it transparent, opaque, a lone partial pixel in a clear
// stretch and stretches of partial pixels; opaque and translucent fills in
// the mode that keeps an opaque top and in one that does not. Each vector
// level gives the bytes of the plain per-pixel rule.
namespace {

template <class P>
void paintStretches(World& w) {
    paint<P>(w);
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const int k = (x + 2 * y) % 12;
            if (k < 4 || k == 10) w.at<P>(x, y).alpha = 0;
            if (k >= 4 && k < 7) w.at<P>(x, y).alpha = raster::fullAlpha<P>();
        }
}

}  // namespace

TEST_F(LineTest, InteriorRunsOfEveryLengthOverMixedOutputGiveThePlainPerPixelResult) {
    struct Restore {
        ~Restore() { simd::setLevelCap(simd::Level::Avx512); }
    } restore;
    struct Case {
        double phase, opacity;
        A_long blendMode;
    };
    const Case cases[] = {{0.0, 1.0, 1}, {0.03, 1.0, 1}, {M_PI / 2 + 0.02, 1.0, 1}, {0.0, 0.6, 1}, {0.05, 1.0, 5}};
    for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
        simd::setLevelCap(static_cast<simd::Level>(level));
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float})
            for (const Case& c : cases) {
                World fast(200, 120, depth), plain(200, 120, depth);
                for (World* w : {&fast, &plain})
                    raster::forDepth(static_cast<int>(depth), [&](auto px) { paintStretches<decltype(px)>(*w); });
                for (int k = 0; k < 72; ++k) {
                    // Interior runs of about 2 L - 1 columns, 31 to 102: along the
                    // axis, or across it for the axis near the vertical.
                    const bool across = c.phase > 1.0;
                    const double L = 16.0 + 0.5 * k, x = 99.3 + 0.1 * (k % 7), y = 7.0 + 1.5 * (k % 70);
                    LineDrawer::Pattern p = line(x, y, across ? 2.5 : L, across ? L : 2.5, c.phase, 1, 0.0, c.opacity);
                    p.fill = {1, 0.2f, 0.7f, 0.4f};
                    p.blendMode = c.blendMode;
                    ASSERT_EQ(drawLine(&in, *suites, fast, p), PF_Err_NONE);
                    LineDrawer d(&in, *suites, 0, plain.get(), static_cast<int>(depth), p);
                    if (d.doRender()) {
                        if (depth == Depth::Bits8) plainLine<PF_Pixel>(plain, d, false);
                        if (depth == Depth::Bits16) plainLine<PF_Pixel16>(plain, d, false);
                        if (depth == Depth::Float) plainLine<PF_PixelFloat>(plain, d, false);
                    }
                    ASSERT_TRUE(sameWorld(fast, plain)) << "level " << level << ", depth " << static_cast<int>(depth)
                                                        << ", phase " << c.phase << ", line " << k;
                }
            }
    }
}

// Axes on the grid and a hair off it, down to a sine whose reciprocal
// overflows, with distances landing exactly on the interior's bounds or just
// past them: the interior runs, taken from inside the rows without trimming,
// hold only pixels the per-pixel rule gives the interior's pixel, at every
// vector level, over transparent, opaque and partial output.
TEST_F(LineTest, InteriorRunsNearTheAxesStopAtExactBounds) {
    struct Restore {
        ~Restore() { simd::setLevelCap(simd::Level::Avx512); }
    } restore;
    const double phases[] = {0.0, 5e-324, 1e-300, 1e-17, -1e-13, M_PI / 2 + 1e-16, M_PI / 2, M_PI};
    struct Case {
        double x, y, L, T;
    };
    // Bounds on pixel centres, and bounds past them by more than half a
    // pixel, where a run one column too long would take a pixel of partial
    // coverage; bounds a hair from a centre, where the float alpha of the
    // column beyond is a hair above 0 (outer edge) or below 1 (interior).
    const Case cases[] = {{32, 24, 20.5, 6.5},
                          {32.5, 24, 20, 6},
                          {31, 23.5, 9.5, 12.5},
                          {32, 24, 0.75, 20.5},
                          {32, 24, 21.2, 10.2},
                          {31.5, 23, 14.3, 5.9},
                          {32, 24, 20.5 + 1e-8, 6.5 + 1e-8},
                          {32, 24, 20.5 - 5e-8, 6.5 - 5e-8}};
    for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
        simd::setLevelCap(static_cast<simd::Level>(level));
        for (Depth depth : {Depth::Bits8, Depth::Float}) {
            World fast(64, 48, depth), plain(64, 48, depth);
            for (World* w : {&fast, &plain})
                raster::forDepth(static_cast<int>(depth), [&](auto px) { paintWithRuns<decltype(px)>(*w); });
            int k = 0;
            for (double phase : phases)
                for (const Case& c : cases)
                    for (int mode = 1; mode <= 3; ++mode, ++k) {
                        LineDrawer::Pattern p = line(c.x, c.y, c.L, c.T, phase, mode, 1.0, 0.85);
                        p.fill = {1, 0.2f, 0.6f, 0.9f};
                        p.blendMode = 1 + k % 15;
                        ASSERT_EQ(drawLine(&in, *suites, fast, p), PF_Err_NONE);
                        LineDrawer d(&in, *suites, 0, plain.get(), static_cast<int>(depth), p);
                        if (d.doRender()) {
                            if (depth == Depth::Bits8) plainLine<PF_Pixel>(plain, d, false);
                            if (depth == Depth::Float) plainLine<PF_PixelFloat>(plain, d, false);
                        }
                        ASSERT_TRUE(sameWorld(fast, plain))
                            << "level " << level << ", depth " << static_cast<int>(depth) << ", phase " << phase
                            << ", case " << (&c - cases) << ", mode " << mode;
                    }
        }
    }
}

// ------------------------------------------------------------ stacking and edges
// A later element goes beneath what is drawn: an opaque red bar keeps its
// pixels where a blue bar crossing it is drawn after it, and its
// semi-transparent edge shows the blue beneath.
TEST_F(LineTest, LaterElementsGoBeneath) {
    World w(60, 40, Depth::Bits8);
    LineDrawer::Pattern red = line(30, 20, 25, 4.25), blue = line(30, 20, 25, 4, M_PI / 2);
    red.fill = {1, 1, 0, 0};
    blue.fill = {1, 0, 0, 1};
    drawLine(&in, *suites, w, red);
    drawLine(&in, *suites, w, blue);
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(30, 20), PF_Pixel{255, 255, 0, 0}));  // in both
    EXPECT_TRUE(samePixel(w.at<PF_Pixel>(30, 30), PF_Pixel{255, 0, 0, 255}));  // blue only
    const PF_Pixel edge = w.at<PF_Pixel>(30, 24);                              // red covers 0.75 of it
    EXPECT_GE(edge.alpha, 254);                                                // 8-bit weights lose a little
    EXPECT_GT(edge.red, 180);
    EXPECT_GT(edge.blue, 50);
}

TEST_F(LineTest, DegenerateInput) {
    // A line thinner or shorter than a pixel fades: T = 0.25 gives at most a
    // quarter of the opacity; length or thickness 0 draws alpha 0, which
    // leaves the output as it is.
    World w(40, 40, Depth::Float);
    drawLine(&in, *suites, w, line(20, 20, 10, 0.25, 0, 1, 0, 0.8));
    EXPECT_NEAR(w.at<PF_PixelFloat>(20, 20).alpha, 0.25 * 0.75 * 0.8, 1e-7);  // v = 0: 0.75 covered
    EXPECT_NEAR(w.at<PF_PixelFloat>(20, 21).alpha, 0.25 * 0.0 * 0.8, 1e-7);
    World z(40, 40, Depth::Bits16);
    z.fill(PF_Pixel16{0, 9, 9, 9});
    for (const LineDrawer::Pattern& p : {line(20, 20, 0, 5), line(20, 20, 5, 0), line(20, 20, -3, 5)})
        drawLine(&in, *suites, z, p);
    for (int x = 0; x < 40; ++x) EXPECT_TRUE(samePixel(z.at<PF_Pixel16>(x, 20), PF_Pixel16{0, 9, 9, 9})) << x;

    // A fill mode outside 1 ... 3 draws nothing in either quality; nor does
    // an unknown depth.
    for (int mode : {0, 4, -1})
        for (bool draft : {false, true}) {
            World m(40, 40, Depth::Bits8);
            drawLine(&in, *suites, m, line(20, 20, 10, 5, 0.3, mode, 2), draft);
            EXPECT_EQ(m.at<PF_Pixel>(20, 20).alpha, 0) << mode;
        }
    World u(40, 40, Depth::Bits8);
    const LineDrawer::Pattern p = line(20, 20, 10, 5);
    LineDrawer d(&in, *suites, 0, u.get(), 3, p);
    ASSERT_TRUE(d.doRender());
    EXPECT_EQ(d(0, 1), PF_Err_NONE);
    EXPECT_EQ(u.at<PF_Pixel>(20, 20).alpha, 0);

    // Opacity 0 (also in draft) and NaN opacity draw nothing.
    for (double opacity : {0.0, kNaN})
        for (bool draft : {false, true}) {
            World o(40, 40, Depth::Bits8);
            drawLine(&in, *suites, o, line(20, 20, 10, 5, 0.3, 3, 2, opacity), draft);
            EXPECT_EQ(o.at<PF_Pixel>(20, 20).alpha, 0);
        }
}

// Popup values 0 and 16 blend as normal.
TEST_F(LineTest, BlendModeFallback) {
    World ref(30, 30, Depth::Bits16);
    ref.fill(PF_Pixel16{20000, 1000, 9000, 30000});
    LineDrawer::Pattern p = line(15, 15, 12, 3, 0.7, 3, 2, 0.6);
    drawLine(&in, *suites, ref, p);
    for (int mode : {0, 16, -7}) {
        World w(30, 30, Depth::Bits16);
        w.fill(PF_Pixel16{20000, 1000, 9000, 30000});
        p.blendMode = mode;
        drawLine(&in, *suites, w, p);
        EXPECT_TRUE(sameWorld(w, ref)) << mode;
    }
}

// Clipped at every edge of a padded world: nothing lands in the padding.
TEST_F(LineTest, ClippedDrawingStaysInTheWorld) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World w(50, 30, depth, 4, 3, -8);
        for (auto [x, y] : {std::pair<double, double>{0, 0}, {49.6, 29.4}, {-3, 15}, {52, 10}})
            for (bool draft : {false, true})
                for (double phase : {0.0, 0.9}) drawLine(&in, *suites, w, line(x, y, 20, 3, phase, 3, 2.5), draft);
        EXPECT_TRUE(w.paddingUntouched()) << static_cast<int>(depth);
    }
}

// Lines that cross each edge and corner of the output, miss it while their
// box meets it, lie wholly outside, or reach in from far away with huge
// lengths: at every depth and vector level, in both qualities and every fill
// mode, the output is what the plain per-pixel rule gives over the whole
// world (not just the drawer's region), line after line, over an output of
// every alpha. A line beyond any drawable extent draws nothing.
TEST_F(LineTest, LinesAcrossTheOutputsEdgesGiveThePlainPerPixelResultEverywhere) {
    struct Restore {
        ~Restore() { simd::setLevelCap(simd::Level::Avx512); }
    } restore;
    const int W = 70, H = 50;
    struct Case {
        double x, y, L, T, phase;
        bool drawable = true;
    };
    const Case cases[] = {
        {-9.3, 24.6, 30.2, 3.4, 0.35},             // across the left edge
        {W + 8.7, 20.2, 28.9, 5.1, 2.9},           // the right edge
        {33.4, -7.8, 26.3, 2.6, 1.3},              // the top
        {40.1, H + 6.4, 25.7, 7.2, -1.9},          // the bottom
        {-4.6, -5.2, 22.4, 3.3, M_PI / 4},         // top left corner
        {W + 3.1, -4.4, 24.8, 2.2, 3 * M_PI / 4},  // top right
        {-2.7, H + 3.9, 20.6, 4.7, -M_PI / 4},     // bottom left
        {W + 5.3, H + 2.8, 26.1, 1.4, 0.83},       // bottom right
        {-8.2, -8.6, 25.3, 1.2, 3 * M_PI / 4},     // box meets the corner, line misses
        {-31.5, 25.2, 12.3, 4.1, 0.2},             // wholly outside
        {35.6, H + 40.3, 30.4, 6.6, 0.1},          // wholly outside below
        {-1e6, 24.3, 1e6 + 35.7, 3.3, 0.0},        // far away, along a row
        {36.2, -5e8, 5e8 + 20.6, 4.4, M_PI / 2},   // far away, down a column
        {-3e7, -3e7 + 3.7, 4.3e7, 2.8, M_PI / 4},  // far away, through a corner
        {2e9, 25.1, 3e9, 6.1, 1e-9},               // beyond every pixel, nearly along a row
        {35.2, 25.3, 1e13, 3.2, 0.4, false},       // beyond any drawable extent
    };
    for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
        simd::setLevelCap(static_cast<simd::Level>(level));
        for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
            World fast(W, H, depth), plain(W, H, depth);
            for (World* w : {&fast, &plain})
                raster::forDepth(static_cast<int>(depth), [&](auto px) { paintWithRuns<decltype(px)>(*w); });
            int k = 0;
            for (const Case& c : cases)
                for (int mode = 1; mode <= 3; ++mode)
                    for (bool draft : {false, true}) {
                        LineDrawer::Pattern p = line(c.x, c.y, c.L, c.T, c.phase, mode, 1.7, 0.85);
                        p.fill = {1, 0.9f, 0.2f, 0.4f};
                        p.blendMode = 1 + k++ % 15;
                        ASSERT_EQ(drawLine(&in, *suites, fast, p, draft), PF_Err_NONE);
                        LineDrawer d(&in, *suites, draft, plain.get(), static_cast<int>(depth), p);
                        if (c.drawable) d.region = {0, 0, W, H};
                        raster::forDepth(static_cast<int>(depth),
                                         [&](auto px) { plainLine<decltype(px)>(plain, d, draft); });
                        ASSERT_TRUE(sameWorld(fast, plain))
                            << "level " << level << ", depth " << static_cast<int>(depth) << ", line at " << c.x << ", "
                            << c.y << ", mode " << mode << (draft ? ", draft" : "");
                    }
        }
    }
}

// Told which columns are clear, lines give the bytes of the drawing that reads
// every pixel and leave the record true, among opaque discs whose known-opaque
// columns the lines must forget where they write, and blocks of other
// drawings: every kind of line (wide and narrow, thick and hair-thin, rotated
// and axis-aligned, every fill mode, draft, blend modes) at every level and
// depth.
TEST_F(LineTest, KnownClearColumnsGiveTheBytesOfTheReadingDrawing) {
    overlappingWithTheRecord(777, 5, [&](int k, Uniform& next, World& told, World& plain, raster::KnownClear& known) {
        const int W = told.width(), H = told.height(), threads = 1 + k % 4;
        const int depth = static_cast<int>(told.depth());
        auto drawTold = [&](auto& d) {
            d.known = &known;
            // Bands over disjoint rows share the record.
            if (d.doRender()) {
                ASSERT_EQ(iterateGeneric(&in, *suites, &d, threads), PF_Err_NONE);
            }
        };
        // One draw of `next` a statement: the order of a call's arguments
        // is the compiler's.
        if (k % 3 == 0) {
            // Wholly within the columns and wider than the record's row
            // threshold, so that the first keeps opaque columns.
            const double x = 60 + next() * (W - 120), y = next() * H;
            CircleDrawer::Pattern p = circle(x, y, 50 + next() * 90);
            ASSERT_EQ(drawCircle(&in, *suites, plain, p), PF_Err_NONE);
            CircleDrawer d(&in, *suites, 0, told.get(), depth, p);
            drawTold(d);
            return;
        }
        const int mode = 1 + k % 3;
        const double x = next() * (W + 40) - 20, y = next() * (H + 40) - 20, length = 1 + next() * 150;
        const double thickness = k % 4 == 0 ? next() * 2 : next() * 45, phase = k % 5 == 0 ? 0.0 : next() * 6.3;
        const double stroke = mode == 1 ? 0.0 : next() * 8, opacity = k % 2 == 0 ? 1.0 : 0.2 + 0.8 * next();
        LineDrawer::Pattern p = line(x, y, length, thickness, phase, mode, stroke, opacity);
        p.fill = {k % 5 == 1 ? 0.6f : 1.0f, static_cast<float>(next()), static_cast<float>(next()),
                  static_cast<float>(next())};
        p.blendMode = k % 4 == 1 ? 1 + static_cast<int>(next() * 15) : 1;
        const bool draft = k % 7 == 6;
        ASSERT_EQ(drawLine(&in, *suites, plain, p, draft), PF_Err_NONE);
        LineDrawer d(&in, *suites, draft ? 1 : 0, told.get(), depth, p);
        drawTold(d);
    });
}

// The record is taken at its word: a pixel it calls clear under a wide line's
// interior is stored over without being read (the reading drawing would keep
// an opaque one); outside the interior, and where no record is given, it is
// blended beneath as always.
TEST_F(LineTest, KnownClearInteriorIsStoredWithoutReading) {
    atEveryLevel([&] {
        forEachDepth(300, 20, [&](auto pixel, World& w) {
            using P = decltype(pixel);
            using D = raster::Depth<P>;
            for (bool told : {false, true}) {
                P planted = D::fromColor(Color{1.0f, 0.0f, 1.0f, 0.0f});
                P* row = w.row<P>(10);
                for (int x = 0; x < 300; ++x) row[x] = P{};
                row[20] = row[150] = planted;  // 20: beyond the line's end; 150: inside
                raster::KnownClear known;
                known.reset(0, 20);
                LineDrawer::Pattern p = line(150.5, 10.5, 120.0, 4.0);
                p.fill = Color{1.0f, 0.0f, 0.0f, 1.0f};
                LineDrawer d(&in, *suites, 0, w.get(), static_cast<int>(w.depth()), p);
                if (told) d.known = &known;
                ASSERT_TRUE(d.doRender());
                ASSERT_EQ(iterateGeneric(&in, *suites, &d, 1), PF_Err_NONE);
                const P fill = D::fromColor(p.fill);
                if (told) {
                    EXPECT_EQ(std::memcmp(&row[150], &fill, sizeof(P)), 0);
                    // The hull now spans the line's columns of that row.
                    EXPECT_LE(known.hull(10).lo, 31);
                    EXPECT_GE(known.hull(10).hi, 270);
                } else {
                    EXPECT_NE(row[150].green, fill.green);
                }
                EXPECT_EQ(std::memcmp(&row[20], &planted, sizeof(P)), 0);
            }
        });
    });
}
