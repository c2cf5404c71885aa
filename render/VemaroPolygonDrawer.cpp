#include "VemaroPolygonDrawer.h"

#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroRasteriser.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

using raster::covIn;
using raster::covOut;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
// Above this reach the cheap angle is off by more than a pixel at the rim.
constexpr double kFastAngleReach = 250.0;

// The angle of (x, y) by a rational approximation (error below 0.005 rad),
// in (-pi, pi].
double fastAtan2(double y, double x) {
    if (x == 0.0) return y > 0.0 ? kPi / 2.0 : (y == 0.0 ? 0.0 : -kPi / 2.0);
    const double z = y / x;
    if (std::fabs(z) < 1.0) {
        const double a = z / (1.0 + 0.28 * (z * z));
        if (x < 0.0) return y < 0.0 ? a - kPi : a + kPi;
        return a;
    }
    const double a = kPi / 2.0 - z / (z * z + 0.28);
    return y < 0.0 ? a - kPi : a;
}

// Distance of (px, py) from the edge's line, positive on its left (inside).
inline double signedDistance(const PolygonDrawer::Edge& e, double px, double py) {
    return (py - e.y) * e.ux - (px - e.x) * e.uy;
}

PolygonDrawer::Edge edge(double x0, double y0, double x1, double y1) {
    double ux = x1 - x0, uy = y1 - y0;
    const double len = std::hypot(ux, uy);  // no overflow for far-out points
    if (len > 0.0) {
        ux /= len;
        uy /= len;
    }
    return {x0, y0, ux, uy};
}

// What every draw routine works out once per call.
struct Frame {
    const PF_InData* in;
    double startAngle;   // of point 0, counter-clockwise from +x in the y-up frame
    double sectorWidth;  // pi / n: each side owns one wedge
    A_long sectors;      // 2n
    bool fast;           // the cheap angle is good enough
    double w, M;         // stroke width and the radial cap of fill and stroke
    bool hole;
    double ringFactor, strokeFactor;
    // The rays between the wedges, 2n + 1 of them (the last is the first),
    // when the start angle is small enough for them to be placed exactly.
    struct Ray {
        double x, y;
    };
    std::vector<Ray> rays;

    Frame(const PF_InData* in_data, const PolygonDrawer::Pattern& p) : in(in_data) {
        const double R = p.radius;
        startAngle = kPi / 2.0 - p.phase;
        sectorWidth = kPi / p.sides;
        sectors = 2 * p.sides;
        w = p.strokeWidth;
        M = R + 10.0 * w;
        fast = (p.fillMode == 1 ? R : R + w) <= kFastAngleReach;
        const double h = (R + 0.5) * p.innerRadius - 0.5;
        hole = h > 0.01;
        ringFactor = R > 0.001 ? raster::clamp01(2.0 * (R - h)) : 0.0;
        strokeFactor = w > 0.001 ? raster::clamp01(2.0 * w) : 0.0;
        if (std::fabs(startAngle) <= 1e3) {
            rays.resize(static_cast<std::size_t>(sectors) + 1);
            for (A_long j = 0; j <= sectors; ++j) {
                const double a = startAngle + j * sectorWidth;
                rays[j] = {std::cos(a), std::sin(a)};
            }
        }
    }

    // Whether the point lies inside wedge k by more than the angle can err,
    // so that sector() would give k: then its exact angle is at least
    // kMargin (sine 0.006, the cheap angle erring by at most 0.0049) from
    // both of the wedge's rays. Wedges are at most a third of a turn wide,
    // so two positive cross products place the point between the rays.
    bool safelyIn(A_long k, double px, double py) const {
        constexpr double kMargin2 = 0.006 * 0.006;
        const Ray& a = rays[k];
        const Ray& b = rays[k + 1];
        const double ca = a.x * py - a.y * px;  // |p| sin(angle from a)
        const double cb = px * b.y - py * b.x;  // |p| sin(angle to b)
        if (!(ca > 0.0 && cb > 0.0)) return false;
        const double r2 = (px * px + py * py) * kMargin2;
        return ca * ca >= r2 && cb * cb >= r2;
    }

