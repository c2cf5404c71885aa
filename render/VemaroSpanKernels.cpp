// The plain C++ span kernels, and the choice of kernels by vector level.
#include "VemaroSpanKernels.h"

#include "VemaroSimd.h"

#include <cmath>

namespace spans {

namespace portable {
// One lane: the selects are the branches of the per-pixel code.
struct V {
    using D = double;
    using M = bool;
    static constexpr int kLanes = 1;
    static D set1(double v) { return v; }
    static D load(const double* p) { return *p; }
    static D loadPartial(const double* p, int) { return *p; }
    static D add(D a, D b) { return a + b; }
    static D sub(D a, D b) { return a - b; }
    static D mul(D a, D b) { return a * b; }
    static D sqrt(D a) { return std::sqrt(a); }
    static D abs(D a) { return std::fabs(a); }
    static D trunc(D a) { return std::trunc(a); }
    static M le(D a, D b) { return a <= b; }
    static M ge(D a, D b) { return a >= b; }
    static M gt(D a, D b) { return a > b; }
    static M lt(D a, D b) { return a < b; }
    static M mor(M a, M b) { return a || b; }
    static D select(M m, D a, D b) { return m ? a : b; }
    static void storeF(float* p, D v) { *p = static_cast<float>(v); }
};
}  // namespace portable

#define VEMARO_SPAN_NS portable
#include "VemaroSpanKernels.inl"
#undef VEMARO_SPAN_NS

#if VEMARO_HAVE_AVX2
// In VemaroSpanKernelsAvx.cpp, compiled for those processors alone.
namespace avx2 {
extern const Kernels kKernels;
}
namespace avx512 {
extern const Kernels kKernels;
}
#endif

namespace {
const Kernels plain{&portable::circleFill, &portable::circleStroke, &portable::line};
}  // namespace

const Kernels& plainKernels() { return plain; }

const Kernels& kernels() {
#if VEMARO_HAVE_AVX2
    switch (simd::level()) {
        case simd::Level::Avx512: return avx512::kKernels;
        case simd::Level::Avx2: return avx2::kKernels;
        case simd::Level::Portable: break;
    }
#endif
    return plain;
}

}  // namespace spans
