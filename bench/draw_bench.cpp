// Whole drawings through ShapeDrawer::draw: random filled circles of radius
// 128 and 512 on a 1920x1080 8-bit frame that the drawing clears itself, at
// 1, 2, 4 and 8 host threads; the ratio table shows the speed-up per thread
// count.
#include "BenchHost.h"
#include "VemaroDrawer.h"
#include "VemaroTransitionAnimator.h"
#include "World.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kW = 1920, kH = 1080;
constexpr int kThreads[] = {1, 2, 4, 8};

Parameters circles(int radius) {
    Parameters p{};
    p.pattern = 1;
    p.transformScale = 1;
    p.transitionScale = 1;
    p.transitionOpacity = 1;
    p.transitionOrder = 1;
    p.transitionColor = Color{0, 0, 1, 1};
    p.repeaterType = 1;
    p.blendingMode = 1;
    p.shapeNumber = 1;
    p.shapeWeights[0] = 1;
    p.shapeWeightTotal = 1;
    Parameters::Shape& s = p.shapes[0];
    s.type = 2;
    s.size = 2.0 * radius;
    s.minimumScale = 0.8;
    s.minimumWidth = s.minimumHeight = s.minimumOpacity = 1;
    s.width = s.height = 1;
    s.opacity = 1;
    s.fillStroke = 1;
    s.color = s.strokeColor = Color{1, 0.3f, 0.6f, 0.9f};
    s.randomizeColor = Color{0, 180, 0.3f, 0.3f};
    s.times = 1;
    s.priority = 1;
    s.toner = 1;
    s.layerSampling = 1;
    s.randomizeLayerSampling = 1;
    return p;
}

void draw(benchmark::State& state, int threads) {
    bench::Env& e = bench::env();
    e.threads(threads);
    const int radius = static_cast<int>(state.range(0));
    const Parameters record = circles(radius);
    const TransitionAnimator animator;
    hostsim::World frame(kW, kH, hostsim::Depth::Bits8, 0);
    bench::Random rng(0x5eed0000u + static_cast<uint32_t>(radius));
    std::vector<ShapeDrawer::Pattern> elements;
    for (int n = 0, count = radius >= 512 ? 8 : 40; n < count; ++n) {
        ShapeDrawer::Pattern p;
        p.position = {rng.uniform(0, kW), rng.uniform(0, kH)};
        p.i = n;
        elements.push_back(p);
    }
    for (auto _ : state) {
        ShapeDrawer d(0, &e.in, e.suites, nullptr, nullptr, frame.get(), 0, record, animator, 0);
        d.patterns = elements;
        d.frameWork.clear = true;
        if (d.draw() != PF_Err_NONE) {
            state.SkipWithError("draw failed");
            break;
        }
        benchmark::ClobberMemory();
    }
}

const bool registered = [] {
    for (int r : {128, 512}) {
        const std::string base = "Draw/circles/r" + std::to_string(r) + "/threads:";
        for (int t : kThreads)
            benchmark::RegisterBenchmark((base + std::to_string(t)).c_str(), draw, t)
                ->Arg(r)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        for (int t : kThreads)
            if (t > 1)
                bench::addRatio("draw circles r" + std::to_string(r) + ", 1 thread / " + std::to_string(t) + " threads",
                                base + "1/" + std::to_string(r), base + std::to_string(t) + "/" + std::to_string(r));
    }
    return true;
}();

}  // namespace
