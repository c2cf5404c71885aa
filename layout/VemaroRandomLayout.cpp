// The Random layout: a Poisson-disk scatter over the layer, a rectangle or a
// circle, in one of seven orders, scaled about the area's centre. Sampling
// runs in full-resolution pixels so that every preview resolution shows the
// same arrangement.
#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"
#include "VemaroLayoutCommon.h"
#include "VemaroOrderMapper.h"
#include "VemaroPoissonDisk.h"

#include <algorithm>

namespace {

// How often the element pass asks the host whether the user cancelled.
constexpr std::size_t kAbortPoll = 65535;

// Each test is strict, so equal keys are ties and keep the sampler's order.
struct VectorHorizontalComparator {
    bool operator()(const Vector& a, const Vector& b) const { return a.x < b.x; }
};
struct VectorVerticalComparator {
    bool operator()(const Vector& a, const Vector& b) const { return a.y < b.y; }
};
struct VectorDiagonalComparator {
    bool operator()(const Vector& a, const Vector& b) const { return a.x + a.y < b.x + b.y; }
};
struct VectorDiagonal2Comparator {
    bool operator()(const Vector& a, const Vector& b) const { return a.y - a.x < b.y - b.x; }
};
double squaredDistance(const Vector& o, const Vector& a) {
    return (o.x - a.x) * (o.x - a.x) + (o.y - a.y) * (o.y - a.y);
}
struct VectorOutwardComparator {
    Vector o;
    bool operator()(const Vector& a, const Vector& b) const { return squaredDistance(o, a) < squaredDistance(o, b); }
};
struct VectorInwardComparator {
    Vector o;
    bool operator()(const Vector& a, const Vector& b) const { return squaredDistance(o, a) > squaredDistance(o, b); }
};

void order(std::vector<Vector>& points, int mode, int32_t seed) {
    switch (mode) {
        case 1: std::stable_sort(points.begin(), points.end(), VectorHorizontalComparator()); break;
        case 2: std::stable_sort(points.begin(), points.end(), VectorVerticalComparator()); break;
        case 3: std::stable_sort(points.begin(), points.end(), VectorDiagonalComparator()); break;
        case 4: std::stable_sort(points.begin(), points.end(), VectorDiagonal2Comparator()); break;
        case 5: std::stable_sort(points.begin(), points.end(), VectorOutwardComparator{Vector()}); break;
        case 6: std::stable_sort(points.begin(), points.end(), VectorInwardComparator{Vector()}); break;
        case 7: seededShuffle(points, static_cast<uint32_t>(seed)); break;
        default: break;
    }
}

}  // namespace

PF_Err ShapeDrawer::createRandomPatterns() {
    const Parameters& p = *params;
    const double W = in_data->width, H = in_data->height;
    const double dsx = downsampleFactor(in_data->downsample_x);
    const double dsy = downsampleFactor(in_data->downsample_y);
    Vector min, max, centre;
    double radiusLimit = -1.0;
    switch (p.randomMode) {
        case 1:
            min = {-W / 2 - p.randomExpansion, -H / 2 - p.randomExpansion};
            max = {W / 2 + p.randomExpansion, H / 2 + p.randomExpansion};
            centre = {W / 2, H / 2};
            break;
        case 2:
            min = {-p.randomWidth / 2, -p.randomHeight / 2};
            max = {p.randomWidth / 2, p.randomHeight / 2};
            centre = {p.randomCenter.x / dsx, p.randomCenter.y / dsy};
            break;
        case 3:
            min = {-p.randomRadius, -p.randomRadius};
            max = {p.randomRadius, p.randomRadius};
            radiusLimit = p.randomRadius;
            centre = {p.randomCenter.x / dsx, p.randomCenter.y / dsy};
            break;
        default: return PF_Err_NONE;
    }

    // One generator per call, seeded afresh: an unchanged seed gives the same
    // points on every frame.
    PoissonDisk sampler(static_cast<uint32_t>(p.randomSeed));
    std::vector<Vector> points;
    // A dense scatter over a large area takes seconds: the user may cancel it.
    PF_Err aborted = PF_Err_NONE;
    const PoissonDisk::Status status = sampler.sample(min, max, radiusLimit, p.randomDistance, 50, false, points, [&] {
        aborted = PF_ABORT(in_data);
        return aborted != PF_Err_NONE;
    });
    if (status == PoissonDisk::Status::aborted) return aborted;
    // An area too large for the sampler's grid at this distance would exceed
    // the memory budget; an area that is no area (a NaN size) holds no point.
    if (status == PoissonDisk::Status::tooLarge) return PF_Err_OUT_OF_MEMORY;
    if (points.empty()) return PF_Err_NONE;
    order(points, p.randomOrder, p.randomOrderSeed);

    const std::size_t n = points.size();
    ElementPipeline pipeline(*this, static_cast<int>(n));
    const bool cull = layoutCulls(p);
    const double step = mapStep(n);
    const double s = p.randomScale;
    // The scatter's points stay held while the elements are made.
    pipeline.hold(static_cast<double>(points.capacity() * sizeof(Vector)));
    pipeline.reserve(cull ? std::min<double>(static_cast<double>(n), 65536.0) : static_cast<double>(n));
    for (std::size_t k = 0; k < n && !pipeline.exhausted(); ++k) {
        const Vector& q = points[k];
        LayoutElement e;
        e.point = {(q.x * s + centre.x) * dsx, (q.y * s + centre.y) * dsy};
        e.i = static_cast<int>(k);
        e.transitionIndex = e.i;
        e.u = k * step;
        e.t = static_cast<double>(k) / n;
        pipeline.add(e, cull);
        if ((k & kAbortPoll) == kAbortPoll) {
            if (PF_Err err = PF_ABORT(in_data)) return err;
        }
    }
    return pipeline.error();
}
