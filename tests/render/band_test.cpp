// Every work object gives bit-identical output whatever the band count, also
// when the region has fewer rows than bands; whole frames the same for every
// thread count.
#include "DrawCircle.h"
#include "DrawFixture.h"
#include "Params.h"
#include "RenderFixture.h"
#include "VemaroBlender.h"
#include "VemaroElementPipeline.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using hostsim::Depth;
using hostsim::World;

using Bands = RenderFixture;

namespace {

// Circles of every kind, with regions taller and shorter than the band count.
std::vector<std::pair<CircleDrawer::Pattern, bool>> elements() {
    std::vector<std::pair<CircleDrawer::Pattern, bool>> e;
    for (bool draft : {false, true}) {
        e.push_back({circle(60.2, 50.7, 45.3), draft});
        e.push_back({circle(80.6, 40.1, 30.2, 3, 0.4, 4.5, 0.8), draft});
        e.push_back({circle(30.3, 70.8, 25.7, 2, 0.5, 3.0, 0.9), draft});
        e.push_back({circle(100.1, 90.4, 1.2, 3, 0.0, 0.4), draft});  // 3 or 4 rows
    }
    int mode = 1;
    for (auto& [p, draft] : e) {
        p.blendMode = mode;
        p.fill = {1, 0.2f * mode, 0.5f, 0.9f};
        mode = mode % 15 + 1;
    }
    return e;
}

void render(PF_InData* in, AEGP_SuiteHandler& suites, World& out, World& input, int threads) {
    const int bpc = static_cast<int>(out.depth());
    for (auto& [p, draft] : elements()) {
        CircleDrawer d(in, suites, draft, out.get(), bpc, p);
        if (d.doRender()) {
            ASSERT_EQ(iterateGeneric(in, suites, &d, threads), PF_Err_NONE);
        }
    }
    Blender b(in, suites, input.get(), out.get(), bpc, 0.7, 10);
    ASSERT_EQ(iterateGeneric(in, suites, &b, threads), PF_Err_NONE);
    b.blend = 1;
    ASSERT_EQ(iterateGeneric(in, suites, &b, threads), PF_Err_NONE);
}

template <class P>
void paint(World& w) {
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            P& p = w.at<P>(x, y);
            const double v = ((x * 7 + y * 13) % 17) / 16.0;
            if constexpr (std::is_same_v<P, PF_PixelFloat>) {
                p = {static_cast<float>(v), 0.3f, static_cast<float>(1 - v), 0.6f};
            } else {
                const double full = std::is_same_v<P, PF_Pixel> ? 255 : 32768;
                using C = decltype(p.alpha);
                p = {static_cast<C>(v * full), static_cast<C>(0.3 * full), static_cast<C>((1 - v) * full),
                     static_cast<C>(0.6 * full)};
            }
        }
}

}  // namespace

TEST_F(Bands, OutputIsTheSameForEveryBandCount) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        for (int height : {120, 5}) {
            auto make = [&] {
                auto w = std::make_unique<World>(130, height, depth, 3, 4, 2);
                return w;
            };
            World input(120, 110, depth, 2, 0, -3);
            if (depth == Depth::Bits8) paint<PF_Pixel>(input);
            if (depth == Depth::Bits16) paint<PF_Pixel16>(input);
            if (depth == Depth::Float) paint<PF_PixelFloat>(input);
            auto reference = make();
            setThreads(1);
            render(&in, *suites, *reference, input, 1);
            for (int threads : {2, 3, 7, 64}) {
                setThreads(threads);
                auto w = make();
                render(&in, *suites, *w, input, threads);
                EXPECT_TRUE(sameWorld(*w, *reference))
                    << "depth " << static_cast<int>(depth) << ", height " << height << ", " << threads << " bands";
                EXPECT_TRUE(w->paddingUntouched());
            }
        }
    }
}

