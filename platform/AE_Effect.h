// The host's effect records: input and output records with their callback
// tables, parameter definitions, worlds, and the per-command extra records.
#pragma once

#include "AE_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PF_MAX_EFFECT_NAME_LEN 31
#define PF_MAX_EFFECT_MSG_LEN 255
#define PF_MAX_PARAM_NAME_LEN 31
#define PF_MAX_PARAM_DESCRIPTION_LEN 31
#define PF_MAX_PARAM_VALUE_LEN 31

// ---------------------------------------------------------------- worlds
typedef struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    A_long world_flags;
    void* data;       // top-left pixel of the visible area
    A_long rowbytes;  // may exceed width * pixel size
    A_long width;
    A_long height;
    PF_LRect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;  // position of the world's (0, 0) in the layer
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault;  // layer parameter default (PF_LayerDefault_*)
} PF_LayerDef;
typedef PF_LayerDef PF_EffectWorld;

enum { PF_LayerDefault_MYSELF = -1, PF_LayerDefault_NONE = 0 };
enum { PF_WorldFlag_DEEP = 1L << 0, PF_WorldFlag_WRITEABLE = 1L << 1 };

// ---------------------------------------------------------------- parameters
enum {
    PF_Param_RESERVED = -1,
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_POPUP = 7,
    PF_Param_CUSTOM = 8,
    PF_Param_NO_DATA = 9,
    PF_Param_FLOAT_SLIDER = 10,
    PF_Param_ARBITRARY_DATA = 11,
    PF_Param_PATH = 12,
    PF_Param_GROUP_START = 13,
    PF_Param_GROUP_END = 14,
    PF_Param_BUTTON = 15,
    PF_Param_RESERVED2 = 16,
    PF_Param_RESERVED3 = 17,
    PF_Param_POINT_3D = 18
};

enum {
    PF_ParamFlag_RESERVED1 = 1L << 0,
    PF_ParamFlag_CANNOT_TIME_VARY = 1L << 1,
    PF_ParamFlag_CANNOT_INTERP = 1L << 2,
    PF_ParamFlag_COLLAPSE_TWIRLY = 1L << 5,
    PF_ParamFlag_SUPERVISE = 1L << 6,
    PF_ParamFlag_START_COLLAPSED = PF_ParamFlag_COLLAPSE_TWIRLY
};

enum {
    PF_PUI_NONE = 0,
    PF_PUI_TOPIC = 1L << 0,
    PF_PUI_CONTROL = 1L << 1,
    PF_PUI_STD_CONTROL_ONLY = 1L << 2,
    PF_PUI_NO_ECW_UI = 1L << 3,
    PF_PUI_ECW_SEPARATOR = 1L << 4,
    PF_PUI_DISABLED = 1L << 5,
    PF_PUI_DONT_ERASE_TOPIC = 1L << 6,
    PF_PUI_DONT_ERASE_CONTROL = 1L << 7,
    PF_PUI_RADIO_BUTTON = 1L << 8,
    PF_PUI_INVISIBLE = 1L << 9
};

enum {
    PF_ChangeFlag_NONE = 0,
    PF_ChangeFlag_CHANGED_VALUE = 1L << 0,
    PF_ChangeFlag_SET_TO_VARY = 1L << 1,
    PF_ChangeFlag_SET_TO_CONSTANT = 1L << 2
};

enum { PF_ValueDisplayFlag_NONE = 0, PF_ValueDisplayFlag_PERCENT = 1L << 0, PF_ValueDisplayFlag_PIXEL = 1L << 1 };

typedef struct {
    PF_ParamValue value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_ParamValue valid_min, valid_max;
    PF_ParamValue slider_min, slider_max;
    PF_ParamValue dephault;
} PF_SliderDef;

typedef struct {
    PF_Fixed value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_Fixed valid_min, valid_max;
    PF_Fixed slider_min, slider_max;
    PF_Fixed dephault;
    A_short precision;
    A_short display_flags;
} PF_FixedSliderDef;

typedef struct {
    PF_FpLong value;
    PF_FpLong phase;
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_FpShort valid_min, valid_max;
    PF_FpShort slider_min, slider_max;
    PF_FpShort dephault;
    A_short precision;
    A_short display_flags;
    A_long fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
} PF_FloatSliderDef;

typedef struct {
    PF_Fixed value;  // degrees, 16.16
    PF_Fixed dephault;
    PF_Fixed valid_min, valid_max;
} PF_AngleDef;

typedef struct {
    PF_ParamValue value;
    PF_ParamValue dephault;
    const A_char* u_name;  // label beside the box
} PF_CheckBoxDef;

typedef struct {
    PF_Pixel value;
    PF_Pixel dephault;
} PF_ColorDef;

