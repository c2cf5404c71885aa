// The Point layout: one element at each of the user's points.
#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"

PF_Err ShapeDrawer::createPointPatterns() {
    // The popup holds One to Eight; the record has room for eight points.
    int n = params->pointNumber;
    if (n < 0) n = 0;
    if (n > 8) n = 8;
    ElementPipeline pipeline(*this, n);
    const double step = n > 1 ? 1.0 / (n - 1) : 1.0;
    const bool cull = params->repeaterType == 1 && params->transitionOrder != 4;
    patterns.reserve(patterns.size() + static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        LayoutElement e;
        e.point = params->points[k];
        e.i = k;
        e.transitionIndex = k;
        e.u = k * step;
        e.t = static_cast<double>(k) / n;
        pipeline.add(e, cull);
    }
    return pipeline.error();
}
