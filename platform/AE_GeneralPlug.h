// The host's general plug-in layer ("AEGP ...") suites that the effect calls.
#pragma once

#include "AE_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long AEGP_LTimeMode;
enum { AEGP_LTimeMode_LayerTime = 0, AEGP_LTimeMode_CompTime = 1 };

typedef A_long AEGP_LayerQuality;
enum { AEGP_LayerQual_NONE = -1, AEGP_LayerQual_WIREFRAME = 0, AEGP_LayerQual_DRAFT = 1, AEGP_LayerQual_BEST = 2 };

typedef A_long AEGP_ObjectType;
enum {
    AEGP_ObjectType_NONE = -1,
    AEGP_ObjectType_AV = 0,
    AEGP_ObjectType_LIGHT = 1,
    AEGP_ObjectType_CAMERA = 2,
    AEGP_ObjectType_TEXT = 3,
    AEGP_ObjectType_VECTOR = 4
};

typedef A_long AEGP_ItemFlags;
enum {
    AEGP_ItemFlag_MISSING = 1,
    AEGP_ItemFlag_HAS_PROXY = 2,
    AEGP_ItemFlag_USING_PROXY = 4,
    AEGP_ItemFlag_MISSING_PROXY = 8,
    AEGP_ItemFlag_HAS_VIDEO = 16,
    AEGP_ItemFlag_HAS_AUDIO = 32,
    AEGP_ItemFlag_STILL = 64
};

typedef A_long AEGP_LayerIDVal;
typedef A_long AEGP_MaskIDVal;
typedef A_long AEGP_KeyframeIndex;

typedef A_long AEGP_StreamType;
enum {
    AEGP_StreamType_NO_DATA = 0,
    AEGP_StreamType_ThreeD_SPATIAL,
    AEGP_StreamType_ThreeD,
    AEGP_StreamType_TwoD_SPATIAL,
    AEGP_StreamType_TwoD,
    AEGP_StreamType_OneD,
    AEGP_StreamType_COLOR,
    AEGP_StreamType_ARB,
    AEGP_StreamType_MARKER,
    AEGP_StreamType_LAYER_ID,
    AEGP_StreamType_MASK_ID,
    AEGP_StreamType_MASK,
    AEGP_StreamType_TEXT_DOCUMENT
};

typedef A_long AEGP_DynStreamFlags;
enum {
    AEGP_DynStreamFlag_ACTIVE_EYEBALL = 1L << 0,
    AEGP_DynStreamFlag_HIDDEN = 1L << 1,
    AEGP_DynStreamFlag_DISABLED = 1L << 2
};

typedef struct {
    A_FpLong x, y;
} AEGP_TwoDVal;
typedef struct {
    A_FpLong x, y, z;
} AEGP_ThreeDVal;
typedef struct {
    A_FpLong alphaF, redF, greenF, blueF;
} AEGP_ColorVal;
typedef A_FpLong AEGP_OneDVal;
typedef PF_Handle AEGP_ArbBlockVal;

typedef union {
    AEGP_ThreeDVal three_d;
    AEGP_TwoDVal two_d;
    AEGP_OneDVal one_d;
    AEGP_ColorVal color;
    AEGP_ArbBlockVal arbH;
    AEGP_LayerIDVal layer_id;
    AEGP_MaskIDVal mask_id;
    void* other;
} AEGP_StreamVal2;

typedef struct {
    AEGP_StreamRefH streamH;
    AEGP_StreamVal2 val;
} AEGP_StreamValue2;

