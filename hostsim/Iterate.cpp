#include "Iterate.h"

#include "Core.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hostsim {

namespace {

Host& host() { return *Host::current(); }

// Between the launches of one frame a worker stays awake this long, so that
// the next launch does not pay for a wake-up; after that it parks and costs
// nothing.
constexpr std::chrono::microseconds kSpin{50};

inline void relax() {
#if defined(__SSE2__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until ready() or the spin time is over; returns ready(). Now and then
// the spinner offers its core, so that on a machine with more runnable threads
// than cores it does not hold up the thread it waits for.
template <class F>
bool spinFor(F ready) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (unsigned k = 1;; ++k) {
        if (ready()) return true;
        relax();
        if (k % 64 == 0) {
            if (std::chrono::steady_clock::now() > until) return ready();
            std::this_thread::yield();
        }
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

void raiseTo(std::atomic<int>& max, int n) {
    int seen = max.load();
    while (n > seen && !max.compare_exchange_weak(seen, n)) {}
}

}  // namespace

// VEMARO_THREADS, when set to 1 to 256, replaces the default thread count (for
// comparing renders of the CLI at several thread counts).
int Iterate::defaultThreads() {
    if (const char* v = std::getenv("VEMARO_THREADS")) {
        const long n = std::strtol(v, nullptr, 10);
        if (n >= 1 && n <= 256) return static_cast<int>(n);
    }
    return 4;
}

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

long long Iterate::bandsRun() const {
    long long n = 0;
    for (const auto& c : counts_) n += c->bands.load(std::memory_order_relaxed);
    return n;
}

// The caller runs bands too, so the pool holds one thread fewer than the count.
void Iterate::startPool(int n) {
    stop_ = false;
    while (counts_.size() < std::size_t(n)) counts_.push_back(std::make_unique<ThreadCount>());
    // A launch made before a new worker first runs is still one it joins.
    const unsigned long long seen = published_.load();
    for (int i = 1; i < n; ++i) pool_.emplace_back([this, i, seen] { work(i, seen); });
}

void Iterate::stopPool() {
    stop_ = true;
    { std::lock_guard<std::mutex> g(parkMutex_); }
    parked_.notify_all();
    for (std::thread& t : pool_) t.join();
    pool_.clear();
}

void Iterate::work(int index, unsigned long long seen) {
    for (;;) {
        auto ready = [&] { return published_.load() != seen || stop_.load(); };
        if (!spinFor(ready)) {
            std::unique_lock<std::mutex> lock(parkMutex_);
            ++sleepers_;
            parked_.wait(lock, ready);
            --sleepers_;
        }
        if (stop_) return;
        const unsigned long long epoch = published_.load();
        seen = epoch;
        // The launch may be over and its record refilled by the next one: the
        // launcher waits for users to leave before it writes, and a user that
        // finds another epoch leaves without reading.
        ++job_.users;
        if (job_.epoch.load() == epoch) runBands(index);
        --job_.users;
    }
}

void Iterate::runBands(int thread) {
    Job& j = job_;
    bool joined = false;
    for (;;) {
        const A_long i = j.next.fetch_add(1);
        if (i >= j.count) break;
        if (!joined) {
            joined = true;
            ++j.joined;
        }
        const PF_Err e = j.fn(j.refcon, thread, i, j.count);
        // Counted before the band is marked done: the launcher may return,
        // and its caller read the counts, as soon as the last band is done.
        counts_[std::size_t(thread)]->bands.fetch_add(1, std::memory_order_relaxed);
        if (e) {
            std::lock_guard<std::mutex> g(j.errorMutex);
            if (i < j.errorBand) {
                j.errorBand = i;
                j.error = e;
            }
        }
        if (j.done.fetch_add(1) + 1 == j.count && launcherParked_.load()) {
            std::lock_guard<std::mutex> g(parkMutex_);
            finished_.notify_all();
        }
    }
}

PF_Err Iterate::runInline(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
    PF_Err first = PF_Err_NONE;
    for (A_long i = 0; i < iterations; ++i) {
        const PF_Err e = fn(refcon, 0, i, iterations);
        if (e && !first) first = e;
    }
    counts_[0]->bands.fetch_add(iterations, std::memory_order_relaxed);
    raiseTo(maxConcurrent, 1);
    return first;
}

PF_Err Iterate::run(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
    ++launches;
    if (PF_Err err = runForHost(iterations, refcon, fn)) return err;
    return host().get<Core>().abortError.load();
}

PF_Err Iterate::runForHost(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
    if (!fn || iterations < 0) return PF_Err_BAD_CALLBACK_PARAM;
    if (iterations == 0) return PF_Err_NONE;
    bool idle = false;
    PF_Err err = PF_Err_NONE;
    if (pool_.empty() || iterations == 1 || !busy_.compare_exchange_strong(idle, true)) {
        err = runInline(iterations, refcon, fn);
    } else {
        Job& j = job_;
        j.epoch.store(0);
        while (j.users.load() != 0) relax();
        j.count = iterations;
        j.refcon = refcon;
        j.fn = fn;
        j.next.store(0);
        j.done.store(0);
        j.joined.store(0);
        j.errorBand = iterations;
        j.error = PF_Err_NONE;
        const unsigned long long epoch = ++lastEpoch_;
        j.epoch.store(epoch);
        published_.store(epoch);
        if (sleepers_.load() > 0) {
            { std::lock_guard<std::mutex> g(parkMutex_); }
            const std::size_t helpers = std::min<std::size_t>(pool_.size(), std::size_t(iterations - 1));
            if (helpers >= pool_.size())
                parked_.notify_all();
            else
                for (std::size_t k = 0; k < helpers; ++k) parked_.notify_one();
        }
        runBands(0);
        auto allDone = [&] { return j.done.load() == j.count; };
        if (!spinFor(allDone)) {
            std::unique_lock<std::mutex> lock(parkMutex_);
            launcherParked_ = true;
            finished_.wait(lock, allDone);
            launcherParked_ = false;
        }
        raiseTo(maxConcurrent, j.joined.load());
        if (j.errorBand < iterations) err = j.error;
        busy_.store(false);
    }
    return err;
}

}  // namespace hostsim