// ------------------------------------------------------------ whole frames
namespace {

class FrameBands : public DrawFixture {
protected:
    // Five shapes, one of each kind: line, circle, polygon, Input, Layer; a
    // mix of fill, stroke, opacity and blend modes.
    void kinds(hostsim::World& source) {
        shapes(5);
        const int types[] = {1, 2, 3, 4, 5};
        for (int s = 0; s < 5; ++s) {
            Parameters::Shape& sh = record.shapes[s];
            sh.type = types[s];
            sh.size = 14 + 9 * s;
            sh.fillStroke = 1 + s % 3;
            sh.strokeWidth = 1.5;
            sh.thickness = 0.4;
            sh.sides = 5;
            sh.starness = 0.3;
            sh.innerRadius = s == 1 ? 0.3 : 0.0;
            sh.minimumOpacity = 0.3;
            sh.minimumScale = 0.5;
            sh.phase = 0.3 * s;
            sh.color = {1, 0.9f - 0.15f * s, 0.2f * s, 0.5f};
            sh.strokeColor = {1, 0.1f, 0.8f, 0.3f * s};
            sh.layer = source.get();
            sh.layerRect = {-1, -1, source.width(), source.height()};
            sh.boundingBox = 1;
            sh.toner = s == 4 ? 4 : 1;
        }
        record.blendingMode = 1;
    }
    std::vector<ShapeDrawer::Pattern> elements(int width, int height, int count = 120) {
        std::vector<ShapeDrawer::Pattern> list;
        for (int n = 0; n < count; ++n) {
            ShapeDrawer::Pattern e =
                element((n * 37 % (width + 40)) - 20 + 0.3 * n, (n * 53 % (height + 40)) - 20, n % 5, n, n / 3);
            e.opacity = 0.4 + 0.005 * n;
            list.push_back(e);
        }
        return list;
    }
};

}  // namespace

// A frame of every shape kind, cleared and composited by the drawing's own
// launches, against each element drawn on its own in the drawing order and
// the Blender run over the whole output afterwards; for every thread count
// and for outputs shorter than a strip.
TEST_F(FrameBands, FrameIsTheSameForEveryThreadCount) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        hostsim::World source(12, 9, depth);
        if (depth == Depth::Bits8) paint<PF_Pixel>(source);
        if (depth == Depth::Bits16) paint<PF_Pixel16>(source);
        if (depth == Depth::Float) paint<PF_PixelFloat>(source);
        World input(150, 130, depth, 2, 0, -3);
        if (depth == Depth::Bits8) paint<PF_Pixel>(input);
        if (depth == Depth::Bits16) paint<PF_Pixel16>(input);
        if (depth == Depth::Float) paint<PF_PixelFloat>(input);
        for (int height : {120, 7}) {
            neutral();
            kinds(source);
            const std::vector<ShapeDrawer::Pattern> list = elements(140, height);
            const int bpc = static_cast<int>(depth);

            // The reference: one element at a time, then the two passes.
            setThreads(1);
            World reference(140, height, depth);
            for (std::size_t k = list.size(); k-- > 0;) {
                ShapeDrawer one(0, &in, *suites, nullptr, nullptr, reference.get(), bpc, record, animator, 0);
                one.patterns = {list[k]};
                ASSERT_EQ(one.draw(), PF_Err_NONE);
            }
            Blender b(&in, *suites, input.get(), reference.get(), bpc, 0.7, 4);
            ASSERT_EQ(iterateGeneric(&in, *suites, &b, 1), PF_Err_NONE);
            b.blend = 1;
            ASSERT_EQ(iterateGeneric(&in, *suites, &b, 1), PF_Err_NONE);

            for (int threads : {1, 2, 3, 8, 64}) {
                setThreads(threads);
                World w(140, height, depth);
                if (depth == Depth::Bits8) w.fill(PF_Pixel{255, 9, 9, 9});  // cleared by the drawing
                ShapeDrawer d(0, &in, *suites, nullptr, nullptr, w.get(), bpc, record, animator, 0);
                d.patterns = list;
                Blender blender(&in, *suites, input.get(), w.get(), bpc, 0.7, 4);
                d.frameWork = {true, &blender, true, true};
                ASSERT_EQ(d.draw(), PF_Err_NONE);
                EXPECT_TRUE(sameWorld(w, reference))
                    << "depth " << bpc << ", height " << height << ", " << threads << " threads";
                EXPECT_TRUE(w.paddingUntouched());
            }
        }
    }
}

