// Records of the custom-UI event command and of the arbitrary-data callback,
// and the custom UI suite that hands out a Drawbot reference for drawing.
#pragma once

#include "AE_Drawbot.h"
#include "AE_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------- events
// Only the draw code is relied on; the others are our choice.
enum {
    PF_Event_NEW_CONTEXT = 0,
    PF_Event_ACTIVATE = 1,
    PF_Event_DO_CLICK = 2,
    PF_Event_DRAG = 3,
    PF_Event_DRAW = 4,
    PF_Event_DEACTIVATE = 5,
    PF_Event_CLOSE_CONTEXT = 6,
    PF_Event_IDLE = 7,
    PF_Event_ADJUST_CURSOR = 8,
    PF_Event_KEYDOWN = 9,
    PF_Event_MOUSE_EXITED = 10
};
typedef A_long PF_EventType;

enum { PF_Window_COMP = 0, PF_Window_LAYER = 1, PF_Window_EFFECT = 2 };
typedef A_long PF_WindowType;

// Area of a parameter's row in the effect controls.
enum { PF_EA_NONE = 0, PF_EA_PARAM_TITLE = 1, PF_EA_CONTROL = 2 };
typedef A_long PF_EffectArea;

enum { PF_EI_NONE = 0, PF_EI_DONT_DRAW = 1L << 0 };
typedef A_long PF_EventInFlags;

enum {
    PF_EO_NONE = 0,
    PF_EO_HANDLED_EVENT = 1L << 0,
    PF_EO_ALWAYS_UPDATE = 1L << 1,
    PF_EO_NEVER_UPDATE = 1L << 2,
    PF_EO_UPDATE_NOW = 1L << 3
};
typedef A_long PF_EventOutFlags;

typedef struct _PF_ContextRecord {
    A_u_long magic;
    PF_WindowType w_type;
    void* reserved_cgrafptr;
    PF_FpShort reserved_flt;
    A_long reserved_long;
    void* reserved_paneP;
} PF_ContextRecord;

typedef struct {
    PF_ParamIndex param_index;
    PF_EffectArea area;
    PF_Rect current_frame;  // the area being drawn, in panel coordinates
    PF_Rect param_title_frame;
    A_long horiz_offset;
} PF_EffectWindowInfo;

typedef struct {
    A_long when;
    PF_FixedPoint screen_point;
    A_long num_clicks;
    PF_Boolean double_click;
    PF_Boolean last_time;
    A_short reserved;
    void* continue_refcon[4];
} PF_DoClickEventInfo;

typedef struct {
    PF_Rect update_rect;
    A_long depth;
} PF_DrawEventInfo;

typedef struct {
    A_long when;
    PF_FixedPoint screen_point;
    A_long key_code;
    A_long modifiers;
} PF_KeyDownEvent;

typedef struct {
    PF_FixedPoint screen_point;
    A_long modifiers;
    A_long set_cursor;
} PF_AdjustCursorEventInfo;

typedef union {
    PF_DoClickEventInfo do_click;
    PF_DrawEventInfo draw;
    PF_KeyDownEvent key_down;
    PF_AdjustCursorEventInfo adjust_cursor;
} PF_EventUnion;

typedef struct {
    void* refcon;
    PF_Err (*layer_to_comp)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale, PF_FixedPoint* pt);
    PF_Err (*comp_to_layer)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale, PF_FixedPoint* pt);
    PF_Err (*info_draw_color)(void* refcon, PF_Pixel color);
    PF_Err (*info_draw_text)(void* refcon, const A_char* text1, const A_char* text2);
    void* reserved[8];
} PF_EventCallbacks;

struct PF_EventExtra {
    PF_ContextH contextH;
    PF_EventType e_type;
    PF_EventUnion u;
    PF_EffectWindowInfo effect_win;
    PF_EventCallbacks cbs;
    PF_EventInFlags evt_in_flags;
    PF_EventOutFlags evt_out_flags;
};

