// The row crossings of a closed polygon, row by row downwards, against every
// non-level edge crossed on its own and the crossings sorted: the same values
// in the same order, for outlines whose edges come round in any order of
// their tops (zigzags, level edges, ties for the highest, several runs).
#include "VemaroScanPolygon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Shape {
    std::string name;
    std::vector<double> x, y;
};

// Star-like outlines about the origin; `zig` pulls every other vertex of a
// pair near each ray back and forth, as the drawer's outlines do.
Shape star(const std::string& name, int points, double outer, double inner, double turn, double zig) {
    Shape s{name, {}, {}};
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < 2 * points; ++k) {
        const double a = turn + k * pi / points, r = k % 2 ? inner : outer;
        for (int side = -1; side <= 1; side += 2) {
            const double b = a + side * 0.01, rz = r + (zig != 0.0 && side > 0 ? zig : 0.0);
            s.x.push_back(rz * std::cos(b));
            s.y.push_back(rz * std::sin(b));
        }
    }
    return s;
}

// Each non-level edge on its own: x at the row from its upper end.
std::vector<double> plain(const Shape& s, double py) {
    std::vector<double> xs;
    const std::size_t n = s.x.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        if (s.y[i] == s.y[j]) continue;
        const bool down = s.y[i] > s.y[j];
        const double tx = down ? s.x[i] : s.x[j], ty = down ? s.y[i] : s.y[j];
        const double bx = down ? s.x[j] : s.x[i], by = down ? s.y[j] : s.y[i];
        if (!(by <= py && py < ty)) continue;
        xs.push_back(tx + (py - ty) * ((bx - tx) / (by - ty)));
    }
    std::sort(xs.begin(), xs.end());
    xs.resize(xs.size() & ~std::size_t{1});
    return xs;
}

TEST(ScanPolygon, CrossingsMatchEveryEdgeOnItsOwn) {
    const std::vector<Shape> shapes = {
        {"triangle", {0, 10, -10}, {10, -5, -5}},
        {"square with level sides", {-5, 5, 5, -5}, {5, 5, -5, -5}},
        {"tie for the highest", {-6, 0, 6, 6, -6}, {4, 4, 4, -4, -4}},
        {"highest edge last", {0, 8, 3, -7}, {-6, -1, 5, 9}},
        {"two runs", {-10, -2, 0, 2, 10, 0}, {8, 8, 0, 8, 8, -8}},
        star("plain polygon", 5, 30.0, 24.3, 0.3, 0.0),
        star("star", 7, 40.0, 15.0, 1.1, 0.0),
        star("zigzag star", 12, 33.0, 20.0, 2.0, 0.7),
        star("zigzag polygon", 3, 25.0, 12.5, -0.4, -0.5),
        star("many points", 64, 60.0, 45.0, 0.01, 0.3),
    };
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.name);
        ASSERT_LE(s.x.size(), static_cast<std::size_t>(raster::ScanPolygon::kMaxVertices));
        auto scan = std::make_unique<raster::ScanPolygon>();
        scan->build(s.x.data(), s.y.data(), static_cast<int>(s.x.size()));
        // Rows through the whole shape at a step that meets no vertex, then
        // every vertex's own height (where ends join), downwards.
        std::vector<double> rows;
        const double top = *std::max_element(s.y.begin(), s.y.end());
        const double bottom = *std::min_element(s.y.begin(), s.y.end());
        for (double py = top + 1.3; py > bottom - 1.0; py -= 0.37) rows.push_back(py);
        rows.insert(rows.end(), s.y.begin(), s.y.end());
        std::sort(rows.rbegin(), rows.rend());
        std::vector<double> xs(raster::ScanPolygon::kMaxVertices);
        int crossed = 0;
        for (double py : rows) {
            const int n = scan->crossings(py, xs.data());
            const std::vector<double> want = plain(s, py);
            ASSERT_EQ(std::vector<double>(xs.begin(), xs.begin() + n), want) << "row " << py;
            crossed += n;
        }
        EXPECT_GT(crossed, 0);
    }
}

TEST(ScanPolygon, NoCrossingsWithoutEdges) {
    const double x[] = {-3, 0, 3}, y[] = {2, 2, 2};
    raster::ScanPolygon scan;
    scan.build(x, y, 3);
    double xs[4];
    EXPECT_EQ(scan.crossings(2.0, xs), 0);
    EXPECT_EQ(scan.crossings(1.0, xs), 0);
    scan.build(x, y, 0);
    EXPECT_EQ(scan.crossings(0.0, xs), 0);
}

}  // namespace
