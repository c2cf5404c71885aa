// The host's Drawbot drawing suites: a draw reference gives a supplier (which
// makes brushes, pens, fonts, paths and images) and a surface (which paints
// with them). Every call returns a Drawbot error code, 0 on success.
#pragma once

#include "AE_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _DRAWBOT_DrawRef* DRAWBOT_DrawRef;
typedef struct _DRAWBOT_SupplierRef* DRAWBOT_SupplierRef;
typedef struct _DRAWBOT_SurfaceRef* DRAWBOT_SurfaceRef;
typedef struct _DRAWBOT_BrushRef* DRAWBOT_BrushRef;
typedef struct _DRAWBOT_PenRef* DRAWBOT_PenRef;
typedef struct _DRAWBOT_FontRef* DRAWBOT_FontRef;
typedef struct _DRAWBOT_ImageRef* DRAWBOT_ImageRef;
typedef struct _DRAWBOT_PathRef* DRAWBOT_PathRef;
// Any of the references above, for retain and release.
typedef struct _DRAWBOT_ObjectRef* DRAWBOT_ObjectRef;

typedef A_u_char DRAWBOT_Boolean;
typedef A_u_short DRAWBOT_UTF16Char;

typedef struct {
    float red, green, blue, alpha;  // 0 to 1
} DRAWBOT_ColorRGBA;

typedef struct {
    float x, y;
} DRAWBOT_PointF32;

typedef struct {
    float left, top, width, height;
} DRAWBOT_RectF32;

typedef struct {
    A_long left, top, width, height;
} DRAWBOT_Rect32;

typedef struct {
    float mat[3][3];
} DRAWBOT_MatrixF32;

// Codes are our choice.
typedef enum {
    kDRAWBOT_TextAlignment_Left = 0,
    kDRAWBOT_TextAlignment_Center = 1,
    kDRAWBOT_TextAlignment_Right = 2,
    kDRAWBOT_TextAlignment_Default = kDRAWBOT_TextAlignment_Left
} DRAWBOT_TextAlignment;

typedef enum {
    kDRAWBOT_TextTruncation_None = 0,
    kDRAWBOT_TextTruncation_End = 1,
    kDRAWBOT_TextTruncation_EndEllipsis = 2,
    kDRAWBOT_TextTruncation_PathEllipsis = 3
} DRAWBOT_TextTruncation;

typedef enum { kDRAWBOT_FillType_EvenOdd = 0, kDRAWBOT_FillType_Winding = 1 } DRAWBOT_FillType;
typedef enum {
    kDRAWBOT_PixelLayout_24RGB = 0,
    kDRAWBOT_PixelLayout_32RGB = 1,
    kDRAWBOT_PixelLayout_32ARGB_Straight = 2,
    kDRAWBOT_PixelLayout_32ARGB_Premul = 3,
    kDRAWBOT_PixelLayout_32BGRA_Straight = 4,
    kDRAWBOT_PixelLayout_32BGRA_Premul = 5
} DRAWBOT_PixelLayout;
typedef enum {
    kDRAWBOT_InterpolationPolicy_None = 0,
    kDRAWBOT_InterpolationPolicy_Med = 1,
    kDRAWBOT_InterpolationPolicy_High = 2
} DRAWBOT_InterpolationPolicy;
typedef enum {
    kDRAWBOT_AntiAliasPolicy_None = 0,
    kDRAWBOT_AntiAliasPolicy_Med = 1,
    kDRAWBOT_AntiAliasPolicy_High = 2
} DRAWBOT_AntiAliasPolicy;

#define kDRAWBOT_DrawSuite "DRAWBOT Draw Suite"
#define kDRAWBOT_DrawSuite_Version1 1
typedef struct DRAWBOT_DrawSuite1 {
    SPErr (*GetSupplier)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SupplierRef* out_supplier);
    SPErr (*GetSurface)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SurfaceRef* out_surface);
} DRAWBOT_DrawSuite1;

