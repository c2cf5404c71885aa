#include "VemaroLineDrawer.h"

#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroRasteriser.h"
#include "VemaroRunKernels.h"
#include "VemaroSpanKernels.h"

#include <cmath>
#include <limits>
#include <utility>

using raster::covOut;

namespace {

// Half extents of the fill and of the stroke's outer edge.
struct Extents {
    double L, T, Ls, Ts;
    explicit Extents(const LineDrawer::Pattern& p)
        : L(p.halfLength), T(p.halfThickness), Ls(L + p.strokeWidth), Ts(T + p.strokeWidth) {}
};

inline double larger(double a, double b) { return a > b ? a : b; }
inline double smaller(double a, double b) { return a < b ? a : b; }

// A closed range of columns in double; empty when lo > hi.
struct Columns {
    double lo, hi;
};

// A run of columns [from, to) of a row.
struct Run {
    A_long from, to;
    bool empty() const { return from >= to; }
};

// Bounds U, V on the distances u, v, with the reaches to estimate their runs
// by: just above the bounds, so the estimate also holds the columns at them.
// A bound no distance can meet (u and v are never negative) gives no run.
struct Bounds {
    double U, V, reachU, reachV;
    bool none;
    Bounds(double u, double v, bool strict)
        : U(u),
          V(v),
          reachU(std::nextafter(u, std::numeric_limits<double>::infinity())),
          reachV(std::nextafter(v, std::numeric_limits<double>::infinity())),
          none(strict ? !(u > 0.0 && v > 0.0) : !(u >= 0.0 && v >= 0.0)) {}
};

// The distances of a band's pixels and the runs of columns they bound. In a
// row, u = |a0 dx + bu| and v = |a2 dx + bv| with dx = off[c] = c - x: each
// term grows monotonically with the column (rounding keeps that), so the
// columns where u and v stay below given bounds form one run. Runs are first
// estimated from the distances' formula, generously, then trimmed with the
// very distances the pixels get: the result is exact whatever the estimate's
// rounding, as long as it holds the run.
struct Geometry {
    const double* off;  // indexed by column
    double x, a0, a2, inv0, inv2;
    A_long left, right;  // the band's columns

    Geometry(const LineDrawer& d, const PF_LRect& b)
        : off(d.offsets.data() - d.region.left),
          x(d.pattern->x),
          a0(d.axis[0]),
          a2(d.axis[2]),
          inv0(d.axis[0] != 0.0 ? 1.0 / d.axis[0] : 0.0),
          inv2(d.axis[2] != 0.0 ? 1.0 / d.axis[2] : 0.0),
          left(b.left),
          right(b.right) {}

    double u(A_long c, double bu) const { return std::fabs(a0 * off[c] + bu); }
    double v(A_long c, double bv) const { return std::fabs(a2 * off[c] + bv); }

    // Far more than the rounding of x + p and x + q, the ends of a range of
    // columns, and of p and q themselves; at most a column, which is all
    // where the magnitudes are huge or not finite.
    VEMARO_INLINE static double slack(double x, double p, double q) {
        const double m = 1e-9 * (1.0 + std::fabs(x) + std::fabs(p) + std::fabs(q));
        return m < 1.0 ? m : 1.0;
    }

    // The columns where |a (c - x) + b| < reach can hold. The reach is widened
    // by far more than the rounding of the per-pixel distance, and the range
    // by the slack, so no such column is left out. A reciprocal that is not
    // finite gives a range that does not restrict.
    VEMARO_INLINE static Columns within(double a, double inv, double b, double reach, double x) {
        constexpr double inf = std::numeric_limits<double>::infinity();
        const double r = reach + 1e-12 * (reach + std::fabs(b));
        if (a == 0.0) return std::fabs(b) < r ? Columns{-inf, inf} : Columns{inf, -inf};
        double p = (-r - b) * inv, q = (r - b) * inv;
        if (p > q) std::swap(p, q);
        const double m = slack(x, p, q);
        return {x + p - m, x + q + m};
    }

