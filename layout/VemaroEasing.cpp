#include "VemaroEasing.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Piecewise quadratic bounce; breakpoints at 1/2.75, 2/2.75 and 2.5/2.75.
double bounce(double v) {
    if (v < 0.36363636363636365) return 7.5625 * v * v;
    if (v < 0.7272727272727273) {
        const double u = v - 0.5454545454545454;
        return 7.5625 * u * u + 0.75;
    }
    if (v < 0.9090909090909091) {
        const double u = v - 0.8181818181818182;
        return 7.5625 * u * u + 0.9375;
    }
    const double u = v - 0.9545454545454546;
    return 7.5625 * u * u + 0.984375;
}

double power(double v, int n) {
    double r = v;
    for (int k = 1; k < n; ++k) r *= v;
    return r;
}

// Quad to Quint: t^n in, mirrored out, two halves in-out. The odd powers close
// with +1/+2 and the even ones with the negated form; the results are the same
// curves, written the way existing renders computed them.
double polynomial(int n, int mode, double t) {
    const bool odd = (n % 2) != 0;
    switch (mode) {
        case Easing::In: return power(t, n);
        case Easing::Out: {
            const double u = t - 1.0;
            return odd ? power(u, n) + 1.0 : -(power(u, n) - 1.0);
        }
        default: {
            const double x = t * 2.0;
            if (x < 1.0) return 0.5 * power(x, n);
            if (n == 2) {
                const double u = x - 1.0;
                return -0.5 * (u * (u - 2.0) - 1.0);
            }
            const double u = x - 2.0;
            return odd ? 0.5 * (power(u, n) + 2.0) : -0.5 * (power(u, n) - 2.0);
        }
    }
}

double eased(int type, int mode, double t) {
    switch (type) {
        case Easing::Quad:
            if (mode == Easing::Out) return -t * (t - 2.0);
            return polynomial(2, mode, t);
        case Easing::Cubic: return polynomial(3, mode, t);
        case Easing::Quart: return polynomial(4, mode, t);
        case Easing::Quint: return polynomial(5, mode, t);
        case Easing::Expo:
            if (mode == Easing::In) return std::exp2(10.0 * (t - 1.0));
            if (mode == Easing::Out) return 1.0 - std::exp2(-10.0 * t);
            {
                const double x = t * 2.0;
                const double u = x - 1.0;
                if (x < 1.0) return 0.5 * std::exp2(10.0 * u);
                return 0.5 * (2.0 - std::exp2(-10.0 * u));
            }
        case Easing::Circ:
            if (mode == Easing::In) return -(std::sqrt(1.0 - t * t) - 1.0);
            if (mode == Easing::Out) {
                const double u = t - 1.0;
                return std::sqrt(1.0 - u * u);
            }
            {
                const double x = t * 2.0;
                if (x < 1.0) return -0.5 * (std::sqrt(1.0 - x * x) - 1.0);
                const double u = x - 2.0;
                return 0.5 * (std::sqrt(1.0 - u * u) + 1.0);
            }
        case Easing::Sine:
            if (mode == Easing::In) return 1.0 - std::cos(t * kPi * 0.5);
            if (mode == Easing::Out) return std::sin(t * kPi * 0.5);
            return -0.5 * (std::cos(t * kPi) - 1.0);
        case Easing::Bounce:
            if (mode == Easing::In) return 1.0 - bounce(1.0 - t);
            if (mode == Easing::Out) return bounce(t);
            {
                const double x = t * 2.0;
                if (t < 0.5) return 0.5 * (1.0 - bounce(1.0 - x));
                return 0.5 * bounce(x - 1.0) + 0.5;
            }
        case Easing::Back:
            if (mode == Easing::In) return t * t * (2.70158 * t - 1.70158);
            if (mode == Easing::Out) {
                const double u = t - 1.0;
                return u * u * (2.70158 * u + 1.70158) + 1.0;
            }
            {
                const double x = t * 2.0;
                if (x < 1.0) return 0.5 * (x * x * (3.5949095 * x - 2.5949095));
                const double u = x - 2.0;
                return 0.5 * (u * u * (3.5949095 * u + 2.5949095) + 2.0);
            }
        case Easing::Elastic:
            if (mode == Easing::In) {
                const double u = t - 1.0;
                return std::exp2(10.0 * u) * std::sin(-(u - 0.075) * kTwoPi / 0.3);
            }
            if (mode == Easing::Out) return std::exp2(-10.0 * t) * std::sin((t - 0.075) * kTwoPi / 0.3) + 1.0;
            {
                // Period 0.3 * 1.5 and its quarter, as the doubles that product gives.
                const double p = 0.44999999999999996;
                const double s = 0.11249999999999999;
                const double x = t * 2.0;
                const double u = x - 1.0;
                if (x < 1.0) return -0.5 * std::exp2(10.0 * u) * std::sin((u - s) * kTwoPi / p);
                return 0.5 * std::exp2(-10.0 * u) * std::sin((u - s) * kTwoPi / p) + 1.0;
            }
        default: return t;
    }
}

}  // namespace

double Easing::get(double t) const {
    if (!(t > 0.0)) return 0.0;
    if (t >= 1.0) return 1.0;
    if (type < Quad || type > Elastic || mode < In || mode > InOut) return t;
    return eased(type, mode, t);
}
