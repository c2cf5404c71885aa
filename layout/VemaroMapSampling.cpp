#include "VemaroMapSampling.h"

#include "VemaroColorsys.h"

#include <algorithm>
#include <cmath>

namespace {

// Beyond this many pixels a coordinate is outside every map; the bound keeps
// v * 65536 inside 32 bits.
constexpr double kFarOutside = 32767.0;

template <class P, class F>
Color toColor(const P& p, F channel) {
    Color c;
    c.alpha = channel(p.alpha);
    c.red = channel(p.red);
    c.green = channel(p.green);
    c.blue = channel(p.blue);
    return c;
}

// One subpixel sample of the depth's suite. A failed sample reads as the zero
// pixel it started from.
PF_Err sampleAt(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_SampPB& sampler, int bpc, PF_Fixed x, PF_Fixed y,
                Color* color) {
    PF_Err err = PF_Err_NONE;
    switch (bpc) {
        case 0: {
            PF_Pixel p{};
            err = suites.Sampling8Suite1()->subpixel_sample(in_data->effect_ref, x, y, &sampler, &p);
            // Divided, not multiplied by 1 / 255: the product rounds differently
            // on about half the values.
            *color = toColor(p, [](float v) { return v / 255.0f; });
            break;
        }
        case 1: {
            PF_Pixel16 p{};
            err = suites.Sampling16Suite1()->subpixel_sample16(in_data->effect_ref, x, y, &sampler, &p);
            *color = toColor(p, [](float v) { return v * (1.0f / 32768.0f); });
            break;
        }
        case 2: {
            PF_PixelFloat p{};
            err = suites.SamplingFloatSuite1()->subpixel_sample_float(in_data->effect_ref, x, y, &sampler, &p);
            *color = toColor(p, [](float v) { return v; });
            break;
        }
        default: break;
    }
    return err;
}

double clampToMap(double v, int size) {
    if (v < 0) return 0;
    if (v > size - 1) return size - 1;
    return v;
}

}  // namespace

PF_Fixed mapToFixed(double v) {
    if (!(v == v)) v = 0;  // NaN
    v = std::clamp(v, -kFarOutside, kFarOutside);
    return static_cast<PF_Fixed>(v >= 0 ? v * 65536.0 + 0.5 : v * 65536.0 - 0.5);
}

PF_Err getMapColor1D(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_SampPB& sampler, int bpc, double t,
                     Color* color) {
    if (bpc < 0 || bpc > 2) return PF_Err_NONE;
    const PF_LayerDef* map = sampler.src;
    if (!map) return PF_Err_BAD_CALLBACK_PARAM;  // no map to read
    PF_Fixed x = mapToFixed((map->width - 1) * t);
    PF_Fixed y = static_cast<PF_Fixed>(map->height / 2) * 65536;
    return sampleAt(in_data, suites, sampler, bpc, x, y, color);
}

PF_Err getMapColor2D(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_SampPB& sampler, int bpc, const Vector& position,
                     const Vector& offset, int width, int height, Color* color) {
    if (bpc < 0 || bpc > 2) return PF_Err_NONE;
    const PF_LayerDef* map = sampler.src;
    if (!map) return PF_Err_BAD_CALLBACK_PARAM;  // no map to read
    double u = (position.x + offset.x) / width;
    double v = (position.y + offset.y) / height;
    double X = clampToMap(map->width * u, map->width);
    double Y = clampToMap(map->height * v, map->height);
    return sampleAt(in_data, suites, sampler, bpc, mapToFixed(X), mapToFixed(Y), color);
}

PF_Err getMapColor2D(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_SampPB& sampler, int bpc, const Vector& position,
                     int wrap, int width, int height, Color* color) {
    if (bpc < 0 || bpc > 2) return PF_Err_NONE;
    const PF_LayerDef* map = sampler.src;
    if (!map) return PF_Err_BAD_CALLBACK_PARAM;  // no map to read
    double u = position.x / width;
    double v = position.y / height;
    // fmod is exact in every library: the standard one spares a host call
    // per sample.
    auto fmod = [](double x, double y) { return std::fmod(x, y); };
    if (wrap == kMapWrapMirror) {
        for (double* w : {&u, &v}) {
            double m = fmod(*w, 2.0);
            if (m < 0) m += 2.0;
            if (m > 1) m = 2.0 - m;
            *w = m;
        }
    } else if (wrap == kMapWrapRepeat) {
        for (double* w : {&u, &v}) {
            double m = fmod(*w, 1.0);
            if (m < 0) m += 1.0;
            *w = m;
        }
    }
    double X = map->width * u;
    double Y = map->height * v;
    if (wrap != kMapWrapNone) {
        X = clampToMap(X, map->width);
        Y = clampToMap(Y, map->height);
    }
    return sampleAt(in_data, suites, sampler, bpc, mapToFixed(X), mapToFixed(Y), color);
}

double getMapRate(int channel, double exponent, unsigned char invert, const Color& color, double upper, double lower) {
    const double A = color.alpha, R = color.red, G = color.green, B = color.blue;
    const double mx = std::max({color.red, color.green, color.blue});
    const double mn = std::min({color.red, color.green, color.blue});
    double rate;
    switch (channel) {
        case kMapChannelLightness: rate = A * (mx + mn) * 0.5; break;
        case kMapChannelBrightness: rate = A * mx; break;
        case kMapChannelLuminance: rate = A * ((0.299 * R + 0.587 * G) + 0.114 * B); break;
        case kMapChannelHue:
        case kMapChannelSaturation: {
            Color premul;
            premul.alpha = color.alpha * color.alpha;
            premul.red = color.red * color.alpha;
            premul.green = color.green * color.alpha;
            premul.blue = color.blue * color.alpha;
            Color hls = Colorsys::rgbToHls(premul);
            rate = channel == kMapChannelHue ? static_cast<double>(hls.red / 360.0f) : hls.blue;
            break;
        }
        case kMapChannelRed: rate = R * A; break;
        case kMapChannelGreen: rate = G * A; break;
        case kMapChannelBlue: rate = B * A; break;
        case kMapChannelAlpha: rate = A; break;
        default: rate = 1; break;
    }
    if (rate < 0)
        rate = 0;
    else if (rate > 1)
        rate = 1;
    if (invert) rate = 1 - rate;
    if (rate < upper) rate = rate < lower ? 0 : rate * ((rate - lower) / (upper - lower));
    return std::pow(rate, exponent);
}
