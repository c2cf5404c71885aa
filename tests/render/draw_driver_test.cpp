// The drawing driver: stacking order, the priority queue, the repeaters'
// copies and their order, the choice of shape per element and the hand-over
// to the right rasteriser, and the image shapes' colour steps.
#include "DrawCircle.h"
#include "DrawFixture.h"
#include "Params.h"
#include "Sampling.h"
#include "VemaroElementBounds.h"
#include "VemaroLayerDrawer.h"
#include "VemaroLineDrawer.h"
#include "VemaroPolygonDrawer.h"

#include <atomic>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>

class DrawDriver : public DrawFixture {
protected:
    // One rasteriser run on its own over a fresh 200 x 100 world.
    template <class Drawer, class Record>
    std::unique_ptr<hostsim::World> direct(Record& r) {
        auto w = std::make_unique<hostsim::World>(200, 100, hostsim::Depth::Bits8);
        Drawer drawer(&in, *suites, 0, w->get(), 0, r);
        if (drawer.doRender()) {
            EXPECT_EQ(iterateGeneric(&in, *suites, &drawer, 1), PF_Err_NONE);
        }
        return w;
    }
    // One element at (50, 50) on a 200 x 100 output, each draw traced: the
    // copies' offsets in the order the passes drew them.
    std::vector<Vector> copies(int width = 200, int height = 100) {
        record.queueByPriority = 1;
        ShapeDrawer& d = make(width, height);
        d.patterns = {element(50, 50)};
        std::vector<ShapeDrawer::PatternQueue> drawn;
        d.trace = &drawn;
        EXPECT_EQ(d.draw(), PF_Err_NONE);
        std::vector<Vector> o;
        for (const auto& q : drawn) o.push_back(q.offset);
        return o;
    }
};

namespace {
bool sameColour(const PF_Pixel& p, A_u_char r, A_u_char g, A_u_char b) {
    return p.red == r && p.green == g && p.blue == b;
}
}  // namespace

TEST_F(DrawDriver, EmptyListAsksTheHostNothing) {
    ShapeDrawer& d = make();
    EXPECT_EQ(d.draw(), PF_Err_NONE);
    EXPECT_EQ(host.faults().calls("AEGP_GetEffectLayer"), 0);
}

// The last element of the list ends on top; with different priorities the
// higher one ends on top whatever the list order.
TEST_F(DrawDriver, StackingAndPriority) {
    shapes(2);
    record.shapes[0].color = {1, 1, 0, 0};
    record.shapes[1].color = {1, 0, 0, 1};
    {
        ShapeDrawer& d = make();
        d.patterns = {element(50, 50, 0), element(53, 50, 1)};
        ASSERT_EQ(d.draw(), PF_Err_NONE);
        EXPECT_TRUE(sameColour(output->at<PF_Pixel>(51, 50), 0, 0, 255));  // the last, blue, on top
    }
    record.shapes[0].priority = 2;
    record.queueByPriority = 1;
    {
        ShapeDrawer& d = make();
        d.patterns = {element(50, 50, 1), element(53, 50, 0), element(120, 50, 1), element(20, 20, 0)};
        std::vector<ShapeDrawer::PatternQueue> drawn;
        d.trace = &drawn;
        ASSERT_EQ(d.draw(), PF_Err_NONE);
        EXPECT_TRUE(sameColour(output->at<PF_Pixel>(51, 50), 255, 0, 0));  // priority 2, red, on top
        // Priority 2 first, each group in the order the pass met it (last element first).
        std::vector<int> order;
        for (const auto& q : drawn) order.push_back(int(q.pattern - d.patterns.data()));
        EXPECT_EQ(order, (std::vector<int>{3, 1, 2, 0}));
    }
}

