// The Finite Grid layout: Column x Row elements on a grid centred on the
// centre and turned by the rotation, each with an order index from the
// chosen order; the common pipeline in layout space, cancel polled per row.
#include "Parameters.h"
#include "VemaroDrawer.h"
#include "VemaroElementBounds.h"
#include "VemaroElementPipeline.h"
#include "VemaroLattice.h"

PF_Err ShapeDrawer::createFiniteGridPatterns() {
    const Parameters& P = *params;
    const int cols = P.finiteGridColumn;
    const int rows = P.finiteGridRow;
    if (cols <= 0 || rows <= 0) return PF_Err_NONE;
    // Refuse what could not all be kept before taking any of it (the
    // parameters stop at 1000 x 1000, well inside the budget).
    const double count = static_cast<double>(cols) * rows;
    if (!fitsLayoutBudget(count + static_cast<double>(patterns.size()), sizeof(Pattern))) return PF_Err_OUT_OF_MEMORY;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;

    const double w = P.finiteGridWidth;
    const double h = P.finiteGridMode == 1 ? w : P.finiteGridHeight;
    const double spanX = w * (cols - 1);
    const double spanY = h * (rows - 1);
    int n = 1;
    switch (P.finiteGridOrder) {
        case 1: n = cols; break;
        case 2: n = rows; break;
        case 3:
        case 4: n = cols + rows; break;
        case 5: n = cols * rows; break;
        default: break;
    }
    const double mapStep = n > 1 ? 1.0 / (n - 1) : 1.0;
    const double gc = ansi.cos(P.finiteGridRotation);
    const double gs = ansi.sin(P.finiteGridRotation);
    const bool cull = P.repeaterType == 1 && P.transitionOrder != 4;

    ElementPipeline pipeline(*this, n);
    pipeline.reserve(count);
    for (int r = 0; r < rows; ++r) {
        const double y = rows == 1 ? 0.0 : r * spanY / (rows - 1) - 0.5 * spanY;
        for (int c = 0; c < cols; ++c) {
            int cx = c;
            int idx = 0;
            switch (P.finiteGridOrder) {
                case 1: idx = c; break;
                case 2: idx = r; break;
                case 3: idx = c + r; break;
                case 4:
                    cx = cols - 1 - c;
                    idx = c + r;
                    break;
                case 5: idx = r * cols + c; break;
                default: break;
            }
            const double x = cols == 1 ? 0.0 : cx * spanX / (cols - 1) - 0.5 * spanX;
            LayoutElement e;
            e.point = P.finiteGridCenter + Vector{x * gc - y * gs, x * gs + y * gc};
            e.i = c;
            e.j = r;
            e.transitionIndex = idx;
            e.u = idx * mapStep;
            e.t = static_cast<double>(idx) / n;
            e.phase = P.autoOrient ? P.finiteGridRotation : 0.0;
            // Elements sharing an order index share a random shape.
            e.shape = LayoutElement::ShapeChoice{idx, 0, idx};
            pipeline.add(e, cull);
        }
        if (PF_Err err = lattice::endOfRow(pipeline, in_data)) return err;
    }
    return PF_Err_NONE;
}
