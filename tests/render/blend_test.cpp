// The blend modes: hand-worked cases at 8 and 16 bits, and the float modes
// against the standard separable compositing formulas computed in double.
#include "RenderFixture.h"
#include "VemaroBlend.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Case8 {
    const char* what;
    int popup;
    PF_Pixel bottom, top, expected;
};

// Worked out by hand from the integer rules (shifts divide by 256).
const Case8 kCases8[] = {
    {"normal, half top over opaque: wb 126, A 254", 1, {255, 0, 0, 255}, {128, 255, 0, 0}, {254, 128, 0, 126}},
    {"multiply opaque: B = 20000 >> 8 = 78, then 78*255 >> 8",
     4,
     {255, 200, 200, 200},
     {255, 100, 100, 100},
     {255, 77, 77, 77}},
    {"screen opaque: 200 - 39 = 161 -> 160", 8, {255, 100, 0, 0}, {255, 100, 0, 0}, {255, 160, 0, 0}},
    {"add, half top over opaque, sum enters unclamped", 6, {255, 200, 0, 0}, {128, 100, 0, 0}, {255, 249, 0, 0}},
    {"overlay b = 128 tests the bottom: B 65 -> 64", 10, {255, 128, 0, 0}, {255, 64, 0, 0}, {255, 64, 0, 0}},
    {"hardlight t = 64 tests the top: (128*64) >> 7 = 64 -> 63",
     12,
     {255, 128, 0, 0},
     {255, 64, 0, 0},
     {255, 63, 0, 0}},
    {"dodge 100, 100: 25500/155 = 164 -> 163", 9, {255, 100, 0, 0}, {255, 100, 0, 0}, {255, 163, 0, 0}},
    {"burn 200, 100: 255 - 14025/100 = 115 -> 114", 5, {255, 200, 0, 0}, {255, 100, 0, 0}, {255, 114, 0, 0}},
    {"difference 50, 200: 150 -> 149", 13, {255, 50, 0, 0}, {255, 200, 0, 0}, {255, 149, 0, 0}},
    {"exclusion 128, 128: 256 - 128 = 128 -> 127", 14, {255, 128, 0, 0}, {255, 128, 0, 0}, {255, 127, 0, 0}},
    {"darken 90, 40 -> 40*255 >> 8 = 39", 3, {255, 90, 0, 0}, {255, 40, 0, 0}, {255, 39, 0, 0}},
    {"lighten 90, 40 -> 89", 7, {255, 90, 0, 0}, {255, 40, 0, 0}, {255, 89, 0, 0}},
    {"alpha add: A 200, colour averaged by alpha", 15, {100, 200, 0, 0}, {100, 50, 0, 0}, {200, 125, 0, 0}},
    {"separable, opaque top over alpha 128: A = 128 + 126", 4, {128, 0, 0, 0}, {255, 0, 0, 0}, {254, 0, 0, 0}},
    {"separable, opaque over opaque: exactly 255", 4, {255, 0, 0, 0}, {255, 0, 0, 0}, {255, 0, 0, 0}},
    {"dodge bottom 0, top full: B = 255, weighted 254", 9, {255, 0, 0, 0}, {255, 255, 0, 0}, {255, 254, 0, 0}},
    {"burn bottom full, top 0: 0", 5, {255, 255, 0, 0}, {255, 0, 0, 0}, {255, 0, 0, 0}},
    {"soft light, top 0 squares the bottom: (128/255)^2", 11, {255, 128, 0, 0}, {255, 0, 0, 0}, {255, 64, 0, 0}},
    {"soft light, top 128 (~0.5) keeps the bottom", 11, {255, 77, 200, 0}, {255, 128, 128, 128}, {255, 77, 200, 0}},
    {"popup 2 (separator) is normal", 2, {255, 0, 0, 255}, {128, 255, 0, 0}, {254, 128, 0, 126}},
    {"popup 0 is normal", 0, {255, 0, 0, 255}, {128, 255, 0, 0}, {254, 128, 0, 126}},
    {"popup 16 is normal", 16, {255, 0, 0, 255}, {128, 255, 0, 0}, {254, 128, 0, 126}},
    {"popup -3 is normal", -3, {255, 0, 0, 255}, {128, 255, 0, 0}, {254, 128, 0, 126}},
};

