// The Blender's opacity and blend passes over a 1920x1080 frame at each depth,
// single-threaded, against a plain memcpy of the same frame.
#include "BenchHost.h"
#include "VemaroBlender.h"
#include "World.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr int kW = 1920, kH = 1080;

hostsim::Depth depthOf(int bpc) { return static_cast<hostsim::Depth>(bpc); }

// Random straight-alpha pixels, alpha anywhere in range, so that the blend
// takes its general path.
void randomise(hostsim::World& w, uint32_t seed) {
    bench::Random rng(seed);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            switch (w.depth()) {
                case hostsim::Depth::Bits8:
                    w.at<PF_Pixel>(x, y) = {static_cast<A_u_char>(rng.next()), static_cast<A_u_char>(rng.next()),
                                            static_cast<A_u_char>(rng.next()), static_cast<A_u_char>(rng.next())};
                    break;
                case hostsim::Depth::Bits16:
                    w.at<PF_Pixel16>(x, y) = {
                        static_cast<A_u_short>(rng.next() % 32769), static_cast<A_u_short>(rng.next() % 32769),
                        static_cast<A_u_short>(rng.next() % 32769), static_cast<A_u_short>(rng.next() % 32769)};
                    break;
                case hostsim::Depth::Float:
                    w.at<PF_PixelFloat>(x, y) = {
                        static_cast<float>(rng.uniform(0, 1)), static_cast<float>(rng.uniform(0, 1)),
                        static_cast<float>(rng.uniform(0, 1)), static_cast<float>(rng.uniform(0, 1))};
                    break;
            }
        }
}

// A drawing as the drawers leave it: rows of transparent and opaque runs (8 to
// 400 pixels) meeting at one or two anti-aliased pixels.
void frameLike(hostsim::World& w, uint32_t seed) {
    randomise(w, seed);
    bench::Random rng(seed + 100);
    for (int y = 0; y < kH; ++y) {
        bool opaque = rng.next() % 2 != 0;
        for (int x = 0; x < kW;) {
            const int len = 8 + static_cast<int>(rng.next() % 393);
            const int edge = 1 + static_cast<int>(rng.next() % 2);
            for (int k = x; k < x + len && k < kW; ++k) {
                if (k >= x + len - edge) continue;  // keeps its random alpha
                switch (w.depth()) {
                    case hostsim::Depth::Bits8: w.at<PF_Pixel>(k, y).alpha = opaque ? 255 : 0; break;
                    case hostsim::Depth::Bits16: w.at<PF_Pixel16>(k, y).alpha = opaque ? 32768 : 0; break;
                    case hostsim::Depth::Float: w.at<PF_PixelFloat>(k, y).alpha = opaque ? 1.0f : 0.0f; break;
                }
            }
            x += len;
            opaque = !opaque;
        }
    }
}

std::size_t frameBytes(const hostsim::World& w) { return std::size_t(w.get()->rowbytes) * kH; }

void pass(benchmark::State& state, int blend, int mode, bool runs) {
    bench::Env& e = bench::env();
    const int bpc = static_cast<int>(state.range(0));
    hostsim::World input(kW, kH, depthOf(bpc), 0), output(kW, kH, depthOf(bpc), 0), drawing(kW, kH, depthOf(bpc), 0);
    randomise(input, 1);
    if (runs)
        frameLike(drawing, 2);
    else
        randomise(drawing, 2);
    Blender b(&e.in, e.suites, input.get(), output.get(), bpc, 0.7, mode);
    b.blend = blend;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(output.get()->data, drawing.get()->data, frameBytes(drawing));
        state.ResumeTiming();
        b(0, 1);
        benchmark::ClobberMemory();
    }
}

void copyFrame(benchmark::State& state) {
    const int bpc = static_cast<int>(state.range(0));
    hostsim::World a(kW, kH, depthOf(bpc), 0), b(kW, kH, depthOf(bpc), 0);
    randomise(a, 3);
    for (auto _ : state) {
        std::memcpy(b.get()->data, a.get()->data, frameBytes(a));
        benchmark::ClobberMemory();
    }
}

const bool registered = [] {
    for (int bpc : {0, 1, 2}) {
        const std::string arg = "/" + std::to_string(bpc);
        const std::string depth = bpc == 0 ? "8 bits" : bpc == 1 ? "16 bits" : "float";
        benchmark::RegisterBenchmark("Frame/memcpy", copyFrame)->Arg(bpc)->Unit(benchmark::kMillisecond)->UseRealTime();
        for (bool runs : {false, true}) {
            const std::string kind = runs ? "_framelike" : "";
            const std::string label = runs ? " frame-like " : " ";
            auto add = [&](const std::string& name, int blend, int mode, double minTime = 0) {
                auto* b = benchmark::RegisterBenchmark(("Blender/" + name + kind).c_str(), pass, blend, mode, runs)
                              ->Arg(bpc)
                              ->Unit(benchmark::kMillisecond)
                              ->UseRealTime();
                if (minTime > 0) b->MinTime(minTime);
                bench::addRatio(
                    (blend ? "blend pass " + name : std::string("opacity pass")) + label + depth + " / memcpy",
                    "Blender/" + name + kind + arg, "Frame/memcpy" + arg);
            };
            add("opacity", 0, 1);
            add("normal", 1, 1);
            add("screen", 1, 8);
            // The other modes by popup value, shorter runs: there are many.
            static const std::pair<const char*, int> kModes[] = {
                {"darken", 3},     {"multiply", 4},    {"burn", 5},       {"add", 6},
                {"lighten", 7},    {"dodge", 9},       {"overlay", 10},   {"softlight", 11},
                {"hardlight", 12}, {"difference", 13}, {"exclusion", 14}, {"alphaadd", 15}};
            for (const auto& [name, popup] : kModes) add(name, 1, popup, 0.1);
        }
    }
    return true;
}();

}  // namespace
