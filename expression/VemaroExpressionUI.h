// The Graph parameter's custom control in the effect controls.
#pragma once

#include "AE_Effect.h"

namespace Graph {

PF_Err HandleEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                   PF_EventExtra* extra, int paramIndex);

}  // namespace Graph
