// The anti-aliased polygon against Cairo drawing the same outline: regular
// polygons and stars, holes, strokes and fill with stroke. Our coverage is
// the distance to the side of the pixel's sector plus a half, Cairo's the
// covered area, so pixels at least a pixel from the outline must agree
// exactly, pixels on a side within a tolerance, and pixels near a corner
// (where one side's distance stands for two, and the cheap angle may pick the
// neighbour) only through the total.
#include "CairoCoverage.h"
#include "RenderFixture.h"
#include "polygon_draw.h"

#include <cairo.h>

#include <cmath>
#include <functional>
#include <vector>

using hostsim::Depth;
using hostsim::World;

using PolygonReference = RenderFixture;

namespace {

struct Pt {
    double x, y;
};

// The outline's corners in output coordinates (y down), worked out from the
// shape's definition: outer points on the circle of radius r, point 0 straight
// up and turned clockwise by the phase, inner points halfway between two outer
// ones pulled towards the centre by the starness.
std::vector<Pt> outline(const PolygonDrawer::Pattern& p, double r) {
    std::vector<Pt> v;
    const int n = p.sides;
    auto outer = [&](int k) {
        const double a = M_PI / 2 - p.phase + k * 2 * M_PI / n;
        return Pt{r * std::cos(a), r * std::sin(a)};
    };
    for (int k = 0; k < n; ++k) {
        const Pt o = outer(k), q = outer(k + 1);
        const double pull = 1 - p.starness;
        v.push_back({p.x + o.x, p.y - o.y});
        v.push_back({p.x + (o.x + q.x) / 2 * pull, p.y - (o.y + q.y) / 2 * pull});
    }
    return v;
}

double segmentDistance(Pt p, Pt a, Pt b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}
double outlineDistance(Pt p, const std::vector<Pt>& v) {
    double d = 1e300;
    for (std::size_t k = 0; k < v.size(); ++k) d = std::min(d, segmentDistance(p, v[k], v[(k + 1) % v.size()]));
    return d;
}
double vertexDistance(Pt p, const std::vector<Pt>& v) {
    double d = 1e300;
    for (const Pt& q : v) d = std::min(d, std::hypot(p.x - q.x, p.y - q.y));
    return d;
}

// The outline with every side moved outwards by w (inwards for negative w),
// corners where the moved sides meet: what mitered joins give.
std::vector<Pt> offsetOutline(const std::vector<Pt>& v, double w) {
    const std::size_t n = v.size();
    double area2 = 0;
    for (std::size_t k = 0; k < n; ++k) area2 += v[k].x * v[(k + 1) % n].y - v[(k + 1) % n].x * v[k].y;
    const double out = area2 > 0 ? 1.0 : -1.0;  // which normal points away from the inside
    struct Line {
        Pt p, u;
    };
    std::vector<Line> lines;
    for (std::size_t k = 0; k < n; ++k) {
        const Pt a = v[k], b = v[(k + 1) % n];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        const Pt u{(b.x - a.x) / len, (b.y - a.y) / len};
        const Pt normal{out * u.y, -out * u.x};
        lines.push_back({{a.x + w * normal.x, a.y + w * normal.y}, u});
    }
    std::vector<Pt> r;
    for (std::size_t k = 0; k < n; ++k) {
        const Line& a = lines[(k + n - 1) % n];
        const Line& b = lines[k];
        const double det = a.u.x * b.u.y - a.u.y * b.u.x;
        if (std::fabs(det) < 1e-9) {  // a straight corner: the moved point itself
            r.push_back(b.p);
            continue;
        }
        const double t = ((b.p.x - a.p.x) * b.u.y - (b.p.y - a.p.y) * b.u.x) / det;
        r.push_back({a.p.x + t * a.u.x, a.p.y + t * a.u.y});
    }
    return r;
}

void tracePath(cairo_t* cr, const std::vector<Pt>& v) {
    // Cairo's pixel centres sit at half coordinates, ours at whole ones.
    cairo_move_to(cr, v[0].x + 0.5, v[0].y + 0.5);
    for (std::size_t k = 1; k < v.size(); ++k) cairo_line_to(cr, v[k].x + 0.5, v[k].y + 0.5);
    cairo_close_path(cr);
}

// Cairo's picture of the filled shape (with its hole, by the even-odd rule).
std::vector<double> cairoFill(int w, int h, const PolygonDrawer::Pattern& p) {
    return cairoCoverage(w, h, [&](cairo_t* cr) {
        tracePath(cr, outline(p, p.radius));
        if (p.innerRadius > 0) tracePath(cr, outline(p, p.radius * p.innerRadius));
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(cr);
    });
}

// The filled shape grown by the stroke width outside its outline and into its
// hole, with mitered corners: a centred stroke twice as wide over the fill,
// the hole cleared and its own stroke laid again.
std::vector<double> cairoGrown(int w, int h, const PolygonDrawer::Pattern& p) {
    return cairoCoverage(w, h, [&](cairo_t* cr) {
        cairo_set_miter_limit(cr, 1000.0);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_set_line_width(cr, 2 * p.strokeWidth);
        tracePath(cr, outline(p, p.radius));
        cairo_fill_preserve(cr);
        cairo_stroke(cr);
        if (p.innerRadius > 0) {
            const std::vector<Pt> hole = outline(p, p.radius * p.innerRadius);
            cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
            tracePath(cr, hole);
            cairo_fill(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
            tracePath(cr, hole);
            cairo_stroke(cr);
        }
    });
}

struct Comparison {
    double worstEdge = 0, ours = 0, theirs = 0;
    int exactMismatches = 0;
};

// Compares our float alpha with the reference: exact beyond a pixel from the
// given outlines, within the tolerance nearer, and only in the totals within
// `corner` of a corner.
Comparison compare(const World& w, const std::vector<double>& ref, const std::vector<std::vector<Pt>>& outlines,
                   const std::vector<Pt>& corners, double corner) {
    Comparison c;
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const double a = w.at<PF_PixelFloat>(x, y).alpha, b = ref[std::size_t(y) * w.width() + x];
            c.ours += a;
            c.theirs += b;
            const Pt p{double(x), double(y)};
            if (vertexDistance(p, corners) < corner) continue;
            double d = 1e300;
            for (const auto& o : outlines) d = std::min(d, outlineDistance(p, o));
            if (d >= 1.0) {
                if (a != b && c.exactMismatches++ < 3)
                    std::printf("  at %d,%d: %.4f vs %.4f, %.2f from the outline\n", x, y, a, b, d);
            } else {
                c.worstEdge = std::max(c.worstEdge, std::fabs(a - b));
            }
        }
    return c;
}

// A straight side's linear ramp differs from the covered area by at most about
// 0.06 (at 45 degrees); Cairo samples its coverage and stores it in 8 bits,
// which adds up to about 0.03 (measured worst of all cases: 0.083).
constexpr double kEdgeTolerance = 0.1;

}  // namespace

