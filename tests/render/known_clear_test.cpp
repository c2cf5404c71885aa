// Whole frames drawn by the frame driver, which clears each strip and tells
// the circles which columns are still clear, against the same frame drawn
// over an output cleared beforehand with nothing known clear: the same bytes,
// with every shape kind drawn beneath circles and across several launches.
#include "DrawFixture.h"
#include "Params.h"

#include <memory>
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
