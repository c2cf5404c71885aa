// Cost of one map sample through the simulated host, and of the host's box
// average at growing radii (the summed-area table keeps it flat).
#include "BenchHost.h"
#include "Sampling.h"
#include "VemaroMapSampling.h"
#include "World.h"

#include <benchmark/benchmark.h>

namespace {

void fillGradient(hostsim::World& w) {
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x)
            w.at<PF_Pixel>(x, y) = {255, static_cast<A_u_char>(x & 255), static_cast<A_u_char>(y & 255), 128};
}

void BM_MapColor2D(benchmark::State& state) {
    bench::Env& e = bench::env();
    hostsim::World map(1920, 1080, hostsim::Depth::Bits8);
    fillGradient(map);
    PF_SampPB pb{};
    pb.src = map.get();
    double x = 0;
    for (auto _ : state) {
        Color c;
        getMapColor2D(&e.in, e.suites, pb, 0, Vector(x, 0.37 * x), kMapWrapMirror, 1920, 1080, &c);
        benchmark::DoNotOptimize(c);
        x += 7.3;
    }
    e.host.get<hostsim::Sampling>().clearRequests();
}
BENCHMARK(BM_MapColor2D);

void BM_AreaSample(benchmark::State& state) {
    bench::Env& e = bench::env();
    const PF_Sampling8Suite1* suite = e.suites.Sampling8Suite1();
    hostsim::World map(1920, 1080, hostsim::Depth::Bits8);
    fillGradient(map);
    PF_SampPB pb{};
    pb.src = map.get();
    pb.x_radius = pb.y_radius = static_cast<A_long>(state.range(0)) * 65536;
    A_long x = 0;
    for (auto _ : state) {
        PF_Pixel p;
        suite->area_sample(nullptr, (x % 1920) * 65536, ((x / 3) % 1080) * 65536, &pb, &p);
        benchmark::DoNotOptimize(p);
        x += 13;
    }
    e.host.get<hostsim::Sampling>().clearRequests();
}
BENCHMARK(BM_AreaSample)->Arg(1)->Arg(8)->Arg(30);

}  // namespace
