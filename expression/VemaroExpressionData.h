// The Graph parameter's arbitrary data: two 256-byte expression texts.
#pragma once

#include "AE_Effect.h"

namespace Graph {

PF_Err NewDefaultData(PF_InData* in_data, PF_OutData* out_data, void* refcon, PF_ArbitraryH* default_out);
PF_Err HandleData(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                  PF_ArbParamsExtra* extra, int paramIndex);

}  // namespace Graph
