#include "VemaroTransitioner.h"

#include "VemaroMapSampling.h"
#include "VemaroTransitionAnimator.h"

#include <cmath>
#include <limits>

int orderRotation(int count, double turns) {
    const double v = static_cast<double>(count) * turns;
    if (!(std::fabs(v) < static_cast<double>(std::numeric_limits<int>::max()))) return 0;
    return static_cast<int>(v);
}

bool transitionColor(const TransitionAnimator& animator, bool manual, const Color& target, double progress,
                     float progressF, Color& out) {
    Color m;
    if (manual) {
        m = animator.getColor(progress);
    } else {
        m.red = progressF * target.red;
        m.green = (target.green - 1.0f) * progressF + 1.0f;
        m.blue = (target.blue - 1.0f) * progressF + 1.0f;
    }
    if (static_cast<double>(std::fabs(m.red)) > 0.001 || static_cast<double>(std::fabs(m.green - 1.0f)) > 0.001 ||
        static_cast<double>(std::fabs(m.blue - 1.0f)) > 0.001) {
        out = Color{1.0f, m.red, m.green, m.blue};
        return true;
    }
    return false;
}

Transitioner::Transitioner(PF_InData* in_data_, AEGP_SuiteHandler& suites_, int bpc_, const Parameters& p,
                           const TransitionAnimator& animator_, int count_)
    : in_data(in_data_),
      suites(&suites_),
      bpc(bpc_),
      width(downsampledSize(in_data_->width, in_data_->downsample_x)),
      height(downsampledSize(in_data_->height, in_data_->downsample_y)),
      animator(&animator_),
      transition(p.transitionMode, p.transitionCompletion, p.transitionDelay, p.transitionRest, count_,
                 p.transitionOrderInvert != 0),
      easing(p.transitionEasing),
      order(p.transitionOrder, p.transitionOrderSeed, count_),
      count(count_),
      orderOffset(orderRotation(count_, p.transitionOrderOffset)),
      enabled(p.transitionOrder != 4 ? 1 : 0),
      byMap(p.transitionOrder == 3 ? 1 : 0),
      mapLayer(p.transitionMap),
      sampler{},
      mapWrap(p.transitionMapWrap),
      mapChannel(p.transitionMapChannel),
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
    sampler.src = mapLayer;
}

PF_Err Transitioner::init(const Vector& point, int index) {
    if (!enabled) return PF_Err_NONE;
    PF_Err err = PF_Err_NONE;
    if (byMap) {
        if (!mapLayer) {
            progress = 0.0;
        } else {
            Color color;
            err = getMapColor2D(in_data, *suites, sampler, bpc, point, mapWrap, width, height, &color);
            const double rate = getMapRate(mapChannel, 1.0, 0, color, 0.0, 0.0);
            progress = easing.get(transition.get((count - 1) * rate));
        }
    } else {
        // No element to place: nothing to look up.
        if (count < 1) return PF_Err_NONE;
        int k = static_cast<int>((static_cast<long long>(index) + orderOffset) % count);
        if (k < 0) k += count;
        // The order table holds every index for the orders that reach here.
        const double position = k < static_cast<int>(order.order.size()) ? order.order[k] : k;
        progress = easing.get(transition.get(position));
    }
    progressF = static_cast<float>(progress);
    return err;
}

Vector Transitioner::offset() const {
    if (!enabled) return Vector();
    if (offsetManual) return animator->getOffset(progress);
    return Vector(offsetTarget.x * progress, offsetTarget.y * progress);
}

void Transitioner::map(ShapeDrawer::Pattern& pattern) const {
    if (!enabled) return;
    pattern.hasScale = 1;
    pattern.scale *= scaleManual ? animator->getScale(progress) : (scaleTarget - 1) * progress + 1;

    Color m;
    if (transitionColor(*animator, colorManual, colorTarget, progress, progressF, m)) {
        pattern.hasColorModifier = 1;
        pattern.colorModifier = m;
    }

    pattern.opacity *= opacityManual ? animator->getOpacity(progress) : (opacityTarget - 1) * progress + 1;
    pattern.phase += phaseManual ? animator->getPhase(progress) : phaseTarget * progress;
}
