// The 1-D map position and the transition index of every layout's elements,
// read back through two independent effects on each element: a "1D Phase"
// curve rising 0 to 1 over its keyframe span (phase offset = map position, to
// the curve's 1/2000 sampling grid) and a One Shot transition towards scale 0
// (scale = 1 - progress of the element's transition index).
#include "Audio.h"
#include "Masks.h"
#include "elements_fixture.h"

#include <algorithm>
#include <functional>
#include <set>

namespace {

constexpr double kDelay = 0.25, kCompletion = 0.5;

// Index of an element along its layout (the map position is index x step and
// the transition runs over the same indices) and the count n the layout
// gives both: step 1 / (n - 1), a transition over n indices.
struct Layout {
    const char* name;
    std::function<void(Parameters&)> setUp;
    std::function<int(const ShapeDrawer::Pattern&, int kept)> index;
    std::function<int(int kept)> count;
    // Where the map position is not index x step: the position itself.
    std::function<double(const ShapeDrawer::Pattern&)> position = nullptr;
};

int mod(int a, int m) {
    const int r = a % m;
    return r < 0 ? r + m : r;
}

class MapPositionTest : public ElementsTest {
protected:
    void SetUp() override {
        ElementsTest::SetUp();
        in.width = 200;
        in.height = 100;
        in.downsample_x = in.downsample_y = {1, 1};
        in.current_time = 0;
        in.time_scale = 1000;
        host.nextInData().current_time = 0;
        host.nextInData().time_scale = 1000;
        // Phase offset = the curve's value at the map position.
        params.setKeyframes(594, {{{0, 1}, scalar(0)}, {{1, 1}, scalar(100)}});
    }
    void prepare() {
        neutral(record);
        record.map1D.phaseMap.black = 0;
        record.map1D.phaseMap.white = 1;
        // Scale = 1 - progress.
        record.transitionScale = 0;
        record.transitionDelay = kDelay;
        record.transitionCompletion = kCompletion;
        record.repeaterType = 2;  // no culling where the layout allows it
    }
    void TearDown() override {
        drawer.reset();
        EXPECT_EQ(host.get<hostsim::Masks>().checkedOut(), 0);
        EXPECT_EQ(host.get<hostsim::Audio>().outstanding(), 0);
        ElementsTest::TearDown();
    }
};

// One Shot progress of index k among n, written out: L = (n - 1) delay + 1,
// progress = clamp(completion L - k delay, 0, 1).
double progress(int k, int n) {
    const double l = (n - 1) * kDelay + 1;
    return std::min(1.0, std::max(0.0, kCompletion * l - k * kDelay));
}

TEST_F(MapPositionTest, MapPositionAndTransitionIndexOfEveryLayout) {
    const PF_PathID closedPath = host.get<hostsim::Masks>().addMask({{20, 20}, {180, 20}, {180, 80}, {20, 80}}, false);
    host.get<hostsim::Audio>().setSignal(5, [](double t) { return static_cast<float>(t * 10); });
    hostsim::ParamValue audioLayer;
    audioLayer.v[0] = 5;
    params.setValue(73, audioLayer);

    auto fixed = [](int n) { return [n](int) { return n; }; };
    auto byI = [](const ShapeDrawer::Pattern& p, int) { return p.i; };
    const Layout layouts[] = {
        {"Point",
         [](Parameters& p) {
             p.pattern = 1;
             p.pointNumber = 5;
             for (int k = 0; k < 8; ++k) p.points[k] = {20.0 + 30 * k, 50};
         },
         byI, fixed(5)},
        {"Line",  // class of the raw index, cycle 4 offset 1
         [](Parameters& p) {
             p.pattern = 2;
             p.lineCenter = {100, 50};
             p.lineWidth = 30;
             p.cycle = 4;
             p.cycleOffset = 1;
         },
         [](const ShapeDrawer::Pattern& p, int) { return mod(p.i + 1, 4); }, fixed(4)},
        {"Line Segment",
         [](Parameters& p) {
             p.pattern = 3;
             p.lineSegmentNumber = 6;
             p.lineSegmentPoint1 = {10, 50};
             p.lineSegmentPoint2 = {190, 50};
             p.lineSegmentLength = 1;
         },
         byI, fixed(6)},
        {"Circle",
         [](Parameters& p) {
             p.pattern = 4;
             p.circleNumber = 7;
             p.circleCenter = {100, 50};
             p.circleRadius = 40;
             p.circleCentralAngle = 2 * 3.141592653589793;
         },
         byI, fixed(7)},
        {"Rectangle",
         [](Parameters& p) {
             p.pattern = 5;
             p.rectangleNumber = 8;
             p.rectangleCenter = {100, 50};
             p.rectangleMode = 1;
             p.rectangleWidth = 60;
             p.rectangleLength = 1;
         },
         byI, fixed(8)},
        {"Grid",  // Diagonal order: index r + c, cycle 5 offset -1
         [](Parameters& p) {
             p.pattern = 6;
             p.gridCenter = {100, 50};
             p.gridMode = 1;
             p.gridWidth = 40;
             p.gridOrder = 3;
             p.cycle = 5;
             p.cycleOffset = -1;
         },
         [](const ShapeDrawer::Pattern& p, int) { return mod(p.i + p.j - 1, 5); }, fixed(5)},
        {"Finite Grid",  // Diagonal, 3 x 3: index c + r, count cols + rows
         [](Parameters& p) {
             p.pattern = 7;
             p.finiteGridCenter = {100, 50};
             p.finiteGridMode = 1;
             p.finiteGridWidth = 30;
             p.finiteGridColumn = 3;
             p.finiteGridRow = 3;
             p.finiteGridOrder = 3;
         },
         [](const ShapeDrawer::Pattern& p, int) { return p.i + p.j; }, fixed(6)},
        {"Triangular Grid",  // class of the row, cycle 3 offset 1
         [](Parameters& p) {
             p.pattern = 8;
             p.triangularGridCenter = {100, 50};
             p.triangularGridRadius = 25;
             p.triangularGridHeight = 1;
             p.cycle = 3;
             p.cycleOffset = 1;
         },
         [](const ShapeDrawer::Pattern& p, int) { return mod(p.j + 1, 3); }, fixed(3)},
        {"Path",  // Number mode on a closed path, maps by index
         [closedPath](Parameters& p) {
             p.pattern = 9;
             p.pathMask = closedPath;
             p.pathScale = 1;
             p.pathMode = 2;
             p.pathNumber = 5;
             p.pathLength = 1;
             p.pathShapeMapMode = p.pathScaleMapMode = p.pathColorMapMode = p.pathPhaseMapMode = 1;
         },
         byI, fixed(5)},
        {"Path, phase map by position",  // Offset 0.1 turn: positions 0.1, 0.3, ... along the path
         [closedPath](Parameters& p) {
             p.pattern = 9;
             p.pathMask = closedPath;
             p.pathScale = 1;
             p.pathMode = 2;
             p.pathNumber = 5;
             p.pathLength = 1;
             p.pathOffset = 0.1;
             p.pathShapeMapMode = p.pathScaleMapMode = p.pathColorMapMode = 1;
             p.pathPhaseMapMode = 2;
         },
         byI, fixed(5), [](const ShapeDrawer::Pattern& p) { return 0.1 + 0.2 * p.i; }},
        {"Waveform",
         [](Parameters& p) {
             p.pattern = 10;
             p.waveformPoint1 = {10, 50};
             p.waveformPoint2 = {190, 50};
             p.waveformMaxHeight = 20;
             p.waveformPower = 1;
             p.waveformSamplingRate = 1000;
             p.waveformDuration = 100;
             p.waveformSamples = 9;
         },
         byI, fixed(9)},
        {"Graph",
         [](Parameters& p) {
             p.pattern = 11;
             p.graphOrigin = {0, 50};
             p.graphFrom = 0;
             p.graphTo = 1;
             p.graphMode = 1;
             p.graphNumber = 7;
             p.graphEqualize = 0;
             p.graphDetail = 2;
             p.graphDelta = 0.01;
         },
         byI, fixed(7)},
        {"Random",  // every sampled point kept: the count is the element count
         [](Parameters& p) {
             p.pattern = 12;
             p.randomDistance = 30;
             p.randomMode = 3;
             p.randomCenter = {100, 50};
             p.randomRadius = 60;
             p.randomScale = 1;
             p.randomOrder = 1;
             p.randomSeed = 7;
         },
         byI, [](int kept) { return kept; }},
    };
    ASSERT_EQ(sizeof layouts / sizeof layouts[0], 13u);  // twelve layouts, Path in both map modes

    for (const Layout& l : layouts) {
        prepare();
        l.setUp(record);
        ShapeDrawer& d = make(200, 100);
        ASSERT_EQ(d.createPatterns(), PF_Err_NONE) << l.name;
        const int kept = static_cast<int>(d.patterns.size());
        ASSERT_GE(kept, 3) << l.name;
        const int n = l.count(kept);
        std::set<int> indices;
        for (const ShapeDrawer::Pattern& p : d.patterns) {
            const int k = l.index(p, kept);
            indices.insert(k);
            const double u = l.position ? l.position(p) : k * (n > 1 ? 1.0 / (n - 1) : 1.0);
            // The curve samples at floor(u x 2000) / 2000 of its span.
            ASSERT_TRUE(p.hasPhaseOffset) << l.name;
            EXPECT_LE(p.phaseOffset, u + 1e-9) << l.name << " element " << p.i << "," << p.j << " index " << k;
            EXPECT_GE(p.phaseOffset, u - 1.0 / 2000 - 1e-9)
                << l.name << " element " << p.i << "," << p.j << " index " << k;
            EXPECT_NEAR(p.scale, 1 - progress(k, n), 1e-12)
                << l.name << " element " << p.i << "," << p.j << " transition index " << k << " of " << n;
        }
        EXPECT_GE(indices.size(), 3u) << l.name << ": too few distinct indices to tell wires apart";
    }
}

}  // namespace
