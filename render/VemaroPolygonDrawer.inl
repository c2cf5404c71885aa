// The polygon drawer's drawing routines, included by one file per depth and
// kind (VemaroPolygonDrawer8/16/32.cpp anti-aliased, VemaroPolygonDraft8/16/
// 32.cpp hard-edged): each instantiates one routine for one pixel type, so
// the six compile side by side.
#pragma once

#include "VemaroPolygonDrawer.h"

#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroColumnRounding.h"
#include "VemaroPolygonEdge.h"
#include "VemaroRasteriser.h"
#include "VemaroRunKernels.h"
#include "VemaroScanPolygon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

using raster::covIn;
using raster::covOut;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
// Above this reach the cheap angle is off by more than a pixel at the rim.
constexpr double kFastAngleReach = 250.0;
// Rows with at most this many columns left to decide go to the edge kernel
// whole; on longer ones the wedge runs settle more for less.
constexpr A_long kEdgeRow = 32;
// Below this many the kernel's set-up costs more than the pixels.
constexpr A_long kEdgeRowMin = 8;
// Bands of fewer rows are not worth the outline's set-up.
constexpr A_long kOutlineRows = 40;

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

// What every draw routine works out once per call.
struct Frame {
    const PF_InData* in;
    double startAngle;   // of point 0, counter-clockwise from +x in the y-up frame
    double sectorWidth;  // pi / n: each side owns one wedge
    A_long sectors;      // 2n
    bool fast;           // the cheap angle is good enough
    // The sine of the angle by which a point must lie inside a wedge for the
    // sector to be that wedge's whatever the angle's error: the cheap angle
    // errs by at most 0.0049; the host's atan2, its difference to the start
    // angle and the division by the wedge width err by about 1e-13 for the
    // largest start angle that has rays (|a| <= 1000).
    double margin;
    double w, M;  // stroke width and the radial cap of fill and stroke
    bool hole;
    double ringFactor, strokeFactor;
    // The rays between the wedges, 2n + 1 of them (the last is the first),
    // when the start angle is small enough for them to be placed exactly:
    // the drawer's table.
    using Ray = PolygonDrawer::Ray;
    struct Rays {
        const Ray* at = nullptr;
        bool empty() const { return at == nullptr; }
        const Ray& operator[](A_long j) const { return at[j]; }
    } rays;

    explicit Frame(const PolygonDrawer& dr) : in(dr.in_data) {
        const PolygonDrawer::Pattern& p = *dr.pattern;
        const double R = p.radius;
        startAngle = kPi / 2.0 - p.phase;
        sectorWidth = kPi / p.sides;
        sectors = 2 * p.sides;
        w = p.strokeWidth;
        M = R + 10.0 * w;
        fast = (p.fillMode == 1 ? R : R + w) <= kFastAngleReach;
        margin = fast ? 0.006 : 1e-7;
        const double h = (R + 0.5) * p.innerRadius - 0.5;
        hole = h > 0.01;
        ringFactor = R > 0.001 ? raster::clamp01(2.0 * (R - h)) : 0.0;
        strokeFactor = w > 0.001 ? raster::clamp01(2.0 * w) : 0.0;
        if (std::fabs(startAngle) <= PolygonDrawer::kRayStart) rays.at = dr.rays.data();
    }

