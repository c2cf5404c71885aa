// The Grid layout: an unbounded rectangular lattice, walked in output pixels
// over the cells that can reach the output, each cell mapped back into layout
// space for the maps. The order index folds into cycle classes, so the
// transition repeats across the lattice.
#include "Parameters.h"
#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"
#include "VemaroLattice.h"

PF_Err ShapeDrawer::createGridPatterns() {
    const Parameters& P = *params;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double s = P.transformScale;
    if (!lattice::usableScale(s)) return PF_Err_NONE;

    const double w = P.gridWidth;
    const double h = P.gridMode == 1 ? w : P.gridHeight;
    const double colStep = lattice::atLeastOnePixel(w * s);
    const double rowStep = lattice::atLeastOnePixel(h * s);
    const int cycle = P.cycle < 1 ? 1 : P.cycle;
    const double mapStep = cycle > 1 ? 1.0 / (cycle - 1) : 1.0;

    ElementPipeline pipeline(*this, cycle);
    const lattice::Frame f =
        lattice::frame(pipeline, in_data, P, P.gridCenter, P.gridRotation, {P.gridOffsetX, P.gridOffsetY}, 1.0);
    int colFirst = 0, colLast = -1, rowFirst = 0, rowLast = -1;
    if (!lattice::coverRanges(ansi, f, colStep, rowStep, colFirst, colLast, rowFirst, rowLast))
        return PF_Err_OUT_OF_MEMORY;
    // Displacement can bring any walked point into the output: refuse a walk
    // whose points could not all be kept.
    const double walked = lattice::count(colFirst, colLast) * lattice::count(rowFirst, rowLast);
    if (!pipeline.fits(walked)) return PF_Err_OUT_OF_MEMORY;
    pipeline.reserve(lattice::expectedKept(pipeline, f, colStep, rowStep, walked));

    const Vector colAxis = f.U * colStep;
    const Vector rowAxis = f.V * rowStep;
    // Element (r, c) of the walk and its lattice point.
    const auto make = [&](int r, int c, LayoutElement& e, Vector& G) {
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
        e.i = col;
        e.j = r;
        e.transitionIndex = k;
        e.u = k * mapStep;
        e.t = static_cast<double>(k) / cycle;
        e.phase = P.autoOrient ? P.gridRotation : 0.0;
        e.shape = LayoutElement::ShapeChoice{col, r, idx};
        G = f.origin + colAxis * col + rowAxis * r;
    };
    return pipeline.addLattice(rowFirst, rowLast, colFirst, colLast, {f.scale, f.cosine, f.sine, f.cullMargin}, make);
}