    // The side whose wedge holds the point.
    A_long sector(double px, double py) const {
        const double a = fast ? fastAtan2(py, px) : in->utils->ansi.atan2(py, px);
        double angle = a - startAngle;
        // fmod is exact and leaves values below a full turn as they are: only
        // a shape turned by many turns needs the call.
        if (!(angle > -kTwoPi && angle < kTwoPi)) angle = in->utils->ansi.fmod(angle, kTwoPi);
        if (angle < 0.0) angle += kTwoPi;
        const double q = angle / sectorWidth;
        if (!(q >= 0.0)) return 0;
        const A_long k = q < sectors ? static_cast<A_long>(q) : sectors;
        return k >= sectors ? sectors - 1 : k;
    }
};

// Where whole runs of a row are known without the angle. With
// the edges' distances h_k from the centre (all positive for a shape around
// its centre) and R the largest distance of a corner:
// - every side's signed distance is at least h_k - |p|, so within
//   min h_k - e of the centre every pixel lies at least e inside;
// - a pixel at |p| beyond R lies at least |p| h_k / R - h_k outside the side
//   of its sector, less |p| delta when the angle errs by delta past the
//   sector's edge; so beyond (h_k + e) / (h_k / R - delta) it lies at least e
//   outside.
// The depths that decide are a half pixel anti-aliased and 0 hard-edged, the
// stroke's width more outside; the margins cover rounding many times over.
struct Runs {
    bool cut = false;  // nothing to draw at px^2 + py^2 >= outer2
    double outer2 = 0.0;
    bool interior = false;  // the interior value at px^2 + py^2 <= inner2
    double inner2 = 0.0;
    // Without a hole, wherever a pixel lies safely in a wedge: the interior
    // value at least `depth` inside its side, nothing at least `far` outside
    // (see wedgeSpans).
    bool wedges = false;
    double depth = 0.0, far = 0.0;

    Runs() = default;
    // Pixels `outside` beyond the outline are left; those `inside` within it
    // form the interior run, only without a hole (none for inside < 0).
    Runs(const PolygonDrawer& dr, const Frame& g, double outside, double inside) {
        constexpr double kAngleError = 0.01;  // the cheap angle errs by at most 0.0049
        double hMin = std::numeric_limits<double>::infinity(), R = 0.0;
        for (const PolygonDrawer::Edge& ed : dr.edges) {
            hMin = std::min(hMin, signedDistance(ed, 0.0, 0.0));
            R = std::max(R, std::hypot(ed.x, ed.y));
        }
        if (!(hMin > 0.0 && R > 0.0 && R < raster::kMaxExtent)) return;
        const double margin = 1e-9 * R + 1e-6;
        double outer = 0.0;
        // Each side must run between its wedge's rays: a starness above 1
        // puts the inner points on the opposite ray.
        cut = dr.pattern->starness <= 1.0;
        for (std::size_t k = 0; cut && k < dr.edges.size(); ++k) {
            const double h = signedDistance(dr.edges[k], 0.0, 0.0);
            const double slope = h / R - kAngleError;
            cut = slope > kAngleError;
            if (cut) outer = std::max(outer, (h + outside + margin) / slope);
        }
        outer = outer * (1.0 + 1e-9) + margin;
        if (cut) outer2 = outer * outer;
        const double inner = hMin - inside - margin;
        interior = inside >= 0.0 && !g.hole && inner > 0.0;
        inner2 = inner * inner;
        wedges = !g.hole && !g.rays.empty() && g.sectors <= kMaxWedges;
        depth = inside >= 0.0 ? inside + 1e-7 : std::numeric_limits<double>::infinity();
        far = outside + 1e-7;
    }
    // Above this many wedges the inscribed circle leaves little to find.
    static constexpr A_long kMaxWedges = 64;
};

// The runs of a stroke: it reaches its width further out. Stroke only also
// draws inside the hole, which lies within the same bound only while it is no
// larger than the outline.
Runs strokeRuns(const PolygonDrawer& dr, const Frame& g, double outside, double inside) {
    const PolygonDrawer::Pattern& p = *dr.pattern;
    if (p.fillMode == 2 && g.hole && !(p.innerRadius >= 0.0 && p.innerRadius <= 1.0)) return Runs();
    return Runs(dr, g, outside + (g.w > 0.0 ? g.w : 0.0), inside);
}

