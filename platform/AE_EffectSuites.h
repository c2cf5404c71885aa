// Effect-side suites of the host ("PF ..."), each a record of function pointers
// registered under a name and a version.
#pragma once

#include "AE_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion2 2
typedef struct PF_HandleSuite2 {
    PF_Handle (*host_new_handle)(A_u_longlong size);
    void* (*host_lock_handle)(PF_Handle);
    void (*host_unlock_handle)(PF_Handle);
    void (*host_dispose_handle)(PF_Handle);
    A_u_longlong (*host_get_handle_size)(PF_Handle);
    PF_Err (*host_resize_handle)(A_u_longlong new_size, PF_Handle* handle);
} PF_HandleSuite2;

#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion1 1
#define kPFWorldSuiteVersion2 2
typedef struct PF_WorldSuite1 {
    PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height, PF_NewWorldFlags flags,
                        PF_EffectWorld* world);
    PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    PF_Err (*get_pixel_format)(const PF_EffectWorld* world, PF_PixelFormat* format);
} PF_WorldSuite1;

typedef struct PF_WorldSuite2 {
    PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean clear_pix,
                          PF_PixelFormat format, PF_EffectWorld* world);
    PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* world, PF_PixelFormat* format);
} PF_WorldSuite2;

typedef A_long PF_State[4];
// A search direction, optionally with the given time itself included.
enum {
    PF_TimeDir_GREATER_THAN = 0x0000,
    PF_TimeDir_LESS_THAN = 0x0001,
    PF_TimeDir_INCLUDE = 0x1000,
    PF_TimeDir_GREATER_THAN_OR_EQUAL = PF_TimeDir_GREATER_THAN | PF_TimeDir_INCLUDE,
    PF_TimeDir_LESS_THAN_OR_EQUAL = PF_TimeDir_LESS_THAN | PF_TimeDir_INCLUDE
};
typedef A_long PF_TimeDir;

#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion2 2
typedef struct PF_ParamUtilsSuite2 {
    PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def);
    PF_Err (*PF_GetCurrentState)(PF_ProgPtr effect_ref, PF_State* state);
    PF_Err (*PF_AreStatesIdentical)(PF_ProgPtr effect_ref, const PF_State* a, const PF_State* b, A_Boolean* same);
    PF_Err (*PF_IsIdenticalCheckout)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long time_a, A_long step_a,
                                     A_u_long scale_a, A_long time_b, A_long step_b, A_u_long scale_b,
                                     PF_Boolean* identical);
    PF_Err (*PF_FindKeyframeTime)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_u_long time_scale,
                                  PF_TimeDir time_dir, PF_Boolean* has_keyframe, A_long* key_index, A_long* key_time,
                                  A_u_long* key_time_scale);
    PF_Err (*PF_GetKeyframeCount)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long* count);
} PF_ParamUtilsSuite2;

#define kPFEffectUISuite "PF Effect UI Suite"
#define kPFEffectUISuiteVersion1 1
typedef struct PF_EffectUISuite1 {
    PF_Err (*PF_SetOptionsButtonName)(PF_ProgPtr effect_ref, const A_char* name);
} PF_EffectUISuite1;

typedef PF_Err (*PF_IterateGenericFunc)(void* refcon, A_long thread_index, A_long i, A_long iterations);

#define kPFIterate8Suite "PF Iterate8 Suite"
#define kPFIterate8SuiteVersion1 1
typedef struct PF_Iterate8Suite1 {
    PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final, PF_EffectWorld* src,
                      const PF_Rect* area, void* refcon,
                      PF_Err (*pix_fn)(void* refcon, A_long x, A_long y, PF_Pixel* in, PF_Pixel* out),
                      PF_EffectWorld* dst);
    PF_Err (*iterate_origin)(void*);
    PF_Err (*iterate_lut)(void*);
    PF_Err (*iterate_origin_non_clip_src)(void*);
    PF_Err (*iterate_generic)(A_long iterations, void* refcon, PF_IterateGenericFunc fn);
} PF_Iterate8Suite1;