#define kDRAWBOT_SupplierSuite "DRAWBOT Supplier Suite"
#define kDRAWBOT_SupplierSuite_Version1 1
typedef struct DRAWBOT_SupplierSuite1 {
    SPErr (*NewPen)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, float size, DRAWBOT_PenRef* out_pen);
    SPErr (*NewBrush)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, DRAWBOT_BrushRef* out_brush);
    SPErr (*SupportsText)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* out_supports);
    SPErr (*GetDefaultFontSize)(DRAWBOT_SupplierRef supplier, float* out_size);
    SPErr (*NewDefaultFont)(DRAWBOT_SupplierRef supplier, float size, DRAWBOT_FontRef* out_font);
    SPErr (*NewImageFromBuffer)(DRAWBOT_SupplierRef supplier, A_long width, A_long height, A_long row_bytes,
                                DRAWBOT_PixelLayout layout, const void* data, DRAWBOT_ImageRef* out_image);
    SPErr (*NewPath)(DRAWBOT_SupplierRef supplier, DRAWBOT_PathRef* out_path);
    SPErr (*SupportsPixelLayoutBGRA)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* out_supports);
    SPErr (*PrefersPixelLayoutBGRA)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* out_prefers);
    SPErr (*SupportsPixelLayoutARGB)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* out_supports);
    SPErr (*PrefersPixelLayoutARGB)(DRAWBOT_SupplierRef supplier, DRAWBOT_Boolean* out_prefers);
    SPErr (*RetainObject)(DRAWBOT_ObjectRef object);
    SPErr (*ReleaseObject)(DRAWBOT_ObjectRef object);
} DRAWBOT_SupplierSuite1;

#define kDRAWBOT_SurfaceSuite "DRAWBOT Surface Suite"
#define kDRAWBOT_SurfaceSuite_Version1 1
typedef struct DRAWBOT_SurfaceSuite1 {
    SPErr (*PushStateStack)(DRAWBOT_SurfaceRef surface);
    SPErr (*PopStateStack)(DRAWBOT_SurfaceRef surface);
    SPErr (*PaintRect)(DRAWBOT_SurfaceRef surface, const DRAWBOT_ColorRGBA* color, const DRAWBOT_RectF32* rect);
    SPErr (*FillPath)(DRAWBOT_SurfaceRef surface, DRAWBOT_BrushRef brush, DRAWBOT_PathRef path,
                      DRAWBOT_FillType fill_type);
    SPErr (*StrokePath)(DRAWBOT_SurfaceRef surface, DRAWBOT_PenRef pen, DRAWBOT_PathRef path);
    SPErr (*Clip)(DRAWBOT_SurfaceRef surface, DRAWBOT_SupplierRef supplier, const DRAWBOT_Rect32* rect);
    SPErr (*GetClipBounds)(DRAWBOT_SurfaceRef surface, DRAWBOT_Rect32* out_rect);
    SPErr (*IsWithinClipBounds)(DRAWBOT_SurfaceRef surface, const DRAWBOT_Rect32* rect, DRAWBOT_Boolean* out_within);
    SPErr (*Transform)(DRAWBOT_SurfaceRef surface, const DRAWBOT_MatrixF32* matrix);
    SPErr (*DrawString)(DRAWBOT_SurfaceRef surface, DRAWBOT_BrushRef brush, DRAWBOT_FontRef font,
                        const DRAWBOT_UTF16Char* text, const DRAWBOT_PointF32* origin, DRAWBOT_TextAlignment alignment,
                        DRAWBOT_TextTruncation truncation, float truncation_width);
    SPErr (*DrawImage)(DRAWBOT_SurfaceRef surface, DRAWBOT_ImageRef image, const DRAWBOT_PointF32* origin, float alpha);
    SPErr (*SetInterpolationPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_InterpolationPolicy policy);
    SPErr (*GetInterpolationPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_InterpolationPolicy* out_policy);
    SPErr (*SetAntiAliasPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_AntiAliasPolicy policy);
    SPErr (*GetAntiAliasPolicy)(DRAWBOT_SurfaceRef surface, DRAWBOT_AntiAliasPolicy* out_policy);
    SPErr (*Flush)(DRAWBOT_SurfaceRef surface);
} DRAWBOT_SurfaceSuite1;

#define kDRAWBOT_PathSuite "DRAWBOT Path Suite"
#define kDRAWBOT_PathSuite_Version1 1
typedef struct DRAWBOT_PathSuite1 {
    SPErr (*MoveTo)(DRAWBOT_PathRef path, float x, float y);
    SPErr (*LineTo)(DRAWBOT_PathRef path, float x, float y);
    SPErr (*BezierTo)(DRAWBOT_PathRef path, const DRAWBOT_PointF32* c1, const DRAWBOT_PointF32* c2,
                      const DRAWBOT_PointF32* end);
    SPErr (*AddRect)(DRAWBOT_PathRef path, const DRAWBOT_RectF32* rect);
    SPErr (*AddArc)(DRAWBOT_PathRef path, const DRAWBOT_PointF32* center, float radius, float start_angle, float sweep);
    SPErr (*Close)(DRAWBOT_PathRef path);
} DRAWBOT_PathSuite1;

#ifdef __cplusplus
}
#endif
