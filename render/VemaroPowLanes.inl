// The body of the powers of VemaroPowLanes.h over one level W, included once
// per level into that level's namespace (and target). No include guard: this
// file is meant to be included several times.

// x^y on the lanes, with the steps of the library's plain build (kFused
// false) or its fused one, the lanes the sequence does not cover by the
// library itself.
template <int = 0>
[[gnu::noinline]] W::F libraryLanes(W::F x, W::F y, W::F v, unsigned keep);

// N powers at once, their steps side by side so that their latencies
// overlap (each is one long chain of dependent operations).
template <bool kFused>
struct Power {
    using D = W::D;
    using F = W::F;
    using I = W::I;
    static constexpr int kHalf = W::kLanesF / 2;

    // a b + c, one rounding or two as the build has it.
    VEMARO_POW_INLINE static D madd(D a, D b, D c) {
        if constexpr (kFused)
            return W::fma(a, b, c);
        else
            return W::add(W::mul(a, b), c);
    }

    // log2 x from z = x 2^-k in [0.7, 1.4), its interval's 1/c and log2 c.
    template <int M>
    VEMARO_POW_INLINE static void log2(D (&v)[M], const D (&z)[M], const D (&k)[M], const D (&invc)[M],
                                       const D (&logc)[M]) {
        D r[M], r2[M], y[M], p[M], q[M];
        for (int j = 0; j < M; ++j) {
            if constexpr (kFused)
                r[j] = W::fma(z[j], invc[j], W::set1(-1.0));
            else
                r[j] = W::sub(W::mul(z[j], invc[j]), W::set1(1.0));
        }
        for (int j = 0; j < M; ++j) r2[j] = W::mul(r[j], r[j]);
        for (int j = 0; j < M; ++j) y[j] = madd(W::set1(kLog2Poly[0]), r[j], W::set1(kLog2Poly[1]));
        for (int j = 0; j < M; ++j) p[j] = madd(W::set1(kLog2Poly[2]), r[j], W::set1(kLog2Poly[3]));
        for (int j = 0; j < M; ++j) q[j] = madd(W::set1(kLog2Poly[4]), r[j], W::add(k[j], logc[j]));
        for (int j = 0; j < M; ++j) q[j] = madd(p[j], r2[j], q[j]);
        for (int j = 0; j < M; ++j) v[j] = madd(y[j], W::mul(r2[j], r2[j]), q[j]);
    }

    // 2^x for |x| < 126: 2^(k/32) from the table and the exponent, 2^r for
    // the rest r.
    template <int M>
    VEMARO_POW_INLINE static void exp2(D (&v)[M]) {
        D shifted[M], r[M], z[M], y[M];
        for (int j = 0; j < M; ++j) shifted[j] = W::add(v[j], W::set1(kShift));
        for (int j = 0; j < M; ++j) r[j] = W::sub(v[j], W::sub(shifted[j], W::set1(kShift)));
        for (int j = 0; j < M; ++j) z[j] = madd(W::set1(kExp2Poly[0]), r[j], W::set1(kExp2Poly[1]));
        for (int j = 0; j < M; ++j) y[j] = madd(W::set1(kExp2Poly[2]), r[j], W::set1(1.0));
        for (int j = 0; j < M; ++j) y[j] = madd(z[j], W::mul(r[j], r[j]), y[j]);
        for (int j = 0; j < M; ++j) v[j] = W::mul(y[j], W::scale(shifted[j]));
    }

    // v = log2 x[n] in halves (2n the low, 2n + 1 the high), and the lanes
    // whose x and y the sequence covers.
    template <int N>
    VEMARO_POW_INLINE static void logs(const F (&x)[N], const F (&y)[N], D (&v)[2 * N], unsigned (&covered)[N]) {
        constexpr int M = 2 * N;
        D z[M], k[M], invc[M], logc[M];
        for (int n = 0; n < N; ++n) {
            const I ix = W::asI(x[n]), iy = W::asI(y[n]);
            const I tmp = W::sub32(ix, W::set32(kOffset));
            const I interval = W::and32(W::template srli32<19>(tmp), W::set32(15));
            const I top = W::and32(tmp, W::set32(0xff800000u));
            const F zf = W::asF(W::sub32(ix, top));
            const I kf = W::template srai32<23>(top);
            z[2 * n] = W::lowF(zf);
            z[2 * n + 1] = W::highF(zf);
            k[2 * n] = W::lowI(kf);
            k[2 * n + 1] = W::highI(kf);
            invc[2 * n] = W::lookupLow(kInvC, interval);
            invc[2 * n + 1] = W::lookupHigh(kInvC, interval);
            logc[2 * n] = W::lookupLow(kLogC, interval);
            logc[2 * n + 1] = W::lookupHigh(kLogC, interval);
            covered[n] = W::belowU32(W::sub32(ix, W::set32(0x00800000u)), W::set32(0x7f000000u)) &
                         W::belowU32(W::sub32(W::add32(iy, iy), W::set32(1)), W::set32(0xfeffffffu));
        }
        log2(v, z, k, invc, logc);
    }