typedef struct {
    PF_Fixed x_value, y_value;  // layer pixels after setup; defaults in percent
    A_char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault, y_dephault;
} PF_PointDef;

typedef struct {
    PF_ParamValue value;
    A_short num_choices;
    A_short dephault;
    const A_char* u_names;  // items separated by '|'
} PF_PopupDef;

typedef struct {
    A_long id;
    A_long pad;
    PF_ArbitraryH dephault;
    PF_ArbitraryH value;
    void* refconPV;
} PF_ArbitraryDef;

typedef struct {
    PF_PathID path_id;
    A_long reserved0;
    A_long dephault;
} PF_PathDef;

typedef struct {
    PF_ParamValue value;
    const A_char* u_label;
} PF_ButtonDef;

typedef union {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_AngleDef ad;
    PF_CheckBoxDef bd;
    PF_ColorDef cd;
    PF_PointDef td;
    PF_PopupDef pd;
    PF_FloatSliderDef fs_d;
    PF_ArbitraryDef arb_d;
    PF_PathDef path_d;
    PF_ButtonDef button_d;
} PF_ParamDefUnion;

typedef struct PF_ParamDef {
    union {
        A_long id;  // disk id, at setup
        PF_ChangeFlags change_flags;
    } uu;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[PF_MAX_PARAM_NAME_LEN + 1];
    PF_ParamFlags flags;
    A_long unused;
    PF_ParamDefUnion u;
} PF_ParamDef;
typedef PF_ParamDef* PF_ParamList[];

// ---------------------------------------------------------------- callbacks
typedef struct {
    double (*atan)(double);
    double (*atan2)(double y, double x);
    double (*ceil)(double);
    double (*cos)(double);
    double (*exp)(double);
    double (*fabs)(double);
    double (*floor)(double);
    double (*fmod)(double, double);
    double (*hypot)(double, double);
    double (*log)(double);
    double (*log10)(double);
    double (*pow)(double, double);
    double (*sin)(double);
    double (*sqrt)(double);
    double (*tan)(double);
    int (*sprintf)(A_char*, const A_char*, ...);
    A_char* (*strcpy)(A_char*, const A_char*);
    double (*asin)(double);
    double (*acos)(double);
    A_long ansi_procs[1];
} PF_ANSICallbacks;

typedef struct {
    A_long mode;
    A_long rand_seed;
    A_u_char opacity;
    PF_Boolean rgb_only;
    A_u_short opacitySu;
} PF_CompositeMode;

typedef struct PF_MaskWorld PF_MaskWorld;

typedef struct {
    PF_LayerDef* src;
    A_long x_radius;  // 16.16, area sampling
    A_long y_radius;
    A_long area;
    PF_LayerDef* src2;
    A_long reserved[8];
} PF_SampPB;