#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion7 7
#define kAEGPUtilitySuiteVersion11 11
// Versions 7 and 11 share their first functions; 11 adds script execution.
typedef struct AEGP_UtilitySuite7 {
    A_Err (*AEGP_ReportInfo)(AEGP_PluginID, const A_char* info);
    A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon refcon, const A_char* plugin_name, AEGP_PluginID* id);
    A_Err (*AEGP_GetMainHWND)(void* hwnd);
    A_Err (*AEGP_StartUndoGroup)(const A_char* name);
    A_Err (*AEGP_EndUndoGroup)(void);
} AEGP_UtilitySuite7;
typedef struct AEGP_UtilitySuite11 {
    A_Err (*AEGP_ReportInfo)(AEGP_PluginID, const A_char* info);
    A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon refcon, const A_char* plugin_name, AEGP_PluginID* id);
    A_Err (*AEGP_GetMainHWND)(void* hwnd);
    A_Err (*AEGP_StartUndoGroup)(const A_char* name);
    A_Err (*AEGP_EndUndoGroup)(void);
    A_Err (*AEGP_ExecuteScript)(AEGP_PluginID, const A_char* script, A_Boolean platform_encoding,
                                AEGP_MemHandle* result, AEGP_MemHandle* error);
} AEGP_UtilitySuite11;

#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1
typedef struct AEGP_PFInterfaceSuite1 {
    A_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_ref, AEGP_LayerH* layer);
    A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID, PF_ProgPtr effect_ref, AEGP_EffectRefH* effect);
    A_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_ref, A_long what_time, A_u_long time_scale,
                                          A_Time* comp_time);
} AEGP_PFInterfaceSuite1;

#define kAEGPEffectSuite "AEGP Effect Suite"
typedef struct AEGP_EffectSuite2 {
    A_Err (*AEGP_GetLayerNumEffects)(AEGP_LayerH, A_long* num);
    A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH);
} AEGP_EffectSuite2;
typedef struct AEGP_EffectSuite3 {
    A_Err (*AEGP_GetLayerNumEffects)(AEGP_LayerH, A_long* num);
    A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH);
} AEGP_EffectSuite3;

#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPLayerSuiteVersion13 13
typedef struct AEGP_LayerSuite13 {
    A_Err (*AEGP_GetLayerQuality)(AEGP_LayerH, AEGP_LayerQuality* quality);
    A_Err (*AEGP_GetLayerParentComp)(AEGP_LayerH, AEGP_CompH* comp);
    A_Err (*AEGP_GetLayerFromLayerID)(AEGP_CompH, AEGP_LayerIDVal id, AEGP_LayerH* layer);
    A_Err (*AEGP_GetLayerID)(AEGP_LayerH, AEGP_LayerIDVal* id);
    A_Err (*AEGP_GetLayerInPoint)(AEGP_LayerH, AEGP_LTimeMode, A_Time* in_point);
    A_Err (*AEGP_GetLayerDuration)(AEGP_LayerH, AEGP_LTimeMode, A_Time* duration);
    A_Err (*AEGP_ConvertCompToLayerTime)(AEGP_LayerH, const A_Time* comp_time, A_Time* layer_time);
    A_Err (*AEGP_ConvertLayerToCompTime)(AEGP_LayerH, const A_Time* layer_time, A_Time* comp_time);
    A_Err (*AEGP_GetLayerObjectType)(AEGP_LayerH, AEGP_ObjectType* type);
    A_Err (*AEGP_GetLayerSourceItem)(AEGP_LayerH, AEGP_ItemH* item);
} AEGP_LayerSuite13;

#define kAEGPLayerMaskSuite "AEGP Layer Mask Suite"
#define kAEGPLayerMaskSuiteVersion6 6
typedef struct AEGP_LayerMaskSuite6 {
    A_Err (*AEGP_GetLayerNumMasks)(AEGP_LayerH, A_long* num_masks);
    A_Err (*AEGP_GetLayerMaskByIndex)(AEGP_LayerH, A_long index, AEGP_MaskRefH* mask);
    A_Err (*AEGP_DisposeMask)(AEGP_MaskRefH);
    A_Err (*AEGP_GetMaskID)(AEGP_MaskRefH, AEGP_MaskIDVal* id);
} AEGP_LayerMaskSuite6;

#define kAEGPCompSuite "AEGP Comp Suite"
#define kAEGPCompSuiteVersion15 15
typedef struct AEGP_CompSuite15 {
    A_Err (*AEGP_GetCompFrameDuration)(AEGP_CompH, A_Time* duration);
    A_Err (*AEGP_GetCompFramerate)(AEGP_CompH, A_FpLong* fps);
} AEGP_CompSuite15;

