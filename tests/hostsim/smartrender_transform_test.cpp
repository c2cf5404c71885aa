// The host's transform_world stand-in: an affine resample of one world into
// another, in front of what the destination holds.
#include "SmartRender.h"

#include <gtest/gtest.h>

namespace {

PF_FloatMatrix scaleBy(double k, double ty = 0) {
    PF_FloatMatrix m{};
    m.mat[0][0] = k;
    m.mat[1][1] = k;
    m.mat[2][1] = ty;
    m.mat[2][2] = 1;
    return m;
}

const PF_CompositeMode kInFront{PF_Xfer_IN_FRONT, 0, 255, false, 32768};

// A 4 x 2 source of alternating opaque white and transparent columns, halved:
// high quality averages each pair (half-covered white), low quality takes the
// nearest source pixel of each output pixel's centre.
TEST(TransformWorld, HalvingAveragesOrPicksTheNearestPixel) {
    hostsim::World src(4, 2, hostsim::Depth::Bits8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            src.at<PF_Pixel>(x, y) = x % 2 ? PF_Pixel{0, 0, 0, 0} : PF_Pixel{255, 255, 255, 255};
    const PF_FloatMatrix half = scaleBy(0.5);
    const PF_Rect all{0, 0, 2, 1};

    hostsim::World hi(2, 1, hostsim::Depth::Bits8);
    ASSERT_EQ(hostsim::transformWorld(PF_Quality_HI, &kInFront, src.get(), &half, 1, true, &all, hi.get()),
              PF_Err_NONE);
    EXPECT_EQ(hi.at<PF_Pixel>(0, 0).alpha, 128);  // round(0.5 * 255)
    EXPECT_EQ(hi.at<PF_Pixel>(0, 0).red, 255);    // straight colour stays white

    hostsim::World lo(2, 1, hostsim::Depth::Bits8);
    ASSERT_EQ(hostsim::transformWorld(PF_Quality_LO, &kInFront, src.get(), &half, 1, true, &all, lo.get()),
              PF_Err_NONE);
    // Output centre 0.5 maps to source 1.0: the transparent column.
    EXPECT_EQ(lo.at<PF_Pixel>(0, 0).alpha, 0);
    EXPECT_TRUE(hi.paddingUntouched());
}

// A vertical offset moves the picture down; what it does not cover keeps the
// destination's pixels, and the destination rectangle bounds the writes.
TEST(TransformWorld, TranslationAndDestinationRectangle) {
    hostsim::World src(2, 2, hostsim::Depth::Float);
    src.fill(PF_PixelFloat{1, 1, 0, 0});
    hostsim::World dst(2, 4, hostsim::Depth::Float);
    dst.fill(PF_PixelFloat{1, 0, 0, 1});
    const PF_FloatMatrix down = scaleBy(1.0, 1.0);
    const PF_Rect top2{0, 0, 2, 2};
    ASSERT_EQ(hostsim::transformWorld(PF_Quality_HI, &kInFront, src.get(), &down, 1, true, &top2, dst.get()),
              PF_Err_NONE);
    EXPECT_EQ(dst.at<PF_PixelFloat>(0, 0).blue, 1.0f);  // above the picture
    EXPECT_EQ(dst.at<PF_PixelFloat>(1, 1).red, 1.0f);   // the picture
    EXPECT_EQ(dst.at<PF_PixelFloat>(1, 1).blue, 0.0f);
    EXPECT_EQ(dst.at<PF_PixelFloat>(1, 2).blue, 1.0f);  // the picture, but outside the rectangle
}

TEST(TransformWorld, RefusesWhatItCannotDo) {
    hostsim::World a(2, 2, hostsim::Depth::Bits8), b(2, 2, hostsim::Depth::Bits16);
    const PF_FloatMatrix one = scaleBy(1.0), flat = scaleBy(0.0);
    EXPECT_EQ(hostsim::transformWorld(PF_Quality_HI, &kInFront, a.get(), &one, 1, true, nullptr, b.get()),
              PF_Err_BAD_CALLBACK_PARAM);  // depths differ
    hostsim::World c(2, 2, hostsim::Depth::Bits8);
    EXPECT_EQ(hostsim::transformWorld(PF_Quality_HI, &kInFront, a.get(), &flat, 1, true, nullptr, c.get()),
              PF_Err_BAD_CALLBACK_PARAM);  // no inverse
    EXPECT_EQ(hostsim::transformWorld(PF_Quality_HI, &kInFront, a.get(), &one, 0, true, nullptr, c.get()),
              PF_Err_BAD_CALLBACK_PARAM);  // no matrix
}

}  // namespace
