#include "Comp.h"
#include "Masks.h"
#include "VemaroMask.h"
#include "service_fixture.h"

#include <cmath>
#include <functional>

namespace {

using hostsim::Masks;
using hostsim::MaskVertex;

MaskVertex V(double x, double y, double inX = 0, double inY = 0, double outX = 0, double outY = 0) {
    return {x, y, inX, inY, outX, outY};
}

class MaskTest : public HostServices {
protected:
    Masks& masks() { return host.get<Masks>(); }
    void TearDown() override {
        EXPECT_EQ(masks().checkedOut(), 0);
        EXPECT_EQ(masks().preparations(), 0);
        HostServices::TearDown();
    }
    void expectPoint(Mask& m, double d, bool loop, Vector pos, Vector deriv) {
        PathPoint p;
        ASSERT_EQ(m.getPathPoint(d, loop, &p), PF_Err_NONE);
        EXPECT_EQ(p.position, pos) << "d=" << d << " got " << p.position.x << "," << p.position.y;
        EXPECT_EQ(p.derivative, deriv) << "d=" << d << " got " << p.derivative.x << "," << p.derivative.y;
    }
};

// ------------------------------------------------------------------ straight paths: exact values
TEST_F(MaskTest, ClosedSquareLoopsAndClamps) {
    PF_PathID id = masks().addMask({V(0, 0), V(100, 0), V(100, 100), V(0, 100)}, false);
    Mask m(&in, suites(), id);
    ASSERT_EQ(m.update(), PF_Err_NONE);
    unsigned char open = 1;
    int n = 0;
    double total = 0, seg = 0;
    m.isOpen(&open);
    m.getSegmentNum(&n);
    EXPECT_EQ(open, 0);
    EXPECT_EQ(n, 4);
    ASSERT_EQ(m.getTotalLength(&total), PF_Err_NONE);
    EXPECT_EQ(total, 400.0);
    ASSERT_EQ(m.getSegmentLength(2, &seg), PF_Err_NONE);
    EXPECT_EQ(seg, 100.0);
    EXPECT_EQ(m.getSegmentLength(4, &seg), PF_Err_INVALID_INDEX);
    EXPECT_EQ(seg, 0.0);

    expectPoint(m, 250, false, {50, 100}, {-1, 0});
    expectPoint(m, 650, true, {50, 100}, {-1, 0});
    expectPoint(m, -30, true, {0, 30}, {0, -1});
    expectPoint(m, 400, true, {0, 0}, {1, 0});
    expectPoint(m, 100, false, {100, 0}, {1, 0});  // on the boundary: end of segment 0
    expectPoint(m, -5, false, {0, 0}, {1, 0});
    expectPoint(m, 450, false, {0, 0}, {0, -1});  // the end of the last segment

    std::vector<Mask::VertexInfo> v;
    ASSERT_EQ(m.getVertexInfos(v), PF_Err_NONE);
    ASSERT_EQ(v.size(), 4u);
    const double dist[] = {0, 100, 200, 300};
    const Vector pos[] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
    const Vector dir[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v[k].distance, dist[k]);
        EXPECT_EQ(v[k].position, pos[k]);
        EXPECT_EQ(v[k].derivative, dir[k]);
    }
}

TEST_F(MaskTest, OpenPathClampsToItsEndsAndListsItsEndVertex) {
    PF_PathID id = masks().addMask({V(0, 0), V(30, 0), V(30, 40), V(0, 40)}, true);
    Mask m(&in, suites(), id);
    ASSERT_EQ(m.update(), PF_Err_NONE);
    double total = 0;
    m.getTotalLength(&total);
    EXPECT_EQ(total, 100.0);
    for (bool loop : {false, true}) {
        expectPoint(m, -5, loop, {0, 0}, {1, 0});
        expectPoint(m, 150, loop, {0, 40}, {-1, 0});
        expectPoint(m, 50, loop, {30, 20}, {0, 1});
    }
    std::vector<Mask::VertexInfo> v;
    ASSERT_EQ(m.getVertexInfos(v), PF_Err_NONE);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[3].position, Vector(0, 40));
    EXPECT_EQ(v[3].derivative, Vector(-1, 0));
    EXPECT_EQ(v[3].distance, 100.0);
    EXPECT_EQ(v[2].distance, 70.0);

    // A closed path of three segments lists three vertices.
    PF_PathID tri = masks().addMask({V(0, 0), V(30, 0), V(30, 40)}, false);
    Mask c(&in, suites(), tri);
    ASSERT_EQ(c.update(), PF_Err_NONE);
    ASSERT_EQ(c.getVertexInfos(v), PF_Err_NONE);
    EXPECT_EQ(v.size(), 3u);
    c.getTotalLength(&total);
    EXPECT_EQ(total, 120.0);
}

