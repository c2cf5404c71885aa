#include "VemaroLineDrawer.h"

#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroRasteriser.h"
#include "VemaroSpanKernels.h"

#include <cmath>
#include <limits>
#include <utility>

using raster::covOut;

// The row loop's helpers are lambdas; the pixel loops depend on their being
// inlined.
#if defined(__GNUC__)
#define LAMBDA_INLINE __attribute__((always_inline))
#else
#define LAMBDA_INLINE
#endif

namespace {

// Half extents of the fill and of the stroke's outer edge.
struct Extents {
    double L, T, Ls, Ts;
    explicit Extents(const LineDrawer::Pattern& p)
        : L(p.halfLength), T(p.halfThickness), Ls(L + p.strokeWidth), Ts(T + p.strokeWidth) {}
};

inline double larger(double a, double b) { return a > b ? a : b; }
inline double smaller(double a, double b) { return a < b ? a : b; }

// The columns c of a row where |a (c - x) + b| < reach can hold, as a closed
// range in double; empty when lo > hi. The reach is widened by far more than
// the rounding of the per-pixel distance, and the range by a column, so no
// column with a distance below the reach is left out.
struct Columns {
    double lo, hi;
};
VEMARO_INLINE Columns within(double a, double b, double reach, double x) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double r = reach + 1e-12 * (reach + std::fabs(b));
    if (a == 0.0) return std::fabs(b) < r ? Columns{-inf, inf} : Columns{inf, -inf};
    double p = (-r - b) / a, q = (r - b) / a;
    if (p > q) std::swap(p, q);
    return {x + p - 1.0, x + q + 1.0};
}

// Walks the rows of a band and, in each, the columns where the distance along
// the axis is below reachU and the one across below reachV; every other pixel
// of the band would get coverage 0, and blending a pixel of alpha 0 beneath
// anything leaves it as it is. run(out, from, to, bu, bv) blends the
// element's pixels of the columns [from, to) of a row whose terms of the
// distances are bu and bv.
//
// Where u < innerU and v < innerV every pixel comes out the same, so that run
// of each row takes the pixel inner without working out distances. Its ends
// are found from the distances' formula and then checked against the very
// distances the pixels would get: the computed distances grow monotonically
// away from the axis, so the run checked at its ends is exact.
template <class P, class Op, class Run>
void blendRows(const LineDrawer& d, const PF_LRect& b, double reachU, double reachV, double innerU, double innerV,
               Op op, const P& inner, Run exact) {
    const LineDrawer::Pattern& p = *d.pattern;
    const double* off = d.offsets.data() - d.region.left;
    const double a0 = d.axis[0], a1 = d.axis[1], a2 = d.axis[2], a3 = d.axis[3];
    const bool hasInterior = innerU > 0.0 && innerV > 0.0;
    auto span = [&](P* out, A_long from, A_long to) LAMBDA_INLINE { Blend::blendSpan(op, inner, out, from, to); };
    // The columns [from, to) of the band within both ranges.
    auto columns = [&](const Columns& cu, const Columns& cv, A_long& from, A_long& to) {
        double lo = b.left, hi = b.right - 1;
        if (cu.lo > lo) lo = cu.lo;
        if (cv.lo > lo) lo = cv.lo;
        if (cu.hi < hi) hi = cu.hi;
        if (cv.hi < hi) hi = cv.hi;
        // Clamped to the band in double before becoming integers.
        if (!(lo <= hi)) return false;
        from = static_cast<A_long>(std::ceil(lo));
        to = static_cast<A_long>(std::floor(hi)) + 1;
        return true;
    };
    // Each row's columns are found kAhead rows before it is drawn and its
    // pixels asked for then: a thin line meets new cache lines on every row,
    // and one row's work is shorter than their fetch.
    constexpr A_long kAhead = 4;
    struct Span {
        A_long from, to;
        bool any;
    } ahead[kAhead];
    auto find = [&](A_long r) {
        Span& s = ahead[(r - b.top) % kAhead];
        const double dy = p.y - r;
        s.any = columns(within(a0, a1 * dy, reachU, p.x), within(a2, a3 * dy, reachV, p.x), s.from, s.to);
        if (s.any) raster::prefetchRow<P>(d.world, r, b, s.from, s.to);
    };
    for (A_long r = b.top; r < b.bottom && r < b.top + kAhead; ++r) find(r);
    for (A_long r = b.top; r < b.bottom; ++r) {
        const Span s = ahead[(r - b.top) % kAhead];
        if (r + kAhead < b.bottom) find(r + kAhead);
        if (!s.any) continue;
        const A_long from = s.from, to = s.to;
        const double dy = p.y - r;
        const double bu = a1 * dy, bv = a3 * dy;
        P* out = raster::row<P>(d.world, r);
        A_long ia, ib;
        if (!hasInterior || !columns(within(a0, bu, innerU, p.x), within(a2, bv, innerV, p.x), ia, ib)) {
            exact(out, from, to, bu, bv);
            continue;
        }
        ia = ia < from ? from : ia;
        ib = ib > to ? to : (ib < ia ? ia : ib);
        auto inside = [&](A_long c) {
            const double dx = off[c];
            return std::fabs(a0 * dx + bu) < innerU && std::fabs(a2 * dx + bv) < innerV;
        };
        while (ia < ib && !inside(ia)) ++ia;
        while (ib > ia && !inside(ib - 1)) --ib;
        exact(out, from, ia, bu, bv);
        span(out, ia, ib);
        exact(out, ib, to, bu, bv);
    }
}

}  // namespace

