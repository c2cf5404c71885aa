// The plain C++ polygon edge kernel, and the choice of kernel by vector level.
#include "VemaroPolygonEdge.h"

#include <cmath>
#include <limits>

namespace polyedge {

namespace portable {
// One lane: the selects are the branches of the per-pixel code.
struct V {
    using D = double;
    using M = bool;
    using K = A_long;
    static constexpr int kLanes = 1;
    static constexpr unsigned kAll = 1u;
    static D set1(double v) { return v; }
    static D load(const double* p) { return *p; }
    static void store(double* p, D v) { *p = v; }
    static D add(D a, D b) { return a + b; }
    static D sub(D a, D b) { return a - b; }
    static D mul(D a, D b) { return a * b; }
    static D div(D a, D b) { return a / b; }
    static D abs(D a) { return std::fabs(a); }
    static M eq(D a, D b) { return a == b; }
    static M lt(D a, D b) { return a < b; }
    static M le(D a, D b) { return a <= b; }
    static M ge(D a, D b) { return a >= b; }
    static M mand(M a, M b) { return a && b; }
    static D select(M m, D a, D b) { return m ? a : b; }
    static unsigned bits(M m) { return m ? 1u : 0u; }
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
