// The Triangular Grid layout: an unbounded lattice of rows of equally spaced
// points, every odd row shifted by half a step, walked in output pixels over
// the points that can reach the output. Rows fold into cycle classes.
#include "Parameters.h"
#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"
#include "VemaroLattice.h"

PF_Err ShapeDrawer::createTriangularGridPatterns() {
    const Parameters& P = *params;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double s = P.transformScale;
    if (!lattice::usableScale(s)) return PF_Err_NONE;

    const double colStep = lattice::atLeastOnePixel(P.triangularGridRadius * s);
    const double rowStep = ansi.sqrt(3.0) * colStep * 0.5 * P.triangularGridHeight;
    // A Height of 0 or below folds every row onto one line: nothing to walk.
    if (!(rowStep > 0)) return PF_Err_NONE;
    const int cycle = P.cycle < 1 ? 1 : P.cycle;
    const double mapStep = cycle > 1 ? 1.0 / (cycle - 1) : 1.0;

    ElementPipeline pipeline(*this, cycle);
    // Twice the margin: the half-step shift of odd rows and the displaced
    // shapes both stay covered.
    const lattice::Frame f = lattice::frame(pipeline, in_data, P, P.triangularGridCenter, P.triangularGridRotation,
                                            {P.triangularGridOffsetX, P.triangularGridOffsetY}, 2.0);
    int uMin = 0, uMax = -1, vMin = 0, vMax = -1;
    if (!lattice::coverRanges(ansi, f, colStep, rowStep, uMin, uMax, vMin, vMax)) return PF_Err_OUT_OF_MEMORY;
    // Displacement can bring any walked point into the output: refuse a walk
    // whose points could not all be kept.
    const double walked = lattice::count(uMin, uMax) * lattice::count(vMin, vMax);
    if (!pipeline.fits(walked)) return PF_Err_OUT_OF_MEMORY;
    pipeline.reserve(lattice::expectedKept(pipeline, f, colStep, rowStep, walked));

    const Vector colAxis = f.U * colStep;
    const Vector rowAxis = f.V * rowStep;
    // Element (u, v) of the walk, row v, and its lattice point.
    const auto make = [&](int v, int u, LayoutElement& e, Vector& G) {
        const int k = lattice::cycleClass(v, P.cycleOffset, cycle);
        const double half = (v & 1) ? 0.5 : 0.0;
        e.i = u;
        e.j = v;
        e.transitionIndex = k;
        e.u = k * mapStep;
        e.t = static_cast<double>(k) / cycle;
        e.phase = P.autoOrient ? P.triangularGridRotation : 0.0;
        G = f.origin + colAxis * (u + half) + rowAxis * v;
    };
    return pipeline.addLattice(vMin, vMax, uMin, uMax, {f.scale, f.cosine, f.sine, f.cullMargin}, make);
}
