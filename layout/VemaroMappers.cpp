#include "VemaroMappers.h"

#include "VemaroColorsys.h"
#include "VemaroMapSampling.h"
#include "VemaroPatternHash.h"

#include <cmath>

namespace {

PF_SampPB samplerOf(PF_LayerDef* layer) {
    PF_SampPB pb{};
    pb.src = layer;
    return pb;
}

PF_Err sample1D(const MapperHost& h, PF_SampPB& sampler, double t, Color& color) {
    return getMapColor1D(h.in_data, *h.suites, sampler, h.bpc, t, &color);
}

PF_Err sample2D(const MapperHost& h, PF_SampPB& sampler, const Vector& point, int wrap, Color& color) {
    return getMapColor2D(h.in_data, *h.suites, sampler, h.bpc, point, wrap, h.width, h.height, &color);
}

// A hidden slider's percentage as a fraction, inverted on request.
double curveFraction(const AEGP_StreamVal2& v, bool invert) {
    const double f = v.one_d * 0.01;
    return invert ? 1 - f : f;
}

// An RGB colour in HLS form with a map group's hue shift and lightness and
// saturation factors applied.
Color adjusted(const Color& rgb, const Color& adjust) {
    const Color hls = Colorsys::rgbToHls(rgb);
    return Color{hls.alpha, hls.red + adjust.red, hls.green * adjust.green, hls.blue * adjust.blue};
}

// The 1D side's value: from the 1D map layer at t when one is set, else from
// the hidden parameter's curve (`has` false when that is absent).
template <class R, class FromColour, class FromCurve>
PF_Err oneDValue(const MapperHost& h, PF_LayerDef* layer, PF_SampPB& sampler, MemoCurve<R>& curve, double t,
                 FromColour fromColour, FromCurve fromCurve, R& value, bool& has) {
    if (!layer) return curve.get(t, fromCurve, &value, &has);
    Color color;
    const PF_Err err = sample1D(h, sampler, t, color);
    value = fromColour(color);
    has = true;
    return err;
}

// The pre-2D map's colour at the point; with an error pending it is not
// sampled and reads as zero.
Color preTwoDColour(const MapperHost& h, PF_SampPB& sampler, const Vector& point, int wrap, PF_Err& err) {
    Color color;
    if (!err) err = sample2D(h, sampler, point, wrap, color);
    return color;
}

}  // namespace

// ---------------------------------------------------------------- ShapeMapper

ShapeMapper::ShapeMapper(const MapperHost& h, const Parameters& p)
    : host(h),
      deferToDraw(p.mapPost2D.shapeMap.layer ? 1 : 0),
      // The record holds 1 to 8 shapes; a damaged one is kept within the table.
      shapeNumber(p.shapeNumber < 1 ? 1 : (p.shapeNumber > 8 ? 8 : p.shapeNumber)),
      weights(p.shapeWeights),
      weightTotal(p.shapeWeightTotal),
      shapeOffset(p.shapeOffset),
      randomize(p.randomizeShape),
      seed(p.shapeSeed),
      curve(h.pluginId, *h.suites, h.effect, {kShapeCurveParam}),
      layer1D(p.map1D.shapeMap.layer),
      sampler1D(samplerOf(layer1D)),
      channel1D(p.map1D.shapeMap.channel),
      invert1D(p.map1D.shapeMap.invert),
      layerPre2D(p.mapPre2D.shapeMap.layer),
      samplerPre2D(samplerOf(layerPre2D)),
      wrapPre2D(p.mapPre2D.shapeMap.wrap),
      channelPre2D(p.mapPre2D.shapeMap.channel),
      invertPre2D(p.mapPre2D.shapeMap.invert) {}

int ShapeMapper::slotOf(double rate) const {
    const double x = weightTotal * rate;
    if (!(x > 0)) return 0;  // NaN too
    if (x >= weightTotal) return weightTotal - 1;
    return static_cast<int>(x);
}