struct Case16 {
    const char* what;
    int popup;
    PF_Pixel16 bottom, top, expected;
};

const Case16 kCases16[] = {
    {"normal, half top over opaque gives full alpha",
     1,
     {32768, 0, 0, 32768},
     {16384, 32768, 0, 0},
     {32768, 16384, 0, 16384}},
    {"add of opaque whites: full, not above",
     6,
     {32768, 32768, 32768, 32768},
     {32768, 32768, 32768, 32768},
     {32768, 32768, 32768, 32768}},
    {"add of half alphas, 20000 each: A 24576, channel 26666",
     6,
     {16384, 20000, 0, 0},
     {16384, 20000, 0, 0},
     {24576, 26666, 0, 0}},
    {"multiply opaque: (20000*10000) >> 15 = 6103, exact at full alpha",
     4,
     {32768, 20000, 0, 0},
     {32768, 10000, 0, 0},
     {32768, 6103, 0, 0}},
    {"dodge bottom 0, top full: full", 9, {32768, 0, 0, 0}, {32768, 32768, 0, 0}, {32768, 32768, 0, 0}},
    {"burn bottom full, top 0: 0", 5, {32768, 32768, 0, 0}, {32768, 0, 0, 0}, {32768, 0, 0, 0}},
    {"overlay b = 16384: 2*(t + b - tb>>15) - 32768",
     10,
     {32768, 16384, 0, 0},
     {32768, 8192, 0, 0},
     {32768, 8192, 0, 0}},
    {"exclusion of halves: 32768 - 16384 = 16384",
     14,
     {32768, 16384, 0, 0},
     {32768, 16384, 0, 0},
     {32768, 16384, 0, 0}},
    {"alpha add saturates alpha", 15, {20000, 100, 0, 0}, {20000, 300, 0, 0}, {32768, 200, 0, 0}},
    {"soft light, top 0 squares: 0.5^2", 11, {32768, 16384, 0, 0}, {32768, 0, 0, 0}, {32768, 8192, 0, 0}},
    {"soft light, top 0.5 keeps the bottom", 11, {32768, 12345, 0, 0}, {32768, 16384, 0, 0}, {32768, 12345, 0, 0}},
};

std::string str(const PF_Pixel& p) {
    return "{" + std::to_string(p.alpha) + "," + std::to_string(p.red) + "," + std::to_string(p.green) + "," +
           std::to_string(p.blue) + "}";
}
std::string str(const PF_Pixel16& p) {
    return "{" + std::to_string(p.alpha) + "," + std::to_string(p.red) + "," + std::to_string(p.green) + "," +
           std::to_string(p.blue) + "}";
}

}  // namespace

TEST(Blend, IntegerCasesAt8Bits) {
    for (const Case8& c : kCases8) {
        const PF_Pixel got = blendFunction<PF_Pixel>(c.popup)(c.bottom, c.top);
        EXPECT_TRUE(samePixel(got, c.expected)) << c.what << ": got " << str(got) << " want " << str(c.expected);
    }
}

TEST(Blend, IntegerCasesAt16Bits) {
    for (const Case16& c : kCases16) {
        const PF_Pixel16 got = blendFunction<PF_Pixel16>(c.popup)(c.bottom, c.top);
        EXPECT_TRUE(samePixel(got, c.expected)) << c.what << ": got " << str(got) << " want " << str(c.expected);
    }
}