// Elements are handed to the rasteriser of their shape's kind with the
// record the shape settings give; an unknown kind draws nothing.
TEST_F(DrawDriver, DispatchToTheRasteriser) {
    record.shapes[0].size = 20;
    record.shapes[0].fillStroke = 3;
    record.shapes[0].strokeWidth = 2;
    record.shapes[0].strokeColor = {1, 0, 1, 0};
    record.shapes[0].opacity = 0.5;
    record.transformScale = 1.5;
    ShapeDrawer& d = make();
    d.patterns = {element(60.3, 40.2)};
    ASSERT_EQ(d.draw(), PF_Err_NONE);
    hostsim::World ref(200, 100, hostsim::Depth::Bits8);
    CircleDrawer::Pattern c = circle(60.3, 40.2, 15, 3, 0, 3, 0.5);
    c.fill = {1, 1, 1, 1};
    c.stroke = {1, 0, 1, 0};
    ASSERT_EQ(drawCircle(&in, *suites, ref, c), PF_Err_NONE);
    EXPECT_TRUE(sameWorld(*output, ref));

    record.shapes[0].type = 9;
    ShapeDrawer& u = make();
    u.patterns = {element(60, 40)};
    ASSERT_EQ(u.draw(), PF_Err_NONE);
    EXPECT_TRUE(sameWorld(*output, hostsim::World(200, 100, hostsim::Depth::Bits8)));
}

// With a post-2D shape map the slot is trunc(N * rate) (N - 1 at rate 1),
// shifted by Shape Offset modulo N, then found in the running weights.
TEST_F(DrawDriver, ShapeChoiceByMap) {
    struct Case {
        std::vector<int> times;
        int offset;
        A_u_char alpha;  // the rate, through the Alpha channel
        int want;
    };
    const Case cases[] = {
        {{1, 1, 1}, 0, 255, 2},                         // rate 1: slot N - 1
        {{1, 1, 1}, 0, 0, 0},   {{1, 1, 1}, -1, 0, 2},  // offset -1, q 0: v = 2
        {{2, 1}, 0, 0, 0},                              // weights 2, 3: v = 0 and 1 choose shape 0
        {{2, 1}, 0, 128, 0},                            // q = trunc(3 * 0.502) = 1
        {{2, 1}, 0, 255, 1},                            // v = 2 chooses shape 1
        {{2, 1}, 7, 0, 0},                              // 7 mod 3 = 1
    };
    for (const Case& c : cases) {
        neutral();
        shapes(int(c.times.size()));
        int sum = 0;
        for (std::size_t s = 0; s < c.times.size(); ++s) record.shapeWeights[s] = sum += c.times[s];
        record.shapeWeightTotal = sum;
        record.shapeOffset = c.offset;
        hostsim::World& map = uniform(PF_Pixel{c.alpha, 0, 0, 0});
        record.mapPost2D.shapeMap.layer = map.get();
        record.mapPost2D.shapeMap.channel = 9;
        ShapeDrawer& d = make();
        PF_Err err = PF_Err_NONE;
        EXPECT_EQ(d.chooseShape(element(20, 20, 5), Vector(), err), c.want)
            << "offset " << c.offset << " alpha " << int(c.alpha);
        EXPECT_EQ(err, PF_Err_NONE);
    }
}

// ------------------------------------------------------------ repeaters

TEST_F(DrawDriver, Repeater1D) {
    record.repeaterType = 2;
    record.repeaterX = {30, 0};
    const std::vector<Vector> got = copies();
    // Every n whose grown box [50 - m + 30n, 50 + m + 30n] meets [0, 200],
    // from the +step side down.
    const double m = getMaxSize(&in, &record);
    std::vector<Vector> want;
    for (int n = 100; n >= -100; --n)
        if (50 + m + 30 * n >= 0 && 50 - m + 30 * n <= 200) want.push_back({30.0 * n, 0});
    EXPECT_EQ(got, want);

    // Pattern Grid never repeats; a step shorter than 0.01 draws once.
    for (auto [pattern, step] : {std::pair{6, 30.0}, std::pair{1, 0.0099}}) {
        record.pattern = pattern;
        record.repeaterX = {step, 0};
        EXPECT_EQ(copies(), std::vector<Vector>{Vector()}) << pattern << " " << step;
    }
    // Steps of 0.01 reach every copy across the output.
    record.pattern = 1;
    record.shapes[0].size = 1;
    for (Vector step : {Vector(0.01, 0), Vector(0.006, 0.008)}) {
        record.repeaterX = step;
        const std::vector<Vector> fine = copies();
        const double m1 = getMaxSize(&in, &record);
        std::size_t expected = 0;
        for (int n = -50000; n <= 50000; ++n) {
            const Vector o = step * n;
            expected += 50 + m1 + o.x >= 0 && 50 - m1 + o.x <= 200 && 50 + m1 + o.y >= 0 && 50 - m1 + o.y <= 100;
        }
        EXPECT_EQ(fine.size(), expected) << step.x;
        EXPECT_GT(fine.size(), 10000u);
    }
}

