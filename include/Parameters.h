// The per-frame snapshot of the effect's settings, converted into the units the
// layouts and drawers work in. Pre-render writes it into a host handle (every
// field zeroed first); the smart render locks that handle and completes the
// layer pointers, the frame duration and the per-shape layer data in place.
//
// Units: positions and lengths are pixels of the layer at the current
// downsampled size unless a field says "full resolution". Seed points are in
// full-resolution pixels rounded to a tenth, so random arrangements do not
// change with the preview resolution. HLS triples are Colors whose slots hold
// {unused (0), hue in degrees, lightness, saturation}.
//
// The record is plain data: it must stay trivially copyable, since it lives in
// host memory that the host may move while it is unlocked. Pre-render gives
// the host a delete function with the handle; the host calls it once it is
// done with the frame, so the smart render only locks and unlocks the record
// and never disposes of it.
#pragma once

#include "AE_Effect.h"
#include "Color.h"
#include "Vector.h"

#include <cstdint>
#include <type_traits>

#include "VemaroEasing.h"

// The four map records of a map group. Each starts with its layer (set by the
// smart render only when the map layer has pixels: a map is in use exactly when
// it is non-null) and its wrap (1 None, 2 Clamp, 3 Repeat, 4 Mirror; 0 in the
// 1D and post-2D groups, which have no wrap popup). Channels are 1 Lightness
// ... 9 Alpha.
struct ShapeMapSettings {
    PF_LayerDef* layer;
    int32_t wrap;
    int32_t channel;
    uint8_t invert;
};

struct ScaleMapSettings {
    PF_LayerDef* layer;
    int32_t wrap;
    int32_t channel;
    double threshold;      // fraction
    double thresholdSoft;  // fraction
    double power;
    uint8_t invert;
    double black;  // scale factor
    double white;  // scale factor
};

struct ColorMapSettings {
    PF_LayerDef* layer;
    int32_t wrap;
    int32_t mode;      // 1 Fill, 2 Tint, 3 Tritone, 4 Hue
    Color adjust;      // HLS triple: hue shift, lightness and saturation factors
    Color randomize;   // HLS triple: spread amounts
    Vector colorSeed;  // seed
    Color highlight;
    Color shadow;
    uint8_t preserveLuma;
};

struct PhaseMapSettings {
    PF_LayerDef* layer;
    int32_t wrap;
    int32_t channel;
    uint8_t invert;
    double black;  // radians
    double white;  // radians
};

// One of the three map groups (1D, pre-2D, post-2D).
struct MapGroup {
    ShapeMapSettings shapeMap;
    ScaleMapSettings scaleMap;
    ColorMapSettings colorMap;
    PhaseMapSettings phaseMap;
};

struct Parameters {
    // One of the eight shape definitions.
    struct Shape {
        double size;  // downsampled pixels, Global Shape scale applied
        uint8_t useScale;
        double scale;  // factor, Global Shape scale applied
        double minimumScale;
        double width;
        double minimumWidth;
        double height;
        double minimumHeight;
        Vector scaleSeed;
        int32_t type;  // 1 Line, 2 Circle, 3 Polygon, 4 Input, 5 Layer
        double thickness;
        double innerRadius;
        int32_t sides;
        double starness;
        Vector layerCenter;  // relative to the centre of the downsampled layer
        uint8_t boundingBox;
        int32_t frameOffset;  // frames
        uint8_t clampFrame;
        PF_LayerDef* layer;              // set by the smart render
        PF_LRect layerRect;              // set by the smart render
        int32_t layerInFrame;            // set by the smart render (Layer shapes)
        int32_t layerOutFrame;           // set by the smart render (Layer shapes)
        int32_t layerSampling;           // 1 Current Time, 2 Still Frame, 3 Play Once, 4 Loop
        double layerTime;                // turns
        int32_t randomizeLayerSampling;  // 1 None, 2 Linear, 3 Random
        Vector layerSamplingSeed;
        int32_t toner;  // 1 None, 2 HLS, 3 Fill, 4 Tint, 5 Tritone, 6 Hue
        Color highlight;
        Color shadow;
        uint8_t preserveLuma;
        Color color;           // alpha 1, Global Shape colour applied
        Color strokeColor;     // alpha 1, Global Shape colour applied
        Color randomizeColor;  // HLS triple
        Vector colorSeed;
        double opacity;  // fraction, Global Shape opacity applied
        double minimumOpacity;
        Vector opacitySeed;
        int32_t fillStroke;  // 1 Fill, 2 Stroke, 3 Fill & Stroke
        double strokeWidth;
        double phase;  // radians, Global Shape phase added
        double randomizePhase;
        Vector phaseSeed;
        int32_t times;
        int32_t priority;  // 1-8, the drawing-queue sort key
    };