TEST(Blend, FloatDepthEdgeCases) {
    const PF_PixelFloat white{1, 1, 1, 1};
    EXPECT_EQ(Blend::add(white, white).red, 2.0f);  // nothing clamps at float
    EXPECT_EQ(Blend::dodge(PF_PixelFloat{1, 0, 0, 0}, white).red, 0.0f);
    EXPECT_EQ(Blend::burn(white, PF_PixelFloat{1, 0, 0, 0}).red, 1.0f);
    EXPECT_EQ(Blend::softlight(PF_PixelFloat{1, 0.3f, 0, 0}, PF_PixelFloat{1, 0.5f, 0, 0}).red, 0.3f);
    EXPECT_FLOAT_EQ(Blend::softlight(PF_PixelFloat{1, 0.3f, 0, 0}, PF_PixelFloat{1, 0, 0, 0}).red, 0.09f);
    // Alpha add is the one float mode that clamps.
    const PF_PixelFloat bright{0.8f, 3.0f, -1.0f, 0.5f};
    const PF_PixelFloat aa = Blend::alpha_add(bright, bright);
    EXPECT_EQ(aa.alpha, 1.0f);
    EXPECT_EQ(aa.red, 1.0f);
    EXPECT_EQ(aa.green, 0.0f);
    EXPECT_EQ(aa.blue, 0.5f);
    // Out-of-range colours pass through the other modes unclamped.
    EXPECT_GT(Blend::normal(PF_PixelFloat{1, 0, 0, 0}, PF_PixelFloat{0.5f, 4.0f, 0, 0}).red, 1.0f);
}

// The alpha short-cuts hold for every mode of every depth: a transparent
// bottom gives the top unchanged (even a transparent one), a transparent top
// gives the bottom.
TEST(Blend, TransparentOperandsShortCut) {
    const PF_Pixel b8{0, 10, 20, 30}, t8{0, 40, 50, 60}, o8{200, 1, 2, 3};
    const PF_Pixel16 b16{0, 10, 20, 30}, o16{20000, 1, 2, 3};
    const PF_PixelFloat bf{0, 0.1f, 0.2f, 0.3f}, of{0.5f, 7, 8, 9};
    for (int popup = 1; popup <= 15; ++popup) {
        SCOPED_TRACE(popup);
        EXPECT_TRUE(samePixel(blendTable8[popup - 1](b8, t8), t8));
        EXPECT_TRUE(samePixel(blendTable8[popup - 1](b8, o8), o8));
        EXPECT_TRUE(samePixel(blendTable8[popup - 1](o8, t8), o8));
        EXPECT_TRUE(samePixel(blendTable16[popup - 1](b16, o16), o16));
        EXPECT_TRUE(samePixel(blendTable16[popup - 1](o16, PF_Pixel16{0, 9, 9, 9}), o16));
        EXPECT_TRUE(samePixel(blendTable32[popup - 1](bf, of), of));
        EXPECT_TRUE(samePixel(blendTable32[popup - 1](of, PF_PixelFloat{0, 1, 1, 1}), of));
    }
}

// A 16-bit channel above the full 32768 is taken as full instead of wrapping
// the unsigned arithmetic.
TEST(Blend, SixteenBitChannelsAboveFullDoNotWrap) {
    const PF_Pixel16 overB{65535, 65535, 40000, 100}, overT{50000, 65535, 32769, 30000};
    const PF_Pixel16 clampB{32768, 32768, 32768, 100}, clampT{32768, 32768, 32768, 30000};
    for (int popup = 1; popup <= 15; ++popup) {
        SCOPED_TRACE(popup);
        const PF_Pixel16 got = blendTable16[popup - 1](overB, overT);
        EXPECT_TRUE(samePixel(got, blendTable16[popup - 1](clampB, clampT))) << str(got);
        EXPECT_LE(got.alpha, 32768);
        EXPECT_LE(got.red, 32768);
        EXPECT_LE(got.green, 32768);
    }
}

