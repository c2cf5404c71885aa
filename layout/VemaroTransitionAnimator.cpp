#include "VemaroTransitionAnimator.h"

#include "VemaroKeyframeCurve.h"

#include <algorithm>

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

double factor(const PF_RationalScale& s) { return s.den ? double(s.num) / double(s.den) : 1.0; }

Vector lerp(const Vector& a, const Vector& b, double f) { return a * (1 - f) + b * f; }
double lerp(double a, double b, double f) { return (1 - f) * a + f * b; }

}  // namespace

template <class T, class F>
A_Err TransitionAnimator::sample(unsigned char& manual, std::vector<PF_ParamIndex> streams, std::vector<T>& curve,
                                 F convert) {
    if (!manual) return A_Err_NONE;
    KeyframeCurve keys(pluginId, *suites, effect, std::move(streams));
    A_Err err = keys.load();
    if (!keys.available()) {
        // Too few keyframes (or an error): the static value stands.
        manual = 0;
        return err;
    }
    const int n = count();
    curve.reserve(std::size_t(n));
    std::vector<AEGP_StreamVal2> values;
    for (int i = 0; i < n && !err; ++i) {
        keys.read(keys.timeAt(i, n - 1), values, err);
        if (!err) curve.push_back(convert(values));
    }
    A_Err disposed = keys.dispose();
    return err ? err : disposed;
}

A_Err TransitionAnimator::init() {
    A_Err err = initOffset();
    if (!err) err = initScale();
    if (!err) err = initColor();
    if (!err) err = initOpacity();
    if (!err) err = initPhase();
    return err;
}

A_Err TransitionAnimator::initOffset() {
    const double sx = factor(in_data->downsample_x), sy = factor(in_data->downsample_y);
    A_Err err = sample(params->transitionManualOffset, {kOffsetParam}, offsets,
                       [&](const auto& v) { return Vector(v[0].two_d.x * sx, v[0].two_d.y * sy); });
    if (params->transitionManualOffset) {
        Vector bound(0, 0);
        for (const Vector& o : offsets) {
            bound.x = std::max(bound.x, in_data->utils->ansi.fabs(o.x));
            bound.y = std::max(bound.y, in_data->utils->ansi.fabs(o.y));
        }
        params->transitionOffset = bound;
    }
    return err;
}

A_Err TransitionAnimator::initScale() {
    A_Err err =
        sample(params->transitionManualScale, {kScaleParam}, scales, [](const auto& v) { return v[0].one_d * 0.01; });
    if (params->transitionManualScale) {
        double bound = 0;
        for (double s : scales) bound = std::max(bound, in_data->utils->ansi.fabs(s));
        params->transitionScale = bound;
    }
    return err;
}

A_Err TransitionAnimator::initColor() {
    return sample(params->transitionManualColor, {kHueParam, kLightnessParam, kSaturationParam}, colors,
                  [](const auto& v) {
                      Color c;
                      c.alpha = 1.0f;
                      c.red = static_cast<float>(v[0].one_d);
                      c.green = static_cast<float>(v[1].one_d * 0.01);
                      c.blue = static_cast<float>(v[2].one_d * 0.01);
                      return c;
                  });
}

A_Err TransitionAnimator::initOpacity() {
    return sample(params->transitionManualOpacity, {kOpacityParam}, opacities,
                  [](const auto& v) { return v[0].one_d * 0.01; });
}

A_Err TransitionAnimator::initPhase() {
    return sample(params->transitionManualPhase, {kPhaseParam}, phases,
                  [](const auto& v) { return v[0].one_d * kRadiansPerDegree; });
}

template <class T>
T TransitionAnimator::interpolate(const std::vector<T>& curve, double t) const {
    // Never past the samples actually taken.
    const int n = std::min(count(), static_cast<int>(curve.size()));
    if (n == 0) return T();
    if (!(t > 0) || n == 1) return curve[0];  // NaN too
    if (t >= 1) return curve[std::size_t(n) - 1];
    const double x = (n - 1) * t;
    const int i = std::min(static_cast<int>(x), n - 2);
    const double f = x - i;  // from the limited index, so t just below 1 reaches the last sample
    return lerp(curve[std::size_t(i)], curve[std::size_t(i) + 1], f);
}

Vector TransitionAnimator::getOffset(double t) const { return interpolate(offsets, t); }
double TransitionAnimator::getScale(double t) const { return interpolate(scales, t); }
double TransitionAnimator::getOpacity(double t) const { return interpolate(opacities, t); }
double TransitionAnimator::getPhase(double t) const { return interpolate(phases, t); }

Color TransitionAnimator::getColor(double t) const {
    const int n = std::min(count(), static_cast<int>(colors.size()));
    if (n == 0) return Color();
    if (!(t > 0) || n == 1) return colors[0];
    if (t >= 1) return colors[std::size_t(n) - 1];
    // Single precision, as the colour modifier is applied.
    const float x = static_cast<float>(n - 1) * static_cast<float>(t);
    const int i = std::min(static_cast<int>(x), n - 2);
    const float f = x - static_cast<float>(i);
    const Color& a = colors[std::size_t(i)];
    const Color& b = colors[std::size_t(i) + 1];
    Color c;
    c.alpha = (1 - f) * a.alpha + f * b.alpha;
    c.red = (1 - f) * a.red + f * b.red;
    c.green = (1 - f) * a.green + f * b.green;
    c.blue = (1 - f) * a.blue + f * b.blue;
    return c;
}
