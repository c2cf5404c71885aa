// The same random lines drawn into a 1920x1080 8-bit frame by our LineDrawer
// and by Cairo (the rotated rectangle filled); full lengths 16, 128 and 512
// pixels, full thicknesses 1, 4 and 16; and hard-edged (draft) lines against
// Cairo without anti-aliasing.
#include "BenchHost.h"
#include "VemaroLineDrawer.h"
#include "VemaroRenderHelpers.h"
#include "VemaroSimd.h"
#include "World.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr int kW = 1920, kH = 1080;

struct Bar {
    double x, y, halfLength, halfThickness, phase;
    float red, green, blue;
};

// Up to two million covered pixels per case: some tens of milliseconds.
int countFor(int length, int thickness) {
    const int n = 2000000 / (length * (thickness + 1));
    return n < 20 ? 20 : (n > 20000 ? 20000 : n);
}

const std::vector<Bar>& bars(int length, int thickness) {
    static std::map<std::pair<int, int>, std::vector<Bar>> cache;
    std::vector<Bar>& v = cache[{length, thickness}];
    if (v.empty()) {
        bench::Random rng(0x11e00000u + static_cast<uint32_t>(length * 64 + thickness));
        for (int i = 0, n = countFor(length, thickness); i < n; ++i) {
            Bar b;
            b.x = rng.uniform(0, kW);
            b.y = rng.uniform(0, kH);
            b.halfLength = 0.5 * length * rng.uniform(0.8, 1.2);
            b.halfThickness = 0.5 * thickness;
            b.phase = rng.uniform(0, M_PI);
            b.red = static_cast<float>(rng.uniform(0, 1));
            b.green = static_cast<float>(rng.uniform(0, 1));
            b.blue = static_cast<float>(rng.uniform(0, 1));
            v.push_back(b);
        }
    }
    return v;
}

// With `record`, the drawing is told the frame is clear (as the frame driver
// tells it after clearing a strip), the record reset with the clearing.
void draw(benchmark::State& state, simd::Level level, unsigned char draft, bool record = true) {
    simd::setLevelCap(level);
    bench::Env& e = bench::env();
    e.threads(1);
    const int length = static_cast<int>(state.range(0)), thickness = static_cast<int>(state.range(1));
    hostsim::World frame(kW, kH, hostsim::Depth::Bits8, 0);
    std::vector<LineDrawer::Pattern> patterns;
    for (const Bar& b : bars(length, thickness)) {
        LineDrawer::Pattern p;
        p.x = b.x;
        p.y = b.y;
        p.halfLength = b.halfLength;
        p.halfThickness = b.halfThickness;
        p.phase = b.phase;
        p.fill = {1.0f, b.red, b.green, b.blue};
        patterns.push_back(p);
    }
    raster::KnownClear known;
    for (auto _ : state) {
        state.PauseTiming();
        frame.fill(PF_Pixel{0, 0, 0, 0});
        known.reset(0, kH);
        state.ResumeTiming();
        for (const LineDrawer::Pattern& p : patterns) {
            LineDrawer d(&e.in, e.suites, draft, frame.get(), 0, p);
            if (record) d.known = &known;
            if (d.doRender()) iterateGeneric(&e.in, e.suites, &d, 1);
        }
        benchmark::ClobberMemory();
    }
    simd::setLevelCap(simd::Level::Avx512);
}

void ours(benchmark::State& state, simd::Level level) { draw(state, level, 0); }
// Not told the frame is clear.
void oursUnknown(benchmark::State& state) { draw(state, simd::Level::Avx512, 0, false); }
// Hard-edged: whole pixels whose centres lie inside.
void oursDraft(benchmark::State& state, simd::Level level) { draw(state, level, 1); }