// A short batch is set up on the render thread, a long one over the host's
// threads in chunks; the frame must not tell which. Counts on both sides of
// the 256 draws where that changes, against each element drawn on its own in
// the drawing order; and the host launches each drawing makes: the strips',
// and the set-up's only for a long batch.
TEST_F(FrameBands, SetUpAloneOrInChunksDrawsTheSame) {
    const Depth depth = Depth::Bits8;
    hostsim::World source(12, 9, depth);
    paint<PF_Pixel>(source);
    struct Case {
        int count;
        int launches;
    };
    const Case cases[] = {{1, 1}, {120, 1}, {255, 1}, {256, 2}, {257, 2}, {700, 2}};
    for (const Case& c : cases) {
        neutral();
        kinds(source);
        const std::vector<ShapeDrawer::Pattern> list = elements(140, 120, c.count);
        setThreads(1);
        World reference(140, 120, depth);
        for (std::size_t k = list.size(); k-- > 0;) {
            ShapeDrawer one(0, &in, *suites, nullptr, nullptr, reference.get(), 0, record, animator, 0);
            one.patterns = {list[k]};
            ASSERT_EQ(one.draw(), PF_Err_NONE);
        }
        for (int threads : {1, 8}) {
            setThreads(threads);
            World w(140, 120, depth);
            w.fill(PF_Pixel{255, 9, 9, 9});  // cleared by the drawing
            ShapeDrawer d(0, &in, *suites, nullptr, nullptr, w.get(), 0, record, animator, 0);
            d.patterns = list;
            d.frameWork = {true, nullptr, false, false};
            const int before = host.get<hostsim::Iterate>().launches.load();
            ASSERT_EQ(d.draw(), PF_Err_NONE);
            EXPECT_EQ(host.get<hostsim::Iterate>().launches.load() - before, c.launches)
                << c.count << " draws, " << threads << " threads";
            EXPECT_TRUE(sameWorld(w, reference)) << c.count << " draws, " << threads << " threads";
        }
    }
}

// Plain passes go to the batch whole and are set up, binned and drawn by the
// bands; the priority queue with equal priorities hands the same draws over
// one by one. Both must give the same bytes: repeater copies (one pass each),
// batches cut inside a pass, elements whose shape index draws nothing.
TEST_F(FrameBands, WholePassesDrawWhatDrawsOneByOneDo) {
    const Depth depth = Depth::Bits8;
    hostsim::World source(12, 9, depth);
    paint<PF_Pixel>(source);
    neutral();
    kinds(source);
    record.repeaterType = 3;
    record.repeaterX = {47, 3};
    record.repeaterY = {-5, 41};
    std::vector<ShapeDrawer::Pattern> list;
    for (int n = 0; n < 400; ++n) {
        ShapeDrawer::Pattern e = element((n * 37 % 180) - 20 + 0.3 * n / 7, (n * 53 % 160) - 20, n % 5, n, n / 3);
        if (n % 97 == 0) e.shapeIndex = n % 2 ? 8 : -1;  // no such shape
        e.opacity = 0.3 + 0.0003 * n;
        list.push_back(e);
    }
    std::vector<std::unique_ptr<World>> frames;
    for (int queued : {1, 0})
        for (int threads : {1, 8}) {
            setThreads(threads);
            record.queueByPriority = static_cast<uint8_t>(queued);
            frames.push_back(std::make_unique<World>(140, 120, depth));
            ShapeDrawer d(0, &in, *suites, nullptr, nullptr, frames.back()->get(), 0, record, animator, 0);
            d.patterns = list;
            d.frameWork = {true, nullptr, false, false};
            ASSERT_EQ(d.draw(), PF_Err_NONE);
            EXPECT_TRUE(sameWorld(*frames.back(), *frames.front()))
                << "queued " << queued << ", " << threads << " threads";
        }
    // Something of every kind was drawn.
    std::size_t painted = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 140; ++x) painted += frames.front()->at<PF_Pixel>(x, y).alpha != 0;
    EXPECT_GT(painted, 140u * 120u / 2);
}

