// Whole frames drawn by the frame driver, which clears each strip and tells
// the circles which columns are still clear, against the same frame drawn
// over an output cleared beforehand with nothing known clear: the same bytes,
// with every shape kind drawn beneath circles and across several launches.
#include "DrawFixture.h"
#include "Params.h"
#include "VemaroKnownClear.h"

#include <memory>
#include <string>
#include <vector>

using hostsim::Depth;
using hostsim::World;

namespace {

class KnownClearFrames : public DrawFixture {
protected:
    // Lines, circles, polygons and an image, filled, stroked or both; the
    // last two a tall star and a polygon with a hole.
    void mixedShapes(World& source) {
        shapes(kKinds);
        const int types[kKinds] = {1, 2, 3, 2, 5, 3, 3};
        for (int s = 0; s < kKinds; ++s) {
            Parameters::Shape& sh = record.shapes[s];
            sh.type = types[s];
            sh.size = 12 + 11 * s;
            sh.fillStroke = 1 + s % 3;
            sh.strokeWidth = 1.5;
            sh.thickness = 0.5;
            sh.sides = 6;
            sh.innerRadius = s == 3 ? 0.4 : 0.0;
            sh.color = {1, 0.9f - 0.15f * s, 0.2f * s, 0.5f};
            sh.strokeColor = {1, 0.1f, 0.8f, 0.2f * s};
            sh.layer = source.get();
            sh.layerRect = {-1, -1, source.width(), source.height()};
            sh.boundingBox = 1;
        }
        record.shapes[5].size = 70;
        record.shapes[5].starness = 0.5;
        record.shapes[6].sides = 40;
        record.shapes[6].innerRadius = 0.5;
    }
    static constexpr int kKinds = 7;
    std::vector<ShapeDrawer::Pattern> elements(int count, int width, int height) {
        std::vector<ShapeDrawer::Pattern> list;
        uint32_t s = 99;
        auto next = [&] {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            return s / 4294967296.0;
        };
        for (int n = 0; n < count; ++n) {
            ShapeDrawer::Pattern e = element(next() * (width + 40) - 20, next() * (height + 40) - 20,
                                             static_cast<int>(next() * kKinds), n, n / 3);
            e.opacity = n % 4 == 0 ? 1.0 : 0.5 + 0.5 * next();
            list.push_back(e);
        }
        return list;
    }
    // The frame with the strips cleared by the drawing, or over an output
    // cleared here (the drawing then knows nothing clear).
    std::unique_ptr<World> frame(const std::vector<ShapeDrawer::Pattern>& list, Depth depth, bool clearedByDrawing,
                                 int threads) {
        setThreads(threads);
        auto w = std::make_unique<World>(160, 140, depth);
        if (clearedByDrawing && depth == Depth::Bits8) w->fill(PF_Pixel{255, 9, 9, 9});  // cleared by the drawing
        ShapeDrawer d(0, &in, *suites, nullptr, nullptr, w->get(), static_cast<int>(depth), record, animator, 0);
        d.patterns = list;
        d.frameWork = {clearedByDrawing, nullptr, false, false};
        EXPECT_EQ(d.draw(), PF_Err_NONE);
        return w;
    }
};

}  // namespace

TEST_F(KnownClearFrames, FramesAreTheBytesOfTheReadingDrawing) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World source(12, 9, depth);
        source.fill(PF_Pixel{200, 30, 120, 250});
        neutral();
        mixedShapes(source);
        // A short list is one launch; the long one is cut into several.
        for (int count : {300, 24000}) {
            if (count > 300 && depth != Depth::Bits8) continue;
            const std::vector<ShapeDrawer::Pattern> list = elements(count, 160, 140);
            const std::unique_ptr<World> reference = frame(list, depth, false, 1);
            for (int threads : {1, 8}) {
                if (count > 300 && threads == 1) continue;  // the reference is one thread
                const int before = host.get<hostsim::Iterate>().launches.load();
                const std::unique_ptr<World> w = frame(list, depth, true, threads);
                if (count > 300) {
                    EXPECT_GE(host.get<hostsim::Iterate>().launches.load() - before, 6);
                }
                EXPECT_TRUE(sameWorld(*w, *reference))
                    << "depth " << static_cast<int>(depth) << ", " << count << " elements, " << threads << " threads";
                EXPECT_TRUE(w->paddingUntouched());
            }
        }
    }
}

