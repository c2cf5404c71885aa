#include "VemaroPolygonDrawer.h"

#include "VemaroRasteriser.h"

#include <algorithm>
#include <cmath>
#include <vector>

// The drawing routines are in VemaroPolygonDrawer.inl, compiled once per
// depth and kind by VemaroPolygonDrawer8/16/32.cpp and VemaroPolygonDraft8/16/
// 32.cpp.

namespace {

constexpr double kPi = 3.14159265358979323846;

PolygonDrawer::Edge edge(double x0, double y0, double x1, double y1) {
    double ux = x1 - x0, uy = y1 - y0;
    // hypot of two zeros is zero: the sides of a hole of size 0 skip the call.
    const double len = ux == 0.0 && uy == 0.0 ? 0.0 : std::hypot(ux, uy);  // no overflow for far-out points
    if (len > 0.0) {
        ux /= len;
        uy /= len;
    }
    return {x0, y0, ux, uy};
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
    rays.clear();
    if (p.sides < kMinSides || p.sides > kMaxSides) return;
    const A_long n = p.sides;
    const double start = kPi / 2.0 - p.phase, width = kPi / n, pull = 1.0 - p.starness;
    // Direction j at start + j * width. The outer points' directions are the
    // even ones: 2 pi / n is pi / n doubled, k of it 2k of pi / n, each
    // doubling exact, so the angles are the bits the points' own steps give.
    const bool between = std::fabs(start) <= kRayStart;
    rays.resize(static_cast<std::size_t>(2 * n + 1));
    for (A_long j = 0; j <= 2 * n; ++j) {
        if (j & 1 && !between) continue;
        const double a = start + j * width;
        rays[j] = {std::cos(a), std::sin(a)};
    }
    auto build = [&](std::vector<Edge>& out, double radius) {
        out.reserve(static_cast<std::size_t>(2 * n));
        for (A_long k = 0; k < n; ++k) {
            const double ox = radius * rays[2 * k].x, oy = radius * rays[2 * k].y;
            const double nx = radius * rays[2 * k + 2].x, ny = radius * rays[2 * k + 2].y;
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
    // The first rows are asked for before the tables, whose sines and square
    // roots hide most of their fetch for small elements.
    const A_long top = strip ? std::max(strip->top, region.top) : region.top;
    const A_long bottom = std::min({strip ? strip->bottom : region.bottom, region.bottom, top + kAheadRows});
    raster::forDepth(bpc, [&](auto pixel) {
        using P = decltype(pixel);
        for (A_long r = top; r < bottom; ++r) raster::prefetchSpan<P, 4>(world, r, region, region.left, region.right);
    });
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
    return edges.size() == sides2 && innerEdges.size() == sides2 && rays.size() == sides2 + 1 &&
           columnOffsets.size() == static_cast<std::size_t>(region.right - region.left);
}

template class raster::Rasteriser<PolygonDrawer>;