// Rows with m decreasing, copies within a row with n decreasing, also for
// steps at an obtuse angle; exactly the copies whose grown box meets the
// output, however many; rotated with the transform. The expected set is
// every lattice point over a range around the output, tested one by one.
TEST_F(DrawDriver, Repeater2D) {
    struct Case {
        Vector a, b;
        double rotation;
        int width, height;
        std::size_t atLeast;  // copies
    };
    const Case cases[] = {
        {{30, 0}, {0, 25}, 0, 200, 100, 0},
        {{30, 0}, {-20, 25}, 0, 200, 100, 0},  // obtuse
        {{30, 0}, {10, 25}, 0.3, 200, 100, 0},
        {{-25, 5}, {5, -30}, 0, 200, 100, 0},
        {{30, 0}, {0, 0.005}, 0, 200, 100, 20000},         // a second step under 0.01 still spans rows
        {{6.5, 10.9}, {7.06, 12.31}, 0, 640, 360, 75000},  // a fine skewed lattice
        {{1, 0}, {0, 1}, 0, 1100, 1000, 1100000},          // one copy per pixel
    };
    for (const Case& c : cases) {
        neutral();
        record.shapes[0].size = 1;
        record.repeaterType = 3;
        record.repeaterX = c.a;
        record.repeaterY = c.b;
        record.transformRotation = c.rotation;
        const std::vector<Vector> got = copies(c.width, c.height);
        const double cs = std::cos(c.rotation), sn = std::sin(c.rotation);
        const Vector A{c.a.x * cs - c.a.y * sn, c.a.x * sn + c.a.y * cs};
        const Vector B{c.b.x * cs - c.b.y * sn, c.b.x * sn + c.b.y * cs};
        const double det = A.x * B.y - A.y * B.x;
        const double m = getMaxSize(&in, &record);
        const double W = c.width, H = c.height;
        // The lattice coordinates of the grown output's corners bound the search.
        double nLo = 1e300, nHi = -1e300, kLo = 1e300, kHi = -1e300;
        for (Vector q :
             {Vector(-m - 60, -m - 60), Vector(W + m, -m - 60), Vector(W + m, H + m), Vector(-m - 60, H + m)}) {
            const double n = (q.x * B.y - q.y * B.x) / det, k = (A.x * q.y - A.y * q.x) / det;
            nLo = std::min(nLo, n), nHi = std::max(nHi, n), kLo = std::min(kLo, k), kHi = std::max(kHi, k);
        }
        // Rows with m decreasing, in each row n decreasing: the order the
        // search below meets the lattice points in.
        std::vector<std::pair<int, int>> want;
        for (int k = int(kHi) + 2; k >= int(kLo) - 2; --k)
            for (int n = int(nHi) + 2; n >= int(nLo) - 2; --n) {
                const Vector o = A * n + B * k;
                if (50 + m + o.x >= 0 && 50 - m + o.x <= W && 50 + m + o.y >= 0 && 50 - m + o.y <= H)
                    want.push_back({n, k});
            }
        std::vector<std::pair<int, int>> seen;
        for (const Vector& o : got) {
            const double n = (o.x * B.y - o.y * B.x) / det, k = (A.x * o.y - A.y * o.x) / det;
            const std::pair<int, int> nk{int(std::lround(n)), int(std::lround(k))};
            ASSERT_NEAR(n, nk.first, 1e-6);
            ASSERT_NEAR(k, nk.second, 1e-6);
            seen.push_back(nk);
        }
        EXPECT_GE(got.size(), c.atLeast);
        EXPECT_TRUE(seen == want) << c.a.x << "," << c.a.y << " / " << c.b.x << "," << c.b.y << ": " << got.size()
                                  << " copies, " << want.size() << " expected";
    }
}

namespace {
// The process's peak resident size in KiB since the last reset; -1 where the
// system does not say.
long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}
bool resetPeakResident() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }
}  // namespace

