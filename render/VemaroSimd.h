// The widest vector instructions the pixel loops may use, found once from the
// processor. Every level gives the same pixels to the bit; the wider ones are
// only faster. The portable level (SSE2 on x86-64, plain C++ elsewhere) can be
// forced, by the tests through setLevelCap() and by anyone through the
// environment variable VEMARO_SIMD=portable|avx2|avx512.
#pragma once

namespace simd {

enum class Level { Portable = 0, Avx2 = 1, Avx512 = 2 };

// What this processor and build support.
Level supported();
// What the loops use: the supported level, capped by the environment and by
// setLevelCap().
Level level();
// Caps the level until called again (Level::Avx512 lifts the cap). For tests
// that run every path on the same input.
void setLevelCap(Level cap);

inline bool useAvx2() { return level() >= Level::Avx2; }

}  // namespace simd

// Function-level target selection: code for the wider levels is compiled for
// them alone, the rest of the build stays portable.
#if defined(__GNUC__) && defined(__x86_64__)
#define VEMARO_HAVE_AVX2 1
#else
#define VEMARO_HAVE_AVX2 0
#endif

// Bracket code compiled for AVX2, or for AVX-512, alone. (A pragma's text
// must stay one string literal, hence no formatting here.)
// clang-format off
#if defined(__clang__)
#define VEMARO_TARGET_BEGIN(isa) _Pragma(isa)
#define VEMARO_AVX2_BEGIN \
    VEMARO_TARGET_BEGIN("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define VEMARO_AVX512_BEGIN \
    VEMARO_TARGET_BEGIN("clang attribute push(__attribute__((target(\"avx2,avx512f,avx512bw\"))), apply_to = function)")
#define VEMARO_AVX2_END _Pragma("clang attribute pop")
#else
// GCC 12 flags the deliberately undefined pass-through operand of its own
// gather and 512-bit intrinsics, hence the two warnings left out there.
#define VEMARO_TARGET_BEGIN(isa) \
    _Pragma("GCC push_options") _Pragma(isa) _Pragma("GCC diagnostic push") \
        _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"") \
            _Pragma("GCC diagnostic ignored \"-Wuninitialized\"")
#define VEMARO_AVX2_BEGIN VEMARO_TARGET_BEGIN("GCC target(\"avx2\")")
#define VEMARO_AVX512_BEGIN VEMARO_TARGET_BEGIN("GCC target(\"avx2,avx512f,avx512bw\")")
#define VEMARO_AVX2_END _Pragma("GCC diagnostic pop") _Pragma("GCC pop_options")
#endif
#define VEMARO_AVX512_END VEMARO_AVX2_END
// clang-format on
