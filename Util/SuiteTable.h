// The table of every suite entry the per-command cache knows:
// X(accessor, record type, registered name, version).
// The first block is what the effect acquires; the second keeps the cache usable
// by any part of the system without changing its type.
#pragma once

#define VEMARO_USED_SUITES(X) \
    X(StreamSuite9, AEGP_StreamSuite9, "AEGP Stream Suite", 9) \
    X(DynamicStreamSuite5, AEGP_DynamicStreamSuite5, "AEGP Dynamic Stream Suite", 5) \
    X(PFInterfaceSuite1, AEGP_PFInterfaceSuite1, "AEGP PF Interface Suite", 1) \
    X(EffectSuite2, AEGP_EffectSuite2, "AEGP Effect Suite", 2) \
    X(EffectSuite3, AEGP_EffectSuite3, "AEGP Effect Suite", 3) \
    X(LayerSuite13, AEGP_LayerSuite13, "AEGP Layer Suite", 13) \
    X(LayerMaskSuite6, AEGP_LayerMaskSuite6, "AEGP Layer Mask Suite", 6) \
    X(CompSuite15, AEGP_CompSuite15, "AEGP Comp Suite", 15) \
    X(ItemSuite13, AEGP_ItemSuite13, "AEGP Item Suite", 13) \
    X(KeyframeSuite4, AEGP_KeyframeSuite4, "AEGP Keyframe Suite", 4) \
    X(MemorySuite1, AEGP_MemorySuite1, "AEGP Memory Suite", 1) \
    X(UtilitySuite7, AEGP_UtilitySuite7, "AEGP Utility Suite", 7) \
    X(UtilitySuite11, AEGP_UtilitySuite11, "AEGP Utility Suite", 11) \
    X(IterateSuite1, AEGP_IterateSuite1, "AEGP Iterate Suite", 1) \
    X(HandleSuite2, PF_HandleSuite2, "PF Handle Suite", 2) \
    X(WorldSuite1, PF_WorldSuite1, "PF World Suite", 1) \
    X(ParamUtilsSuite2, PF_ParamUtilsSuite2, "PF Param Utils Suite", 2) \
    X(PathQuerySuite1, PF_PathQuerySuite1, "PF Path Query Suite", 1) \
    X(PathDataSuite1, PF_PathDataSuite1, "PF Path Data Suite", 1) \
    X(Sampling8Suite1, PF_Sampling8Suite1, "PF Sampling8 Suite", 1) \
    X(Sampling16Suite1, PF_Sampling16Suite1, "PF Sampling16 Suite", 1) \
    X(SamplingFloatSuite1, PF_SamplingFloatSuite1, "PF SamplingFloat Suite", 1) \
    X(Iterate8Suite1, PF_Iterate8Suite1, "PF Iterate8 Suite", 1) \
    X(EffectCustomUISuite1, PF_EffectCustomUISuite1, "PF Effect Custom UI Suite", 1) \
    X(DrawbotDrawSuite1, DRAWBOT_DrawSuite1, "DRAWBOT Draw Suite", 1) \
    X(DrawbotSurfaceSuite1, DRAWBOT_SurfaceSuite1, "DRAWBOT Surface Suite", 1)