// With priorities that differ, two elements repeated once per pixel (2.2
// million draws) go out as the copies are walked, one walk per priority: the
// peak resident size grows by the draw batches, not by a list of every draw
// (which took 40 bytes a draw and grew without bound with the copies).
TEST_F(DrawDriver, PriorityOrderHoldsNoListOfTheDraws) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps what is freed";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the sanitizer's allocator keeps what is freed";
#endif
#endif
    shapes(2);
    record.shapes[0].size = record.shapes[1].size = 1;
    record.shapes[1].priority = 2;
    record.queueByPriority = 1;
    record.repeaterType = 3;
    record.repeaterX = {1, 0};
    record.repeaterY = {0, 1};
    ShapeDrawer& d = make(1100, 1000);
    d.patterns = {element(50, 50, 0), element(50.5, 50, 1)};
    if (!resetPeakResident() || peakResidentKb() < 0) GTEST_SKIP() << "no peak resident size to read";
    const long before = peakResidentKb();
    ASSERT_EQ(d.draw(), PF_Err_NONE);
    EXPECT_LT(peakResidentKb() - before, 32 * 1024);
}

TEST_F(DrawDriver, Repeater2DFallsBackToOneStep) {
    record.repeaterType = 3;
    struct Case {
        Vector a, b, along;
    };
    const Case cases[] = {
        {{0.001, 0}, {0, 25}, {0, 25}},    // first step too short: along Y
        {{30, 0}, {-60, 0.001}, {30, 0}},  // nearly parallel: along X
        {{30, 0}, {0, 0}, {30, 0}},        // a zero second step: along X
    };
    for (const Case& c : cases) {
        record.repeaterX = c.a;
        record.repeaterY = c.b;
        const std::vector<Vector> got = copies();
        ASSERT_GT(got.size(), 2u);
        for (const Vector& o : got) {
            const double n = c.along.x != 0 ? o.x / c.along.x : o.y / c.along.y;
            EXPECT_NEAR(o.x, c.along.x * std::round(n), 1e-9);
            EXPECT_NEAR(o.y, c.along.y * std::round(n), 1e-9);
        }
    }
}

TEST_F(DrawDriver, BoxesOverlapInclusively) {
    ShapeDrawer& d = make();
    EXPECT_TRUE(d.hitRectangle({0, 0}, {10, 10}, {10, 10}, {20, 20}));  // touching corner
    EXPECT_FALSE(d.hitRectangle({0, 0}, {10, 10}, {10.001, 0}, {20, 20}));
    d.patterns = {element(5, 7), element(-3, 9), element(4, -2)};
    Vector mn, mx;
    d.calculateBoundingBox(mn, mx);
    EXPECT_EQ(mn, Vector(-3, -2));
    EXPECT_EQ(mx, Vector(5, 9));
}