// Over an output the drawing did not clear nothing is known clear: an opaque
// circle drawn beneath opaque pixels leaves them as they were.
TEST_F(KnownClearFrames, AnOutputTheDrawingDidNotClearIsBlendedBeneath) {
    for (int threads : {1, 8}) {
        setThreads(threads);
        World w(60, 40, Depth::Bits8);
        w.fill(PF_Pixel{255, 200, 10, 10});
        ShapeDrawer d(0, &in, *suites, nullptr, nullptr, w.get(), 0, record, animator, 0);
        d.patterns = {element(30, 20), element(10.5, 12.5)};  // opaque white discs
        d.frameWork = {false, nullptr, false, false};
        ASSERT_EQ(d.draw(), PF_Err_NONE);
        int changed = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) {
                const PF_Pixel p = w.at<PF_Pixel>(x, y);
                changed += p.alpha != 255 || p.red != 200 || p.green != 10 || p.blue != 10;
            }
        EXPECT_EQ(changed, 0) << threads << " threads";
    }
}

// ------------------------------------------------------------ the record itself
namespace {
using raster::KnownClear;
using Spans = std::vector<KnownClear::Hull>;
constexpr KnownClear::Hull kNone = KnownClear::kEmpty;
bool same(KnownClear::Hull a, KnownClear::Hull b) { return a.lo == b.lo && a.hi == b.hi; }
bool same(const KnownClear::Spans& a, const Spans& b) {
    if (a.count != static_cast<int>(b.size())) return false;
    for (int i = 0; i < a.count; ++i)
        if (!same(a.span[i], b[static_cast<std::size_t>(i)])) return false;
    return true;
}
std::string text(const KnownClear::Spans& o) {
    std::string t;
    for (const KnownClear::Hull& h : o) t += " [" + std::to_string(h.lo) + ", " + std::to_string(h.hi) + ")";
    return t.empty() ? " none" : t;
}
}  // namespace

// A run given an opaque pixel is known opaque where it was clear (beside the
// hull) or known opaque already; the spans are kept sorted, those that meet
// joined, and of more than four the shortest dropped. Each case worked out by
// hand from that rule.
TEST(KnownOpaqueSpan, AnOpaqueRunIsKnownOpaqueWhereItWasClearOrOpaque) {
    struct Step {
        A_long from, to, a, z;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        KnownClear::Hull hull;
        Spans opaque;
    };
    const Case cases[] = {
        {"a clear row", {{10, 50, 14, 46}}, {10, 50}, {{14, 46}}},
        {"no opaque run", {{10, 50, 0, 0}}, {10, 50}, {}},
        {"over its own edge: only the clear part",
         {{10, 50, 14, 46}, {40, 90, 44, 86}},
         {10, 90},
         {{14, 46}, {50, 86}}},
        {"both parts apart kept", {{40, 60, 42, 58}, {0, 100, 2, 98}}, {0, 100}, {{2, 40}, {42, 58}, {60, 98}}},
        {"opaque run meeting the span joins it", {{10, 50, 10, 50}, {40, 90, 40, 90}}, {10, 90}, {{10, 90}}},
        {"a run within the span leaves it", {{10, 50, 10, 50}, {20, 30, 20, 30}}, {10, 50}, {{10, 50}}},
        {"clear on both sides, span in between", {{40, 60, 40, 60}, {0, 100, 0, 100}}, {0, 100}, {{0, 100}}},
        {"a part apart kept beside the span",
         {{0, 60, 0, 60}, {55, 70, 58, 70}, {75, 90, 75, 90}},
         {0, 90},
         {{0, 70}, {75, 90}}},
        {"a part before the spans goes first",
         {{50, 60, 50, 60}, {70, 80, 70, 80}, {10, 20, 10, 20}},
         {10, 80},
         {{10, 20}, {50, 60}, {70, 80}}},
        {"of five the shortest dropped",
         {{0, 10, 0, 10}, {20, 25, 20, 25}, {30, 42, 30, 42}, {50, 58, 50, 58}, {60, 80, 60, 80}},
         {0, 80},
         {{0, 10}, {30, 42}, {50, 58}, {60, 80}}},
        {"a new part shorter than four spans not kept",
         {{0, 10, 0, 10}, {20, 30, 20, 30}, {40, 50, 40, 50}, {60, 70, 60, 70}, {80, 82, 80, 82}},
         {0, 82},
         {{0, 10}, {20, 30}, {40, 50}, {60, 70}}},
        {"a part before four spans, a later one the shortest",
         {{50, 60, 50, 60}, {70, 80, 70, 80}, {90, 95, 90, 95}, {100, 120, 100, 120}, {10, 20, 10, 20}},
         {10, 120},
         {{10, 20}, {50, 60}, {70, 80}, {100, 120}}},
        {"a part before four spans, itself the shortest",
         {{50, 60, 50, 60}, {70, 80, 70, 80}, {90, 99, 90, 99}, {100, 120, 100, 120}, {10, 13, 10, 13}},
         {10, 120},
         {{50, 60}, {70, 80}, {90, 99}, {100, 120}}},
        {"of equals the first dropped",
         {{0, 10, 0, 10}, {20, 30, 20, 30}, {40, 50, 40, 50}, {60, 70, 60, 70}, {80, 90, 80, 90}},
         {0, 90},
         {{20, 30}, {40, 50}, {60, 70}, {80, 90}}},
    };
    for (const Case& c : cases) {
        KnownClear k;
        k.reset(0, 4);
        for (const Step& s : c.steps) k.keep(2, s.from, s.to, s.a, s.z);
        EXPECT_TRUE(same(k.hull(2), c.hull)) << c.what << ": hull " << k.hull(2).lo << ", " << k.hull(2).hi;
        EXPECT_TRUE(same(k.opaque(2), c.opaque)) << c.what << ": opaque" << text(k.opaque(2));
        // The other rows untouched.
        EXPECT_TRUE(same(k.hull(1), kNone) && same(k.opaque(1), {})) << c.what;
    }
}

