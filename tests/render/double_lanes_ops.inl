// Every operation of a double-lane level over pairs of inputs, the results as
// plain doubles and comparison bits: included once per level, each time into
// its own namespace (LANES_NS) and, for the wider levels, within their target
// brackets.

// No include guard: this file is meant to be included several times.

namespace LANES_NS {

template <class L>
void everyOperation(const double* a, const double* b, std::size_t n, LaneResults* out) {
    constexpr int K = L::kLanes;
    for (std::size_t i = 0; i + K <= n; i += K) {
        const typename L::D x = L::load(a + i), y = L::load(b + i);
        const typename L::D values[] = {
            L::add(x, y), L::sub(x, y),   L::mul(x, y),   L::div(x, y),
            L::sqrt(x),   L::abs(x),      L::trunc(x),    L::select(L::lt(x, y), x, L::sub(y, L::set1(0.25))),
            L::loadPartial(a + i, static_cast<int>(i / K % (K + 1)))};
        double lanes[kValues][K];
        for (int v = 0; v < kValues; ++v) L::store(lanes[v], values[v]);
        const unsigned masks[kMasks] = {L::bits(L::eq(x, y)),
                                        L::bits(L::lt(x, y)),
                                        L::bits(L::le(x, y)),
                                        L::bits(L::ge(x, y)),
                                        L::bits(L::gt(x, y)),
                                        L::bits(L::mand(L::le(x, y), L::ge(x, y))),
                                        L::bits(L::mor(L::lt(x, y), L::gt(x, y)))};
        for (int k = 0; k < K; ++k) {
            LaneResults& r = out[i + k];
            for (int v = 0; v < kValues; ++v) r.values[v] = lanes[v][k];
            for (int m = 0; m < kMasks; ++m) r.masks[m] = (masks[m] >> k) & 1u;
        }
    }
}

}  // namespace LANES_NS