// Polygons and stars filled, with and without a hole; one large enough for
// the exact angle.
TEST_F(PolygonReference, FillMatchesCairo) {
    struct Case {
        double x, y, r;
        int sides;
        double starness, phase, inner;
    };
    const Case cases[] = {
        {40.3, 39.6, 20, 4, 0.0, 0.3, 0.0},    {41.7, 40.2, 30.5, 5, 0.5, 0.0, 0.0},
        {63.5, 64.1, 55, 6, 0.3, 1.0, 0.0},    {64.0, 64.0, 50, 12, 0.0, 0.1, 0.0},
        {40.0, 44.0, 25, 3, 0.0, 0.7, 0.0},    {60.2, 61.7, 52, 8, 0.6, 0.2, 0.0},
        {63.5, 64.1, 55, 6, 0.0, 0.4, 0.5},    {64.2, 63.3, 58, 5, 0.45, 0.1, 0.4},
        {300.4, 299.8, 280, 7, 0.2, 0.3, 0.3},
    };
    for (const Case& k : cases) {
        const int W = k.r > 100 ? 600 : 128, H = W;
        const PolygonDrawer::Pattern p = polygon(k.x, k.y, k.r, k.sides, k.starness, k.phase, 1, 0.0, k.inner);
        World w(W, H, Depth::Float, 3, 0, 0);
        ASSERT_EQ(drawPolygon(&in, *suites, w, p), PF_Err_NONE);
        const std::vector<Pt> outer = outline(p, p.radius);
        std::vector<std::vector<Pt>> outlines{outer};
        std::vector<Pt> corners = outer;
        if (k.inner > 0) {
            outlines.push_back(outline(p, p.radius * k.inner));
            corners.insert(corners.end(), outlines.back().begin(), outlines.back().end());
        }
        const Comparison c = compare(w, cairoFill(W, H, p), outlines, corners, 2.5);
        // Area of 2n triangles between the centre and a side.
        const double area = k.sides * std::cos(M_PI / k.sides) * std::sin(M_PI / k.sides) * (1 - k.starness) * k.r *
                            k.r * (1 - k.inner * k.inner);
        const std::string what = std::to_string(k.sides) + " sides, starness " + std::to_string(k.starness) +
                                 ", hole " + std::to_string(k.inner);
        EXPECT_EQ(c.exactMismatches, 0) << what;
        EXPECT_LE(c.worstEdge, kEdgeTolerance) << what;
        // Totals within 0.1 % and a quarter pixel per corner, which each add
        // or lose a fraction of a pixel.
        const double cornerShare = 0.25 * corners.size();
        EXPECT_NEAR(c.ours, c.theirs, 0.001 * c.theirs + cornerShare) << what;
        EXPECT_NEAR(c.ours, area, 0.001 * area + cornerShare) << what;
    }
}