LineDrawer::LineDrawer(PF_InData* in_data_, AEGP_SuiteHandler& suites_, unsigned char draft_, PF_LayerDef* world_,
                       int bpc_, const Pattern& pattern_)
    : in_data(in_data_), suites(&suites_), draft(draft_), world(world_), bpc(bpc_), pattern(&pattern_) {
    calculateAxis();
    calculateRegion();
}

void LineDrawer::calculateAxis() {
    const double c = in_data->utils->ansi.cos(pattern->phase), s = in_data->utils->ansi.sin(pattern->phase);
    axis[0] = c;
    axis[1] = -s;
    axis[2] = s;
    axis[3] = c;
}

void LineDrawer::calculateRegion() {
    const Pattern& p = *pattern;
    double l = p.halfLength, t = p.halfThickness;
    if (p.fillMode != 1) {
        l += p.strokeWidth;
        t += p.strokeWidth;
    }
    // The corners lie at +-l cos +- t sin across and +-l sin +- t cos down;
    // the extreme ones are the sums of the magnitudes.
    const double across = std::fabs(l * axis[0]) + std::fabs(t * axis[2]);
    const double down = std::fabs(l * axis[2]) + std::fabs(t * axis[0]);
    // Non-finite or absurd geometry (a NaN phase, an infinite length) gives
    // an empty region.
    raster::clipSpan(in_data, p.x - across, p.x + across, world->width, region.left, region.right);
    raster::clipSpan(in_data, p.y - down, p.y + down, world->height, region.top, region.bottom);
}

bool LineDrawer::doRender() {
    if (!visible()) return false;
    preDraw();
    return true;
}

void LineDrawer::preDraw() {
    const std::size_t n = static_cast<std::size_t>(region.right - region.left);
    offsets.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        offsets[k] = static_cast<double>(region.left + static_cast<A_long>(k)) - pattern->x;
}

// The blend mode is chosen once per band; the loops below get it inlined.
template <class P>
void LineDrawer::drawDraftT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) { drawDraftLoop<P>(b, op); });
}
template <class P>
void LineDrawer::drawT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) { drawLoop<P>(b, op); });
}

// Hard edges: a pixel is drawn whole with the fill or the stroke, or left.
template <class P, class Op>
void LineDrawer::drawDraftLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const Extents e(p);
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    fillPx.alpha = strokePx.alpha = D::alpha(p.opacity);
    P none = fillPx;
    none.alpha = 0;
    // f(u, v) gives each pixel, blended beneath the output unless transparent.
    const double* off = offsets.data() - region.left;
    const double a0 = axis[0], a2 = axis[2];
    auto rows = [&](double reachU, double reachV, double innerU, double innerV, auto f) {
        blendRows<P>(*this, b, reachU, reachV, innerU, innerV, op, f(0.0, 0.0),
                     [&](P* out, A_long from, A_long to, double bu, double bv) LAMBDA_INLINE {
                         for (A_long c = from; c < to; ++c) {
                             const double dx = off[c];
                             const P px = f(std::fabs(a0 * dx + bu), std::fabs(a2 * dx + bv));
                             if (px.alpha != 0) out[c] = op(px, out[c]);
                         }
                     });
    };
    switch (p.fillMode) {
        case 1:
            rows(e.L + 0.5, e.T + 0.5, e.L, e.T,
                 [&](double u, double v) { return u <= e.L && v <= e.T ? fillPx : none; });
            break;
        case 2:
            rows(e.Ls + 0.5, e.Ts + 0.5, smaller(e.L, e.Ls), smaller(e.T, e.Ts),
                 [&](double u, double v) { return u <= e.Ls && v <= e.Ts && !(u < e.L && v < e.T) ? strokePx : none; });
            break;
        case 3:
            rows(larger(e.L, e.Ls) + 0.5, larger(e.T, e.Ts) + 0.5, smaller(e.L, e.Ls), smaller(e.T, e.Ts),
                 [&](double u, double v) {
                     if (v <= e.T && u <= e.L) return fillPx;
                     return v <= e.Ts && u <= e.Ls ? strokePx : none;
                 });
            break;
        default: break;  // no such fill mode: nothing is drawn
    }
}

