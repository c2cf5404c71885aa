// Runs one CircleDrawer the way the drawing driver does.
#pragma once

#include "RenderFixture.h"
#include "VemaroCircleDrawer.h"
#include "VemaroKnownClear.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"
#include "World.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

// threads < 1: the host's thread count.
inline PF_Err drawCircle(PF_InData* in, AEGP_SuiteHandler& suites, hostsim::World& w, const CircleDrawer::Pattern& p,
                         bool draft = false, int threads = 1) {
    return drawElement<CircleDrawer>(in, suites, w, p, draft, threads);
}

inline CircleDrawer::Pattern circle(double x, double y, double radius, int fillMode = 1, double inner = 0.0,
                                    double strokeWidth = 0.0, double opacity = 1.0) {
    CircleDrawer::Pattern p;
    p.x = x;
    p.y = y;
    p.radius = radius;
    p.fillMode = fillMode;
    p.innerRadius = inner;
    p.strokeWidth = strokeWidth;
    p.opacity = opacity;
    p.fill = Color{1.0f, 1.0f, 1.0f, 1.0f};
    p.stroke = Color{1.0f, 0.0f, 0.0f, 1.0f};
    return p;
}

// Runs f once per vector level the processor has, the level capped to it.
template <class F>
void atEveryLevel(F f) {
    for (int level = 0; level <= static_cast<int>(simd::supported()); ++level) {
        simd::setLevelCap(static_cast<simd::Level>(level));
        SCOPED_TRACE("vector level " + std::to_string(level));
        ASSERT_EQ(static_cast<int>(simd::level()), level);
        f();
    }
    simd::setLevelCap(simd::Level::Avx512);
}

// Numbers in [0, 1), xorshift from a seed.
struct Uniform {
    uint32_t s;
    double operator()() {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        return s / 4294967296.0;
    }
};

// Rows [0, height) with a pixel outside its row's hull that is not all zeros.
inline int untrueRows(const hostsim::World& w, const raster::KnownClear& known) {
    const std::size_t size = hostsim::pixelSize(w.depth());
    int rows = 0;
    for (int y = 0; y < w.height(); ++y) {
        const unsigned char* row = w.row<unsigned char>(y);
        const raster::KnownClear::Hull h = known.hull(y);
        bool clear = true;
        for (int x = 0; x < w.width() && clear; ++x)
            if (x < h.lo || x >= h.hi)
                for (std::size_t b = 0; b < size; ++b) clear = clear && row[x * size + b] == 0;
        rows += clear ? 0 : 1;
    }
    return rows;
}

// Rows [0, height) with a column of the record's opaque spans whose pixel is
// not of full alpha.
inline int untrueOpaqueRows(const hostsim::World& w, const raster::KnownClear& known) {
    using hostsim::Depth;
    int rows = 0;
    for (int y = 0; y < w.height(); ++y) {
        bool opaque = true;
        for (const raster::KnownClear::Hull& o : known.opaque(y))
            for (A_long x = o.lo < 0 ? 0 : o.lo; x < o.hi && x < w.width() && opaque; ++x) {
                if (w.depth() == Depth::Bits8) opaque = w.at<PF_Pixel>(x, y).alpha == 255;
                if (w.depth() == Depth::Bits16) opaque = w.at<PF_Pixel16>(x, y).alpha == 32768;
                if (w.depth() == Depth::Float) opaque = w.at<PF_PixelFloat>(x, y).alpha == 1.0f;
            }
        rows += opaque ? 0 : 1;
    }
    return rows;
}

// Rows whose record calls some column opaque.
inline int opaqueRows(const hostsim::World& w, const raster::KnownClear& known) {
    int rows = 0;
    for (int y = 0; y < w.height(); ++y) rows += known.opaque(y).count > 0 ? 1 : 0;
    return rows;
}

