// The image rasteriser: the identity transform copies the source exactly at
// every depth, rotation and scale against Cairo, the sampler chosen by
// quality and shrink, the inclusive window, the per-pixel colour steps, band
// invariance and the guards against degenerate geometry.
#include "RenderFixture.h"
#include "Sampling.h"
#include "VemaroLayerDrawer.h"
#include "VemaroRenderHelpers.h"

#include <cairo.h>

#include <cmath>
#include <limits>
#include <vector>

using hostsim::Depth;
using hostsim::World;

using LayerDrawerTest = RenderFixture;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A smooth, opaque, colourful source: red across, green down, blue both ways.
template <class P>
void paintGradient(World& w) {
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const double r = double(x) / (w.width() - 1), g = double(y) / (w.height() - 1), b = 0.5 * (r + 1 - g);
            if constexpr (std::is_same_v<P, PF_PixelFloat>) {
                w.at<P>(x, y) = {1.0f, float(r), float(g), float(b)};
            } else {
                const double full = std::is_same_v<P, PF_Pixel> ? 255 : 32768;
                using C = decltype(P{}.alpha);
                w.at<P>(x, y) = {C(full), C(r * full + 0.5), C(g * full + 0.5), C(b * full + 0.5)};
            }
        }
}

void paint(World& w) {
    switch (w.depth()) {
        case Depth::Bits8: paintGradient<PF_Pixel>(w); break;
        case Depth::Bits16: paintGradient<PF_Pixel16>(w); break;
        case Depth::Float: paintGradient<PF_PixelFloat>(w); break;
    }
}

// The source at its own size with its centre on (x, y).
LayerDrawer::Pattern image(World& src, double x, double y) {
    LayerDrawer::Pattern p;
    p.source = src.get();
    p.boundingBox = 1;
    p.x = x;
    p.y = y;
    p.size = src.width();
    return p;
}

PF_Err drawLayer(PF_InData* in, AEGP_SuiteHandler& suites, World& out, LayerDrawer::Pattern& p, bool draft = false,
                 int threads = 1) {
    LayerDrawer d(in, suites, draft ? 1 : 0, out.get(), static_cast<int>(out.depth()), p);
    if (!d.doRender()) return PF_Err_NONE;
    return iterateGeneric(in, suites, &d, threads);
}

template <class P>
bool samePixels(const World& a, int ax, int ay, const World& b, int bx, int by) {
    return samePixel(a.at<P>(ax, ay), b.at<P>(bx, by));
}

}  // namespace

// The source lands pixel for pixel where its centre puts it; nothing else is
// touched. Sampling at whole pixel centres reads the pixels themselves.
TEST_F(LayerDrawerTest, IdentityCopiesTheSourceAtEveryDepthAndQuality) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        for (bool draft : {false, true}) {
            World src(12, 8, depth, 2);
            paint(src);
            World out(20, 14, depth);
            LayerDrawer::Pattern p = image(src, 6 + 3, 4 + 2);  // pixel (u, v) at (u + 3, v + 2)
            ASSERT_EQ(drawLayer(&in, *suites, out, p, draft), PF_Err_NONE);
            EXPECT_EQ(p.rect.left, -1);  // computed from the opaque source, grown by one
            EXPECT_EQ(p.rect.bottom, 8);
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x) {
                    const int u = x - 3, v = y - 2;
                    const bool inside = u >= 0 && u < 12 && v >= 0 && v < 8;
                    bool ok = true;
                    if (depth == Depth::Bits8)
                        ok = inside ? samePixels<PF_Pixel>(out, x, y, src, u, v) : out.at<PF_Pixel>(x, y).alpha == 0;
                    if (depth == Depth::Bits16)
                        ok =
                            inside ? samePixels<PF_Pixel16>(out, x, y, src, u, v) : out.at<PF_Pixel16>(x, y).alpha == 0;
                    if (depth == Depth::Float)
                        ok = inside ? samePixels<PF_PixelFloat>(out, x, y, src, u, v)
                                    : out.at<PF_PixelFloat>(x, y).alpha == 0;
                    ASSERT_TRUE(ok) << "depth " << int(depth) << " draft " << draft << " at " << x << "," << y;
                }
            EXPECT_TRUE(out.paddingUntouched());
        }
    }
}