#define VEMARO_OTHER_SUITES(X) \
    X(MarkerSuite1, AEGP_MarkerSuite1, "AEGP Marker Suite", 1) \
    X(MarkerSuite2, AEGP_MarkerSuite2, "AEGP Marker Suite", 2) \
    X(LayerSuite5, AEGP_LayerSuite5, "AEGP Layer Suite", 5) \
    X(LayerSuite8, AEGP_LayerSuite8, "AEGP Layer Suite", 8) \
    X(LayerSuite10, AEGP_LayerSuite10, "AEGP Layer Suite", 10) \
    X(LayerSuite11, AEGP_LayerSuite11, "AEGP Layer Suite", 11) \
    X(LayerSuite12, AEGP_LayerSuite12, "AEGP Layer Suite", 12) \
    X(StreamSuite4, AEGP_StreamSuite4, "AEGP Stream Suite", 4) \
    X(StreamSuite7, AEGP_StreamSuite7, "AEGP Stream Suite", 7) \
    X(StreamSuite8, AEGP_StreamSuite8, "AEGP Stream Suite", 8) \
    X(DynamicStreamSuite2, AEGP_DynamicStreamSuite2, "AEGP Dynamic Stream Suite", 2) \
    X(DynamicStreamSuite3, AEGP_DynamicStreamSuite3, "AEGP Dynamic Stream Suite", 3) \
    X(KeyframeSuite1, AEGP_KeyframeSuite1, "AEGP Keyframe Suite", 1) \
    X(KeyframeSuite3, AEGP_KeyframeSuite3, "AEGP Keyframe Suite", 3) \
    X(CompSuite4, AEGP_CompSuite4, "AEGP Comp Suite", 4) \
    X(CompSuite9, AEGP_CompSuite9, "AEGP Comp Suite", 9) \
    X(CompSuite11, AEGP_CompSuite11, "AEGP Comp Suite", 11) \
    X(CompSuite14, AEGP_CompSuite14, "AEGP Comp Suite", 14) \
    X(CanvasSuite10, AEGP_CanvasSuite10, "AEGP Canvas Suite", 10) \
    X(CanvasSuite11, AEGP_CanvasSuite11, "AEGP Canvas Suite", 11) \
    X(CameraSuite2, AEGP_CameraSuite2, "AEGP Camera Suite", 2) \
    X(RegisterSuite6, AEGP_RegisterSuite6, "AEGP Register Suite", 6) \
    X(ItemSuite3, AEGP_ItemSuite3, "AEGP Item Suite", 3) \
    X(ItemSuite7, AEGP_ItemSuite7, "AEGP Item Suite", 7) \
    X(ItemSuite10, AEGP_ItemSuite10, "AEGP Item Suite", 10) \
    X(ItemSuite11, AEGP_ItemSuite11, "AEGP Item Suite", 11) \
    X(AppSuite6, PFAppSuite6, "PF AE App Suite", 6) \
    X(AdvAppSuite1, PF_AdvAppSuite1, "PF AE Adv App Suite", 1) \
    X(AdvAppSuite2, PF_AdvAppSuite2, "PF AE Adv App Suite", 2) \
    X(LightSuite1, AEGP_LightSuite1, "AEGP Light Suite", 1) \
    X(LightSuite2, AEGP_LightSuite2, "AEGP Light Suite", 2) \
    X(EffectSuite1, AEGP_EffectSuite1, "AEGP Effect Suite", 1) \
    X(LayerMaskSuite2, AEGP_LayerMaskSuite2, "AEGP Layer Mask Suite", 2) \
    X(LayerMaskSuite5, AEGP_LayerMaskSuite5, "AEGP Layer Mask Suite", 5) \
    X(MaskOutlineSuite2, AEGP_MaskOutlineSuite2, "AEGP Mask Outline Suite", 2) \
    X(MaskOutlineSuite3, AEGP_MaskOutlineSuite3, "AEGP Mask Outline Suite", 3) \
    X(CommandSuite1, AEGP_CommandSuite1, "AEGP Command Suite", 1) \
    X(UtilitySuite3, AEGP_UtilitySuite3, "AEGP Utility Suite", 3) \
    X(UtilitySuite10, AEGP_UtilitySuite10, "AEGP Utility Suite", 10) \
    X(RenderSuite1, AEGP_RenderSuite1, "AEGP Render Suite", 1) \
    X(RenderSuite2, AEGP_RenderSuite2, "AEGP Render Suite", 2) \
    X(ANSISuite1, PF_ANSISuite1, "PF ANSI Suite", 1) \
    X(FillMatteSuite2, PF_FillMatteSuite2, "PF Fill Matte Suite", 2) \
    X(WorldTransformSuite1, PF_WorldTransformSuite1, "PF World Transform Suite", 1) \
    X(QueryXformSuite4, AEGP_QueryXformSuite4, "AEGP QueryXform Suite", 4) \
    X(CompositeSuite4, AEGP_CompositeSuite4, "AEGP Composite Suite", 4) \
    X(IOInSuite5, AEGP_IOInSuite5, "AEGP IO In Suite", 5) \
    X(IOOutSuite7, AEGP_IOOutSuite7, "AEGP IO Out Suite", 7) \
    X(PersistentDataSuite3, AEGP_PersistentDataSuite3, "AEGP Persistent Data Suite", 3) \
    X(RenderQueueSuite1, AEGP_RenderQueueSuite1, "AEGP Render Queue Suite", 1) \
    X(RQItemSuite3, AEGP_RQItemSuite3, "AEGP Render Queue Item Suite", 3) \
    X(RQItemSuite4, AEGP_RQItemSuite4, "AEGP Render Queue Item Suite", 4) \
    X(OutputModuleSuite4, AEGP_OutputModuleSuite4, "AEGP Output Module Suite", 4) \
    X(FIMSuite3, AEGP_FIMSuite3, "AEGP File Import Manager Suite", 3) \
    X(Iterate16Suite1, PF_Iterate16Suite1, "PF iterate16 Suite", 1) \
    X(IterateFloatSuite1, PF_IterateFloatSuite1, "PF iterateFloat Suite", 1) \
    X(CollectionSuite1, AEGP_CollectionSuite1, "AEGP Collection Suite", 1) \
    X(CollectionSuite2, AEGP_CollectionSuite2, "AEGP Collection Suite", 2) \
    X(TextDocumentSuite1, AEGP_TextDocumentSuite1, "AEGP Text Document Suite", 1) \
    X(SoundDataSuite1, AEGP_SoundDataSuite1, "AEGP Sound Data Suite", 1) \
    X(TextLayerSuite1, AEGP_TextLayerSuite1, "AEGP Text Layer Suite", 1) \
    X(ArtisanUtilSuite1, AEGP_ArtisanUtilSuite1, "AEGP Artisan Util Suite", 1) \
    X(AEGPWorldSuite2, AEGP_WorldSuite2, "AEGP World Suite", 2) \
    X(AEGPWorldSuite3, AEGP_WorldSuite3, "AEGP World Suite", 3) \
    X(RenderOptionsSuite1, AEGP_RenderOptionsSuite1, "AEGP Render Options Suite", 1) \
    X(RenderOptionsSuite2, AEGP_RenderOptionsSuite2, "AEGP Render Options Suite", 2) \
    X(TrackerSuite1, AEGP_TrackerSuite1, "AEGP Tracker Suite", 1) \
    X(TrackerUtilitySuite1, AEGP_TrackerUtilitySuite1, "AEGP Tracker Utility Suite", 1) \
    X(HelperSuite2, PF_HelperSuite2, "AE Plugin Helper Suite2", 2) \
    X(ProjSuite8, AEGP_ProjSuite8, "AEGP Proj Suite", 8) \
    X(FootageSuite11, AEGP_FootageSuite11, "AEGP Footage Suite", 11) \
    X(ColorSettingsSuite1, PF_ColorSettingsSuite1, "PF Color Settings Suite", 1) \
    X(ColorSettingsSuite3, PF_ColorSettingsSuite3, "PF Color Settings Suite", 3) \
    X(AdvItemSuite1, PF_AdvItemSuite1, "PF AE Adv Item Suite", 1) \
    X(ColorParamSuite1, PF_ColorParamSuite1, "PF ColorParamSuite", 1) \
    X(EffectCustomUIOverlayThemeSuite1, PF_EffectCustomUIOverlayThemeSuite1, \
      "PF Effect Custom UI Overlay Theme Suite", 1) \
    X(DrawbotSupplierSuite1, DRAWBOT_SupplierSuite1, "DRAWBOT Supplier Suite", 1) \
    X(DrawbotPathSuite1, DRAWBOT_PathSuite1, "DRAWBOT Path Suite", 1)

#define VEMARO_ALL_SUITES(X) VEMARO_USED_SUITES(X) VEMARO_OTHER_SUITES(X)
