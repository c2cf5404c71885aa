// The span kernels over 256-bit (AVX2) and 512-bit (AVX-512) vectors. Only the
// code between the target brackets uses those instructions; it runs only
// where simd::level() allows it.
#include "VemaroDoubleLanes.h"
#include "VemaroSpanKernels.h"

#if VEMARO_HAVE_AVX2

// The kernels of namespace VEMARO_SPAN_NS, for kernels().
#define VEMARO_SPAN_TABLE \
    namespace VEMARO_SPAN_NS { \
    extern const Kernels kKernels; \
    const Kernels kKernels{&circleFill, &circleFillRows, &circleStroke, &line}; \
    }

VEMARO_AVX2_BEGIN

namespace spans {
namespace avx2 {
struct V : lanes::Avx2 {
    static void storeF(float* p, D v) { _mm_storeu_ps(p, _mm256_cvtpd_ps(v)); }
};
}  // namespace avx2

#define VEMARO_SPAN_NS avx2
#include "VemaroSpanKernels.inl"
VEMARO_SPAN_TABLE
#undef VEMARO_SPAN_NS
}  // namespace spans

VEMARO_AVX2_END

VEMARO_AVX512_BEGIN

namespace spans {
namespace avx512 {
struct V : lanes::Avx512 {
    static void storeF(float* p, D v) { _mm256_storeu_ps(p, _mm512_cvtpd_ps(v)); }
};
}  // namespace avx512

#define VEMARO_SPAN_NS avx512
#include "VemaroSpanKernels.inl"
VEMARO_SPAN_TABLE
#undef VEMARO_SPAN_NS
}  // namespace spans

VEMARO_AVX512_END
#undef VEMARO_SPAN_TABLE
#endif