// Calls f(output pixel, d, d2, px, py) for every pixel of the band that runs
// do not settle: d is the signed distance to the outline (positive inside),
// d2 that to the hole's outline (positive inside the hole; minus infinity
// without a hole, which makes every hole test pass as if there were none).
// Pixels beyond the outer run are left; those of the interior run go to
// span(row, from, to).
// A run of columns [from, to) that takes the interior value (fill) or is
// left as it is.
struct Span {
    A_long from, to;
    bool fill;
};

// The runs of row py within [from, to) whose pixels lie safely in one wedge
// (so that the sector is that wedge's whatever the angle's error) and at
// least runs.depth inside its side (they take the interior value) or at least
// runs.far outside it (they are left). Each condition is linear along the
// row, so a wedge gives at most one run of each kind, found from the row and
// checked at its ends with a margin that covers rounding. Appends them to
// out; returns the new count.
int wedgeSpans(const PolygonDrawer& dr, const Frame& g, const Runs& runs, double py, A_long from, A_long to, Span* out,
               int count) {
    const double* cols = dr.columnOffsets.data() - dr.region.left;
    const double x = dr.pattern->x;
    // |p| of every pixel of the run is at most rowR; the wedge test asks its
    // cross products for 0.006 |p|.
    const double rowR = std::sqrt(std::max(cols[from] * cols[from], cols[to - 1] * cols[to - 1]) + py * py);
    const double need = 0.006 * (1.0 + 1e-6) * rowR + 1e-9;
    for (A_long k = 0; k < g.sectors; ++k) {
        const Frame::Ray& a = g.rays[k];
        const Frame::Ray& b = g.rays[k + 1];
        // A wedge (narrower than half a turn) meets the row only if one of
        // its rays points to the row's side.
        if ((py > 0.0 && a.y <= 0.0 && b.y <= 0.0) || (py < 0.0 && a.y >= 0.0 && b.y >= 0.0)) continue;
        const PolygonDrawer::Edge& e = dr.edges[k];
        // The columns where every alpha + beta px >= 0 of the conditions
        // holds, confirmed by ok() at the ends.
        struct Limit {
            double alpha, beta;
        };
        auto columns = [&](std::initializer_list<Limit> limits, auto ok, bool fill) {
            double lo = cols[from], hi = cols[to - 1];
            for (const Limit& l : limits) {
                if (l.beta > 0.0)
                    lo = std::max(lo, -l.alpha / l.beta);
                else if (l.beta < 0.0)
                    hi = std::min(hi, -l.alpha / l.beta);
                else if (!(l.alpha >= 0.0))
                    return;
            }
            if (!(lo <= hi)) return;
            const double cLo = std::ceil(lo + x), cHi = std::floor(hi + x) + 1.0;
            A_long c0 = cLo <= from ? from : (cLo >= to ? to : static_cast<A_long>(cLo));
            A_long c1 = cHi <= c0 ? c0 : (cHi >= to ? to : static_cast<A_long>(cHi));
            while (c0 < c1 && !ok(c0)) ++c0;
            while (c1 > c0 && !ok(c1 - 1)) --c1;
            if (c0 < c1) out[count++] = {c0, c1, fill};
        };
        auto safe = [&](double px) { return a.x * py - a.y * px >= need && px * b.y - py * b.x >= need; };
        const Limit ca{a.x * py - need, -a.y}, cb{-py * b.x - need, b.y};
        const double dAlpha = (py - e.y) * e.ux + e.x * e.uy, dBeta = -e.uy;
        columns(
            {ca, cb, {dAlpha - runs.depth, dBeta}},
            [&](A_long c) { return safe(cols[c]) && signedDistance(e, cols[c], py) >= runs.depth; }, true);
        columns(
            {ca, cb, {-dAlpha - runs.far, -dBeta}},
            [&](A_long c) { return safe(cols[c]) && signedDistance(e, cols[c], py) <= -runs.far; }, false);
    }
    return count;
}

