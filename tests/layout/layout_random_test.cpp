// The Random layout: reproducible Poisson-disk scatter, its area, orders and
// scale, and the limit of the sampler's grid.
#include "Core.h"
#include "VemaroElementBounds.h"
#include "elements_fixture.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <thread>

namespace {

class RandomTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        record.pattern = 12;
        record.repeaterType = 2;  // keep everything: the scatter itself is under test
        record.randomDistance = 20;
        record.randomMode = 3;
        record.randomCenter = {100, 50};
        record.randomRadius = 80;
        record.randomScale = 1;
        record.randomSeed = 7;
        in.width = 200;
        in.height = 100;
        in.downsample_x = in.downsample_y = {1, 1};
    }
    std::vector<Vector> run() {
        ShapeDrawer& d = make(200, 100);
        EXPECT_EQ(d.createPatterns(), PF_Err_NONE);
        std::vector<Vector> out;
        const bool culled = record.repeaterType == 1;
        for (std::size_t k = 0; k < d.patterns.size(); ++k) {
            if (!culled) {
                EXPECT_EQ(d.patterns[k].i, int(k));
                EXPECT_EQ(d.patterns[k].t, double(k) / d.patterns.size());
            }
            EXPECT_EQ(d.patterns[k].phase, 0.0);
            out.push_back(d.patterns[k].position);
        }
        return out;
    }
    static std::multiset<std::pair<double, double>> asSet(const std::vector<Vector>& v) {
        std::multiset<std::pair<double, double>> s;
        for (const Vector& p : v) s.insert({p.x, p.y});
        return s;
    }
};

TEST_F(RandomTest, OneSeedOneScatterKeepingTheDistanceInsideTheArea) {
    const std::vector<Vector> a = run();
    ASSERT_GT(a.size(), 20u);
    EXPECT_EQ(run(), a);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_LE(std::hypot(a[i].x - 100, a[i].y - 50), 80 + 1e-9) << i;
        for (std::size_t j = 0; j < i; ++j) EXPECT_GE(std::hypot(a[i].x - a[j].x, a[i].y - a[j].y), 20.0);
    }
    record.randomSeed = 8;
    EXPECT_NE(run(), a);

    // Half resolution: the same scatter at half the size (the centre is in
    // downsampled pixels, so it halves too).
    record.randomSeed = 7;
    in.downsample_x = in.downsample_y = {1, 2};
    record.randomCenter = {50, 25};
    const std::vector<Vector> half = run();
    ASSERT_EQ(half.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_DOUBLE_EQ(half[i].x, a[i].x / 2);
        EXPECT_DOUBLE_EQ(half[i].y, a[i].y / 2);
    }
}

TEST_F(RandomTest, OrdersRearrangeTheSamePoints) {
    const std::vector<Vector> accepted = run();
    const Vector c{100, 50};
    auto dist = [&](const Vector& p) { return (p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y); };
    struct Case {
        int order;
        std::function<double(const Vector&)> key;  // non-decreasing along the list
    } cases[] = {
        {1, [](const Vector& p) { return p.x; }},
        {2, [](const Vector& p) { return p.y; }},
        {3, [](const Vector& p) { return p.x + p.y; }},
        {4, [](const Vector& p) { return p.y - p.x; }},
        {5, dist},
        {6, [&](const Vector& p) { return -dist(p); }},
    };
    for (const Case& k : cases) {
        record.randomOrder = k.order;
        record.randomOrderSeed = 1;
        const std::vector<Vector> v = run();
        EXPECT_EQ(asSet(v), asSet(accepted)) << k.order;
        for (std::size_t i = 1; i < v.size(); ++i) EXPECT_LE(k.key(v[i - 1]), k.key(v[i]) + 1e-9) << k.order;
        record.randomOrderSeed = 99;  // no effect outside "Random"
        EXPECT_EQ(run(), v) << k.order;
    }
    record.randomOrder = 7;
    record.randomOrderSeed = 1;
    const std::vector<Vector> r1 = run();
    EXPECT_EQ(asSet(r1), asSet(accepted));
    EXPECT_NE(r1, accepted);
    EXPECT_EQ(run(), r1);
    record.randomOrderSeed = 2;
    const std::vector<Vector> r2 = run();
    EXPECT_EQ(asSet(r2), asSet(accepted));
    EXPECT_NE(r2, r1);
}

