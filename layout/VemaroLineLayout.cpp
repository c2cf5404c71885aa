// The Line layout: elements at equal spacing along an unbounded straight line,
// walked in output pixels over the indices that can reach the output. Classes
// of the cycle drive the transition and the maps along the line.
#include "VemaroDrawer.h"
#include "VemaroElementBounds.h"
#include "VemaroElementPipeline.h"
#include "VemaroLattice.h"
#include "Parameters.h"

#include <algorithm>

PF_Err ShapeDrawer::createLinePatterns() {
    const Parameters& P = *params;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double s = P.transformScale;
    if (!lattice::usableScale(s)) return PF_Err_NONE;

    const double spacing = lattice::atLeastOnePixel(P.lineWidth * s);
    const double angle = P.transformRotation + P.lineRotation;
    const double tc = ansi.cos(P.transformRotation);
    const double ts = ansi.sin(P.transformRotation);
    const int cycle = P.cycle < 1 ? 1 : P.cycle;
    const double mapStep = cycle > 1 ? 1.0 / (cycle - 1) : 1.0;

    ElementPipeline pipeline(*this, cycle);
    const Vector along{ansi.cos(P.lineRotation), ansi.sin(P.lineRotation)};
    const Vector c = pipeline.transformer.transform(P.lineCenter + along * P.lineOffset) - pipeline.origin;
    // A negative scale mirrors the line; the margins stay outward.
    const double as = ansi.fabs(s);
    const double cullMargin =
        pipeline.margin + 2.0 * std::max(ansi.fabs(P.transitionOffset.x), ansi.fabs(P.transitionOffset.y)) * as;
    const double M = cullMargin + std::max(ansi.fabs(P.displacementX), ansi.fabs(P.displacementY)) * as;

    Vector O, a1{1, 0}, a2{0, 1};
    double len1 = 0, len2 = 0;
    getOriginAndAxis(in_data, angle, output ? output->width : 0, output ? output->height : 0, O, a1, a2, len1, len2);
    const Vector N = O - a1 * M - a2 * M - c;
    const Vector F = O + a1 * (len1 + M) + a2 * (len2 + M) - c;
    int first = 0, last = -1;
    if (!lattice::indexRange(ansi, a1.x * N.x + a1.y * N.y, a1.x * F.x + a1.y * F.y, spacing, first, last) ||
        lattice::count(first, last) > lattice::kMaxPoints)
        return PF_Err_OUT_OF_MEMORY;

    const Vector step = a1 * spacing;
    for (int n = first; n <= last; ++n) {
        const Vector L = c + step * n;
        const int k = lattice::cycleClass(n, P.cycleOffset, cycle);
        LayoutElement e;
        e.point = pipeline.transformer.transform_inv(L + pipeline.origin);
        e.i = n;
        e.transitionIndex = k;
        e.u = k * mapStep;
        e.t = static_cast<double>(k) / cycle;
        e.phase = P.autoOrient ? P.lineRotation : 0.0;
        pipeline.place(e);
        const Vector at = lattice::placed(L, s, tc, ts, pipeline.offset + pipeline.displacement);
        if (pipeline.inside(at, cullMargin)) pipeline.emit(e, at);
    }
    return pipeline.error();
}