template <class P, class F, class S>
void forEachPixel(const PolygonDrawer& dr, const Frame& g, const Runs& runs, const PF_LRect& b, F f, S span) {
    const PolygonDrawer::Edge* outer = dr.edges.data();
    const PolygonDrawer::Edge* inner = dr.innerEdges.data();
    const double* cols = dr.columnOffsets.data() - dr.region.left;
    const double x = dr.pattern->x;
    constexpr double kNoHole = -std::numeric_limits<double>::infinity();
    // Along a row the sector changes only where the row crosses a ray: a
    // pixel safely inside the previous pixel's wedge keeps its side without
    // the angle.
    const bool track = !g.rays.empty();
    auto pixels = [&](P* out, double py, A_long from, A_long to) {
        A_long k = -1;
        for (A_long c = from; c < to; ++c) {
            const double px = cols[c];
            if (!(track && k >= 0 && g.safelyIn(k, px, py))) k = g.sector(px, py);
            const double d = signedDistance(outer[k], px, py);
            const double d2 = g.hole ? signedDistance(inner[k], px, py) : kNoHole;
            f(out[c], d, d2, px, py);
        }
    };
    // Column positions are clamped in double before they become integers.
    auto column = [](double v, A_long lo, A_long hi) { return v <= lo ? lo : (v >= hi ? hi : static_cast<A_long>(v)); };
    auto sq = [&](A_long c) { return cols[c] * cols[c]; };
    for (A_long r = b.top; r < b.bottom; ++r) {
        P* out = raster::row<P>(dr.world, r);
        const double py = dr.pattern->y - r;
        const double py2 = py * py;
        A_long from = b.left, to = b.right;
        if (runs.cut) {
            // The squares are convex along the row: the pixels short of the
            // bound form one run, found from the row and checked at its ends.
            const double room = runs.outer2 - py2;
            if (!(room > 0.0)) continue;
            const double half = std::sqrt(room);
            from = column(std::floor(x - half) - 1.0, b.left, b.right);
            to = column(std::ceil(x + half) + 2.0, from, b.right);
            while (from < to && sq(from) + py2 >= runs.outer2) ++from;
            while (to > from && sq(to - 1) + py2 >= runs.outer2) --to;
        }
        A_long a = to, z = to;
        if (runs.interior && runs.inner2 - py2 >= 0.0 && from < to) {
            const double half = std::sqrt(runs.inner2 - py2);
            a = column(std::ceil(x - half), from, to);
            z = column(std::floor(x + half) + 1.0, a, to);
            while (a < z && sq(a) + py2 > runs.inner2) ++a;
            while (z > a && sq(z - 1) + py2 > runs.inner2) --z;
        }
        // Rows with many pixels left look for the wedges' runs too.
        constexpr A_long kWedgeRow = 24;
        if (!runs.wedges || (to - from) - (z - a) < kWedgeRow) {
            pixels(out, py, from, a);
            if (a < z) span(out, a, z);
            pixels(out, py, z, to);
            continue;
        }
        Span spans[2 * Runs::kMaxWedges + 1];
        int count = 0;
        if (a < z) spans[count++] = {a, z, true};
        count = wedgeSpans(dr, g, runs, py, from, to, spans, count);
        std::sort(spans, spans + count, [](const Span& l, const Span& r) { return l.from < r.from; });
        A_long c = from;
        for (int k = 0; k < count; ++k) {
            const A_long s0 = std::max(spans[k].from, c);
            if (spans[k].to <= s0) continue;
            pixels(out, py, c, s0);
            if (spans[k].fill) span(out, s0, spans[k].to);
            c = spans[k].to;
        }
        pixels(out, py, c, to);
    }
}
template <class P, class F>
void forEachPixel(const PolygonDrawer& dr, const Frame& g, const Runs& runs, const PF_LRect& b, F f) {
    forEachPixel<P>(dr, g, runs, b, f, [](P*, A_long, A_long) {});
}

}  // namespace

PolygonDrawer::PolygonDrawer(PF_InData* in_data_, AEGP_SuiteHandler& suites_, unsigned char draft_, PF_LayerDef* world_,
                             int bpc_, const Pattern& pattern_)
    : in_data(in_data_), suites(&suites_), draft(draft_), world(world_), bpc(bpc_), pattern(&pattern_) {
    calculateRegion();
}