    // The columns of the band where u < reachU and v < reachV can hold: a run
    // holding every such column, perhaps a column or two more.
    VEMARO_INLINE Run candidates(double bu, double bv, double reachU, double reachV) const {
        return columns(left, right - 1, within(a0, inv0, bu, reachU, x), within(a2, inv2, bv, reachV, x));
    }

    // The columns from lo up to hi (in the range of A_long) that lie in both
    // cu and cv; none where the ranges do not meet or hold NaN. The ends are
    // clamped in double, where truncation and a compare are the ceiling and
    // the floor without the plain x86-64 build's long way round.
    VEMARO_INLINE static Run columns(double lo, double hi, const Columns& cu, const Columns& cv) {
        if (cu.lo > lo) lo = cu.lo;
        if (cv.lo > lo) lo = cv.lo;
        if (cu.hi < hi) hi = cu.hi;
        if (cv.hi < hi) hi = cv.hi;
        if (!(lo <= hi)) return {0, 0};
        const A_long from = static_cast<A_long>(lo), to = static_cast<A_long>(hi);
        return {from + (from < lo ? 1 : 0), to - (to > hi ? 1 : 0) + 1};
    }

    // Columns where |a (c - x) + b| < reach holds for certain, by the
    // per-pixel distance too: the reach narrowed by far more than its
    // rounding, and the range by the slack. A range in doubt (NaN) is empty.
    VEMARO_INLINE static Columns surely(double a, double inv, double b, double reach, double x) {
        constexpr double inf = std::numeric_limits<double>::infinity();
        const double r = reach - 1e-12 * (reach + std::fabs(b));
        if (a == 0.0) return std::fabs(b) < r ? Columns{-inf, inf} : Columns{inf, -inf};
        double p = (-r - b) * inv, q = (r - b) * inv;
        if (p > q) std::swap(p, q);
        if (!(p <= q)) return {inf, -inf};
        const double m = slack(x, p, q);
        return {x + p + m, x + q - m};
    }

