#include "VemaroPattern.h"

// Panel state: hiding and graying out parameters.
PF_Err UserChangedParam(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*) { return PF_Err_NONE; }
PF_Err UpdateParamsUI(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) { return PF_Err_NONE; }
