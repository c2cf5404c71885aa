#include "VemaroExpressionUI.h"

// Filled in with the Graph control.
namespace Graph {

PF_Err HandleEvent(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, PF_EventExtra*, int) {
    return PF_Err_NONE;
}

}  // namespace Graph