    // Whether the point lies inside wedge k by more than the angle can err,
    // so that sector() would give k: then its exact angle is at least
    // `margin` (a sine) from both of the wedge's rays. Wedges are at most a
    // third of a turn wide, so two positive cross products place the point
    // between the rays.
    [[gnu::always_inline]] bool safelyIn(A_long k, double px, double py) const {
        const Ray& a = rays[k];
        const Ray& b = rays[k + 1];
        const double ca = a.x * py - a.y * px;  // |p| sin(angle from a)
        const double cb = px * b.y - py * b.x;  // |p| sin(angle to b)
        if (!(ca > 0.0 && cb > 0.0)) return false;
        const double r2 = (px * px + py * py) * (margin * margin);
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
    // Rows with fewer pixels than this left to decide go pixel by pixel: the
    // runs would cost more than they save.
    A_long walkRow = 24;

    Runs() = default;
    // Pixels `outside` beyond the outline are left; those `inside` within it
    // form the interior run, only without a hole (none for inside < 0).
    Runs(const PolygonDrawer& dr, const Frame& g, double outside, double inside) {
        constexpr double kAngleError = 0.01;  // the cheap angle errs by at most 0.0049
        double hMin = std::numeric_limits<double>::infinity(), R = 0.0;
        for (const PolygonDrawer::Edge& ed : dr.edges) {
            hMin = std::min(hMin, signedDistance(ed, 0.0, 0.0));
            // A point whose square is below R^2 by far more than rounding
            // and hypot's last-place error can reach lies inside R: most
            // inner points skip the call.
            if (R > 1e-100 && R < 1e100 && ed.x * ed.x + ed.y * ed.y < R * R * 0.999998) continue;
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

using raster::ScanPolygon;
static_assert(ScanPolygon::kMaxVertices >= 5 * Runs::kMaxWedges, "an outline has up to five vertices per wedge");

// Where a row's pixels are settled without the angle, for a shape without a
// hole whose wedges the runs take: the sector() of a pixel is one of the
// wedges that hold it once widened by more than the angle can err (one away
// from the rays, one of the two beside a ray close to it). So
// - outside `outer` every wedge that may hold a pixel puts it more than
//   `far` outside its side: the pixel is left;
// - inside `inner` every such wedge puts it at least `depth` inside: the
//   interior value.
// Both are star-shaped round the centre: in the widened wedge's angles away
// from the rays each follows its side's line moved out (in) by those depths,
// in the few angles round a ray the farther (nearer) of the two lines; the
// distances carry a margin for the rounding of the points and rows.
struct Outline {
    ScanPolygon outer, inner;
    bool ok = false;

    Outline(const PolygonDrawer& dr, const Frame& g, const Runs& runs, bool wanted) {
        if (!(wanted && runs.cut && runs.wedges && std::isfinite(runs.depth))) return;
        const A_long n = g.sectors;
        // Twice the angle's error bound (a sine: below the angle by far less
        // than that).
        const double m = 2.0 * g.margin, cm = std::cos(m), sm = std::sin(m);
        const double slack = 1e-6 + 1e-9 * std::sqrt(runs.outer2);
        const double sOut = runs.far + slack, sIn = -(runs.depth + slack);
        // Along the unit direction u, side k's line moved out by far (in by
        // depth) lies at (h + sOut) / (u.n) ((h + sIn) / (u.n)), h the
        // side's distance from the centre and n its outward normal: the
        // four of ray j are those of sides j - 1 and j just before it (b)
        // and just after it (a).
        struct At {
            double bx, by, ax, ay;
            double o[4], in[4];  // sides j - 1 and j at b, then at a
        };
        auto at = [&](A_long j, At& r) {
            const PolygonDrawer::Ray& ray = g.rays[j];
            r.bx = ray.x * cm + ray.y * sm, r.by = ray.y * cm - ray.x * sm;
            r.ax = ray.x * cm - ray.y * sm, r.ay = ray.y * cm + ray.x * sm;
            const PolygonDrawer::Edge& e0 = dr.edges[j == 0 ? n - 1 : j - 1];
            const PolygonDrawer::Edge& e1 = dr.edges[j];
            const double h0 = signedDistance(e0, 0.0, 0.0), h1 = signedDistance(e1, 0.0, 0.0);
            const double towards[4] = {r.bx * e0.uy - r.by * e0.ux, r.bx * e1.uy - r.by * e1.ux,
                                       r.ax * e0.uy - r.ay * e0.ux, r.ax * e1.uy - r.ay * e1.ux};
            for (int i = 0; i < 4; ++i) {
                const double h = i & 1 ? h1 : h0, inv = 1.0 / towards[i];
                r.o[i] = (h + sOut) * inv, r.in[i] = (h + sIn) * inv;
                if (!(towards[i] > 1e-3 && r.in[i] > 0.0 && r.o[i] <= raster::kMaxExtent)) return false;
            }
            return true;
        };
        double ox[ScanPolygon::kMaxVertices], oy[ScanPolygon::kMaxVertices];
        double ix[ScanPolygon::kMaxVertices], iy[ScanPolygon::kMaxVertices];
        int no = 0, ni = 0;
        auto push = [](double* vx, double* vy, int& c, double t, double ux, double uy) {
            const double px = t * ux, py = t * uy;
            if (c > 0 && vx[c - 1] == px && vy[c - 1] == py) return;
            vx[c] = px, vy[c] = py, ++c;
        };
        // Round ray j: the farther line outside, the nearer inside, with the
        // point where the two lines cross when they swap.
        auto zone = [&](const At& r, const double* t, bool far, double* vx, double* vy, int& c) {
            push(vx, vy, c, far ? std::max(t[0], t[1]) : std::min(t[0], t[1]), r.bx, r.by);
            if ((t[0] > t[1]) != (t[2] > t[3])) {
                // Lines j - 1 and j from their points at b to those at a.
                const double p0x = t[0] * r.bx, p0y = t[0] * r.by, p1x = t[2] * r.ax, p1y = t[2] * r.ay;
                const double q0x = t[1] * r.bx, q0y = t[1] * r.by, q1x = t[3] * r.ax, q1y = t[3] * r.ay;
                const double dpx = p1x - p0x, dpy = p1y - p0y, dqx = q1x - q0x, dqy = q1y - q0y;
                const double u = ((q0x - p0x) * dqy - (q0y - p0y) * dqx) / (dpx * dqy - dpy * dqx);
                if (u > 0.0 && u < 1.0) push(vx, vy, c, 1.0, p0x + u * dpx, p0y + u * dpy);
            }
            push(vx, vy, c, far ? std::max(t[2], t[3]) : std::min(t[2], t[3]), r.ax, r.ay);
        };
        At cur, next;
        if (!at(0, cur)) return;
        for (A_long j = 0; j < n; ++j) {
            zone(cur, cur.o, true, ox, oy, no);
            zone(cur, cur.in, false, ix, iy, ni);
            if (!at(j + 1 == n ? 0 : j + 1, next)) return;
            // Wedge j alone from just after ray j to just before ray j + 1.
            push(ox, oy, no, cur.o[3], cur.ax, cur.ay);
            push(ox, oy, no, next.o[0], next.bx, next.by);
            push(ix, iy, ni, cur.in[3], cur.ax, cur.ay);
            push(ix, iy, ni, next.in[0], next.bx, next.by);
            cur = next;
        }
        outer.build(ox, oy, no);
        inner.build(ix, iy, ni);
        ok = true;
    }
};

// The runs of a stroke: it reaches its width further out. Stroke only also
// draws inside the hole, which lies within the same bound only while it is no
// larger than the outline.
Runs strokeRuns(const PolygonDrawer& dr, const Frame& g, double outside, double inside) {
    const PolygonDrawer::Pattern& p = *dr.pattern;
    if (p.fillMode == 2 && g.hole && !(p.innerRadius >= 0.0 && p.innerRadius <= 1.0)) return Runs();
    Runs runs(dr, g, outside + (g.w > 0.0 ? g.w : 0.0), inside);
    runs.walkRow = 16;  // stroked pixels cost more each
    return runs;
}

// What a drawing does with the record's known-opaque columns. With `skip`
// (its blend mode keeps an opaque top) its writes leave them as they are, so
// the interior runs pass them by and the record keeps them; with `add` too
// (its interior pixel is opaque) a row's interior run adds to them.
struct OpaqueUse {
    bool skip = false, add = false;
};
template <class P, class Op>
OpaqueUse opaqueUse(const PolygonDrawer& dr, Op, const P& interiorPx) {
    OpaqueUse use;
    use.skip = Op::template keepsOpaqueTop<P>() && dr.known != nullptr;
    use.add = use.skip && interiorPx.alpha == raster::fullAlpha<P>();
    return use;
}

// Calls f(output pixel, d, d2, px, py) for every pixel of the band that runs
// do not settle: d is the signed distance to the outline (positive inside),
// d2 that to the hole's outline (positive inside the hole; minus infinity
// without a hole, which makes every hole test pass as if there were none).
// Pixels beyond the outer run are left; those settled to the interior value
// go to span(row, from, to).
//
// Along a row the sector changes only where the row crosses a ray, so most
// of a row is a few runs of columns that lie safely in one wedge: there the
// side is known without the angle, and where the distance to that side is
// at least runs.depth inside or runs.far outside, the run is settled whole
// (each condition is linear along the row: found from the row, checked at
// its ends with a margin that covers rounding). Only the few columns next to
// a ray need the angle, and not even those when both wedges beside the ray
// settle them the same way.
template <class P, class F, class S>
class RowWalk {
public:
    RowWalk(const PolygonDrawer& dr, const Frame& g, const Runs& runs, F& f, S& span)
        : g(g),
          runs(runs),
          f(f),
          span(span),
          outer(dr.edges.data()),
          inner(dr.innerEdges.data()),
          cols(dr.columnOffsets.data() - dr.region.left),
          x(dr.pattern->x) {}

    // Row out at py: the pixels [from, to), of which [a, z) take the interior
    // value.
    void row(P* o, double y, A_long from, A_long to, A_long a, A_long z) {
        out = o, py = y;
        if (!prepared) prepare();
        ia = a, iz = z;
        fill(a, z);
        Piece pieces[Runs::kMaxWedges];
        // Only the wedges that meet the columns left of the interior run and
        // right of it: the interior run settles the rest.
        uint64_t visit = 0;
        if (a < z) {
            if (from < a) visit |= wedgesMeeting(from, a, hint[0], hint[1], false, true);
            if (z < to) visit |= wedgesMeeting(z - 1, to - 1, hint[2], hint[3], true, false);
        } else {
            visit = wedgesMeeting(from, to - 1, hint[0], hint[3], false, false);
        }
        const int count = safeRuns(from, to, visit, pieces);
        A_long c = from, prev = -1;
        for (int i = 0; i < count; ++i) {
            const Piece& q = pieces[i];
            const A_long q0 = std::max(q.from, c);
            if (q.to <= q0) continue;
            clipped(c, q0, [&](A_long c0, A_long c1) { zone(c0, c1, prev, q.k); });
            clipped(q0, q.to, [&](A_long c0, A_long c1) { piece(c0, c1, q.k); });
            prev = q.k;
            c = q.to;
        }
        clipped(c, to, [&](A_long c0, A_long c1) { zone(c0, c1, prev, -1); });
        flush();
    }

private:
    static constexpr double kNoHole = -std::numeric_limits<double>::infinity();
    struct Piece {
        A_long from, to, k;
    };

    const Frame& g;
    const Runs& runs;
    F& f;
    S& span;
    const PolygonDrawer::Edge* outer;
    const PolygonDrawer::Edge* inner;
    const double* cols;
    double x;
    P* out = nullptr;
    double py = 0.0;
    A_long ia = 0, iz = 0;            // the row's interior run
    A_long fillFrom = 0, fillTo = 0;  // the interior run being gathered
    // Reciprocals for the estimates, once a row is walked: 1 / y of each
    // ray and 1 / (-uy) of each side, 0 where level.
    bool prepared = false;
    A_long hint[4] = {0, 0, 0, 0};  // the wedges of the row's run ends
    double invY[Runs::kMaxWedges + 1];
    double invSlope[Runs::kMaxWedges];

    void prepare() {
        const A_long n = std::min<A_long>(g.sectors, Runs::kMaxWedges);
        for (A_long k = 0; k <= n; ++k) invY[k] = g.rays[k].y != 0.0 ? 1.0 / g.rays[k].y : 0.0;
        for (A_long k = 0; k < n; ++k) invSlope[k] = outer[k].uy != 0.0 ? -1.0 / outer[k].uy : 0.0;
        prepared = true;
    }

    // floor(v) and ceil(v) clamped to [lo, hi]; v is clamped in double before
    // it becomes an integer (NaN gives lo).
    static A_long floorIn(double v, A_long lo, A_long hi) {
        if (!(v > lo)) return lo;
        if (v >= hi) return hi;
        const A_long i = static_cast<A_long>(v);
        return i > v ? i - 1 : i;
    }
    static A_long ceilIn(double v, A_long lo, A_long hi) {
        if (!(v > lo)) return lo;
        if (v >= hi) return hi;
        const A_long i = static_cast<A_long>(v);
        return i < v ? i + 1 : i;
    }

    // Interior runs that touch are drawn as one.
    void fill(A_long c0, A_long c1) {
        if (c0 >= c1) return;
        if (fillFrom < fillTo && c0 == fillTo) {
            fillTo = c1;
        } else if (fillFrom < fillTo && c1 == fillFrom) {
            fillFrom = c0;
        } else {
            flush();
            fillFrom = c0, fillTo = c1;
        }
    }
    void flush() {
        if (fillFrom < fillTo) span(out, fillFrom, fillTo);
        fillFrom = fillTo = 0;
    }

    // h(c0, c1) on the parts of [c0, c1) outside the row's interior run.
    template <class H>
    void clipped(A_long c0, A_long c1, H h) const {
        if (ia >= iz) {
            if (c0 < c1) h(c0, c1);
            return;
        }
        if (c0 < std::min(c1, ia)) h(c0, std::min(c1, ia));
        if (std::max(c0, iz) < c1) h(std::max(c0, iz), c1);
    }

    void pixel(A_long c, A_long k) {
        const double px = cols[c];
        const double d = signedDistance(outer[k], px, py);
        const double d2 = g.hole ? signedDistance(inner[k], px, py) : kNoHole;
        f(out, c, d, d2, px, py);
    }

    // The wedge holding (px, py), found from a nearby wedge k: the rays are
    // crossed one by one. Only a guide to which wedges to look at (a wedge
    // off by one is covered by the neighbours taken along).
    A_long locate(A_long k, double px) const {
        const A_long n = g.sectors;
        for (A_long step = 0; step < n; ++step) {
            const PolygonDrawer::Ray& a = g.rays[k];
            const PolygonDrawer::Ray& b = g.rays[k + 1];
            if (a.x * py - a.y * px < 0.0)
                k = k == 0 ? n - 1 : k - 1;
            else if (px * b.y - py * b.x <= 0.0)
                k = k + 1 == n ? 0 : k + 1;
            else
                break;
        }
        return k;
    }

    // The wedges that meet the columns [c0, c1] of the row, as bits, with the
    // next one beyond an end that lies in the interior run (so that the
    // columns next to the ray there are settled by the wedges on both sides);
    // h0 and h1 carry the wedges of the ends from row to row. Along a row
    // that misses the centre the angle changes one way: it falls left to
    // right above the centre and rises below it.
    uint64_t wedgesMeeting(A_long c0, A_long c1, A_long& h0, A_long& h1, bool grow0, bool grow1) const {
        const A_long n = g.sectors;
        const uint64_t all = n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
        if (py == 0.0) return all;
        h0 = locate(h0, cols[c0]);
        h1 = locate(h1, cols[c1]);
        const bool up = py < 0.0;  // the wedge numbers rise along the row
        const A_long diff = up ? h1 - h0 : h0 - h1;
        const A_long count = (diff < 0 ? diff + n : diff) + 1 + grow0 + grow1;
        if (count >= n) return all;
        // count wedges on from h0 (one before it with grow0), as a run of
        // bits turned round the n wedges.
        A_long s = h0;
        if (grow0) s = up ? (s == 0 ? n - 1 : s - 1) : (s + 1 == n ? 0 : s + 1);
        A_long lo = up ? s : s - (count - 1);
        if (lo < 0) lo += n;
        const uint64_t run = (uint64_t{1} << count) - 1;
        uint64_t bits = run << lo;
        if (lo > 0) bits |= run >> (n - lo);
        return bits & all;
    }

    // The columns of [from, to) that lie safely in one of the wedges `visit`,
    // at most one run per wedge, in column order; returns their count.
    int safeRuns(A_long from, A_long to, uint64_t visit, Piece* pieces) const {
        if (from >= to) return 0;
        // |p| of every pixel of the row is at most rowR; the wedge test asks
        // its cross products for margin |p|.
        const double rowR = std::sqrt(std::max(cols[from] * cols[from], cols[to - 1] * cols[to - 1]) + py * py);
        const double need = g.margin * (1.0 + 1e-6) * rowR + 1e-9;
        int count = 0;
        for (; visit; visit &= visit - 1) {
            const A_long k = __builtin_ctzll(visit);
            const PolygonDrawer::Ray& a = g.rays[k];
            const PolygonDrawer::Ray& b = g.rays[k + 1];
            // A wedge (narrower than half a turn) meets the row only if one
            // of its rays points to the row's side.
            if ((py > 0.0 && a.y <= 0.0 && b.y <= 0.0) || (py < 0.0 && a.y >= 0.0 && b.y >= 0.0)) continue;
            double lo = cols[from], hi = cols[to - 1];
            // a.x py - a.y px >= need and px b.y - py b.x >= need, solved
            // for px; the ends are confirmed below.
            const double ta = (a.x * py - need) * invY[k], tb = (py * b.x + need) * invY[k + 1];
            if (a.y > 0.0)
                hi = std::min(hi, ta);
            else if (a.y < 0.0)
                lo = std::max(lo, ta);
            else if (!(a.x * py >= need))
                continue;
            if (b.y > 0.0)
                lo = std::max(lo, tb);
            else if (b.y < 0.0)
                hi = std::min(hi, tb);
            else if (!(-py * b.x >= need))
                continue;
            if (!(lo <= hi)) continue;
            A_long c0 = ceilIn(lo + x, from, to);
            A_long c1 = floorIn(hi + x, c0 - 1, to - 1) + 1;
            auto safe = [&](A_long c) {
                const double px = cols[c];
                return a.x * py - a.y * px >= need && px * b.y - py * b.x >= need;
            };
            while (c0 < c1 && !safe(c0)) ++c0;
            while (c1 > c0 && !safe(c1 - 1)) --c1;
            if (c0 >= c1) continue;
            // Few runs: insertion into column order.
            int i = count++;
            for (; i > 0 && pieces[i - 1].from > c0; --i) pieces[i] = pieces[i - 1];
            pieces[i] = {c0, c1, k};
        }
        return count;
    }

    // Columns [c0, c1) safely in wedge k: settled where the distance to side
    // k decides, the rest from that side without the angle.
    [[gnu::flatten]] void piece(A_long c0, A_long c1, A_long k) {
        const PolygonDrawer::Edge& e = outer[k];
        const PolygonDrawer::Edge& h = inner[k];
        // signedDistance() with the row's part taken out of the loop.
        const double de = (py - e.y) * e.ux, dh = (py - h.y) * h.ux;
        auto known = [&](A_long a, A_long z) {
            for (A_long c = a; c < z; ++c) {
                const double px = cols[c];
                f(out, c, de - (px - e.x) * e.uy, g.hole ? dh - (px - h.x) * h.uy : kNoHole, px, py);
            }
        };
        if (!runs.wedges) return known(c0, c1);
        auto in = [&](A_long c) { return de - (cols[c] - e.x) * e.uy >= runs.depth; };
        auto outside = [&](A_long c) { return de - (cols[c] - e.x) * e.uy <= -runs.far; };
        // d = dAlpha + dBeta px along the row: the columns where it meets
        // the bounds, confirmed at the ends.
        const double dAlpha = de + e.x * e.uy, dBeta = -e.uy, inv = invSlope[k];
        const double atIn = (runs.depth - dAlpha) * inv + x, atOut = (-runs.far - dAlpha) * inv + x;
        if (dBeta > 0.0) {
            // Outside, then inside.
            A_long t = ceilIn(atIn, c0, c1);
            while (t < c1 && !in(t)) ++t;
            if (t < c1 && !in(c1 - 1)) t = c1;
            A_long s = floorIn(atOut, c0 - 1, t - 1) + 1;
            while (s > c0 && !outside(s - 1)) --s;
            if (s > c0 && !outside(c0)) s = c0;
            known(s, t);
            fill(t, c1);
        } else if (dBeta < 0.0) {
            // Inside, then outside.
            A_long s = floorIn(atIn, c0 - 1, c1 - 1) + 1;
            while (s > c0 && !in(s - 1)) --s;
            if (s > c0 && !in(c0)) s = c0;
            A_long t = ceilIn(atOut, s, c1);
            while (t < c1 && !outside(t)) ++t;
            if (t < c1 && !outside(c1 - 1)) t = c1;
            fill(c0, s);
            known(s, t);
        } else if (in(c0) && in(c1 - 1)) {
            fill(c0, c1);
        } else if (!(outside(c0) && outside(c1 - 1))) {
            known(c0, c1);
        }
    }

    // Columns [c0, c1) between the safe runs of wedges prev and next (-1
    // where there is none): each pixel's angle lies between those of its
    // neighbours in the runs, so the sector is prev or next when these are
    // neighbours, and a pixel both settle the same way needs no angle.
    void zone(A_long c0, A_long c1, A_long prev, A_long next) {
        const A_long n = g.sectors;
        const bool pair = runs.wedges && prev >= 0 && next >= 0 && (next == (prev + 1) % n || prev == (next + 1) % n);
        for (A_long c = c0; c < c1; ++c) {
            const double px = cols[c];
            if (pair) {
                const double d0 = signedDistance(outer[prev], px, py), d1 = signedDistance(outer[next], px, py);
                if (d0 >= runs.depth && d1 >= runs.depth) {
                    fill(c, c + 1);
                    continue;
                }
                if (d0 <= -runs.far && d1 <= -runs.far) continue;
            }
            pixel(c, g.sector(px, py));
        }
    }
};

template <class P, class F, class S>
void forEachPixel(const PolygonDrawer& dr, const Frame& g, const Runs& runs, const PF_LRect& b, F f, S fillSpan,
                  OpaqueUse use) {
    // The row's known-clear hull: the pixels outside it are told so. With
    // use.skip, its known-opaque columns: the interior runs leave them.
    using Hull = raster::KnownClear::Hull;
    Hull hull = raster::KnownClear::kAll;
    raster::KnownClear::Spans opaque{{}, 0};
    auto put = [&](P* out, A_long c, double d, double d2, double px, double py) VEMARO_INLINE_LAMBDA {
        f(out[c], d, d2, px, py, c < hull.lo || c >= hull.hi);
    };
    auto interior = [&](P* out, A_long from, A_long to) {
        raster::KnownClear::split(
            from, to, hull, [&](A_long a, A_long z) { fillSpan(out, a, z, true); },
            [&](A_long a, A_long z) {
                raster::KnownClear::outside(opaque, a, z,
                                            [&](A_long c0, A_long c1) { fillSpan(out, c0, c1, false); });
            });
    };
    const bool rowRecord = raster::KnownClear::byRow(dr.known, dr.region, b, use.skip);
    // Row r's record before the element, widened over columns [from, to) of
    // which [a, z) take the interior value.
    auto record = [&](A_long r, A_long from, A_long to, A_long a, A_long z) {
        if (use.skip) {
            const raster::KnownClear::Row before = dr.known->keep(r, from, to, a, use.add ? z : a);
            hull = before.hull, opaque = before.opaque;
        } else {
            hull = dr.known->hull(r);
            dr.known->widen(r, from, to);
        }
    };
    const PolygonDrawer::Edge* outer = dr.edges.data();
    const PolygonDrawer::Edge* inner = dr.innerEdges.data();
    const double* cols = dr.columnOffsets.data() - dr.region.left;
    const double x = dr.pattern->x;
    constexpr double kNoHole = -std::numeric_limits<double>::infinity();
    // Along a row the sector changes only where the row crosses a ray: a
    // pixel safely inside the previous pixel's wedge keeps its side without
    // the angle.
    // A pixel past the previous one's wedge is most often safely in the
    // next wedge either way.
    const bool track = !g.rays.empty();
    auto wedge = [&](A_long k, double px, double py) VEMARO_INLINE_LAMBDA {
        if (track && k >= 0) {
            const A_long up = k + 1 == g.sectors ? 0 : k + 1, down = k == 0 ? g.sectors - 1 : k - 1;
            if (g.safelyIn(up, px, py)) return up;
            if (g.safelyIn(down, px, py)) return down;
        }
        return g.sector(px, py);
    };
    // k: the wedge of a pixel nearby (-1: none), left with that of the last.
    auto pixels = [&](P* out, double py, A_long from, A_long to, A_long& k) VEMARO_INLINE_LAMBDA {
        for (A_long c = from; c < to; ++c) {
            const double px = cols[c];
            if (!(track && k >= 0 && g.safelyIn(k, px, py))) k = wedge(k, px, py);
            const double d = signedDistance(outer[k], px, py);
            const double d2 = g.hole ? signedDistance(inner[k], px, py) : kNoHole;
            put(out, c, d, d2, px, py);
        }
    };
    const bool walk = track && g.sectors <= Runs::kMaxWedges;
    RowWalk<P, decltype(put), decltype(interior)> walker(dr, g, runs, put, interior);
    // Rows with few columns to decide go to the edge kernel: every pixel's
    // wedge and distances a vector at a time, only the pixels near the
    // outline through f.
    const bool edges = g.fast && g.sectors <= polyedge::kMaxWedges && std::fabs(g.startAngle) <= polyedge::kMaxStart;
    const polyedge::ClassifyFn classify = edges ? polyedge::classifyKernel() : nullptr;
    double ex[polyedge::kMaxWedges], uy[polyedge::kMaxWedges], de[polyedge::kMaxWedges];
    double hx[polyedge::kMaxWedges], huy[polyedge::kMaxWedges], dh[polyedge::kMaxWedges];
    polyedge::Row er{};
    if (edges) {
        for (A_long k = 0; k < g.sectors; ++k) {
            ex[k] = outer[k].x, uy[k] = outer[k].uy;
            hx[k] = inner[k].x, huy[k] = inner[k].uy;
        }
        er = {0.0,
              g.startAngle,
              g.sectorWidth,
              static_cast<double>(g.sectors),
              runs.wedges,
              runs.depth,
              runs.far,
              de,
              ex,
              uy,
              g.hole ? dh : nullptr,
              hx,
              huy};
    }
    // The row's part of the kernel's tables.
    auto edgeStart = [&](double py) {
        // signedDistance() with the row's part taken out of the loop.
        for (A_long k = 0; k < g.sectors; ++k) de[k] = (py - outer[k].y) * outer[k].ux;
        if (g.hole)
            for (A_long k = 0; k < g.sectors; ++k) dh[k] = (py - inner[k].y) * inner[k].ux;
        er.py = py;
    };
    // Interior runs that touch are drawn as one.
    struct Merge {
        decltype(interior)& span;
        P* out;
        A_long fa = 0, fz = 0;
        void operator()(A_long c0, A_long c1) {
            if (fa < fz && c0 == fz) {
                fz = c1;
                return;
            }
            if (fa < fz) span(out, fa, fz);
            fa = c0, fz = c1;
        }
        ~Merge() {
            if (fa < fz) span(out, fa, fz);
        }
    };
    // Columns [c0, c1) through the kernel.
    auto part = [&](P* out, double py, A_long c0, A_long c1, Merge& fill) {
        double d[polyedge::kChunk], d2[polyedge::kChunk];
        for (A_long c = c0; c < c1; c += polyedge::kChunk) {
            const polyedge::Result res = classify(er, cols + c, std::min(polyedge::kChunk, c1 - c), d, d2);
            for (uint64_t u = res.interior; u;) {
                const int j = __builtin_ctzll(u);
                const uint64_t rest = ~(u >> j);
                const int end = rest ? j + __builtin_ctzll(rest) : 64;
                fill(c + j, c + end);
                u = end >= 64 ? 0 : u & ~((uint64_t{1} << end) - 1);
            }
            for (uint64_t e = res.edge; e; e &= e - 1) {
                const int j = __builtin_ctzll(e);
                put(out, c + j, d[j], d2[j], cols[c + j], py);
            }
        }
    };
    auto edgeRow = [&](P* out, double py, A_long from, A_long to, A_long a, A_long z) {
        edgeStart(py);
        Merge fill{interior, out};
        part(out, py, from, a, fill);
        if (a < z) fill(a, z);
        part(out, py, z, to, fill);
    };
    // Column positions are clamped in double before they become integers.
    auto column = [](double v, A_long lo, A_long hi) { return v <= lo ? lo : (v >= hi ? hi : static_cast<A_long>(v)); };
    // column(ceil(v), lo, hi) and column(floor(v) + 1, lo, hi) without the
    // library's rounding, which the portable build cannot do in one
    // instruction; NaN keeps the calls.
    auto ceilColumn = [&](double v, A_long lo, A_long hi) {
        return v != v ? column(std::ceil(v), lo, hi) : raster::ceilIn(v, lo, hi);
    };
    auto floorColumnEnd = [&](double v, A_long lo, A_long hi) {
        return v != v ? column(std::floor(v) + 1.0, lo, hi) : raster::floorPlusOneIn(v, lo, hi);
    };
    auto sq = [&](A_long c) { return cols[c] * cols[c]; };
    // Rows through the outline's bounds: the interior runs filled, the
    // columns between the bounds through the kernel or one by one, the rest
    // left.
    Outline outline(dr, g, runs, b.bottom - b.top >= kOutlineRows);
    // The wedge of each piece of a row left to decide, left to right, from
    // row to row: the pieces move little. A row has at most one piece per
    // outer run and one more per inner run.
    A_long hints[ScanPolygon::kMaxVertices + 1];
    int hinted = 0;  // hints[0, hinted) set
    // The outline alone bounds what a row writes: the columns of its outer
    // runs, which hold its inner runs.
    auto outlineRow = [&](A_long r, P* out, double py) {
        double xo[ScanPolygon::kMaxVertices], xi[ScanPolygon::kMaxVertices];
        A_long o[ScanPolygon::kMaxVertices];
        // The hole's bound only matters within the outer runs; a row it
        // skips changes no later row's crossings, which each row works out
        // from its active edges.
        const int no = outline.outer.crossings(py, xo);
        if (no == 0) return;
        const int ni = outline.inner.crossings(py, xi);
        for (int i = 0; i < no; i += 2) {
            o[i] = ceilColumn(xo[i] + x, i ? o[i - 1] : b.left, b.right);
            o[i + 1] = floorColumnEnd(xo[i + 1] + x, o[i], b.right);
        }
        const A_long from = o[0], to = o[no - 1];
        if (from >= to) return;
        // The inner runs, the longest of them given to the record.
        A_long ia[ScanPolygon::kMaxVertices / 2], iz[ScanPolygon::kMaxVertices / 2];
        int runCount = 0, longest = -1;
        A_long c = from;
        for (int i = 0; i < ni; i += 2) {
            const A_long a = ceilColumn(xi[i] + x, c, to);
            const A_long z = floorColumnEnd(xi[i + 1] + x, a, to);
            if (a >= z) continue;
            if (longest < 0 || z - a > iz[longest] - ia[longest]) longest = runCount;
            ia[runCount] = a, iz[runCount++] = z;
            c = z;
        }
        if (rowRecord) record(r, from, to, longest < 0 ? from : ia[longest], longest < 0 ? from : iz[longest]);
        int oi = 0, piece = 0;
        // Long pieces (along sides that run nearly with the row) go to the
        // edge kernel, its interior runs gathered in `settled`.
        Merge settled{interior, out};
        bool started = false;
        // The columns of [g0, g1) within the outer runs.
        auto gap = [&](A_long g0, A_long g1) {
            for (; oi < no && o[oi] < g1; oi += 2) {
                const A_long c0 = std::max(o[oi], g0), c1 = std::min(o[oi + 1], g1);
                if (c0 < c1) {
                    if (piece == hinted) hints[hinted++] = -1;
                    // Columns known opaque stay as they are beneath anything.
                    auto unknown = [&](A_long p0, A_long p1) {
                        if (edges && p1 - p0 >= kEdgeRowMin) {
                            if (!started) edgeStart(py), started = true;
                            part(out, py, p0, p1, settled);
                        } else {
                            pixels(out, py, p0, p1, hints[piece]);
                        }
                    };
                    raster::KnownClear::outside(opaque, c0, c1, unknown);
                    ++piece;
                }
                if (o[oi + 1] > g1) break;
            }
        };
        c = from;
        for (int i = 0; i < runCount; ++i) {
            gap(c, ia[i]);
            interior(out, ia[i], iz[i]);
            c = iz[i];
        }
        gap(c, to);
    };
    for (A_long r = b.top; r < b.bottom; ++r) {
        P* out = raster::row<P>(dr.world, r);
        const double py = dr.pattern->y - r;
        if (outline.ok) {
            outlineRow(r, out, py);
            continue;
        }
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
            a = ceilColumn(x - half, from, to);
            z = floorColumnEnd(x + half, a, to);
            while (a < z && sq(a) + py2 > runs.inner2) ++a;
            while (z > a && sq(z - 1) + py2 > runs.inner2) --z;
        }
        if (rowRecord) record(r, from, to, a, z);
        const A_long undecided = (to - from) - (z - a);
        if (edges && undecided >= kEdgeRowMin && undecided <= kEdgeRow) {
            edgeRow(out, py, from, to, a, z);
            continue;
        }
        // Short rows go pixel by pixel: finding the runs would cost more.
        if (!walk || (to - from) - (z - a) < runs.walkRow) {
            A_long k = -1;
            pixels(out, py, from, a, k);
            if (a < z) interior(out, a, z);
            pixels(out, py, z, to, k);
            continue;
        }
        walker.row(out, py, from, to, a, z);
    }
}
template <class P, class F>
void forEachPixel(const PolygonDrawer& dr, const Frame& g, const Runs& runs, const PF_LRect& b, F f, OpaqueUse use) {
    use.add = false;  // the interior is left
    forEachPixel<P>(dr, g, runs, b, f, [](P*, A_long, A_long, bool) {}, use);
}

// out = op(px, out): a transparent px leaves the output; over an output pixel
// known to be clear the result is px, stored without reading.
template <class P, class Op>
VEMARO_INLINE void put(Op op, const P& px, P& out, bool clear) {
    if (px.alpha == 0) return;
    if (clear)
        out = px;
    else
        runs::blendPixel(op, px, out);
}

// The interior run [from, to) of a row: stored where the output is known
// clear, blended beneath elsewhere.
template <class P, class Op>
VEMARO_INLINE void putRun(runs::FillFn<P> fill, runs::StoreFn<P> store, Op op, const P& px, P* out, A_long from,
                          A_long to, bool clear) {
    if (px.alpha == 0) return;
    if (clear)
        store(out + from, to - from, px);
    else
        runs::beneath(fill, op, px, out, from, to);
}

}  // namespace

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
    const Frame g(*this);
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    fillPx.alpha = strokePx.alpha = D::alpha(p.opacity);
    const double w = g.w, M = g.M;
    const runs::FillFn<P> fill = runs::fillKernel<P>();
    const runs::StoreFn<P> store = runs::storeKernel<P>();
    const OpaqueUse use = opaqueUse(*this, op, fillPx);

    if (p.fillMode == 1) {
        forEachPixel<P>(
            *this, g, Runs(*this, g, 0.0, 0.0), b,
            [&](P& o, double d, double d2, double, double, bool clear) {
                if (d >= 0.0 && d2 <= 0.0) put(op, fillPx, o, clear);
            },
            [&](P* out, A_long from, A_long to, bool clear) {
                putRun(fill, store, op, fillPx, out, from, to, clear);
            },
            use);
    } else if (p.fillMode == 2) {
        // Outside the outline, and inside the hole; the interior is left.
        forEachPixel<P>(
            *this, g, strokeRuns(*this, g, 0.0, 0.0), b,
            [&](P& o, double d, double d2, double, double, bool clear) {
                if ((-w <= d && d <= 0.0) || (0.0 <= d2 && d2 <= w)) put(op, strokePx, o, clear);
            },
            use);
    } else {
        forEachPixel<P>(
            *this, g, strokeRuns(*this, g, 0.0, 0.0), b,
            [&](P& o, double d, double d2, double px, double py, bool clear) {
                if (d >= 0.0 && d2 <= 0.0)
                    put(op, fillPx, o, clear);
                else if (d >= -w && std::sqrt(px * px + py * py) <= M && d2 <= w)
                    put(op, strokePx, o, clear);
            },
            [&](P* out, A_long from, A_long to, bool clear) {
                putRun(fill, store, op, fillPx, out, from, to, clear);
            },
            use);
    }
}

// Anti-aliased. A pixel whose alpha comes out 0 is left as it is, which is
// what blending it beneath gives in every mode.
template <class P, class Op>
void PolygonDrawer::drawLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const Frame g(*this);
    const double opacity = p.opacity, w = g.w, M = g.M;
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    const runs::FillFn<P> fill = runs::fillKernel<P>();
    const runs::StoreFn<P> store = runs::storeKernel<P>();