#define kPFSampling8Suite "PF Sampling8 Suite"
#define kPFSampling16Suite "PF Sampling16 Suite"
#define kPFSamplingFloatSuite "PF SamplingFloat Suite"
#define kPFSamplingSuiteVersion1 1
// Fixed-point coordinates are 16.16 layer pixels; integer coordinates address
// pixel centres.
typedef struct PF_Sampling8Suite1 {
    PF_Err (*nn_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, PF_Pixel* dst);
    PF_Err (*subpixel_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, PF_Pixel* dst);
    PF_Err (*area_sample)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, PF_Pixel* dst);
} PF_Sampling8Suite1;
typedef struct PF_Sampling16Suite1 {
    PF_Err (*nn_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, PF_Pixel16* dst);
    PF_Err (*subpixel_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                                PF_Pixel16* dst);
    PF_Err (*area_sample16)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params, PF_Pixel16* dst);
} PF_Sampling16Suite1;
// The float suite takes the same 16.16 coordinates as the integer ones.
typedef struct PF_SamplingFloatSuite1 {
    PF_Err (*nn_sample_float)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                              PF_PixelFloat* dst);
    PF_Err (*subpixel_sample_float)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                                    PF_PixelFloat* dst);
    PF_Err (*area_sample_float)(PF_ProgPtr effect_ref, PF_Fixed x, PF_Fixed y, const PF_SampPB* params,
                                PF_PixelFloat* dst);
} PF_SamplingFloatSuite1;

// Mask paths.
typedef struct {
    PF_FpLong x, y;
    PF_FpLong tan_in_x, tan_in_y;
    PF_FpLong tan_out_x, tan_out_y;
} PF_PathVertex;

#define kPFPathQuerySuite "PF Path Query Suite"
#define kPFPathQuerySuiteVersion1 1
typedef struct PF_PathQuerySuite1 {
    PF_Err (*PF_NumPaths)(PF_ProgPtr effect_ref, A_long* num_paths);
    PF_Err (*PF_PathInfo)(PF_ProgPtr effect_ref, A_long index, PF_PathID* unique_id);
    PF_Err (*PF_CheckoutPath)(PF_ProgPtr effect_ref, PF_PathID unique_id, A_long what_time, A_long time_step,
                              A_u_long time_scale, PF_PathOutlinePtr* path);
    PF_Err (*PF_CheckinPath)(PF_ProgPtr effect_ref, PF_PathID unique_id, PF_Boolean changed, PF_PathOutlinePtr path);
} PF_PathQuerySuite1;

#define kPFPathDataSuite "PF Path Data Suite"
#define kPFPathDataSuiteVersion1 1
typedef struct PF_PathDataSuite1 {
    PF_Err (*PF_PathIsOpen)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, PF_Boolean* open);
    PF_Err (*PF_PathNumSegments)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long* num_segments);
    PF_Err (*PF_PathVertexInfo)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long which_point,
                                PF_PathVertex* vertex);
    PF_Err (*PF_PathPrepareSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long which_seg, A_long frequency,
                                      PF_PathSegPrepPtr* length_prep);
    PF_Err (*PF_PathGetSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long which_seg,
                                  PF_PathSegPrepPtr* length_prep, PF_FpLong* length);
    PF_Err (*PF_PathEvalSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, PF_PathSegPrepPtr* length_prep,
                                   A_long which_seg, PF_FpLong length, PF_FpLong* x, PF_FpLong* y);
    PF_Err (*PF_PathEvalSegLengthDeriv1)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, PF_PathSegPrepPtr* length_prep,
                                         A_long which_seg, PF_FpLong length, PF_FpLong* x, PF_FpLong* y,
                                         PF_FpLong* deriv1x, PF_FpLong* deriv1y);
    PF_Err (*PF_PathCleanupSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long which_seg,
                                      PF_PathSegPrepPtr* length_prep);
    PF_Err (*PF_PathIsInverted)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, PF_Boolean* inverted);
    PF_Err (*PF_PathGetMaskMode)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_long* mode);
    PF_Err (*PF_PathGetName)(PF_ProgPtr effect_ref, PF_PathOutlinePtr path, A_char* name);
} PF_PathDataSuite1;

#ifdef __cplusplus
}
#endif
