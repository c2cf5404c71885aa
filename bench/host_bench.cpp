// What the simulated host itself costs the effect: an iterate_generic launch
// of empty bands (the pool's wake-up and hand-back), and a bilinear sample call
// made from every band at once (the call's bookkeeping). Neither should grow
// with the thread count.
#include "BenchHost.h"
#include "Iterate.h"
#include "World.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

PF_Err emptyBand(void*, A_long, A_long, A_long) { return PF_Err_NONE; }

void launch(benchmark::State& state) {
    bench::Env& e = bench::env();
    const int threads = static_cast<int>(state.range(0));
    e.threads(threads);
    const PF_Iterate8Suite1* suite = e.suites.Iterate8Suite1();
    for (auto _ : state) suite->iterate_generic(threads, nullptr, emptyBand);
    e.threads(1);
}

// Each band samples a small world 4 096 times.
struct SampleJob {
    const PF_Sampling8Suite1* suite;
    PF_SampPB pb;
    static PF_Err band(void* refcon, A_long, A_long i, A_long) {
        const auto& j = *static_cast<const SampleJob*>(refcon);
        PF_Pixel p{};
        for (int k = 0; k < 4096; ++k) {
            const A_long x = ((k * 7 + int(i) * 13) % 60) << 16, y = ((k * 3) % 40) << 16;
            j.suite->subpixel_sample(nullptr, x + 0x4000, y + 0x8000, &j.pb, &p);
        }
        benchmark::DoNotOptimize(p);
        return PF_Err_NONE;
    }
};

void samples(benchmark::State& state) {
    bench::Env& e = bench::env();
    const int threads = static_cast<int>(state.range(0));
    e.threads(threads);
    hostsim::World w(64, 48, hostsim::Depth::Bits8);
    w.fill(PF_Pixel{255, 10, 20, 30});
    SampleJob job{e.suites.Sampling8Suite1(), {}};
    job.pb.src = w.get();
    // The same total work at every thread count: 64 bands.
    for (auto _ : state) e.suites.Iterate8Suite1()->iterate_generic(64, &job, SampleJob::band);
    e.threads(1);
}

const bool registered = [] {
    for (int t : {1, 2, 4, 8}) {
        benchmark::RegisterBenchmark("HostLaunch/empty", launch)->Arg(t)->Unit(benchmark::kMicrosecond)->UseRealTime();
        benchmark::RegisterBenchmark("HostLaunch/samples", samples)
            ->Arg(t)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    for (int t : {2, 4, 8}) {
        const std::string arg = "/" + std::to_string(t);
        bench::addRatio("host sample calls, 1 thread / " + std::to_string(t) + " threads", "HostLaunch/samples/1",
                        "HostLaunch/samples" + arg);
    }
    return true;
}();

}  // namespace
