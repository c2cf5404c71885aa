// Poisson-disk scattering over a full-HD layer, the per-element cost of the
// hash, the transform and the easing that every layout pays for each element,
// whole element lists of the largest ordinary frames, and whole frames of the
// settings at the ends of the ranges (--benchmark_filter=^Limits).
#include "BenchHost.h"
#include "ParamList.h"
#include "Parameters.h"
#include "Params.h"
#include "Scene.h"
#include "SmartRender.h"
#include "VemaroDrawer.h"
#include "VemaroEasing.h"
#include "VemaroPatternHash.h"
#include "VemaroPoissonDisk.h"
#include "VemaroTransformer.h"
#include "VemaroTransitionAnimator.h"
#include "World.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

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
    std::size_t kept = 0, reserved = 0;
    PF_Err err = PF_Err_NONE;
    for (auto _ : state) {
        auto drawer = std::make_unique<ShapeDrawer>(e.host.pluginId(), &in, e.suites, effect, nullptr, output.get(), 0,
                                                    p, animator, uint8_t(0));
        err = drawer->createPatterns();
        kept = drawer->patterns.size();
        reserved = drawer->patterns.capacity();
        benchmark::DoNotOptimize(drawer->patterns.data());
    }
    if (err) state.SkipWithError(("the layout was refused: " + std::to_string(err)).c_str());
    state.counters["elements"] = static_cast<double>(kept);
    state.counters["MB"] = static_cast<double>(kept * sizeof(ShapeDrawer::Pattern)) / 1e6;
    // What the list took: above MB only by the room left unused.
    state.counters["reservedMB"] = static_cast<double>(reserved * sizeof(ShapeDrawer::Pattern)) / 1e6;
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

// Whole frames through the module at the sizes where fixed counts used to
// refuse, drop or stall work: each is one long render, timed once.
struct LimitCase {
    const char* name;
    int width, height;
    const char* params;  // the scene's "params" section
};
const LimitCase kLimitCases[] = {
    {"RandomDistance2Expansion2000", 1920, 1080,
     R"([{"param": "pattern", "value": "Random"}, {"param": "randomDistance", "value": 2},
         {"param": "randomExpansion", "value": 2000}, {"param": "shape1.size", "value": 2}])"},
    {"GraphDelta1e-6Over10", 1920, 1080,
     R"([{"param": "pattern", "value": "Graph"}, {"param": "graphMode", "value": "Delta"},
         {"param": "graphDelta", "value": 0.000001}, {"param": "graphTo", "value": 10},
         {"param": "shape1.size", "value": 2}])"},
    {"GraphEqualize200000Detail10000", 1920, 1080,
     R"([{"param": "pattern", "value": "Graph"}, {"param": "graphNumber", "value": 200000},
         {"param": "graphDetail", "value": 10000}, {"param": "shape1.size", "value": 2}])"},
    {"Grid4kScale0.5", 3840, 2160,
     R"([{"param": "pattern", "value": "Grid"}, {"param": "transformScale", "value": 0.5}])"},
    {"TriangularGrid4kScale0.5", 3840, 2160,
     R"([{"param": "pattern", "value": "Triangular Grid"}, {"param": "transformScale", "value": 0.5}])"},
    {"GridWidth10Size100TransitionScale10000", 640, 360,
     R"([{"param": "pattern", "value": "Grid"}, {"param": "gridWidth", "value": 10},
         {"param": "shape1.size", "value": 100}, {"param": "transitionScale", "value": 10000}])"},
};

std::unique_ptr<hostsim::Host>& limitHost() {
    static std::unique_ptr<hostsim::Host> host;
    return host;
}

void limitFrame(benchmark::State& state, const LimitCase* c) {
    bench::takeHost([] { limitHost().reset(); });
    std::unique_ptr<hostsim::Host>& host = limitHost();
    host = std::make_unique<hostsim::Host>();
    std::string error;
    const nlohmann::json scene = {
        {"composition",
         {{"frameDuration", {1, 25}},
          {"bitDepth", 8},
          {"effectLayer", {{"name", "background"}, {"width", c->width}, {"height", c->height}, {"duration", 4}}}}},
        {"params", nlohmann::json::parse(c->params)}};
    if (host->load(VEMARO_MODULE_PATH, &error) && tools::setUpParams(*host, &error)) {
        scene::Context context{*host, c->name, {}, 0};
        try {
            scene::apply(scene, context);
        } catch (const scene::Error& e) {
            error = e.what();
        }
        if (error.empty() && host->sequenceSetup()) error = "sequence setup failed";
    }
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        host.reset();
        return;
    }
    PF_Err err = PF_Err_NONE;
    for (auto _ : state) {
        hostsim::SmartRenderCall call = host->get<hostsim::SmartRender>().render(0);
        err = call.preRenderErr ? call.preRenderErr : call.err;
        benchmark::DoNotOptimize(call.output->get()->data);
    }
    if (err) state.SkipWithError(("the frame was refused: " + std::to_string(err)).c_str());
}

const bool limitsRegistered = [] {
    for (const LimitCase& c : kLimitCases)
        benchmark::RegisterBenchmark((std::string("Limits/") + c.name).c_str(), limitFrame, &c)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    return true;
}();

}  // namespace
