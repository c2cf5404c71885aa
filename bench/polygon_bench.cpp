// The same random filled polygons and stars drawn into a 1920x1080 8-bit
// frame by our PolygonDrawer and by Cairo; radius classes 2 to 512 pixels,
// filled and with a stroke.
#include "BenchHost.h"
#include "VemaroPolygonDrawer.h"
#include "VemaroRenderHelpers.h"
#include "World.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1920, kH = 1080;

struct Shape {
    double x, y, r, starness, phase;
    int sides;
    float red, green, blue;
};

// Enough shapes per class for a few milliseconds of work.
int countFor(int radius) {
    return radius <= 2 ? 20000 : radius <= 8 ? 4000 : radius <= 32 ? 400 : radius <= 128 ? 40 : 4;
}

std::vector<Shape> shapes(int radius) {
    std::vector<Shape> v;
    bench::Random rng(0x9017u + static_cast<uint32_t>(radius));
    for (int i = 0, n = countFor(radius); i < n; ++i) {
        Shape s;
        s.x = rng.uniform(0, kW);
        s.y = rng.uniform(0, kH);
        s.r = radius * rng.uniform(0.8, 1.2);
        s.sides = 3 + static_cast<int>(rng.uniform(0, 10));
        s.starness = i % 2 ? rng.uniform(0, 0.6) : 0.0;
        s.phase = rng.uniform(0, 6.28);
        s.red = static_cast<float>(rng.uniform(0, 1));
        s.green = static_cast<float>(rng.uniform(0, 1));
        s.blue = static_cast<float>(rng.uniform(0, 1));
        v.push_back(s);
    }
    return v;
}

// state.range(1): stroke width (0: fill only). With `record`, the drawing is
// told the frame is clear (as the frame driver tells it after clearing a
// strip), the record reset with the clearing.
void ours(benchmark::State& state, bool record) {
    bench::Env& e = bench::env();
    e.threads(1);
    const int radius = static_cast<int>(state.range(0));
    const double stroke = static_cast<double>(state.range(1));
    hostsim::World frame(kW, kH, hostsim::Depth::Bits8, 0);
    std::vector<PolygonDrawer::Pattern> patterns;
    for (const Shape& s : shapes(radius)) {
        PolygonDrawer::Pattern p;
        p.x = s.x;
        p.y = s.y;
        p.radius = s.r;
        p.sides = s.sides;
        p.starness = s.starness;
        p.phase = s.phase;
        p.fill = {1.0f, s.red, s.green, s.blue};
        p.stroke = {1.0f, s.blue, s.red, s.green};
        p.fillMode = stroke > 0 ? 3 : 1;
        p.strokeWidth = stroke;
        patterns.push_back(p);
    }
    raster::KnownClear known;
    for (auto _ : state) {
        state.PauseTiming();
        frame.fill(PF_Pixel{0, 0, 0, 0});
        known.reset(0, kH);
        state.ResumeTiming();
        for (const PolygonDrawer::Pattern& p : patterns) {
            PolygonDrawer d(&e.in, e.suites, 0, frame.get(), 0, p);
            if (record) d.known = &known;
            if (d.doRender()) iterateGeneric(&e.in, e.suites, &d, 1);
        }
        benchmark::ClobberMemory();
    }
}

void tracePath(cairo_t* cr, const Shape& s, double r) {
    for (int k = 0; k < s.sides; ++k) {
        const double a0 = M_PI / 2 - s.phase + k * 2 * M_PI / s.sides, a1 = a0 + 2 * M_PI / s.sides;
        const double ox = r * std::cos(a0), oy = r * std::sin(a0), nx = r * std::cos(a1), ny = r * std::sin(a1);
        const double ix = (ox + nx) / 2 * (1 - s.starness), iy = (oy + ny) / 2 * (1 - s.starness);
        if (k == 0)
            cairo_move_to(cr, s.x + ox + 0.5, s.y - oy + 0.5);
        else
            cairo_line_to(cr, s.x + ox + 0.5, s.y - oy + 0.5);
        cairo_line_to(cr, s.x + ix + 0.5, s.y - iy + 0.5);
    }
    cairo_close_path(cr);
}

void cairo(benchmark::State& state) {
    const int radius = static_cast<int>(state.range(0));
    const double stroke = static_cast<double>(state.range(1));
    const std::vector<Shape> v = shapes(radius);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
    cairo_t* cr = cairo_create(s);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_line_width(cr, 2 * stroke);
    unsigned char* data = cairo_image_surface_get_data(s);
    const std::size_t bytes = std::size_t(cairo_image_surface_get_stride(s)) * kH;
    for (auto _ : state) {
        state.PauseTiming();
        cairo_surface_flush(s);
        std::memset(data, 0, bytes);
        cairo_surface_mark_dirty(s);
        state.ResumeTiming();
        for (const Shape& p : v) {
            tracePath(cr, p, p.r);
            if (stroke > 0) {
                cairo_set_source_rgb(cr, p.blue, p.red, p.green);
                cairo_stroke_preserve(cr);
            }
            cairo_set_source_rgb(cr, p.red, p.green, p.blue);
            cairo_fill(cr);
        }
        cairo_surface_flush(s);
        benchmark::ClobberMemory();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

const bool registered = [] {
    for (int r : {2, 8, 32, 128, 512})
        for (int w : {0, 3}) {
            benchmark::RegisterBenchmark("Polygon/ours", ours, true)
                ->Args({r, w})
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark("Polygon/cairo", cairo)
                ->Args({r, w})
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            const std::string arg = "/" + std::to_string(r) + "/" + std::to_string(w);
            bench::addRatio("polygons r" + std::to_string(r) + (w ? " stroked" : "") + " ours/cairo",
                            "Polygon/ours" + arg, "Polygon/cairo" + arg);
            // The same drawing not told the frame is clear.
            if (w) continue;
            benchmark::RegisterBenchmark("Polygon/ours_unknown", ours, false)
                ->Args({r, w})
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            bench::addRatio("polygons r" + std::to_string(r) + " known clear/unknown", "Polygon/ours" + arg,
                            "Polygon/ours_unknown" + arg);
        }
    return true;
}();

}  // namespace
