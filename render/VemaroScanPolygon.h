// A closed polygon cut row by row, rows taken downwards (y up): the columns
// where each row enters and leaves it, by the active edges only. Used for the
// polygon drawer's outline bounds.
#pragma once

namespace raster {

class ScanPolygon {
public:
    static constexpr int kMaxVertices = 320;

    // The vertices in order round the polygon, at most kMaxVertices.
    //
    // The edges are kept by falling top. Round an outline about its centre
    // the tops fall both ways from the highest edge but for small zigzags at
    // the rays: the edges are taken from the two ways as a merge, each put in
    // place as it comes (few move). Only the tops are gathered first; an edge
    // is made once, when it is taken.
    void build(const double* vx, const double* vy, int n) {
        count = active = taken = 0;
        double tops[kMaxVertices];
        int from[kMaxVertices];
        int first = 0;
        for (int i = 0; i < n; ++i) {
            const int j = i + 1 == n ? 0 : i + 1;
            if (vy[i] == vy[j]) continue;  // level: no crossing of its own
            const double ty = vy[i] > vy[j] ? vy[i] : vy[j];
            if (count > 0 && ty > tops[first]) first = count;
            tops[count] = ty, from[count++] = i;
        }
        if (count == 0) return;
        auto make = [&](int c) {
            const int i = from[c], j = i + 1 == n ? 0 : i + 1;
            const bool down = vy[i] > vy[j];
            const double tx = down ? vx[i] : vx[j], ty = tops[c], by = down ? vy[j] : vy[i];
            return Edge{ty, by, tx, ((down ? vx[j] : vx[i]) - tx) / (by - ty)};
        };
        int f = first + 1 == count ? 0 : first + 1, k = first == 0 ? count - 1 : first - 1;
        edges[0] = make(first);
        for (int i = 1; i < count; ++i) {
            Edge e;
            if (tops[f] >= tops[k]) {
                e = make(f);
                f = f + 1 == count ? 0 : f + 1;
            } else {
                e = make(k);
                k = k == 0 ? count - 1 : k - 1;
            }
            int at = i;
            for (; at > 0 && edges[at - 1].top < e.top; --at) edges[at] = edges[at - 1];
            edges[at] = e;
        }
    }

    // The crossings of the row at py in increasing order, an even count:
    // the row lies inside between xs[0] and xs[1], xs[2] and xs[3], ...
    // An edge takes the rows with bottom <= py < top.
    int crossings(double py, double* xs) {
        while (taken < count && edges[taken].top > py) list[active++] = taken++;
        int n = 0;
        for (int i = 0; i < active; ++i) {
            const int id = list[i];
            const Edge& e = edges[id];
            if (e.bottom > py) continue;
            // Insertion into order: few are active, and the list is kept in
            // the last row's order, which the next row mostly repeats.
            const double v = e.x + (py - e.top) * e.slope;
            int k = n++;
            for (; k > 0 && xs[k - 1] > v; --k) xs[k] = xs[k - 1], list[k] = list[k - 1];
            xs[k] = v;
            list[k] = id;
        }
        active = n;
        return n & ~1;
    }

private:
    struct Edge {
        double top, bottom, x, slope;  // x at the top, dx / dy
    };
    Edge edges[kMaxVertices];
    int list[kMaxVertices];
    int count = 0, active = 0, taken = 0;
};

}  // namespace raster
