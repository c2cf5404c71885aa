// What the benchmarks share: one simulated host for the effect's pixel work, a
// fixed-seed generator, and the ratio table printed after the run.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Host.h"
#include "Iterate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace bench {

struct Env {
    hostsim::Host host;
    PF_InData in = host.nextInData();
    AEGP_SuiteHandler suites{in.pica_basicP};
    void threads(int n) { host.get<hostsim::Iterate>().setThreads(n); }
};
// The shared host, made on first use. The simulated host allows one host at a
// time: a benchmark that needs a host of its own (the module loaded, a scene
// set up) calls takeHost first, which frees the shared one, and hands over
// how to free its own when the next benchmark asks for a host.
Env& env();
void takeHost(std::function<void()> release);

// xorshift32: the same sequence on every platform and library.
class Random {
public:
    explicit Random(uint32_t seed) : s_(seed ? seed : 1) {}
    uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    double uniform(double lo, double hi) { return lo + (hi - lo) * (next() / 4294967296.0); }

private:
    uint32_t s_;
};

// Ratios of medians printed at the end: numerator / denominator run names.
void addRatio(const std::string& label, const std::string& numerator, const std::string& denominator);

}  // namespace bench
