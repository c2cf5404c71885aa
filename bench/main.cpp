// Runs the benchmarks (five repetitions unless asked otherwise, interleaved in
// random order so that a ratio's two sides see the same spread of machine
// load) and prints the ratios of their medians: our work against Cairo, AGG
// and memcpy.
#include "BenchHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

namespace bench {

namespace {

std::unique_ptr<Env> g_env;
std::function<void()> g_release;  // frees a host a benchmark made itself

void releaseOther() {
    if (!g_release) return;
    std::function<void()> release = std::move(g_release);
    g_release = nullptr;
    release();
}

}  // namespace

Env& env() {
    if (!g_env) {
        releaseOther();
        g_env = std::make_unique<Env>();
    }
    return *g_env;
}

void takeHost(std::function<void()> release) {
    g_env.reset();
    releaseOther();
    g_release = std::move(release);
}

namespace {

struct Ratio {
    std::string label, num, den;
};
std::vector<Ratio>& ratios() {
    static std::vector<Ratio> r;
    return r;
}

// The run name without the parts the library appends ("/min_time:0.200",
// "/real_time").
std::string withoutSuffix(std::string name) {
    for (const std::string part : {"/real_time", "/min_time:"}) {
        const std::size_t at = name.find(part);
        if (at == std::string::npos) continue;
        const std::size_t end = name.find('/', at + 1);
        name.erase(at, end == std::string::npos ? std::string::npos : end - at);
    }
    return name;
}

class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;  // run name -> median real time (ms)
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // Every benchmark reports in milliseconds.
            if ((r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") ||
                (r.run_type == Run::RT_Iteration && r.repetitions <= 1))
                medians[withoutSuffix(r.run_name.str())] = r.GetAdjustedRealTime();
        }
    }
};

}  // namespace

void addRatio(const std::string& label, const std::string& numerator, const std::string& denominator) {
    ratios().push_back({label, numerator, denominator});
}

}  // namespace bench

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    bool repetitionsGiven = false, interleavingGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--benchmark_repetitions", 0) == 0) repetitionsGiven = true;
        if (a.rfind("--benchmark_enable_random_interleaving", 0) == 0) interleavingGiven = true;
    }
    char reps[] = "--benchmark_repetitions=5";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    if (!repetitionsGiven) {
        args.push_back(reps);
        args.push_back(aggregates);
    }
    if (!interleavingGiven) args.push_back(interleave);
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    bench::takeHost(nullptr);  // the last host goes before the statics do

    std::printf("\nRatios of medians (real time):\n");
    for (const auto& r : bench::ratios()) {
        auto a = reporter.medians.find(r.num), b = reporter.medians.find(r.den);
        if (a == reporter.medians.end() || b == reporter.medians.end()) continue;
        std::printf("  %-44s %7.3f   (%s %.3f ms / %s %.3f ms)\n", r.label.c_str(), a->second / b->second,
                    r.num.c_str(), a->second, r.den.c_str(), b->second);
    }
    return 0;
}