    int32_t pattern;  // 1 Point ... 12 Random

    // Point
    int32_t pointNumber;
    Vector points[8];
    // Line
    Vector lineCenter;
    double lineWidth;
    double lineRotation;
    double lineOffset;
    // Line Segment
    int32_t lineSegmentNumber;
    Vector lineSegmentPoint1;
    Vector lineSegmentPoint2;
    double lineSegmentLength;
    uint8_t lineSegmentInvert;
    // Circle
    int32_t circleNumber;
    Vector circleCenter;
    double circleRadius;
    double circleCentralAngle;
    double circlePhase;
    // Rectangle
    int32_t rectangleNumber;
    Vector rectangleCenter;
    int32_t rectangleMode;
    double rectangleWidth;
    double rectangleHeight;  // carries the x factor, like the width it stands in for
    double rectangleBorderRadius;
    double rectangleRotation;
    double rectangleLength;
    double rectangleOffset;  // turns
    // Grid
    Vector gridCenter;
    int32_t gridMode;
    double gridWidth;
    double gridHeight;
    double gridOffsetX;
    double gridOffsetY;
    double gridRotation;
    int32_t gridOrder;
    // Finite Grid
    Vector finiteGridCenter;
    int32_t finiteGridMode;
    double finiteGridWidth;
    double finiteGridHeight;
    int32_t finiteGridColumn;
    int32_t finiteGridRow;
    double finiteGridRotation;
    int32_t finiteGridOrder;
    // Triangular Grid
    Vector triangularGridCenter;
    double triangularGridRadius;
    double triangularGridHeight;
    double triangularGridOffsetX;
    double triangularGridOffsetY;
    double triangularGridRotation;
    // Path
    int32_t pathMask;  // path id
    Vector pathAnchor;
    Vector pathPosition;
    double pathScale;
    double pathRotation;
    int32_t pathMode;
    int32_t pathNumber;
    double pathInterval;
    double pathLength;
    double pathOffset;  // turns
    uint8_t pathInvert;
    int32_t pathShapeMapMode;
    int32_t pathScaleMapMode;
    int32_t pathColorMapMode;
    int32_t pathPhaseMapMode;
    // Waveform
    Vector waveformPoint1;
    Vector waveformPoint2;
    int32_t waveformMask;  // path id
    double waveformMaxHeight;
    double waveformPower;
    int32_t waveformSamples;
    double waveformSamplingRate;  // Hz
    double waveformDuration;      // ms
    double waveformOffset;        // ms
    // Graph
    double graphVariables[10];  // a b c d f g i j k l
    Vector graphOrigin;
    double graphRotation;
    double graphFrom;
    double graphTo;
    int32_t graphMode;
    int32_t graphNumber;
    uint8_t graphEqualize;
    double graphDetail;
    double graphDelta;
    // Random (lengths at full resolution: the layout applies the factors)
    double randomDistance;
    int32_t randomMode;
    double randomExpansion;
    Vector randomCenter;
    double randomWidth;
    double randomHeight;
    double randomRadius;
    double randomScale;
    int32_t randomOrder;
    int32_t randomOrderSeed;
    int32_t randomSeed;

