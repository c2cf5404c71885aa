// Basic scalar types, records and codes of the host's effect API, declared here
// from what the effect expects of the host. A build against the real host swaps
// this folder for the host's own headers; numeric values that the effect does not
// depend on are our own choice and marked so.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef int64_t A_long_long;
typedef uint64_t A_u_longlong;
typedef A_long A_Err;

typedef A_Boolean PF_Boolean;
typedef A_long PF_Err;
typedef A_long PF_Fixed;  // 16.16 fixed point
typedef double PF_FpLong;
typedef float PF_FpShort;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamValue;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ChangeFlags;
typedef A_long PF_ValueDisplayFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_InFlags;
typedef A_long PF_Quality;
typedef A_long PF_ModeFlags;
typedef A_long PF_Field;
typedef A_long PF_PixelFormat;
typedef A_long PF_NewWorldFlags;
typedef A_long PF_XferMode;
typedef A_long PF_Precision;
typedef A_long PF_SoundFormat;
typedef A_long PF_SoundSampleSize;
typedef A_long PF_SoundChannels;
// The effect API version the host speaks.
typedef struct {
    A_short major;
    A_short minor;
} PF_SpecVersion;

typedef int32_t SPErr;
typedef int32_t AEGP_PluginID;

#define PF_FIXED_ONE (1L << 16)
#define INT2FIX(i) ((PF_Fixed)(i) << 16)
#define FLOAT2FIX(f) ((PF_Fixed)((f)*65536.0 + (((f) < 0) ? -0.5 : 0.5)))
#define FIX_2_FLOAT(x) ((double)(x) / 65536.0)

// A host time: value / scale seconds.
typedef struct {
    A_long value;
    A_u_long scale;
} A_Time;

typedef struct {
    A_long num;
    A_u_long den;
} A_Ratio;

typedef struct {
    A_long num;
    A_u_long den;
} PF_RationalScale;

typedef struct {
    A_long left, top, right, bottom;
} PF_LRect;

typedef PF_LRect PF_Rect;

typedef struct {
    PF_Fixed x, y;
} PF_FixedPoint;

typedef struct {
    A_FpLong x, y;
} A_FloatPoint;

typedef struct {
    A_FpLong mat[3][3];
} PF_FloatMatrix;

// Pixels: channel order alpha, red, green, blue; not premultiplied.
typedef struct {
    A_u_char alpha, red, green, blue;
} PF_Pixel;
typedef PF_Pixel PF_Pixel8;
typedef PF_Pixel PF_UnionablePixel;

typedef struct {
    A_u_short alpha, red, green, blue;  // full value 32768
} PF_Pixel16;

typedef struct {
    PF_FpShort alpha, red, green, blue;  // full value 1.0, unclamped
} PF_PixelFloat, PF_Pixel32;

#define PF_MAX_CHAN8 255
#define PF_MAX_CHAN16 32768

// A host memory handle: a pointer to the block's master pointer.
typedef void** PF_Handle;
typedef PF_Handle PF_ArbitraryH;

// Opaque host references.
typedef struct _PF_ProgressInfo* PF_ProgPtr;
typedef PF_ProgPtr PF_EffectRef;
typedef struct _PF_LayerAudio* PF_LayerAudio;
typedef void* PF_SndSamplePtr;
typedef struct _PF_PathOutline* PF_PathOutlinePtr;
typedef struct _PF_PathSegPrep* PF_PathSegPrepPtr;
typedef A_u_long PF_PathID;
typedef struct _PF_ContextH* PF_ContextH;

typedef struct _AEGP_EffectRefH* AEGP_EffectRefH;
typedef struct _AEGP_LayerH* AEGP_LayerH;
typedef struct _AEGP_CompH* AEGP_CompH;
typedef struct _AEGP_ItemH* AEGP_ItemH;
typedef struct _AEGP_StreamRefH* AEGP_StreamRefH;
typedef struct _AEGP_MaskRefH* AEGP_MaskRefH;
typedef struct _AEGP_MemHandle* AEGP_MemHandle;
typedef struct _AEGP_GlobalRefcon* AEGP_GlobalRefcon;
typedef struct _AEGP_CommandRefcon* AEGP_CommandRefcon;

// Command codes.
enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_DO_DIALOG = 9,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
    PF_Cmd_COMPLETELY_GENERAL = 17,
    PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
    PF_Cmd_AUDIO_RENDER = 19,
    PF_Cmd_AUDIO_SETUP = 20,
    PF_Cmd_AUDIO_SETDOWN = 21,
    PF_Cmd_ARBITRARY_CALLBACK = 22,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24,
    PF_Cmd_NUM_CMDS
};
typedef A_long PF_Cmd;

