#include "VemaroLattice.h"

#include "VemaroElementPipeline.h"

#include <cmath>

namespace lattice {

bool usableScale(double scale) { return scale != 0.0 && std::isfinite(scale); }

namespace {

// Indices stay within +-2^30, so sums of two of them and the loop counters
// cannot overflow.
bool toInt(double v, int& out) {
    constexpr double kLimit = 1073741824.0;
    if (!(v >= -kLimit && v <= kLimit)) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

bool indexRange(const PF_ANSICallbacks& ansi, double nearDot, double farDot, double step, int& first, int& last) {
    const double a = ansi.floor(nearDot / step);
    const double b = ansi.ceil(farDot / step);
    if (!std::isfinite(a) || !std::isfinite(b)) {
        // A lattice placed by a non-finite value covers nothing.
        first = 0;
        last = -1;
        return true;
    }
    return toInt(a, first) && toInt(b, last);
}

int cycleClass(int index, int offset, int cycle) {
    if (cycle < 1) cycle = 1;
    long long k = (static_cast<long long>(index) + offset) % cycle;
    if (k < 0) k += cycle;
    return static_cast<int>(k);
}

PF_Err endOfRow(const ElementPipeline& pipeline, PF_InData* in_data) {
    if (PF_Err err = pipeline.error()) return err;
    return PF_ABORT(in_data);
}

}  // namespace lattice
