// The body of the interior-run kernel, written once over a set of vector
// operations V and included once per instruction set, each time into its own
// namespace VEMARO_POLY_NS (which must hold V).

// No include guard: this file is meant to be included several times.

namespace VEMARO_POLY_NS {

// A pixel's alpha field, the bits of a full alpha and their value when full,
// as four 32-bit words repeated over a vector: an 8-bit pixel fills a word, a
// 16-bit one two, a float one four. A float alpha of either zero counts as 0,
// as the float blends' compare takes it.
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

template <class P>
A_long fillRun(P* row, A_long n, const P& element, bool keepOpaque) {
    using I = V::I;
    static_assert(16 % sizeof(P) == 0, "a pixel divides 16 bytes");
    constexpr A_long G = V::kBytes / static_cast<A_long>(sizeof(P));
    // The pixel repeated over 16 bytes.
    uint32_t e[4];
    for (unsigned k = 0; k < sizeof(e); k += sizeof(P)) std::memcpy(reinterpret_cast<char*>(e) + k, &element, sizeof(P));
    const I px = V::rep(e), alpha = V::rep(Bits<P>::alpha), full = V::rep(Bits<P>::full),
            opaque = V::rep(Bits<P>::opaque);
    A_long i = 0;
    for (; i + G <= n; i += G) {
        P* p = row + i;
        const I top = V::load(p);
        if (V::testz(top, alpha)) {
            V::store(p, px);
            continue;
        }
        if (!(keepOpaque && V::equal(V::and_(top, full), opaque))) return i;
    }
    if constexpr (V::kMasked) {
        if (i < n) {
            const int words = static_cast<int>((n - i) * static_cast<A_long>(sizeof(P) / 4));
            if (!V::testz(V::loadPart(row + i, words), alpha)) return i;
            V::storePart(row + i, px, words);
            return n;
        }
    }
    return i;
}

// The kernel of this level, for polyspans::fillKernel().
template <class P>
FillFn<P> fillKernel() {
    return &fillRun<P>;
}
template FillFn<PF_Pixel> fillKernel<PF_Pixel>();
template FillFn<PF_Pixel16> fillKernel<PF_Pixel16>();
template FillFn<PF_PixelFloat> fillKernel<PF_PixelFloat>();

}  // namespace VEMARO_POLY_NS
