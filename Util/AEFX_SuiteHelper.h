// Direct acquisition and release of single suites, leaving a message for the
// user in the output record when the host cannot serve them.
#pragma once

#include "AE_Effect.h"

struct DRAWBOT_DrawSuite1;
struct DRAWBOT_SupplierSuite1;
struct DRAWBOT_SurfaceSuite1;
struct DRAWBOT_PathSuite1;

// The caller's record of the four drawing suites, in acquisition order.
struct DRAWBOT_Suites {
    DRAWBOT_DrawSuite1* drawbot_suiteP;
    DRAWBOT_SupplierSuite1* supplier_suiteP;
    DRAWBOT_SurfaceSuite1* surface_suiteP;
    DRAWBOT_PathSuite1* path_suiteP;
};

PF_Err AEFX_AcquireSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                         const char* error_string, void** suite);
PF_Err AEFX_ReleaseSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                         const char* error_string);
PF_Err AEFX_AcquireDrawbotSuites(PF_InData* in_data, PF_OutData* out_data, DRAWBOT_Suites* suites);
PF_Err AEFX_ReleaseDrawbotSuites(PF_InData* in_data, PF_OutData* out_data);
