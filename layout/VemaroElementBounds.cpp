#include "VemaroElementBounds.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kTwoPi = kPi * 2.0;

}  // namespace

void getOriginAndAxis(PF_InData* in_data, double angle, int width, int height, Vector& origin, Vector& axisU,
                      Vector& axisV, double& lengthU, double& lengthV) {
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    double a = ansi.fmod(angle, kTwoPi);
    if (a < 0.0) a += kTwoPi;
    // A non-finite angle has no direction; lay the cover along the x axis.
    if (!(a == a)) a = 0.0;

    const int q = a < kHalfPi ? 0 : a < kPi ? 1 : a < 3.0 * kHalfPi ? 2 : 3;
    const double b = a - q * kHalfPi;
    const double c = ansi.cos(b);
    const double s = ansi.sin(b);
    const double w = width;
    const double h = height;

    switch (q) {
        case 0:
            axisU = {c, s};
            axisV = {-s, c};
            origin = {s * (w * s), -w * s * c};
            lengthU = w * c + h * s;
            lengthV = w * s + h * c;
            break;
        case 1:
            axisU = {-s, c};
            axisV = {-c, -s};
            origin = {c * (h * s) + w, s * (h * s)};
            lengthU = w * s + h * c;
            lengthV = h * s + w * c;
            break;
        case 2:
            axisU = {-c, -s};
            axisV = {s, -c};
            origin = {c * (w * c), c * (w * s) + h};
            lengthU = h * s + w * c;
            lengthV = w * s + h * c;
            break;
        default:
            axisU = {s, -c};
            axisV = {c, s};
            origin = {-h * s * c, c * (h * c)};
            lengthU = w * s + h * c;
            lengthV = h * s + w * c;
            break;
    }
}
