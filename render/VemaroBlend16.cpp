#include "VemaroBlend.h"

// The blend table of the 16-bit pixel type, indexed by the popup value - 1.
const std::array<BlendFunc16, 15> blendTable16 = makeBlendTable<PF_Pixel16>(std::make_index_sequence<15>{});
