// The Grid layout: an unbounded rectangular lattice, walked in output pixels
// over the cells that can reach the output, each cell mapped back into layout
// space for the maps. The order index folds into cycle classes, so the
// transition repeats across the lattice.
#include "VemaroDrawer.h"
#include "VemaroElementBounds.h"
#include "VemaroElementPipeline.h"
#include "VemaroLattice.h"
#include "Parameters.h"

#include <algorithm>

PF_Err ShapeDrawer::createGridPatterns() {
    const Parameters& P = *params;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double s = P.transformScale;
    if (!lattice::usableScale(s)) return PF_Err_NONE;

    const double w = P.gridWidth;
    const double h = P.gridMode == 1 ? w : P.gridHeight;
    const double colStep = lattice::atLeastOnePixel(w * s);
    const double rowStep = lattice::atLeastOnePixel(h * s);
    const double angle = P.transformRotation + P.gridRotation;
    const double gc = ansi.cos(P.gridRotation);
    const double gs = ansi.sin(P.gridRotation);
    const double tc = ansi.cos(P.transformRotation);
    const double ts = ansi.sin(P.transformRotation);
    const int cycle = P.cycle < 1 ? 1 : P.cycle;
    const double mapStep = cycle > 1 ? 1.0 / (cycle - 1) : 1.0;

    ElementPipeline pipeline(*this, cycle);
    const Vector shifted = P.gridCenter + Vector{P.gridOffsetX * gc - P.gridOffsetY * gs,
                                                 P.gridOffsetX * gs + P.gridOffsetY * gc};
    const Vector L = pipeline.transformer.transform(shifted) - pipeline.origin;
    // A negative scale mirrors the lattice; the margins stay outward.
    const double as = ansi.fabs(s);
    const double cullMargin =
        pipeline.margin + 2.0 * std::max(ansi.fabs(P.transitionOffset.x), ansi.fabs(P.transitionOffset.y)) * as;
    const double m = cullMargin + std::max(ansi.fabs(P.displacementX), ansi.fabs(P.displacementY)) * as;

    Vector O, U{1, 0}, V{0, 1};
    double lenU = 0, lenV = 0;
    getOriginAndAxis(in_data, angle, output ? output->width : 0, output ? output->height : 0, O, U, V, lenU, lenV);
    const Vector N = O - U * m - V * m - L;
    const Vector F = O + U * (lenU + m) + V * (lenV + m) - L;
    int colFirst = 0, colLast = -1, rowFirst = 0, rowLast = -1;
    if (!lattice::indexRange(ansi, U.x * N.x + U.y * N.y, U.x * F.x + U.y * F.y, colStep, colFirst, colLast) ||
        !lattice::indexRange(ansi, V.x * N.x + V.y * N.y, V.x * F.x + V.y * F.y, rowStep, rowFirst, rowLast) ||
        lattice::count(colFirst, colLast) * lattice::count(rowFirst, rowLast) > lattice::kMaxPoints)
        return PF_Err_OUT_OF_MEMORY;

    const Vector colAxis = U * colStep;
    const Vector rowAxis = V * rowStep;
    for (int r = rowFirst; r <= rowLast; ++r) {
        for (int c = colFirst; c <= colLast; ++c) {
            // Diagonal 2 walks the row backwards. The lattice column (not the
            // counter) is the element's column number, so a cell keeps its
            // random values while the covered range moves.
            int col = c;
            int idx = 0;
            switch (P.gridOrder) {
                case 1: idx = col; break;
                case 2: idx = r; break;
                case 3: idx = r + col; break;
                case 4:
                    col = colFirst + colLast - c;
                    idx = r - col;
                    break;
                default: break;
            }
            const int k = lattice::cycleClass(idx, P.cycleOffset, cycle);
            const Vector G = L + colAxis * col + rowAxis * r;

            LayoutElement e;
            e.point = pipeline.transformer.transform_inv(G + pipeline.origin);
            e.i = col;
            e.j = r;
            e.transitionIndex = k;
            e.u = k * mapStep;
            e.t = static_cast<double>(k) / cycle;
            e.phase = P.autoOrient ? P.gridRotation : 0.0;
            e.shape = LayoutElement::ShapeChoice{col, r, idx};
            pipeline.place(e);
            const Vector at = lattice::placed(G, s, tc, ts, pipeline.displacement + pipeline.offset);
            if (pipeline.inside(at, cullMargin)) pipeline.emit(e, at);
        }
        if (PF_Err err = lattice::endOfRow(pipeline, in_data)) return err;
    }
    return PF_Err_NONE;
}
