#include "VemaroPattern.h"

// The "Edit Expressions" dialog.
PF_Err DoDialog(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) { return PF_Err_NONE; }
