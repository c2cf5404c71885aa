#include "VemaroShapeTransitioner.h"

#include "VemaroTransitionAnimator.h"

#include <cmath>

namespace {

// The shape count as a loop bound: the record holds 1 to 8, anything else
// (a cleared record, a damaged project) is brought into 0 to 8.
int32_t shapeCount(int32_t n) { return n < 0 ? 0 : (n > 8 ? 8 : n); }

// count × turns truncated toward zero; a non-finite offset rotates nothing.
int rotation(int count, double turns) {
    const double v = count * turns;
    return std::isfinite(v) ? static_cast<int>(v) : 0;
}

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
    const int offset = rotation(count, orderOffset);
    for (int i = 0; i < count; ++i) {
        int k = (offset + i) % count;
        if (k < 0) k += count;
        const double e = easing.get(transition.get(static_cast<double>(k)));
        const float ef = static_cast<float>(e);

        const Vector v = offsetManual ? animator->getOffset(e) : Vector(offsetTarget.x * e, offsetTarget.y * e);
        offsets[i] = Vector(matrix[0] * v.x + matrix[2] * v.y, matrix[1] * v.x + matrix[3] * v.y);

        scales[i] = scaleManual ? animator->getScale(e) : (scaleTarget - 1) * e + 1;

        Color m;
        if (colorManual) {
            m = animator->getColor(e);
        } else {
            m.red = ef * colorTarget.red;
            m.green = (colorTarget.green - 1.0f) * ef + 1.0f;
            m.blue = (colorTarget.blue - 1.0f) * ef + 1.0f;
        }
        if (static_cast<double>(std::fabs(m.red)) > 0.001 || static_cast<double>(std::fabs(m.green - 1.0f)) > 0.001 ||
            static_cast<double>(std::fabs(m.blue - 1.0f)) > 0.001) {
            colorSet[i] = 1;
            colors[i] = Color{1.0f, m.red, m.green, m.blue};
        }

        opacities[i] = opacityManual ? animator->getOpacity(e) : (opacityTarget - 1) * e + 1;
        phases[i] = phaseManual ? animator->getPhase(e) : e * phaseTarget;
    }
}
