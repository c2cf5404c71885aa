#include "VemaroShapeTransitioner.h"

#include "VemaroTransitionAnimator.h"
#include "VemaroTransitioner.h"

#include <cmath>

namespace {

// The shape count as a loop bound: the record holds 1 to 8, anything else
// (a cleared record, a damaged project) is brought into 0 to 8.
int32_t shapeCount(int32_t n) { return n < 0 ? 0 : (n > 8 ? 8 : n); }

}  // namespace

ShapeTransitioner::ShapeTransitioner(const Parameters& p, const TransitionAnimator& a)
    : enabled(p.transitionOrder == 4 ? 1 : 0),
      animator(&a),
      transition(p.transitionMode, p.transitionCompletion, p.transitionDelay, p.transitionRest,
                 shapeCount(p.shapeNumber), p.transitionOrderInvert != 0),
      easing(p.transitionEasing),
      count(shapeCount(p.shapeNumber)),
      orderOffset(p.transitionOrderOffset),
      matrix{0.0, 0.0, 0.0, 0.0},
      offsetTarget(p.transitionOffset),
      offsetManual(p.transitionManualOffset),
      scaleTarget(p.transitionScale),
      scaleManual(p.transitionManualScale),
      colorTarget(p.transitionColor),
      colorManual(p.transitionManualColor),
      opacityTarget(p.transitionOpacity),
      opacityManual(p.transitionManualOpacity),
      phaseTarget(p.transitionPhase),
      phaseManual(p.transitionManualPhase) {
    if (!enabled) return;
    const double c = std::cos(p.transformRotation), s = std::sin(p.transformRotation);
    matrix[0] = c * p.transformScale;
    matrix[1] = s * p.transformScale;
    matrix[2] = -s * p.transformScale;
    matrix[3] = c * p.transformScale;
    init();
}

void ShapeTransitioner::init() {
    const std::size_t n = static_cast<std::size_t>(count);
    offsets.assign(n, Vector());
    scales.assign(n, 0.0);
    colors.assign(n, Color());
    colorSet.assign(n, 0);
    opacities.assign(n, 0.0);
    phases.assign(n, 0.0);
    if (count < 1) return;
    const int offset = orderRotation(count, orderOffset);
    for (int i = 0; i < count; ++i) {
        int k = (offset + i) % count;
        if (k < 0) k += count;
        const double e = easing.get(transition.get(static_cast<double>(k)));
        const float ef = static_cast<float>(e);

        const Vector v = offsetManual ? animator->getOffset(e) : Vector(offsetTarget.x * e, offsetTarget.y * e);
        offsets[i] = Vector(matrix[0] * v.x + matrix[2] * v.y, matrix[1] * v.x + matrix[3] * v.y);

        scales[i] = scaleManual ? animator->getScale(e) : (scaleTarget - 1) * e + 1;

        if (transitionColor(*animator, colorManual, colorTarget, e, ef, colors[i])) colorSet[i] = 1;

        opacities[i] = opacityManual ? animator->getOpacity(e) : (opacityTarget - 1) * e + 1;
        phases[i] = phaseManual ? animator->getPhase(e) : e * phaseTarget;
    }
}
