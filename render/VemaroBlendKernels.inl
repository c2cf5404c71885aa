// Row kernels of the blends, written once over a set of vector operations V
// and included once per instruction set, each time into its own namespace
// VEMARO_SIMD_NS (which must hold V): the SSE2 copy into the inline row
// functions, wider ones into files compiled for their processors only. Every
// lane does what the per-pixel functions of VemaroBlend.h do, in the same
// order, so every copy gives the same bits.
//
// The kernels are forced inline into their row loops: called, they pass their
// planes through memory.
//
// Pixel groups whose top alphas are all 0 (take the bottom unless it is
// transparent too) or, in normal mode, all full (keep the top) skip the
// arithmetic: drawings are mostly such runs.

// No include guard: this file is meant to be included several times.

#ifndef VEMARO_SET_TRAIT
// name<W>: W::member where the instruction set W declares it, else false.
#define VEMARO_SET_TRAIT(name, member) \
    template <class W, class = void> \
    constexpr bool name = false; \
    template <class W> \
    constexpr bool name<W, std::void_t<decltype(W::member)>> = W::member;
#endif

namespace VEMARO_SIMD_NS {

using I = V::I;
using F = V::F;

// The bottom row is read only where the top needs it, and runs that the top
// keeps as it is break the processor's own prefetching: the row loops fetch
// the bottom a fixed distance ahead, every cache line of a group.
template <int kBytes>
inline void fetchAhead(const void* group) {
    constexpr int kAhead = 512;
    for (int k = 0; k < kBytes; k += 64) _mm_prefetch(static_cast<const char*>(group) + kAhead + k, _MM_HINT_T0);
}

inline I select(I m, I a, I b) { return V::or_(V::and_(m, a), V::andnot(m, b)); }
// a > b ? x : y of signed 16-bit lanes: straight from the comparison's mask
// where the set blends by one (kMaskBlends16), else through select.
VEMARO_SET_TRAIT(kMaskBlends16, kMaskBlends16)
template <class W = V>
inline I selectGreater16(I a, I b, I x, I y) {
    if constexpr (kMaskBlends16<W>)
        return W::blendWhereGreater16(a, b, x, y);
    else
        return select(W::cmpgt16(a, b), x, y);
}
// a == b ? x >> S : y of 16-bit lanes: one masked shift where the set has
// it (kMaskShifts16), else a shift and a select.
VEMARO_SET_TRAIT(kMaskShifts16, kMaskShifts16)
template <int S, class W = V>
inline I srliWhereEqual16(I a, I b, I x, I y) {
    if constexpr (kMaskShifts16<W>)
        return W::template srliWhereEqual16<S>(a, b, x, y);
    else
        return select(W::cmpeq16(a, b), W::template srli16<S>(x), y);
}
// Whether some 16-bit lane of v is 0: a test straight to a mask where the set
// has one (kMaskShifts16 goes with it), else a comparison.
template <class W = V>
inline bool anyZero16(I v) {
    if constexpr (kMaskShifts16<W>)
        return W::anyZero16(v);
    else
        return !W::allEqual32(W::cmpeq16(v, W::zero()), W::zero());
}
inline F selectF(F m, F a, F b) { return V::orF(V::andF(m, a), V::andnotF(m, b)); }
// a >= b, false where either is a NaN.
inline F cmpgeF(F a, F b) { return V::orF(V::cmpltF(b, a), V::cmpeqF(a, b)); }

// ------------------------------------------------------------ float lanes
// What the float blends and soft light at every depth share.

// The weights of the float separable modes and one channel's composite,
// (t Wt + B W2 + b Wb) / A, in the order of the scalar function.
struct WeightsF {
    F W2, Wb, Wt, A;
    WeightsF(F ab, F at) : W2(V::mulF(ab, at)), Wb(V::subF(ab, W2)), Wt(V::subF(at, W2)), A(V::addF(at, Wb)) {}
    // The dividend of mix.
    F sum(F b, F t, F channel) const { return V::addF(V::addF(V::mulF(t, Wt), V::mulF(channel, W2)), V::mulF(b, Wb)); }
    F mix(F b, F t, F channel) const { return V::divF(sum(b, t, channel), A); }
};

// Soft light's exponent e = t < 0.5 ? 2 (1 - t) : 1 / (2 t), as the scalar
// function takes it.
VEMARO_INLINE F softExponentF(F t) {
    const F one = V::set1F(1.0f), two = V::set1F(2.0f);
    return selectF(V::cmpltF(t, V::set1F(0.5f)), V::mulF(two, V::subF(one, t)), V::divF(one, V::mulF(two, t)));
}

// Soft light's channel function b^e: the exponent on the lanes, the power as
// the C library's powf gives it (see VemaroPowLanes.h).
VEMARO_INLINE F softlightF(F b, F t) { return V::powF(b, softExponentF(t)); }

// A float channel back to an integer depth of full value kFull: f kFull + 0.5
// in single precision, below 0 (or NaN) 0, above full full, truncated.
template <int kFull>
VEMARO_INLINE I fromFloatF(F f) {
    const F full = V::set1F(static_cast<float>(kFull));
    const F v = V::addF(V::mulF(f, full), V::set1F(0.5f));
    return V::cvttF32(V::minF(V::andF(cmpgeF(v, V::zeroF()), v), full));
}

// The same at 16 bits for composites f in [0, 1] give or take a few units in
// the last place, as soft light's are (non-negative terms over their weights'
// sum): f 32768 + 0.5 lies in [0.5, 32769), where the clamps change nothing.
// Lanes of transparent operands (NaN) come out as anything.
VEMARO_INLINE I fromUnitF16(F f) {
    return V::cvttF32(V::addF(V::mulF(f, V::set1F(32768.0f)), V::set1F(0.5f)));
}

// Soft light's exponent of a 16-bit top channel c, t = c / 32768: as 2 t is
// c / 16384 exactly, 1 / (2 t) and 16384 / c are the same number rounded
// once, without the multiplication.
VEMARO_INLINE F softExponent16(I c, F t) {
    const F one = V::set1F(1.0f), two = V::set1F(2.0f);
    return selectF(V::cmpltF(t, V::set1F(0.5f)), V::mulF(two, V::subF(one, t)),
                   V::divF(V::set1F(16384.0f), V::cvt32F(c)));
}

// Bounds lo <= pow(b, e) <= hi on the lanes, for b the float of integer
// channel c (log2b[c] its log2, 0 at c = 0) and 1/2 <= e <= 2. b^e = 2^x,
// x = e log2 b at least -32, comes from 2^x = 2^k 2^f, k the nearest integer,
// |f| <= 1/2, 2^f by its series to the power 7 (the rest below 2^-26 of it;
// the roundings of the double arithmetic are far smaller). The library's powf
// is within one unit in the last place (2^-23 relatively) of the exact power,
// and the bounds are 2^-21 off: they hold it even after rounding to float.
// b = 0 and b = 1 give 0 and 1 exactly. In double lanes, half the float lanes
// at a time; 2^k is made from the bits that rounding x to k leaves.
struct PowBounds {
    F lo, hi;
};
template <int kFull>
VEMARO_INLINE PowBounds powBounds(I c, F e, const double* log2b) {
    static constexpr std::array<double, 8> kSeries = [] {  // ln2^n / n!
        std::array<double, 8> a{};
        double term = 1.0;
        for (int n = 0; n < 8; ++n) {
            a[n] = term;
            term = term * 0x1.62e42fefa39efp-1 / (n + 1);
        }
        return a;
    }();
    using L = V::DL;
    using D = L::D;
    struct Pair {
        D lo, hi;
    };
    auto bounds = [](D e, D log2) {
        const D x = L::mul(e, log2);
        const D shifted = L::add(x, L::set1(0x1.8p52));
        const D f = L::sub(x, L::sub(shifted, L::set1(0x1.8p52)));  // x less the nearest integer k
        D p = L::add(L::set1(kSeries[6]), L::mul(f, L::set1(kSeries[7])));
        for (int n = 5; n >= 0; --n) p = L::add(L::set1(kSeries[n]), L::mul(f, p));
        p = L::mul(p, V::exp2BitsD(shifted));  // k is in the low bits of shifted
        return Pair{L::mul(p, L::set1(1.0 - 0x1p-21)), L::mul(p, L::set1(1.0 + 0x1p-21))};
    };
    const auto low = bounds(V::lowD(e), V::gatherLowD(log2b, c));
    const auto high = bounds(V::highD(e), V::gatherHighD(log2b, c));
    const F zero = V::asF(V::cmpeq32(c, V::zero())), one = V::asF(V::cmpeq32(c, V::set32(kFull)));
    auto exact = [&](F v) { return selectF(one, V::set1F(1.0f), V::andnotF(zero, v)); };
    return {exact(V::floatsD(low.lo, high.lo)), exact(V::floatsD(low.hi, high.hi))};
}

// Soft light of integer channels given as floats, alphas not 0: the float
// blend, every channel, alpha included, back to the integer depth (the
// channels of an integer pixel as planes). bi holds the bottom's integer
// channels, log2b the log2 of their floats.
//
// The power only matters through the rounding to the integer depth, and the
// composite is monotone in it (every operation rounds monotonically and the
// power's weight is not negative): the composites of the bounds of powBounds
// round to the same integer nearly everywhere, and then so does that of powf.
// The other lanes call powf. Levels with the library's powers on their lanes
// (VemaroPowLanes.h) take those instead, which need neither.
struct SoftInt {
    I a, r, g, b;
};
//
// Over an opaque top (kOpaqueTop, at = 1) the composite is t Wt + P ab to the
// bit, without the bottom's channel or a division (see kernelSoft8).
template <int kFull, bool kOpaqueTop = false>
VEMARO_INLINE SoftInt softIntBounded(F ab, F at, const F (&bc)[3], const F (&tc)[3], const I (&bi)[3],
                                     const I (&ti)[3], const double* log2b) {
    constexpr int N = V::kLanesF;
    const WeightsF w(ab, at);
    auto mix = [&](int k, F power) {
        if constexpr (kOpaqueTop)
            return V::addF(V::mulF(tc[k], w.Wt), V::mulF(power, w.W2));
        else
            return w.mix(bc[k], tc[k], power);
    };
    I c[3];
    if (kFull == 32768 && V::powMode() != powlanes::Mode::Library) {
        // The exact powers on the lanes settle every channel at once. Their
        // own log2 of the bottom's channels beats a table of them: gathers
        // from it cost more than the polynomial, and the table crowds the
        // rows out of the cache.
        F e[3], p[3];
        for (int k = 0; k < 3; ++k) e[k] = softExponent16(ti[k], tc[k]);
        V::powF(bc, e, p);
        for (int k = 0; k < 3; ++k) c[k] = fromUnitF16(mix(k, p[k]));
        return {kOpaqueTop ? V::set32(kFull) : fromUnitF16(w.A), c[0], c[1], c[2]};
    }
    for (int k = 0; k < 3; ++k) {
        const F e = softExponentF(tc[k]);
        const PowBounds p = powBounds<kFull>(bi[k], e, log2b);
        const I low = fromFloatF<kFull>(mix(k, p.lo));
        const I high = fromFloatF<kFull>(mix(k, p.hi));
        const I same = V::cmpeq32(low, high);
        if (V::allOnes(same)) {
            c[k] = low;
            continue;
        }
        int32_t settled[N];
        float bs[N], es[N], pw[N];
        V::store(settled, same);
        V::storeF(bs, bc[k]);
        V::storeF(es, e);
        for (int j = 0; j < N; ++j) pw[j] = settled[j] ? 0.0f : std::pow(bs[j], es[j]);
        c[k] = select(same, low, fromFloatF<kFull>(mix(k, V::loadF(pw))));
    }
    return {kOpaqueTop ? V::set32(kFull) : fromFloatF<kFull>(w.A), c[0], c[1], c[2]};
}

// ------------------------------------------------------------ 8 bits
// kLanes16 pixels as planes of 16-bit lanes. The wider sets unpack within
// their 128-bit halves, which permutes the pixels among the lanes; store8
// undoes it and nothing in between mixes lanes.
struct Planes8 {
    I a, r, g, b;
};
constexpr int kGroup8 = V::kLanes16;

// Where the set permutes words across two vectors (kPermutes16), the alpha |
// red << 8 words (kOdd 0) or green | blue << 8 words (kOdd 1) of v0's and v1's
// pixels in the order that unpack8 below leaves them: within each 128-bit
// part, its four pixels of v0, then its four of v1.
VEMARO_SET_TRAIT(kPermutes16, kPermutes16)
template <int kOdd, class W = V>
inline I pixelWords8(I v0, I v1) {
    struct Index {
        int16_t w[kGroup8];
    };
    static constexpr Index kIndex = [] {
        Index x{};
        for (int k = 0; k < kGroup8; ++k) {
            const int part = k / 8, j = k % 8, pixel = 4 * part + j % 4;
            x.w[k] = static_cast<int16_t>((j < 4 ? 0 : kGroup8) + 2 * pixel + kOdd);
        }
        return x;
    }();
    return W::permute2x16(v0, W::load(kIndex.w), v1);
}

// Where the set permutes bytes across two vectors (kPermutes8), each channel
// plane straight from v0's and v1's pixels: byte kByte of the pixel of each
// word above, its high byte zeroed.
VEMARO_SET_TRAIT(kPermutes8, kPermutes8)
template <int kByte, class W = V>
inline I pixelBytes8(I v0, I v1) {
    struct Index {
        int8_t b[2 * kGroup8];
    };
    static constexpr Index kIndex = [] {
        Index x{};
        for (int k = 0; k < kGroup8; ++k) {
            const int part = k / 8, j = k % 8, pixel = 4 * part + j % 4;
            x.b[2 * k] = static_cast<int8_t>((j < 4 ? 0 : 2 * kGroup8) + 4 * pixel + kByte);
        }
        return x;
    }();
    return W::permute2x8Low(v0, W::load(kIndex.b), v1);
}

template <class W = V>
inline Planes8 unpack8(I v0, I v1) {
    if constexpr (kPermutes8<W>) {
        return {pixelBytes8<0>(v0, v1), pixelBytes8<1>(v0, v1), pixelBytes8<2>(v0, v1), pixelBytes8<3>(v0, v1)};
    } else if constexpr (kPermutes16<W>) {
        const I ar = pixelWords8<0>(v0, v1), gb = pixelWords8<1>(v0, v1), low = V::set16(0xFF);
        return {V::and_(ar, low), V::template srli16<8>(ar), V::and_(gb, low), V::template srli16<8>(gb)};
    }
    const I u0 = V::unpacklo8(v0, v1), u1 = V::unpackhi8(v0, v1);
    const I w0 = V::unpacklo8(u0, u1), w1 = V::unpackhi8(u0, u1);
    const I ar = V::unpacklo8(w0, w1), gb = V::unpackhi8(w0, w1);
    const I z = V::zero();
    return {V::unpacklo8(ar, z), V::unpackhi8(ar, z), V::unpacklo8(gb, z), V::unpackhi8(gb, z)};
}

// Lanes above 255 store as 255 (the separable kernels leave their channels
// unclamped for it), negative ones as 0.
template <class W = V>
inline void store8(PF_Pixel* p, const Planes8& q) {
    const I ar = V::packus16(q.a, q.r), gb = V::packus16(q.g, q.b);
    if constexpr (kPermutes8<W>) {
        // Pixel n of v0 (kOdd 0) or v1 (kOdd 1) is word 8 (n / 4) + 4 kOdd
        // + n % 4 of the planes: its alpha and red bytes in ar, 8 apart, its
        // green and blue likewise in gb.
        struct Index {
            int8_t b[2 * kGroup8];
        };
        auto pixels = [&](auto odd) {
            static constexpr Index kIndex = [] {
                Index x{};
                for (int n = 0; n < kGroup8 / 2; ++n) {
                    const int at = 16 * (n / 4) + 4 * decltype(odd)::value + n % 4;
                    for (int c = 0; c < 4; ++c)
                        x.b[4 * n + c] = static_cast<int8_t>((c < 2 ? 0 : 2 * kGroup8) + at + 8 * (c % 2));
                }
                return x;
            }();
            return W::permute2x8(ar, W::load(kIndex.b), gb);
        };
        V::store(p, pixels(std::integral_constant<int, 0>{}));
        V::store(p + kGroup8 / 2, pixels(std::integral_constant<int, 1>{}));
        return;
    }
    const I y0 = V::unpacklo8(ar, gb), y1 = V::unpackhi8(ar, gb);
    V::store(p, V::unpacklo8(y0, y1));
    V::store(p + kGroup8 / 2, V::unpackhi8(y0, y1));
}

// The biased reciprocals of the divisors (0 taken as 1: its pixels are
// replaced anyway), low and high halves.
struct Reciprocal8 {
    F lo, hi;
    explicit Reciprocal8(I A) {
        const I a = V::max16(A, V::set16(1)), z = V::zero();
        const F c = V::set1F(rowdetail::kQuotientBias);
        lo = V::divF(c, V::cvt32F(V::unpacklo16(a, z)));
        hi = V::divF(c, V::cvt32F(V::unpackhi16(a, z)));
    }
    // floor(y / A) of two halves of 32-bit y < 2^19, packed to 16-bit lanes.
    I quotient(I ylo, I yhi) const { return quotient(ylo, yhi, lo, hi); }
    static I quotient(I ylo, I yhi, F lo, F hi) {
        const I qlo = V::cvttF32(V::mulF(V::cvt32F(ylo), lo));
        const I qhi = V::cvttF32(V::mulF(V::cvt32F(yhi), hi));
        return V::packs32(qlo, qhi);
    }
};

// Quotients by the 16-bit lanes A (1 <= A <= 255; lanes of A = 0 come out as
// anything) of two halves of 32-bit lanes, packed to 16-bit lanes with signed
// saturation. Where the set divides rounding toward zero the dividends and
// divisors are exact floats and the quotient never passes the true one nor
// falls below its floor, an exact float too: it truncates to the floor. The
// other sets multiply by the biased reciprocals.
VEMARO_SET_TRAIT(kDividesTowardZero, kDivTowardZero)
//
// The kernels replace every lane of A = 0 (a transparent bottom) by an
// operand, so the division there may give anything: such lanes divide by 0
// rounding toward zero (no exception is raised), or by 1 on the other sets.
template <class W = V>
struct Quotient8T {
    F lo, hi, lo256, hi256;
    explicit Quotient8T(I A) {
        if constexpr (kDividesTowardZero<W>) {
            // 256 A <= 65280 is an unsigned 16-bit lane.
            const I z = W::zero(), a256 = W::template slli16<8>(A);
            lo = W::cvt32F(W::unpacklo16(A, z));
            hi = W::cvt32F(W::unpackhi16(A, z));
            lo256 = W::cvt32F(W::unpacklo16(a256, z));
            hi256 = W::cvt32F(W::unpackhi16(a256, z));
        } else {
            const Reciprocal8 inv(A);
            lo = lo256 = inv.lo;
            hi = hi256 = inv.hi;
        }
    }
    // floor(y / A), y < 2^19.
    I operator()(I ylo, I yhi) const {
        if constexpr (kDividesTowardZero<W>)
            return W::packs32(W::cvttF32(W::divTowardZeroF(W::cvt32F(ylo), lo)),
                              W::cvttF32(W::divTowardZeroF(W::cvt32F(yhi), hi)));
        else
            return Reciprocal8::quotient(ylo, yhi, lo, hi);
    }
    // floor(x / (256 A)) = floor(floor(x / 256) / A), x < 2^24: 256 A is as
    // exact a float as A.
    I shifted(I xlo, I xhi) const {
        if constexpr (kDividesTowardZero<W>)
            return W::packs32(W::cvttF32(W::divTowardZeroF(W::cvt32F(xlo), lo256)),
                              W::cvttF32(W::divTowardZeroF(W::cvt32F(xhi), hi256)));
        else
            return (*this)(W::template srli32<8>(xlo), W::template srli32<8>(xhi));
    }
};
using Quotient8 = Quotient8T<>;

// u * w of 16-bit unsigned lanes as two halves of 32-bit lanes.
struct Product {
    I lo, hi;
    Product(I u, I w) {
        const I l = V::mullo16(u, w), h = V::mulhiu16(u, w);
        lo = V::unpacklo16(l, h);
        hi = V::unpackhi16(l, h);
    }
};

template <int S>
inline I mulShift8(I b, I t) {  // (b * t) >> S, b * t < 2^16
    return V::template srli16<S>(V::mullo16(b, t));
}
inline I screen8(I b, I t) { return V::sub16(V::add16(t, b), mulShift8<8>(t, b)); }
// Overlay and hard light, by the operand c they test (b or t): c >= 128 gives
// 2 (t + b - (t b >> 8)) - 255, else t b >> 7. Both halves come from one
// product: with s = t b >> 7, 2 (t b >> 8) is s with its low bit cleared.
inline I overlay8(I b, I t, I c) {
    const I s = mulShift8<7>(t, b), sum = V::add16(t, b);
    const I high = V::sub16(V::sub16(V::add16(sum, sum), V::set16(255)), V::andnot(V::set16(1), s));
    return selectGreater16(c, V::set16(127), high, s);
}

// floor(y / d) of 16-bit lanes, y < 2^16 and 1 <= d <= 255, through single
// precision: the rounded quotient is within 2^-9 of y / d and the next integer
// at least 1 / d away from it, so it truncates to the floor. Lanes as they
// came in; lanes of d = 0 come out as -32768 (the integer indefinite packed).
VEMARO_INLINE I divide8(I y, I d) {
    const I z = V::zero();
    const F lo = V::divF(V::cvt32F(V::unpacklo16(y, z)), V::cvt32F(V::unpacklo16(d, z)));
    const F hi = V::divF(V::cvt32F(V::unpackhi16(y, z)), V::cvt32F(V::unpackhi16(d, z)));
    return V::packs32(V::cvttF32(lo), V::cvttF32(hi));
}
inline I times255(I v) { return V::mullo16(v, V::set16(255)); }

// floor(255 c / d) of 16-bit lanes 0 <= c < d <= 255 (divide8's exact range),
// as dodge and burn take it. Lanes with c >= d come out at least 255 as
// unsigned lanes (the rounded quotient does not fall below 255 = 255 d / d),
// and so do those with d = 0 (an infinite or NaN quotient converts to the
// integer indefinite). Where the set permutes words across two vectors, the
// even and the odd lanes go to 32 bits without unpacking: 255 c as a pair
// product, d by a mask and a shift; the low words of their quotients, all
// below 2^16 or converted as 0xFFFFFFFF, interleave back.
template <class W = V>
VEMARO_INLINE I quotient255(I c, I d) {
    if constexpr (kPermutes16<W>) {
        struct Index {
            int16_t w[kGroup8];
        };
        static constexpr Index kLowWords = [] {
            Index x{};
            for (int k = 0; k < kGroup8; ++k) x.w[k] = static_cast<int16_t>(k % 2 == 0 ? k : kGroup8 + k - 1);
            return x;
        }();
        auto quotient = [&](I n, I e) { return W::cvttuF32(W::divF(W::cvt32F(n), W::cvt32F(e))); };
        const I even = quotient(W::madd16(c, W::set32(255)), W::and_(d, W::set32(0xFFFF)));
        const I odd = quotient(W::madd16(c, W::set32(255 << 16)), W::template srli32<16>(d));
        return W::permute2x16(even, W::load(kLowWords.w), odd);
    } else {
        return divide8(times255(c), d);
    }
}

// min(v, 255) of unsigned 16-bit lanes: in one step where the set has the
// unsigned minimum (kMinU16), else 255 - (255 - v saturated at 0).
VEMARO_SET_TRAIT(kMinU16, kMinU16)
template <class W = V>
inline I minUnsigned255(I v) {
    const I full = W::set16(255);
    if constexpr (kMinU16<W>)
        return W::minu16(v, full);
    else
        return W::sub16(full, W::subsu16(full, v));
}

// The separable channel function B(b, t) of a mode, where it has one here;
// the other modes go pixel by pixel.
template <BlendMode M>
constexpr bool kChannel = M == BlendMode::Add || M == BlendMode::Multiply || M == BlendMode::Screen ||
                          M == BlendMode::Overlay || M == BlendMode::Hardlight || M == BlendMode::Darken ||
                          M == BlendMode::Lighten || M == BlendMode::Difference || M == BlendMode::Exclusion ||
                          M == BlendMode::Dodge || M == BlendMode::Burn;
template <BlendMode M>
VEMARO_INLINE I channel8(I b, I t) {
    const I full = V::set16(255);
    // Where b >= 255 - t (dodge) or 255 - b >= t (burn) the quotient is at
    // least 255 as an unsigned lane: the unsigned minimum with 255 gives 255,
    // the saturating subtraction from 255 gives 0.
    if constexpr (M == BlendMode::Dodge) {  // b < 255 - t: 255 b / (255 - t), else 255
        return minUnsigned255(quotient255(b, V::sub16(full, t)));
    }
    if constexpr (M == BlendMode::Burn) {  // 255 - b < t: 255 - 255 (255 - b) / t, else 0
        return V::subsu16(full, quotient255(V::sub16(full, b), t));
    }
    if constexpr (M == BlendMode::Add) return V::add16(t, b);
    if constexpr (M == BlendMode::Multiply) return mulShift8<8>(t, b);
    if constexpr (M == BlendMode::Screen) return screen8(b, t);
    if constexpr (M == BlendMode::Overlay) return overlay8(b, t, b);
    if constexpr (M == BlendMode::Hardlight) return overlay8(b, t, t);
    if constexpr (M == BlendMode::Darken) return V::min16(b, t);
    if constexpr (M == BlendMode::Lighten) return V::max16(b, t);
    if constexpr (M == BlendMode::Difference) return V::sub16(V::max16(b, t), V::min16(b, t));
    if constexpr (M == BlendMode::Exclusion) return V::sub16(V::add16(t, b), mulShift8<7>(t, b));
    return b;
}

template <BlendMode M>
constexpr bool kVector8 =
    M == BlendMode::Normal || M == BlendMode::AlphaAdd || M == BlendMode::Softlight || kChannel<M>;

// Soft light of a group in float lanes, half a group at a time. The channels
// convert as c / 255.0f (which rounds as the scalar c / 255.0 taken to float
// does, for every c), and the channel function comes from the table of all
// its 8-bit operands.
//
// Over an opaque top (kOpaqueTop) the weights collapse without rounding:
// at = 1 gives W2 = ab, Wt = 1 - ab, Wb = ab - ab = 0 and A = 1 + 0 = 1, so a
// channel is t Wt + P ab (adding b * 0 = +0 to a sum of non-negative products
// and dividing by 1 change no bit) and the alpha full. The bottom's channels
// and the division drop out.
//
// The channels' composites are sums of products of non-negative numbers over
// A, at most 1 by a few units in the last place, and A = at + Wb is at most
// 1 too: v = f 255 + 0.5 lies in [0.5, 256) and truncates as fromFloatF would
// clamp it (lanes of A = 0 give NaN or 0 and are replaced below). The table
// indices b << 8 | t are made in the 16-bit lanes, both halves at once.
template <bool kOpaqueTop>
VEMARO_INLINE Planes8 kernelSoft8(const Planes8& B, const Planes8& T) {
    const I z = V::zero();
    const float* table = rowdetail::softlightTable8();
    auto index = [&](I b, I t) { return V::or_(V::mullo16(b, V::set16(256)), t); };
    const I indices[3] = {index(B.r, T.r), index(B.g, T.g), index(B.b, T.b)};
    auto half = [&](auto part) {
        auto toF = [&](I v) { return V::divF(V::cvt32F(part(v)), V::set1F(255.0f)); };
        auto power = [&](int k) { return V::gatherF(table, part(indices[k])); };
        auto round = [&](F f) { return V::cvttF32(V::addF(V::mulF(f, V::set1F(255.0f)), V::set1F(0.5f))); };
        const F tc[3] = {toF(T.r), toF(T.g), toF(T.b)};
        I c[3];
        if constexpr (kOpaqueTop) {
            const F ab = toF(B.a), Wt = V::subF(V::set1F(1.0f), ab);
            for (int k = 0; k < 3; ++k) c[k] = round(V::addF(V::mulF(tc[k], Wt), V::mulF(power(k), ab)));
            return SoftInt{V::set32(255), c[0], c[1], c[2]};
        } else {
            const F bc[3] = {toF(B.r), toF(B.g), toF(B.b)};
            const WeightsF w(toF(B.a), toF(T.a));
            for (int k = 0; k < 3; ++k) c[k] = round(w.mix(bc[k], tc[k], power(k)));
            return SoftInt{round(w.A), c[0], c[1], c[2]};
        }
    };
    const SoftInt lo = half([z](I v) { return V::unpacklo16(v, z); });
    const SoftInt hi = half([z](I v) { return V::unpackhi16(v, z); });
    const I bottomClear = V::cmpeq16(B.a, z);
    const I special = kOpaqueTop ? bottomClear : V::or_(V::cmpeq16(T.a, z), bottomClear);
    auto pick = [&](I t, I b, I rlo, I rhi) { return select(special, select(bottomClear, t, b), V::packs32(rlo, rhi)); };
    return {pick(T.a, B.a, lo.a, hi.a), pick(T.r, B.r, lo.r, hi.r), pick(T.g, B.g, lo.g, hi.g),
            pick(T.b, B.b, lo.b, hi.b)};
}

// Soft light of opaque pixels over opaque pixels: W2 = 1, Wt = Wb = 0 and
// A = 1 make each channel the rounded channel function itself, which the
// byte table holds for every pair; the alpha stays full.
inline void softOpaque8(const PF_Pixel* bottom, PF_Pixel* top, int n) {
    const A_u_char* table = rowdetail::softlightBytes8();
    for (int j = 0; j < n; ++j) {
        const PF_Pixel& b = bottom[j];
        PF_Pixel& t = top[j];
        t.red = table[b.red << 8 | t.red];
        t.green = table[b.green << 8 | t.green];
        t.blue = table[b.blue << 8 | t.blue];
    }
}

// k + the pair products of a and b in one step where the set has it.
VEMARO_SET_TRAIT(kDotAdds16, kDotAdds16)
template <class W = V>
inline I dotAdd16(I k, I a, I b) {
    return W::dotAdd16(k, a, b);
}

// The composites of a group. Lanes with a transparent operand, which the
// arithmetic does not cover, take the operand as the per-pixel functions do.
template <BlendMode M>
VEMARO_INLINE Planes8 kernel8(const Planes8& B, const Planes8& T) {
    const I z = V::zero(), full = V::set16(255);
    const I ab = B.a, at = T.a;
    I clear;  // 0 in the lanes with a transparent operand that matters
    Planes8 R;
    if constexpr (M == BlendMode::Normal || M == BlendMode::AlphaAdd) {
        // Normal: wb = ((255 - at) * ab) >> 8, A = at + wb; an opaque top and a
        // transparent bottom come out as the top by themselves. Alpha add:
        // wb = ab, A = at + ab; one transparent operand gives the other.
        I wb;
        if constexpr (M == BlendMode::Normal) {
            wb = V::template srli16<8>(V::mullo16(V::sub16(full, at), ab));
            clear = at;
        } else {
            wb = ab;
            clear = V::or_(at, ab);
        }
        const I A = V::add16(at, wb);
        const Reciprocal8 inv(A);
        const I wlo = V::unpacklo16(at, wb), whi = V::unpackhi16(at, wb);
        auto mix = [&](I t, I b) {
            const I lo = V::madd16(V::unpacklo16(t, b), wlo), hi = V::madd16(V::unpackhi16(t, b), whi);
            return V::min16(inv.quotient(lo, hi), full);
        };
        R = {V::min16(A, full), mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
    } else if constexpr (M == BlendMode::Add) {
        // B = t + b collapses the weights: with Wt + W2 = 255 at and
        // Wb + W2 = 255 ab, x = 255 m, m = t at + b ab (one pair product),
        // and the quotient by 256 A is that of y = 255 m >> 8 < 2^17 by A.
        clear = V::min16(at, ab);
        const I A = V::add16(ab, V::template srli16<8>(V::mullo16(V::sub16(full, ab), at)));
        const Quotient8 q(A);
        const I wlo = V::unpacklo16(at, ab), whi = V::unpackhi16(at, ab);
        auto y = [&](I m) { return V::template srli32<8>(V::sub32(V::template slli32<8>(m), m)); };
        auto mix = [&](I t, I b) {
            return q(y(V::madd16(V::unpacklo16(t, b), wlo)), y(V::madd16(V::unpackhi16(t, b), whi)));
        };
        R = {A, mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
    } else {
        // Weights for top only, bottom only and both: x = t Wt + b Wb + B W2
        // = at u + ab v with u = (255 - ab) t + ab B and v = (255 - at) b,
        // both at most 255 * 255 (B is at most 255 here). Less 2^15 they are
        // signed 16-bit lanes, and one pair product takes x less
        // K = 2^15 (at + ab), itself the pair product of at, ab and -2^15 each;
        // x < 2^24 and A <= 255.
        clear = V::min16(at, ab);
        const I p = V::sub16(full, ab), r = V::sub16(full, at);
        const I A = V::add16(ab, V::template srli16<8>(V::mullo16(p, at)));
        const Quotient8 q(A);
        const I wlo = V::unpacklo16(at, ab), whi = V::unpackhi16(at, ab), bias = V::set16(static_cast<short>(0x8000));
        const I klo = V::madd16(wlo, bias), khi = V::madd16(whi, bias);  // -K
        // Where the set adds pair products to a sum at once (kDotAdds16), K
        // is the sum they add to.
        const I kl = kDotAdds16<V> ? V::sub32(z, klo) : klo, kh = kDotAdds16<V> ? V::sub32(z, khi) : khi;
        auto sum = [&](I uv, I w, I k) {
            if constexpr (kDotAdds16<V>)
                return dotAdd16(k, uv, w);
            else
                return V::sub32(V::madd16(uv, w), k);
        };
        auto mix = [&](I t, I b) {
            const I u = V::add16(V::add16(V::mullo16(p, t), V::mullo16(ab, channel8<M>(b, t))), bias);
            const I v = V::add16(V::mullo16(r, b), bias);
            return q.shifted(sum(V::unpacklo16(u, v), wlo, kl), sum(V::unpackhi16(u, v), whi, kh));
        };
        R = {A, mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
    }
    // Most groups have no transparent operand.
    if (!anyZero16(clear)) return R;
    const I special = V::cmpeq16(clear, z), bottomClear = V::cmpeq16(ab, z);
    auto pick = [&](I t, I b, I r) { return select(special, select(bottomClear, t, b), r); };
    return {pick(T.a, B.a, R.a), pick(T.r, B.r, R.r), pick(T.g, B.g, R.g), pick(T.b, B.b, R.b)};
}

// Groups whose top or bottom is all opaque, the runs of a drawing and most of
// an input layer, have the weights of the separable modes collapse. With
// B(b, t) at most 257 (every mode of kChannel but add) the sums fit 16-bit
// lanes and the quotients by 256 A come from multiplications by constants.
template <BlendMode M>
constexpr bool kOpaque8 = kChannel<M> && M != BlendMode::Add;

// at = 255: Wb = 0, A = ab + ((255 - ab) 255 >> 8) = 254 (255 where ab = 255),
// and the sum is 255 P with P = (255 - ab) t + ab B <= 255 * 257. Then
// floor(255 P / (256 * 254)) = floor(floor(floor(255 P / 256) / 2) / 127), the
// first step (P * 65280) >> 16 and the last (y * 33027) >> 22, exact for
// y < 2^15; and floor(255 P / (256 * 255)) = P >> 8. The quotient reaches 257,
// which the store takes as 255. A transparent bottom gives the top without a
// case of its own: P = 255 t and floor(255 * 255 t / (256 * 254)) = t for
// t <= 255; only its alpha is 255 rather than 254, as where ab = 255:
// 255 - min(ab, 255 - ab, 1).
template <BlendMode M>
VEMARO_INLINE Planes8 kernelOpaqueTop8(const Planes8& B, const Planes8& T) {
    const I full = V::set16(255), ab = B.a, k = V::sub16(full, ab);
    auto mix = [&](I t, I b) {
        const I P = V::add16(V::mullo16(k, t), V::mullo16(ab, channel8<M>(b, t)));
        const I y = V::template srli16<1>(V::mulhiu16(P, V::set16(static_cast<short>(65280))));
        const I q = V::template srli16<6>(V::mulhiu16(y, V::set16(static_cast<short>(33027))));
        return srliWhereEqual16<8>(ab, full, P, q);
    };
    return {V::sub16(full, V::min16(V::min16(ab, k), V::set16(1))), mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
}

// Add over an opaque top: as above, but B(b, t) = t + b reaches 510 and
// P = 255 t + ab b needs 17 bits. In 32-bit halves y = 255 P >> 8 < 2^17, and
// its quotient by A (254, 255 where ab = 255) comes from the biased
// reciprocals of the two constants.
VEMARO_INLINE Planes8 kernelOpaqueTopAdd8(const Planes8& B, const Planes8& T) {
    const I full = V::set16(255), ab = B.a, z = V::zero();
    const I bottomClear = V::cmpeq16(ab, z), bottomFull = V::cmpeq16(ab, full);
    const F r254 = V::set1F(rowdetail::biasedReciprocal(254.0f)), r255 = V::set1F(rowdetail::biasedReciprocal(255.0f));
    const F rlo = selectF(V::asF(V::unpacklo16(bottomFull, bottomFull)), r255, r254);
    const F rhi = selectF(V::asF(V::unpackhi16(bottomFull, bottomFull)), r255, r254);
    auto quotient = [&](I P, F r) {
        const I y = V::template srli32<8>(V::sub32(V::template slli32<8>(P), P));
        return V::cvttF32(V::mulF(V::cvt32F(y), r));
    };
    auto mix = [&](I t, I b) {
        const I u = V::mullo16(t, full), w = V::mullo16(ab, b);
        const I q = V::packs32(quotient(V::add32(V::unpacklo16(u, z), V::unpacklo16(w, z)), rlo),
                               quotient(V::add32(V::unpackhi16(u, z), V::unpackhi16(w, z)), rhi));
        return select(bottomClear, t, V::min16(q, full));
    };
    return {V::sub16(full, V::andnot(V::or_(bottomClear, bottomFull), V::set16(1))), mix(T.r, B.r), mix(T.g, B.g),
            mix(T.b, B.b)};
}

// ab = 255: Wt = 0, A = 255 and the sum is 255 Q with Q = (255 - at) b + at B,
// so each channel is Q >> 8 and the alpha 255. A transparent top gives the
// bottom.
template <BlendMode M>
VEMARO_INLINE Planes8 kernelOpaqueBottom8(const Planes8& B, const Planes8& T) {
    const I full = V::set16(255), at = T.a, k = V::sub16(full, at);
    const I topClear = V::cmpeq16(at, V::zero());
    auto mix = [&](I t, I b) {
        const I Q = V::add16(V::mullo16(k, b), V::mullo16(at, channel8<M>(b, t)));
        return select(topClear, b, V::template srli16<8>(Q));
    };
    return {full, mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
}

// Whole groups of a row; returns how many pixels were done. The bottom is a
// row, or one pixel repeated (kUniform).
template <BlendMode M, bool kUniform>
inline A_long rows8(const PF_Pixel* bottom, PF_Pixel* top, A_long n) {
    constexpr int N = kGroup8, H = N / 2;
    PF_Pixel same[N];
    if constexpr (kUniform) {
        for (PF_Pixel& p : same) p = *bottom;
        bottom = same;
    }
    const I alpha = V::set32(0xFF), z = V::zero();
    A_long i = 0;
    for (; i + N <= n; i += N) {
        const PF_Pixel* src = kUniform ? bottom : bottom + i;
        PF_Pixel* dst = top + i;
        if constexpr (!kUniform) fetchAhead<sizeof(PF_Pixel) * N>(src);
        const I t0 = V::load(dst), t1 = V::load(dst + H);
        // All alphas 0: their bits together are 0; all 255: each is 255 in all.
        if (V::allEqual32(V::and_(V::or_(t0, t1), alpha), z)) {
            const I b0 = V::load(src), b1 = V::load(src + H);
            V::store(dst, select(V::cmpeq32(V::and_(b0, alpha), z), t0, b0));
            V::store(dst + H, select(V::cmpeq32(V::and_(b1, alpha), z), t1, b1));
            continue;
        }
        const bool topFull = V::allEqual32(V::and_(V::and_(t0, t1), alpha), alpha);
        if constexpr (M == BlendMode::Normal) {
            if (topFull) continue;
        }
        const I b0 = V::load(src), b1 = V::load(src + H);
        if constexpr (M == BlendMode::Add) {
            if (topFull) {
                store8(dst, kernelOpaqueTopAdd8(unpack8(b0, b1), unpack8(t0, t1)));
                continue;
            }
        }
        if constexpr (kOpaque8<M>) {
            if (topFull) {
                store8(dst, kernelOpaqueTop8<M>(unpack8(b0, b1), unpack8(t0, t1)));
                continue;
            }
            if (V::allEqual32(V::and_(V::and_(b0, b1), alpha), alpha)) {
                store8(dst, kernelOpaqueBottom8<M>(unpack8(b0, b1), unpack8(t0, t1)));
                continue;
            }
        }
        if constexpr (M == BlendMode::Softlight) {
            if (!topFull)
                store8(dst, kernelSoft8<false>(unpack8(b0, b1), unpack8(t0, t1)));
            else if (V::allEqual32(V::and_(V::and_(b0, b1), alpha), alpha))
                softOpaque8(src, dst, N);
            else
                store8(dst, kernelSoft8<true>(unpack8(b0, b1), unpack8(t0, t1)));
        } else
            store8(dst, kernel8<M>(unpack8(b0, b1), unpack8(t0, t1)));
    }
    return i;
}

// ------------------------------------------------------------ float
// kLanesF pixels as planes; the wider sets again permute them within halves.
struct PlanesF {
    F a, r, g, b;
};
constexpr int kGroupF = V::kLanesF;

inline void transpose(PlanesF& q) {
    const F t0 = V::unpackloF(q.a, q.r), t1 = V::unpackhiF(q.a, q.r);
    const F t2 = V::unpackloF(q.g, q.b), t3 = V::unpackhiF(q.g, q.b);
    q = {V::halvesLoF(t0, t2), V::halvesHiF(t0, t2), V::halvesLoF(t1, t3), V::halvesHiF(t1, t3)};
}
inline PlanesF loadF(const PF_PixelFloat* p) {
    constexpr int Q = kGroupF / 4;
    PlanesF q{V::loadF(&p[0].alpha), V::loadF(&p[Q].alpha), V::loadF(&p[2 * Q].alpha), V::loadF(&p[3 * Q].alpha)};
    transpose(q);
    return q;
}
inline void storeF(PF_PixelFloat* p, PlanesF q) {
    constexpr int Q = kGroupF / 4;
    transpose(q);
    V::storeF(&p[0].alpha, q.a);
    V::storeF(&p[Q].alpha, q.r);
    V::storeF(&p[2 * Q].alpha, q.g);
    V::storeF(&p[3 * Q].alpha, q.b);
}

// 2 b t and 1 - 2 (1 - b)(1 - t), in the order of the scalar functions.
inline F lowF(F b, F t) { return V::mulF(V::mulF(V::set1F(2.0f), b), t); }
inline F highF(F b, F t) {
    const F one = V::set1F(1.0f);
    return V::subF(one, V::mulF(V::mulF(V::set1F(2.0f), V::subF(one, b)), V::subF(one, t)));
}
template <BlendMode M>
VEMARO_INLINE F channelF(F b, F t) {
    const F one = V::set1F(1.0f), half = V::set1F(0.5f);
    if constexpr (M == BlendMode::Dodge) {  // b = 0: 0; b >= 1 - t: 1; else b / (1 - t)
        const F d = V::subF(one, t);
        return V::andnotF(V::cmpeqF(b, V::zeroF()), selectF(cmpgeF(b, d), one, V::divF(b, d)));
    }
    if constexpr (M == BlendMode::Burn) {  // b >= 1: 1; 1 - b >= t: 0; else 1 - (1 - b) / t
        const F c = V::subF(one, b);
        return selectF(cmpgeF(b, one), one, V::andnotF(cmpgeF(c, t), V::subF(one, V::divF(c, t))));
    }
    if constexpr (M == BlendMode::Add) return V::addF(t, b);
    if constexpr (M == BlendMode::Multiply) return V::mulF(t, b);
    if constexpr (M == BlendMode::Screen) return V::subF(one, V::mulF(V::subF(one, b), V::subF(one, t)));
    if constexpr (M == BlendMode::Overlay) return selectF(V::cmpltF(b, half), lowF(b, t), highF(b, t));
    if constexpr (M == BlendMode::Hardlight) return selectF(V::cmpltF(t, half), lowF(b, t), highF(b, t));
    if constexpr (M == BlendMode::Darken) return V::minF(b, t);
    if constexpr (M == BlendMode::Lighten) return V::maxF(b, t);
    if constexpr (M == BlendMode::Difference) return V::andnotF(V::set1F(-0.0f), V::subF(b, t));
    if constexpr (M == BlendMode::Exclusion) return V::subF(V::addF(b, t), lowF(b, t));
    if constexpr (M == BlendMode::Softlight) return softlightF(b, t);
    return b;
}

template <BlendMode M>
constexpr bool kVectorF =
    M == BlendMode::Normal || M == BlendMode::AlphaAdd || M == BlendMode::Softlight || kChannel<M>;

inline F clamp01F(F v) {
    const F one = V::set1F(1.0f);
    return selectF(V::cmpltF(v, V::zeroF()), V::zeroF(), selectF(V::cmpltF(one, v), one, v));
}

// Composites with the operations of the scalar functions, in their order; a
// transparent bottom gives the top, else a transparent top the bottom, and
// normal keeps an opaque top.
template <BlendMode M>
VEMARO_INLINE PlanesF kernelF(const PlanesF& B, const PlanesF& T) {
    const F z = V::zeroF(), one = V::set1F(1.0f);
    const F ab = B.a, at = T.a;
    F keepTop = V::cmpeqF(ab, z);
    const F keepBottom = V::andnotF(keepTop, V::cmpeqF(at, z));
    PlanesF R;
    if constexpr (M == BlendMode::Normal) {
        keepTop = V::orF(keepTop, V::andnotF(keepBottom, V::cmpeqF(at, one)));
        const F wb = V::mulF(ab, V::subF(one, at));
        const F A = V::addF(at, wb);
        auto mix = [&](F b, F t) { return V::divF(V::addF(V::mulF(t, at), V::mulF(b, wb)), A); };
        R = {A, mix(B.r, T.r), mix(B.g, T.g), mix(B.b, T.b)};
    } else if constexpr (M == BlendMode::AlphaAdd) {
        // The only float mode that clamps.
        const F A = V::addF(ab, at);
        auto mix = [&](F b, F t) { return clamp01F(V::divF(V::addF(V::mulF(b, ab), V::mulF(t, at)), A)); };
        R = {clamp01F(A), mix(B.r, T.r), mix(B.g, T.g), mix(B.b, T.b)};
    } else if constexpr (M == BlendMode::Softlight) {
        // The three channels' powers side by side (see softlightF).
        const WeightsF w(ab, at);
        const F b[3] = {B.r, B.g, B.b}, e[3] = {softExponentF(T.r), softExponentF(T.g), softExponentF(T.b)};
        F p[3];
        V::powF(b, e, p);
        // A = 1, as opaque tops over finite bottoms give, makes the division
        // by it change no bit: the sums are made by arithmetic, so none is a
        // signalling NaN.
        if (V::allOnesF(V::cmpeqF(w.A, one)))
            R = {w.A, w.sum(B.r, T.r, p[0]), w.sum(B.g, T.g, p[1]), w.sum(B.b, T.b, p[2])};
        else
            R = {w.A, w.mix(B.r, T.r, p[0]), w.mix(B.g, T.g, p[1]), w.mix(B.b, T.b, p[2])};
    } else {
        const WeightsF w(ab, at);
        auto mix = [&](F b, F t) { return w.mix(b, t, channelF<M>(b, t)); };
        R = {w.A, mix(B.r, T.r), mix(B.g, T.g), mix(B.b, T.b)};
    }
    // Made NaNs as the one quiet NaN, as the per-pixel functions give them.
    const F nan = V::set1F(std::numeric_limits<float>::quiet_NaN());
    auto pick = [&](F b, F t, F r) {
        return selectF(keepTop, t, selectF(keepBottom, b, selectF(V::cmpeqF(r, r), r, nan)));
    };
    return {pick(B.a, T.a, R.a), pick(B.r, T.r, R.r), pick(B.g, T.g, R.g), pick(B.b, T.b, R.b)};
}

// All ones in the alpha lanes of pixels as loaded (every fourth float).
inline F alphaLanesF() {
    struct Mask {
        uint32_t m[kGroupF / 4][4];
    };
    static constexpr Mask kMask = [] {
        Mask x{};
        for (auto& p : x.m) p[0] = ~0u;
        return x;
    }();
    return V::loadF(reinterpret_cast<const float*>(kMask.m));
}

template <BlendMode M, bool kUniform>
inline A_long rowsF(const PF_PixelFloat* bottom, PF_PixelFloat* top, A_long n) {
    constexpr int N = kGroupF;
    PF_PixelFloat same[N];
    if constexpr (kUniform) {
        for (PF_PixelFloat& p : same) p = *bottom;
        bottom = same;
    }
    const F z = V::zeroF(), one = V::set1F(1.0f);
    A_long i = 0;
    for (; i + N <= n; i += N) {
        PF_PixelFloat* dst = top + i;
        if constexpr (!kUniform) fetchAhead<sizeof(PF_PixelFloat) * N>(bottom + i);
        const PlanesF T = loadF(dst);
        if constexpr (M == BlendMode::Normal) {
            if (V::allOnesF(V::cmpeqF(T.a, one))) continue;
        }
        const bool topClear = V::allOnesF(V::cmpeqF(T.a, z));
        if (topClear) {
            // Where none of the bottom's alphas is 0 the result is the bottom
            // as it is: copied without taking it to planes and back.
            const PF_PixelFloat* src = kUniform ? bottom : bottom + i;
            constexpr int Q = kGroupF / 4;
            const F alphas = alphaLanesF();
            F b[4], clear = z;
            for (int k = 0; k < 4; ++k) {
                b[k] = V::loadF(&src[k * Q].alpha);
                clear = V::orF(clear, V::andF(V::cmpeqF(b[k], z), alphas));
            }
            if (V::allOnesF(V::cmpeqF(clear, z))) {
                for (int k = 0; k < 4; ++k) V::storeF(&dst[k * Q].alpha, b[k]);
                continue;
            }
        }
        const PlanesF B = loadF(kUniform ? bottom : bottom + i);
        if (topClear) {
            const F keepTop = V::cmpeqF(B.a, z);
            storeF(dst, {selectF(keepTop, T.a, B.a), selectF(keepTop, T.r, B.r), selectF(keepTop, T.g, B.g),
                         selectF(keepTop, T.b, B.b)});
            continue;
        }
        storeF(dst, kernelF<M>(B, T));
    }
    return i;
}

// ------------------------------------------------------------ 16 bits
// kLanes16 / 2 pixels a group, as planes of 32-bit lanes (one pixel a lane;
// the wider sets again permute the pixels within their 128-bit halves, and
// interleave16 undoes it). Every quantity is an integer and every step exact,
// so the lanes give the per-pixel results whatever the order.
struct Planes16 {
    I a, r, g, b;
};
constexpr int kGroup16 = V::kLanes16 / 2;

inline Planes16 unpack16(I v0, I v1) {
    const I u0 = V::unpacklo16(v0, v1), u1 = V::unpackhi16(v0, v1);
    const I ar = V::unpacklo16(u0, u1), gb = V::unpackhi16(u0, u1);
    const I z = V::zero();
    return {V::unpacklo16(ar, z), V::unpackhi16(ar, z), V::unpacklo16(gb, z), V::unpackhi16(gb, z)};
}
// Back to two vectors of pixels; lanes must hold 0..65535.
inline void interleave16(const Planes16& q, I& v0, I& v1) {
    const I ar = V::packus32(q.a, q.r), gb = V::packus32(q.g, q.b);
    const I u0 = V::unpacklo16(ar, gb), u1 = V::unpackhi16(ar, gb);
    v0 = V::unpacklo16(u0, u1);
    v1 = V::unpackhi16(u0, u1);
}
// Channels above full are taken as full: min(v, 0x8000) of unsigned lanes,
// in one operation where the set has it (kMinU16).
template <class W = V>
inline I clampFull16(I v) {
    const I full = W::set16(static_cast<short>(0x8000));
    if constexpr (kMinU16<W>)
        return W::minu16(v, full);
    else
        return W::sub16(v, W::subsu16(v, full));
}

// q + kStep where a > b (32-bit lanes, kStep 1 or -1): by a masked addition
// where the set has one (kMaskedSteps), else by the comparison's -1.
VEMARO_SET_TRAIT(kHasMaskedSteps, kMaskedSteps)
template <int kStep, class W = V>
VEMARO_INLINE I stepWhereGreater(I q, I a, I b) {
    static_assert(kStep == 1 || kStep == -1);
    if constexpr (kHasMaskedSteps<W>)
        return kStep == 1 ? W::incWhereGreater32(q, a, b) : W::decWhereGreater32(q, a, b);
    else
        return kStep == 1 ? W::sub32(q, W::cmpgt32(a, b)) : W::add32(q, W::cmpgt32(a, b));
}

// floor(x / A) for 32-bit lanes with |x| <= 2^30, 1 <= A and |x / A| <= 2^15.
// The float estimate is within 3.1 * 2^-24 of x / A relatively (three
// roundings), so within 2^-7 absolutely; truncated toward zero it is the
// floor, one above or below it, or for negative quotients two above. The
// remainder r = x - q A tells which: r >= A one more, r < 0 one less, r < -A
// one less again. Lanes with A = 0 are taken with A = 1 (their pixels are
// replaced anyway).
struct Quotient16 {
    I A, negA;
    F inv;
    explicit Quotient16(I a)
        : A(V::max32(a, V::set32(1))), negA(V::sub32(V::zero(), A)), inv(V::divF(V::set1F(1.0f), V::cvt32F(A))) {}
    VEMARO_INLINE I operator()(I x) const {
        const I q = V::cvttF32(V::mulF(V::cvt32F(x), inv));
        const I r = V::sub32(x, V::mullo32(q, A));
        const I up = stepWhereGreater<1>(q, r, V::sub32(A, V::set32(1)));
        return stepWhereGreater<-1>(stepWhereGreater<-1>(up, V::zero(), r), negA, r);
    }
};

// floor(y / A) for unsigned 32-bit lanes y and 1 <= A <= 2^16 with a quotient
// below 2^31, where the set converts such lanes to double and back
// (kQuotientsD): y times R = (1 + 2^-50) / A, both rounded to double. The two
// roundings take off at most 2^-52 relatively, less than the bias adds, so
// the product is at least y / A and, being monotone, at least its floor; it
// exceeds y / A by less than y 2^-49.9 / A < 1 / A, and y / A lies at least
// 1 / A below the next integer: it truncates to the floor. Lanes with A = 0
// are taken with A = 1 (their pixels are replaced anyway).
VEMARO_SET_TRAIT(kQuotientsD, kQuotientsD)
template <class W = V>
struct QuotientD16 {
    using L = typename W::DL;
    typename L::D lo, hi;
    explicit QuotientD16(I a) {
        const I A = W::max32(a, W::set32(1));
        const auto c = L::set1(1.0 + 0x1p-50);
        lo = L::div(c, W::lowU32D(A));
        hi = L::div(c, W::highU32D(A));
    }
    VEMARO_INLINE I operator()(I y) const {
        return W::truncD32(L::mul(W::lowU32D(y), lo), L::mul(W::highU32D(y), hi));
    }
};

// floor(y / A) for 32-bit lanes 0 <= y <= 2^30 and 1 <= A <= 2^15, from a
// float estimate with the reciprocal biased up by 2^-21: the three roundings
// take off at most 3 * 2^-24 relatively, so the estimate is at least y / A,
// and it exceeds y / A by less than 2^15 * 2^-20.4: it truncates to the floor
// or one more, which a negative remainder y - q A (within +-2^31) tells. Lanes
// with A = 0 are taken with A = 1 (their pixels are replaced anyway).
struct QuotientUp16 {
    I A;
    F inv;
    explicit QuotientUp16(I a)
        : A(V::max32(a, V::set32(1))), inv(V::divF(V::set1F(1.0f + 0x1p-21f), V::cvt32F(A))) {}
    VEMARO_INLINE I operator()(I y) const {
        const I q = V::cvttF32(V::mulF(V::cvt32F(y), inv));
        return stepWhereGreater<-1>(q, V::zero(), V::sub32(y, V::mullo32(q, A)));
    }
};

// floor(x / d) for 32-bit lanes 0 <= x <= 2^30 and 1 <= d with a quotient
// below 2^24. x and d convert exactly, so the rounded quotient lies between
// the floor and the next integer, and truncates to one of them; a negative
// remainder means the next one.
//
//
// Where the set divides rounding toward zero (kDivTowardZero and
// divTowardZeroF), the quotient never passes x / d and never falls below
// floor(x / d), which float holds exactly: it truncates to the floor without
// the remainder.
template <class W = V>
VEMARO_INLINE I divide16(I x, I d) {
    if constexpr (kDividesTowardZero<W>) {
        return W::cvttF32(W::divTowardZeroF(W::cvt32F(x), W::cvt32F(d)));
    } else {
        const I q = W::cvttF32(W::divF(W::cvt32F(x), W::cvt32F(d)));
        return W::add32(q, W::cmpgt32(W::mullo32(q, d), x));
    }
}

// (u * w) >> S of 32-bit lanes whose product stays below 2^31.
template <int S>
inline I mulShift16(I u, I w) {
    return V::template srli32<S>(V::mullo32(u, w));
}
inline I screen16(I b, I t) { return V::sub32(V::add32(t, b), mulShift16<15>(t, b)); }
inline I twiceScreenLessFull16(I b, I t) {
    const I s = screen16(b, t);
    return V::sub32(V::add32(s, s), V::set32(32768));
}
// The channel function B(b, t) of the separable modes of kChannel; b and t at
// most full, the result at most 2^16 (add) and never negative.
template <BlendMode M>
VEMARO_INLINE I channel16(I b, I t) {
    const I full = V::set32(32768);
    if constexpr (M == BlendMode::Dodge) {  // b < full - t: full b / (full - t), else full
        const I d = V::sub32(full, t), under = V::cmpgt32(d, b);
        return select(under, divide16(V::template slli32<15>(V::and_(under, b)), V::max32(d, V::set32(1))), full);
    }
    if constexpr (M == BlendMode::Burn) {  // full - b < t: full - full (full - b) / t, else 0
        const I c = V::sub32(full, b), over = V::cmpgt32(t, c);
        return V::and_(over, V::sub32(full, divide16(V::template slli32<15>(V::and_(over, c)), V::max32(t, V::set32(1)))));
    }
    if constexpr (M == BlendMode::Add) return V::add32(t, b);
    if constexpr (M == BlendMode::Multiply) return mulShift16<15>(t, b);
    if constexpr (M == BlendMode::Screen) return screen16(b, t);
    if constexpr (M == BlendMode::Overlay)
        return select(V::cmpgt32(b, V::set32(16383)), twiceScreenLessFull16(b, t), mulShift16<14>(t, b));
    if constexpr (M == BlendMode::Hardlight)
        return select(V::cmpgt32(t, V::set32(16383)), twiceScreenLessFull16(b, t), mulShift16<14>(b, t));
    if constexpr (M == BlendMode::Darken) return V::min32(b, t);
    if constexpr (M == BlendMode::Lighten) return V::max32(b, t);
    if constexpr (M == BlendMode::Difference) return V::sub32(V::max32(b, t), V::min32(b, t));
    if constexpr (M == BlendMode::Exclusion) return V::sub32(V::add32(t, b), mulShift16<14>(t, b));
    return b;
}

template <BlendMode M>
constexpr bool kVector16 =
    M == BlendMode::Normal || M == BlendMode::AlphaAdd || M == BlendMode::Softlight || kChannel<M>;

// Soft light of 16-bit operands as kernel16 takes them, in float with the
// channels as c / 32768 (exactly); kOpaqueTop where every top alpha is full.
template <bool kOpaqueTop>
VEMARO_INLINE Planes16 kernelSoft16(const Planes16& B, const Planes16& T) {
    auto toF = [&](I v) { return V::mulF(V::cvt32F(v), V::set1F(1.0f / 32768.0f)); };
    const F bc[3] = {toF(B.r), toF(B.g), toF(B.b)}, tc[3] = {toF(T.r), toF(T.g), toF(T.b)};
    const I bi[3] = {B.r, B.g, B.b}, ti[3] = {T.r, T.g, T.b};
    const SoftInt s =
        softIntBounded<32768, kOpaqueTop>(toF(B.a), toF(T.a), bc, tc, bi, ti, rowdetail::softlightLog2Table16());
    return {s.a, s.r, s.g, s.b};
}

// The composites of operands with channels at most full and alphas not 0
// (other lanes come out as anything).
template <BlendMode M>
VEMARO_INLINE Planes16 kernel16(const Planes16& B, const Planes16& T) {
    const I full = V::set32(32768), at = T.a, ab = B.a;
    if constexpr (M == BlendMode::Softlight) {
        return kernelSoft16<false>(B, T);
    } else if constexpr (M == BlendMode::Normal || M == BlendMode::AlphaAdd) {
        // Normal: wb = ((full - at) ab) >> 15, A = at + wb <= full (an opaque
        // top gives the top by itself). Alpha add: wb = ab, A <= 2 full. The
        // sums t at + b wb are taken less half (at + wb), so that they stay
        // within 2^30 either way; their quotients then have half added back.
        // Sets with double quotients take them unsigned, up to 2^31.
        I wb;
        if constexpr (M == BlendMode::Normal)
            wb = mulShift16<15>(V::sub32(full, at), ab);
        else
            wb = ab;
        const I A = V::add32(at, wb);
        if constexpr (kQuotientsD<V>) {
            const auto q = [&] {
                if constexpr (M == BlendMode::Normal)
                    return QuotientUp16(A);
                else
                    return QuotientD16<>(A);
            }();
            auto mix = [&](I t, I b) { return q(V::add32(V::mullo32(t, at), V::mullo32(b, wb))); };
            return {V::min32(A, full), mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
        } else {
            const Quotient16 q(A);
            const I half = V::set32(16384);
            auto mix = [&](I t, I b) {
                const I x = V::add32(V::mullo32(V::sub32(t, half), at), V::mullo32(V::sub32(b, half), wb));
                return V::add32(q(x), half);
            };
            return {V::min32(A, full), mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
        }
    } else {
        // x = t Wt + b Wb + B W2 reaches 2^46; with each weight split as
        // 2^15 hi + lo, x >> 15 = H + (L >> 15) for H, L the sums with the
        // hi and lo parts, both below 2^32 as unsigned lanes. Taking x >> 15
        // at most full * A (at most 2^30) leaves min(quotient, full) alone.
        const I Wt = V::mullo32(V::sub32(full, ab), at);
        const I Wb = V::mullo32(V::sub32(full, at), ab);
        const I W2 = V::mullo32(at, ab);
        const I A = V::add32(ab, V::template srli32<15>(Wt));
        const auto q = [&] {
            if constexpr (kQuotientsD<V>)
                return QuotientUp16(A);
            else
                return Quotient16(A);
        }();
        const I low = V::set32(0x7FFF), cap = V::template slli32<15>(A);
        const I th = V::template srli32<15>(Wt), bh = V::template srli32<15>(Wb), ch = V::template srli32<15>(W2);
        const I tl = V::and_(Wt, low), bl = V::and_(Wb, low), cl = V::and_(W2, low);
        auto mix = [&](I t, I b) {
            const I c = channel16<M>(b, t);
            const I H = V::add32(V::add32(V::mullo32(t, th), V::mullo32(b, bh)), V::mullo32(c, ch));
            const I L = V::add32(V::add32(V::mullo32(t, tl), V::mullo32(b, bl)), V::mullo32(c, cl));
            return q(V::minu32(V::add32(H, V::template srli32<15>(L)), cap));
        };
        return {V::min32(A, full), mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
    }
}

// The separable modes over a group whose top alphas (kTop) or bottom alphas
// are all full. With w the alpha of the other operand and u the channel of the
// opaque one, A = full and the sum is full * P, P = (full - w) u + w B <=
// full * max(u, B) <= 2^31; each channel is min(P >> 15, full), the alpha
// full. Lanes of transparent operands come out as anything, as from kernel16.
template <BlendMode M, bool kTop>
VEMARO_INLINE Planes16 kernelOpaque16(const Planes16& B, const Planes16& T) {
    const I full = V::set32(32768), w = kTop ? B.a : T.a, k = V::sub32(full, w);
    auto mix = [&](I t, I b) {
        const I P = V::add32(V::mullo32(k, kTop ? t : b), V::mullo32(w, channel16<M>(b, t)));
        return V::min32(V::template srli32<15>(P), full);
    };
    return {full, mix(T.r, B.r), mix(T.g, B.g), mix(T.b, B.b)};
}

VEMARO_SET_TRAIT(kPixelBlends16, kPixelBlends16)
// Whether every pixel of v0 and v1 has alpha 0 (kFull false) or at least full
// (kFull true): by pixel masks where the set tests 64-bit lanes
// (kPixelBlends16), else by word comparisons of the alpha lanes (the other
// lanes, masked to 0, compare equal).
template <bool kFull, class W = V>
inline bool allAlphas16(I v0, I v1) {
    if constexpr (kPixelBlends16<W>) {
        return kFull ? W::allAlphaHigh16(v0, v1) : W::allAlphaZero16(v0, v1);
    } else {
        const I m = W::set64(kFull ? 0x8000 : 0xFFFF), want = kFull ? m : W::zero();
        return W::allOnes(W::and_(W::cmpeq16(W::and_(v0, m), want), W::cmpeq16(W::and_(v1, m), want)));
    }
}
// Where v's pixel has alpha 0 x, else y: by a pixel mask where the set blends
// 64-bit lanes by one (kPixelBlends16), else by every lane of such pixels.
template <class W = V>
inline I ifClear16(I v, I x, I y) {
    if constexpr (kPixelBlends16<W>)
        return W::blendWhereAlphaZero16(v, x, y);
    else
        return select(W::spreadAlpha16(W::cmpeq16(v, W::zero())), x, y);
}

// Groups of kGroup16 pixels whose top alphas are all 0, or in normal mode all
// at least full (the top with its channels clamped to full), are done whole,
// the others by kernel16 (kernelOpaque16 where it can) with the transparent
// operands put back.
template <BlendMode M, bool kUniform>
inline A_long rows16(const PF_Pixel16* bottom, PF_Pixel16* top, A_long n) {
    constexpr int N = kGroup16, H = N / 2;
    PF_Pixel16 same[N];
    if constexpr (kUniform) {
        for (PF_Pixel16& p : same) p = *bottom;
        bottom = same;
    }
    A_long i = 0;
    for (; i + N <= n; i += N) {
        const PF_Pixel16* src = kUniform ? bottom : bottom + i;
        PF_Pixel16* dst = top + i;
        if constexpr (!kUniform) fetchAhead<sizeof(PF_Pixel16) * N>(src);
        const I t0 = V::load(dst), t1 = V::load(dst + H);
        if (allAlphas16<false>(t0, t1)) {
            const I b0 = V::load(src), b1 = V::load(src + H);
            V::store(dst, ifClear16(b0, t0, b0));
            V::store(dst + H, ifClear16(b1, t1, b1));
            continue;
        }
        const I b0 = V::load(src), b1 = V::load(src + H);
        if constexpr (M == BlendMode::Normal) {
            if (allAlphas16<true>(t0, t1)) {
                // min(v, 0x8000) of unsigned lanes; over a transparent
                // bottom the top stays as it is.
                V::store(dst, ifClear16(b0, t0, clampFull16(t0)));
                V::store(dst + H, ifClear16(b1, t1, clampFull16(t1)));
                continue;
            }
        }
        const Planes16 B = unpack16(clampFull16(b0), clampFull16(b1)), T = unpack16(clampFull16(t0), clampFull16(t1));
        I r0, r1;
        auto opaque = [](I v0, I v1) { return allAlphas16<true>(v0, v1); };
        if constexpr (M == BlendMode::Softlight) {
            if (opaque(t0, t1))
                interleave16(kernelSoft16<true>(B, T), r0, r1);
            else
                interleave16(kernelSoft16<false>(B, T), r0, r1);
        } else if constexpr (kChannel<M>) {
            if (opaque(t0, t1))
                interleave16(kernelOpaque16<M, true>(B, T), r0, r1);
            else if (opaque(b0, b1))
                interleave16(kernelOpaque16<M, false>(B, T), r0, r1);
            else
                interleave16(kernel16<M>(B, T), r0, r1);
        } else {
            interleave16(kernel16<M>(B, T), r0, r1);
        }
        // A transparent bottom gives the top, else a transparent top the bottom.
        V::store(dst, ifClear16(b0, t0, ifClear16(t0, b0, r0)));
        V::store(dst + H, ifClear16(b1, t1, ifClear16(t1, b1, r1)));
    }
    return i;
}

// Groups of a row by the depth's kernel, where it has one; returns how many
// pixels were done.
template <BlendMode M, bool kUniform, class P>
inline A_long rows(const P* bottom, P* top, A_long n) {
    if constexpr (std::is_same_v<P, PF_Pixel>) {
        if constexpr (kVector8<M>) return rows8<M, kUniform>(bottom, top, n);
    } else if constexpr (std::is_same_v<P, PF_Pixel16>) {
        if constexpr (kVector16<M>) return rows16<M, kUniform>(bottom, top, n);
    } else if constexpr (std::is_same_v<P, PF_PixelFloat>) {
        if constexpr (kVectorF<M>) return rowsF<M, kUniform>(bottom, top, n);
    }
    (void)bottom, (void)top, (void)n;
    return 0;
}

// The same with the mode picked at run time, for the entry points of the wider
// sets.
template <class P>
inline A_long rowsOf(BlendMode mode, bool uniform, const P* bottom, P* top, A_long n) {
    switch (mode) {
#define VEMARO_MODE(m) \
    case BlendMode::m: return uniform ? rows<BlendMode::m, true>(bottom, top, n) : rows<BlendMode::m, false>(bottom, top, n);
        VEMARO_MODE(Normal)
        VEMARO_MODE(Darken)
        VEMARO_MODE(Multiply)
        VEMARO_MODE(Burn)
        VEMARO_MODE(Add)
        VEMARO_MODE(Lighten)
        VEMARO_MODE(Screen)
        VEMARO_MODE(Dodge)
        VEMARO_MODE(Overlay)
        VEMARO_MODE(Softlight)
        VEMARO_MODE(Hardlight)
        VEMARO_MODE(Difference)
        VEMARO_MODE(Exclusion)
        VEMARO_MODE(AlphaAdd)
#undef VEMARO_MODE
        default: return 0;
    }
}

#if VEMARO_BLEND_ENTRY_POINTS8
// The 8-bit entry point of a set that only has that one.
A_long rows(BlendMode mode, bool uniform, const PF_Pixel* bottom, PF_Pixel* top, A_long n) {
    return rowsOf(mode, uniform, bottom, top, n);
}
#endif

#if VEMARO_BLEND_ENTRY_POINTS
// The entry points VemaroBlendRow.h declares for the wider sets: whole groups
// of a row, how many pixels were done.
A_long rows(BlendMode mode, bool uniform, const PF_Pixel* bottom, PF_Pixel* top, A_long n) {
    return rowsOf(mode, uniform, bottom, top, n);
}
A_long rows(BlendMode mode, bool uniform, const PF_Pixel16* bottom, PF_Pixel16* top, A_long n) {
    return rowsOf(mode, uniform, bottom, top, n);
}
A_long rows(BlendMode mode, bool uniform, const PF_PixelFloat* bottom, PF_PixelFloat* top, A_long n) {
    return rowsOf(mode, uniform, bottom, top, n);
}
A_long floorQuotients16(int32_t A, const int32_t* x, int32_t* q, A_long n) {
    const Quotient16 div(V::set32(A));
    A_long i = 0;
    for (; i + V::kLanesF <= n; i += V::kLanesF) V::store(q + i, div(V::load(x + i)));
    return i;
}
A_long unsignedFloorQuotients16(int32_t A, const uint32_t* y, int32_t* q, A_long n) {
    A_long i = 0;
    if constexpr (kQuotientsD<V>) {
        const QuotientD16<> div(V::set32(A));
        for (; i + V::kLanesF <= n; i += V::kLanesF) V::store(q + i, div(V::load(y + i)));
    }
    (void)A, (void)y, (void)q, (void)n;
    return i;
}
#endif

}  // namespace VEMARO_SIMD_NS
