// Poisson-disk scattering over a full-HD layer, and the per-element cost of the
// hash, the transform and the easing that every layout pays for each element.
#include "VemaroEasing.h"
#include "VemaroPatternHash.h"
#include "VemaroPoissonDisk.h"
#include "VemaroTransformer.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void poissonFullHd(benchmark::State& state) {
    const double distance = static_cast<double>(state.range(0));
    std::size_t points = 0;
    for (auto _ : state) {
        PoissonDisk disk(1);
        const std::vector<Vector> pts = disk.sample({-960, -540}, {960, 540}, -1, distance, 50, false);
        points = pts.size();
        benchmark::DoNotOptimize(pts.data());
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(poissonFullHd)->Arg(10)->Arg(4)->Unit(benchmark::kMillisecond);

double hostSin(double v) { return std::sin(v); }
double hostFloor(double v) { return std::floor(v); }

void patternHashPerElement(benchmark::State& state) {
    PF_UtilCallbacks utils{};
    utils.ansi.sin = hostSin;
    utils.ansi.floor = hostFloor;
    PF_InData in{};
    in.utils = &utils;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(patternHash(&in, i, i >> 3, 1, {0.5, 2.0}));
        ++i;
    }
}
BENCHMARK(patternHashPerElement);

void transformPerElement(benchmark::State& state) {
    const Transformer t({960, 540}, {1000, 500}, 1.25, 0.3);
    Vector p{0, 0};
    for (auto _ : state) {
        p.x += 1.0;
        benchmark::DoNotOptimize(t.transform(p));
    }
}
BENCHMARK(transformPerElement);

void easingPerElement(benchmark::State& state) {
    const Easing e{static_cast<int32_t>(state.range(0)), Easing::InOut};
    double t = 0;
    for (auto _ : state) {
        t += 0.000123;
        if (t >= 1) t -= 1;
        benchmark::DoNotOptimize(e.get(t));
    }
}
BENCHMARK(easingPerElement)->Arg(Easing::Cubic)->Arg(Easing::Bounce)->Arg(Easing::Elastic);

}  // namespace
