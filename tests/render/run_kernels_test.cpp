// The interior-run kernel at every vector level the processor has, over rows
// that mix transparent, opaque and partly covered pixels (and values the
// blends treat specially: a float alpha of -0 or NaN, 16-bit channels above
// full): the kernel alone against its rule written out pixel by pixel, and a
// pixel beneath runs against the per-pixel blend of every mode and depth;
// every pixel outside the run stays as it was.
#include "VemaroBlend.h"
#include "VemaroRunKernels.h"
#include "VemaroSimd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace {

struct Rng {
    std::mt19937_64 g{31337};
    int below(int n) { return static_cast<int>(g() % static_cast<uint64_t>(n)); }
    double unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(g); }
};

// A top pixel of a kind: 0 transparent (colour left in), 1 opaque, 2 partly
// covered, 3 a value the blends treat specially.
template <class P>
P topPixel(Rng& r, int kind) {
    if constexpr (std::is_same_v<P, PF_PixelFloat>) {
        auto c = [&] { return static_cast<float>(r.unit() * 1.2 - 0.1); };
        const float odd[] = {-0.0f, 1.5f, std::numeric_limits<float>::quiet_NaN(), 1.0f + 0x1p-23f};
        const float alpha[] = {0.0f, 1.0f, static_cast<float>(r.unit()), odd[r.below(4)]};
        return {alpha[kind], c(), c(), c()};
    } else {
        using C = decltype(P{}.alpha);
        constexpr int full = raster::fullAlpha<P>();
        const bool wide = std::is_same_v<P, PF_Pixel16>;
        auto c = [&] { return static_cast<C>(r.below((wide && r.below(8) == 0 ? 65535 : full) + 1)); };
        const int alpha[] = {0, full, 1 + r.below(full - 1), wide ? 32769 + r.below(32767) : r.below(full + 1)};
        return {static_cast<C>(alpha[kind]), c(), c(), c()};
    }
}

template <class P>
P element(Rng& r) {
    using D = raster::Depth<P>;
    const double a = r.below(3) == 0 ? 1.0 : r.unit();
    P p = D::fromColor(
        Color{1.0f, static_cast<float>(r.unit()), static_cast<float>(r.unit()), static_cast<float>(r.unit())});
    p.alpha = D::alpha(a);
    return p;
}

// Stretches of one kind, or of kinds mixed pixel by pixel.
template <class P>
std::vector<P> topRow(Rng& r, int n) {
    std::vector<P> row;
    while (static_cast<int>(row.size()) < n) {
        const int kind = r.below(5), len = 1 + r.below(r.below(4) == 0 ? 90 : 24);
        for (int i = 0; i < len; ++i) row.push_back(topPixel<P>(r, kind == 4 ? r.below(4) : kind));
    }
    row.resize(static_cast<std::size_t>(n));
    return row;
}

template <class P>
void checkDepth(const char* depth) {
    Rng r;
    constexpr int kWidth = 300;
    for (int popup = 1; popup <= 15; ++popup)
        withBlendOp(popup, [&](auto op) {
            for (int trial = 0; trial < 40; ++trial) {
                const std::vector<P> top = topRow<P>(r, kWidth);
                const P e = element<P>(r);
                // Short and long runs, some reaching the row's ends.
                const int from = r.below(3) == 0 ? 0 : r.below(kWidth);
                const int to = r.below(3) == 0 ? kWidth : from + r.below(kWidth - from + 1);
                std::vector<P> want = top;
                if (e.alpha != 0)
                    for (int c = from; c < to; ++c) want[c] = op(e, want[c]);
                for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
                    std::vector<P> got = top;
                    runs::beneath(runs::fillKernelAt<P>(static_cast<simd::Level>(level)), op, e, got.data(), from, to);
                    ASSERT_EQ(std::memcmp(got.data(), want.data(), sizeof(P) * kWidth), 0)
                        << depth << ", popup " << popup << ", trial " << trial << ", level " << level << ", run "
                        << from << ".." << to;
                }
            }
        });
}

// The kernel's rule, pixel by pixel: a transparent pixel becomes the element,
// a full one stays when keepOpaque, and the first other pixel stops the run.
template <class P>
A_long byRule(P* row, A_long n, const P& element, bool keepOpaque) {
    for (A_long i = 0; i < n; ++i) {
        const auto a = row[i].alpha;
        if (a == 0)
            row[i] = element;
        else if (!(keepOpaque && a == raster::fullAlpha<P>()))
            return i;
    }
    return n;
}

// Runs of every length up to a few vectors at every offset into a row with
// guard pixels on both sides: the index the kernel stops at, the pixels it
// wrote and those it must leave.
template <class P>
void checkKernel(const char* depth) {
    Rng r;
    constexpr int kWidth = 160, kGuard = 20;
    for (int trial = 0; trial < 4000; ++trial) {
        const std::vector<P> top = topRow<P>(r, kWidth);
        const P e = element<P>(r);
        const bool keep = r.below(2) == 0;
        const int from = kGuard + r.below(24), n = 1 + r.below(kWidth - 2 * kGuard - 24);
        std::vector<P> want = top;
        const A_long stop = byRule(want.data() + from, n, e, keep);
        for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
            std::vector<P> got = top;
            const A_long at = runs::fillKernelAt<P>(static_cast<simd::Level>(level))(got.data() + from, n, e, keep);
            ASSERT_EQ(at, stop) << depth << ", trial " << trial << ", level " << level << ", run of " << n;
            ASSERT_EQ(std::memcmp(got.data(), want.data(), sizeof(P) * kWidth), 0)
                << depth << ", trial " << trial << ", level " << level << ", run of " << n << ", stop " << stop;
        }
    }
}

}  // namespace

TEST(RunKernels, KernelStopsAtTheFirstPixelThatNeedsABlend) {
    checkKernel<PF_Pixel>("8 bits");
    checkKernel<PF_Pixel16>("16 bits");
    checkKernel<PF_PixelFloat>("float");
}

TEST(RunKernels, InteriorRunsGiveThePerPixelBlendAtEveryLevel) {
    checkDepth<PF_Pixel>("8 bits");
    checkDepth<PF_Pixel16>("16 bits");
    checkDepth<PF_PixelFloat>("float");
}

// The store kernel writes exactly row[0, n) at any start within a vector
// (its aligned body and masked ends) and nothing before or after.
namespace {
template <class P>
void checkStore(simd::Level level) {
    const runs::StoreFn<P> store = runs::storeKernelAt<P>(level);
    Rng r;
    const P element = topPixel<P>(r, 2);
    for (int start = 0; start < 17; ++start)
        for (int n = 0; n < 70; ++n) {
            std::vector<P> row(96);
            for (P& p : row) p = topPixel<P>(r, 1);
            const std::vector<P> before = row;
            store(row.data() + start, n, element);
            for (int k = 0; k < 96; ++k) {
                const P& want = k >= start && k < start + n ? element : before[static_cast<std::size_t>(k)];
                ASSERT_EQ(std::memcmp(&row[static_cast<std::size_t>(k)], &want, sizeof(P)), 0)
                    << "start " << start << ", n " << n << ", pixel " << k;
            }
        }
}
}  // namespace

TEST(RunKernels, StoreWritesTheRunAndNothingElse) {
    for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
        SCOPED_TRACE("vector level " + std::to_string(level));
        checkStore<PF_Pixel>(static_cast<simd::Level>(level));
        checkStore<PF_Pixel16>(static_cast<simd::Level>(level));
        checkStore<PF_PixelFloat>(static_cast<simd::Level>(level));
    }
}
