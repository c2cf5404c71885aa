// The rational approximation of atan2 the polygon drawer uses for reaches up
// to 250 (error below 0.005 rad), written out from its formula for the tests.
#pragma once

#include <cmath>

inline double approximateAngle(double y, double x) {
    if (x == 0.0) return y > 0.0 ? M_PI / 2 : (y == 0.0 ? 0.0 : -M_PI / 2);
    const double z = y / x;
    if (std::fabs(z) < 1.0) {
        const double a = z / (1.0 + 0.28 * (z * z));
        return x < 0.0 ? (y < 0.0 ? a - M_PI : a + M_PI) : a;
    }
    const double a = M_PI / 2 - z / (z * z + 0.28);
    return y < 0.0 ? a - M_PI : a;
}