    // Common groups
    uint8_t autoOrient;
    int32_t cycle;
    int32_t cycleOffset;
    int32_t displacementMode;  // 1 Random, 2 Map
    PF_LayerDef* displacementMap;
    int32_t displacementMapWrap;
    int32_t displacementXChannel;
    double displacementX;
    int32_t displacementYChannel;
    double displacementY;  // carries the x factor
    Vector displacementSeed;
    int32_t transitionMode;
    double transitionCompletion;
    double transitionDelay;
    double transitionRest;
    Vector transitionOffset;
    uint8_t transitionManualOffset;
    double transitionScale;
    uint8_t transitionManualScale;
    Color transitionColor;  // HLS triple
    uint8_t transitionManualColor;
    double transitionOpacity;
    uint8_t transitionManualOpacity;
    double transitionPhase;
    uint8_t transitionManualPhase;
    int32_t transitionOrder;       // 1 Normal, 2 Random, 3 Map, 4 Shape
    double transitionOrderOffset;  // turns
    int32_t transitionOrderSeed;
    PF_LayerDef* transitionMap;
    int32_t transitionMapWrap;
    int32_t transitionMapChannel;
    uint8_t transitionOrderInvert;
    Easing transitionEasing;
    double transitionManualDetail;
    Vector transformAnchor;
    Vector transformPosition;
    double transformScale;
    double transformRotation;
    double transformOpacity;
    int32_t repeaterType;  // 1 None, 2 1D, 3 2D
    Vector repeaterX;
    Vector repeaterY;
    int32_t shapeNumber;
    int32_t shapeWeights[8];  // running sums of the active shapes' times
    int32_t shapeWeightTotal;
    uint8_t queueByPriority;  // the active shapes' priorities differ
    int32_t shapeOffset;
    uint8_t randomizeShape;
    Vector shapeSeed;
    Shape shapes[8];
    MapGroup map1D;
    MapGroup mapPre2D;
    MapGroup mapPost2D;
    int32_t blendingMode;
    uint8_t onOriginal;
    A_Time frameDuration;  // set by the smart render

    // How the record's own handle is given back to the host once the host is
    // done with it (see releasePreRenderData); not a setting.
    void (*disposeHandle)(PF_Handle);
};

static_assert(std::is_trivially_copyable<Parameters>::value, "the record lives in host memory");
static_assert(std::is_standard_layout<Parameters>::value, "the record lives in host memory");
static_assert(sizeof(Easing) == 2 * sizeof(int32_t), "the easing choice is two int32");

// ---------------------------------------------------------------- conversions
// One function per conversion rule of the record, each reading the member of
// the parameter definition that its parameter type fills.
namespace ParamConvert {

// A downsample factor num / den in double precision; a zero denominator (no
// factor at all) counts as full resolution.
double factor(const PF_RationalScale& s);
// A full-resolution length at the downsampled size, in whole pixels, as the
// host sizes its layers: length × num / den in integer arithmetic.
A_long downsampled(A_long length, const PF_RationalScale& s);

int32_t raw(const PF_ParamDef& popupOrSlider);  // popup (1-based) or integer slider
double rawFloat(const PF_ParamDef& floatSlider);
uint8_t check(const PF_ParamDef& checkbox);
Vector point(const PF_ParamDef& point);
double percent(const PF_ParamDef& floatSlider);
double fixedPercent(const PF_ParamDef& fixedSlider);
double radians(const PF_ParamDef& angle);
double turns(const PF_ParamDef& angle);
float degrees(const PF_ParamDef& angle);
float percentFloat(const PF_ParamDef& floatSlider);
double scaled(const PF_ParamDef& floatSlider, double factor);  // ×dsX, ×dsY
// A point in full-resolution pixels rounded to tenths (toward zero after
// adding 0.5), whatever the downsample factors.
Vector seed(const PF_ParamDef& point, const PF_RationalScale& dsX, const PF_RationalScale& dsY);
double seedCoordinate(PF_Fixed value, const PF_RationalScale& ds);
Color rgba(const PF_ParamDef& color);
Color rgb1(const PF_ParamDef& color);  // the host alpha is ignored: alpha 1
int32_t pathId(const PF_ParamDef& path);
int32_t lowByte(const PF_ParamDef& popup);

}  // namespace ParamConvert

// The computed fields: shapeWeights, shapeWeightTotal, queueByPriority.
void computeShapeWeights(Parameters& p);

// The Global Shape settings, already converted, and their fold into every
// active shape (size and scale, fill and stroke colour in HLS, opacity, phase).
struct GlobalShape {
    double scale = 1.0;       // factor
    float hue = 0.0f;         // degrees, not reduced
    float lightness = 1.0f;   // factor
    float saturation = 1.0f;  // factor
    double opacity = 1.0;     // factor
    double phase = 0.0;       // radians
};
void foldGlobalShape(Parameters& p, const GlobalShape& g);

// The delete callback for the pre-render data: gives the record's handle back
// to the host. Null data is ignored.
void releasePreRenderData(void* preRenderData);
