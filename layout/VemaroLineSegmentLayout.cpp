// The Line Segment layout: a given number of elements at equal steps from one
// end of a segment towards the other, covering a chosen share of it.
#include "Parameters.h"
#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"

PF_Err ShapeDrawer::createLineSegmentPatterns() {
    const Parameters& P = *params;
    const int n = P.lineSegmentNumber;
    if (n <= 0) return PF_Err_NONE;
    // The parameter stops at 10000; a record beyond it must not exhaust memory.
    if (n > 10000) return PF_Err_OUT_OF_MEMORY;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;

    const Vector A = P.lineSegmentInvert ? P.lineSegmentPoint2 : P.lineSegmentPoint1;
    const Vector B = P.lineSegmentInvert ? P.lineSegmentPoint1 : P.lineSegmentPoint2;
    const Vector D = B - A;
    const double direction = ansi.sqrt(D.x * D.x + D.y * D.y) > 0 ? ansi.atan2(D.y, D.x) : 0.0;

    ElementPipeline pipeline(*this, n);
    const Vector step = n > 1 ? D * P.lineSegmentLength / (n - 1) : Vector();
    const double mapStep = n > 1 ? 1.0 / (n - 1) : 1.0;
    const bool cull = P.repeaterType == 1 && P.transitionOrder != 4;
    patterns.reserve(patterns.size() + static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        LayoutElement e;
        e.point = A + step * k;
        e.i = k;
        e.transitionIndex = k;
        e.u = k * mapStep;
        e.t = static_cast<double>(k) / n;
        e.phase = P.autoOrient ? direction : 0.0;
        pipeline.add(e, cull);
    }
    return pipeline.error();
}
