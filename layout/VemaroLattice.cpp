#include "VemaroLattice.h"

#include "Parameters.h"
#include "VemaroElementBounds.h"
#include "VemaroElementPipeline.h"

#include <algorithm>

#include <cmath>

namespace lattice {

bool usableScale(double scale) { return scale != 0.0 && std::isfinite(scale); }

namespace {

// Indices stay within +-2^30, so sums of two of them and the loop counters
// cannot overflow.
bool toInt(double v, int& out) {
    constexpr double kLimit = 1073741824.0;
    if (!(v >= -kLimit && v <= kLimit)) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

bool indexRange(const PF_ANSICallbacks& ansi, double nearDot, double farDot, double step, int& first, int& last) {
    const double a = ansi.floor(nearDot / step);
    const double b = ansi.ceil(farDot / step);
    if (!std::isfinite(a) || !std::isfinite(b)) {
        // A lattice placed by a non-finite value covers nothing.
        first = 0;
        last = -1;
        return true;
    }
    return toInt(a, first) && toInt(b, last);
}

int cycleClass(int index, int offset, int cycle) {
    if (cycle < 1) cycle = 1;
    long long k = (static_cast<long long>(index) + offset) % cycle;
    if (k < 0) k += cycle;
    return static_cast<int>(k);
}

Frame frame(const ElementPipeline& pipeline, PF_InData* in_data, const Parameters& P, const Vector& center,
            double rotation, const Vector& offset, double coverFactor) {
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    Frame f;
    f.scale = P.transformScale;
    f.cosine = ansi.cos(P.transformRotation);
    f.sine = ansi.sin(P.transformRotation);
    const double rc = ansi.cos(rotation);
    const double rs = ansi.sin(rotation);
    f.origin =
        pipeline.transformer.transform(center + Vector{offset.x * rc - offset.y * rs, offset.x * rs + offset.y * rc}) -
        pipeline.origin;
    // A negative scale mirrors the layout; the margins stay outward.
    const double as = ansi.fabs(f.scale);
    f.cullMargin =
        pipeline.margin + 2.0 * std::max(ansi.fabs(P.transitionOffset.x), ansi.fabs(P.transitionOffset.y)) * as;
    const double m =
        coverFactor * (f.cullMargin + std::max(ansi.fabs(P.displacementX), ansi.fabs(P.displacementY)) * as);
    Vector O;
    double lenU = 0, lenV = 0;
    getOriginAndAxis(in_data, P.transformRotation + rotation, static_cast<int>(pipeline.outputWidth),
                     static_cast<int>(pipeline.outputHeight), O, f.U, f.V, lenU, lenV);
    f.nearCorner = O - f.U * m - f.V * m - f.origin;
    f.farCorner = O + f.U * (lenU + m) + f.V * (lenV + m) - f.origin;
    return f;
}

bool coverRange(const PF_ANSICallbacks& ansi, const Frame& f, const Vector& axis, double step, int& first, int& last) {
    return indexRange(ansi, axis.x * f.nearCorner.x + axis.y * f.nearCorner.y,
                      axis.x * f.farCorner.x + axis.y * f.farCorner.y, step, first, last);
}

bool coverRanges(const PF_ANSICallbacks& ansi, const Frame& f, double colStep, double rowStep, int& colFirst,
                 int& colLast, int& rowFirst, int& rowLast) {
    return coverRange(ansi, f, f.U, colStep, colFirst, colLast) && coverRange(ansi, f, f.V, rowStep, rowFirst, rowLast);
}

double expectedKept(const ElementPipeline& pipeline, const Frame& f, double colStep, double rowStep, double walked) {
    const double w = pipeline.outputWidth + 2.0 * f.cullMargin;
    const double h = pipeline.outputHeight + 2.0 * f.cullMargin;
    // The cells of the area, and a row of them along each edge.
    const double kept = w * h / (colStep * rowStep) + 2.0 * (w + h) / std::min(colStep, rowStep) + 4.0;
    return kept < walked ? kept : walked;
}

void addAt(ElementPipeline& pipeline, const Frame& f, LayoutElement& e, const Vector& G) {
    e.point = pipeline.transformer.transform_inv(G + pipeline.origin);
    pipeline.addAt(e, G, {f.scale, f.cosine, f.sine, f.cullMargin});
}

PF_Err endOfRow(const ElementPipeline& pipeline, PF_InData* in_data) {
    if (PF_Err err = pipeline.error()) return err;
    return PF_ABORT(in_data);
}

}  // namespace lattice
