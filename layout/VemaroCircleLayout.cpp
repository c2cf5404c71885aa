// The Circle layout: n elements at equal angles on a circle or an arc, the
// first straight above the centre, the rest clockwise on screen.
#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"
#include "VemaroLayoutCommon.h"

namespace {
// The range of the "Number" slider: a record cannot hold more.
constexpr int kMaxCircleElements = 10000;
}  // namespace

PF_Err ShapeDrawer::createCirclePatterns() {
    int n = params->circleNumber;
    if (n <= 0) return PF_Err_NONE;
    if (n > kMaxCircleElements) n = kMaxCircleElements;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const Vector c = params->circleCenter;
    const double radius = params->circleRadius;
    // n, not n - 1: a full circle gets n distinct places; an arc's last element
    // stops one step short of its end.
    const double angleStep = params->circleCentralAngle / n;
    const double phase0 = params->circlePhase;

    ElementPipeline pipeline(*this, n);
    const bool cull = layoutCulls(*params);
    const double step = mapStep(static_cast<std::size_t>(n));
    patterns.reserve(patterns.size() + static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        const double turn = k * angleStep + phase0;
        const double angle = turn - kLayoutPi / 2;  // 0 is straight above the centre
        LayoutElement e;
        e.point = {radius * ansi.cos(angle) + c.x, radius * ansi.sin(angle) + c.y};
        e.i = k;
        e.transitionIndex = k;
        e.u = k * step;
        e.t = static_cast<double>(k) / n;
        e.phase = params->autoOrient ? turn : 0.0;
        pipeline.add(e, cull);
    }
    return pipeline.error();
}