// ------------------------------------------------------------ against Cairo
namespace {

// Cairo's bilinear drawing of the same 8-bit source through the same
// transform. Cairo's pixel centres lie at half coordinates, ours at whole.
std::vector<uint32_t> cairoDraw(const World& src, int w, int h, const LayerDrawer::Pattern& p) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, src.width(), src.height());
    const int sstride = cairo_image_surface_get_stride(s) / 4;
    uint32_t* sd = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const PF_Pixel& q = src.at<PF_Pixel>(x, y);  // opaque: premultiplied is the same
            sd[y * sstride + x] = uint32_t(q.alpha) << 24 | uint32_t(q.red) << 16 | uint32_t(q.green) << 8 | q.blue;
        }
    cairo_surface_mark_dirty(s);
    cairo_surface_t* d = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(d);
    const double k = p.size / src.width();
    cairo_translate(cr, p.x + 0.5, p.y + 0.5);
    cairo_rotate(cr, p.phase);
    cairo_scale(cr, k * p.widthScale, k * p.heightScale);
    cairo_translate(cr, -(p.anchor.x + src.width() / 2.0) - 0.5, -(p.anchor.y + src.height() / 2.0) - 0.5);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_surface_flush(d);
    const int dstride = cairo_image_surface_get_stride(d) / 4;
    const uint32_t* dd = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(d));
    std::vector<uint32_t> px(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[std::size_t(y) * w + x] = dd[y * dstride + x];
    cairo_destroy(cr);
    cairo_surface_destroy(d);
    cairo_surface_destroy(s);
    return px;
}

}  // namespace

// Away from the image's edges (where the two differ in how they cover) every
// colour channel agrees with Cairo's to within 3 levels: the fixed-point
// rotation and scale err by far less than a pixel.
TEST_F(LayerDrawerTest, RotatedAndScaledMatchesCairo) {
    struct Case {
        double phase, size, widthScale, heightScale, ax, ay;
    };
    const Case cases[] = {
        {0.5236, 60, 1, 1, 0, 0},       // 30 degrees, enlarged 1.5 times
        {-1.2, 40, 1.6, 1.1, 3.5, -2},  // uneven scales and an anchor
        {2.8, 100, 1, 1, 0, 0},         // past a quarter turn, 2.5 times
    };
    for (const Case& c : cases) {
        World src(40, 30, Depth::Bits8, 1);
        paint(src);
        World out(120, 110, Depth::Bits8);
        LayerDrawer::Pattern p = image(src, 58.3, 52.6);
        p.phase = c.phase;
        p.size = c.size;
        p.widthScale = c.widthScale;
        p.heightScale = c.heightScale;
        p.anchor = {c.ax, c.ay};
        ASSERT_EQ(drawLayer(&in, *suites, out, p), PF_Err_NONE);
        const std::vector<uint32_t> ref = cairoDraw(src, out.width(), out.height(), p);
        int compared = 0, worst = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const uint32_t r = ref[std::size_t(y) * out.width() + x];
                const PF_Pixel& o = out.at<PF_Pixel>(x, y);
                if ((r >> 24) != 255 || o.alpha != 255) {
                    // Where Cairo sees nothing of the image we see at most
                    // the faint rim of the bilinear edge.
                    if ((r >> 24) == 0) {
                        EXPECT_LT(o.alpha, 32) << x << "," << y;
                    }
                    continue;
                }
                ++compared;
                worst = std::max({worst, std::abs(int((r >> 16) & 255) - o.red),
                                  std::abs(int((r >> 8) & 255) - o.green), std::abs(int(r & 255) - o.blue)});
            }
        EXPECT_GT(compared, 500);
        EXPECT_LE(worst, 3) << "phase " << c.phase;
    }
}

// ------------------------------------------------------------ sampling
TEST_F(LayerDrawerTest, SamplerByQualityAndShrink) {
    auto& sampling = host.get<hostsim::Sampling>();
    struct Case {
        const char* what;
        double size;
        bool draft;
        hostsim::Sampling::Kind kind;
        PF_Fixed radius;
    };
    const Case cases[] = {
        {"enlarged", 400, false, hostsim::Sampling::Kind::Subpixel, 0},
        {"a tenth", 20, false, hostsim::Sampling::Kind::Area, 5 * 65536},
        {"a hundredth: the radius is capped", 2, false, hostsim::Sampling::Kind::Area, 30 * 65536},
        {"draft", 20, true, hostsim::Sampling::Kind::Nearest, 0},
    };
    for (const Case& c : cases) {
        World src(200, 100, Depth::Bits8);
        paint(src);
        World out(300, 200, Depth::Bits8);
        LayerDrawer::Pattern p = image(src, 150, 100);
        p.size = c.size;
        sampling.logRequests(true);
        sampling.clearRequests();
        ASSERT_EQ(drawLayer(&in, *suites, out, p, c.draft), PF_Err_NONE);
        const auto req = sampling.requests();
        ASSERT_FALSE(req.empty()) << c.what;
        for (const auto& r : req) {
            ASSERT_EQ(r.kind, c.kind) << c.what;
            ASSERT_EQ(r.xRadius, c.radius) << c.what;
            ASSERT_EQ(r.yRadius, c.radius) << c.what;
        }
    }
}

