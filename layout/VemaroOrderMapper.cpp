#include "VemaroOrderMapper.h"

#include <numeric>

OrderMapper::OrderMapper(int mode, int seed, int count) {
    if (mode == Map || mode == Shape) return;
    const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
    order.resize(n);
    std::iota(order.begin(), order.end(), 0);
    if (mode == Random) seededShuffle(order, static_cast<uint32_t>(seed));
}