typedef struct _PF_UtilCallbacks {
    PF_Err (*begin_sampling)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_SampPB*);
    PF_Err (*subpixel_sample)(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB*, PF_Pixel*);
    PF_Err (*area_sample)(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB*, PF_Pixel*);
    void* get_batch_func_is_deprecated;
    PF_Err (*end_sampling)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_SampPB*);
    PF_Err (*composite_rect)(PF_ProgPtr, PF_Rect*, A_long opacity, PF_LayerDef* src, A_long x, A_long y, PF_Field,
                             PF_XferMode, PF_LayerDef* dst);
    PF_Err (*blend)(PF_ProgPtr, const PF_LayerDef*, const PF_LayerDef*, PF_Fixed ratio, PF_LayerDef*);
    PF_Err (*convolve)(PF_ProgPtr, PF_LayerDef*, const PF_Rect*, A_long flags, A_long kernel_size, void*, void*, void*,
                       void*, PF_LayerDef*);
    PF_Err (*copy)(PF_ProgPtr, PF_LayerDef* src, PF_LayerDef* dst, PF_Rect* src_r, PF_Rect* dst_r);
    PF_Err (*fill)(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* dst_rect, PF_LayerDef* world);
    PF_Err (*gaussian_kernel)(PF_ProgPtr, A_FpLong, A_long, A_FpLong, A_long*, void*);
    PF_Err (*iterate)(struct PF_InData*, A_long, A_long, PF_LayerDef*, const PF_Rect*, void*, void*, PF_LayerDef*);
    PF_Err (*premultiply)(PF_ProgPtr, A_long forward, PF_LayerDef*);
    PF_Err (*premultiply_color)(PF_ProgPtr, PF_LayerDef*, const PF_Pixel*, A_long, PF_LayerDef*);
    PF_Err (*new_world)(PF_ProgPtr, A_long width, A_long height, PF_NewWorldFlags, PF_LayerDef* world);
    PF_Err (*dispose_world)(PF_ProgPtr, PF_LayerDef* world);
    PF_Err (*iterate_origin)(void*);
    PF_Err (*iterate_lut)(void*);
    PF_Err (*transfer_rect)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_Rect*, const PF_LayerDef*,
                            const PF_CompositeMode*, const PF_MaskWorld*, A_long, A_long, PF_LayerDef*);
    PF_Err (*transform_world)(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_LayerDef* src,
                              const PF_CompositeMode*, const PF_MaskWorld*, const PF_FloatMatrix* matrices,
                              A_long num_matrices, PF_Boolean src2dst_matrix, const PF_Rect* dest_rect,
                              PF_LayerDef* dst);
    PF_Handle (*host_new_handle)(A_u_longlong size);
    void* (*host_lock_handle)(PF_Handle);
    void (*host_unlock_handle)(PF_Handle);
    void (*host_dispose_handle)(PF_Handle);
    PF_Err (*get_callback_addr)(PF_ProgPtr, PF_Quality, PF_ModeFlags, A_long which, void** fn);
    PF_Err (*app)(PF_ProgPtr, A_long, ...);
    PF_ANSICallbacks ansi;
    void* colorCB[8];
    PF_Err (*get_platform_data)(PF_ProgPtr, A_long which, void* data);
    A_u_longlong (*host_get_handle_size)(PF_Handle);
    PF_Err (*iterate_origin_non_clip_src)(void*);
    PF_Err (*iterate_generic)(A_long iterationsL, void* refconPV,
                              PF_Err (*fn_func)(void* refconPV, A_long thread_indexL, A_long i, A_long iterationsL));
    PF_Err (*host_resize_handle)(A_u_longlong new_sizeL, PF_Handle* handleP);
    PF_Err (*subpixel_sample16)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel16*);
    PF_Err (*area_sample16)(PF_ProgPtr, PF_Fixed, PF_Fixed, const PF_SampPB*, PF_Pixel16*);
    PF_Err (*fill16)(PF_ProgPtr, const PF_Pixel16*, const PF_Rect*, PF_LayerDef*);
    void* reserved[8];
} PF_UtilCallbacks;

typedef struct {
    A_long events;
    A_long comp_ui_width, comp_ui_height;
    A_long comp_ui_alignment;
    A_long layer_ui_width, layer_ui_height;
    A_long layer_ui_alignment;
    A_long preview_ui_width, preview_ui_height;
    A_long preview_ui_alignment;
    A_long reserved[10];
} PF_CustomUIInfo;
enum {
    PF_CustomEFlag_NONE = 0,
    PF_CustomEFlag_COMP = 1L << 0,
    PF_CustomEFlag_LAYER = 1L << 1,
    PF_CustomEFlag_EFFECT = 1L << 2,
    PF_CustomEFlag_PREVIEW = 1L << 3
};

typedef struct {
    PF_Err (*checkout_param)(PF_ProgPtr, PF_ParamIndex, A_long what_time, A_long time_step, A_u_long time_scale,
                             PF_ParamDef*);
    PF_Err (*checkin_param)(PF_ProgPtr, PF_ParamDef*);
    PF_Err (*add_param)(PF_ProgPtr, PF_ParamIndex, PF_ParamDef* def);
    PF_Err (*abort)(PF_ProgPtr);
    PF_Err (*progress)(PF_ProgPtr, A_long current, A_long total);
    PF_Err (*register_ui)(PF_ProgPtr, PF_CustomUIInfo*);
    PF_Err (*checkout_layer_audio)(PF_ProgPtr, PF_ParamIndex, A_long start_time, A_long duration, A_u_long time_scale,
                                   A_u_long rate /*samples per second, unsigned 16.16*/, A_long bytes_per_sample,
                                   A_long num_channels, A_long fmt, PF_LayerAudio* audio);
    PF_Err (*checkin_layer_audio)(PF_ProgPtr, PF_LayerAudio);
    PF_Err (*get_audio_data)(PF_ProgPtr, PF_LayerAudio, PF_SndSamplePtr* data, A_long* num_samples, A_u_long* rate,
                             A_long* bytes_per_sample, A_long* num_channels, A_long* fmt);
    void* reserved_str[3];
    void* reserved[10];
} PF_InteractCallbacks;

#define PF_ABORT(IN_DATA) (*(IN_DATA)->inter.abort)((IN_DATA)->effect_ref)
#define PF_PROGRESS(IN_DATA, CURR, TOTAL) (*(IN_DATA)->inter.progress)((IN_DATA)->effect_ref, (CURR), (TOTAL))
#define PF_CHECKOUT_PARAM(IN_DATA, IDX, TIME, STEP, SCALE, PARAM) \
    (*(IN_DATA)->inter.checkout_param)((IN_DATA)->effect_ref, (IDX), (TIME), (STEP), (SCALE), (PARAM))