// Stroke only and fill with stroke against the shape grown by the stroke width
// with mitered corners: fill and stroke together cover the grown shape; the
// stroke alone covers it less the fill.
TEST_F(PolygonReference, StrokesMatchCairo) {
    struct Case {
        double x, y, r;
        int sides;
        double starness, phase, inner, width;
    };
    const Case cases[] = {
        {63.7, 64.2, 45, 4, 0.0, 0.3, 0.0, 3.0}, {62.1, 63.4, 44, 5, 0.4, 0.1, 0.0, 2.5},
        {64.3, 63.8, 46, 6, 0.0, 0.2, 0.5, 2.0}, {63.2, 64.6, 40, 8, 0.0, 0.0, 0.45, 4.0},
        {64.0, 64.0, 42, 3, 0.0, 1.3, 0.0, 6.5},
    };
    for (const Case& k : cases) {
        const int W = 128, H = 128;
        PolygonDrawer::Pattern p = polygon(k.x, k.y, k.r, k.sides, k.starness, k.phase, 3, k.width, k.inner);
        // The outlines and their moved copies, and all their corners.
        std::vector<std::vector<Pt>> outlines{outline(p, p.radius)};
        outlines.push_back(offsetOutline(outlines[0], k.width));
        if (k.inner > 0) {
            outlines.push_back(outline(p, p.radius * k.inner));
            outlines.push_back(offsetOutline(outlines[2], -k.width));
        }
        std::vector<Pt> corners;
        for (const auto& o : outlines) corners.insert(corners.end(), o.begin(), o.end());
        double tip = 0;  // the longest miter
        for (std::size_t i = 0; i < outlines[0].size(); ++i)
            tip = std::max(tip, std::hypot(outlines[1][i].x - outlines[0][i].x, outlines[1][i].y - outlines[0][i].y));
        ASSERT_LT(tip, 10 * k.width) << "the miter must stay inside the cap";
        const std::string what = std::to_string(k.sides) + " sides, starness " + std::to_string(k.starness) +
                                 ", hole " + std::to_string(k.inner) + ", width " + std::to_string(k.width);

        const std::vector<double> grown = cairoGrown(W, H, p), fill = cairoFill(W, H, p);
        std::vector<double> strokeOnly(grown.size());
        for (std::size_t i = 0; i < grown.size(); ++i) strokeOnly[i] = std::max(0.0, grown[i] - fill[i]);
        const double margin = 2.5 + tip;
        for (int mode : {3, 2}) {
            p.fillMode = mode;
            World w(W, H, Depth::Float, 3, 0, 0);
            ASSERT_EQ(drawPolygon(&in, *suites, w, p), PF_Err_NONE);
            const Comparison c = compare(w, mode == 3 ? grown : strokeOnly, outlines, corners, margin);
            EXPECT_EQ(c.exactMismatches, 0) << what << ", mode " << mode;
            EXPECT_LE(c.worstEdge, kEdgeTolerance) << what << ", mode " << mode;
            EXPECT_NEAR(c.ours, c.theirs, 0.001 * c.theirs + 0.25 * corners.size()) << what << ", mode " << mode;
        }
    }
}
