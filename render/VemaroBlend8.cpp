#include "VemaroBlend.h"

// The blend table of the 8-bit pixel type, indexed by the popup value - 1.
const std::array<BlendFunc8, 15> blendTable8 = makeBlendTable<PF_Pixel>(std::make_index_sequence<15>{});
