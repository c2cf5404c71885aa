#include "VemaroLayerDrawer.h"

#include "AEGP_SuiteHandler.h"
#include "VemaroBlend.h"
#include "VemaroRasteriser.h"
#include "VemaroRenderHelpers.h"
#include "VemaroToning.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Source and window coordinates are 16.16 fixed point, rotation and inverse
// scale 12-bit. The products are formed in 64 bits: the same values as 32-bit
// arithmetic wherever that does not overflow, and no wrap-around far from the
// centre.
int64_t fixed(double v) {
    if (!(std::fabs(v) <= raster::kMaxExtent)) return 0;  // also NaN; such geometry draws nothing
    return static_cast<int64_t>(v >= 0.0 ? v * 65536.0 + 0.5 : v * 65536.0 - 0.5);
}

// The area sampler's radius never exceeds this many pixels.
constexpr double kMaxAreaRadius = 30.0;

// What the pixel work needs per depth beyond the rasterisers' conversions.
template <class P>
struct Pixels;

template <>
struct Pixels<PF_Pixel> {
    using Sampler = PF_Err (*)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel*);
    static void samplers(AEGP_SuiteHandler& s, Sampler& nn, Sampler& sub, Sampler& area) {
        const PF_Sampling8Suite1* suite = s.Sampling8Suite1();
        nn = suite->nn_sample, sub = suite->subpixel_sample, area = suite->area_sample;
    }
    static void applyFill(PF_Pixel& p, const PF_Pixel& f) {
        const unsigned a = (unsigned{p.alpha} * f.alpha) / 255u;
        p = {static_cast<A_u_char>(std::min(a, 255u)), f.red, f.green, f.blue};
    }
    static Color toColor(const PF_Pixel& p) {
        return {p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
    }
};

template <>
struct Pixels<PF_Pixel16> {
    using Sampler = PF_Err (*)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel16*);
    static void samplers(AEGP_SuiteHandler& s, Sampler& nn, Sampler& sub, Sampler& area) {
        const PF_Sampling16Suite1* suite = s.Sampling16Suite1();
        nn = suite->nn_sample16, sub = suite->subpixel_sample16, area = suite->area_sample16;
    }
    static void applyFill(PF_Pixel16& p, const PF_Pixel16& f) {
        const unsigned a = (unsigned{p.alpha} * f.alpha) >> 15;
        p = {static_cast<A_u_short>(std::min(a, 32768u)), f.red, f.green, f.blue};
    }
    static Color toColor(const PF_Pixel16& p) {
        const float k = 1.0f / 32768.0f;
        return {p.alpha * k, p.red * k, p.green * k, p.blue * k};
    }
};

template <>
struct Pixels<PF_PixelFloat> {
    using Sampler = PF_Err (*)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_PixelFloat*);
    static void samplers(AEGP_SuiteHandler& s, Sampler& nn, Sampler& sub, Sampler& area) {
        const PF_SamplingFloatSuite1* suite = s.SamplingFloatSuite1();
        nn = suite->nn_sample_float, sub = suite->subpixel_sample_float, area = suite->area_sample_float;
    }
    static void applyFill(PF_PixelFloat& p, const PF_PixelFloat& f) { p = {p.alpha * f.alpha, f.red, f.green, f.blue}; }
    static Color toColor(const PF_PixelFloat& p) { return {p.alpha, p.red, p.green, p.blue}; }
};

// The alpha times the opacity without a rounding term: at the integer depths
// a float product, truncated and clamped; unclamped in float.
template <class P>
void fade(P& p, double opacity) {
    if constexpr (std::is_same_v<P, PF_PixelFloat>) {
        p.alpha = static_cast<float>(p.alpha * opacity);
    } else {
        const float v = static_cast<float>(p.alpha) * static_cast<float>(opacity);
        p.alpha = raster::Depth<P>::clampFull(static_cast<double>(v));
    }
}

void applyTone(const LayerDrawer::Tone& t, Color& c) {
    const bool luma = t.preserveLuma != 0;
    switch (t.mode) {
        case LayerDrawer::Tone::Fill: Toning::fill(t.color, c); break;
        case LayerDrawer::Tone::Tint: Toning::tint(t.color, luma, c); break;
        case LayerDrawer::Tone::Tritone: Toning::tritone(t.highlight, t.shadow, t.color, c); break;
        case LayerDrawer::Tone::Hue: Toning::setHue(t.color.red, luma, c); break;
        case LayerDrawer::Tone::Hls: Toning::addHls(t.color.red, t.color.green, t.color.blue, luma, c); break;
        case LayerDrawer::Tone::Modifier: Toning::modify(t.color, c); break;
        default: break;
    }
    c.alpha *= t.color.alpha;
}

}  // namespace

LayerDrawer::LayerDrawer(PF_InData* in_data_, AEGP_SuiteHandler& suites_, unsigned char draft_, PF_LayerDef* world_,
                         int bpc_, Pattern& pattern_)
    : in_data(in_data_), suites(&suites_), draft(draft_), world(world_), bpc(bpc_), pattern(&pattern_) {
    if (!pattern->rectKnown) calculateLayerRect();
    calculateRegion();
}

