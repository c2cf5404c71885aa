// Conversion rules of the Parameters record, its computed fields and the
// Global Shape fold.
#include "Parameters.h"

#include "VemaroColorsys.h"

#include <algorithm>
#include <cmath>

namespace ParamConvert {

double factor(const PF_RationalScale& s) {
    if (s.den == 0) return 1.0;
    return static_cast<double>(s.num) / static_cast<double>(s.den);
}

A_long downsampled(A_long length, const PF_RationalScale& s) {
    if (s.den == 0) return length;
    int64_t v = static_cast<int64_t>(length) * s.num / static_cast<int64_t>(s.den);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<A_long>(v);
}

int32_t raw(const PF_ParamDef& d) { return d.param_type == PF_Param_POPUP ? d.u.pd.value : d.u.sd.value; }

double rawFloat(const PF_ParamDef& d) { return d.u.fs_d.value; }

uint8_t check(const PF_ParamDef& d) { return static_cast<uint8_t>(d.u.bd.value & 0xFF); }

Vector point(const PF_ParamDef& d) { return {d.u.td.x_value / 65536.0, d.u.td.y_value / 65536.0}; }

double percent(const PF_ParamDef& d) { return d.u.fs_d.value * 0.01; }

double fixedPercent(const PF_ParamDef& d) { return d.u.fd.value / 65536.0 * 0.01; }

double radians(const PF_ParamDef& d) { return d.u.ad.value / 65536.0 * 0.017453292519943295; }

double turns(const PF_ParamDef& d) { return d.u.ad.value / 65536.0 / 360.0; }

float degrees(const PF_ParamDef& d) { return static_cast<float>(d.u.ad.value / 65536.0); }

float percentFloat(const PF_ParamDef& d) { return static_cast<float>(d.u.fs_d.value * 0.01); }

double scaled(const PF_ParamDef& d, double f) { return d.u.fs_d.value * f; }

double seedCoordinate(PF_Fixed value, const PF_RationalScale& ds) {
    // Back to full resolution first, truncating like the integer division it
    // is; in 64 bits, so that neither a large coordinate nor the unsigned
    // denominator can wrap the product (a negative coordinate stays negative).
    int64_t full = value;
    if (ds.num != 0) full = static_cast<int64_t>(value) * static_cast<int64_t>(ds.den) / ds.num;
    return std::trunc(static_cast<double>(full) / 65536.0 * 10.0 + 0.5) / 10.0;
}

Vector seed(const PF_ParamDef& d, const PF_RationalScale& dsX, const PF_RationalScale& dsY) {
    return {seedCoordinate(d.u.td.x_value, dsX), seedCoordinate(d.u.td.y_value, dsY)};
}

Color rgba(const PF_ParamDef& d) {
    const PF_Pixel& c = d.u.cd.value;
    return {c.alpha / 255.0f, c.red / 255.0f, c.green / 255.0f, c.blue / 255.0f};
}

Color rgb1(const PF_ParamDef& d) {
    const PF_Pixel& c = d.u.cd.value;
    return {1.0f, c.red / 255.0f, c.green / 255.0f, c.blue / 255.0f};
}

int32_t pathId(const PF_ParamDef& d) { return static_cast<int32_t>(d.u.path_d.path_id); }

int32_t lowByte(const PF_ParamDef& d) { return d.u.pd.value & 0xFF; }

}  // namespace ParamConvert

void computeShapeWeights(Parameters& p) {
    const int n = p.shapeNumber < 0 ? 0 : p.shapeNumber > 8 ? 8 : p.shapeNumber;
    // Times run 1-100; summed in 64 bits and saturated so that damaged values
    // cannot overflow.
    int64_t sum = 0;
    for (int i = 0; i < 8; ++i) {
        if (i < n) {
            sum = std::min<int64_t>(std::max<int64_t>(sum + p.shapes[i].times, INT32_MIN), INT32_MAX);
            p.shapeWeights[i] = static_cast<int32_t>(sum);
        } else {
            p.shapeWeights[i] = 0;
        }
    }
    p.shapeWeightTotal = static_cast<int32_t>(sum);
    p.queueByPriority = 0;
    for (int i = 1; i < n; ++i)
        if (p.shapes[i].priority != p.shapes[0].priority) {
            p.queueByPriority = 1;
            break;
        }
}

namespace {

Color adjustColor(const Color& rgb, const GlobalShape& g) {
    Color h = Colorsys::rgbToHls(rgb);
    h.red += g.hue;
    h.green *= g.lightness;
    h.blue *= g.saturation;
    return Colorsys::hlsToRgb(h);
}

}  // namespace

void foldGlobalShape(Parameters& p, const GlobalShape& g) {
    const int n = p.shapeNumber < 0 ? 0 : p.shapeNumber > 8 ? 8 : p.shapeNumber;
    for (int i = 0; i < n; ++i) {
        Parameters::Shape& s = p.shapes[i];
        s.size *= g.scale;
        s.scale *= g.scale;
        s.color = adjustColor(s.color, g);
        s.strokeColor = adjustColor(s.strokeColor, g);
        s.opacity *= g.opacity;
        s.phase += g.phase;
    }
}

void releasePreRenderData(void* data) {
    if (!data) return;
    PF_Handle h = static_cast<PF_Handle>(data);
    // The host hands the data back unlocked; its master pointer still leads
    // to the record, which says how to dispose of it.
    const Parameters* p = static_cast<const Parameters*>(*h);
    if (p && p->disposeHandle) p->disposeHandle(h);
}
