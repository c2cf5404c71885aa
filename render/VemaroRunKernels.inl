// The body of the interior-run kernel, written once over a set of vector
// operations V on 32-bit words and included once per instruction set, each
// time into its own namespace VEMARO_RUN_NS (which must hold V). An 8-bit
// pixel fills a word, a 16-bit one two, a float one four; the alpha is in a
// pixel's first word.

// No include guard: this file is meant to be included several times.

namespace VEMARO_RUN_NS {

// A pixel's alpha bits, the bits compared for a full alpha and their value
// when full, as four 32-bit words repeated over a vector. Masking the other
// words to 0 makes them compare equal in both tests, so a pixel's result is
// that of its first word. A float alpha of either zero counts as 0, as the
// float blends' compare takes it.
template <class P>
struct Bits;
template <>
struct Bits<PF_Pixel> {
    static constexpr uint32_t alpha[4] = {0xFFu, 0xFFu, 0xFFu, 0xFFu};
    static constexpr uint32_t full[4] = {0xFFu, 0xFFu, 0xFFu, 0xFFu};
    static constexpr uint32_t opaque[4] = {0xFFu, 0xFFu, 0xFFu, 0xFFu};
};
template <>
struct Bits<PF_Pixel16> {
    static constexpr uint32_t alpha[4] = {0xFFFFu, 0u, 0xFFFFu, 0u};
    static constexpr uint32_t full[4] = {0xFFFFu, 0u, 0xFFFFu, 0u};
    static constexpr uint32_t opaque[4] = {0x8000u, 0u, 0x8000u, 0u};
};
template <>
struct Bits<PF_PixelFloat> {
    static constexpr uint32_t alpha[4] = {0x7FFFFFFFu, 0u, 0u, 0u};
    static constexpr uint32_t full[4] = {0xFFFFFFFFu, 0u, 0u, 0u};
    static constexpr uint32_t opaque[4] = {0x3F800000u, 0u, 0u, 0u};  // 1.0f
};

// The bit of each pixel's first word copied to all W words of the pixel.
template <int W>
inline unsigned wholePixels(unsigned bits) {
    if constexpr (W == 1) {
        return bits;
    } else if constexpr (W == 2) {
        const unsigned first = bits & 0x55555555u;
        return first | (first << 1);
    } else {
        static_assert(W == 4, "a pixel is 1, 2 or 4 words");
        return (bits & 0x11111111u) * 0xFu;
    }
}

template <class P>
A_long fillRun(P* row, A_long n, const P& element, bool keepOpaque) {
    using I = V::I;
    static_assert(16 % sizeof(P) == 0, "a pixel divides 16 bytes");
    constexpr int W = static_cast<int>(sizeof(P) / 4);
    constexpr A_long G = V::kWords / W;
    constexpr unsigned kAll = (1u << V::kWords) - 1u;
    // The pixel repeated over 16 bytes.
    uint32_t e[4];
    for (unsigned k = 0; k < sizeof(e); k += sizeof(P)) std::memcpy(reinterpret_cast<char*>(e) + k, &element, sizeof(P));
    const I px = V::rep(e), alpha = V::rep(Bits<P>::alpha), full = V::rep(Bits<P>::full),
            opaque = V::rep(Bits<P>::opaque), zero = V::zero();
    // The pixels of a vector that are not transparent, in `valid` words:
    // writes the transparent ones before the first that needs a blend and
    // returns its index in the vector, or writes them all and returns -1.
    auto mixed = [&](P* p, I top, unsigned valid) {
        const unsigned clear = wholePixels<W>(V::equalBits(V::and_(top, alpha), zero)) & valid;
        const unsigned keep = keepOpaque ? wholePixels<W>(V::equalBits(V::and_(top, full), opaque)) : 0u;
        const unsigned hard = valid & ~(clear | keep);
        if (hard == 0u) {
            V::storeBits(p, px, clear);
            return A_long{-1};
        }
        V::storeBits(p, px, clear & ((hard & (0u - hard)) - 1u));
        return static_cast<A_long>(__builtin_ctz(hard) / W);
    };
    A_long i = 0;
    for (; i + G <= n; i += G) {
        const I top = V::load(row + i);
        // All transparent, the common case, with one test.
        if (V::testz(top, alpha)) {
            V::store(row + i, px);
            continue;
        }
        const A_long stop = mixed(row + i, top, kAll);
        if (stop >= 0) return i + stop;
    }
    if constexpr (V::kMasked) {
        if (i < n) {
            const int words = static_cast<int>(n - i) * W;
            const A_long stop = mixed(row + i, V::loadPart(row + i, words), (1u << words) - 1u);
            return stop >= 0 ? i + stop : n;
        }
    }
    // A short end the level cannot take as a vector, pixel by pixel.
    for (; i < n; ++i) {
        if (row[i].alpha == 0)
            row[i] = element;
        else if (!(keepOpaque && row[i].alpha == raster::fullAlpha<P>()))
            return i;
    }
    return n;
}

template <class P>
void storeRun(P* row, A_long n, const P& element) {
    using I = V::I;
    constexpr int W = static_cast<int>(sizeof(P) / 4);
    constexpr A_long G = V::kWords / W;
    uint32_t e[4];
    for (unsigned k = 0; k < sizeof(e); k += sizeof(P)) std::memcpy(reinterpret_cast<char*>(e) + k, &element, sizeof(P));
    const I px = V::rep(e);
    A_long i = 0;
    if constexpr (V::kMasked) {
        // Whole vectors on vector boundaries: a store across two cache lines
        // costs two. Rows hold whole pixels, so the boundary falls on one.
        constexpr std::uintptr_t kBytes = sizeof(I);
        const std::uintptr_t head = ((kBytes - reinterpret_cast<std::uintptr_t>(row) % kBytes) % kBytes) / sizeof(P);
        if (head > 0 && reinterpret_cast<std::uintptr_t>(row) % sizeof(P) == 0) {
            const A_long m = static_cast<A_long>(head) < n ? static_cast<A_long>(head) : n;
            V::storeBits(row, px, (1u << (m * W)) - 1u);
            i = m;
        }
    }
    for (; i + 2 * G <= n; i += 2 * G) {
        V::store(row + i, px);
        V::store(row + i + G, px);
    }
    if (i + G <= n) {
        V::store(row + i, px);
        i += G;
    }
    if constexpr (V::kMasked) {
        if (i < n) V::storeBits(row + i, px, (1u << ((n - i) * W)) - 1u);
        return;
    }
    for (; i < n; ++i) row[i] = element;
}

// The kernels of this level, for runs::fillKernelAt() and storeKernelAt().
template <class P>
FillFn<P> fillKernel() {
    return &fillRun<P>;
}
template FillFn<PF_Pixel> fillKernel<PF_Pixel>();
template FillFn<PF_Pixel16> fillKernel<PF_Pixel16>();
template FillFn<PF_PixelFloat> fillKernel<PF_PixelFloat>();
template <class P>
StoreFn<P> storeKernel() {
    return &storeRun<P>;
}
template StoreFn<PF_Pixel> storeKernel<PF_Pixel>();
template StoreFn<PF_Pixel16> storeKernel<PF_Pixel16>();
template StoreFn<PF_PixelFloat> storeKernel<PF_PixelFloat>();

}  // namespace VEMARO_RUN_NS
