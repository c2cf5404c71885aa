// The host's thread pool and the bookkeeping the effect's bands run through:
// every band of every launch runs once whatever the timing, errors come back
// in band order, launches may nest or come from several threads, and the
// per-thread call counts of the fault table add up to the calls made.
#include "Iterate.h"
#include "Host.h"
#include "Sampling.h"
#include "World.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using hostsim::Host;
using hostsim::Iterate;

// Counts the runs of each band; a band seen with the wrong count is noted.
struct Tally {
    std::vector<std::atomic<int>> runs;
    std::atomic<int> wrongCount{0};
    explicit Tally(int n) : runs(std::size_t(n)) {}
    static PF_Err band(void* refcon, A_long, A_long i, A_long n) {
        auto& t = *static_cast<Tally*>(refcon);
        if (n != A_long(t.runs.size())) ++t.wrongCount;
        ++t.runs[std::size_t(i)];
        return PF_Err_NONE;
    }
};

// Launches of every size back to back, on pools of every size, with workers
// that are spinning, parked or still leaving the previous launch: no band is
// lost or run twice.
TEST(HostIterate, EveryBandOfEveryLaunchRunsOnce) {
    Host host;
    Iterate& pool = host.get<Iterate>();
    for (int threads : {1, 2, 3, 8}) {
        pool.setThreads(threads);
        const long long before = pool.bandsRun();
        long long expected = 0;
        for (int launch = 0; launch < 3000; ++launch) {
            const int bands = 1 + launch % 11;
            Tally t(bands);
            ASSERT_EQ(pool.run(bands, &t, Tally::band), PF_Err_NONE);
            expected += bands;
            ASSERT_EQ(t.wrongCount.load(), 0);
            for (int i = 0; i < bands; ++i) ASSERT_EQ(t.runs[std::size_t(i)].load(), 1) << threads << " " << launch;
            // The counts are complete when the launch returns, not some time after.
            ASSERT_EQ(pool.bandsRun() - before, expected) << threads << " " << launch;
            // Now and then a pause long enough for the workers to park.
            if (launch % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

// The first error in band order is returned, not the first to happen, and the
// other bands still run; the host's abort state comes after the bands' errors.
TEST(HostIterate, FirstErrorInBandOrderWins) {
    Host host;
    Iterate& pool = host.get<Iterate>();
    pool.setThreads(4);
    struct Failing {
        std::atomic<int> ran{0};
        static PF_Err band(void* refcon, A_long, A_long i, A_long) {
            auto& f = *static_cast<Failing*>(refcon);
            ++f.ran;
            if (i == 2) {  // fails late
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return PF_Err_OUT_OF_MEMORY;
            }
            return i == 6 ? PF_Err_INTERNAL_STRUCT_DAMAGED : PF_Err_NONE;
        }
    };
    for (int round = 0; round < 5; ++round) {
        Failing f;
        EXPECT_EQ(pool.run(8, &f, Failing::band), PF_Err_OUT_OF_MEMORY);
        EXPECT_EQ(f.ran.load(), 8);
    }
    Tally t(4);
    EXPECT_EQ(pool.run(4, &t, Tally::band), PF_Err_NONE);  // the error does not stick
}

// A band may launch again (its bands run on its own thread) and two threads
// may launch at once; all of it completes.
TEST(HostIterate, NestedAndConcurrentLaunchesComplete) {
    Host host;
    Iterate& pool = host.get<Iterate>();
    pool.setThreads(4);
    struct Outer {
        Iterate* pool;
        std::atomic<int> inner{0};
        static PF_Err innerBand(void* refcon, A_long, A_long, A_long) {
            ++static_cast<Outer*>(refcon)->inner;
            return PF_Err_NONE;
        }
        static PF_Err band(void* refcon, A_long, A_long, A_long) {
            auto& o = *static_cast<Outer*>(refcon);
            return o.pool->run(3, &o, innerBand);
        }
    };
    Outer o{&pool};
    EXPECT_EQ(pool.run(5, &o, Outer::band), PF_Err_NONE);
    EXPECT_EQ(o.inner.load(), 15);

    std::vector<std::thread> callers;
    std::atomic<int> failures{0};
    for (int c = 0; c < 3; ++c)
        callers.emplace_back([&] {
            for (int k = 0; k < 300; ++k) {
                Tally t(6);
                if (pool.run(6, &t, Tally::band) != PF_Err_NONE) ++failures;
                for (auto& r : t.runs)
                    if (r.load() != 1) ++failures;
            }
        });
    for (std::thread& t : callers) t.join();
    EXPECT_EQ(failures.load(), 0);
}

// Calls counted on the pool's threads add up, and a rule set after them
// fails exactly the call it names.
TEST(HostIterate, FaultCountsFromEveryThreadAddUp) {
    Host host;
    Iterate& pool = host.get<Iterate>();
    pool.setThreads(8);
    struct Caller {
        Host* host;
        std::atomic<int> failed{0};
        static PF_Err band(void* refcon, A_long, A_long, A_long) {
            auto& c = *static_cast<Caller*>(refcon);
            for (int k = 0; k < 1000; ++k)
                if (c.host->faults().hit("nn_sample")) ++c.failed;
            return PF_Err_NONE;
        }
    };
    Caller c{&host};
    ASSERT_EQ(pool.run(8, &c, Caller::band), PF_Err_NONE);
    EXPECT_EQ(host.faults().calls("nn_sample"), 8000);
    EXPECT_EQ(c.failed.load(), 0);

    host.faults().failCall("nn_sample", 8003, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.faults().hit("nn_sample"), PF_Err_NONE);  // 8001
    EXPECT_EQ(host.faults().hit(std::string("nn_sample")), PF_Err_NONE);
    EXPECT_EQ(host.faults().hit("nn_sample"), PF_Err_OUT_OF_MEMORY);  // 8003
    EXPECT_EQ(host.faults().hit("nn_sample"), PF_Err_NONE);
    EXPECT_EQ(host.faults().calls("nn_sample"), 8004);

    host.faults().clear();
    EXPECT_EQ(host.faults().calls("nn_sample"), 0);
    ASSERT_EQ(pool.run(8, &c, Caller::band), PF_Err_NONE);
    EXPECT_EQ(host.faults().calls("nn_sample"), 8000);
    EXPECT_EQ(c.failed.load(), 0);
}

// A name handed over in a buffer that later holds another name is counted
// under the name it holds at each call.
TEST(HostIterate, FaultCountsFollowTheNameNotItsBuffer) {
    Host host;
    char name[32] = "first_function";
    EXPECT_EQ(host.faults().hit(static_cast<const char*>(name)), PF_Err_NONE);
    std::snprintf(name, sizeof name, "%s", "second_function");
    host.faults().failCall("second_function", 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.faults().hit(static_cast<const char*>(name)), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.faults().calls("first_function"), 1);
    EXPECT_EQ(host.faults().calls("second_function"), 1);
}

// Area samples taken on the pool's threads, each with its own table cache,
// share one table and match the average computed here.
TEST(HostIterate, AreaSamplesOnEveryThreadShareOneTable) {
    Host host;
    host.get<Iterate>().setThreads(8);
    hostsim::World w(64, 48, hostsim::Depth::Bits8);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) w.at<PF_Pixel>(x, y) = {255, A_u_char(x * 4), A_u_char(y * 5), 0};
    const void* s = nullptr;
    ASSERT_EQ(host.suites().acquire(kPFSampling8Suite, 1, &s), kSPNoError);
    struct Job {
        const PF_Sampling8Suite1* suite;
        PF_SampPB pb;
        std::atomic<int> wrong{0};
        static PF_Err band(void* refcon, A_long, A_long i, A_long) {
            auto& j = *static_cast<Job*>(refcon);
            for (int y = 1; y < 47; ++y) {
                const int x = 1 + int(i) * 7;
                PF_Pixel p{};
                if (j.suite->area_sample(nullptr, x * 65536, y * 65536, &j.pb, &p)) ++j.wrong;
                // A 3 x 3 box of a linear ramp averages to its centre.
                if (p.alpha != 255 || p.red != x * 4 || p.green != y * 5) ++j.wrong;
            }
            return PF_Err_NONE;
        }
    } job{static_cast<const PF_Sampling8Suite1*>(s), {}};
    job.pb.src = w.get();
    job.pb.x_radius = job.pb.y_radius = 1 << 16;
    ASSERT_EQ(host.get<Iterate>().run(8, &job, Job::band), PF_Err_NONE);
    EXPECT_EQ(job.wrong.load(), 0);
    EXPECT_EQ(host.get<hostsim::Sampling>().tableBuilds(), 1);
    EXPECT_TRUE(host.get<hostsim::Sampling>().requests().empty());  // the log is off unless asked for
    host.suites().release(kPFSampling8Suite, 1);
}

}  // namespace
