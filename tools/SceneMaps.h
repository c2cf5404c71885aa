// The "pixels" section of a scene: what a layer of the composition shows, for
// layers used as maps. A layer named in "composition" gets a generated
// gradient or the pixels of a PNG file (stretched to the layer's size at the
// render's downsampling; grey or colour, with or
// without alpha):
//   "pixels": [
//     {"layer": "map", "gradient": {"from": [0, 0, 0], "to": [255, 255, 255, 255],
//                                   "direction": "horizontal" | "vertical"}},
//     {"layer": "logo", "image": "logo.png"}          (relative to the scene file)
//   ]
// Colours are [r, g, b] or [r, g, b, a], 0 to 255; a gradient runs from the
// first column (row) to the last. PNG files may be at most 16384 pixels on a
// side (kMaxPngSide in PngImage.h).
#pragma once

#include "Scene.h"

namespace scene {

void loadPixels(const nlohmann::json& section, Context& context);

}  // namespace scene
