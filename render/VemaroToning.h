// Re-colouring steps shared by the element colours of the vector shapes and
// by the per-pixel tones of the image shapes. All in single precision on
// Color; luma and chroma use the BT.601 weights. Alpha passes through.
#pragma once

#include "Color.h"

namespace Toning {

// 0.299 R + 0.587 G + 0.114 B.
inline float luma(const Color& c) { return (0.299f * c.red + 0.587f * c.green) + 0.114f * c.blue; }

// Replaces the luma of c by y, keeping its chroma (Cb, Cr).
void setLuma(float y, Color& c);

// Red, green and blue replaced by the tone's.
void fill(const Color& tone, Color& c);
// Each of red, green and blue multiplied by the tone's; with preserveLuma the
// untinted colour's luma is kept.
void tint(const Color& tone, bool preserveLuma, Color& c);
// Dark colours run from shadow to mid, bright ones from mid to highlight,
// by the colour's luma clamped to [0, 1]; luma 0.5 gives mid.
void tritone(const Color& highlight, const Color& shadow, const Color& mid, Color& c);
// The hue (degrees) set, lightness and saturation kept.
void setHue(float hue, bool preserveLuma, Color& c);
// Hue, lightness and saturation each plus the given terms.
void addHls(float hue, float lightness, float saturation, bool preserveLuma, Color& c);
// A colour modifier {unused, hue shift, lightness factor, saturation factor}:
// shifts add, factors multiply.
void modify(const Color& modifier, Color& c);

}  // namespace Toning
