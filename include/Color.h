// Four floats in the host's pixel order. After an RGB to HLS conversion the same
// slots hold alpha, hue (degrees), lightness and saturation; as a colour
// modifier they hold {1, hue shift, lightness factor, saturation factor}.
#pragma once

struct Color {
    float alpha = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;

    constexpr bool operator==(const Color& o) const {
        return alpha == o.alpha && red == o.red && green == o.green && blue == o.blue;
    }
    constexpr bool operator!=(const Color& o) const { return !(*this == o); }
};
