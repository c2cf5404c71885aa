// The host's sampling suites at 8, 16 and float bits: nearest neighbour,
// bilinear ("subpixel") and box average ("area") sampling of a world at 16.16
// coordinates, integer coordinates addressing pixel centres and everything
// outside the world transparent. A test that wants to see the coordinates the
// effect asked for turns the request log on; off, a sample call takes no lock
// (the effect samples per pixel from every band).
#pragma once

#include "Host.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace hostsim {

class Sampling : public Component {
public:
    enum class Kind { Nearest, Subpixel, Area };
    struct Request {
        int depth;  // 0 = 8 bits, 1 = 16 bits, 2 = float: the suite that was called
        Kind kind;
        PF_Fixed x, y;
        const PF_LayerDef* src;
        PF_Fixed xRadius, yRadius;  // as the sampling record gave them
    };

    Sampling();
    ~Sampling() override;
    void install(Host& host) override;
    // Pixels may change between commands: summed-area tables live for one.
    void afterCommand(Host& host, PF_Cmd cmd) override;

    // The request log, off until a test turns it on.
    void logRequests(bool on) { logging_ = on; }
    std::vector<Request> requests() const;
    void clearRequests();
    // Summed-area tables built so far (one per world and command).
    int tableBuilds() const;
    // Drops the cached table of a world whose pixels were changed. A table is
    // also rebuilt when a few probe pixels differ (a buffer reused or
    // repainted); a change the probe misses needs forget().
    void forget(const PF_LayerDef* world);

    // Shared by the three suites; public for the suite callbacks only.
    template <class P>
    PF_Err sample(int depth, Kind kind, const char* function, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, P* dst);

private:
    struct Table;
    // The summed-area table of a world, from this thread's cache while no
    // table was dropped since; else looked up (or built) under the lock. The
    // thread's cache keeps it alive: a plain pointer spares the reference
    // count that every band would otherwise share.
    const Table* table(const PF_LayerDef* world, int depth);
    std::shared_ptr<const Table> lookUp(const PF_LayerDef* world, int depth);

    PF_Sampling8Suite1 suite8_{};
    PF_Sampling16Suite1 suite16_{};
    PF_SamplingFloatSuite1 suiteFloat_{};
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::vector<std::shared_ptr<const Table>> tables_;
    int tableBuilds_ = 0;
    std::atomic<bool> logging_{false};
    // Bumped whenever a table is dropped, which ends the threads' cached ones.
    std::atomic<unsigned long long> generation_{0};
    const unsigned long long id_;  // tells the thread caches of hosts apart
};

}  // namespace hostsim