    // Trims r to the columns where inside(c) holds, which form one run.
    template <class Inside>
    VEMARO_INLINE static Run trim(Run r, Inside inside) {
        while (r.from < r.to && !inside(r.from)) ++r.from;
        while (r.to > r.from && !inside(r.to - 1)) --r.to;
        return r;
    }
    // Exactly the columns of `within` (a run of a row already known to hold
    // them) where u < b.U and v < b.V (strict) or u <= b.U and v <= b.V.
    template <bool kStrict>
    VEMARO_INLINE Run exact(Run within, double bu, double bv, const Bounds& b) const;
};

template <bool kStrict>
Run Geometry::exact(Run within, double bu, double bv, const Bounds& b) const {
    if (b.none) return {0, 0};
    Run r = candidates(bu, bv, b.reachU, b.reachV);
    if (r.from < within.from) r.from = within.from;
    if (r.to > within.to) r.to = within.to;
    return trim(r, [&](A_long c) VEMARO_INLINE_LAMBDA {
        const double du = u(c, bu), dv = v(c, bv);
        return kStrict ? du < b.U && dv < b.V : du <= b.U && dv <= b.V;
    });
}

// Whole vector groups of a run go through the row kernels: runs are cut to a
// multiple of every vector level's group of pixels.
constexpr A_long kGroups = 32;

// An element's pixel repeated, as the bottom row the row kernels blend beneath
// a run: built once per band, for the longest run of whole groups the band
// can hold, up to a piece of kLength.
template <class P>
struct Repeated {
    static constexpr A_long kLength = 256;
    P px;
    P row[kLength];
    A_long length;
    // A transparent pixel needs no row.
    Repeated(const P& p, const PF_LRect& band) : px(p) {
        const A_long w = (band.right - band.left) & ~(kGroups - 1);
        length = px.alpha == 0 ? 0 : (w < kLength ? w : kLength);
        for (A_long k = 0; k < length; ++k) row[k] = px;
    }
};

// The element's pixel beneath the columns [from, to) of a row; nothing when
// it is transparent. A long run's last columns, fewer than a group, go to the
// interior-run kernel (`kernel`, taken once per band), whose masked vectors
// take the transparent and kept pixels of a stretch at once: pixel by pixel
// their tests, on outputs that change from column to column, were the wide
// rows' worst-predicted branches. Runs shorter than a group stay pixel by
// pixel, where the kernel's call measured slower.
template <class P, class Op>
VEMARO_INLINE void fillRun(Op op, runs::FillFn<P> kernel, const Repeated<P>& px, P* out, A_long from, A_long to) {
    if (px.px.alpha == 0 || from >= to) return;
    if (to - from < kGroups) {
        for (A_long c = from; c < to; ++c) runs::blendPixel(op, px.px, out[c]);
        return;
    }
    for (A_long whole = (to - from) & ~(kGroups - 1); whole > 0;) {
        const A_long n = whole < px.length ? whole : px.length;
        Blend::blendRow(op, px.row, out + from, n);
        from += n;
        whole -= n;
    }
    runs::beneath(kernel, op, px.px, out, from, to);
}

// The columns of a band's rows where |a (c - x) + ar dy| < reach, dy = y -
// row, can hold (kWide: Geometry::within) or holds for certain
// (Geometry::surely), but from a line in dy worked out once per band: centre
// x - ar dy / a, half width the band's widest (narrowest) reach over |a|,
// widened (narrowed) by three times the most their slack can be, so each
// row's range holds within's (lies in surely's) whatever either rounds. A
// margin too coarse for that (an axis nearly on the grid, huge magnitudes,
// no finite reciprocal) goes row by row.
template <bool kWide>
struct Sweep {
    double a, inv, ar, reach, x;
    double slope = 0.0, half = 0.0;
    bool byRow = true;
    // Not needed: left unset, as a thin line without interior runs would
    // spend more on it than on its few rows.
    Sweep(double a_, double inv_, double ar_, double reach_, double x_, double maxDy, bool needed = true)
        : a(a_), inv(inv_), ar(ar_), reach(reach_), x(x_) {
        if (a == 0.0 || !needed) return;
        slope = -ar * inv;
        const double d = 1e-12 * (reach + std::fabs(ar) * maxDy);
        const double h = (kWide ? reach + d : reach - d) * std::fabs(inv);
        const double m = 3e-9 * (1.0 + std::fabs(x) + std::fabs(slope) * maxDy + std::fabs(h));
        half = kWide ? h + m : h - m;
        byRow = !(m < 0.25 && std::isfinite(slope) && std::isfinite(half));
    }
    VEMARO_INLINE Columns at(double dy) const {
        if (byRow)
            return kWide ? Geometry::within(a, inv, ar * dy, reach, x) : Geometry::surely(a, inv, ar * dy, reach, x);
        const double c = x + slope * dy;
        return {c - half, c + half};
    }
};

// The row's maximum |dy| in a band.
inline double maxDy(double y, const PF_LRect& b) { return larger(std::fabs(y - b.top), std::fabs(y - (b.bottom - 1))); }

// Walks the rows of a band that the element may meet: in each, draw(out,
// run, bu, bv, dy, r) with r the row, run the row's columns where u < reachU and v < reachV
// can hold (more perhaps, none less) and bu, bv the row's terms of the
// distances. Every other pixel of the band would be left as it is.
template <class P, class Draw>
void walkRows(const LineDrawer& d, const Geometry& g, const PF_LRect& b, double reachU, double reachV, Draw draw) {
    const double y = d.pattern->y, a1 = d.axis[1], a3 = d.axis[3];
    const Sweep<true> su(g.a0, g.inv0, a1, reachU, g.x, maxDy(y, b)), sv(g.a2, g.inv2, a3, reachV, g.x, maxDy(y, b));
    // Each row's columns are found kAhead rows before it is drawn and its
    // pixels asked for then: a thin line meets new cache lines on every row,
    // and one row's work is shorter than their fetch.
    // A power of two: the ring's slot is a mask of the row's offset in the
    // band, where a signed remainder costs a fix-up on every row.
    constexpr A_long kAhead = 4;
    static_assert((kAhead & (kAhead - 1)) == 0, "kAhead is a power of two");
    Run ahead[kAhead];
    auto find = [&](A_long r) {
        const double dy = y - r;
        Run& s = ahead[(r - b.top) & (kAhead - 1)];
        s = Geometry::columns(g.left, g.right - 1, su.at(dy), sv.at(dy));
        if (!s.empty()) raster::prefetchRow<P>(d.world, r, b, s.from, s.to);
    };
    for (A_long r = b.top; r < b.bottom && r < b.top + kAhead; ++r) find(r);
    for (A_long r = b.top; r < b.bottom; ++r) {
        const Run s = ahead[(r - b.top) & (kAhead - 1)];
        if (r + kAhead < b.bottom) find(r + kAhead);
        if (s.empty()) continue;
        const double dy = y - r;
        draw(raster::row<P>(d.world, r), s, a1 * dy, a3 * dy, dy, r);
    }
}

// The anti-aliased rows: where u < innerU and v < innerV every pixel comes out
// the same, inner, so that run of each row is filled with it; the rest of the
// row's candidates get edge(out, from, to, bu, bv).
template <class P, class Op, class Edge>
void antiAliasedRows(const LineDrawer& d, const Geometry& g, const PF_LRect& b, double reachU, double reachV,
                     double innerU, double innerV, Op op, const P& px, Edge edge) {
    const Bounds interior(innerU, innerV, true);
    P none = px;
    none.alpha = 0;
    const Repeated<P> inner(interior.none ? none : px, b);
    const double y = d.pattern->y;
    const Sweep<false> iu(g.a0, g.inv0, d.axis[1], innerU, g.x, maxDy(y, b), !interior.none),
        iv(g.a2, g.inv2, d.axis[3], innerV, g.x, maxDy(y, b), !interior.none);
    const runs::FillFn<P> kernel = runs::fillKernel<P>();
    const runs::StoreFn<P> store = runs::storeKernel<P>();
    // A wide line keeps the record row by row: its interior stores without
    // reading where the row is known clear (beneath a clear pixel any mode
    // gives the element's pixel), which halves a thick line's traffic.
    const bool rowRecord = raster::KnownClear::byRow(d.known, d.region, b);
    walkRows<P>(
        d, g, b, reachU, reachV, [&](P* out, Run s, double bu, double bv, double dy, A_long r) VEMARO_INLINE_LAMBDA {
            raster::KnownClear::Hull h = raster::KnownClear::kAll;
            if (rowRecord) {
                h = d.known->hull(r);
                d.known->widen(r, s.from, s.to);
            }
            // Interior columns left out of `in` go to edge(), whose
            // formula gives them the same pixel; candidates where a
            // distance reaches its reach get alpha 0 there, which
            // leaves them. (Trimming those first measured no faster:
            // its loops' exits are hard to predict.)
            const Run in = interior.none ? Run{0, 0} : Geometry::columns(s.from, s.to - 1, iu.at(dy), iv.at(dy));
            if (in.empty()) return edge(out, s.from, s.to, bu, bv);
            edge(out, s.from, in.from, bu, bv);
            if (inner.px.alpha != 0)
                raster::KnownClear::split(
                    in.from, in.to, h, [&](A_long a, A_long z) { store(out + a, z - a, inner.px); },
                    [&](A_long a, A_long z) { fillRun(op, kernel, inner, out, a, z); });
            edge(out, in.to, s.to, bu, bv);
        });
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
    if (known) known->widen(b);
    withBlendOp(pattern->blendMode, [&](auto op) { drawDraftLoop<P>(b, op); });
}
template <class P>
void LineDrawer::drawT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) { drawLoop<P>(b, op); });
}

