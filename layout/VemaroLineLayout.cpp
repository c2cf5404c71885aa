// The Line layout: elements at equal spacing along an unbounded straight line,
// walked in output pixels over the indices that can reach the output. Classes
// of the cycle drive the transition and the maps along the line.
#include "Parameters.h"
#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"
#include "VemaroLattice.h"

PF_Err ShapeDrawer::createLinePatterns() {
    const Parameters& P = *params;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double s = P.transformScale;
    if (!lattice::usableScale(s)) return PF_Err_NONE;

    const double spacing = lattice::atLeastOnePixel(P.lineWidth * s);
    const int cycle = P.cycle < 1 ? 1 : P.cycle;
    const double mapStep = cycle > 1 ? 1.0 / (cycle - 1) : 1.0;

    ElementPipeline pipeline(*this, cycle);
    // The base point is the centre moved by the offset along the line.
    const lattice::Frame f = lattice::frame(pipeline, in_data, P, P.lineCenter, P.lineRotation, {P.lineOffset, 0}, 1.0);
    int first = 0, last = -1;
    // Displacement can bring any walked point into the output: refuse a walk
    // whose points could not all be kept.
    if (!lattice::coverRange(ansi, f, f.U, spacing, first, last) || !pipeline.fits(lattice::count(first, last)))
        return PF_Err_OUT_OF_MEMORY;
    pipeline.reserve(lattice::count(first, last));

    const Vector step = f.U * spacing;
    for (int n = first; n <= last; ++n) {
        const int k = lattice::cycleClass(n, P.cycleOffset, cycle);
        LayoutElement e;
        e.i = n;
        e.transitionIndex = k;
        e.u = k * mapStep;
        e.t = static_cast<double>(k) / cycle;
        e.phase = P.autoOrient ? P.lineRotation : 0.0;
        lattice::addAt(pipeline, f, e, f.origin + step * n);
        if (((n - first) & 4095) == 4095) {
            if (PF_Err err = lattice::endOfRow(pipeline, in_data)) return err;
        }
    }
    return pipeline.error();
}
