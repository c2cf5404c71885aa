// The body of the polygon edge kernel, written once over a set of operations
// V on kLanes doubles and included once per instruction set, each time into
// its own namespace VEMARO_EDGE_NS (which must hold V). The compare-and-select
// sequences give the branches of the per-pixel code; the row's y is the same
// for every lane, so its branches are taken once.

// No include guard: this file is meant to be included several times.

namespace VEMARO_EDGE_NS {

using D = V::D;
using M = V::M;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// The wedge of each lane's pixel and its distances d, d2; returns the bits of
// the lanes settled inside and of those needing the coverage.
inline void lanes(const polyedge::Row& r, D px, D& d, D& d2, unsigned& inside, unsigned& edge) {
    const D one = V::set1(1.0), zero = V::set1(0.0), pi = V::set1(kPi), turn = V::set1(kTwoPi);
    // The cheap angle (a rational approximation, error below 0.005 rad).
    const M x0 = V::eq(px, zero);
    const D z = V::div(V::set1(r.py), V::select(x0, one, px));
    const D zz = V::mul(z, z);
    const M small = V::lt(V::abs(z), one);
    const D t = V::div(z, V::select(small, V::add(one, V::mul(V::set1(0.28), zz)), V::add(zz, V::set1(0.28))));
    const D flipped = r.py < 0.0 ? V::sub(t, pi) : V::add(t, pi);
    const D aSmall = V::select(V::lt(px, zero), flipped, t);
    D aBig = V::sub(V::set1(kPi / 2.0), t);
    if (r.py < 0.0) aBig = V::sub(aBig, pi);
    const double onAxis = r.py > 0.0 ? kPi / 2.0 : (r.py == 0.0 ? 0.0 : -kPi / 2.0);
    const D a = V::select(x0, V::set1(onAxis), V::select(small, aSmall, aBig));
    // Within two turns the remainder by a turn is exact as one step.
    D angle = V::sub(a, V::set1(r.start));
    angle = V::select(V::ge(angle, turn), V::sub(angle, turn), angle);
    angle = V::select(V::le(angle, V::set1(-kTwoPi)), V::add(angle, turn), angle);
    angle = V::select(V::lt(angle, zero), V::add(angle, turn), angle);
    const D q = V::div(angle, V::set1(r.width));
    const D sectors = V::set1(r.sectors);
    const M positive = V::ge(q, zero);
    const D whole = V::select(V::mand(positive, V::lt(q, sectors)), q,
                              V::select(positive, V::sub(sectors, one), zero));
    const V::K k = V::index(whole);
    d = V::sub(V::gather(r.de, k), V::mul(V::sub(px, V::gather(r.ex, k)), V::gather(r.uy, k)));
    d2 = r.dh ? V::sub(V::gather(r.dh, k), V::mul(V::sub(px, V::gather(r.hx, k)), V::gather(r.huy, k)))
              : V::set1(-std::numeric_limits<double>::infinity());
    if (!r.settle) {
        inside = 0;
        edge = V::kAll;
        return;
    }
    const M in = V::ge(d, V::set1(r.depth));
    const M out = V::le(d, V::set1(-r.far));
    inside = V::bits(in);
    edge = V::kAll & ~(inside | V::bits(out));
}

polyedge::Result classify(const polyedge::Row& r, const double* cols, A_long n, double* d, double* d2) {
    polyedge::Result res;
    constexpr int L = V::kLanes;
    A_long i = 0;
    for (; i + L <= n; i += L) {
        D dv, d2v;
        unsigned in, edge;
        lanes(r, V::load(cols + i), dv, d2v, in, edge);
        V::store(d + i, dv);
        V::store(d2 + i, d2v);
        res.interior |= static_cast<uint64_t>(in) << i;
        res.edge |= static_cast<uint64_t>(edge) << i;
    }
    if (i < n) {
        // The last few columns through a full vector, the spare lanes
        // repeating the last column and dropped.
        const int m = static_cast<int>(n - i);
        double buf[L], bd[L], bd2[L];
        for (int j = 0; j < L; ++j) buf[j] = cols[i + (j < m ? j : m - 1)];
        D dv, d2v;
        unsigned in, edge;
        lanes(r, V::load(buf), dv, d2v, in, edge);
        V::store(bd, dv);
        V::store(bd2, d2v);
        for (int j = 0; j < m; ++j) d[i + j] = bd[j], d2[i + j] = bd2[j];
        const unsigned keep = (1u << m) - 1u;
        res.interior |= static_cast<uint64_t>(in & keep) << i;
        res.edge |= static_cast<uint64_t>(edge & keep) << i;
    }
    return res;
}

}  // namespace VEMARO_EDGE_NS
