#include "VemaroPatternHash.h"

#include <cmath>

double patternHash(const PF_InData* in_data, int i, int j, int k, const Vector& seed) {
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double a = ((seed.x + static_cast<double>(i)) + 0.5) * 12.9898;
    const double b = (((seed.y + static_cast<double>(j)) + static_cast<double>(k)) + 0.5) * 78.233;
    const double v = ansi.sin(a + b) * 43758.5453;
    // floor is exact everywhere; only the sine is the host's.
    return v - std::floor(v);
}

double patternHashTimes(const PF_InData* in_data, int i, int j, int k, const Vector& seed, double weight) {
    constexpr double kFiniteSeed = 1e300;
    if (weight == 0.0 && std::fabs(seed.x) < kFiniteSeed && std::fabs(seed.y) < kFiniteSeed) return 0.0 * weight;
    return patternHash(in_data, i, j, k, seed) * weight;
}