// ------------------------------------------------------------------ degenerate paths
TEST_F(MaskTest, DegeneratePathsGiveDefinedResults) {
    // Closed, two vertices on one spot: two segments of length 0.
    PF_PathID dot = masks().addMask({V(7, 9), V(7, 9)}, false);
    // One vertex: no segments at all, open or closed.
    PF_PathID single = masks().addMask({V(3, 4)}, true);
    PF_PathID singleClosed = masks().addMask({V(5, 6)}, false);

    Mask m(&in, suites(), dot);
    ASSERT_EQ(m.update(), PF_Err_NONE);
    double total = -1;
    m.getTotalLength(&total);
    EXPECT_EQ(total, 0.0);
    for (double d : {-1.0, 0.0, 5.0, std::nan("")})
        for (bool loop : {false, true}) expectPoint(m, d, loop, {7, 9}, {0, 0});

    for (PF_PathID id : {single, singleClosed}) {
        Mask s(&in, suites(), id);
        ASSERT_EQ(s.update(), PF_Err_NONE);
        const Vector where = id == single ? Vector(3, 4) : Vector(5, 6);
        s.getTotalLength(&total);
        EXPECT_EQ(total, 0.0);
        double seg = -1;
        EXPECT_EQ(s.getSegmentLength(0, &seg), PF_Err_INVALID_INDEX);
        EXPECT_EQ(seg, 0.0);
        expectPoint(s, 10, true, where, {0, 0});
        std::vector<Mask::VertexInfo> v;
        ASSERT_EQ(s.getVertexInfos(v), PF_Err_NONE);
        ASSERT_EQ(v.size(), 1u);
        EXPECT_EQ(v[0].position, where);
        EXPECT_EQ(v[0].distance, 0.0);
    }

    // Never checked out: nothing to ask the host.
    Mask none(&in, suites(), 12345);
    PathPoint p{{1, 1}, {1, 1}};
    EXPECT_EQ(none.getPathPoint(3, true, &p), PF_Err_NONE);
    EXPECT_EQ(p.position, Vector());
    std::vector<Mask::VertexInfo> v(3);
    EXPECT_EQ(none.getVertexInfos(v), PF_Err_NONE);
    EXPECT_TRUE(v.empty());
    // A mask id the layer does not have.
    EXPECT_NE(none.update(), PF_Err_NONE);
}

// ------------------------------------------------------------------ Bézier geometry against Simpson
struct Cubic {
    double p[8];
    Vector at(double t) const {
        double u = 1 - t;
        return {u * u * u * p[0] + 3 * u * u * t * p[2] + 3 * u * t * t * p[4] + t * t * t * p[6],
                u * u * u * p[1] + 3 * u * u * t * p[3] + 3 * u * t * t * p[5] + t * t * t * p[7]};
    }
    Vector d(double t) const {
        double u = 1 - t;
        return {3 * u * u * (p[2] - p[0]) + 6 * u * t * (p[4] - p[2]) + 3 * t * t * (p[6] - p[4]),
                3 * u * u * (p[3] - p[1]) + 6 * u * t * (p[5] - p[3]) + 3 * t * t * (p[7] - p[5])};
    }
    // Composite Simpson of the speed over [0, t].
    double length(double t, int n = 20000) const {
        auto f = [&](double s) {
            Vector v = d(s);
            return std::hypot(v.x, v.y);
        };
        double h = t / n, sum = f(0) + f(t);
        for (int i = 1; i < n; ++i) sum += f(i * h) * (i % 2 ? 4 : 2);
        return sum * h / 3;
    }
    double tAtLength(double l) const {
        double a = 0, b = 1;
        for (int i = 0; i < 50; ++i) {
            double m = 0.5 * (a + b);
            (length(m, 2000) < l ? a : b) = m;
        }
        return 0.5 * (a + b);
    }
};

