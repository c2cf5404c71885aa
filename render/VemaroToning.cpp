#include "VemaroToning.h"

#include "VemaroColorsys.h"

namespace Toning {

void setLuma(float y, Color& c) {
    const float cb = 0.5f * c.blue + (-0.169f * c.red - 0.331f * c.green);
    const float cr = (0.5f * c.red - 0.419f * c.green) - 0.081f * c.blue;
    c.red = y + 1.402f * cr;
    c.green = (y - 0.344f * cb) - 0.714f * cr;
    c.blue = y + 1.772f * cb;
}

void fill(const Color& tone, Color& c) {
    c.red = tone.red;
    c.green = tone.green;
    c.blue = tone.blue;
}

void tint(const Color& tone, bool preserveLuma, Color& c) {
    const float y = luma(c);
    c.red *= tone.red;
    c.green *= tone.green;
    c.blue *= tone.blue;
    if (preserveLuma) setLuma(y, c);
}

void tritone(const Color& highlight, const Color& shadow, const Color& mid, Color& c) {
    float y = luma(c);
    if (!(y >= 0.0f)) {  // also NaN
        fill(shadow, c);
        return;
    }
    if (y > 1.0f) y = 1.0f;
    auto mix = [](float from, float to, float f) { return from + (to - from) * f; };
    if (y >= 0.5f) {
        const float f = (y - 0.5f) + (y - 0.5f);
        c.red = mix(mid.red, highlight.red, f);
        c.green = mix(mid.green, highlight.green, f);
        c.blue = mix(mid.blue, highlight.blue, f);
    } else {
        const float f = y + y;
        c.red = mix(shadow.red, mid.red, f);
        c.green = mix(shadow.green, mid.green, f);
        c.blue = mix(shadow.blue, mid.blue, f);
    }
}

namespace {
template <class F>
void inHls(bool preserveLuma, Color& c, F change) {
    const float y = luma(c);
    Color h = Colorsys::rgbToHls(c);
    change(h);
    c = Colorsys::hlsToRgb(h);
    if (preserveLuma) setLuma(y, c);
}
}  // namespace

void setHue(float hue, bool preserveLuma, Color& c) {
    inHls(preserveLuma, c, [&](Color& h) { h.red = hue; });
}

void addHls(float hue, float lightness, float saturation, bool preserveLuma, Color& c) {
    inHls(preserveLuma, c, [&](Color& h) {
        h.red += hue;
        h.green += lightness;
        h.blue += saturation;
    });
}

void modify(const Color& m, Color& c) {
    inHls(false, c, [&](Color& h) {
        h.red += m.red;
        h.green *= m.green;
        h.blue *= m.blue;
    });
}

}  // namespace Toning
