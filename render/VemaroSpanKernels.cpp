// The plain C++ span kernels, and the choice of kernels by vector level.
#include "VemaroSpanKernels.h"

#include "VemaroDoubleLanes.h"

namespace spans {

namespace portable {
struct V : lanes::Scalar {
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
const Kernels plain{&portable::circleFill, &portable::circleFillRows, &portable::circleStroke, &portable::line};
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