// The window is inclusive: the source positions on the rect's right and
// bottom ends are drawn, one pixel beyond them not. An area sampler's window
// grows by its radius.
TEST_F(LayerDrawerTest, WindowEndsAreInclusive) {
    World src(10, 10, Depth::Bits8);
    src.fill(PF_Pixel{255, 10, 20, 30});
    World out(20, 20, Depth::Bits8);
    LayerDrawer::Pattern p = image(src, 10, 10);  // source (u, v) at (u + 5, v + 5)
    p.rectKnown = 1;
    p.rect = {2, 3, 5, 7};
    ASSERT_EQ(drawLayer(&in, *suites, out, p), PF_Err_NONE);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 7 && x <= 10 && y >= 8 && y <= 12;
            EXPECT_EQ(out.at<PF_Pixel>(x, y).alpha, inside ? 255 : 0) << x << "," << y;
        }
}

// ------------------------------------------------------------ pixel values
namespace {
LayerDrawer::Tone tone(int mode, Color c, bool luma = false) {
    LayerDrawer::Tone t;
    t.mode = mode;
    t.color = c;
    t.preserveLuma = luma;
    t.highlight = {1, 1, 1, 1};
    t.shadow = {1, 0, 0, 0};
    return t;
}
}  // namespace

// One source pixel through fill, tones and opacity, against hand-computed
// values.
TEST_F(LayerDrawerTest, ColourStepsPerPixel) {
    struct Case {
        const char* what;
        PF_Pixel source;
        double opacity;
        bool hasFill;
        Color fill;
        std::vector<LayerDrawer::Tone> tones;
        PF_Pixel want;
    };
    const Color identity{1, 0, 1, 1};
    const Case cases[] = {
        {"opacity truncates without tones", {255, 10, 20, 30}, 0.999, false, {}, {}, {254, 10, 20, 30}},
        // The product is a float one: 90 * 0.7f rounds to 63.0f (in double it
        // is 62.99999999999999 and would truncate to 62).
        {"alpha times opacity in float", {90, 10, 20, 30}, 0.7, false, {}, {}, {63, 10, 20, 30}},
        {"a tone rounds", {255, 10, 20, 30}, 0.999, false, {}, {tone(6, identity)}, {255, 10, 20, 30}},
        // 200 * 128 / 255 = 100.39: fill alpha 0.5 converts to 128.
        {"fill", {200, 10, 20, 30}, 1.0, true, {0.5f, 1.0f, 0.0f, 0.2f}, {}, {100, 255, 0, 51}},
        // Tint halves each channel: 200 -> 0.392 -> 100.
        {"tint", {255, 200, 100, 50}, 1.0, false, {}, {tone(2, {1, 0.5f, 0.5f, 0.5f})}, {255, 100, 50, 25}},
        // The tone's alpha multiplies: 255 * 0.5 = 127.5 -> 128.
        {"tone alpha", {255, 200, 100, 50}, 1.0, false, {}, {tone(1, {0.5f, 0, 1, 0})}, {128, 0, 255, 0}},
        // Luma 0.5 gives the mid colour; luma of (255, 0, 0) is 0.299 < 0.5:
        // shadow black + mid * 0.598 -> (0.598 * 0.4) * 255 = 60.996 -> 61.
        {"tritone at luma 0.299",
         {255, 255, 0, 0},
         1.0,
         false,
         {},
         {tone(3, {1, 0.4f, 0.4f, 0.4f}, true)},
         {255, 61, 61, 61}},
        {"hue to 120 degrees", {255, 255, 0, 0}, 1.0, false, {}, {tone(4, {1, 120, 0, 0})}, {255, 0, 255, 0}},
        {"hls adds", {255, 255, 0, 0}, 1.0, false, {}, {tone(5, {1, 240, 0, 0})}, {255, 0, 0, 255}},
        {"modifier scales", {255, 255, 0, 0}, 1.0, false, {}, {tone(6, {1, 0, 1, 0})}, {255, 128, 128, 128}},
        {"fill then tint",
         {255, 1, 2, 3},
         1.0,
         true,
         {1, 1, 1, 1},
         {tone(2, {1, 0.2f, 0.4f, 0.6f})},
         {255, 51, 102, 153}},
    };
    for (const Case& c : cases) {
        World src(1, 1, Depth::Bits8);
        src.at<PF_Pixel>(0, 0) = c.source;
        World out(3, 3, Depth::Bits8);
        LayerDrawer::Pattern p = image(src, 1.5, 1.5);  // the pixel on (1, 1)
        p.opacity = c.opacity;
        p.hasFill = c.hasFill;
        p.fill = c.fill;
        p.toneCount = static_cast<A_long>(c.tones.size());
        for (std::size_t k = 0; k < c.tones.size(); ++k) p.tones[k] = c.tones[k];
        ASSERT_EQ(drawLayer(&in, *suites, out, p, true), PF_Err_NONE);
        const PF_Pixel& o = out.at<PF_Pixel>(1, 1);
        EXPECT_TRUE(samePixel(o, c.want))
            << c.what << ": " << int(o.alpha) << " " << int(o.red) << " " << int(o.green) << " " << int(o.blue);
    }
}

