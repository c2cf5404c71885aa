// The plain C++ polygon edge kernel, and the choice of kernel by vector level.
#include "VemaroPolygonEdge.h"

#include "VemaroDoubleLanes.h"

#include <limits>

namespace polyedge {

namespace portable {
struct V : lanes::Scalar {
    using K = A_long;
    // A whole number in [0, sectors) as an index.
    static K index(D v) { return static_cast<K>(v); }
    static D gather(const double* base, K k) { return base[k]; }
};
}  // namespace portable

#define VEMARO_EDGE_NS portable
#include "VemaroPolygonEdge.inl"
#undef VEMARO_EDGE_NS

#if VEMARO_HAVE_AVX2
// In VemaroPolygonEdgeAvx.cpp, compiled for those processors alone.
namespace avx2 {
Result classify(const Row& r, const double* cols, A_long n, double* d, double* d2);
}
namespace avx512 {
Result classify(const Row& r, const double* cols, A_long n, double* d, double* d2);
}
#endif

ClassifyFn classifyKernelAt(simd::Level level) {
#if VEMARO_HAVE_AVX2
    switch (level) {
        case simd::Level::Avx512: return &avx512::classify;
        case simd::Level::Avx2: return &avx2::classify;
        case simd::Level::Portable: break;
    }
#else
    (void)level;
#endif
    return &portable::classify;
}

ClassifyFn classifyKernel() { return classifyKernelAt(simd::level()); }

}  // namespace polyedge
