#include "VemaroTransition.h"

#include <cmath>

namespace {

// NaN lands on 0 rather than on either end.
double clamp01(double v) { return v > 0.0 ? (v < 1.0 ? v : 1.0) : 0.0; }

bool knownMode(int32_t mode) {
    return (mode >= Transition::OneShot && mode <= Transition::Pingpong2) || mode == Transition::ContinuousLoop ||
           mode == Transition::ContinuousPingpong;
}

}  // namespace

Transition::Transition(int32_t mode_, double completion_, double delay_, double rest, int32_t count_, bool reverse_)
    : mode(knownMode(mode_) ? mode_ : OneShot),
      completion(completion_),
      delay(delay_),
      width(1.0 - rest),
      count(count_),
      reverse(reverse_ ? 1 : 0),
      cyclic(0),
      slope(0.0),
      intercept(0.0) {
    double c = completion_;
    switch (mode) {
        case Pingpong:
        case Pingpong2:
            c = std::fmod(c, 2.0);
            if (c < 0.0) c += 2.0;
            if (c > 1.0) {
                // On the way back Pingpong 2 lets the indices fall in the order
                // in which they rose.
                c = 2.0 - c;
                if (mode == Pingpong2) reverse = reverse ? 0 : 1;
            }
            break;
        case ContinuousLoop:
        case ContinuousPingpong:
            cyclic = 1;
            if (1.0 - rest < 1e-6) width = 1e-6;
            break;
        case Loop:
            c = std::fmod(c, 1.0);
            if (c < 0.0) c += 1.0;
            break;
        default: c = c < 0.0 ? 0.0 : (c < 1.0 ? c : 1.0); break;
    }
    completion = c;

    // slope is -delay and intercept c * L mathematically; kept in this form so
    // that existing renders come out the same to the last bit.
    const double L = (static_cast<double>(count) - 1.0) * delay + 1.0;
    const double s = 1.0 / L;
    slope = -(delay * s) / s;
    intercept = c / s;
}

double Transition::get(double index) const {
    double i = index;
    if (reverse) i = (static_cast<double>(count) - 1.0) - index;
    if (!cyclic) return clamp01(i * slope + intercept);

    const double v = completion - i * delay;
    if (mode == ContinuousLoop) {
        double f = std::fmod(v, 1.0);
        if (f < 0.0) f += 1.0;
        return clamp01(f / width);
    }
    double f = std::fmod(v, 2.0);
    if (f < 0.0) f += 2.0;
    if (f < 1.0) return clamp01(f / width);
    return 1.0 - clamp01((f - 1.0) / width);
}