TEST_F(MaskTest, BezierLengthsAndPointsMatchAnIndependentIntegration) {
    // Open path of two curved segments.
    std::vector<MaskVertex> verts = {V(10, 20, 0, 0, 50, 80), V(200, 50, -60, -90, 40, 10), V(260, 190, 30, -70)};
    Cubic c0{{10, 20, 60, 100, 140, -40, 200, 50}};
    Cubic c1{{200, 50, 240, 60, 290, 120, 260, 190}};
    PF_PathID id = masks().addMask(verts, true);
    Mask m(&in, suites(), id);
    ASSERT_EQ(m.update(), PF_Err_NONE);
    double l0 = 0, l1 = 0, total = 0;
    ASSERT_EQ(m.getSegmentLength(0, &l0), PF_Err_NONE);
    ASSERT_EQ(m.getSegmentLength(1, &l1), PF_Err_NONE);
    m.getTotalLength(&total);
    const double s0 = c0.length(1), s1 = c1.length(1);
    EXPECT_NEAR(l0, s0, 2e-4);
    EXPECT_NEAR(l1, s1, 2e-4);
    EXPECT_NEAR(total, s0 + s1, 2e-4);

    for (double f : {0.1, 0.45, 0.8}) {
        const double d = f * s0;
        Vector want = c0.at(c0.tAtLength(d));
        Vector dir = c0.d(c0.tAtLength(d));
        PathPoint p;
        ASSERT_EQ(m.getPathPoint(d, false, &p), PF_Err_NONE);
        EXPECT_NEAR(p.position.x, want.x, 1e-3);
        EXPECT_NEAR(p.position.y, want.y, 1e-3);
        // The derivative along the path is the unit tangent.
        EXPECT_NEAR(std::hypot(p.derivative.x, p.derivative.y), 1.0, 1e-9);
        EXPECT_NEAR(p.derivative.x * dir.y - p.derivative.y * dir.x, 0.0, 1e-6 * std::hypot(dir.x, dir.y));
    }
    PathPoint p;
    ASSERT_EQ(m.getPathPoint(l0 + 0.5 * s1, false, &p), PF_Err_NONE);
    Vector want = c1.at(c1.tAtLength(0.5 * s1));
    EXPECT_NEAR(p.position.x, want.x, 1e-3);
    EXPECT_NEAR(p.position.y, want.y, 1e-3);
}

