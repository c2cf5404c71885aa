#include "VemaroBlend.h"
#include "VemaroBlendRow.h"

#include <vector>

// The blend table of the 8-bit pixel type, indexed by the popup value - 1.
const std::array<BlendFunc8, 15> blendTable8 = makeBlendTable<PF_Pixel>(std::make_index_sequence<15>{});

const float* Blend::rowdetail::softlightTable8() {
    static const std::vector<float> table = [] {
        std::vector<float> t(256 * 256);
        auto f = [](unsigned c) { return static_cast<float>(c / 255.0); };
        for (unsigned b = 0; b < 256; ++b)
            for (unsigned c = 0; c < 256; ++c) t[b * 256 + c] = detail::ChanF::softlight(f(b), f(c));
        return t;
    }();
    return table.data();
}

const A_u_char* Blend::rowdetail::softlightBytes8() {
    static const std::vector<A_u_char> table = [] {
        const float* power = softlightTable8();
        std::vector<A_u_char> t(256 * 256);
        for (std::size_t k = 0; k < t.size(); ++k)
            t[k] = static_cast<A_u_char>(detail::fromFloat<detail::Depth8>(power[k]));
        return t;
    }();
    return table.data();
}