// Anti-aliased: each edge's coverage is the linear ramp over the pixel; the
// coverages along and across the axis multiply. The alphas of a run come from
// the kernel of the processor's vector level; the pixel of the interior runs,
// where every coverage is 1, from the same formula in plain code.
template <class P, class Op>
void LineDrawer::drawLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const Extents e(p);
    const double opacity = p.opacity;
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    const double* off = offsets.data() - region.left;
    const spans::Kernels& kernels = spans::kernels();
    // A line thinner or shorter than a pixel fades in proportion.
    const double thin = raster::clamp01(e.L < e.T ? e.L : e.T);
    const spans::LineEdge edge{
        axis[0], axis[2], e.L, e.T, e.Ls, e.Ts, thin, opacity, spans::fullOf<P>(), static_cast<int>(p.fillMode)};
    // The alphas of the columns [from, to), a piece at a time; blend(out, k, n)
    // blends the piece's pixels.
    float alpha[spans::kChunk + spans::kPad], alpha2[spans::kChunk + spans::kPad];
    auto pieces = [&](A_long from, A_long to, double bu, double bv, auto blend) LAMBDA_INLINE {
        for (A_long c = from; c < to; c += spans::kChunk) {
            const A_long n = to - c < spans::kChunk ? to - c : spans::kChunk;
            spans::kernelsFor(kernels, n).line(edge, off + c, n, bu, bv, alpha, alpha2);
            blend(c, n);
        }
    };
    switch (p.fillMode) {
        case 1: {
            P inner = fillPx;
            inner.alpha = D::alpha(covOut(0.0, e.L) * thin * covOut(0.0, e.T) * opacity);
            blendRows<P>(*this, b, e.L + 0.5, e.T + 0.5, e.L - 0.5, e.T - 0.5, op, inner,
                         [&](P* out, A_long from, A_long to, double bu, double bv) LAMBDA_INLINE {
                             pieces(from, to, bu, bv,
                                    [&](A_long c, A_long n) { spans::blendAlphas(op, fillPx, alpha, out + c, n); });
                         });
            break;
        }
        case 2: {
            P inner = strokePx;
            inner.alpha =
                D::alpha((1.0 - covOut(0.0, e.L) * covOut(0.0, e.T)) * covOut(0.0, e.Ls) * covOut(0.0, e.Ts) * opacity);
            blendRows<P>(*this, b, e.Ls + 0.5, e.Ts + 0.5, smaller(e.L, e.Ls) - 0.5, smaller(e.T, e.Ts) - 0.5, op,
                         inner, [&](P* out, A_long from, A_long to, double bu, double bv) LAMBDA_INLINE {
                             pieces(from, to, bu, bv,
                                    [&](A_long c, A_long n) { spans::blendAlphas(op, strokePx, alpha, out + c, n); });
                         });
            break;
        }
        case 3: {
            // The fill lies over the stroke; the opacity applies to the merge.
            auto merge = [&](typename D::Chan fillAlpha, typename D::Chan strokeAlpha) {
                fillPx.alpha = fillAlpha;
                strokePx.alpha = strokeAlpha;
                P merged = Blend::normal(strokePx, fillPx);
                merged.alpha = D::scaleAlpha(merged.alpha, opacity);
                return merged;
            };
            const P inner =
                merge(D::alpha(covOut(0.0, e.L) * covOut(0.0, e.T)), D::alpha(covOut(0.0, e.Ls) * covOut(0.0, e.Ts)));
            blendRows<P>(*this, b, larger(e.L, e.Ls) + 0.5, larger(e.T, e.Ts) + 0.5, smaller(e.L, e.Ls) - 0.5,
                         smaller(e.T, e.Ts) - 0.5, op, inner,
                         [&](P* out, A_long from, A_long to, double bu, double bv) LAMBDA_INLINE {
                             pieces(from, to, bu, bv, [&](A_long c, A_long n) {
                                 for (A_long k = 0; k < n; ++k) {
                                     using Chan = typename D::Chan;
                                     const P px = merge(static_cast<Chan>(alpha[k]), static_cast<Chan>(alpha2[k]));
                                     if (px.alpha != 0) out[c + k] = op(px, out[c + k]);
                                 }
                             });
                         });
            break;
        }
        default: break;  // no such fill mode: nothing is drawn
    }
}

template class raster::Rasteriser<LineDrawer>;