// At 32 bits a tint may push colours above 1 and the opacity may push alpha
// above 1 without tones; both are written as they are. With tones alpha is
// clamped.
TEST_F(LayerDrawerTest, FloatKeepsColoursUnclamped) {
    World src(1, 1, Depth::Float);
    src.at<PF_PixelFloat>(0, 0) = {1.0f, 0.8f, 0.5f, 0.25f};
    World out(3, 3, Depth::Float);
    LayerDrawer::Pattern p = image(src, 1.5, 1.5);
    p.opacity = 1.5;
    p.toneCount = 1;
    p.tones[0] = tone(2, {1, 2, 1, 4});
    ASSERT_EQ(drawLayer(&in, *suites, out, p, true), PF_Err_NONE);
    const PF_PixelFloat& o = out.at<PF_PixelFloat>(1, 1);
    EXPECT_FLOAT_EQ(o.alpha, 1.0f);
    EXPECT_FLOAT_EQ(o.red, 1.6f);
    EXPECT_FLOAT_EQ(o.blue, 1.0f);
    World plain(3, 3, Depth::Float);
    p.toneCount = 0;
    ASSERT_EQ(drawLayer(&in, *suites, plain, p, true), PF_Err_NONE);
    EXPECT_FLOAT_EQ(plain.at<PF_PixelFloat>(1, 1).alpha, 1.5f);
}

// The element's pixel lies beneath what the output holds.
TEST_F(LayerDrawerTest, BlendsBeneathTheOutput) {
    World src(1, 1, Depth::Bits8);
    src.at<PF_Pixel>(0, 0) = {255, 255, 0, 0};
    World out(3, 3, Depth::Bits8);
    out.fill(PF_Pixel{255, 0, 0, 255});
    LayerDrawer::Pattern p = image(src, 1.5, 1.5);
    ASSERT_EQ(drawLayer(&in, *suites, out, p, true), PF_Err_NONE);
    EXPECT_TRUE(samePixel(out.at<PF_Pixel>(1, 1), PF_Pixel{255, 0, 0, 255}));  // normal: the opaque top stays
    // Lighten takes the larger channel; 8-bit products shift by 8: 255 -> 254.
    p.blendMode = 7;
    ASSERT_EQ(drawLayer(&in, *suites, out, p, true), PF_Err_NONE);
    EXPECT_TRUE(samePixel(out.at<PF_Pixel>(1, 1), PF_Pixel{255, 254, 0, 254}));
}

// ------------------------------------------------------------ bands and errors
TEST_F(LayerDrawerTest, OutputIsTheSameForEveryBandCount) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World src(50, 40, depth);
        paint(src);
        for (bool draft : {false, true})
            for (double size : {150.0, 20.0}) {
                auto render = [&](World& out, int threads) {
                    setThreads(threads);
                    LayerDrawer::Pattern p = image(src, 60.4, 55.2);
                    p.size = size;
                    p.phase = 0.7;
                    p.opacity = 0.8;
                    p.blendMode = 10;
                    p.toneCount = 1;
                    p.tones[0] = tone(5, {1, 30, 0.1f, 0});
                    ASSERT_EQ(drawLayer(&in, *suites, out, p, draft, threads), PF_Err_NONE);
                };
                World one(130, 120, depth);
                render(one, 1);
                for (int threads : {3, 8}) {
                    World many(130, 120, depth);
                    render(many, threads);
                    EXPECT_TRUE(sameWorld(one, many)) << int(depth) << " " << draft << " " << size << " " << threads;
                }
            }
    }
}

