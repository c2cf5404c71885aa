// Banded work on the host's threads: "PF Iterate8 Suite" iterate_generic, the
// utility callback of the same name, and the "AEGP Iterate Suite" (thread
// count and iterate_generic). Bands run on a pool of worker threads whose size
// is configurable; the calling thread takes bands too. A launch allocates
// nothing and takes no lock on its way through the bands: workers claim bands
// from a shared counter, spin briefly between launches (as a host's render
// threads do within a frame) and then park. A launch made while another one
// runs (from inside a band, or from a second thread) runs its bands on the
// calling thread, so it can never wait for workers that are busy.
#pragma once

#include "Host.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace hostsim {

class Iterate : public Component {
public:
    explicit Iterate(int threads = defaultThreads());
    static int defaultThreads();
    ~Iterate() override;
    void install(Host& host) override;

    // The host's thread count (what AEGP_GetNumThreads reports) and the pool
    // size. Not to be changed while a launch runs.
    void setThreads(int n);
    int threads() const { return threads_; }

    // Runs fn(refcon, thread, i, iterations) for every i and waits for all.
    // Returns the first error in band order, else the host's abort state.
    PF_Err run(A_long iterations, void* refcon, PF_IterateGenericFunc fn);
    // The host's own banded work (resampling for transform_world): on the same
    // threads, but not counted as a launch and without the abort check.
    PF_Err runForHost(A_long iterations, void* refcon, PF_IterateGenericFunc fn);

    std::atomic<int> launches{0};       // iterate_generic calls
    std::atomic<int> threadQueries{0};  // AEGP_GetNumThreads calls
    // Most threads seen working on one launch at once (each thread counts
    // itself once per launch, not once per band).
    std::atomic<int> maxConcurrent{0};
    // Bands run so far, summed over the threads' own counts.
    long long bandsRun() const;

private:
    struct Job {
        // 0 while the launcher fills in the fields, else the launch's epoch.
        std::atomic<unsigned long long> epoch{0};
        A_long count = 0;
        void* refcon = nullptr;
        PF_IterateGenericFunc fn = nullptr;
        std::atomic<A_long> next{0};
        std::atomic<A_long> done{0};
        std::atomic<int> users{0};   // threads inside the job's fields
        std::atomic<int> joined{0};  // threads that took part in this launch
        std::mutex errorMutex;       // taken only by a failing band
        A_long errorBand = 0;
        PF_Err error = PF_Err_NONE;
    };
    struct alignas(64) ThreadCount {
        std::atomic<long long> bands{0};
    };

    void startPool(int n);
    void stopPool();
    void work(int index, unsigned long long seen);
    // Takes bands of the job until none is left; thread is the band's thread
    // index.
    void runBands(int thread);
    PF_Err runInline(A_long iterations, void* refcon, PF_IterateGenericFunc fn);

    int threads_;
    std::vector<std::thread> pool_;
    std::vector<std::unique_ptr<ThreadCount>> counts_;  // [0] the callers, then one per worker
    Job job_;
    std::atomic<bool> busy_{false};                 // a launch owns job_
    std::atomic<unsigned long long> published_{0};  // epoch of the last launch handed to workers
    unsigned long long lastEpoch_ = 0;
    std::atomic<bool> stop_{false};
    // Parking: workers that found nothing to do in their spin.
    std::mutex parkMutex_;
    std::condition_variable parked_;
    std::atomic<int> sleepers_{0};
    // The launcher parks here when its last band is slow.
    std::condition_variable finished_;
    std::atomic<bool> launcherParked_{false};

    PF_Iterate8Suite1 iterate8_{};
    AEGP_IterateSuite1 aegpIterate_{};
};

}  // namespace hostsim