// ------------------------------------------------------------ element runs
// The element pipeline works the elements a layout adds out in runs over the
// host's threads. The list must be the one the pipeline makes element by
// element (place, cull, emit), bit for bit and in order, at any thread count
// and across the runs' boundaries.
namespace {
class ElementRuns : public DrawFixture {
protected:
    // The loaded effect: its hidden curve parameters are what the mappers read.
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(setUpWithEffect());
        ASSERT_EQ(suites->PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(host.pluginId(), in.effect_ref, &effect),
                  PF_Err_NONE);
    }
    void TearDown() override {
        if (effect) {
            EXPECT_EQ(suites->EffectSuite2()->AEGP_DisposeEffect(effect), PF_Err_NONE);
        }
        DrawFixture::TearDown();
    }
    AEGP_EffectRefH effect = nullptr;
    std::unique_ptr<ShapeDrawer> fresh() {
        return std::make_unique<ShapeDrawer>(host.pluginId(), &in, *suites, effect, nullptr, output->get(), 0, record,
                                             animator, 0);
    }
    static LayoutElement at(int k) {
        LayoutElement e;
        e.i = k % 211;
        e.j = k / 211;
        e.point = {e.i * 3.1 - 20.0, e.j * 2.7 - 15.0};
        e.transitionIndex = k % 97;
        e.u = (k % 101) / 100.0;
        e.t = e.u;
        return e;
    }
    static bool same(const ShapeDrawer::Pattern& a, const ShapeDrawer::Pattern& b) {
        auto bits = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
        return bits(a.t, b.t) && bits(a.position, b.position) && bits(a.phase, b.phase) && bits(a.opacity, b.opacity) &&
               bits(a.scale, b.scale) && bits(a.phaseOffset, b.phaseOffset) && bits(a.color1, b.color1) &&
               bits(a.color2, b.color2) && bits(a.colorModifier, b.colorModifier) && a.shapeIndex == b.shapeIndex &&
               a.i == b.i && a.j == b.j && a.hasScale == b.hasScale && a.hasColor1 == b.hasColor1 &&
               a.hasColor2 == b.hasColor2 && a.hasColorModifier == b.hasColorModifier &&
               a.hasPhaseOffset == b.hasPhaseOffset;
    }
    // Random displacement, transition order and shape choice, turned and
    // scaled by the Transform group: every step of an element in play.
    void varied(double dx, double dy) {
        shapes(3);
        record.randomizeShape = 1;
        record.displacementMode = 1;  // random
        record.displacementX = dx;
        record.displacementY = dy;
        record.transitionOrder = 2;  // random order
        record.transformRotation = 0.3;
        record.transformScale = 1.7;
        output = std::make_unique<hostsim::World>(640, 360, hostsim::Depth::Bits8);
    }
};
}  // namespace

