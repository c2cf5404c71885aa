// Poisson-disk scattering over a full-HD layer, the per-element cost of the
// hash, the transform and the easing that every layout pays for each element,
// and whole element lists of the largest ordinary frames.
#include "BenchHost.h"
#include "Parameters.h"
#include "Params.h"
#include "VemaroDrawer.h"
#include "VemaroEasing.h"
#include "VemaroPatternHash.h"
#include "VemaroPoissonDisk.h"
#include "VemaroTransformer.h"
#include "VemaroTransitionAnimator.h"
#include "World.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

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

// The element list of one frame at the sizes where fixed element counts used
// to refuse or drop work; the counters give the elements kept and the bytes
// their records take.
enum LayoutCase { kGrid4k, kTriangular4k, kGridGrownMargin, kRandomExpanded };

// The mappers read the effect's hidden curves: the effect must be loaded and
// its parameters registered, once.
bool effectLoaded(bench::Env& e) {
    static const bool loaded = [&] {
        std::string error;
        return e.host.load(VEMARO_MODULE_PATH, &error) && e.host.globalSetup() == PF_Err_NONE &&
               e.host.get<hostsim::Params>().setup() == PF_Err_NONE;
    }();
    return loaded;
}

void layoutOfFrame(benchmark::State& state) {
    bench::Env& e = bench::env();
    if (!effectLoaded(e)) {
        state.SkipWithError("the effect did not load");
        return;
    }
    // No transition, no maps, no displacement: the layout's own work.
    Parameters p{};
    p.transitionScale = 1;
    p.transformScale = 1;
    p.repeaterType = 1;
    p.shapeNumber = 1;
    p.shapeWeights[0] = 1;
    p.shapeWeightTotal = 1;
    p.shapes[0].type = 2;
    p.shapes[0].size = 100;
    p.shapes[0].fillStroke = 1;
    p.shapes[0].times = 1;
    p.cycle = 1;
    p.gridMode = 1;
    p.gridWidth = 150;
    p.triangularGridRadius = 150;
    p.triangularGridHeight = 1;
    int width = 3840, height = 2160;
    switch (state.range(0)) {
        case kGrid4k:
            p.pattern = 6;
            p.transformScale = 0.005;
            break;
        case kTriangular4k:
            p.pattern = 8;
            p.transformScale = 0.005;
            break;
        case kGridGrownMargin:
            p.pattern = 6;
            width = 640, height = 360;
            p.gridWidth = 10;
            p.transitionScale = 100;
            break;
        default:
            p.pattern = 12;
            width = 1920, height = 1080;
            p.randomMode = 1;
            p.randomDistance = 2;
            p.randomExpansion = 2000;
            p.randomScale = 1;
            p.randomOrder = 0;
            break;
    }
    p.gridCenter = p.triangularGridCenter = {width / 2.0, height / 2.0};
    PF_InData in = e.host.nextInData();
    in.width = width;
    in.height = height;
    in.downsample_x = in.downsample_y = {1, 1};
    // Any stable address serves as the effect reference.
    const AEGP_EffectRefH effect = reinterpret_cast<AEGP_EffectRefH>(&p);
    TransitionAnimator animator;
    animator.pluginId = e.host.pluginId();
    animator.effect = effect;
    animator.in_data = &in;
    animator.suites = &e.suites;
    animator.params = &p;
    hostsim::World output(width, height, hostsim::Depth::Bits8);
    std::size_t kept = 0;
    PF_Err err = PF_Err_NONE;
    for (auto _ : state) {
        auto drawer = std::make_unique<ShapeDrawer>(e.host.pluginId(), &in, e.suites, effect, nullptr, output.get(), 0,
                                                    p, animator, uint8_t(0));
        err = drawer->createPatterns();
        kept = drawer->patterns.size();
        benchmark::DoNotOptimize(drawer->patterns.data());
    }
    if (err) state.SkipWithError(("the layout was refused: " + std::to_string(err)).c_str());
    state.counters["elements"] = static_cast<double>(kept);
    state.counters["MB"] = static_cast<double>(kept * sizeof(ShapeDrawer::Pattern)) / 1e6;
}
BENCHMARK(layoutOfFrame)
    ->ArgName("case")
    ->Arg(kGrid4k)
    ->Arg(kTriangular4k)
    ->Arg(kGridGrownMargin)
    ->Arg(kRandomExpanded)
    ->Iterations(1)
    ->Repetitions(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