// Hard edges: a pixel is drawn whole with the fill or the stroke, or left.
// Each rule's pixels in a row form runs (one for the fill, the outer box less
// a hole for the stroke), found exactly and filled by the interior-run
// kernel, whose vectors also take a run's short end.
template <class P, class Op>
void LineDrawer::drawDraftLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const Extents e(p);
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    fillPx.alpha = strokePx.alpha = D::alpha(p.opacity);
    if (fillPx.alpha == 0) return;  // transparent pixels are not drawn
    const Geometry g(*this, b);
    const Bounds fill(e.L, e.T, false), hole(e.L, e.T, true), box(e.Ls, e.Ts, false);
    // px over the run outer less the run hole.
    const runs::FillFn<P> kernel = runs::fillKernel<P>();
    auto outside = [&](P* out, Run outer, Run hole, const P& px) VEMARO_INLINE_LAMBDA {
        if (hole.empty()) return runs::beneath(kernel, op, px, out, outer.from, outer.to);
        runs::beneath(kernel, op, px, out, outer.from, outer.to < hole.from ? outer.to : hole.from);
        runs::beneath(kernel, op, px, out, outer.from > hole.to ? outer.from : hole.to, outer.to);
    };
    switch (p.fillMode) {
        case 1:  // u <= L and v <= T
            walkRows<P>(*this, g, b, e.L + 0.5, e.T + 0.5,
                        [&](P* out, Run s, double bu, double bv, double, A_long) VEMARO_INLINE_LAMBDA {
                            const Run f = g.exact<false>(s, bu, bv, fill);
                            runs::beneath(kernel, op, fillPx, out, f.from, f.to);
                        });
            break;
        case 2:  // u <= Ls and v <= Ts, but not u < L and v < T
            walkRows<P>(*this, g, b, e.Ls + 0.5, e.Ts + 0.5,
                        [&](P* out, Run s, double bu, double bv, double, A_long) VEMARO_INLINE_LAMBDA {
                            const Run stroke = g.exact<false>(s, bu, bv, box);
                            if (!stroke.empty()) outside(out, stroke, g.exact<true>(stroke, bu, bv, hole), strokePx);
                        });
            break;
        case 3:  // the fill's pixels; the stroke's elsewhere
            walkRows<P>(*this, g, b, larger(e.L, e.Ls) + 0.5, larger(e.T, e.Ts) + 0.5,
                        [&](P* out, Run s, double bu, double bv, double, A_long) VEMARO_INLINE_LAMBDA {
                            const Run f = g.exact<false>(s, bu, bv, fill);
                            runs::beneath(kernel, op, fillPx, out, f.from, f.to);
                            const Run stroke = g.exact<false>(s, bu, bv, box);
                            if (!stroke.empty()) outside(out, stroke, f, strokePx);
                        });
            break;
        default: break;  // no such fill mode: nothing is drawn
    }
}

