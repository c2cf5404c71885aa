#include "VemaroBlender.h"

#include "VemaroBlend.h"
#include "VemaroBlendRow.h"
#include "VemaroRasteriser.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace {

// The integer opacity factor truncates (no rounding). Out-of-range or NaN
// opacities are clamped rather than wrapped into a nonsensical factor.
uint32_t opacityFactor(double opacity, uint32_t full) {
    const double v = opacity * full;
    if (!(v > 0.0)) return 0;
    if (v >= full) return full;
    return static_cast<uint32_t>(v);
}

template <class P>
struct Opacity;
// At 8 bits the 256 possible results are tabled once per band.
template <>
struct Opacity<PF_Pixel> {
    A_u_char table[256];
    uint32_t f;
    explicit Opacity(double o) {
        f = opacityFactor(o, 255);
        for (uint32_t a = 0; a < 256; ++a) table[a] = static_cast<A_u_char>((a * f) >> 8);
    }
    A_u_char operator()(A_u_char a) const { return table[a]; }
#if VEMARO_BLEND_SSE2
    // Four pixels at once: (a * f) >> 8 in the low half of each pixel, where
    // a * f < 2^16 and the other half multiplies 0.
    A_long rows(PF_Pixel* p, A_long n) const {
        const __m128i alpha = _mm_set1_epi32(0xFF), factor = _mm_set1_epi32(static_cast<int>(f));
        A_long i = 0;
        for (; i + 4 <= n; i += 4) {
            __m128i* q = reinterpret_cast<__m128i*>(p + i);
            const __m128i v = _mm_loadu_si128(q);
            const __m128i a = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(v, alpha), factor), 8);
            _mm_storeu_si128(q, _mm_or_si128(_mm_andnot_si128(alpha, v), a));
        }
        return i;
    }
#endif
};
template <>
struct Opacity<PF_Pixel16> {
    uint32_t f;
    explicit Opacity(double o) : f(opacityFactor(o, 32768)) {}
    A_u_short operator()(A_u_short a) const { return static_cast<A_u_short>((uint32_t{a} * f) >> 15); }
};
template <>
struct Opacity<PF_PixelFloat> {
    float f;
    explicit Opacity(double o) : f(static_cast<float>(o)) {}
    float operator()(float a) const { return a * f; }
};

bool emptyRect(const PF_LRect& r) { return r.top >= r.bottom || r.left >= r.right; }

}  // namespace

Blender::Blender(PF_InData* in_data_, AEGP_SuiteHandler& suites_, PF_LayerDef* input_, PF_LayerDef* output_, int bpc_,
                 double opacity_, int blendMode_)
    : in_data(in_data_),
      suites(&suites_),
      input(input_),
      output(output_),
      bpc(bpc_),
      opacity(opacity_),
      blendMode(blendMode_) {}

bool Blender::doLighten() const {
    auto below = [this](double full) {
        const double v = opacity * full;
        if (v < 0.0) return true;
        if (v > full) return false;
        if (!(v == v)) return true;  // NaN: let the pass clamp it
        return static_cast<int>(v) != static_cast<int>(full);
    };
    switch (bpc) {
        case 0: return below(255.0);
        case 1: return below(32768.0);
        case 2: return opacity < 0.99999;
        default: return true;
    }
}

int Blender::operator()(int i, int n) const {
    if (!output) return PF_Err_NONE;
    const PF_LRect whole{0, 0, output->width, output->height};
    const PF_LRect band = raster::band(whole, i, n);
    raster::forDepth(bpc, [&](auto pixel) {
        using P = decltype(pixel);
        if (blend)
            blendT<P>(band);
        else
            lightenT<P>(band);
    });
    return PF_Err_NONE;
}

void Blender::lightenRows(const PF_LRect& rows) const {
    if (output) raster::forDepth(bpc, [&](auto pixel) { lightenT<decltype(pixel)>(rows); });
}
void Blender::blendRows(const PF_LRect& rows) const {
    if (output) raster::forDepth(bpc, [&](auto pixel) { blendT<decltype(pixel)>(rows); });
}

int Blender::lighten8(PF_LRect r) const { return lightenT<PF_Pixel>(r), 0; }
int Blender::lighten16(PF_LRect r) const { return lightenT<PF_Pixel16>(r), 0; }
int Blender::lighten32(PF_LRect r) const { return lightenT<PF_PixelFloat>(r), 0; }
int Blender::blend8(PF_LRect r) const { return blendT<PF_Pixel>(r), 0; }
int Blender::blend16(PF_LRect r) const { return blendT<PF_Pixel16>(r), 0; }
int Blender::blend32(PF_LRect r) const { return blendT<PF_PixelFloat>(r), 0; }

template <class P>
void Blender::lightenT(const PF_LRect& rect) const {
    if (emptyRect(rect)) return;
    const Opacity<P> scale(opacity);
    for (A_long y = rect.top; y < rect.bottom; ++y) {
        P* out = raster::row<P>(output, y) + rect.left;
        const A_long n = rect.right - rect.left;
        A_long x = 0;
#if VEMARO_BLEND_SSE2
        if constexpr (std::is_same_v<P, PF_Pixel>) x = scale.rows(out, n);
#endif
        for (; x < n; ++x) out[x].alpha = scale(out[x].alpha);
    }
}

// Output pixel (x, y) lies over input pixel (x + dx, y + dy); where the input
// does not reach, the drawing stays alone.
template <class P>
void Blender::blendT(const PF_LRect& rect) const {
    if (emptyRect(rect) || !input) return;
    const int64_t dx = int64_t{output->origin_x} - input->origin_x;
    const int64_t dy = int64_t{output->origin_y} - input->origin_y;
    const A_long x0 = static_cast<A_long>(std::max<int64_t>(rect.left, -dx));
    const A_long x1 = static_cast<A_long>(std::min<int64_t>(rect.right, int64_t{input->width} - dx));
    if (x0 >= x1) return;
    withBlendOp(blendMode, [&](auto op) {
        for (A_long y = rect.top; y < rect.bottom; ++y) {
            const int64_t sy = y + dy;
            if (sy < 0 || sy >= input->height) continue;
            P* out = raster::row<P>(output, y);
            const P* in = raster::row<P>(input, static_cast<int>(sy));
            Blend::blendRow(op, in + x0 + dx, out + x0, x1 - x0);
        }
    });
}
