// The body of the powers of VemaroPowLanes.h over one level W, included once
// per level into that level's namespace (and target). No include guard: this
// file is meant to be included several times.

// x^y on the lanes, with the steps of the library's plain build (kFused
// false) or its fused one, the lanes the sequence does not cover by the
// library itself.
template <bool kFused>
struct Power {
    using D = W::D;
    using F = W::F;
    using I = W::I;
    static constexpr int kHalf = W::kLanesF / 2;

    // a b + c, one rounding or two as the build has it.
    static D madd(D a, D b, D c) {
        if constexpr (kFused)
            return W::fma(a, b, c);
        else
            return W::add(W::mul(a, b), c);
    }

    // log2 x from z = x 2^-k in [0.7, 1.4), its interval's 1/c and log2 c.
    static D log2(D z, D k, D invc, D logc) {
        D r;
        if constexpr (kFused)
            r = W::fma(z, invc, W::set1(-1.0));
        else
            r = W::sub(W::mul(z, invc), W::set1(1.0));
        const D y0 = W::add(k, logc);
        const D r2 = W::mul(r, r);
        const D y = madd(W::set1(kLog2Poly[0]), r, W::set1(kLog2Poly[1]));
        const D p = madd(W::set1(kLog2Poly[2]), r, W::set1(kLog2Poly[3]));
        const D r4 = W::mul(r2, r2);
        D q = madd(W::set1(kLog2Poly[4]), r, y0);
        q = madd(p, r2, q);
        return madd(y, r4, q);
    }

    // 2^x for |x| < 126: 2^(k/32) from the table and the exponent, 2^r for
    // the rest r.
    static D exp2(D x) {
        const D shifted = W::add(x, W::set1(kShift));
        const D kd = W::sub(shifted, W::set1(kShift));
        const D r = W::sub(x, kd);
        const D s = W::scale(shifted);
        const D z = madd(W::set1(kExp2Poly[0]), r, W::set1(kExp2Poly[1]));
        const D r2 = W::mul(r, r);
        D y = madd(W::set1(kExp2Poly[2]), r, W::set1(1.0));
        y = madd(z, r2, y);
        return W::mul(y, s);
    }

    // The lanes, and the bits of those whose inputs it covers.
    static F lanes(F x, F y, unsigned& covered) {
        const I ix = W::asI(x), iy = W::asI(y);
        const I tmp = W::sub32(ix, W::set32(kOffset));
        const I interval = W::and32(W::template srli32<19>(tmp), W::set32(15));
        const I top = W::and32(tmp, W::set32(0xff800000u));
        const F z = W::asF(W::sub32(ix, top));
        const I k = W::template srai32<23>(top);
        const D lo = W::mul(W::lowF(y),
                            log2(W::lowF(z), W::lowI(k), W::lookupLow(kInvC, interval), W::lookupLow(kLogC, interval)));
        const D hi = W::mul(W::highF(y), log2(W::highF(z), W::highI(k), W::lookupHigh(kInvC, interval),
                                              W::lookupHigh(kLogC, interval)));
        const D limit = W::set1(126.0);
        covered = W::belowU32(W::sub32(ix, W::set32(0x00800000u)), W::set32(0x7f000000u)) &
                  W::belowU32(W::sub32(W::add32(iy, iy), W::set32(1)), W::set32(0xfeffffffu)) &
                  (W::bits(W::lt(W::abs(lo), limit)) | W::bits(W::lt(W::abs(hi), limit)) << kHalf);
        return W::floats(exp2(lo), exp2(hi));
    }

    static F pow(F x, F y) {
        unsigned covered;
        F v = lanes(x, y, covered);
        constexpr unsigned kAll = (1u << W::kLanesF) - 1u;
        if (covered != kAll) {
            float xs[W::kLanesF], ys[W::kLanesF], vs[W::kLanesF];
            W::storeF(xs, x);
            W::storeF(ys, y);
            W::storeF(vs, v);
            for (int j = 0; j < W::kLanesF; ++j)
                if (!(covered >> j & 1u)) vs[j] = std::pow(xs[j], ys[j]);
            v = W::loadF(vs);
        }
        return v;
    }
};