TEST_F(RandomTest, ScaleAndDegenerateAreas) {
    const std::vector<Vector> a = run();
    record.randomScale = -1;  // mirrored through the centre
    const std::vector<Vector> m = run();
    ASSERT_EQ(m.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_DOUBLE_EQ(m[i].x - 100, -(a[i].x - 100));
        EXPECT_DOUBLE_EQ(m[i].y - 50, -(a[i].y - 50));
    }
    record.randomScale = 0;
    for (const Vector& p : run()) EXPECT_EQ(p, (Vector{100, 50}));

    record.randomScale = 1;
    record.randomRadius = 0;
    EXPECT_EQ(run(), (std::vector<Vector>{{100, 50}}));
    record.randomMode = 2;
    record.randomWidth = record.randomHeight = 0;
    EXPECT_EQ(run(), (std::vector<Vector>{{100, 50}}));
    record.randomWidth = record.randomHeight = 10;
    record.randomDistance = 1000;  // beyond the diagonal
    EXPECT_EQ(run().size(), 1u);
    record.randomMode = 0;
    EXPECT_TRUE(run().empty());
}

TEST_F(RandomTest, LayerSizeCoversTheLayerAndIsCulledWithExpansion) {
    record.randomMode = 1;
    record.randomDistance = 10;
    for (const Vector& p : run()) {
        EXPECT_GE(p.x, 0.0);
        EXPECT_LT(p.x, 200.0);
        EXPECT_GE(p.y, 0.0);
        EXPECT_LT(p.y, 100.0);
    }
    record.randomExpansion = 300;
    const std::size_t all = run().size();
    record.repeaterType = 1;
    const std::vector<Vector> kept = run();
    EXPECT_LT(kept.size(), all);
    const double m = getMaxSize(&in, &record);
    for (const Vector& p : kept) EXPECT_TRUE(p.x >= -m && p.x <= 200 + m && p.y >= -m && p.y <= 100 + m);
}

TEST_F(RandomTest, AnAreaBeyondTheSamplersGridIsAnError) {
    record.randomMode = 1;
    record.randomDistance = 2;
    record.randomExpansion = 500000;
    ShapeDrawer& d = make();
    EXPECT_EQ(d.createRandomPatterns(), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(d.patterns.empty());
}

// A dense scatter over a large area runs for seconds: it asks the host
// whether the user cancelled throughout, and a cancel returns the host's
// error at once with no element made (leaks: the sanitizer build).
TEST_F(RandomTest, ADenseScatterAsksForCancelAndStops) {
    hostsim::Core& core = host.get<hostsim::Core>();
    record.randomMode = 1;
    record.randomDistance = 2;
    record.repeaterType = 1;
    in.width = 320;
    in.height = 180;
    core.abortCalls = 0;
    ShapeDrawer& full = make(320, 180);
    ASSERT_EQ(full.createRandomPatterns(), PF_Err_NONE);
    // About 70 candidates a point and one check per 65,536 candidates.
    const int checks = core.abortCalls.load();
    EXPECT_GE(checks, static_cast<int>(full.patterns.size() * 50 / 65536));

    core.abortCalls = 0;
    core.abortError = PF_Interrupt_CANCEL;
    ShapeDrawer& cancelled = make(320, 180);
    EXPECT_EQ(cancelled.createRandomPatterns(), PF_Interrupt_CANCEL);
    EXPECT_EQ(core.abortCalls.load(), 1);
    EXPECT_TRUE(cancelled.patterns.empty());
    core.abortError = PF_Err_NONE;

    // A cancel while the scatter runs: 1920 x 1080 at distance 2 would take
    // seconds more.
    in.width = 1920;
    in.height = 1080;
    core.abortCalls = 0;
    std::thread user([&] {
        while (core.abortCalls.load() < 3) std::this_thread::yield();
        core.abortError = PF_Interrupt_CANCEL;
    });
    ShapeDrawer& mid = make(1920, 1080);
    EXPECT_EQ(mid.createRandomPatterns(), PF_Interrupt_CANCEL);
    user.join();
    EXPECT_TRUE(mid.patterns.empty());
    core.abortError = PF_Err_NONE;
}

}  // namespace