// A failed element draw stops the frame and is reported.
TEST_F(DrawDriver, FirstErrorStops) {
    hostsim::World& map = uniform(PF_Pixel{255, 255, 255, 255});
    record.mapPost2D.scaleMap = {map.get(), 0, 3, 0, 0, 1, 0, 1, 1};
    ShapeDrawer& d = make();
    d.patterns = {element(20, 20), element(60, 20), element(100, 20)};
    host.faults().failCall("subpixel_sample", host.faults().calls("subpixel_sample") + 2, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(d.draw(), PF_Err_OUT_OF_MEMORY);
    EXPECT_NE(output->at<PF_Pixel>(100, 20).alpha, 0);  // drawn first
    EXPECT_EQ(output->at<PF_Pixel>(60, 20).alpha, 0);
    EXPECT_EQ(output->at<PF_Pixel>(20, 20).alpha, 0);
}

// ------------------------------------------------------------ image shapes
TEST_F(DrawDriver, InputElementDrawsTheSourceWithItsToning) {
    hostsim::World& src = uniform(PF_Pixel{255, 200, 200, 200}, 10, 10);
    struct Case {
        const char* what;
        int toner;
        int mapMode;  // 1D colour map mode, 0 = none
        PF_Pixel want;
    };
    // Shape colour red; 1D map colour green (HLS 120, 0.5, 1) at alpha 0.5.
    const Case cases[] = {
        {"as it is", 1, 0, {255, 200, 200, 200}},
        {"fill", 3, 0, {255, 255, 0, 0}},
        // Fill first, then the 1D tint: red times green is black.
        {"fill then tint", 3, 2, {128, 0, 0, 0}},
        // Tint then a Fill map: one fill, alpha the product of the tones' (1 * 0.5).
        {"tint then fill collapse", 4, 1, {128, 0, 255, 0}},
        // Luma 200/255 above one half: red + (white - red) * (2 * 0.784 - 1)
        // = (1, 0.569, 0.569), whose luma is not kept.
        {"tritone ignores preserve luma", 5, 0, {255, 255, 145, 145}},
    };
    for (const Case& c : cases) {
        neutral();
        Parameters::Shape& s = record.shapes[0];
        s.type = 4;
        s.boundingBox = 1;
        s.layer = src.get();
        s.layerRect = {-1, -1, 10, 10};
        s.toner = c.toner;
        s.color = {1, 1, 0, 0};
        s.highlight = {1, 1, 1, 1};
        s.shadow = {1, 0, 0, 0};
        s.preserveLuma = 1;
        record.map1D.colorMap.mode = c.mapMode;
        ShapeDrawer& d = make(40, 40);
        ShapeDrawer::Pattern e = element(20, 20);
        e.hasColor1 = c.mapMode != 0;
        e.color1 = {0.5f, 120, 0.5f, 1};
        d.patterns = {e};
        ASSERT_EQ(d.draw(), PF_Err_NONE) << c.what;
        const PF_Pixel& o = output->at<PF_Pixel>(20, 20);
        EXPECT_TRUE(samePixel(o, c.want))
            << c.what << ": " << int(o.alpha) << " " << int(o.red) << " " << int(o.green) << " " << int(o.blue);
        EXPECT_EQ(output->at<PF_Pixel>(26, 20).alpha, 0) << c.what;  // 10 pixels wide around 20
    }
    // No source world: nothing, no error.
    neutral();
    record.shapes[0].type = 5;
    ShapeDrawer& d = make(40, 40);
    d.patterns = {element(20, 20)};
    EXPECT_EQ(d.draw(), PF_Err_NONE);
}

// ------------------------------------------------------------ per-element layer frames
namespace {
// The loaded effect, so that its Layer parameters can be checked out at the
// times the drawing asks for.
class DrawLayerFrames : public DrawFixture {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(setUpWithEffect()); }
};
}  // namespace

// Still Frame and Loop pick the frame from Layer Time (wrapped into [0, 1)),
// the element and, for Loop, the current frame; the frame is checked out
// for the element and checked in again.
TEST_F(DrawLayerFrames, FramePerElement) {
    auto& params = host.get<hostsim::Params>();
    hostsim::World frame(8, 8, hostsim::Depth::Bits8);
    frame.fill(PF_Pixel{255, 0, 255, 0});
    std::vector<hostsim::LayerRequest> asked;
    params.checkoutLayer = [&](const hostsim::LayerRequest& r, PF_LayerDef& w) {
        asked.push_back(r);
        w = *frame.get();
        return PF_Err_NONE;
    };
    hostsim::World still(8, 8, hostsim::Depth::Bits8);
    still.fill(PF_Pixel{255, 255, 0, 0});
    struct Case {
        int sampling;  // 2 Still Frame, 4 Loop
        double time;
        long want;  // composition frame
    };
    const Case cases[] = {
        {2, 0.999, 19},  // never past out - 1
        {2, -0.25, 17},  // wrapped to 0.75
        {4, 0.25, 15},   // (3 + 2 + 10) mod 10 = 5
        {4, -0.75, 15},
    };
    for (const Case& c : cases) {
        neutral();
        Parameters::Shape& s = record.shapes[0];
        s.type = 5;
        s.layer = still.get();
        s.layerRect = {-1, -1, 8, 8};
        s.layerInFrame = 10, s.layerOutFrame = 20;
        s.layerSampling = c.sampling;
        s.layerTime = c.time;
        s.randomizeLayerSampling = 2;  // Linear: plus the element's t (0 here)
        record.frameDuration = {1, 25};
        in.current_time = 3 * 100, in.time_scale = 2500;
        asked.clear();
        ShapeDrawer& d = make(40, 40);
        d.patterns = {element(20, 20)};
        ASSERT_EQ(d.draw(), PF_Err_NONE);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].index, 189);
        EXPECT_EQ(static_cast<long long>(asked[0].time) * 25, static_cast<long long>(c.want) * asked[0].scale)
            << c.sampling << " " << c.time;
        EXPECT_TRUE(sameColour(output->at<PF_Pixel>(20, 20), 0, 255, 0));  // the element's own frame
        EXPECT_EQ(params.outstandingCheckouts(), 0);
    }
}

