#include "VemaroSimd.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace simd {

namespace {

Level detect() {
#if VEMARO_HAVE_AVX2
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) return Level::Portable;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) return Level::Avx512;
    return Level::Avx2;
#else
    return Level::Portable;
#endif
}

Level fromEnvironment(Level s) {
    const char* v = std::getenv("VEMARO_SIMD");
    if (!v) return s;
    Level cap = s;
    if (std::strcmp(v, "portable") == 0)
        cap = Level::Portable;
    else if (std::strcmp(v, "avx2") == 0)
        cap = Level::Avx2;
    return cap < s ? cap : s;
}

std::atomic<int> capLevel{static_cast<int>(Level::Avx512)};

}  // namespace

Level supported() {
    static const Level s = detect();
    return s;
}

Level level() {
    static const Level base = fromEnvironment(supported());
    const Level cap = static_cast<Level>(capLevel.load(std::memory_order_relaxed));
    return cap < base ? cap : base;
}

void setLevelCap(Level cap) { capLevel.store(static_cast<int>(cap), std::memory_order_relaxed); }

}  // namespace simd