#define PF_CHECKIN_PARAM(IN_DATA, PARAM) (*(IN_DATA)->inter.checkin_param)((IN_DATA)->effect_ref, (PARAM))

// ---------------------------------------------------------------- basic suite
typedef struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, A_long version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, A_long version);
    A_Boolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPErr (*Undefined)(void);
} SPBasicSuite;

// ---------------------------------------------------------------- in/out records
typedef struct PF_InData {
    PF_InteractCallbacks inter;
    struct _PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;
    PF_SpecVersion version;
    A_long serial_num;
    A_long appl_id;
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;  // layer size at full resolution
    A_long height;
    PF_Rect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    void* src_snd;
    SPBasicSuite* pica_basicP;
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
} PF_InData;

typedef struct PF_OutData {
    A_u_long my_version;
    A_char name[PF_MAX_EFFECT_NAME_LEN + 1];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_FixedPoint origin;
    PF_OutFlags out_flags;
    A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
    A_long start_sampL;
    A_long dur_sampL;
    void* dest_snd;
    PF_OutFlags2 out_flags2;
} PF_OutData;

// Extra records of the custom-UI event and the arbitrary-data callback; their
// fields are declared with the custom UI.
typedef struct PF_EventExtra PF_EventExtra;
typedef struct PF_ArbParamsExtra PF_ArbParamsExtra;

// Extra record of PF_Cmd_USER_CHANGED_PARAM: which parameter the user changed.
typedef struct {
    PF_ParamIndex param_index;
} PF_UserChangedParamExtra;

// ---------------------------------------------------------------- smart render
typedef struct {
    PF_LRect rect;
    PF_Field field;
    A_long channel_mask;
    PF_Boolean preserve_rgb_of_zero_alpha;
    A_char unused[3];
    A_long reserved[4];
} PF_RenderRequest;

enum {
    PF_ChannelMask_ALPHA = 0x1,
    PF_ChannelMask_RED = 0x2,
    PF_ChannelMask_GREEN = 0x4,
    PF_ChannelMask_BLUE = 0x8,
    PF_ChannelMask_ARGB = 0xF
};

typedef struct {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_RationalScale par;
    PF_Boolean solid;
    PF_Boolean reservedB[3];
    A_long ref_width;
    A_long ref_height;
    A_long reserved[6];
} PF_CheckoutResult;

typedef void (*PF_DeletePreRenderDataFunc)(void* pre_render_data);

enum { PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS = 0x1, PF_RenderOutputFlag_GPU_RENDER_POSSIBLE = 0x2 };

typedef struct {
    PF_LRect result_rect;
    PF_LRect max_result_rect;
    PF_Boolean solid;
    PF_Boolean reservedB;
    A_short flags;
    void* pre_render_data;
    PF_DeletePreRenderDataFunc delete_pre_render_data_func;
} PF_PreRenderOutput;

typedef struct {
    PF_RenderRequest output_request;
    A_short bitdepth;
    const void* gpu_data;
    A_long what_gpu;
    A_u_long device_index;
} PF_PreRenderInput;

typedef struct {
    PF_Err (*checkout_layer)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_idL,
                             const PF_RenderRequest* req, A_long what_time, A_long time_step, A_u_long time_scale,
                             PF_CheckoutResult* checkout_result);
    PF_Err (*GuidMixInPtr)(PF_ProgPtr effect_ref, A_u_long buf_sizeLu, const void* buf);
} PF_PreRenderCallbacks;

typedef struct {
    PF_PreRenderInput* input;
    PF_PreRenderOutput* output;
    PF_PreRenderCallbacks* cb;
} PF_PreRenderExtra;

typedef struct {
    PF_RenderRequest output_request;
    A_short bitdepth;
    void* pre_render_data;
    const void* gpu_data;
    A_long what_gpu;
    A_u_long device_index;
} PF_SmartRenderInput;

typedef struct {
    PF_Err (*checkout_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL, PF_EffectWorld** pixels);
    PF_Err (*checkin_layer_pixels)(PF_ProgPtr effect_ref, A_long checkout_idL);
    PF_Err (*checkout_output)(PF_ProgPtr effect_ref, PF_EffectWorld** output);
} PF_SmartRenderCallbacks;

typedef struct {
    PF_SmartRenderInput* input;
    PF_SmartRenderCallbacks* cb;
} PF_SmartRenderExtra;

#ifdef __cplusplus
}
#endif
