// The reduced copy of a wide Input source is resampled at the layer's render
// quality: draft picks source pixels, full quality averages them. Seen in the
// pixels: a source of one-pixel black and white columns comes out as pure
// black and white in draft and as even grey at full quality.
#include "smartrender_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ReducedCopyQualityTest : public SmartRenderTest {
protected:
    void SetUp() override {
        SmartRenderTest::SetUp();
        hostsim::Comp::Layer& layer = comp.effectLayer();
        layer.width = 1000;
        layer.height = 500;
        layer.paint = [](hostsim::World& w, long) {
            for (int y = 0; y < w.height(); ++y)
                for (int x = 0; x < w.width(); ++x) {
                    const A_u_char v = (x % 2) ? 0 : 255;
                    w.at<PF_Pixel>(x, y) = PF_Pixel{255, v, v, v};
                }
        };
        comp.apply();
        set(sr::kPattern, 1);  // Point
        set(2, 1);             // one point
        setPoint(3, 500, 250);
        set(sr::kShapeType, 4);  // Input
        set(sr::kSize, 100);     // a tenth of the source: a 101 px copy
        set(sr::kUseScale, 0);
        setPoint(sr::kLayerCenter, 500, 250);
        for (int k : {4, 6, 8, 37}) set(170 + k, 100);  // no random spread
        set(sr::kOnOriginal, 0);
    }
    // Red of the drawn pixels well inside the element (100 x 50 around the
    // point): the smallest and the largest.
    std::pair<int, int> interiorRange(AEGP_LayerQuality quality) {
        comp.effectLayer().quality = quality;
        const int made = worlds.made();
        hostsim::SmartRenderCall call = smart.render(0);
        EXPECT_EQ(call.err, PF_Err_NONE);
        EXPECT_EQ(worlds.made() - made, 1) << "no reduced copy was made";
        int lo = 255, hi = 0;
        for (int y = 235; y < 265; ++y)
            for (int x = 460; x < 540; ++x) {
                const PF_Pixel& p = call.output->at<PF_Pixel>(x, y);
                EXPECT_EQ(p.alpha, 255) << x << "," << y;
                lo = std::min<int>(lo, p.red);
                hi = std::max<int>(hi, p.red);
            }
        return {lo, hi};
    }
};

TEST_F(ReducedCopyQualityTest, DraftPicksPixelsAndFullQualityAveragesThem) {
    // Draft: the copy holds source pixels and the drawing picks copy pixels,
    // so only black and white appear, and both do.
    const std::pair<int, int> draft = interiorRange(AEGP_LayerQual_DRAFT);
    EXPECT_EQ(draft.first, 0);
    EXPECT_EQ(draft.second, 255);
    for (int y = 235; y < 265; y += 7) {
        hostsim::SmartRenderCall call = smart.render(0);
        for (int x = 460; x < 540; ++x) {
            const int v = call.output->at<PF_Pixel>(x, y).red;
            EXPECT_TRUE(v == 0 || v == 255) << x << "," << y << ": " << v;
        }
    }
    // Full quality: each copy pixel averages about ten alternating columns.
    const std::pair<int, int> best = interiorRange(AEGP_LayerQual_BEST);
    EXPECT_GE(best.first, 90);
    EXPECT_LE(best.second, 165);
}

}  // namespace
