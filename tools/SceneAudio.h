// The "audio" section: a layer's sound as a sum of sine tones, for the
// Waveform layout and anything else that reads layer audio.
//   "audio": [{"layer": "music", "tones": [{"frequency": 220, "amplitude": 0.6},
//                                          {"frequency": 3, "amplitude": 0.3}]}]
#pragma once

#include "Scene.h"

namespace scene {

void loadAudio(const nlohmann::json& section, Context& context);

}  // namespace scene
