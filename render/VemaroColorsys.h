// Conversions between RGB and HLS on a Color, in single precision. In HLS form
// the slots hold {alpha, hue in degrees, lightness, saturation}; alpha passes
// through both conversions untouched.
#pragma once

#include "Color.h"

namespace Colorsys {

// Channels are clamped to [0, 1] first; the hue comes back in [0, 360).
Color rgbToHls(const Color& c);

// The hue may lie anywhere (it is wrapped into [0, 360)); lightness and
// saturation are clamped to [0, 1], so scaled values saturate.
Color hlsToRgb(const Color& c);

}  // namespace Colorsys
