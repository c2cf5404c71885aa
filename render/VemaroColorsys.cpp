#include "VemaroColorsys.h"

#include <algorithm>
#include <cmath>

namespace Colorsys {
namespace {

float clamp01(float v) { return std::min(std::max(v, 0.0f), 1.0f); }

// A hue reduced into [0, 360).
float wrapHue(float h) {
    h = std::fmod(h, 360.0f);
    if (h < 0.0f) h += 360.0f;
    // A tiny negative remainder plus 360 rounds to 360 in single precision.
    return h >= 360.0f ? 0.0f : h;
}

float value(float m1, float m2, float hue) {
    if (hue < 60.0f) return m1 + (m2 - m1) * hue / 60.0f;
    if (hue < 180.0f) return m2;
    if (hue < 240.0f) return m1 + (m2 - m1) * (240.0f - hue) / 60.0f;
    return m1;
}

}  // namespace

Color rgbToHls(const Color& c) {
    const float r = clamp01(c.red);
    const float g = clamp01(c.green);
    const float b = clamp01(c.blue);
    const float mx = std::max(r, std::max(g, b));
    const float mn = std::min(r, std::min(g, b));
    const float l = 0.5f * (mx + mn);
    if (mx == mn) return {c.alpha, 0.0f, l, 0.0f};

    const float d = mx - mn;
    const float s = l < 0.5f ? d / (mx + mn) : d / (2.0f - mx - mn);
    float h;
    if (mx == r)
        h = (g - b) * 60.0f / d;
    else if (mx == g)
        h = (b - r) * 60.0f / d + 120.0f;
    else
        h = (r - g) * 60.0f / d + 240.0f;
    return {c.alpha, wrapHue(h), l, s};
}

Color hlsToRgb(const Color& c) {
    const float h = wrapHue(c.red);
    const float l = clamp01(c.green);
    // A NaN saturation fails both tests below and would poison every channel:
    // treat it as grey like any other saturation without a usable value.
    if (!(c.blue > 0.0f)) return {c.alpha, l, l, l};
    const float s = std::min(c.blue, 1.0f);
    const float m2 = l < 0.5f ? (s + 1.0f) * l : (s + l) - l * s;
    const float m1 = (l + l) - m2;
    return {c.alpha, value(m1, m2, wrapHue(h + 120.0f)), value(m1, m2, h), value(m1, m2, wrapHue(h - 120.0f))};
}

}  // namespace Colorsys