// Every write that does not keep the spans forgets those it meets: a row, a
// rectangle, a narrow element's band; keep() of a band leaves them. Outside
// the record nothing is known opaque, everything possibly written.
TEST(KnownOpaqueSpan, OtherWritesForgetItAndResetClearsIt) {
    struct Case {
        const char* what;
        void (*write)(KnownClear&);
        Spans opaque;
    };
    const Spans all{{20, 50}, {60, 70}, {80, 95}};
    const Case cases[] = {
        {"a row over part of the first", [](KnownClear& k) { k.widen(2, 30, 31); }, {{60, 70}, {80, 95}}},
        {"a row over part of the middle one", [](KnownClear& k) { k.widen(2, 69, 70); }, {{20, 50}, {80, 95}}},
        {"a row over the last", [](KnownClear& k) { k.widen(2, 80, 200); }, {{20, 50}, {60, 70}}},
        {"a row over two", [](KnownClear& k) { k.widen(2, 49, 61); }, {{80, 95}}},
        {"a row over all", [](KnownClear& k) { k.widen(2, 0, 81); }, {}},
        {"a row between them", [](KnownClear& k) { k.widen(2, 50, 60); }, all},
        {"a row just before them", [](KnownClear& k) { k.widen(2, 0, 20); }, all},
        {"nothing written", [](KnownClear& k) { k.widen(2, 30, 30); }, all},
        {"a rectangle",
         [](KnownClear& k) {
             k.widen(PF_LRect{0, 1, 21, 3});
         },
         {{60, 70}, {80, 95}}},
        {"a rectangle over other rows",
         [](KnownClear& k) {
             k.widen(PF_LRect{0, 3, 100, 4});
         },
         all},
        {"a narrow band",
         [](KnownClear& k) {
             KnownClear::byRow(&k, {55, 0, 65, 4}, {55, 2, 65, 3});
         },
         {{20, 50}, {80, 95}}},
        {"a narrow band that keeps them",
         [](KnownClear& k) {
             KnownClear::byRow(&k, {25, 0, 35, 4}, {25, 2, 35, 3}, true);
         },
         all},
        {"an element that keeps them", [](KnownClear& k) { k.keep(2, 25, 35, 0, 0); }, all},
        {"the reset", [](KnownClear& k) { k.reset(0, 4); }, {}},
    };
    for (const Case& c : cases) {
        KnownClear k;
        k.reset(0, 4);
        k.keep(2, 20, 50, 20, 50);
        k.keep(2, 60, 70, 60, 70);
        k.keep(2, 80, 95, 80, 95);
        ASSERT_TRUE(same(k.opaque(2), all)) << text(k.opaque(2));
        c.write(k);
        EXPECT_TRUE(same(k.opaque(2), c.opaque)) << c.what << ":" << text(k.opaque(2));
    }
    KnownClear k;
    k.reset(0, 4);
    const KnownClear::Row outside = k.keep(4, 0, 10, 0, 10);
    EXPECT_TRUE(same(outside.hull, KnownClear::kAll) && same(outside.opaque, {}));
    EXPECT_TRUE(same(k.opaque(4), {}) && same(k.opaque(-1), {}));
    EXPECT_TRUE(same(k.hull(4), KnownClear::kAll));
}
