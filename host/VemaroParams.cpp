#include "VemaroPattern.h"

#include "AEFX_SuiteHelper.h"
#include "AE_EffectSuites.h"
#include "VemaroExpressionData.h"
#include "VemaroParamTable.h"

#include <cstring>

namespace {

PF_Err RegisterOptionsButton(PF_InData* in_data, PF_OutData* out_data) {
    PF_EffectUISuite1* ui = nullptr;
    PF_Err err = AEFX_AcquireSuite(in_data, out_data, kPFEffectUISuite, kPFEffectUISuiteVersion1,
                                   "Couldn't load suite.", reinterpret_cast<void**>(&ui));
    if (err) return err;
    err = ui->PF_SetOptionsButtonName(in_data->effect_ref, "Edit Expressions");
    // Only a suite that was acquired is handed back.
    PF_Err released =
        AEFX_ReleaseSuite(in_data, out_data, kPFEffectUISuite, kPFEffectUISuiteVersion1, "Couldn't release suite.");
    return err ? err : released;
}

}  // namespace

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*) {
    const std::vector<ParamTable::Row>& rows = ParamTable::rows();
    for (const ParamTable::Row& row : rows) {
        PF_ParamDef def;
        std::memset(&def, 0, sizeof def);
        ParamTable::fillDefinition(row, def, in_data->utils->ansi.strcpy);
        if (row.type == PF_Param_ARBITRARY_DATA) {
            // Reports success even without memory; the default then stays empty.
            Graph::NewDefaultData(in_data, out_data, nullptr, &def.u.arb_d.dephault);
        }
        if (PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def)) {
            // A refused definition leaves its default record with us.
            if (row.type == PF_Param_ARBITRARY_DATA && def.u.arb_d.dephault)
                in_data->utils->host_dispose_handle(def.u.arb_d.dephault);
            return err;
        }
    }

    PF_CustomUIInfo ui;
    std::memset(&ui, 0, sizeof ui);
    ui.events = PF_CustomEFlag_EFFECT;
    PF_Err err = in_data->inter.register_ui(in_data->effect_ref, &ui);
    if (!err) err = RegisterOptionsButton(in_data, out_data);

    out_data->num_params = ParamTable::kParamCount;
    return err;
}
