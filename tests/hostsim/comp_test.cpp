// The simulated composition: what its suites answer, its times and frames.
#include "Comp.h"

#include <gtest/gtest.h>

namespace {

template <class S>
const S* suite(hostsim::Host& host, const char* name, int version) {
    const void* s = nullptr;
    EXPECT_EQ(host.suites().acquire(name, version, &s), kSPNoError) << name;
    return static_cast<const S*>(s);
}

TEST(HostSimComp, LayersTimesAndItems) {
    hostsim::Host host;
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    comp.setFrameDuration({1, 25});
    hostsim::Comp::Layer& effect = comp.effectLayer();
    effect.start = {2, 1};
    effect.inPoint = {3, 1};
    hostsim::Comp::Layer& text = comp.addLayer(300, 200, AEGP_ObjectType_TEXT);

    auto* pf = suite<AEGP_PFInterfaceSuite1>(host, kAEGPPFInterfaceSuite, 1);
    auto* layers = suite<AEGP_LayerSuite13>(host, kAEGPLayerSuite, 13);
    auto* comps = suite<AEGP_CompSuite15>(host, kAEGPCompSuite, 15);
    auto* items = suite<AEGP_ItemSuite13>(host, kAEGPItemSuite, 13);
    auto* effects = suite<AEGP_EffectSuite3>(host, kAEGPEffectSuite, 3);

    AEGP_LayerH layer = nullptr;
    ASSERT_EQ(pf->AEGP_GetEffectLayer(host.effectRef(), &layer), A_Err_NONE);
    AEGP_LayerIDVal id = 0;
    layers->AEGP_GetLayerID(layer, &id);
    EXPECT_EQ(id, effect.id);
    AEGP_CompH c = nullptr;
    layers->AEGP_GetLayerParentComp(layer, &c);
    A_Time fd{};
    comps->AEGP_GetCompFrameDuration(c, &fd);
    EXPECT_EQ(fd.value, 1);
    EXPECT_EQ(fd.scale, 25u);

    // Composition 5 s is layer time 3 s for a layer starting at 2 s.
    A_Time ct{5, 1}, lt{};
    layers->AEGP_ConvertCompToLayerTime(layer, &ct, &lt);
    EXPECT_EQ(lt.value, 3);
    EXPECT_EQ(lt.scale, 1u);
    A_Time in{};
    layers->AEGP_GetLayerInPoint(layer, AEGP_LTimeMode_LayerTime, &in);
    EXPECT_EQ(in.value, 1);
    A_Time viaEffect{};
    pf->AEGP_ConvertEffectToCompTime(host.effectRef(), 25, 25, &viaEffect);  // 1 s of layer time
    EXPECT_EQ(viaEffect.value, 3);

    AEGP_LayerH textH = nullptr;
    layers->AEGP_GetLayerFromLayerID(c, text.id, &textH);
    AEGP_ObjectType type = AEGP_ObjectType_NONE;
    layers->AEGP_GetLayerObjectType(textH, &type);
    EXPECT_EQ(type, AEGP_ObjectType_TEXT);
    AEGP_ItemH item = reinterpret_cast<AEGP_ItemH>(1);
    layers->AEGP_GetLayerSourceItem(textH, &item);
    EXPECT_EQ(item, nullptr);  // text layers have no source
    layers->AEGP_GetLayerSourceItem(layer, &item);
    AEGP_ItemFlags flags = 0;
    items->AEGP_GetItemFlags(item, &flags);
    EXPECT_TRUE(flags & AEGP_ItemFlag_HAS_VIDEO);
    A_long w = 0, h = 0;
    items->AEGP_GetItemDimensions(item, &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 360);

    AEGP_EffectRefH fx = nullptr;
    ASSERT_EQ(pf->AEGP_GetNewEffectForEffect(host.pluginId(), host.effectRef(), &fx), A_Err_NONE);
    EXPECT_EQ(comp.liveEffects(), 1);
    EXPECT_EQ(effects->AEGP_DisposeEffect(fx), A_Err_NONE);
    EXPECT_EQ(comp.liveEffects(), 0);
    EXPECT_NE(effects->AEGP_DisposeEffect(fx), A_Err_NONE);  // twice is misuse
    EXPECT_EQ(host.violations().size(), 1u);

    host.faults().failCall("AEGP_GetLayerObjectType", host.faults().calls("AEGP_GetLayerObjectType") + 1, 33);
    EXPECT_EQ(layers->AEGP_GetLayerObjectType(textH, &type), 33);
}

TEST(HostSimComp, InputRecordFramesAndDownsampling) {
    hostsim::Host host;
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    comp.effectLayer().width = 1920;
    comp.effectLayer().height = 1080;
    comp.effectLayer().duration = {4, 1};
    comp.setFrameDuration({1001, 30000});
    comp.setFrame(7);
    comp.setDownsample({1, 2}, {1, 4});
    const PF_InData& in = host.nextInData();
    EXPECT_EQ(in.width, 1920);
    EXPECT_EQ(in.time_scale, 30000u);
    EXPECT_EQ(in.time_step, 1001);
    EXPECT_EQ(in.current_time, 7 * 1001);
    EXPECT_EQ(in.total_time, 120000);
    EXPECT_EQ(comp.downsampledWidth(), 960);
    EXPECT_EQ(comp.downsampledHeight(), 270);

    hostsim::World& f7 = comp.frame(comp.effectLayer(), 7 * 1001, 30000);
    EXPECT_EQ(f7.width(), 960);
    EXPECT_EQ(f7.height(), 270);
    EXPECT_EQ(f7.at<PF_Pixel>(0, 0).red, 7);                                 // the default painting shows the frame
    EXPECT_EQ(&comp.frame(comp.effectLayer(), 7 * 1001 + 500, 30000), &f7);  // same frame, same world
    EXPECT_EQ(comp.frameAt(-1, 30000), -1);
    comp.setBitDepth(32);
    EXPECT_EQ(comp.frame(comp.effectLayer(), 0, 30000).depth(), hostsim::Depth::Float);
}

}  // namespace
