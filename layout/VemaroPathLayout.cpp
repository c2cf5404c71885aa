// The Path layout: elements along one mask path of the effect's layer, at its
// vertices, by number or at an arc-length interval, placed through the path's
// own transform before the common pipeline.
#include "VemaroDrawer.h"
#include "VemaroElementBounds.h"
#include "VemaroElementPipeline.h"
#include "VemaroLayoutCommon.h"
#include "VemaroMask.h"

#include <algorithm>
#include <cmath>

namespace {

struct Vertex {
    Vector position;    // layout space: the host's path coordinates
    Vector derivative;  // along the path there, not normalised
    double distance;    // walk distance from the path start
    double t;           // index fraction
    double pathPosition;
};

// Builds the walk for one call. Points are taken in the host's path
// coordinates, which are the layout's (downsampled) pixels: path points are
// given back the downsample factors the mask divided out, vertex positions are
// used as the host lists them, so every mode places one mask point alike.
class Walk {
public:
    Walk(const Parameters& p, Mask& mask, const PF_ANSICallbacks& ansi, double total, PF_Err& err)
        : p_(p), mask_(mask), ansi_(ansi), total_(total), err_(err) {}

    double wrap(double x) const {
        double d = ansi_.fmod(x, total_);
        if (d < 0) d += total_;
        return d;
    }
    // The point at walk distance x; from the other end with "Invert path".
    void add(double x, double t) {
        PathPoint pp{};
        if (!err_) err_ = mask_.getPathPoint(p_.pathInvert ? total_ - x : x, false, &pp);
        const Vector ds{mask_.downsampleX, mask_.downsampleY};
        push({pp.position.x * ds.x, pp.position.y * ds.y}, {pp.derivative.x * ds.x, pp.derivative.y * ds.y}, x, t);
    }
    void push(Vector position, Vector derivative, double x, double t) {
        const double f = x / total_;
        list.push_back(Vertex{position, derivative, x, t, f < 0 ? 0.0 : f > 1 ? 1.0 : f});
    }

    std::vector<Vertex> list;

private:
    const Parameters& p_;
    Mask& mask_;
    const PF_ANSICallbacks& ansi_;
    double total_;
    PF_Err& err_;
};

// Each walked point is held as a vertex, then kept as an element.
bool fitsWalk(double count) { return fitsLayoutBudget(count, sizeof(Vertex) + sizeof(ShapeDrawer::Pattern)); }

double indexStep(int c) { return c >= 2 ? 1.0 / (c - 1) : 0.0; }

// Vertex mode: the mask's vertices from the one nearest "Offset", "Length" of them.
PF_Err walkVertices(const Parameters& p, Mask& mask, double total, Walk& walk, PF_Err& err) {
    std::vector<Mask::VertexInfo> v;
    if (!err) err = mask.getVertexInfos(v);
    const int n = static_cast<int>(v.size());
    if (n == 0) return PF_Err_NONE;
    const double count = p.pathLength * n + 0.5;
    if (!fitsWalk(count)) return PF_Err_OUT_OF_MEMORY;
    const int k0 = static_cast<int>(n * p.pathOffset + 0.5);
    const int c = count >= 1 ? static_cast<int>(count) : 0;
    const double step = indexStep(c);
    for (int i = 0; i < c; ++i) {
        int k = static_cast<int>((static_cast<long long>(k0) + i) % n);
        if (k < 0) k += n;
        if (p.pathInvert) {
            const Mask::VertexInfo& w = v[std::size_t(n - 1 - k)];
            walk.push(w.position, w.derivative, total - w.distance, i * step);
        } else {
            const Mask::VertexInfo& w = v[std::size_t(k)];
            walk.push(w.position, w.derivative, w.distance, i * step);
        }
    }
    return PF_Err_NONE;
}

void walkNumber(const Parameters& p, bool open, double total, Walk& walk) {
    const int c = p.pathNumber;
    const double start = p.pathOffset * total;
    const double step = indexStep(c);
    if (!open) {
        const double spacing = p.pathLength * total / c;
        for (int i = 0; i < c; ++i) walk.add(walk.wrap(spacing * i + start), i * step);
        return;
    }
    // An open path stops just short of its end, where the derivative is kept.
    const double usable = std::max(total - 0.01, 0.0);
    for (int i = 0; i < c; ++i) {
        const double x = walk.wrap(p.pathLength * usable * step * i + start);
        // A last point that wrapped onto the first would double it.
        if (c >= 2 && i == c - 1 && !walk.list.empty() && std::fabs(x - walk.list.front().distance) < 0.1) break;
        walk.add(x, i * step);
    }
}

PF_Err walkInterval(const Parameters& p, double total, Walk& walk) {
    const double span = p.pathLength * total;
    const double interval = p.pathInterval;
    if (!(span >= 0) || !(interval > 0)) return PF_Err_NONE;
    if (!fitsWalk(std::floor(span / interval) + 1)) return PF_Err_OUT_OF_MEMORY;
    const double start = p.pathOffset * total;
    double s = 0;
    for (;;) {
        walk.add(walk.wrap(start + s), 0.0);
        s += interval;
        if (s > span) break;
    }
    const std::size_t n = walk.list.size();
    for (std::size_t j = 0; j < n; ++j) walk.list[j].t = n > 1 ? static_cast<double>(j) / (n - 1) : 0.0;
    return PF_Err_NONE;
}

}  // namespace

