#include "VemaroPattern.h"

// Smart render: layout, drawing and compositing of one frame.
PF_Err SmartRender(PF_InData*, PF_OutData*, PF_SmartRenderExtra*) { return PF_Err_NONE; }
