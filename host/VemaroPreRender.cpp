#include "VemaroPattern.h"

// Pre-render: the per-frame parameter record and the input request.
PF_Err PreRender(PF_InData*, PF_OutData*, PF_PreRenderExtra*) { return PF_Err_NONE; }