// ------------------------------------------------------------------ resolution
TEST_F(MaskTest, PathIsPlacedIdenticallyAtFullAndHalfResolution) {
    PF_PathID id =
        masks().addMask({V(10, 20, 0, 0, 50, 80), V(200, 50, -60, -90, 40, 10), V(260, 190, 30, -70)}, false);
    auto sample = [&](PF_RationalScale ds, std::vector<PathPoint>& points, std::vector<Mask::VertexInfo>& verts,
                      double& total) {
        PF_InData local = in;
        host.nextInData().downsample_x = local.downsample_x = ds;
        host.nextInData().downsample_y = local.downsample_y = ds;
        Mask m(&local, suites(), id);
        ASSERT_EQ(m.update(), PF_Err_NONE);
        ASSERT_EQ(m.getTotalLength(&total), PF_Err_NONE);
        for (double f : {0.0, 0.1, 0.37, 0.5, 0.99, 1.0, 1.3}) {
            PathPoint p;
            ASSERT_EQ(m.getPathPoint(f * total, true, &p), PF_Err_NONE);
            points.push_back(p);
        }
        ASSERT_EQ(m.getVertexInfos(verts), PF_Err_NONE);
    };
    std::vector<PathPoint> full, half;
    std::vector<Mask::VertexInfo> vFull, vHalf;
    double tFull = 0, tHalf = 0;
    sample({1, 1}, full, vFull, tFull);
    sample({1, 2}, half, vHalf, tHalf);
    EXPECT_NEAR(tHalf, tFull / 2, 1e-9 * tFull);
    ASSERT_EQ(full.size(), half.size());
    for (std::size_t i = 0; i < full.size(); ++i) {
        // Path points come back in full-resolution coordinates...
        EXPECT_NEAR(half[i].position.x, full[i].position.x, 1e-7);
        EXPECT_NEAR(half[i].position.y, full[i].position.y, 1e-7);
        EXPECT_NEAR(half[i].derivative.x, 2 * full[i].derivative.x, 1e-7);
        EXPECT_NEAR(half[i].derivative.y, 2 * full[i].derivative.y, 1e-7);
    }
    // ...vertex entries in the host's (downsampled) coordinates.
    ASSERT_EQ(vFull.size(), vHalf.size());
    for (std::size_t i = 0; i < vFull.size(); ++i) {
        EXPECT_NEAR(vHalf[i].position.x, vFull[i].position.x / 2, 1e-9);
        EXPECT_NEAR(vHalf[i].position.y, vFull[i].position.y / 2, 1e-9);
        EXPECT_NEAR(vHalf[i].distance, vFull[i].distance / 2, 1e-7);
    }
}

TEST_F(MaskTest, KeyframedMaskIsCheckedOutAtTheAskedTime) {
    PF_PathID id = masks().addMask({V(0, 0), V(100, 0)}, true);
    masks().addKey(id, {0, 24}, {V(0, 0), V(100, 0)});
    masks().addKey(id, {24, 24}, {V(0, 0), V(0, 200)});
    Mask m(&in, suites(), id);
    double total = 0;
    struct Case {
        A_Time t;
        Vector end;
    } cases[] = {{{-5, 24}, {100, 0}}, {{12, 24}, {50, 100}}, {{1, 2}, {50, 100}}, {{48, 24}, {0, 200}}};
    for (const Case& c : cases) {
        ASSERT_EQ(m.update(c.t), PF_Err_NONE);
        m.getTotalLength(&total);
        EXPECT_DOUBLE_EQ(total, std::hypot(c.end.x, c.end.y));
        PathPoint p;
        m.getPathPoint(total, false, &p);
        EXPECT_EQ(p.position, c.end);
    }
    // In-data's current time drives update().
    in.current_time = 36;
    in.time_scale = 48;
    ASSERT_EQ(m.update(), PF_Err_NONE);
    m.getTotalLength(&total);
    EXPECT_DOUBLE_EQ(total, std::hypot(25, 150));
    EXPECT_EQ(masks().checkouts(), 5);
}