// Error codes. 0, 4, 512 and 516 are the ones the effect relies on; the others
// are our choice.
enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_INDEX = 513,
    PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516,
    PF_Interrupt_CANCEL = 517,
    PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518
};
#define A_Err_NONE 0
#define A_Err_GENERIC 1
#define A_Err_STRUCT 2
#define A_Err_PARAMETER 3
#define A_Err_ALLOC 4
#define kSPNoError 0
#define kSPSuiteNotFoundError 0x53214e46  // our choice

// out_flags. The six bits set at global setup add up to 0x06108022; the others
// are our choice.
enum {
    PF_OutFlag_NONE = 0,
    PF_OutFlag_KEEP_RESOURCE_OPEN = 1L << 0,
    PF_OutFlag_WIDE_TIME_INPUT = 1L << 1,
    PF_OutFlag_NON_PARAM_VARY = 1L << 2,
    PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING = 1L << 4,
    PF_OutFlag_I_DO_DIALOG = 1L << 5,
    PF_OutFlag_USE_OUTPUT_EXTENT = 1L << 6,
    PF_OutFlag_SEND_DO_DIALOG = 1L << 7,
    PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1L << 8,
    PF_OutFlag_I_EXPAND_BUFFER = 1L << 9,
    PF_OutFlag_PIX_INDEPENDENT = 1L << 10,
    PF_OutFlag_I_WRITE_INPUT_BUFFER = 1L << 11,
    PF_OutFlag_I_SHRINK_BUFFER = 1L << 12,
    PF_OutFlag_WORKS_IN_PLACE = 1L << 13,
    PF_OutFlag_CUSTOM_UI = 1L << 15,
    PF_OutFlag_REFRESH_UI = 1L << 17,
    PF_OutFlag_FORCE_RERENDER = 1L << 19,
    PF_OutFlag_I_USE_AUDIO = 1L << 20,
    PF_OutFlag_DEEP_COLOR_AWARE = 1L << 25,
    PF_OutFlag_SEND_UPDATE_PARAMS_UI = 1L << 26
};

// out_flags2. The three bits set at global setup add up to 0x1401.
enum {
    PF_OutFlag2_NONE = 0,
    PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS = 1L << 0,
    PF_OutFlag2_I_USE_3D_CAMERA = 1L << 1,
    PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG = 1L << 3,
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 1L << 10,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 1L << 12
};

// Version word: version, subversion, bug-fix version, stage, build.
enum { PF_Stage_DEVELOP = 0, PF_Stage_ALPHA = 1, PF_Stage_BETA = 2, PF_Stage_RELEASE = 3 };
#define PF_VERSION(vers, subvers, bugvers, stage, build) \
    (A_u_long)((((A_u_long)(vers)&0x1f) << 19) | (((A_u_long)(subvers)&0xf) << 15) | \
               (((A_u_long)(bugvers)&0xf) << 11) | (((A_u_long)(stage)&0x3) << 9) | ((A_u_long)(build)&0x1ff))

enum { PF_Quality_DRAWING_AUDIO = -1, PF_Quality_LO = 0, PF_Quality_HI = 1 };
enum { PF_MF_Alpha_PREMUL = 0, PF_MF_Alpha_STRAIGHT = 1 };
enum { PF_Field_FRAME = 0, PF_Field_UPPER = 1, PF_Field_LOWER = 2 };

// Pixel formats of the world suite; codes are our choice.
enum {
    PF_PixelFormat_ARGB32 = 0x61726762,   // 'argb'
    PF_PixelFormat_ARGB64 = 0x61623634,   // 'ab64'
    PF_PixelFormat_ARGB128 = 0x61623132,  // 'ab12'
    PF_PixelFormat_INVALID = 0x62616466   // 'badf'
};

enum { PF_NewWorldFlag_NONE = 0, PF_NewWorldFlag_CLEAR_PIXELS = 1L << 0, PF_NewWorldFlag_DEEP_PIXELS = 1L << 1 };

enum { PF_Xfer_NONE = -1, PF_Xfer_COPY = 0, PF_Xfer_BEHIND = 1, PF_Xfer_IN_FRONT = 2 };

// Audio sample format: signed float samples.
enum { PF_SIGNED_PCM = 2, PF_UNSIGNED_PCM = 1, PF_SIGNED_FLOAT = 3 };

#ifdef __cplusplus
}
#endif
