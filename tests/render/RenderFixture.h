// A simulated host without a loaded module: its records, callbacks and suites
// are enough to run the effect's pixel work directly.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Core.h"
#include "Host.h"
#include "Iterate.h"
#include "VemaroRenderHelpers.h"
#include "World.h"
#include "Worlds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

class RenderFixture : public ::testing::Test {
protected:
    hostsim::Host host;
    PF_InData in = host.nextInData();
    std::unique_ptr<AEGP_SuiteHandler> suites = std::make_unique<AEGP_SuiteHandler>(in.pica_basicP);

    void TearDown() override {
        suites.reset();
        EXPECT_EQ(host.suites().outstanding(), 0);
        EXPECT_TRUE(host.violations().empty()) << host.violations().front();
    }
    void setThreads(int n) { host.get<hostsim::Iterate>().setThreads(n); }
};

// The four channels of a pixel in [0, 1] of full, for comparisons across depths.
struct Norm {
    double a, r, g, b;
};
inline Norm norm(const PF_Pixel& p) { return {p.alpha / 255.0, p.red / 255.0, p.green / 255.0, p.blue / 255.0}; }
inline Norm norm(const PF_Pixel16& p) {
    return {p.alpha / 32768.0, p.red / 32768.0, p.green / 32768.0, p.blue / 32768.0};
}
inline Norm norm(const PF_PixelFloat& p) { return {p.alpha, p.red, p.green, p.blue}; }

// The largest difference, in 1/255 of full, of a 16-bit and of an 8-bit world
// from a float one of the same drawing, colours premultiplied as they appear.
struct DepthGap {
    double bits16, bits8;
};
inline DepthGap depthGap(const hostsim::World& w8, const hostsim::World& w16, const hostsim::World& w32) {
    auto gap = [](Norm f, Norm n) {
        return std::max({std::fabs(f.a - n.a), std::fabs(f.r * f.a - n.r * n.a), std::fabs(f.g * f.a - n.g * n.a),
                         std::fabs(f.b * f.a - n.b * n.a)});
    };
    DepthGap worst{0, 0};
    for (int y = 0; y < w32.height(); ++y)
        for (int x = 0; x < w32.width(); ++x) {
            const Norm f = norm(w32.at<PF_PixelFloat>(x, y));
            worst.bits16 = std::max(worst.bits16, gap(f, norm(w16.at<PF_Pixel16>(x, y))) * 255);
            worst.bits8 = std::max(worst.bits8, gap(f, norm(w8.at<PF_Pixel>(x, y))) * 255);
        }
    return worst;
}

inline bool samePixel(const PF_Pixel& a, const PF_Pixel& b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
inline bool samePixel(const PF_Pixel16& a, const PF_Pixel16& b) {
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}
// Bitwise, so that NaNs and signed zeros count.
inline bool samePixel(const PF_PixelFloat& a, const PF_PixelFloat& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Whole rows of two worlds of one size and depth are bit-identical.
inline bool sameWorld(const hostsim::World& a, const hostsim::World& b) {
    const std::size_t n = std::size_t(a.width()) * hostsim::pixelSize(a.depth());
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row<unsigned char>(y), b.row<unsigned char>(y), n) != 0) return false;
    return true;
}

// Runs one rasteriser on its own: its region over `threads` bands
// (threads < 1: the host's thread count).
template <class Drawer, class Record>
PF_Err drawElement(PF_InData* in, AEGP_SuiteHandler& suites, hostsim::World& w, const Record& p, bool draft,
                   int threads) {
    Drawer d(in, suites, draft ? 1 : 0, w.get(), static_cast<int>(w.depth()), p);
    if (!d.doRender()) return PF_Err_NONE;
    return iterateGeneric(in, suites, &d, threads);
}
