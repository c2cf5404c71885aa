// The interior-run kernel for SSE2 (every x86-64) or plain C++, and the
// choice of kernel by vector level.
#include "VemaroPolygonKernels.h"

#include "VemaroSimd.h"

#include <cstdint>
#include <cstring>

namespace polyspans {

#if VEMARO_BLEND_SSE2
namespace sse2 {
struct V {
    using I = __m128i;
    static constexpr A_long kBytes = 16;
    static constexpr bool kMasked = false;
    static I load(const void* p) { return _mm_loadu_si128(static_cast<const I*>(p)); }
    static void store(void* p, I v) { _mm_storeu_si128(static_cast<I*>(p), v); }
    static I rep(const uint32_t (&w)[4]) {
        return _mm_setr_epi32(static_cast<int>(w[0]), static_cast<int>(w[1]), static_cast<int>(w[2]),
                              static_cast<int>(w[3]));
    }
    static I and_(I a, I b) { return _mm_and_si128(a, b); }
    static bool equal(I a, I b) { return _mm_movemask_epi8(_mm_cmpeq_epi8(a, b)) == 0xFFFF; }
    static bool testz(I v, I mask) { return equal(_mm_and_si128(v, mask), _mm_setzero_si128()); }
    static I loadPart(const void*, int) { return _mm_setzero_si128(); }
    static void storePart(void*, I, int) {}
};
}  // namespace sse2
#define VEMARO_POLY_NS sse2
#include "VemaroPolygonKernels.inl"
#undef VEMARO_POLY_NS
#else
namespace plain {
// Pixel by pixel where there is no vector level.
template <class P>
A_long fillRun(P* row, A_long n, const P& element, bool keepOpaque) {
    for (A_long i = 0; i < n; ++i) {
        if (row[i].alpha == 0)
            row[i] = element;
        else if (!(keepOpaque && row[i].alpha == raster::fullAlpha<P>()))
            return i;
    }
    return n;
}
}  // namespace plain
#endif

#if VEMARO_HAVE_AVX2
// In VemaroPolygonKernelsAvx.cpp, compiled for those processors alone.
namespace avx2 {
template <class P>
FillFn<P> fillKernel();
}
namespace avx512 {
template <class P>
FillFn<P> fillKernel();
}
#endif

template <class P>
FillFn<P> fillKernelAt(simd::Level level) {
#if VEMARO_HAVE_AVX2
    switch (level) {
        case simd::Level::Avx512: return avx512::fillKernel<P>();
        case simd::Level::Avx2: return avx2::fillKernel<P>();
        case simd::Level::Portable: break;
    }
#else
    (void)level;
#endif
#if VEMARO_BLEND_SSE2
    return sse2::fillKernel<P>();
#else
    return &plain::fillRun<P>;
#endif
}

template <class P>
FillFn<P> fillKernel() {
    return fillKernelAt<P>(simd::level());
}

template FillFn<PF_Pixel> fillKernel<PF_Pixel>();
template FillFn<PF_Pixel16> fillKernel<PF_Pixel16>();
template FillFn<PF_PixelFloat> fillKernel<PF_PixelFloat>();
template FillFn<PF_Pixel> fillKernelAt<PF_Pixel>(simd::Level);
template FillFn<PF_Pixel16> fillKernelAt<PF_Pixel16>(simd::Level);
template FillFn<PF_PixelFloat> fillKernelAt<PF_PixelFloat>(simd::Level);

}  // namespace polyspans