void PolygonDrawer::calculateRegion() {
    const Pattern& p = *pattern;
    region = {0, 0, 0, 0};
    // No polygon below three sides; non-finite shape values give no outline.
    // (A non-finite or far-away centre or reach is caught by the clipping.)
    if (p.sides < kMinSides || p.sides > kMaxSides) return;
    if (!std::isfinite(p.innerRadius) || !std::isfinite(p.starness) || !std::isfinite(p.phase)) return;
    if (p.fillMode != 1 && !std::isfinite(p.strokeWidth)) return;

    const double R = p.radius;
    double reach = R;
    if (p.fillMode != 1) {
        const double w = p.strokeWidth;
        const double M = R + 10.0 * w;  // the miter limit
        if (p.starness > 0.9999) {
            reach = M;
        } else {
            // The miter at an outer point: its half-angle theta lies between
            // the side to the next inner point and the line to the centre.
            const auto& ansi = in_data->utils->ansi;
            const double step = 2.0 * kPi / p.sides;
            const double px = R * ansi.cos(0.0), py = R * ansi.sin(0.0);
            const double qx = R * ansi.cos(step), qy = R * ansi.sin(step);
            const double pull = 1.0 - p.starness;
            const double ix = (px + qx) / 2.0 * pull, iy = (py + qy) / 2.0 * pull;
            auto unit = [&](double& x, double& y) {
                const double len = ansi.sqrt(x * x + y * y);
                if (len != 0.0) x /= len, y /= len;
            };
            double ax = ix - px, ay = iy - py, bx = -px, by = -py;
            unit(ax, ay);
            unit(bx, by);
            double dot = ax * bx + ay * by;
            dot = dot > 1.0 ? 1.0 : (dot < -1.0 ? -1.0 : dot);  // rounding must not make acos NaN
            const double miter = R + w / ansi.sin(ansi.acos(dot));
            reach = miter < M ? miter : M;  // a zero angle (0 / 0) takes the limit too
        }
        // A negative stroke width draws no stroke and must not cut the fill.
        if (reach < R) reach = R;
    }
    raster::clipSpan(in_data, p.x - reach, p.x + reach, world->width, region.left, region.right);
    raster::clipSpan(in_data, p.y - reach, p.y + reach, world->height, region.top, region.bottom);
}

void PolygonDrawer::createEdges() {
    const Pattern& p = *pattern;
    edges.clear();
    innerEdges.clear();
    if (p.sides < kMinSides || p.sides > kMaxSides) return;
    const A_long n = p.sides;
    const double start = kPi / 2.0 - p.phase, step = 2.0 * kPi / n, pull = 1.0 - p.starness;
    auto build = [&](std::vector<Edge>& out, double radius) {
        out.reserve(static_cast<std::size_t>(2 * n));
        for (A_long k = 0; k < n; ++k) {
            const double a0 = start + k * step, a1 = start + (k + 1) * step;
            const double ox = radius * std::cos(a0), oy = radius * std::sin(a0);
            const double nx = radius * std::cos(a1), ny = radius * std::sin(a1);
            // The inner point lies on the ray halfway between the outer two.
            const double ix = (ox + nx) / 2.0 * pull, iy = (oy + ny) / 2.0 * pull;
            out.push_back(edge(ox, oy, ix, iy));
            out.push_back(edge(ix, iy, nx, ny));
        }
    };
    build(edges, p.radius);
    build(innerEdges, p.radius * p.innerRadius);
}

bool PolygonDrawer::doRender() {
    if (!visible()) return false;
    createEdges();
    preDraw();
    return true;
}

void PolygonDrawer::preDraw() {
    const std::size_t n = region.right > region.left ? static_cast<std::size_t>(region.right - region.left) : 0;
    columnOffsets.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        columnOffsets[k] = static_cast<double>(region.left + static_cast<A_long>(k)) - pattern->x;
}

// The tables a band reads, complete for the region and the side count.
bool PolygonDrawer::ready() const {
    const A_long n = pattern->sides;
    if (n < kMinSides || n > kMaxSides) return false;
    const std::size_t sides2 = static_cast<std::size_t>(2 * n);
    return edges.size() == sides2 && innerEdges.size() == sides2 &&
           columnOffsets.size() == static_cast<std::size_t>(region.right - region.left);
}

// The blend mode is chosen once per band; the loops below get it inlined.
template <class P>
void PolygonDrawer::drawDraftT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) { drawDraftLoop<P>(b, op); });
}
template <class P>
void PolygonDrawer::drawT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) { drawLoop<P>(b, op); });
}