// ------------------------------------------------------------------ host errors and accounting
TEST_F(MaskTest, AnErrorAtEveryHostCallIsReturnedAndNothingIsLeftCheckedOut) {
    PF_PathID id = masks().addMask({V(0, 0, 0, 0, 10, 30), V(50, 0), V(50, 50)}, true);
    auto run = [&](std::vector<PF_Err>& errors) {
        Mask m(&in, suites(), id);
        errors.push_back(m.update());
        double total = 0;
        errors.push_back(m.getTotalLength(&total));
        PathPoint p;
        for (double d : {-1.0, 20.0, 1e9}) errors.push_back(m.getPathPoint(d, true, &p));
        std::vector<Mask::VertexInfo> v;
        errors.push_back(m.getVertexInfos(v));
        if (errors[0] == PF_Err_NONE) {
            EXPECT_EQ(v.size(), 3u);  // complete even after an error
        }
        errors.push_back(m.update());  // checks in, then out again
    };
    std::vector<PF_Err> clean;
    run(clean);
    for (PF_Err e : clean) ASSERT_EQ(e, PF_Err_NONE);

    const char* functions[] = {"PF_CheckoutPath",         "PF_PathNumSegments",  "PF_PathIsOpen",
                               "PF_PathPrepareSegLength", "PF_PathGetSegLength", "PF_PathEvalSegLengthDeriv1",
                               "PF_PathCleanupSegLength", "PF_CheckinPath"};
    for (const char* fn : functions) {
        host.faults().clear();
        run(clean);
        const int calls = host.faults().calls(fn);
        ASSERT_GT(calls, 0) << fn;
        for (int nth = 1; nth <= calls; ++nth) {
            host.faults().clear();
            host.faults().failCall(fn, nth, 99);
            std::vector<PF_Err> errors;
            run(errors);
            // The destructor's check-in is the last call; its error has nowhere to go.
            const bool destructor = std::string(fn) == "PF_CheckinPath" && nth == calls;
            EXPECT_NE(std::find(errors.begin(), errors.end(), 99) != errors.end(), destructor) << fn << " #" << nth;
            for (PF_Err e : errors) EXPECT_TRUE(e == 0 || e == 99) << fn << " #" << nth << ": " << e;
            EXPECT_EQ(masks().preparations(), 0) << fn << " #" << nth;
            // A check-in the host refused leaves that one path with the host.
            EXPECT_EQ(masks().checkedOut(), std::string(fn) == "PF_CheckinPath" ? 1 : 0) << fn << " #" << nth;
            if (masks().checkedOut()) {
                host.faults().clear();
                const void* held = masks().outlines.begin()->first;
                PF_PathOutlinePtr left = reinterpret_cast<PF_PathOutlinePtr>(const_cast<void*>(held));
                suites().PathQuerySuite1()->PF_CheckinPath(in.effect_ref, id, false, left);
            }
        }
    }
}

TEST_F(MaskTest, MaskIndexByUniqueId) {
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    masks().addMask({V(0, 0), V(1, 1)}, true, comp.handleOf(comp.addLayer(100, 100)));  // another layer
    PF_PathID a = masks().addMask({V(0, 0), V(1, 1)}, true);
    PF_PathID b = masks().addMask({V(0, 0), V(1, 1)}, true);
    PF_PathID c = masks().addMask({V(0, 0), V(1, 1)}, false);
    int index = 7;
    host.suites().resetCounts();
    EXPECT_EQ(getMaskIndex(&in, 0, &index), PF_Err_NONE);
    EXPECT_EQ(index, -1);
    EXPECT_TRUE(host.suites().acquireLog().empty());

    for (auto [id, want] : {std::pair<PF_PathID, int>{a, 0}, {b, 1}, {c, 2}}) {
        EXPECT_EQ(getMaskIndex(&in, id, &index), PF_Err_NONE);
        EXPECT_EQ(index, want);
    }
    host.faults().clear();
    EXPECT_EQ(getMaskIndex(&in, 1, &index), PF_Err_NONE);  // the other layer's mask
    EXPECT_EQ(index, -1);
    EXPECT_EQ(host.faults().calls("PF_PathInfo"), 3);

    for (const char* fn : {"AEGP_GetEffectLayer", "AEGP_GetLayerNumMasks", "PF_PathInfo"}) {
        host.faults().clear();
        host.faults().failCall(fn, 1, 33);
        EXPECT_EQ(getMaskIndex(&in, c, &index), 33) << fn;
        EXPECT_EQ(index, -1) << fn;
    }
    // Found before a later error would have struck.
    host.faults().clear();
    host.faults().failCall("PF_PathInfo", 2, 33);
    EXPECT_EQ(getMaskIndex(&in, a, &index), PF_Err_NONE);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(host.suites().outstanding(), 0);
}

TEST_F(MaskTest, MissingSuiteThrowsTheSuiteErrorAndReleasesWhatWasAcquired) {
    host.suites().setMissing(kAEGPLayerMaskSuite, 6);
    int index = 0;
    try {
        getMaskIndex(&in, 5, &index);
        ADD_FAILURE() << "no missing-suite error";
    } catch (int e) {
        EXPECT_EQ(e, PF_Err_BAD_CALLBACK_PARAM);
    }
    EXPECT_EQ(host.suites().outstanding(), 0);
}

}  // namespace
