// The final compositor: the opacity pass per depth and the blend pass with the
// worlds aligned through their origins.
#include "RenderFixture.h"
#include "VemaroBlend.h"
#include "VemaroBlender.h"
#include "VemaroRenderHelpers.h"

using hostsim::Depth;
using hostsim::World;

using BlenderTest = RenderFixture;

TEST_F(BlenderTest, WhetherTheOpacityPassRuns) {
    struct Case {
        double opacity;
        bool at8, at16, at32;
    };
    const Case cases[] = {
        {1.0, false, false, false}, {0.999, true, true, true},  {0.999995, true, true, false}, {0.5, true, true, true},
        {0.0, true, true, true},    {1.5, false, false, false}, {-0.1, true, true, true},
    };
    for (const Case& c : cases) {
        for (int bpc = 0; bpc < 3; ++bpc) {
            Blender b(&in, *suites, nullptr, nullptr, bpc, c.opacity, 1);
            EXPECT_EQ(b.doLighten(), bpc == 0   ? c.at8
                                     : bpc == 1 ? c.at16
                                                : c.at32)
                << "opacity " << c.opacity << " bpc " << bpc;
        }
    }
    EXPECT_TRUE(Blender(&in, *suites, nullptr, nullptr, 3, 1.0, 1).doLighten());
}

// The factors truncate and the shifts divide by 256 and 32768; colours stay.
TEST_F(BlenderTest, OpacityPassScalesOnlyAlpha) {
    struct Case {
        double opacity;
        A_u_char a8;    // from 255
        A_u_short a16;  // from 32768
    };
    const Case cases[] = {
        {0.999, 253, 32735},     // factors 254 and 32735
        {0.999995, 253, 32767},  // 254 and 32767
        {0.5, 126, 16384},       // 127 and 16384
        {0.0, 0, 0},
        {-0.25, 0, 0},  // clamped, not wrapped into a large factor
    };
    for (const Case& c : cases) {
        World w8(5, 4, Depth::Bits8), w16(5, 4, Depth::Bits16), w32(5, 4, Depth::Float);
        w8.fill(PF_Pixel{255, 11, 22, 33});
        w16.fill(PF_Pixel16{32768, 11, 22, 33});
        w32.fill(PF_PixelFloat{1.0f, 1.5f, -0.5f, 0.25f});
        for (World* w : {&w8, &w16, &w32}) {
            Blender b(&in, *suites, nullptr, w->get(), static_cast<int>(w->depth()), c.opacity, 1);
            EXPECT_EQ(iterateGeneric(&in, *suites, &b, 2), PF_Err_NONE);
            EXPECT_TRUE(w->paddingUntouched());
        }
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                EXPECT_TRUE(samePixel(w8.at<PF_Pixel>(x, y), PF_Pixel{c.a8, 11, 22, 33})) << c.opacity;
                EXPECT_TRUE(samePixel(w16.at<PF_Pixel16>(x, y), PF_Pixel16{c.a16, 11, 22, 33})) << c.opacity;
                EXPECT_TRUE(samePixel(w32.at<PF_PixelFloat>(x, y),
                                      PF_PixelFloat{static_cast<float>(c.opacity), 1.5f, -0.5f, 0.25f}))
                    << c.opacity;
            }
    }
}

// An input smaller than the output and offset by its origin: output pixel
// (x, y) lies over input pixel (x + dx, y + dy); elsewhere the drawing stays.
TEST_F(BlenderTest, BlendPassAlignsTheWorldsByTheirOrigins) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        World out(9, 7, depth, 3, -2, 5);
        World input(4, 3, depth, 1, 1, 7);  // dx = -3, dy = -2
        auto run = [&](auto pixel) {
            using P = decltype(pixel);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 9; ++x) {
                    P& p = out.at<P>(x, y);
                    p.alpha = static_cast<decltype(p.alpha)>(depth == Depth::Float   ? 0.5
                                                             : depth == Depth::Bits8 ? 128
                                                                                     : 16384);
                    p.red = static_cast<decltype(p.red)>(x + 10 * y);
                }
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x)
                    input.at<P>(x, y) = P{out.at<P>(0, 0).alpha, 0, static_cast<decltype(P{}.green)>(x + 1), 0};
            World before(9, 7, depth, 3);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 9; ++x) before.at<P>(x, y) = out.at<P>(x, y);

            Blender b(&in, *suites, input.get(), out.get(), static_cast<int>(depth), 1.0, 2 /* separator: normal */);
            b.blend = 1;
            EXPECT_EQ(iterateGeneric(&in, *suites, &b, 3), PF_Err_NONE);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 9; ++x) {
                    const int sx = x - 3, sy = y - 2;
                    const bool under = sx >= 0 && sx < 4 && sy >= 0 && sy < 3;
                    const P want = under ? Blend::normal(input.at<P>(sx, sy), before.at<P>(x, y)) : before.at<P>(x, y);
                    EXPECT_TRUE(samePixel(out.at<P>(x, y), want))
                        << "depth " << static_cast<int>(depth) << " at " << x << "," << y;
                    if (under) {
                        EXPECT_FALSE(samePixel(out.at<P>(x, y), before.at<P>(x, y)));
                    }
                }
            EXPECT_TRUE(out.paddingUntouched());
        };
        if (depth == Depth::Bits8) run(PF_Pixel{});
        if (depth == Depth::Bits16) run(PF_Pixel16{});
        if (depth == Depth::Float) run(PF_PixelFloat{});
    }
}

// Unknown depths and empty rectangles leave the output alone.
TEST_F(BlenderTest, NothingForAnUnknownDepthOrEmptyRect) {
    World out(6, 5, Depth::Bits8), input(6, 5, Depth::Bits8);
    out.fill(PF_Pixel{100, 1, 2, 3});
    input.fill(PF_Pixel{255, 9, 9, 9});
    Blender b(&in, *suites, input.get(), out.get(), 5, 0.5, 1);
    EXPECT_EQ(b(0, 1), PF_Err_NONE);
    b.blend = 1;
    EXPECT_EQ(b(0, 1), PF_Err_NONE);
    b.bpc = 0;
    EXPECT_EQ(b.blend8(PF_LRect{0, 3, 6, 3}), 0);
    EXPECT_EQ(b.lighten8(PF_LRect{4, 0, 2, 5}), 0);
    EXPECT_TRUE(samePixel(out.at<PF_Pixel>(2, 3), PF_Pixel{100, 1, 2, 3}));
}
