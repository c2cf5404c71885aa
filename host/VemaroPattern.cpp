#include "VemaroPattern.h"

#include "AEGP_SuiteHandler.h"
#include "VemaroExpressionData.h"
#include "VemaroExpressionUI.h"

#include <cstring>
#include <new>

namespace {

constexpr int kGraphParamIndex = 83;

PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s, v%d.%d%d\r%s", VEMARO_EFFECT_NAME, VEMARO_MAJOR_VERSION,
                                 VEMARO_MINOR_VERSION, VEMARO_BUG_VERSION, VEMARO_MAKER_LINE);
    return PF_Err_NONE;
}

// Unlocks a new handle and, unless it was handed to the host, disposes it, on
// every way out (a missing suite throws).
struct NewHandleGuard {
    PF_UtilCallbacks* utils;
    PF_Handle handle;
    bool locked = false;
    bool keep = false;
    ~NewHandleGuard() {
        if (locked) utils->host_unlock_handle(handle);
        if (!keep) utils->host_dispose_handle(handle);
    }
};

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
    out_data->my_version = kVemaroVersion;
    out_data->out_flags |= kVemaroOutFlags;
    out_data->out_flags2 |= kVemaroOutFlags2;

    PF_UtilCallbacks* utils = in_data->utils;
    PF_Handle handle = utils->host_new_handle(sizeof(GlobalData));
    if (!handle) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    NewHandleGuard guard{utils, handle};
    auto* global = static_cast<GlobalData*>(utils->host_lock_handle(handle));
    // Without its data the effect could not render: report it.
    if (!global) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    guard.locked = true;
    global->pluginId = 0;

    AEGP_SuiteHandler suites(in_data->pica_basicP);
    PF_Err err = suites.UtilitySuite7()->AEGP_RegisterWithAEGP(nullptr, VEMARO_EFFECT_NAME, &global->pluginId);
    if (err) return err;
    guard.keep = true;
    out_data->global_data = handle;
    return PF_Err_NONE;
}

PF_Err GlobalSetdown(PF_InData* in_data) {
    if (in_data->global_data) in_data->utils->host_dispose_handle(in_data->global_data);
    return PF_Err_NONE;
}

PF_Err SequenceSetdown(PF_InData* in_data) {
    if (!in_data->sequence_data) return PF_Err_NONE;
    in_data->utils->host_dispose_handle(in_data->sequence_data);
    return PF_Err_NONE;
}

PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                void* extra) {
    switch (cmd) {
        case PF_Cmd_ABOUT: return About(in_data, out_data);
        case PF_Cmd_GLOBAL_SETUP: return GlobalSetup(in_data, out_data);
        case PF_Cmd_GLOBAL_SETDOWN: return GlobalSetdown(in_data);
        case PF_Cmd_PARAMS_SETUP: return ParamsSetup(in_data, out_data, params, output);
        case PF_Cmd_SEQUENCE_SETUP:
        case PF_Cmd_SEQUENCE_RESETUP: return SequenceSetup(in_data, out_data);
        case PF_Cmd_SEQUENCE_SETDOWN: return SequenceSetdown(in_data);
        case PF_Cmd_DO_DIALOG: return DoDialog(in_data, out_data, params, output);
        case PF_Cmd_USER_CHANGED_PARAM: return UserChangedParam(in_data, out_data, params, output, extra);
        case PF_Cmd_UPDATE_PARAMS_UI: return UpdateParamsUI(in_data, out_data, params, output);
        case PF_Cmd_EVENT:
            return Graph::HandleEvent(in_data, out_data, params, output, static_cast<PF_EventExtra*>(extra),
                                      kGraphParamIndex);
        case PF_Cmd_QUERY_DYNAMIC_FLAGS:
            // Layer parameters are checked out at other times than the current one.
            out_data->out_flags |= PF_OutFlag_WIDE_TIME_INPUT;
            return PF_Err_NONE;
        case PF_Cmd_ARBITRARY_CALLBACK:
            return Graph::HandleData(in_data, out_data, params, output, static_cast<PF_ArbParamsExtra*>(extra),
                                     kGraphParamIndex);
        case PF_Cmd_SMART_PRE_RENDER: return PreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
        case PF_Cmd_SMART_RENDER: return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
        default:
            // 2, 7, 10, 11, 12, 16, 17, 19, 20, 21 and every code above 24.
            return PF_Err_NONE;
    }
}

}  // namespace

PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
    PF_UtilCallbacks* utils = in_data->utils;
    // Whatever the host hands back on a reset is never read.
    if (in_data->sequence_data) {
        utils->host_dispose_handle(in_data->sequence_data);
        in_data->sequence_data = nullptr;
        out_data->sequence_data = nullptr;
    }
    PF_Handle handle = utils->host_new_handle(sizeof(SequenceData));
    if (!handle) return PF_Err_OUT_OF_MEMORY;
    void* p = utils->host_lock_handle(handle);
    if (!p) {
        utils->host_dispose_handle(handle);
        return PF_Err_OUT_OF_MEMORY;
    }
    std::memset(p, 0, sizeof(SequenceData));
    out_data->sequence_data = handle;
    utils->host_unlock_handle(handle);
    return PF_Err_NONE;
}

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                 PF_LayerDef* output, void* extra) {
    if (cmd < 0 || cmd > PF_Cmd_SMART_RENDER) return PF_Err_NONE;
    // Nothing may unwind into the host.
    try {
        return Dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (int err) {
        return err;
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}