// A failed sample ends the band at the end of its row: the rest of that row
// and the rows after it are left; the error is reported.
TEST_F(LayerDrawerTest, SamplerErrorStopsTheBand) {
    World src(4, 4, Depth::Bits8);
    src.fill(PF_Pixel{255, 9, 9, 9});
    World out(4, 4, Depth::Bits8);
    LayerDrawer::Pattern p = image(src, 2, 2);
    host.faults().failCall("nn_sample", 6, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(drawLayer(&in, *suites, out, p, true), PF_Err_INTERNAL_STRUCT_DAMAGED);
    int drawn = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) drawn += out.at<PF_Pixel>(x, y).alpha != 0;
    EXPECT_EQ(drawn, 5);  // the first row and one pixel of the second
}

TEST_F(LayerDrawerTest, DegenerateGeometryDrawsNothing) {
    World src(10, 10, Depth::Bits8);
    src.fill(PF_Pixel{255, 1, 2, 3});
    World empty(0, 0, Depth::Bits8);
    World transparent(10, 10, Depth::Bits8);
    World out(40, 40, Depth::Bits8);
    struct Case {
        const char* what;
        void (*change)(LayerDrawer::Pattern&);
        bool draws;
    };
    const Case cases[] = {
        {"plain", [](LayerDrawer::Pattern&) {}, true},
        {"size times width scale below 0.001", [](LayerDrawer::Pattern& p) { p.size = 0.0099, p.widthScale = 0.1; },
         false},
        {"height below 0.001", [](LayerDrawer::Pattern& p) { p.heightScale = 0.00009; }, false},
        {"NaN size", [](LayerDrawer::Pattern& p) { p.size = kNaN; }, false},
        {"NaN centre", [](LayerDrawer::Pattern& p) { p.x = kNaN; }, false},
        {"NaN phase", [](LayerDrawer::Pattern& p) { p.phase = kNaN; }, false},
        {"infinite anchor", [](LayerDrawer::Pattern& p) { p.anchor.y = HUGE_VAL; }, false},
        {"far outside", [](LayerDrawer::Pattern& p) { p.x = -1e9; }, false},
        {"no source", [](LayerDrawer::Pattern& p) { p.source = nullptr; }, false},
    };
    for (const Case& c : cases) {
        LayerDrawer::Pattern p = image(src, 20, 20);
        c.change(p);
        LayerDrawer d(&in, *suites, 0, out.get(), 0, p);
        EXPECT_EQ(d.doRender(), c.draws) << c.what;
    }
    LayerDrawer::Pattern z = image(empty, 20, 20);
    z.size = 10;
    EXPECT_FALSE(LayerDrawer(&in, *suites, 0, out.get(), 0, z).doRender()) << "zero-size source";
    LayerDrawer::Pattern t = image(transparent, 20, 20);
    LayerDrawer dt(&in, *suites, 0, out.get(), 0, t);
    EXPECT_GT(t.rect.left, t.rect.right) << "a transparent source's rect is inverted";
    EXPECT_FALSE(dt.doRender());
}

// Region: the rotated rect's corners grown by 1.5 and truncated; the
// effect layer's frame when the bounding box is off.
TEST_F(LayerDrawerTest, RegionAndReferenceFrame) {
    World src(10, 6, Depth::Bits8, 0, -4, 3);
    World out(100, 100, Depth::Bits8);
    LayerDrawer::Pattern p = image(src, 50.2, 40.6);
    p.rectKnown = 1;
    p.rect = {0, 0, 9, 5};
    LayerDrawer a(&in, *suites, 0, out.get(), 0, p);
    // x from 45.2 to 54.2, y from 37.6 to 42.6
    EXPECT_EQ(std::vector<A_long>({a.region.left, a.region.top, a.region.right, a.region.bottom}),
              std::vector<A_long>({43, 36, 55, 44}));
    // Bounding box off: the frame is the downsampled effect layer and the
    // source's origin places it inside.
    in.width = 40, in.height = 30;
    in.downsample_x = {1, 2}, in.downsample_y = {1, 2};
    p.boundingBox = 0;
    p.size = 20;  // the frame's width: scale 1
    LayerDrawer b(&in, *suites, 0, out.get(), 0, p);
    EXPECT_EQ(b.frame().width, 20);
    EXPECT_EQ(b.frame().height, 15);
    // source u = 0 lands at 50.2 + (0 - 4 - 10) = 36.2, u = 9 at 45.2;
    // v = 0 at 40.6 + (0 + 3 - 7.5) = 36.1, v = 5 at 41.1
    EXPECT_EQ(std::vector<A_long>({b.region.left, b.region.top, b.region.right, b.region.bottom}),
              std::vector<A_long>({34, 34, 46, 42}));
    EXPECT_TRUE(b.doMultithread(2) == (8 > 100));
}