// Every popup value reaches the function of its item, at every depth.
TEST(Blend, TablesFollowThePopup) {
    const PF_Pixel b{200, 180, 60, 20}, t{150, 90, 220, 128};
    const std::vector<std::function<PF_Pixel(const PF_Pixel&, const PF_Pixel&)>> byItem = {
        [](auto& x, auto& y) { return Blend::normal(x, y); },
        [](auto& x, auto& y) { return Blend::normal(x, y); },
        [](auto& x, auto& y) { return Blend::darken(x, y); },
        [](auto& x, auto& y) { return Blend::multiply(x, y); },
        [](auto& x, auto& y) { return Blend::burn(x, y); },
        [](auto& x, auto& y) { return Blend::add(x, y); },
        [](auto& x, auto& y) { return Blend::lighten(x, y); },
        [](auto& x, auto& y) { return Blend::screen(x, y); },
        [](auto& x, auto& y) { return Blend::dodge(x, y); },
        [](auto& x, auto& y) { return Blend::overlay(x, y); },
        [](auto& x, auto& y) { return Blend::softlight(x, y); },
        [](auto& x, auto& y) { return Blend::hardlight(x, y); },
        [](auto& x, auto& y) { return Blend::difference(x, y); },
        [](auto& x, auto& y) { return Blend::exclusion(x, y); },
        [](auto& x, auto& y) { return Blend::alpha_add(x, y); },
    };
    for (int k = 0; k < 15; ++k) {
        EXPECT_TRUE(samePixel(blendTable8[k](b, t), byItem[k](b, t))) << k + 1;
        // The inlined per-band dispatch agrees with the table.
        PF_Pixel viaOp{};
        withBlendOp(k + 1, [&](auto op) { viaOp = op(b, t); });
        EXPECT_TRUE(samePixel(viaOp, blendTable8[k](b, t))) << k + 1;
    }
    // Distinct modes give distinct results on this pair, so no entry is a copy
    // of another by mistake (the separator aside).
    for (int i = 2; i < 15; ++i)
        for (int j = i + 1; j < 15; ++j)
            EXPECT_FALSE(samePixel(blendTable8[i](b, t), blendTable8[j](b, t))) << i + 1 << " vs " << j + 1;
}

// ------------------------------------------------------------ float reference
namespace {

// The standard separable compositing of a source (top) over a backdrop
// (bottom), in double: co = as(1-ab)cs + as ab B(cb, cs) + ab(1-as)cb,
// ao = as + ab(1-as), result co / ao.
using RefB = double (*)(double cb, double cs);
struct RefMode {
    const char* name;
    int popup;
    RefB B;
};

double refNormal(double, double cs) { return cs; }
double refMultiply(double cb, double cs) { return cb * cs; }
double refScreen(double cb, double cs) { return cb + cs - cb * cs; }
double refHardLight(double cb, double cs) { return cs <= 0.5 ? refMultiply(cb, 2 * cs) : refScreen(cb, 2 * cs - 1); }
double refOverlay(double cb, double cs) { return refHardLight(cs, cb); }
double refDarken(double cb, double cs) { return std::min(cb, cs); }
double refLighten(double cb, double cs) { return std::max(cb, cs); }
double refDodge(double cb, double cs) {
    if (cb == 0) return 0;
    if (cs == 1) return 1;
    return std::min(1.0, cb / (1 - cs));
}
double refBurn(double cb, double cs) {
    if (cb == 1) return 1;
    if (cs == 0) return 0;
    return 1 - std::min(1.0, (1 - cb) / cs);
}
double refDifference(double cb, double cs) { return std::fabs(cb - cs); }
double refExclusion(double cb, double cs) { return cb + cs - 2 * cb * cs; }
double refAdd(double cb, double cs) { return cb + cs; }  // the general formula with a plain sum

const RefMode kRefModes[] = {
    {"normal", 1, refNormal},
    {"darken", 3, refDarken},
    {"multiply", 4, refMultiply},
    {"burn", 5, refBurn},
    {"add", 6, refAdd},
    {"lighten", 7, refLighten},
    {"screen", 8, refScreen},
    {"dodge", 9, refDodge},
    {"overlay", 10, refOverlay},
    {"hardlight", 12, refHardLight},
    {"difference", 13, refDifference},
    {"exclusion", 14, refExclusion},
};

struct Ref {
    double a, c;
};
Ref reference(RefB B, double ab, double cb, double as, double cs) {
    const double ao = as + ab * (1 - as);
    const double co = as * (1 - ab) * cs + as * ab * B(cb, cs) + ab * (1 - as) * cb;
    return {ao, co / ao};
}

const double kChannels[] = {0.0, 0.1, 0.25, 0.4, 0.5, 0.6, 0.75, 0.9, 1.0};
const double kAlphas[] = {0.1, 0.3, 0.5, 0.8, 1.0};

// Largest deviation of a depth from the reference over the grid, for one
// mode; the inputs are first quantised to the depth.
template <class P, class Q>
double worstError(const RefMode& m, double full, Q quant, bool integerDepth) {
    double worst = 0;
    for (double ab : kAlphas)
        for (double as : kAlphas)
            for (double cb : kChannels)
                for (double cs : kChannels) {
                    // The integer depths keep their own answers where the
                    // formula meets 0/0: dodge of a black bottom and burn of
                    // a white one (checked exactly above).
                    if (integerDepth && ((m.B == refDodge && cb == 0) || (m.B == refBurn && cb == 1))) continue;
                    const P b{quant(ab), quant(cb), quant(cb), quant(cb)};
                    const P t{quant(as), quant(cs), quant(1 - cs), quant(cs)};
                    const P got = blendFunction<P>(m.popup)(b, t);
                    Ref r = reference(m.B, b.alpha / full, b.red / full, t.alpha / full, t.red / full);
                    if (integerDepth) r = {std::min(r.a, 1.0), std::min(r.c, 1.0)};
                    worst = std::max({worst, std::fabs(got.alpha / full - r.a), std::fabs(got.red / full - r.c)});
                }
    return worst;
}

}  // namespace

