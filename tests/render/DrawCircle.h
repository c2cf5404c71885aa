// Runs one CircleDrawer the way the drawing driver does.
#pragma once

#include "RenderFixture.h"
#include "VemaroCircleDrawer.h"
#include "VemaroRasteriser.h"
#include "VemaroSimd.h"
#include "World.h"

#include <gtest/gtest.h>

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