#define kPFEffectCustomUISuite "PF Effect Custom UI Suite"
#define kPFEffectCustomUISuiteVersion1 1
typedef struct PF_EffectCustomUISuite1 {
    PF_Err (*PF_GetDrawingReference)(const PF_ContextH context, DRAWBOT_DrawRef* out_draw_ref);
} PF_EffectCustomUISuite1;

// ---------------------------------------------------------------- arbitrary data
enum {
    PF_Arbitrary_NEW_FUNC = 0,
    PF_Arbitrary_DISPOSE_FUNC = 1,
    PF_Arbitrary_COPY_FUNC = 2,
    PF_Arbitrary_FLAT_SIZE_FUNC = 3,
    PF_Arbitrary_FLATTEN_FUNC = 4,
    PF_Arbitrary_UNFLATTEN_FUNC = 5,
    PF_Arbitrary_INTERP_FUNC = 6,
    PF_Arbitrary_COMPARE_FUNC = 7,
    PF_Arbitrary_PRINT_SIZE_FUNC = 8,
    PF_Arbitrary_PRINT_FUNC = 9,
    PF_Arbitrary_SCAN_FUNC = 10
};
typedef A_long PF_FunctionSelector;

enum { PF_ArbCompare_EQUAL = 0, PF_ArbCompare_LESS = 1, PF_ArbCompare_MORE = 2, PF_ArbCompare_NOT_EQUAL = 3 };
typedef A_long PF_ArbCompareResult;

enum { PF_ArbPrint_NONE = 0, PF_ArbPrint_ABBREVIATED = 1L << 0 };
typedef A_long PF_ArbPrintFlags;

typedef struct {
    void* refconPV;
    PF_ArbitraryH* arbPH;
} PF_ArbNewFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbitraryH arbH;
} PF_ArbDisposeFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbitraryH src_arbH;
    PF_ArbitraryH* dst_arbPH;
} PF_ArbCopyFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbitraryH arbH;
    A_u_long* flat_data_sizePLu;
} PF_ArbFlatSizeFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbitraryH arbH;
    A_u_long buf_sizeLu;
    void* flat_dataPV;
} PF_ArbFlattenFuncParams;

typedef struct {
    void* refconPV;
    A_u_long buf_sizeLu;
    const void* flat_dataPV;
    PF_ArbitraryH* arbPH;
} PF_ArbUnFlattenFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbitraryH left_arbH;
    PF_ArbitraryH right_arbH;
    PF_FpLong tF;
    PF_ArbitraryH* interpPH;
} PF_ArbInterpFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbitraryH a_arbH;
    PF_ArbitraryH b_arbH;
    PF_ArbCompareResult* compareP;
} PF_ArbCompareFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbitraryH arbH;
    A_u_long* print_sizePLu;
} PF_ArbPrintSizeFuncParams;

typedef struct {
    void* refconPV;
    PF_ArbPrintFlags print_flags;
    PF_ArbitraryH arbH;
    A_u_long print_sizeLu;
    A_char* print_bufferPC;
} PF_ArbPrintFuncParams;

typedef struct {
    void* refconPV;
    const A_char* bufPC;
    A_u_long bytes_to_scanLu;
    PF_ArbitraryH* arbPH;
} PF_ArbScanFuncParams;

struct PF_ArbParamsExtra {
    PF_FunctionSelector which_function;
    A_short id;
    A_short padding;
    union {
        PF_ArbNewFuncParams new_func_params;
        PF_ArbDisposeFuncParams dispose_func_params;
        PF_ArbCopyFuncParams copy_func_params;
        PF_ArbFlatSizeFuncParams flat_size_func_params;
        PF_ArbFlattenFuncParams flatten_func_params;
        PF_ArbUnFlattenFuncParams unflatten_func_params;
        PF_ArbInterpFuncParams interp_func_params;
        PF_ArbCompareFuncParams compare_func_params;
        PF_ArbPrintSizeFuncParams print_size_func_params;
        PF_ArbPrintFuncParams print_func_params;
        PF_ArbScanFuncParams scan_func_params;
    } u;
};

#ifdef __cplusplus
}
#endif