void LayerDrawer::calculateLayerRect() {
    if (pattern->source) ::calculateLayerRect(in_data, *suites, bpc, pattern->source, pattern->rect);
}

LayerDrawer::Frame LayerDrawer::frame() const {
    Frame f;
    const PF_LayerDef* src = pattern->source;
    if (!src) return f;
    if (pattern->boundingBox) {
        f.width = src->width;
        f.height = src->height;
        return f;
    }
    // The effect layer at the downsampled size, as the host sizes it; a zero
    // denominator counts as full resolution.
    auto downsampled = [](A_long size, const PF_RationalScale& s) {
        const uint32_t n = static_cast<uint32_t>(size);
        return s.den == 0 ? static_cast<double>(n) : static_cast<double>(n * static_cast<uint32_t>(s.num) / s.den);
    };
    f.width = downsampled(in_data->width, in_data->downsample_x);
    f.height = downsampled(in_data->height, in_data->downsample_y);
    f.originX = src->origin_x;
    f.originY = src->origin_y;
    return f;
}

void LayerDrawer::calculateRegion() {
    region = {0, 0, 0, 0};
    const Pattern& p = *pattern;
    const Frame f = frame();
    if (!p.source || !(f.width > 0.0)) return;  // no frame to scale from
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double s = ansi.sin(p.phase), c = ansi.cos(p.phase);
    const double k = p.size / f.width;
    const PF_LRect& r = p.rect;
    const double us[4] = {double(r.left), double(r.right), double(r.right), double(r.left)};
    const double vs[4] = {double(r.top), double(r.top), double(r.bottom), double(r.bottom)};
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (int n = 0; n < 4; ++n) {
        const double dx = ((us[n] + f.originX - p.anchor.x) - f.width / 2) * p.widthScale;
        const double dy = ((vs[n] + f.originY - p.anchor.y) - f.height / 2) * p.heightScale;
        const double X = (c * dx - s * dy) * k + p.x;
        const double Y = (s * dx + c * dy) * k + p.y;
        minX = n == 0 ? X : std::min(minX, X), maxX = n == 0 ? X : std::max(maxX, X);
        minY = n == 0 ? Y : std::min(minY, Y), maxY = n == 0 ? Y : std::max(maxY, Y);
    }
    // Non-finite or absurd geometry draws nothing.
    for (double v : {minX, maxX, minY, maxY})
        if (!(std::fabs(v) <= raster::kMaxExtent)) return;
    auto edge = [](double v, A_long limit) {
        v = std::trunc(v);
        return static_cast<A_long>(v < 0.0 ? 0.0 : (v > limit ? double(limit) : v));
    };
    region.left = edge(minX - 1.5, world->width);
    region.top = edge(minY - 1.5, world->height);
    region.right = edge(maxX + 1.5, world->width);
    region.bottom = edge(maxY + 1.5, world->height);
}

bool LayerDrawer::doRender() const {
    const Pattern& p = *pattern;
    if (region.left >= region.right || region.top >= region.bottom || !p.source) return false;
    // A source without visible pixels (its rect inverted) has nothing to give.
    if (p.rect.left > p.rect.right || p.rect.top > p.rect.bottom) return false;
    double w, h;
    if (p.boundingBox) {
        w = p.source->width, h = p.source->height;
    } else {
        w = in_data->width, h = in_data->height;
    }
    if (!(w > 0.0 && h > 0.0)) return false;  // zero-size layer
    // Negated comparisons: NaN sizes draw nothing.
    if (!(p.size * p.widthScale >= 0.001)) return false;
    if (!(p.size * (h / w) * p.heightScale >= 0.001)) return false;
    return true;
}

bool LayerDrawer::doMultithread(int threads) const {
    const double rows = region.bottom - region.top;
    const double least = 100.0 * pattern->size / frame().width;
    return rows > std::max(least, static_cast<double>(threads));
}

int LayerDrawer::operator()(int i, int n) const {
    // Band 0 asks for the abort after every row, as the host's own bands do.
    raster::AbortClock everyRow(in_data, nullptr, raster::AbortClock::Clock::duration::zero());
    return drawRows(raster::band(region, i, n), i == 0 ? &everyRow : nullptr);
}

int LayerDrawer::drawRows(const PF_LRect& rows, raster::AbortClock* abort) const {
    const PF_LRect b{region.left, std::max(rows.top, region.top), region.right, std::min(rows.bottom, region.bottom)};
    if (b.top >= b.bottom || b.left >= b.right) return PF_Err_NONE;
    switch (bpc) {
        case 0: return draft ? drawDraft8(b, abort) : draw8(b, abort);
        case 1: return draft ? drawDraft16(b, abort) : draw16(b, abort);
        case 2: return draft ? drawDraft32(b, abort) : draw32(b, abort);
        default: return PF_Err_NONE;
    }
}

