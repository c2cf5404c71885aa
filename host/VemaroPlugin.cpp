#include "VemaroPlugin.h"

PF_Err hideParameter(int pluginId, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect, int index, unsigned char hide) {
    // Both suites first: a missing one then throws before a stream is held.
    AEGP_StreamSuite9* streams = suites.StreamSuite9();
    AEGP_DynamicStreamSuite5* dynamic = suites.DynamicStreamSuite5();
    AEGP_StreamRefH stream = nullptr;
    PF_Err err = streams->AEGP_GetNewEffectStreamByIndex(pluginId, effect, index, &stream);
    if (!err) err = dynamic->AEGP_SetDynamicStreamFlag(stream, AEGP_DynStreamFlag_HIDDEN, false, hide);
    if (stream) {
        PF_Err disposeErr = streams->AEGP_DisposeStream(stream);
        if (!err) err = disposeErr;
    }
    return err;
}

PF_Err grayOutParameter(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_ParamDef* defs, int index, unsigned char gray,
                        bool force) {
    PF_ParamDef& def = defs[index];
    const bool grayed = (def.ui_flags & PF_PUI_DISABLED) != 0;
    if (!force && grayed == (gray != 0)) return PF_Err_NONE;
    if (gray)
        def.ui_flags |= PF_PUI_DISABLED;
    else
        def.ui_flags &= ~PF_PUI_DISABLED;
    return suites.ParamUtilsSuite2()->PF_UpdateParamUI(in_data->effect_ref, index, &def);
}
