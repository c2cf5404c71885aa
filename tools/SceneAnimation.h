// Scene sections of the animation services: mask paths on layers and the
// interpolation of keyframed parameter streams.
//
// "masks" is a list of masks of the effect's layer (or of a layer the
// composition names, "layer": "map"):
//   {"id": 4, "closed": true, "vertices": [[x, y], {"at": [x, y], "in": [dx, dy], "out": [dx, dy]}],
//    "keyframes": [{"time": 0, "vertices": [...]}, {"frame": 24, "vertices": [...]}]}
// Vertices are in full-resolution layer pixels, tangents relative to their
// vertex; "id" (optional, unique) is what a path parameter holds, else masks
// are numbered in order from 1. Keyframes keep the vertex count.
//
// "interpolation" sets how keyframed parameters move between keys, for
// params[] and streams alike:
//   {"param": "Transition Phase", "mode": "hold"}   ("linear" is the default)
#pragma once

#include "Scene.h"

namespace scene {

void loadMasks(const nlohmann::json& section, Context& context);
void loadInterpolation(const nlohmann::json& section, Context& context);

}  // namespace scene
