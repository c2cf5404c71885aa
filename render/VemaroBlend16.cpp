#include "VemaroBlend.h"
#include "VemaroBlendRow.h"

#include <cmath>
#include <vector>

// The blend table of the 16-bit pixel type, indexed by the popup value - 1.
const std::array<BlendFunc16, 15> blendTable16 = makeBlendTable<PF_Pixel16>(std::make_index_sequence<15>{});

const double* Blend::rowdetail::softlightLog2Table16() {
    static const std::vector<double> table = [] {
        std::vector<double> t(32769, 0.0);
        for (unsigned c = 1; c <= 32768; ++c) t[c] = std::log2(static_cast<double>(c)) - 15.0;
        return t;
    }();
    return table.data();
}