PF_Err ShapeMapper::map(const Vector& point, int i, int j, double t, int& shapeIndex) {
    if (deferToDraw) return PF_Err_NONE;
    // Without weights there is nothing to walk: the first shape draws.
    if (weightTotal < 1) {
        shapeIndex = 0;
        return PF_Err_NONE;
    }
    if (randomize) shapeIndex = slotOf(patternHash(host.in_data, i, j, 0, seed));
    PF_Err err = PF_Err_NONE;
    long long idx = shapeIndex;
    if (layerPre2D) {
        Color color;
        err = sample2D(host, samplerPre2D, point, wrapPre2D, color);
        idx = slotOf(getMapRate(channelPre2D, 1.0, invertPre2D, color, 0.0, 0.0));
    } else if (layer1D) {
        Color color;
        err = sample1D(host, sampler1D, t, color);
        idx = slotOf(getMapRate(channel1D, 1.0, invert1D, color, 0.0, 0.0));
    } else {
        int slot = 0;
        bool has = false;
        err = curve.get(
            t,
            [this](const std::vector<AEGP_StreamVal2>& v) {
                const double f = curveFraction(v[0], invert1D);
                return slotOf(f > 0 ? f : 0.0);
            },
            &slot, &has);
        if (has) idx = slot;
    }
    long long k = (idx + shapeOffset) % weightTotal;
    if (k < 0) k += weightTotal;
    // Well-formed weights always hold k; damaged ones fall to the last shape.
    shapeIndex = shapeNumber - 1;
    for (int c = 0; c < shapeNumber; ++c)
        if (k < weights[c]) {
            shapeIndex = c;
            break;
        }
    return err;
}

// ---------------------------------------------------------------- ScaleMapper

ScaleMapper::ScaleMapper(const MapperHost& h, const ScaleMapSettings& m1, const ScaleMapSettings& m2)
    : host(h),
      curve(h.pluginId, *h.suites, h.effect, {kScaleCurveParam}),
      layer1D(m1.layer),
      sampler1D(samplerOf(layer1D)),
      threshold1D(m1.threshold),
      thresholdLow1D(m1.threshold - m1.thresholdSoft),
      channel1D(m1.channel),
      power1D(m1.power),
      invert1D(m1.invert),
      black1D(m1.black),
      range1D(m1.white - m1.black),
      layerPre2D(m2.layer),
      samplerPre2D(samplerOf(layerPre2D)),
      wrapPre2D(m2.wrap),
      thresholdPre2D(m2.threshold),
      thresholdLowPre2D(m2.threshold - m2.thresholdSoft),
      channelPre2D(m2.channel),
      powerPre2D(m2.power),
      invertPre2D(m2.invert),
      blackPre2D(m2.black),
      rangePre2D(m2.white - m2.black) {}

PF_Err ScaleMapper::map(const Vector& point, int, int, double t, ShapeDrawer::Pattern& pattern) {
    double value = 0.0;
    bool has = false;
    PF_Err err = oneDValue(
        host, layer1D, sampler1D, curve, t,
        [this](const Color& color) {
            return getMapRate(channel1D, power1D, invert1D, color, threshold1D, thresholdLow1D) * range1D + black1D;
        },
        [this](const std::vector<AEGP_StreamVal2>& s) {
            double v = curveFraction(s[0], invert1D);
            if (v >= threshold1D) {
            } else if (v >= thresholdLow1D) {
                v = v * ((v - thresholdLow1D) / (threshold1D - thresholdLow1D));
            } else {
                v = 0.0;
            }
            v = std::pow(v, power1D);
            // A negative value under a fractional power has no scale.
            if (std::isnan(v)) v = 0.0;
            return v * range1D + black1D;
        },
        value, has);
    if (has) {
        pattern.hasScale = 1;
        pattern.scale *= value;
    }
    if (layerPre2D) {
        const Color color = preTwoDColour(host, samplerPre2D, point, wrapPre2D, err);
        const double rate = getMapRate(channelPre2D, powerPre2D, invertPre2D, color, thresholdPre2D, thresholdLowPre2D);
        pattern.hasScale = 1;
        pattern.scale *= rate * rangePre2D + blackPre2D;
    }
    return err;
}

