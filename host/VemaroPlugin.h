// Parameter helpers of the effect controls panel: hiding a parameter's stream
// and graying out its control.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "AE_Effect.h"
#include "AE_GeneralPlug.h"

// Sets or clears the hidden flag of a parameter's stream, every time it is
// called. Returns the first host error.
PF_Err hideParameter(int pluginId, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect, int index, unsigned char hide);

// Sets or clears PF_PUI_DISABLED in defs[index] (the caller's copy of the
// host's definition) and hands the copy to the host. Without force, a copy
// already in the wanted state costs no host call.
PF_Err grayOutParameter(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_ParamDef* defs, int index, unsigned char gray,
                        bool force);