// Hard edges: a pixel is drawn whole with the fill or the stroke, or left.
template <class P, class Op>
void PolygonDrawer::drawDraftLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const Frame g(in_data, p);
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    fillPx.alpha = strokePx.alpha = D::alpha(p.opacity);
    const double w = g.w, M = g.M;

    if (p.fillMode == 1) {
        forEachPixel<P>(
            *this, g, Runs(*this, g, 0.0, 0.0), b,
            [&](P& o, double d, double d2, double, double) {
                if (d >= 0.0 && d2 <= 0.0) o = op(fillPx, o);
            },
            [&](P* out, A_long from, A_long to) { Blend::blendSpan(op, fillPx, out, from, to); });
    } else if (p.fillMode == 2) {
        // Outside the outline, and inside the hole; the interior is left.
        forEachPixel<P>(*this, g, strokeRuns(*this, g, 0.0, 0.0), b, [&](P& o, double d, double d2, double, double) {
            if ((-w <= d && d <= 0.0) || (0.0 <= d2 && d2 <= w)) o = op(strokePx, o);
        });
    } else {
        forEachPixel<P>(
            *this, g, strokeRuns(*this, g, 0.0, 0.0), b,
            [&](P& o, double d, double d2, double px, double py) {
                if (d >= 0.0 && d2 <= 0.0)
                    o = op(fillPx, o);
                else if (d >= -w && std::sqrt(px * px + py * py) <= M && d2 <= w)
                    o = op(strokePx, o);
            },
            [&](P* out, A_long from, A_long to) { Blend::blendSpan(op, fillPx, out, from, to); });
    }
}

// Anti-aliased. A pixel whose alpha comes out 0 is left as it is, which is
// what blending it beneath gives in every mode.
template <class P, class Op>
void PolygonDrawer::drawLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const Frame g(in_data, p);
    const double opacity = p.opacity, w = g.w, M = g.M;
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);

    if (p.fillMode == 1) {
        P interiorPx = fillPx;
        interiorPx.alpha = D::alpha(g.ringFactor * opacity);
        forEachPixel<P>(
            *this, g, Runs(*this, g, 0.5, 0.5), b,
            [&](P& o, double d, double d2, double, double) {
                const double f = covIn(d, 0.0) * g.ringFactor * covOut(d2, 0.0);
                fillPx.alpha = D::alpha(f * opacity);
                if (fillPx.alpha != 0) o = op(fillPx, o);
            },
            [&](P* out, A_long from, A_long to) { Blend::blendSpan(op, interiorPx, out, from, to); });
    } else if (p.fillMode == 2) {
        // The interior is left: there the stroke's coverage is 0.
        forEachPixel<P>(*this, g, strokeRuns(*this, g, 0.5, 0.5), b, [&](P& o, double d, double d2, double, double) {
            const double outside = covIn(d, -w) * covOut(d, 0.0);
            const double s = raster::clamp01(outside + covIn(d2, 0.0) * covOut(d2, w));
            strokePx.alpha = D::alpha(s * g.strokeFactor * opacity);
            if (strokePx.alpha != 0) o = op(strokePx, o);
        });
    } else {
        // The fill lies over the stroke; the opacity applies to the merge.
        auto merge = [&](double f, double s) {
            fillPx.alpha = D::alpha(f);
            strokePx.alpha = D::alpha(s);
            P merged = Blend::normal(strokePx, fillPx);
            merged.alpha = D::scaleAlpha(merged.alpha, opacity);
            return merged;
        };
        // An opaque fill hides the stroke: the interior then takes one pixel.
        const bool opaqueFill = D::alpha(g.ringFactor) == raster::fullAlpha<P>();
        const P interiorPx = merge(g.ringFactor, g.strokeFactor);
        forEachPixel<P>(
            *this, g, strokeRuns(*this, g, 0.5, opaqueFill ? 0.5 : -1.0), b,
            [&](P& o, double d, double d2, double px, double py) {
                const double f = covIn(d, 0.0) * g.ringFactor * covOut(d2, 0.0);
                const double dist = std::sqrt(px * px + py * py);
                const P merged = merge(f, covOut(dist, M) * g.strokeFactor * covIn(d, -w) * covOut(d2, w));
                if (merged.alpha != 0) o = op(merged, o);
            },
            [&](P* out, A_long from, A_long to) { Blend::blendSpan(op, interiorPx, out, from, to); });
    }
}

template class raster::Rasteriser<PolygonDrawer>;
