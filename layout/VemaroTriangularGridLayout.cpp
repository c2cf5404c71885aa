// The Triangular Grid layout: an unbounded lattice of rows of equally spaced
// points, every odd row shifted by half a step, walked in output pixels over
// the points that can reach the output. Rows fold into cycle classes.
#include "VemaroDrawer.h"
#include "VemaroElementBounds.h"
#include "VemaroElementPipeline.h"
#include "VemaroLattice.h"
#include "Parameters.h"

#include <algorithm>

PF_Err ShapeDrawer::createTriangularGridPatterns() {
    const Parameters& P = *params;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double s = P.transformScale;
    if (!lattice::usableScale(s)) return PF_Err_NONE;

    const double colStep = lattice::atLeastOnePixel(P.triangularGridRadius * s);
    const double rowStep = ansi.sqrt(3.0) * colStep * 0.5 * P.triangularGridHeight;
    const double angle = P.transformRotation + P.triangularGridRotation;
    const double gc = ansi.cos(P.triangularGridRotation);
    const double gs = ansi.sin(P.triangularGridRotation);
    const double tc = ansi.cos(P.transformRotation);
    const double ts = ansi.sin(P.transformRotation);
    const int cycle = P.cycle < 1 ? 1 : P.cycle;
    const double mapStep = cycle > 1 ? 1.0 / (cycle - 1) : 1.0;

    ElementPipeline pipeline(*this, cycle);
    const Vector shifted =
        P.triangularGridCenter + Vector{P.triangularGridOffsetX * gc - P.triangularGridOffsetY * gs,
                                        P.triangularGridOffsetX * gs + P.triangularGridOffsetY * gc};
    const Vector L0 = pipeline.transformer.transform(shifted) - pipeline.origin;
    // A negative scale mirrors the lattice; the margins stay outward.
    const double as = ansi.fabs(s);
    const double cullMargin =
        pipeline.margin + 2.0 * std::max(ansi.fabs(P.transitionOffset.x), ansi.fabs(P.transitionOffset.y)) * as;
    const double m = 2.0 * (cullMargin + std::max(ansi.fabs(P.displacementX), ansi.fabs(P.displacementY)) * as);

    Vector O, U{1, 0}, V{0, 1};
    double lenU = 0, lenV = 0;
    getOriginAndAxis(in_data, angle, output ? output->width : 0, output ? output->height : 0, O, U, V, lenU, lenV);
    const Vector N = O - U * m - V * m - L0;
    const Vector F = O + U * (lenU + m) + V * (lenV + m) - L0;
    int uMin = 0, uMax = -1, vMin = 0, vMax = -1;
    // A zero or negative Height folds every row onto one line: nothing to walk.
    if (!(rowStep > 0)) return pipeline.error();
    if (!lattice::indexRange(ansi, U.x * N.x + U.y * N.y, U.x * F.x + U.y * F.y, colStep, uMin, uMax) ||
        !lattice::indexRange(ansi, V.x * N.x + V.y * N.y, V.x * F.x + V.y * F.y, rowStep, vMin, vMax) ||
        lattice::count(uMin, uMax) * lattice::count(vMin, vMax) > lattice::kMaxPoints)
        return PF_Err_OUT_OF_MEMORY;

    const Vector colAxis = U * colStep;
    const Vector rowAxis = V * rowStep;
    for (int v = vMin; v <= vMax; ++v) {
        const int k = lattice::cycleClass(v, P.cycleOffset, cycle);
        const double half = (v & 1) ? 0.5 : 0.0;
        for (int u = uMin; u <= uMax; ++u) {
            const Vector G = L0 + colAxis * (u + half) + rowAxis * v;
            LayoutElement e;
            e.point = pipeline.transformer.transform_inv(G + pipeline.origin);
            e.i = u;
            e.j = v;
            e.transitionIndex = k;
            e.u = k * mapStep;
            e.t = static_cast<double>(k) / cycle;
            e.phase = P.autoOrient ? P.triangularGridRotation : 0.0;
            pipeline.place(e);
            const Vector at = lattice::placed(G, s, tc, ts, pipeline.displacement + pipeline.offset);
            if (pipeline.inside(at, cullMargin)) pipeline.emit(e, at);
        }
        if (PF_Err err = lattice::endOfRow(pipeline, in_data)) return err;
    }
    return PF_Err_NONE;
}
