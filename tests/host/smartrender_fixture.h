// Smart render under the simulated host: an instance with its parameter table,
// the composition, and frames rendered as the host renders them.
#pragma once

#include "Comp.h"
#include "HostFixture.h"
#include "Iterate.h"
#include "Parameters.h"
#include "Params.h"
#include "SmartRender.h"
#include "Worlds.h"

#include <cstring>

namespace sr {

// Parameters of shape 0 (the others are 47 further on each).
enum : int {
    kPattern = 1,
    kDisplacementMode = 120,
    kDisplacementMap = 121,
    kTransitionOrder = 146,
    kTransitionMap = 149,
    kTransformScale = 160,
    kTransformOpacity = 162,
    kShapeNumber = 169,
    kSize = 171,
    kUseScale = 172,
    kScale = 173,
    kShapeType = 180,
    kLayerCenter = 185,
    kBoundingBox = 186,
    kFrameOffset = 187,
    kLayer = 189,
    kLayerSampling = 190,
    kLayerTime = 191,
    kRandomizeLayerSampling = 192,
    kShapeMap1D = 560,
    kBlendingMode = 686,
    kOnOriginal = 687,
};

}  // namespace sr

class SmartRenderTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        ASSERT_EQ(host.sequenceSetup(), PF_Err_NONE);
        smart.markOutput = true;  // an output the effect leaves alone shows
    }
    void TearDown() override {
        host.sequenceSetdown();
        host.globalSetdown();
        EXPECT_TRUE(host.unloadLeaks().empty()) << joinLines(host.unloadLeaks());
        HostFixture::TearDown();
    }

    void set(int index, double v) { params.setValue(index, hostsim::ParamValue{{v, 0, 0, 0}, nullptr}); }
    void setPoint(int index, double x, double y) { params.setValue(index, hostsim::ParamValue{{x, y, 0, 0}, nullptr}); }

    // Pre-render and smart render of the current frame; the record as the
    // smart render left it is copied out before the host frees it.
    hostsim::SmartRenderCall renderKeepingRecord(Parameters& record) {
        hostsim::PreRenderCall pre = comp.preRender();
        EXPECT_EQ(pre.err, PF_Err_NONE);
        hostsim::SmartRenderCall call = smart.send(pre);
        std::memset(static_cast<void*>(&record), 0, sizeof record);
        if (PF_Handle h = static_cast<PF_Handle>(pre.output.pre_render_data)) {
            std::memcpy(static_cast<void*>(&record), host.handles().lock(h), sizeof record);
            host.handles().unlock(h);
        }
        comp.releasePreRenderData(pre);
        return call;
    }

    hostsim::Params& params = host.get<hostsim::Params>();
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    hostsim::SmartRender& smart = host.get<hostsim::SmartRender>();
    hostsim::Worlds& worlds = host.get<hostsim::Worlds>();
    hostsim::Iterate& iterate = host.get<hostsim::Iterate>();
};

// Every pixel of a world equal to one value.
template <class P>
bool allPixels(const hostsim::World& w, const P& v) {
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x)
            if (std::memcmp(&w.at<P>(x, y), &v, sizeof v) != 0) return false;
    return true;
}