TEST_F(ElementRuns, MakeTheListElementByElementWould) {
    varied(5.5, 3.25);
    constexpr int kCount = 45000;  // more than two runs
    std::unique_ptr<ShapeDrawer> one = fresh();
    {
        ElementPipeline p(*one, 97);
        for (int k = 0; k < kCount; ++k) {
            const LayoutElement e = at(k);
            p.place(e);
            const Vector where = p.position(e);
            if (p.inside(where, p.margin)) p.emit(e, where);
        }
        ASSERT_EQ(p.error(), PF_Err_NONE);
    }
    ASSERT_GT(one->patterns.size(), 5000u);
    ASSERT_LT(one->patterns.size(), std::size_t(kCount));  // some culled
    for (int threads : {1, 3, 8}) {
        setThreads(threads);
        std::unique_ptr<ShapeDrawer> runs = fresh();
        {
            ElementPipeline p(*runs, 97);
            for (int k = 0; k < kCount; ++k) p.add(at(k), true);
        }
        EXPECT_EQ(runs->layoutError, PF_Err_NONE);
        ASSERT_EQ(runs->patterns.size(), one->patterns.size()) << threads << " threads";
        std::size_t differ = 0;
        for (std::size_t n = 0; n < one->patterns.size(); ++n) differ += !same(one->patterns[n], runs->patterns[n]);
        EXPECT_EQ(differ, 0u) << threads << " threads";
    }
}

// The lattice layouts hand their whole walk to the pipeline, which makes the
// elements in runs of whole and cut rows: the list is the one the walk cell by
// cell makes (one thread), for turned, displaced lattices of several runs
// (the grid mirrored, the triangular grid with its shifted odd rows).
TEST_F(ElementRuns, LatticesWalkedInRunsAreTheLatticesWalkedCellByCell) {
    varied(4.5, 2.25);
    record.gridMode = 2;
    record.gridWidth = 1.5;
    record.gridHeight = 2.0;
    record.gridRotation = 0.2;
    record.gridOrder = 4;  // rows walked backwards
    record.triangularGridRadius = 1.5;
    record.triangularGridHeight = 1.2;
    record.triangularGridRotation = -0.4;
    record.cycle = 7;
    record.cycleOffset = 2;
    for (auto layout : {&ShapeDrawer::createGridPatterns, &ShapeDrawer::createTriangularGridPatterns}) {
        setThreads(1);
        std::unique_ptr<ShapeDrawer> one = fresh();
        ASSERT_EQ(((*one).*layout)(), PF_Err_NONE);
        ASSERT_GT(one->patterns.size(), 2u * 16384u);  // three runs or more
        for (int threads : {3, 8}) {
            setThreads(threads);
            std::unique_ptr<ShapeDrawer> runs = fresh();
            ASSERT_EQ(((*runs).*layout)(), PF_Err_NONE);
            EXPECT_EQ(runs->layoutError, PF_Err_NONE);
            ASSERT_EQ(runs->patterns.size(), one->patterns.size()) << threads << " threads";
            std::size_t differ = 0;
            for (std::size_t n = 0; n < one->patterns.size(); ++n) differ += !same(one->patterns[n], runs->patterns[n]);
            EXPECT_EQ(differ, 0u) << threads << " threads";
        }
        // A launch the host refuses ends the walk with its error; the runs
        // before it (one appended while the refused one would have run) stay.
        std::size_t before = 0;
        for (int nth : {1, 2, 3}) {
            host.faults().clear();
            host.faults().failCall("iterate_generic", nth, PF_Err_OUT_OF_MEMORY);
            std::unique_ptr<ShapeDrawer> cut = fresh();
            EXPECT_EQ(((*cut).*layout)(), PF_Err_OUT_OF_MEMORY) << nth;
            EXPECT_GT(cut->patterns.size(), before) << nth;  // one run more each time
            before = cut->patterns.size();
            ASSERT_LT(cut->patterns.size(), one->patterns.size()) << nth;
            for (std::size_t n = 0; n < cut->patterns.size(); ++n)
                ASSERT_TRUE(same(cut->patterns[n], one->patterns[n])) << nth << ", element " << n;
        }
        host.faults().clear();
    }
}