PF_Err ShapeDrawer::createPathPatterns() {
    const Parameters& p = *params;
    int maskIndex = -1;
    PF_Err err = getMaskIndex(in_data, static_cast<unsigned int>(p.pathMask), &maskIndex);
    if (maskIndex == -1) return err;
    if (p.pathMode == 2 && p.pathNumber < 1) return err;

    Mask mask(in_data, *suites, static_cast<unsigned int>(p.pathMask));
    double total = 0;
    unsigned char open = 0;
    if (!err) err = mask.update();
    if (!err) err = mask.getTotalLength(&total);
    if (!err) err = mask.isOpen(&open);
    // A path without length has no places along it (and every fraction of it
    // would divide by zero).
    if (err || !(total > 0) || !std::isfinite(total)) return err;

    Walk walk(p, mask, in_data->utils->ansi, total, err);
    PF_Err limit = PF_Err_NONE;
    switch (p.pathMode) {
        case 1: limit = walkVertices(p, mask, total, walk, err); break;
        case 2: walkNumber(p, open != 0, total, walk); break;
        case 3: limit = walkInterval(p, total, walk); break;
        default: break;
    }
    if (limit) return limit;

    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const Transformer pathTransform(p.pathAnchor, p.pathPosition, p.pathScale, p.pathRotation);
    const std::size_t n = walk.list.size();
    ElementPipeline pipeline(*this, static_cast<int>(n));
    pipeline.carry(err);
    const bool cull = layoutCulls(p);
    const std::size_t base = patterns.size();
    pipeline.reserve(static_cast<double>(n));
    auto along = [](int mode, const Vertex& v) { return mode == 1 ? v.t : v.pathPosition; };
    std::size_t wrapIndex = 0;
    bool wrapped = false;
    double previous = n ? walk.list.front().distance : 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const Vertex& v = walk.list[i];
        LayoutElement e;
        e.point = pathTransform.transform(v.position);
        e.i = static_cast<int>(i);  // the walk has no gaps: a record's index is its place
        e.transitionIndex = e.i;
        e.u = along(p.pathShapeMapMode, v);
        e.t = static_cast<double>(i) / n;
        e.phase = p.autoOrient ? ansi.atan2(v.derivative.y, v.derivative.x) + p.pathRotation : 0.0;
        pipeline.place(e);
        const Vector at = pipeline.position(e);
        if (cull && !pipeline.inside(at, pipeline.margin)) continue;
        pipeline.emit(e, at, along(p.pathScaleMapMode, v), along(p.pathColorMapMode, v), along(p.pathPhaseMapMode, v));
        if (!wrapped) {
            if (v.distance < previous) {
                wrapped = true;
                wrapIndex = patterns.size() - 1 - base;
            }
            previous = v.distance;
        }
    }
    // On an open path the elements that wrapped past the end come first, so
    // the list runs in path order; a closed path keeps the walk order.
    if (wrapped && open)
        std::rotate(patterns.begin() + static_cast<std::ptrdiff_t>(base),
                    patterns.begin() + static_cast<std::ptrdiff_t>(base + wrapIndex), patterns.end());
    return pipeline.error();
}