// The per-shape transition moves, scales and fades the drawn shape; the maps
// are still read at the element's own position.
TEST_F(DrawDriver, ShapeTransitionMovesTheDrawingNotTheSampling) {
    hostsim::World& map = uniform(PF_Pixel{255, 255, 255, 255}, 200, 100);
    record.mapPost2D.scaleMap = {map.get(), 0, 3, 0, 0, 1, 0, 1, 1};
    in.width = 200, in.height = 100;
    ShapeDrawer& d = make();
    ShapeTransitioner& t = d.shapeTransitioner;
    t.enabled = 1;
    t.offsets = {Vector(30, 10)};
    t.scales = {2};
    t.opacities = {0.5};
    t.phases = {1};
    t.colorSet = {0};
    t.colors = {Color{}};
    d.patterns = {element(50, 40)};
    auto& sampling = host.get<hostsim::Sampling>();
    sampling.logRequests(true);
    sampling.clearRequests();
    ASSERT_EQ(d.draw(), PF_Err_NONE);
    const auto req = sampling.requests();
    ASSERT_EQ(req.size(), 1u);
    EXPECT_EQ(req[0].x, 50 * 65536);
    EXPECT_EQ(req[0].y, 40 * 65536);
    hostsim::World ref(200, 100, hostsim::Depth::Bits8);
    ASSERT_EQ(drawCircle(&in, *suites, ref, circle(80, 50, 10, 1, 0, 0, 0.5)), PF_Err_NONE);
    EXPECT_TRUE(sameWorld(*output, ref));
}

// A Line element: random length and thickness from draws 1 and 2 of the
// scale seed, rotated by the layer rotation, the shape's phase and the
// per-shape transition phase (which a Circle ignores).
TEST_F(DrawDriver, LineElementRecord) {
    Parameters::Shape& s = record.shapes[0];
    s.type = 1;
    s.size = 40;
    s.thickness = 0.25;
    s.minimumWidth = 0.5;
    s.minimumHeight = 0.2;
    s.scaleSeed = {2, 3};
    s.phase = 0.3;
    record.transformRotation = 0.2;
    ShapeDrawer& d = make();
    ShapeTransitioner t = d.shapeTransitioner;
    t.enabled = 1;
    t.offsets = {Vector()};
    t.scales = {1};
    t.opacities = {1};
    t.phases = {0.4};
    t.colorSet = {0};
    t.colors = {Color{}};
    d.shapeTransitioner = t;
    d.patterns = {element(90.5, 45.25, 0, 1, 2)};
    ASSERT_EQ(d.draw(), PF_Err_NONE);

    LineDrawer::Pattern p;
    p.x = 90.5, p.y = 45.25;
    p.halfLength = 20 * (1 - hash(1, 2, 1, {2, 3}) * 0.5);
    p.halfThickness = 20 * (1 - hash(1, 2, 2, {2, 3}) * 0.8) * 0.25;
    p.fill = p.stroke = {1, 1, 1, 1};
    p.phase = 0.2 + 0.3 + 0.0 + 0.4;
    EXPECT_TRUE(sameWorld(*output, *direct<LineDrawer>(p)));

    // The same element as a Polygon: radius, sides, starness, inner radius
    // and the same rotation.
    s.type = 3;
    s.sides = 5;
    s.starness = 0.4;
    s.innerRadius = 0.3;
    ShapeDrawer& g = make();
    g.shapeTransitioner = t;
    g.patterns = {element(90.5, 45.25, 0, 1, 2)};
    ASSERT_EQ(g.draw(), PF_Err_NONE);
    PolygonDrawer::Pattern q;
    q.x = 90.5, q.y = 45.25;
    q.radius = 20;
    q.sides = 5;
    q.starness = 0.4;
    q.innerRadius = 0.3;
    q.fill = q.stroke = {1, 1, 1, 1};
    q.phase = p.phase;
    EXPECT_TRUE(sameWorld(*output, *direct<PolygonDrawer>(q)));
}

