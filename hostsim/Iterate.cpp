#include "Iterate.h"

#include "Core.h"

#include <chrono>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hostsim {

struct Iterate::Job {
    A_long count = 0;
    void* refcon = nullptr;
    PF_IterateGenericFunc fn = nullptr;
    Iterate* owner = nullptr;
    std::atomic<A_long> next{0};
    std::vector<PF_Err> results;
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<A_long> done{0};
};

namespace {

Host& host() { return *Host::current(); }

// A host's render threads stay awake between the many short launches of one
// frame; a condition variable's wake-up alone would cost more than a band of a
// small element. Waiters spin this long before they sleep.
constexpr std::chrono::microseconds kSpin{200};

inline void relax() {
#if defined(__SSE2__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until ready() or the spin time is over; returns ready().
template <class F>
bool spinFor(F ready) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (unsigned k = 1;; ++k) {
        if (ready()) return true;
        relax();
        if (k % 64 == 0 && std::chrono::steady_clock::now() > until) return ready();
    }
}

PF_Err iterateGeneric(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
    if (PF_Err e = host().faults().hit("iterate_generic")) return e;
    return host().get<Iterate>().run(iterations, refcon, fn);
}

A_Err getNumThreads(A_long* n) {
    if (PF_Err e = host().faults().hit("AEGP_GetNumThreads")) return e;
    Iterate& it = host().get<Iterate>();
    ++it.threadQueries;
    *n = it.threads();
    return A_Err_NONE;
}

// The per-pixel iterators of the suite are not offered by this host.
PF_Err noIterate(PF_InData*, A_long, A_long, PF_EffectWorld*, const PF_Rect*, void*,
                 PF_Err (*)(void*, A_long, A_long, PF_Pixel*, PF_Pixel*), PF_EffectWorld*) {
    return PF_Err_INVALID_CALLBACK;
}
PF_Err noIterateOther(void*) { return PF_Err_INVALID_CALLBACK; }

}  // namespace

Iterate::Iterate(int threads) : threads_(threads < 1 ? 1 : threads) { startPool(threads_); }

Iterate::~Iterate() { stopPool(); }

void Iterate::install(Host& h) {
    iterate8_ = {noIterate, noIterateOther, noIterateOther, noIterateOther, iterateGeneric};
    aegpIterate_ = {getNumThreads, iterateGeneric};
    h.suites().add(kPFIterate8Suite, 1, &iterate8_);
    h.suites().add(kAEGPIterateSuite, 1, &aegpIterate_);
    h.utils().iterate_generic = iterateGeneric;
}

void Iterate::setThreads(int n) {
    n = n < 1 ? 1 : n;
    if (n == threads_) return;
    stopPool();
    threads_ = n;
    startPool(n);
}

// The caller runs bands too, so the pool holds one thread fewer than the count.
void Iterate::startPool(int n) {
    stopping_ = false;
    stopFlag_ = false;
    for (int i = 1; i < n; ++i) pool_.emplace_back([this, i] { work(i); });
}

void Iterate::stopPool() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        stopping_ = true;
        stopFlag_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : pool_) t.join();
    pool_.clear();
    queue_.clear();
    queued_ = 0;
}

void Iterate::work(int index) {
    for (;;) {
        spinFor([this] { return queued_.load(std::memory_order_acquire) > 0 || stopFlag_.load(std::memory_order_relaxed); });
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            queued_.fetch_sub(1, std::memory_order_relaxed);
        }
        runBands(*job, index);
    }
}

void Iterate::runBands(Job& job, int thread) {
    for (;;) {
        const A_long i = job.next.fetch_add(1);
        if (i >= job.count) return;
        const int now = ++job.owner->running_;
        int seen = job.owner->maxConcurrent.load();
        while (now > seen && !job.owner->maxConcurrent.compare_exchange_weak(seen, now)) {
        }
        job.results[static_cast<std::size_t>(i)] = job.fn(job.refcon, thread, i, job.count);
        --job.owner->running_;
        if (job.done.fetch_add(1) + 1 == job.count) {
            std::lock_guard<std::mutex> g(job.mutex);
            job.finished.notify_all();
        }
    }
}

PF_Err Iterate::run(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
    ++launches;
    if (!fn || iterations < 0) return PF_Err_BAD_CALLBACK_PARAM;
    if (iterations == 0) return PF_Err_NONE;
    auto job = std::make_shared<Job>();
    job->count = iterations;
    job->refcon = refcon;
    job->fn = fn;
    job->owner = this;
    job->results.assign(static_cast<std::size_t>(iterations), PF_Err_NONE);
    {
        std::lock_guard<std::mutex> g(mutex_);
        const std::size_t helpers = std::min<std::size_t>(pool_.size(), static_cast<std::size_t>(iterations - 1));
        for (std::size_t k = 0; k < helpers; ++k) queue_.push_back(job);
        queued_.fetch_add(static_cast<int>(helpers), std::memory_order_release);
    }
    wake_.notify_all();
    runBands(*job, 0);
    if (!spinFor([&] { return job->done.load() == job->count; })) {
        std::unique_lock<std::mutex> lock(job->mutex);
        job->finished.wait(lock, [&] { return job->done.load() == job->count; });
    }
    for (PF_Err e : job->results)
        if (e) return e;
    return host().get<Core>().abortError.load();
}

}  // namespace hostsim