int LayerDrawer::drawDraft8(PF_LRect r, raster::AbortClock* a) const { return drawT<PF_Pixel>(r, a, true); }
int LayerDrawer::drawDraft16(PF_LRect r, raster::AbortClock* a) const { return drawT<PF_Pixel16>(r, a, true); }
int LayerDrawer::drawDraft32(PF_LRect r, raster::AbortClock* a) const { return drawT<PF_PixelFloat>(r, a, true); }
int LayerDrawer::draw8(PF_LRect r, raster::AbortClock* a) const { return drawT<PF_Pixel>(r, a, false); }
int LayerDrawer::draw16(PF_LRect r, raster::AbortClock* a) const { return drawT<PF_Pixel16>(r, a, false); }
int LayerDrawer::draw32(PF_LRect r, raster::AbortClock* a) const { return drawT<PF_PixelFloat>(r, a, false); }

// The sampler and the blend mode are chosen once per band; the loop gets both
// inlined as far as the host's sampler allows.
template <class P>
int LayerDrawer::drawT(const PF_LRect& rect, raster::AbortClock* abort, bool draftQuality) const {
    typename Pixels<P>::Sampler nn, sub, areaSampler;
    Pixels<P>::samplers(*suites, nn, sub, areaSampler);
    const Frame f = frame();
    const Pattern& p = *pattern;
    const double iX = f.width / p.size / p.widthScale;
    const double iY = f.width / p.size / p.heightScale;
    const bool area = !draftQuality && (iX > 1.0 || iY > 1.0);
    const auto sampler = draftQuality ? nn : (area ? areaSampler : sub);
    int err = PF_Err_NONE;
    withBlendOp(p.blendMode, [&](auto op) {
        err = drawLoop<P>(rect, abort, area, op, [&](PF_Fixed x, PF_Fixed y, const PF_SampPB& pb, P& out) {
            return sampler(in_data->effect_ref, x, y, &pb, &out);
        });
    });
    return err;
}

template <class P, class Op, class Sample>
int LayerDrawer::drawLoop(const PF_LRect& rect, raster::AbortClock* abort, bool area, Op op, Sample sample) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const Frame f = frame();
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;

    const int64_t X0 = fixed(p.x), Y0 = fixed(p.y);
    const int64_t Ax = fixed(p.anchor.x) + fixed(f.width / 2) - int64_t{f.originX} * 65536;
    const int64_t Ay = fixed(p.anchor.y) + fixed(f.height / 2) - int64_t{f.originY} * 65536;
    const int64_t sn = fixed(-ansi.sin(p.phase)) >> 4, cs = fixed(ansi.cos(p.phase)) >> 4;
    const double iX = f.width / p.size / p.widthScale;
    const double iY = f.width / p.size / p.heightScale;
    const int64_t fX = fixed(iX) >> 4, fY = fixed(iY) >> 4;

    PF_SampPB pb{};
    pb.src = p.source;
    int64_t rX = 0, rY = 0;
    if (area) {
        rX = iX / 2 > kMaxAreaRadius ? int64_t(kMaxAreaRadius * 65536) : fixed(iX / 2);
        rY = iY / 2 > kMaxAreaRadius ? int64_t(kMaxAreaRadius * 65536) : fixed(iY / 2);
        pb.x_radius = static_cast<A_long>(rX);
        pb.y_radius = static_cast<A_long>(rY);
    }
    const int64_t wl = int64_t{p.rect.left} * 65536 - rX, wr = int64_t{p.rect.right} * 65536 + rX;
    const int64_t wt = int64_t{p.rect.top} * 65536 - rY, wb = int64_t{p.rect.bottom} * 65536 + rY;

    const P fillPx = D::fromColor(p.fill);
    const bool tones = p.toneCount > 0;
    const int toneCount = std::min<int>(p.toneCount, 5);

    for (A_long y = rect.top; y < rect.bottom; ++y) {
        P* out = raster::row<P>(world, y);
        const int64_t dy = (int64_t{y} * 65536 - Y0) >> 12;
        int err = PF_Err_NONE;
        for (A_long x = rect.left; x < rect.right; ++x) {
            const int64_t dx = (int64_t{x} * 65536 - X0) >> 12;
            const int64_t sx = ((dx * cs - dy * sn) >> 12) * fX + Ax;
            if (sx < wl || sx > wr) continue;
            const int64_t sy = ((dx * sn + dy * cs) >> 12) * fY + Ay;
            if (sy < wt || sy > wb) continue;
            P px{};
            // After a failed sample the rest of the row is left as it is.
            if ((err = sample(static_cast<PF_Fixed>(sx), static_cast<PF_Fixed>(sy), pb, px)) != PF_Err_NONE) break;
            if (p.hasFill) Pixels<P>::applyFill(px, fillPx);
            if (!tones) {
                fade(px, p.opacity);
            } else {
                Color c = Pixels<P>::toColor(px);
                for (int t = 0; t < toneCount; ++t) applyTone(p.tones[t], c);
                c.alpha = static_cast<float>(c.alpha * p.opacity);
                px = D::fromColor(c);
            }
            out[x] = op(px, out[x]);
        }
        if (err) return err;
        if (abort)
            if (PF_Err stop = abort->check()) return stop;
    }
    return PF_Err_NONE;
}
