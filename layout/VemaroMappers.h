// The per-element value mappers of a layout run: which shape draws the
// element, and its mapped scale, colours and phase. Each reads a 1D source
// (a 1D map layer at the element's map position, else the keyframe curve of a
// hidden parameter) and a pre-2D map layer at the element's layout point.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Color.h"
#include "Parameters.h"
#include "Vector.h"
#include "VemaroDrawer.h"
#include "VemaroKeyframeCurve.h"

#include <cstdint>

// What every mapper needs of the render.
struct MapperHost {
    AEGP_PluginID pluginId;
    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    AEGP_EffectRefH effect;
    int bpc;
    int width;  // the layer in downsampled pixels
    int height;
};

// The hidden keyframed parameters that draw the mappers' 1D curves.
enum : PF_ParamIndex {
    kShapeCurveParam = 559,
    kScaleCurveParam = 565,
    kColorCurveParam = 576,
    kColorOpacityCurveParam = 577,
    kPhaseCurveParam = 594
};

class ShapeMapper {
public:
    ShapeMapper(const MapperHost& host, const Parameters& params);

    // shapeIndex: in, the layout's index for the element; out, the shape that
    // draws it, 0 to shapeNumber - 1. Unchanged when the post-2D shape map
    // decides at drawing time. The first host error.
    PF_Err map(const Vector& point, int i, int j, double t, int& shapeIndex);

    MapperHost host;
    uint8_t deferToDraw;
    int shapeNumber;
    const int32_t* weights;
    int weightTotal;
    int shapeOffset;
    uint8_t randomize;
    Vector seed;
    MemoCurve<int> curve;
    PF_LayerDef* layer1D;
    PF_SampPB sampler1D;
    int channel1D;
    uint8_t invert1D;
    PF_LayerDef* layerPre2D;
    PF_SampPB samplerPre2D;
    int wrapPre2D;
    int channelPre2D;
    uint8_t invertPre2D;

private:
    int slotOf(double rate) const;
};

class ScaleMapper {
public:
    ScaleMapper(const MapperHost& host, const ScaleMapSettings& map1D, const ScaleMapSettings& mapPre2D);

    PF_Err map(const Vector& point, int i, int j, double t, ShapeDrawer::Pattern& pattern);

    MapperHost host;
    MemoCurve<double> curve;
    PF_LayerDef* layer1D;
    PF_SampPB sampler1D;
    double threshold1D;
    double thresholdLow1D;
    int channel1D;
    double power1D;
    uint8_t invert1D;
    double black1D;
    double range1D;
    PF_LayerDef* layerPre2D;
    PF_SampPB samplerPre2D;
    int wrapPre2D;
    double thresholdPre2D;
    double thresholdLowPre2D;
    int channelPre2D;
    double powerPre2D;
    uint8_t invertPre2D;
    double blackPre2D;
    double rangePre2D;
};

class ColorMapper {
public:
    ColorMapper(const MapperHost& host, const ColorMapSettings& map1D, const ColorMapSettings& mapPre2D);

    PF_Err map(const Vector& point, int i, int j, double t, ShapeDrawer::Pattern& pattern);

    MapperHost host;
    MemoCurve<Color> curve;  // "1D Color" with "1D Color Opacity"
    PF_LayerDef* layer1D;
    PF_SampPB sampler1D;
    Color adjust1D;  // {unused, hue shift, lightness factor, saturation factor}
    PF_LayerDef* layerPre2D;
    PF_SampPB samplerPre2D;
    int wrapPre2D;
    Color adjustPre2D;
};

class PhaseMapper {
public:
    PhaseMapper(const MapperHost& host, const PhaseMapSettings& map1D, const PhaseMapSettings& mapPre2D);

    PF_Err map(const Vector& point, int i, int j, double t, ShapeDrawer::Pattern& pattern);

    MapperHost host;
    MemoCurve<double> curve;
    PF_LayerDef* layer1D;
    PF_SampPB sampler1D;
    double black1D;
    double white1D;
    double range1D;
    int channel1D;
    uint8_t invert1D;
    PF_LayerDef* layerPre2D;
    PF_SampPB samplerPre2D;
    int wrapPre2D;
    double blackPre2D;
    double whitePre2D;
    double rangePre2D;
    int channelPre2D;
    uint8_t invertPre2D;
};
