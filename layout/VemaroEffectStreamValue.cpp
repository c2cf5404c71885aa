#include "VemaroEffectStreamValue.h"

PF_Err useEffectStreamValue(AEGP_PluginID pluginId, PF_InData* in_data, AEGP_SuiteHandler& suites, int index,
                            const std::function<PF_Err(const AEGP_StreamValue2&)>& use) {
    AEGP_StreamSuite9* streams = suites.StreamSuite9();
    AEGP_EffectRefH effect = nullptr;
    PF_Err err = suites.PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(pluginId, in_data->effect_ref, &effect);
    AEGP_StreamRefH stream = nullptr;
    if (!err) err = streams->AEGP_GetNewEffectStreamByIndex(pluginId, effect, index, &stream);
    AEGP_StreamValue2 value{};
    bool haveValue = false;
    if (!err) {
        const A_Time now{in_data->current_time, in_data->time_scale};
        err = streams->AEGP_GetNewStreamValue(pluginId, stream, AEGP_LTimeMode_LayerTime, &now, false, &value);
        haveValue = !err;
    }
    if (!err) err = use(value);
    // Each release counts only when nothing failed before it.
    if (haveValue) {
        const PF_Err e = streams->AEGP_DisposeStreamValue(&value);
        if (!err) err = e;
    }
    if (stream) {
        const PF_Err e = streams->AEGP_DisposeStream(stream);
        if (!err) err = e;
    }
    if (effect) {
        const PF_Err e = suites.EffectSuite2()->AEGP_DisposeEffect(effect);
        if (!err) err = e;
    }
    return err;
}
