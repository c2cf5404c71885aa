// The bodies of the span kernels, written once over a set of operations V on
// kLanes doubles and included once per instruction set, each time into its own
// namespace VEMARO_SPAN_NS (which must hold V). Each lane does what the plain
// per-pixel code does, operation for operation: the compare-and-select
// sequences give the branches' results, NaN included (every compare is
// ordered, so false on NaN, like the C++ operators).

// No include guard: this file is meant to be included several times.

namespace VEMARO_SPAN_NS {

using D = V::D;
using M = V::M;

// An edge e with its ends e - 0.5 and e + 0.5, worked out once.
struct Edge {
    D e, lo, hi;
    explicit Edge(double v) : e(V::set1(v)), lo(V::set1(v - 0.5)), hi(V::set1(v + 0.5)) {}
};

// 1 when d <= e - 0.5, else 0 when d >= e + 0.5, else e - d + 0.5.
inline D covOut(D d, const Edge& e) {
    const D ramp = V::add(V::sub(e.e, d), V::set1(0.5));
    return V::select(V::le(d, e.lo), V::set1(1.0), V::select(V::ge(d, e.hi), V::set1(0.0), ramp));
}
// 1 when d >= e + 0.5, else 0 when d <= e - 0.5, else d - e + 0.5.
inline D covIn(D d, const Edge& e) {
    const D ramp = V::add(V::sub(d, e.e), V::set1(0.5));
    return V::select(V::ge(d, e.hi), V::set1(1.0), V::select(V::le(d, e.lo), V::set1(0.0), ramp));
}

// The depth's alpha of a value a (raster::Depth<P>::alpha): at the integer
// depths a * full + 0.5, 0 unless at least 0 (NaN too), full above full, else
// truncated; in float 0 unless above 0, 1 above 1.
struct Alpha {
    double full;
    D fullV, zero, one, half;
    explicit Alpha(double f)
        : full(f), fullV(V::set1(f)), zero(V::set1(0.0)), one(V::set1(1.0)), half(V::set1(0.5)) {}
    D operator()(D a) const {
        if (full > 0.0) {
            D v = V::add(V::mul(a, fullV), half);
            v = V::select(V::ge(v, zero), v, zero);
            return V::trunc(V::select(V::gt(v, fullV), fullV, v));
        }
        const D v = V::select(V::gt(a, zero), a, zero);
        return V::select(V::gt(v, one), one, v);
    }
};

// The kLanes (or, at the end of a run, m) entries of a table.
inline D load(const double* p, A_long m) { return m >= V::kLanes ? V::load(p) : V::loadPartial(p, static_cast<int>(m)); }

// The fill's alphas, each pixel's row square from rowSq(i, m).
struct SameRow {
    D v;
    D operator()(A_long, A_long) const { return v; }
};
struct RowTable {
    const double* p;
    D operator()(A_long i, A_long m) const { return load(p + i, m); }
};
template <class RowSq>
inline void fillAlphas(const spans::CircleFill& k, const double* sq, const double* dist, A_long n, RowSq rowSq,
                       bool rowInHole, float* alpha) {
    const Edge R(k.R), r(k.r);
    const Alpha toAlpha(k.full);
    const D bound = V::set1(k.bound), innerSafe = V::set1(k.innerSafe);
    const D ring = V::set1(k.ringFactor), opacity = V::set1(k.opacity);
    for (A_long i = 0; i < n; i += V::kLanes) {
        const D d2 = V::add(load(sq + i, n - i), rowSq(i, n - i));
        M skip = V::gt(d2, bound);
        if (rowInHole) skip = V::mor(skip, V::lt(load(dist + i, n - i), innerSafe));
        const D d = V::sqrt(d2);
        const D a = V::mul(V::mul(V::mul(covOut(d, R), ring), covIn(d, r)), opacity);
        V::storeF(alpha + i, V::select(skip, toAlpha.zero, toAlpha(a)));
    }
}

void circleFill(const spans::CircleFill& k, const double* sq, const double* dist, A_long n, double ady2,
                bool rowInHole, float* alpha) {
    fillAlphas(k, sq, dist, n, SameRow{V::set1(ady2)}, rowInHole, alpha);
}

// The same for pixels of several rows, none crossing the hole: each with its
// own row's square.
void circleFillRows(const spans::CircleFill& k, const double* sq, const double* rowSq, A_long n, float* alpha) {
    fillAlphas(k, sq, nullptr, n, RowTable{rowSq}, false, alpha);
}

void circleStroke(const spans::CircleStroke& k, const double* sq, A_long n, double dy2, float* alpha, float* alpha2) {
    const Edge R(k.R), r(k.r), s(k.s), S(k.S);
    const Alpha toAlpha(k.full);
    const D rowSq = V::set1(dy2), bound = V::set1(k.bound), ring = V::set1(k.ringFactor);
    const D strokeFactor = V::set1(k.strokeFactor), opacity = V::set1(k.opacity);
    const D fillOnly = V::set1(0.999999), mark = V::set1(-1.0);
    for (A_long i = 0; i < n; i += V::kLanes) {
        const D d2 = V::add(load(sq + i, n - i), rowSq);
        const M skip = V::gt(d2, bound);
        const D d = V::sqrt(d2);
        D a, b;
        if (k.strokeOnly) {
            if (k.thinRing) {
                a = V::mul(covOut(d, S), covIn(d, s));
            } else {
                // Outer stroke, else inner stroke, else the solid ring.
                const M outer = V::gt(d, R.lo);
                a = V::mul(V::select(outer, covOut(d, S), covOut(d, r)), V::select(outer, covIn(d, R), covIn(d, s)));
                a = V::select(V::mor(outer, V::lt(d, r.hi)), a, toAlpha.zero);
            }
            a = toAlpha(V::mul(V::mul(a, strokeFactor), opacity));
            b = toAlpha.zero;
        } else {
            const D f = V::mul(V::mul(covOut(d, R), ring), covIn(d, r));
            const M whole = V::gt(f, fillOnly);
            a = V::select(whole, toAlpha(V::mul(f, opacity)), toAlpha(f));
            b = V::select(whole, mark, toAlpha(V::mul(V::mul(covOut(d, S), strokeFactor), covIn(d, s))));
        }
        V::storeF(alpha + i, V::select(skip, toAlpha.zero, a));
        V::storeF(alpha2 + i, V::select(skip, toAlpha.zero, b));
    }
}

template <int Mode>
void lineRun(const spans::LineEdge& k, const double* off, A_long n, double bu, double bv, float* alpha,
             float* alpha2) {
    const Edge L(k.L), T(k.T), Ls(k.Ls), Ts(k.Ts);
    const Alpha toAlpha(k.full);
    const D a0 = V::set1(k.a0), a2 = V::set1(k.a2), rowU = V::set1(bu), rowV = V::set1(bv);
    const D thin = V::set1(k.thin), opacity = V::set1(k.opacity), one = V::set1(1.0);
    for (A_long i = 0; i < n; i += V::kLanes) {
        const D dx = load(off + i, n - i);
        const D u = V::abs(V::add(V::mul(a0, dx), rowU));
        const D v = V::abs(V::add(V::mul(a2, dx), rowV));
        if constexpr (Mode == 1) {
            const D a = V::mul(V::mul(V::mul(covOut(u, L), thin), covOut(v, T)), opacity);
            V::storeF(alpha + i, toAlpha(a));
        } else if constexpr (Mode == 2) {
            const D inner = V::sub(one, V::mul(covOut(u, L), covOut(v, T)));
            const D a = V::mul(V::mul(V::mul(inner, covOut(u, Ls)), covOut(v, Ts)), opacity);
            V::storeF(alpha + i, toAlpha(a));
        } else {
            V::storeF(alpha + i, toAlpha(V::mul(covOut(u, L), covOut(v, T))));
            V::storeF(alpha2 + i, toAlpha(V::mul(covOut(u, Ls), covOut(v, Ts))));
        }
    }
}

void line(const spans::LineEdge& k, const double* off, A_long n, double bu, double bv, float* alpha, float* alpha2) {
    switch (k.mode) {
        case 1: lineRun<1>(k, off, n, bu, bv, alpha, alpha2); break;
        case 2: lineRun<2>(k, off, n, bu, bv, alpha, alpha2); break;
        case 3: lineRun<3>(k, off, n, bu, bv, alpha, alpha2); break;
        default: break;
    }
}

}  // namespace VEMARO_SPAN_NS
