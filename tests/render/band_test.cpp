// Every work object gives bit-identical output whatever the band count, also
// when the region has fewer rows than bands.
#include "DrawCircle.h"
#include "RenderFixture.h"
#include "VemaroBlender.h"

#include <memory>
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
