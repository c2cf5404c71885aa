// The same random filled circles drawn into a 1920x1080 8-bit frame by our
// CircleDrawer, by Cairo and by AGG; radius classes 2, 8, 32, 128 and 512
// pixels.
#include "BenchHost.h"
#include "VemaroCircleDrawer.h"
#include "VemaroRenderHelpers.h"
#include "VemaroSimd.h"
#include "World.h"

#include <agg_ellipse.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_p.h>
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kW = 1920, kH = 1080;

struct Disc {
    double x, y, r;
    float red, green, blue;
};

// Enough circles per class for a few milliseconds of work.
int countFor(int radius) {
    switch (radius) {
        case 2: return 20000;
        case 8: return 4000;
        case 32: return 400;
        case 128: return 40;
        default: return 4;
    }
}

const std::vector<Disc>& discs(int radius) {
    static std::vector<Disc> cache[5];
    std::vector<Disc>& v = cache[radius == 2 ? 0 : radius == 8 ? 1 : radius == 32 ? 2 : radius == 128 ? 3 : 4];
    if (v.empty()) {
        bench::Random rng(0x5eed0000u + static_cast<uint32_t>(radius));
        for (int i = 0, n = countFor(radius); i < n; ++i) {
            Disc d;
            d.x = rng.uniform(0, kW);
            d.y = rng.uniform(0, kH);
            d.r = radius * rng.uniform(0.8, 1.2);
            d.red = static_cast<float>(rng.uniform(0, 1));
            d.green = static_cast<float>(rng.uniform(0, 1));
            d.blue = static_cast<float>(rng.uniform(0, 1));
            v.push_back(d);
        }
    }
    return v;
}

// With `record`, the drawing is told the frame is clear (as the frame driver
// tells it after clearing a strip), the record reset with the clearing.
void ours(benchmark::State& state, int threads, simd::Level level, bool record) {
    simd::setLevelCap(level);
    bench::Env& e = bench::env();
    e.threads(threads);
    const int radius = static_cast<int>(state.range(0));
    hostsim::World frame(kW, kH, hostsim::Depth::Bits8, 0);
    std::vector<CircleDrawer::Pattern> patterns;
    for (const Disc& d : discs(radius)) {
        CircleDrawer::Pattern p;
        p.x = d.x;
        p.y = d.y;
        p.radius = d.r;
        p.fill = {1.0f, d.red, d.green, d.blue};
        patterns.push_back(p);
    }
    // The bands own disjoint rows: one record serves them all.
    raster::KnownClear known;
    for (auto _ : state) {
        state.PauseTiming();
        frame.fill(PF_Pixel{0, 0, 0, 0});
        known.reset(0, kH);
        state.ResumeTiming();
        for (const CircleDrawer::Pattern& p : patterns) {
            CircleDrawer d(&e.in, e.suites, 0, frame.get(), 0, p);
            if (record) d.known = &known;
            if (d.doRender()) iterateGeneric(&e.in, e.suites, &d, d.doMultithread(threads) ? threads : 1);
        }
        benchmark::ClobberMemory();
    }
    simd::setLevelCap(simd::Level::Avx512);
}

void cairo(benchmark::State& state) {
    const int radius = static_cast<int>(state.range(0));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cairo_t* cr = cairo_create(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const std::size_t bytes = std::size_t(cairo_image_surface_get_stride(s)) * kH;
    for (auto _ : state) {
        state.PauseTiming();
        cairo_surface_flush(s);
        std::memset(data, 0, bytes);
        cairo_surface_mark_dirty(s);
        state.ResumeTiming();
        for (const Disc& d : discs(radius)) {
            cairo_set_source_rgb(cr, d.red, d.green, d.blue);
            cairo_arc(cr, d.x + 0.5, d.y + 0.5, d.r, 0, 2 * M_PI);
            cairo_fill(cr);
        }
        cairo_surface_flush(s);
        benchmark::ClobberMemory();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

void agg(benchmark::State& state) {
    const int radius = static_cast<int>(state.range(0));
    std::vector<unsigned char> buffer(std::size_t(kW) * kH * 4);
    agg::rendering_buffer rbuf(buffer.data(), kW, kH, kW * 4);
    agg::pixfmt_rgba32 pixf(rbuf);
    agg::renderer_base<agg::pixfmt_rgba32> rb(pixf);
    agg::rasterizer_scanline_aa<> ras;
    agg::scanline_p8 sl;
    for (auto _ : state) {
        state.PauseTiming();
        std::memset(buffer.data(), 0, buffer.size());
        state.ResumeTiming();
        for (const Disc& d : discs(radius)) {
            agg::ellipse circle(d.x + 0.5, d.y + 0.5, d.r, d.r);
            ras.reset();
            ras.add_path(circle);
            agg::render_scanlines_aa_solid(ras, sl, rb, agg::rgba8(agg::rgba(d.red, d.green, d.blue)));
        }
        benchmark::ClobberMemory();
    }
}

const int kRadii[] = {2, 8, 32, 128, 512};

const bool registered = [] {
    for (int r : kRadii) {
        benchmark::RegisterBenchmark("Circle/ours", ours, 1, simd::Level::Avx512, true)
            ->Arg(r)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("Circle/cairo", cairo)->Arg(r)->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark("Circle/agg", agg)->Arg(r)->Unit(benchmark::kMillisecond)->UseRealTime();
        const std::string arg = "/" + std::to_string(r);
        bench::addRatio("circles r" + std::to_string(r) + " ours/cairo", "Circle/ours" + arg, "Circle/cairo" + arg);
        bench::addRatio("circles r" + std::to_string(r) + " ours/agg", "Circle/ours" + arg, "Circle/agg" + arg);
        // The same drawing with the pixel loops held to the portable path.
        benchmark::RegisterBenchmark("Circle/ours_portable", ours, 1, simd::Level::Portable, true)
            ->Arg(r)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        bench::addRatio("circles r" + std::to_string(r) + " widest vector level/portable", "Circle/ours" + arg,
                        "Circle/ours_portable" + arg);
        // The same drawing not told the frame is clear.
        benchmark::RegisterBenchmark("Circle/ours_unknown", ours, 1, simd::Level::Avx512, false)
            ->Arg(r)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        bench::addRatio("circles r" + std::to_string(r) + " known clear/unknown", "Circle/ours" + arg,
                        "Circle/ours_unknown" + arg);
    }
    // Large circles on the host's threads, each circle its own launch split
    // by the rasteriser's doMultithread: the schedule frames no longer use
    // (they draw in one launch; see draw_bench.cpp's "draw circles" rows).
    for (int r : {128, 512})
        for (int t : {2, 4, 8}) {
            const std::string name = "Circle/ours_threads" + std::to_string(t);
            const std::string arg = "/" + std::to_string(r);
            benchmark::RegisterBenchmark(name.c_str(), ours, t, simd::Level::Avx512, true)
                ->Arg(r)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            bench::addRatio(
                "circles r" + std::to_string(r) + " a launch per circle, 1 thread / " + std::to_string(t) + " threads",
                "Circle/ours" + arg, name + arg);
        }
    return true;
}();

}  // namespace
