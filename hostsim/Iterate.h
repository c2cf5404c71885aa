// Banded work on the host's threads: "PF Iterate8 Suite" iterate_generic, the
// utility callback of the same name, and the "AEGP Iterate Suite" (thread
// count and iterate_generic). Bands run on a real pool of worker threads whose
// size is configurable; the calling thread takes bands too, so a launch from
// inside a band cannot starve. Idle workers spin briefly before they sleep, as
// a host's render threads do between the launches of one frame.
#pragma once

#include "Host.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hostsim {

class Iterate : public Component {
public:
    explicit Iterate(int threads = 4);
    ~Iterate() override;
    void install(Host& host) override;

    // The host's thread count (what AEGP_GetNumThreads reports) and the pool
    // size. Not to be changed while a launch runs.
    void setThreads(int n);
    int threads() const { return threads_; }

    // Runs fn(refcon, thread, i, iterations) for every i and waits for all.
    // Returns the first error in band order, else the host's abort state.
    PF_Err run(A_long iterations, void* refcon, PF_IterateGenericFunc fn);

    std::atomic<int> launches{0};       // iterate_generic calls
    std::atomic<int> threadQueries{0};  // AEGP_GetNumThreads calls
    std::atomic<int> maxConcurrent{0};  // most bands seen running at once

private:
    struct Job;
    void startPool(int n);
    void stopPool();
    void work(int index);
    static void runBands(Job& job, int thread);

    int threads_;
    std::vector<std::thread> pool_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> queue_;
    bool stopping_ = false;
    // Read by spinning workers without the mutex.
    std::atomic<int> queued_{0};
    std::atomic<bool> stopFlag_{false};
    std::atomic<int> running_{0};

    PF_Iterate8Suite1 iterate8_{};
    AEGP_IterateSuite1 aegpIterate_{};
};

}  // namespace hostsim
