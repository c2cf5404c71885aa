#include "VemaroBlend.h"

// The blend table of the 32-bit pixel type, indexed by the popup value - 1.
const std::array<BlendFunc32, 15> blendTable32 = makeBlendTable<PF_PixelFloat>(std::make_index_sequence<15>{});
