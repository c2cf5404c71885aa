#include "VemaroMaskUtility.h"

#include "AEGP_SuiteHandler.h"

PF_Err getMaskIndex(PF_InData* in_data, unsigned int maskId, int* index) {
    *index = -1;
    if (maskId == 0) return PF_Err_NONE;
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    PF_Err err = PF_Err_NONE;
    AEGP_LayerH layer = nullptr;
    A_long count = -1;
    err = suites.PFInterfaceSuite1()->AEGP_GetEffectLayer(in_data->effect_ref, &layer);
    if (!err) err = suites.LayerMaskSuite6()->AEGP_GetLayerNumMasks(layer, &count);
    for (A_long i = 0; i < count && !err; ++i) {
        PF_PathID id = 0;
        err = suites.PathQuerySuite1()->PF_PathInfo(in_data->effect_ref, i, &id);
        if (!err && id == maskId) {
            *index = static_cast<int>(i);
            break;
        }
    }
    return err;
}