    if (p.fillMode == 1) {
        P interiorPx = fillPx;
        interiorPx.alpha = D::alpha(g.ringFactor * opacity);
        forEachPixel<P>(
            *this, g, Runs(*this, g, 0.5, 0.5), b,
            [&](P& o, double d, double d2, double, double, bool clear) {
                const double f = covIn(d, 0.0) * g.ringFactor * covOut(d2, 0.0);
                fillPx.alpha = D::alpha(f * opacity);
                put(op, fillPx, o, clear);
            },
            [&](P* out, A_long from, A_long to, bool clear) {
                putRun(fill, store, op, interiorPx, out, from, to, clear);
            },
            opaqueUse(*this, op, interiorPx));
    } else if (p.fillMode == 2) {
        // The interior is left: there the stroke's coverage is 0.
        forEachPixel<P>(*this, g, strokeRuns(*this, g, 0.5, 0.5), b,
                        [&](P& o, double d, double d2, double, double, bool clear) {
            const double outside = covIn(d, -w) * covOut(d, 0.0);
            const double s = raster::clamp01(outside + covIn(d2, 0.0) * covOut(d2, w));
            strokePx.alpha = D::alpha(s * g.strokeFactor * opacity);
            put(op, strokePx, o, clear);
        }, opaqueUse(*this, op, strokePx));
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
            [&](P& o, double d, double d2, double px, double py, bool clear) {
                const double f = covIn(d, 0.0) * g.ringFactor * covOut(d2, 0.0);
                const double dist = std::sqrt(px * px + py * py);
                const P merged = merge(f, covOut(dist, M) * g.strokeFactor * covIn(d, -w) * covOut(d2, w));
                put(op, merged, o, clear);
            },
            [&](P* out, A_long from, A_long to, bool clear) {
                putRun(fill, store, op, interiorPx, out, from, to, clear);
            },
            opaqueUse(*this, op, interiorPx));
    }
}