    // out[n] = x[n]^y[n] from v = log2 x[n] (as logs gives it) and the lanes
    // covered so far; the others by the library.
    template <int N>
    VEMARO_POW_INLINE static void powOfLogs(const F (&x)[N], const F (&y)[N], D (&v)[2 * N], unsigned (&covered)[N],
                                            F (&out)[N]) {
        const D limit = W::set1(126.0);
        for (int n = 0; n < N; ++n) {
            v[2 * n] = W::mul(W::lowF(y[n]), v[2 * n]);
            v[2 * n + 1] = W::mul(W::highF(y[n]), v[2 * n + 1]);
            covered[n] &= W::bits(W::lt(W::abs(v[2 * n]), limit)) | W::bits(W::lt(W::abs(v[2 * n + 1]), limit))
                                                                        << kHalf;
        }
        exp2(v);
        constexpr unsigned kAll = (1u << W::kLanesF) - 1u;
        for (int n = 0; n < N; ++n) {
            out[n] = W::floats(v[2 * n], v[2 * n + 1]);
            if (covered[n] != kAll) out[n] = libraryLanes(x[n], y[n], out[n], covered[n]);
        }
    }

    // out[n] = x[n]^y[n].
    template <int N>
    VEMARO_POW_INLINE static void pow(const F (&x)[N], const F (&y)[N], F (&out)[N]) {
        D v[2 * N];
        unsigned covered[N];
        logs(x, y, v, covered);
        powOfLogs(x, y, v, covered, out);
    }
};

// x^y lane by lane through the library, but for the lanes of keep, which
// keep their value of v. Rare on the lanes' paths, so kept out of them.
template <int>
[[gnu::noinline]] W::F libraryLanes(W::F x, W::F y, W::F v, unsigned keep) {
    float xs[W::kLanesF], ys[W::kLanesF], vs[W::kLanesF];
    W::storeF(xs, x);
    W::storeF(ys, y);
    W::storeF(vs, v);
    // +0 to a positive power is +0 (black channels are common): no call.
    for (int j = 0; j < W::kLanesF; ++j)
        if (!(keep >> j & 1u))
            vs[j] = xs[j] == 0.0f && !std::signbit(xs[j]) && ys[j] > 0.0f ? 0.0f : std::pow(xs[j], ys[j]);
    return W::loadF(vs);
}
inline W::F libraryPow(W::F x, W::F y) { return libraryLanes(x, y, x, 0); }

// out[n] = x[n]^y[n] in the given mode.
template <int N>
VEMARO_POW_INLINE void powIn(Mode m, const W::F (&x)[N], const W::F (&y)[N], W::F (&out)[N]) {
    if constexpr (W::kCanFuse) {
        if (m == Mode::Fused) return Power<true>::pow(x, y, out);
    }
    if (m == Mode::Plain) return Power<false>::pow(x, y, out);
    for (int n = 0; n < N; ++n) out[n] = libraryPow(x[n], y[n]);
}
VEMARO_POW_INLINE W::F powIn(Mode m, W::F x, W::F y) {
    W::F out[1];
    powIn(m, {x}, {y}, out);
    return out[0];
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
    for (const CheckCase& c : kHardCases) add(c.x, c.y);
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
        if (!libraryIsCopied()) return Mode::Library;
        const Mode want = libraryFuses() ? Mode::Fused : Mode::Plain;
        if (want == Mode::Fused && !W::kCanFuse) return Mode::Library;
        return agreesWithLibrary(want) ? want : Mode::Library;
    }();
    return m;
}

// x^y as the library's powf, every lane.
VEMARO_POW_INLINE W::F pow(W::F x, W::F y) { return powIn(mode(), x, y); }
template <int N>
VEMARO_POW_INLINE void pow(const W::F (&x)[N], const W::F (&y)[N], W::F (&out)[N]) {
    powIn(mode(), x, y, out);
}

// For the tests: out[i] = x[i]^y[i] over whole groups of the level in mode m
// (whatever the level found for itself); how many were done.
inline long powRows(Mode m, const float* x, const float* y, float* out, long n) {
    long i = 0;
    for (; i + W::kLanesF <= n; i += W::kLanesF) W::storeF(out + i, powIn(m, W::loadF(x + i), W::loadF(y + i)));
    return i;
}