#define kAEGPItemSuite "AEGP Item Suite"
#define kAEGPItemSuiteVersion13 13
typedef struct AEGP_ItemSuite13 {
    A_Err (*AEGP_GetItemFlags)(AEGP_ItemH, AEGP_ItemFlags* flags);
    A_Err (*AEGP_GetItemDimensions)(AEGP_ItemH, A_long* width, A_long* height);
} AEGP_ItemSuite13;

#define kAEGPKeyframeSuite "AEGP Keyframe Suite"
#define kAEGPKeyframeSuiteVersion4 4
typedef struct AEGP_KeyframeSuite4 {
    A_Err (*AEGP_GetStreamNumKFs)(AEGP_StreamRefH, A_long* num_kfs);
    A_Err (*AEGP_GetKeyframeTime)(AEGP_StreamRefH, AEGP_KeyframeIndex, AEGP_LTimeMode, A_Time* time);
    A_Err (*AEGP_GetNewKeyframeValue)(AEGP_PluginID, AEGP_StreamRefH, AEGP_KeyframeIndex, AEGP_StreamValue2* value);
} AEGP_KeyframeSuite4;

#define kAEGPMemorySuite "AEGP Memory Suite"
#define kAEGPMemorySuiteVersion1 1
typedef A_long AEGP_MemFlag;
enum { AEGP_MemFlag_NONE = 0, AEGP_MemFlag_CLEAR = 1 };
typedef struct AEGP_MemorySuite1 {
    A_Err (*AEGP_NewMemHandle)(AEGP_PluginID, const A_char* what, A_u_longlong size, AEGP_MemFlag, AEGP_MemHandle* mem);
    A_Err (*AEGP_FreeMemHandle)(AEGP_MemHandle);
    A_Err (*AEGP_LockMemHandle)(AEGP_MemHandle, void** ptr);
    A_Err (*AEGP_UnlockMemHandle)(AEGP_MemHandle);
    A_Err (*AEGP_GetMemHandleSize)(AEGP_MemHandle, A_u_longlong* size);
} AEGP_MemorySuite1;

#define kAEGPIterateSuite "AEGP Iterate Suite"
#define kAEGPIterateSuiteVersion1 1
typedef struct AEGP_IterateSuite1 {
    A_Err (*AEGP_GetNumThreads)(A_long* num_threads);
    A_Err (*AEGP_IterateGeneric)(A_long iterations, void* refcon,
                                 A_Err (*fn)(void* refcon, A_long thread_index, A_long i, A_long iterations));
} AEGP_IterateSuite1;

#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion9 9
typedef struct AEGP_StreamSuite9 {
    A_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID, AEGP_EffectRefH, PF_ParamIndex, AEGP_StreamRefH* stream);
    A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH);
    A_Err (*AEGP_GetStreamType)(AEGP_StreamRefH, AEGP_StreamType* type);
    A_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID, AEGP_StreamRefH, AEGP_LTimeMode, const A_Time* time,
                                    A_Boolean pre_expression, AEGP_StreamValue2* value);
    A_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue2* value);
    A_Err (*AEGP_SetStreamValue)(AEGP_PluginID, AEGP_StreamRefH, AEGP_StreamValue2* value);
} AEGP_StreamSuite9;

#define kAEGPDynamicStreamSuite "AEGP Dynamic Stream Suite"
#define kAEGPDynamicStreamSuiteVersion5 5
typedef struct AEGP_DynamicStreamSuite5 {
    A_Err (*AEGP_GetDynamicStreamFlags)(AEGP_StreamRefH, AEGP_DynStreamFlags* flags);
    A_Err (*AEGP_SetDynamicStreamFlag)(AEGP_StreamRefH, AEGP_DynStreamFlags one_flag, A_Boolean undoable,
                                       A_Boolean set);
} AEGP_DynamicStreamSuite5;

#ifdef __cplusplus
}
#endif
