// The effect's entry point, its global and sequence data, and the handlers the
// command dispatch calls.
#pragma once

#include "AE_Effect.h"
#include "AE_GeneralPlug.h"

#define VEMARO_EFFECT_NAME "VemaroPattern"
#define VEMARO_MAJOR_VERSION 1
#define VEMARO_MINOR_VERSION 0
#define VEMARO_BUG_VERSION 0
#define VEMARO_STAGE_VERSION PF_Stage_RELEASE
#define VEMARO_BUILD_VERSION 1
#define VEMARO_MAKER_LINE "Vemaro"

// Capability flags; the property list carries the same values.
constexpr A_long kVemaroOutFlags = PF_OutFlag_WIDE_TIME_INPUT | PF_OutFlag_I_DO_DIALOG | PF_OutFlag_CUSTOM_UI |
                                   PF_OutFlag_I_USE_AUDIO | PF_OutFlag_DEEP_COLOR_AWARE |
                                   PF_OutFlag_SEND_UPDATE_PARAMS_UI;
constexpr A_long kVemaroOutFlags2 =
    PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS | PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
constexpr A_u_long kVemaroVersion = PF_VERSION(VEMARO_MAJOR_VERSION, VEMARO_MINOR_VERSION, VEMARO_BUG_VERSION,
                                               VEMARO_STAGE_VERSION, VEMARO_BUILD_VERSION);
static_assert(kVemaroOutFlags == 0x06108022, "global out flags");
static_assert(kVemaroOutFlags2 == 0x1401, "global out flags 2");
static_assert(kVemaroVersion == 0x80601, "version word");

struct GlobalData {
    AEGP_PluginID pluginId;
};

// Panel bookkeeping per effect instance; only int32 values, so it needs no
// flattening.
struct SequenceData {
    A_long initCount;
    A_long lastPattern;
    A_long lastShapeNumber;
    A_long lastShapeType[8];
};

extern "C" __attribute__((visibility("default"))) PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data,
                                                                        PF_OutData* out_data, PF_ParamDef* params[],
                                                                        PF_LayerDef* output, void* extra);

// Handlers of the commands; each lives in its own source file.
PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data);
PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err PreRender(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);
PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);
PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                        void* extra);
PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err DoDialog(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