// Anti-aliased: each edge's coverage is the linear ramp over the pixel; the
// coverages along and across the axis multiply. Short edge runs work out
// each pixel inline; longer ones take their alphas from the kernel of the
// processor's vector level, the same operations in the same order. The
// interior runs, where every coverage is 1, get the one pixel of the same
// formula.
template <class P, class Op>
void LineDrawer::drawLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    using Chan = typename D::Chan;
    const Pattern& p = *pattern;
    const Extents e(p);
    const double opacity = p.opacity;
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    const Geometry g(*this, b);
    const spans::Kernels& kernels = spans::kernels();
    // A line thinner or shorter than a pixel fades in proportion.
    const double thin = raster::clamp01(e.L < e.T ? e.L : e.T);
    const spans::LineEdge edge{
        axis[0], axis[2], e.L, e.T, e.Ls, e.Ts, thin, opacity, spans::fullOf<P>(), static_cast<int>(p.fillMode)};
    // Runs up to this long are worked out pixel by pixel.
    constexpr A_long kShortEdge = 32;
    float alpha[spans::kChunk + spans::kPad], alpha2[spans::kChunk + spans::kPad];
    // The columns [from, to) of a row: pixelOf(u, v) gives a pixel; the
    // kernel's alphas of a piece of n columns are blended by piece(out, n).
    auto edgeRun = [&](P* out, A_long from, A_long to, double bu, double bv, auto pixelOf, auto piece)
                       VEMARO_INLINE_LAMBDA {
                           if (to - from <= kShortEdge) {
                               for (A_long c = from; c < to; ++c) {
                                   const P px = pixelOf(g.u(c, bu), g.v(c, bv));
                                   if (px.alpha != 0) runs::blendPixel(op, px, out[c]);
                               }
                               return;
                           }
                           for (A_long c = from; c < to; c += spans::kChunk) {
                               const A_long n = to - c < spans::kChunk ? to - c : spans::kChunk;
                               kernels.line(edge, g.off + c, n, bu, bv, alpha, alpha2);
                               piece(out + c, n);
                           }
                       };
    // The element's pixel px with the alphas of a piece.
    auto withAlphas = [&](P px) {
        return [&, px](P* out, A_long n) VEMARO_INLINE_LAMBDA {
            P q = px;
            for (A_long k = 0; k < n; ++k) {
                if (alpha[k] == 0.0f) continue;
                q.alpha = static_cast<Chan>(alpha[k]);
                runs::blendPixel(op, q, out[k]);
            }
        };
    };
    switch (p.fillMode) {
        case 1: {
            auto pixelOf = [&](double u, double v) VEMARO_INLINE_LAMBDA {
                P px = fillPx;
                px.alpha = D::alpha(covOut(u, e.L) * thin * covOut(v, e.T) * opacity);
                return px;
            };
            antiAliasedRows<P>(*this, g, b, e.L + 0.5, e.T + 0.5, e.L - 0.5, e.T - 0.5, op, pixelOf(0.0, 0.0),
                               [&](P* out, A_long from, A_long to, double bu, double bv) VEMARO_INLINE_LAMBDA {
                                   edgeRun(out, from, to, bu, bv, pixelOf, withAlphas(fillPx));
                               });
            break;
        }
        case 2: {
            auto pixelOf = [&](double u, double v) VEMARO_INLINE_LAMBDA {
                P px = strokePx;
                px.alpha =
                    D::alpha((1.0 - covOut(u, e.L) * covOut(v, e.T)) * covOut(u, e.Ls) * covOut(v, e.Ts) * opacity);
                return px;
            };
            antiAliasedRows<P>(*this, g, b, e.Ls + 0.5, e.Ts + 0.5, smaller(e.L, e.Ls) - 0.5, smaller(e.T, e.Ts) - 0.5,
                               op, pixelOf(0.0, 0.0),
                               [&](P* out, A_long from, A_long to, double bu, double bv) VEMARO_INLINE_LAMBDA {
                                   edgeRun(out, from, to, bu, bv, pixelOf, withAlphas(strokePx));
                               });
            break;
        }
        case 3: {
            // The fill lies over the stroke; the opacity applies to the merge.
            auto merge = [&](Chan fillAlpha, Chan strokeAlpha) VEMARO_INLINE_LAMBDA {
                P f = fillPx, s = strokePx;
                f.alpha = fillAlpha;
                s.alpha = strokeAlpha;
                P merged = Blend::normal(s, f);
                merged.alpha = D::scaleAlpha(merged.alpha, opacity);
                return merged;
            };
            auto pixelOf = [&](double u, double v) VEMARO_INLINE_LAMBDA {
                return merge(D::alpha(covOut(u, e.L) * covOut(v, e.T)), D::alpha(covOut(u, e.Ls) * covOut(v, e.Ts)));
            };
            auto piece = [&](P* out, A_long n) VEMARO_INLINE_LAMBDA {
                for (A_long k = 0; k < n; ++k) {
                    const P px = merge(static_cast<Chan>(alpha[k]), static_cast<Chan>(alpha2[k]));
                    if (px.alpha != 0) runs::blendPixel(op, px, out[k]);
                }
            };
            antiAliasedRows<P>(*this, g, b, larger(e.L, e.Ls) + 0.5, larger(e.T, e.Ts) + 0.5, smaller(e.L, e.Ls) - 0.5,
                               smaller(e.T, e.Ts) - 0.5, op, pixelOf(0.0, 0.0),
                               [&](P* out, A_long from, A_long to, double bu, double bv)
                                   VEMARO_INLINE_LAMBDA { edgeRun(out, from, to, bu, bv, pixelOf, piece); });
            break;
        }
        default: break;  // no such fill mode: nothing is drawn
    }
}

template class raster::Rasteriser<LineDrawer>;
