// The interior-run kernel for SSE2 (every x86-64) or plain C++, and the
// choice of kernel by vector level.
#include "VemaroRunKernels.h"

#include "VemaroSimd.h"

#include <cstdint>
#include <cstring>

namespace runs {

#if VEMARO_BLEND_SSE2
namespace sse2 {
struct V {
    using I = __m128i;
    static constexpr int kWords = 4;
    // No masked loads and stores: a short end goes pixel by pixel.
    static constexpr bool kMasked = false;
    static I load(const void* p) { return _mm_loadu_si128(static_cast<const I*>(p)); }
    static void store(void* p, I v) { _mm_storeu_si128(static_cast<I*>(p), v); }
    static I zero() { return _mm_setzero_si128(); }
    static I rep(const uint32_t (&w)[4]) {
        return _mm_setr_epi32(static_cast<int>(w[0]), static_cast<int>(w[1]), static_cast<int>(w[2]),
                              static_cast<int>(w[3]));
    }
    static I and_(I a, I b) { return _mm_and_si128(a, b); }
    static bool testz(I v, I mask) {
        return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, mask), zero())) == 0xFFFF;
    }
    // Bit k set where word k of a equals that of b.
    static unsigned equalBits(I a, I b) {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b))));
    }
    static I loadPart(const void*, int) { return zero(); }
    // v into the words whose bit is set.
    static void storeBits(void* p, I v, unsigned bits) {
        if (bits == 0xFu) return store(p, v);
        uint32_t w[4];
        std::memcpy(w, &v, sizeof w);
        for (; bits != 0u; bits &= bits - 1u) {
            const int k = __builtin_ctz(bits);
            std::memcpy(static_cast<char*>(p) + 4 * k, &w[k], 4);
        }
    }
};
}  // namespace sse2
#define VEMARO_RUN_NS sse2
#include "VemaroRunKernels.inl"
#undef VEMARO_RUN_NS
#else
namespace plain {
// Four words at a time in plain C++ where there is no vector level.
struct V {
    struct I {
        uint32_t w[4];
    };
    static constexpr int kWords = 4;
    static constexpr bool kMasked = false;
    static I load(const void* p) {
        I v;
        std::memcpy(v.w, p, sizeof v.w);
        return v;
    }
    static void store(void* p, I v) { std::memcpy(p, v.w, sizeof v.w); }
    static I zero() { return I{{0u, 0u, 0u, 0u}}; }
    static I rep(const uint32_t (&w)[4]) { return I{{w[0], w[1], w[2], w[3]}}; }
    static I and_(I a, I b) { return I{{a.w[0] & b.w[0], a.w[1] & b.w[1], a.w[2] & b.w[2], a.w[3] & b.w[3]}}; }
    static bool testz(I v, I mask) {
        return ((v.w[0] & mask.w[0]) | (v.w[1] & mask.w[1]) | (v.w[2] & mask.w[2]) | (v.w[3] & mask.w[3])) == 0u;
    }
    static unsigned equalBits(I a, I b) {
        unsigned bits = 0u;
        for (int k = 0; k < 4; ++k) bits |= (a.w[k] == b.w[k] ? 1u : 0u) << k;
        return bits;
    }
    static I loadPart(const void*, int) { return zero(); }
    static void storeBits(void* p, I v, unsigned bits) {
        for (int k = 0; k < 4; ++k)
            if (bits & (1u << k)) std::memcpy(static_cast<char*>(p) + 4 * k, &v.w[k], 4);
    }
};
}  // namespace plain
#define VEMARO_RUN_NS plain
#include "VemaroRunKernels.inl"
#undef VEMARO_RUN_NS
#endif

#if VEMARO_HAVE_AVX2
// In VemaroRunKernelsAvx.cpp, compiled for those processors alone.
namespace avx2 {
template <class P>
FillFn<P> fillKernel();
template <class P>
StoreFn<P> storeKernel();
}  // namespace avx2
namespace avx512 {
template <class P>
FillFn<P> fillKernel();
template <class P>
StoreFn<P> storeKernel();
}  // namespace avx512
#endif

#if VEMARO_BLEND_SSE2
namespace base = sse2;
#else
namespace base = plain;
#endif

// The kernel `fn` of the given level's namespace; every level has one.
#if VEMARO_HAVE_AVX2
#define VEMARO_RUN_AT(level, fn) \
    ((level) == simd::Level::Avx512 ? avx512::fn<P>() : (level) == simd::Level::Avx2 ? avx2::fn<P>() : base::fn<P>())
#else
#define VEMARO_RUN_AT(level, fn) ((void)(level), base::fn<P>())
#endif

template <class P>
FillFn<P> fillKernelAt(simd::Level level) {
    return VEMARO_RUN_AT(level, fillKernel);
}

template <class P>
FillFn<P> fillKernel() {
    return fillKernelAt<P>(simd::level());
}

template <class P>
StoreFn<P> storeKernelAt(simd::Level level) {
    return VEMARO_RUN_AT(level, storeKernel);
}
#undef VEMARO_RUN_AT

template <class P>
StoreFn<P> storeKernel() {
    return storeKernelAt<P>(simd::level());
}

template StoreFn<PF_Pixel> storeKernel<PF_Pixel>();
template StoreFn<PF_Pixel16> storeKernel<PF_Pixel16>();
template StoreFn<PF_PixelFloat> storeKernel<PF_PixelFloat>();
template StoreFn<PF_Pixel> storeKernelAt<PF_Pixel>(simd::Level);
template StoreFn<PF_Pixel16> storeKernelAt<PF_Pixel16>(simd::Level);
template StoreFn<PF_PixelFloat> storeKernelAt<PF_PixelFloat>(simd::Level);
template FillFn<PF_Pixel> fillKernel<PF_Pixel>();
template FillFn<PF_Pixel16> fillKernel<PF_Pixel16>();
template FillFn<PF_PixelFloat> fillKernel<PF_PixelFloat>();
template FillFn<PF_Pixel> fillKernelAt<PF_Pixel>(simd::Level);
template FillFn<PF_Pixel16> fillKernelAt<PF_Pixel16>(simd::Level);
template FillFn<PF_PixelFloat> fillKernelAt<PF_PixelFloat>(simd::Level);

}  // namespace runs
