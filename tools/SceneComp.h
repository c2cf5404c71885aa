// The "composition" section of a scene file: frame rate, render downsampling,
// the layer the effect is applied to and other layers that layer parameters
// can name.
//
//   "composition": {
//     "frameDuration": [1, 25],            seconds as value / scale
//     "downsample": [2, 2],                 x and y: render at 1/2 and 1/2
//     "bitDepth": 16,                       8, 16 or 32
//     "effectLayer": {layer},               the layer the effect is applied to
//     "layers": [{layer}, ...]              more layers, named for layer parameters
//   }
//   layer: {"name": "logo", "width": 800, "height": 600,
//           "type": "av" | "text" | "shape" | "camera" | "light",
//           "start": 0, "inPoint": 0, "duration": 10   (seconds; duration < 0: reversed),
//           "content": [left, top, right, bottom]       (visible pixels, full resolution)}
#pragma once

#include "Scene.h"

namespace scene {

void loadComposition(const nlohmann::json& section, Context& context);

}  // namespace scene