// x^y lane by lane through the library.
inline W::F libraryPow(W::F x, W::F y) {
    float xs[W::kLanesF], ys[W::kLanesF];
    W::storeF(xs, x);
    W::storeF(ys, y);
    for (int j = 0; j < W::kLanesF; ++j) xs[j] = std::pow(xs[j], ys[j]);
    return W::loadF(xs);
}

// x^y in the given mode.
inline W::F powIn(Mode m, W::F x, W::F y) {
    if constexpr (W::kCanFuse) {
        if (m == Mode::Fused) return Power<true>::pow(x, y);
    }
    if (m == Mode::Plain) return Power<false>::pow(x, y);
    return libraryPow(x, y);
}

// Whether the lanes in mode m give the library's bits on the check inputs.
inline bool agreesWithLibrary(Mode m) {
    constexpr int N = W::kLanesF;
    float xs[N], ys[N], got[N];
    int filled = 0;
    bool same = true;
    auto flush = [&] {
        for (int j = filled; j < N; ++j) xs[j] = ys[j] = 1.0f;
        W::storeF(got, powIn(m, W::loadF(xs), W::loadF(ys)));
        for (int j = 0; j < N; ++j) {
            const float want = std::pow(xs[j], ys[j]);
            same = same && std::memcmp(&want, &got[j], sizeof want) == 0;
        }
        filled = 0;
    };
    auto add = [&](float x, float y) {
        xs[filled] = x;
        ys[filled] = y;
        if (++filled == N) flush();
    };
    for (const CheckCase& c : kDistinguishing) add(c.x, c.y);
    for (uint32_t i = 0; i < 16; ++i)
        for (int j = 0; j < 32; ++j) {
            // Inside interval i, scaled by 2^5 or 2^-6, and y bringing
            // y log2 x near 96 + j / 32 on either side.
            const uint32_t bits = kOffset + (i << 19) + 0x2a5a5u + ((j & 1) ? (5u << 23) : (0u - (6u << 23)));
            float x;
            std::memcpy(&x, &bits, sizeof x);
            const double target = (j & 2 ? -1.0 : 1.0) * (96.0 + j / 32.0 + 0.3 / 32.0);
            add(x, static_cast<float>(target / std::log2(static_cast<double>(x))));
        }
    // Near 1, where y is largest, and soft light's own range.
    for (int j = 1; j <= 24; ++j) add(1.0f + std::ldexp(1.0f, -j), static_cast<float>(std::ldexp(80.0, j)));
    for (int j = 1; j < 64; ++j) add(static_cast<float>(j / 64.0), 0.5f + static_cast<float>(j) / 42.0f);
    if (filled) flush();
    return same;
}

// The mode of this level, found on first use: the library's build where the
// level has its operations, kept only if it agrees with the library.
inline Mode mode() {
    static const Mode m = [] {
        const Mode want = libraryFuses() ? Mode::Fused : Mode::Plain;
        if (want == Mode::Fused && !W::kCanFuse) return Mode::Library;
        return agreesWithLibrary(want) ? want : Mode::Library;
    }();
    return m;
}

// x^y as the library's powf, every lane.
inline W::F pow(W::F x, W::F y) { return powIn(mode(), x, y); }

// For the tests: out[i] = x[i]^y[i] over whole groups of the level in mode m
// (whatever the level found for itself); how many were done.
inline long powRows(Mode m, const float* x, const float* y, float* out, long n) {
    long i = 0;
    for (; i + W::kLanesF <= n; i += W::kLanesF) W::storeF(out + i, powIn(m, W::loadF(x + i), W::loadF(y + i)));
    return i;
}
