#include "VemaroExpressionData.h"

// Filled in with the Graph data handlers.
namespace Graph {

PF_Err NewDefaultData(PF_InData*, PF_OutData*, void*, PF_ArbitraryH*) { return PF_Err_NONE; }

PF_Err HandleData(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, PF_ArbParamsExtra*, int) {
    return PF_Err_NONE;
}

}  // namespace Graph