// ---------------------------------------------------------------- ColorMapper

ColorMapper::ColorMapper(const MapperHost& h, const ColorMapSettings& m1, const ColorMapSettings& m2)
    : host(h),
      curve(h.pluginId, *h.suites, h.effect, {kColorCurveParam, kColorOpacityCurveParam}),
      layer1D(m1.layer),
      sampler1D(samplerOf(layer1D)),
      adjust1D(m1.adjust),
      layerPre2D(m2.layer),
      samplerPre2D(samplerOf(layerPre2D)),
      wrapPre2D(m2.wrap),
      adjustPre2D(m2.adjust) {}

PF_Err ColorMapper::map(const Vector& point, int, int, double t, ShapeDrawer::Pattern& pattern) {
    Color color;
    bool has = false;
    PF_Err err = oneDValue(
        host, layer1D, sampler1D, curve, t, [this](const Color& rgb) { return adjusted(rgb, adjust1D); },
        [this](const std::vector<AEGP_StreamVal2>& v) {
            const Color rgb{static_cast<float>(v[1].one_d * 0.01), static_cast<float>(v[0].color.redF),
                            static_cast<float>(v[0].color.greenF), static_cast<float>(v[0].color.blueF)};
            return adjusted(rgb, adjust1D);
        },
        color, has);
    if (has) {
        pattern.hasColor1 = 1;
        pattern.color1 = color;
    }
    if (layerPre2D) {
        pattern.hasColor2 = 1;
        pattern.color2 = adjusted(preTwoDColour(host, samplerPre2D, point, wrapPre2D, err), adjustPre2D);
    }
    return err;
}

// ---------------------------------------------------------------- PhaseMapper

PhaseMapper::PhaseMapper(const MapperHost& h, const PhaseMapSettings& m1, const PhaseMapSettings& m2)
    : host(h),
      curve(h.pluginId, *h.suites, h.effect, {kPhaseCurveParam}),
      layer1D(m1.layer),
      sampler1D(samplerOf(layer1D)),
      black1D(m1.black),
      white1D(m1.white),
      range1D(m1.white - m1.black),
      channel1D(m1.channel),
      invert1D(m1.invert),
      layerPre2D(m2.layer),
      samplerPre2D(samplerOf(layerPre2D)),
      wrapPre2D(m2.wrap),
      blackPre2D(m2.black),
      whitePre2D(m2.white),
      rangePre2D(m2.white - m2.black),
      channelPre2D(m2.channel),
      invertPre2D(m2.invert) {}

PF_Err PhaseMapper::map(const Vector& point, int, int, double t, ShapeDrawer::Pattern& pattern) {
    double value = 0.0;
    bool has = false;
    PF_Err err = oneDValue(
        host, layer1D, sampler1D, curve, t,
        [this](const Color& color) {
            return getMapRate(channel1D, 1.0, invert1D, color, 0.0, 0.0) * range1D + black1D;
        },
        [this](const std::vector<AEGP_StreamVal2>& s) {
            const double v = curveFraction(s[0], invert1D);
            return (v > 0 ? v : 0.0) * range1D + black1D;
        },
        value, has);
    if (has) {
        pattern.hasPhaseOffset = 1;
        pattern.phaseOffset += value;
    }
    if (layerPre2D) {
        const Color color = preTwoDColour(host, samplerPre2D, point, wrapPre2D, err);
        pattern.hasPhaseOffset = 1;
        pattern.phaseOffset += getMapRate(channelPre2D, 1.0, invertPre2D, color, 0.0, 0.0) * rangePre2D + blackPre2D;
    }
    return err;
}