// ------------------------------------------------------------ failure paths
// Every shape kind with each suite the drawing uses missing, at 1, 4 and 8
// threads: the drawing reports the host's error for a suite it needs and
// draws without the others; no exception ever leaves a band (one would end
// the process).
TEST_F(DrawDriver, MissingSuitesAreErrorsAtEveryThreadCount) {
    hostsim::World& src = uniform(PF_Pixel{255, 200, 100, 50}, 10, 10);
    const char* const names[] = {"AEGP PF Interface Suite", "AEGP Iterate Suite", "PF Iterate8 Suite",
                                 "PF Sampling8 Suite"};
    for (int type = 1; type <= 5; ++type)
        for (const char* name : names)
            for (int threads : {1, 4, 8}) {
                neutral();
                record.shapes[0].type = type;
                record.shapes[0].layer = src.get();
                record.shapes[0].layerRect = {-1, -1, 10, 10};
                record.shapes[0].boundingBox = 1;
                setThreads(threads);
                host.suites().setMissing(name, 1);
                suites = std::make_unique<AEGP_SuiteHandler>(in.pica_basicP);
                ShapeDrawer& d = make(200, 100);
                for (int n = 0; n < 60; ++n) d.patterns.push_back(element(n * 7 % 200, n * 13 % 100));
                PF_Err err = PF_Err_NONE;
                try {
                    err = d.draw();
                } catch (int e) {  // the effect's entry point turns these into errors
                    err = e;
                }
                const bool needed = std::string(name) != "PF Sampling8 Suite" || type >= 4;
                EXPECT_EQ(err, needed ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE)
                    << "type " << type << ", " << name << " missing, " << threads << " threads";
                drawer.reset();
                suites.reset();
                host.suites().setMissing(name, 1, false);
                suites = std::make_unique<AEGP_SuiteHandler>(in.pica_basicP);
            }
}

// Drawing that would take hours (a 2D repeater of 0.02 px steps over 10,000
// elements) gives control back once the host reports an abort, with the
// host's error.
TEST_F(DrawDriver, AbortStopsLongDrawing) {
    auto& core = host.get<hostsim::Core>();
    record.repeaterType = 3;
    record.repeaterX = {0.02, 0};
    record.repeaterY = {0, 0.02};
    for (int threads : {1, 8}) {
        setThreads(threads);
        ShapeDrawer& d = make(640, 360);
        for (int n = 0; n < 10000; ++n) d.patterns.push_back(element(n % 100, n / 100));
        core.abortCalls = 0;
        std::thread user([&] {
            while (core.abortCalls.load() < 3) std::this_thread::yield();
            core.abortError = PF_Interrupt_CANCEL;
        });
        EXPECT_EQ(d.draw(), PF_Interrupt_CANCEL) << threads << " threads";
        user.join();
        core.abortError = PF_Err_NONE;
    }
}

// One Input or Layer element covering a 4K output samples every pixel of it:
// its drawing asks for the abort between rows, so a cancel mid-element gives
// control back before the element is done (at one thread the bottom rows are
// still empty), with the host's error.
TEST_F(DrawDriver, AbortStopsOneHugeImageElement) {
    auto& core = host.get<hostsim::Core>();
    hostsim::World& src = uniform({255, 40, 200, 90}, 64, 64);
    for (int type : {4, 5})
        for (int threads : {1, 8}) {
            neutral();
            Parameters::Shape& s = record.shapes[0];
            s.type = type;
            s.layer = src.get();
            s.boundingBox = 1;  // scaled from the source's own frame
            s.layerRect = {-1, -1, 64, 64};
            s.size = 20000;  // 64 source pixels over 20,000 output pixels: the whole output
            setThreads(threads);
            ShapeDrawer& d = make(3840, 2160);
            d.patterns = {element(1920, 1080)};
            core.abortCalls = 0;
            std::atomic<bool> done{false};
            std::thread user([&] {
                while (core.abortCalls.load() < 3 && !done) std::this_thread::yield();
                core.abortError = PF_Interrupt_CANCEL;
            });
            EXPECT_EQ(d.draw(), PF_Interrupt_CANCEL) << "type " << type << ", " << threads << " threads";
            done = true;
            user.join();
            core.abortError = PF_Err_NONE;
            if (threads == 1) {
                EXPECT_EQ(output->at<PF_Pixel>(0, 0).alpha, 255) << "type " << type;
                EXPECT_EQ(output->at<PF_Pixel>(3839, 2159).alpha, 0) << "type " << type;
            }
        }
}