TEST(Blend, FloatModesFollowTheStandardFormulas) {
    for (const RefMode& m : kRefModes) {
        const double err = worstError<PF_PixelFloat>(
            m, 1.0, [](double v) { return static_cast<float>(v); }, false);
        EXPECT_LT(err, 2e-6) << m.name;
    }
}

// The integer depths divide by 256 where the formula divides by 255, and
// truncate: they stay within four steps of the depth (4/255, 4/32768) of the
// float reference, which is clamped to full as they are.
TEST(Blend, IntegerDepthsStayNearTheFloatReference) {
    for (const RefMode& m : kRefModes) {
        const double err8 = worstError<PF_Pixel>(
            m, 255.0, [](double v) { return static_cast<A_u_char>(v * 255 + 0.5); }, true);
        EXPECT_LE(err8, 4.0 / 255) << m.name;
        const double err16 = worstError<PF_Pixel16>(
            m, 32768.0, [](double v) { return static_cast<A_u_short>(v * 32768 + 0.5); }, true);
        EXPECT_LE(err16, 4.0 / 32768) << m.name;
        std::printf("%-10s worst error  8 bits %.2f/255  16 bits %.2f/32768\n", m.name, err8 * 255, err16 * 32768);
    }
}

// The integer quotients are taken without a division instruction; they must
// equal the truncating division over the whole range the blends use.
TEST(Blend, QuotientsAreExact) {
    using namespace Blend::detail;
    auto check8 = [](uint32_t maxX, uint32_t maxA, bool shifted) {
        for (uint32_t A = 1; A <= maxA; ++A) {
            const uint32_t limit = shifted ? 65025u * 510u : 255u * 510u;
            std::vector<uint32_t> xs = {0, 1, A - 1, A, A + 1, maxX, maxX - 1, limit, limit - 1};
            for (uint32_t k = 1; k < 4000; ++k) xs.push_back(static_cast<uint32_t>((uint64_t{maxX} * k) / 4000));
            for (uint32_t q = 1; q * A <= maxX && q < 300; q += 7) xs.push_back(q * A * (shifted ? 256 : 1) - 1);
            for (uint32_t x : xs) {
                if (x > maxX) continue;
                const uint32_t want = shifted ? (x / A) >> 8 : x / A;
                const uint32_t got = shifted ? quotientShifted<Depth8>(x, A) : quotient<Depth8>(x, A);
                ASSERT_EQ(got, want) << x << " / " << A;
            }
        }
    };
    check8(255u * 510u, 510, false);
    check8(65025u * 510u, 255, true);
    for (uint64_t A : {1ull, 2ull, 3ull, 127ull, 16383ull, 16384ull, 24575ull, 32767ull, 32768ull})
        for (uint64_t x :
             std::initializer_list<uint64_t>{0ull, 1ull, A - 1, A, (1ull << 47) - 1, (1ull << 47) - 2,
                                             (1ull << 46) + 12345, A * 32768 * 1000 - 1, A * 32768 * 1000}) {
            ASSERT_EQ(quotient<Depth16>(x, A), x / A) << x << " / " << A;
            ASSERT_EQ(quotientShifted<Depth16>(x, A), (x / A) >> 15) << x << " / " << A;
        }
}