// Runs of transparent, opaque and partly transparent pixels, as drawings have
// them, of random colours.
inline void fillWithRuns(hostsim::World& w, uint32_t seed) {
    using hostsim::Depth;
    std::mt19937 g(seed);
    int kind = 0, left = 0;
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            if (left-- == 0) {
                kind = static_cast<int>(g() % 3);
                left = static_cast<int>(g() % 48);
            }
            const double a = kind == 0 ? 0.0 : (kind == 1 ? 1.0 : (g() % 1000) / 1000.0);
            const Color c{static_cast<float>(a), (g() % 1000) / 1000.0f, (g() % 1000) / 1000.0f,
                          (g() % 1000) / 1000.0f};
            switch (w.depth()) {
                case Depth::Bits8: w.at<PF_Pixel>(x, y) = raster::Depth<PF_Pixel>::fromColor(c); break;
                case Depth::Bits16: w.at<PF_Pixel16>(x, y) = raster::Depth<PF_Pixel16>::fromColor(c); break;
                default: w.at<PF_PixelFloat>(x, y) = raster::Depth<PF_PixelFloat>::fromColor(c); break;
            }
        }
}

// After a step of drawing with the record into `told`: the bytes those of
// `plain`, drawn without it, and the record true; `kept` counts the rows the
// record calls partly opaque.
inline bool recordStep(const hostsim::World& told, const hostsim::World& plain, const raster::KnownClear& known,
                       const std::string& what, int& kept) {
    const std::string at = "depth " + std::to_string(static_cast<int>(told.depth())) + ", " + what;
    EXPECT_TRUE(sameWorld(told, plain)) << at;
    EXPECT_EQ(untrueOpaqueRows(told, known), 0) << at;
    EXPECT_EQ(untrueRows(told, known), 0) << at;
    kept += opaqueRows(told, known);
    return !::testing::Test::HasFailure();
}
// The record is kept where the depth lets it be.
inline void expectKept(const hostsim::World& told, int kept) {
    if (told.depth() == hostsim::Depth::Bits16) {
        EXPECT_EQ(kept, 0);
    } else {
        EXPECT_GT(kept, 0);
    }
    EXPECT_TRUE(told.paddingUntouched());
}

// Sixty overlapping elements at every level and depth in a 300 x 160 world:
// element(k, next, told, plain, record) draws element k into `told` with the
// record and by the plain per-pixel rule into `plain`; every tenth step puts
// another drawing's pixels (runs from `seed`) over a block of rows instead.
// After each step both hold the same bytes and the record is true; at 8 bits
// and in float it has called some columns opaque, at 16 bits none.
template <class Element>
void overlappingWithTheRecord(uint32_t seed, uint32_t runsSeed, Element element) {
    using hostsim::Depth;
    using hostsim::World;
    atEveryLevel([&] {
        Uniform next{seed};
        for (Depth depth : {Depth::Bits8, Depth::Float, Depth::Bits16}) {
            const int W = 300, H = 160;
            World told(W, H, depth), plain(W, H, depth), runs(W, H, depth);
            fillWithRuns(runs, runsSeed);
            raster::KnownClear known;
            known.reset(0, H);
            const std::size_t size = hostsim::pixelSize(depth);
            int kept = 0;
            for (int k = 0; k < 60; ++k) {
                if (k % 10 == 9) {
                    const A_long x0 = static_cast<A_long>(next() * W), y0 = static_cast<A_long>(next() * H);
                    const PF_LRect r{x0, y0, std::min<A_long>(W, x0 + 40), std::min<A_long>(H, y0 + 30)};
                    for (int y = r.top; y < r.bottom; ++y)
                        for (World* w : {&told, &plain})
                            std::memcpy(w->row<unsigned char>(y) + r.left * size,
                                        runs.row<unsigned char>(y) + r.left * size, (r.right - r.left) * size);
                    known.widen(r);
                    continue;
                }
                element(k, next, told, plain, known);
                if (!recordStep(told, plain, known, "element " + std::to_string(k), kept)) return;
            }
            expectKept(told, kept);
        }
    });
}