void fill(benchmark::State& state, cairo_antialias_t antialias) {
    const int length = static_cast<int>(state.range(0)), thickness = static_cast<int>(state.range(1));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, antialias);
    unsigned char* data = cairo_image_surface_get_data(s);
    const std::size_t bytes = std::size_t(cairo_image_surface_get_stride(s)) * kH;
    for (auto _ : state) {
        state.PauseTiming();
        cairo_surface_flush(s);
        std::memset(data, 0, bytes);
        cairo_surface_mark_dirty(s);
        state.ResumeTiming();
        for (const Bar& b : bars(length, thickness)) {
            const double c = std::cos(b.phase), sn = std::sin(b.phase);
            const double L = b.halfLength, T = b.halfThickness;
            cairo_set_source_rgb(cr, b.red, b.green, b.blue);
            cairo_move_to(cr, b.x + 0.5 + L * c - T * sn, b.y + 0.5 + L * sn + T * c);
            cairo_line_to(cr, b.x + 0.5 + L * c + T * sn, b.y + 0.5 + L * sn - T * c);
            cairo_line_to(cr, b.x + 0.5 - L * c + T * sn, b.y + 0.5 - L * sn - T * c);
            cairo_line_to(cr, b.x + 0.5 - L * c - T * sn, b.y + 0.5 - L * sn + T * c);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        cairo_surface_flush(s);
        benchmark::ClobberMemory();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

void cairo(benchmark::State& state) { fill(state, CAIRO_ANTIALIAS_DEFAULT); }
// Pixels in or out by their centres, as the hard-edged lines.
void cairoAliased(benchmark::State& state) { fill(state, CAIRO_ANTIALIAS_NONE); }

// One size of a drawing, timed in milliseconds of real time.
void sized(benchmark::internal::Benchmark* b, int length, int thickness) {
    b->Args({length, thickness})->Unit(benchmark::kMillisecond)->UseRealTime();
}

const bool registered = [] {
    for (int length : {4, 16, 128, 512, 1024})
        for (int thickness : {1, 4, 16, 64}) {
            sized(benchmark::RegisterBenchmark("Line/ours", ours, simd::Level::Avx512), length, thickness);
            sized(benchmark::RegisterBenchmark("Line/cairo", cairo), length, thickness);
            const std::string arg = "/" + std::to_string(length) + "/" + std::to_string(thickness);
            bench::addRatio("lines " + std::to_string(length) + "x" + std::to_string(thickness) + " ours/cairo",
                            "Line/ours" + arg, "Line/cairo" + arg);
        }
    // The same drawings not told the frame is clear.
    for (int length : {128, 1024})
        for (int thickness : {4, 64}) {
            sized(benchmark::RegisterBenchmark("Line/ours_unknown", oursUnknown), length, thickness);
            const std::string arg = "/" + std::to_string(length) + "/" + std::to_string(thickness);
            bench::addRatio(
                "lines " + std::to_string(length) + "x" + std::to_string(thickness) + " known clear/unknown",
                "Line/ours" + arg, "Line/ours_unknown" + arg);
        }
    // The same drawings with the pixel loops held to the portable path.
    for (int length : {16, 512})
        for (int thickness : {1, 16}) {
            sized(benchmark::RegisterBenchmark("Line/ours_portable", ours, simd::Level::Portable), length, thickness);
            const std::string arg = "/" + std::to_string(length) + "/" + std::to_string(thickness);
            bench::addRatio(
                "lines " + std::to_string(length) + "x" + std::to_string(thickness) + " widest vector level/portable",
                "Line/ours" + arg, "Line/ours_portable" + arg);
        }
    // Hard-edged lines against Cairo without anti-aliasing, and on the
    // portable path.
    for (int length : {16, 128, 1024})
        for (int thickness : {1, 16}) {
            const std::string arg = "/" + std::to_string(length) + "/" + std::to_string(thickness);
            const std::string size = std::to_string(length) + "x" + std::to_string(thickness);
            for (auto [name, level] : {std::pair<const char*, simd::Level>{"Line/draft_ours", simd::Level::Avx512},
                                       {"Line/draft_ours_portable", simd::Level::Portable}})
                sized(benchmark::RegisterBenchmark(name, oursDraft, level), length, thickness);
            sized(benchmark::RegisterBenchmark("Line/draft_cairo", cairoAliased), length, thickness);
            bench::addRatio("draft lines " + size + " ours/cairo (no anti-aliasing)", "Line/draft_ours" + arg,
                            "Line/draft_cairo" + arg);
            bench::addRatio("draft lines " + size + " widest vector level/portable", "Line/draft_ours" + arg,
                            "Line/draft_ours_portable" + arg);
        }
    return true;
}();

}  // namespace
