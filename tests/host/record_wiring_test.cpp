// Every field of the record against the parameter it is wired to, through the
// pre-render: each parameter holds a value no other parameter holds, so a
// field read from the wrong index, or through the wrong conversion, shows.
// The table below is written out field by field (index and unit), not taken
// from the effect's own reading code.
#include "prerender_fixture.h"

#include "ParametersFields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace {

enum class Conv {
    Int,           // popup or integer slider, as given
    LowByte,       // popup, low byte only
    Float,         // float slider, as given
    Check,         // checkbox, low byte
    Point,         // 16.16 point
    Percent,       // float slider x 0.01
    FixedPercent,  // fixed slider / 65536 x 0.01
    Radians,       // angle
    Turns,         // angle / 360
    DsX,           // float slider x the x downsample factor
    DsY,           // float slider x the y downsample factor
    Seed,          // point back at full resolution, in tenths
    Rgba,
    Rgb1,
    PathId,
    LayerCenter,  // point relative to the downsampled layer's centre
    Easing,       // two popups: type, mode
    Hls,          // three parameters: hue angle in degrees, lightness and saturation percent as floats
};

// Global Shape adjustments on top of the conversion.
enum class Fold { None, Scale, Opacity, Phase, Hue };

struct Wire {
    std::string field;
    int index;
    Conv conv;
    Fold fold = Fold::None;
};

constexpr PF_RationalScale kDsX{1, 2}, kDsY{1, 3};
constexpr int kWidth = 1920, kHeight = 1080;

// Global Shape: scale 150 %, hue 120 degrees, lightness and saturation
// neutral, opacity 50 %, phase 30 degrees.
constexpr double kGlobalScale = 1.5, kGlobalOpacity = 0.5;
constexpr double kGlobalPhase = 30.0 * 0.017453292519943295;

// The pattern blocks, indexed by the Pattern popup.
std::vector<Wire> patternWires(int pattern) {
    switch (pattern) {
        case 1: {
            std::vector<Wire> w{{"pointNumber", 2, Conv::Int}};
            for (int i = 0; i < 8; ++i) w.push_back({"points[" + std::to_string(i) + "]", 3 + i, Conv::Point});
            return w;
        }
        case 2:
            return {{"lineCenter", 11, Conv::Point},
                    {"lineWidth", 12, Conv::DsX},
                    {"lineRotation", 13, Conv::Radians},
                    {"lineOffset", 14, Conv::DsX}};
        case 3:
            return {{"lineSegmentNumber", 15, Conv::Int},
                    {"lineSegmentPoint1", 16, Conv::Point},
                    {"lineSegmentPoint2", 17, Conv::Point},
                    {"lineSegmentLength", 18, Conv::Percent},
                    {"lineSegmentInvert", 19, Conv::Check}};
        case 4:
            return {{"circleNumber", 20, Conv::Int},
                    {"circleCenter", 21, Conv::Point},
                    {"circleRadius", 22, Conv::DsX},
                    {"circleCentralAngle", 23, Conv::Radians},
                    {"circlePhase", 24, Conv::Radians}};
        case 5:
            return {{"rectangleNumber", 25, Conv::Int},       {"rectangleCenter", 26, Conv::Point},
                    {"rectangleMode", 27, Conv::Int},         {"rectangleWidth", 28, Conv::DsX},
                    {"rectangleHeight", 29, Conv::DsX},       {"rectangleBorderRadius", 30, Conv::DsX},
                    {"rectangleRotation", 31, Conv::Radians}, {"rectangleLength", 32, Conv::Percent},
                    {"rectangleOffset", 33, Conv::Turns}};
        case 6:
            return {{"gridCenter", 34, Conv::Point},     {"gridMode", 35, Conv::Int},    {"gridWidth", 36, Conv::DsX},
                    {"gridHeight", 37, Conv::DsY},       {"gridOffsetX", 38, Conv::DsX}, {"gridOffsetY", 39, Conv::DsY},
                    {"gridRotation", 40, Conv::Radians}, {"gridOrder", 41, Conv::Int}};
        case 7:
            return {{"finiteGridCenter", 42, Conv::Point},     {"finiteGridMode", 43, Conv::Int},
                    {"finiteGridWidth", 44, Conv::DsX},        {"finiteGridHeight", 45, Conv::DsY},
                    {"finiteGridColumn", 46, Conv::Int},       {"finiteGridRow", 47, Conv::Int},
                    {"finiteGridRotation", 48, Conv::Radians}, {"finiteGridOrder", 49, Conv::Int}};
        case 8:
            return {{"triangularGridCenter", 50, Conv::Point},   {"triangularGridRadius", 51, Conv::DsX},
                    {"triangularGridHeight", 52, Conv::Percent}, {"triangularGridOffsetX", 53, Conv::DsX},
                    {"triangularGridOffsetY", 54, Conv::DsY},    {"triangularGridRotation", 55, Conv::Radians}};
        case 9:
            return {{"pathMask", 56, Conv::PathId},         {"pathAnchor", 57, Conv::Point},
                    {"pathPosition", 58, Conv::Point},      {"pathScale", 59, Conv::Percent},
                    {"pathRotation", 60, Conv::Radians},    {"pathMode", 61, Conv::Int},
                    {"pathNumber", 62, Conv::Int},          {"pathInterval", 63, Conv::DsX},
                    {"pathLength", 64, Conv::FixedPercent}, {"pathOffset", 65, Conv::Turns},
                    {"pathInvert", 66, Conv::Check},        {"pathShapeMapMode", 68, Conv::Int},
                    {"pathScaleMapMode", 69, Conv::Int},    {"pathColorMapMode", 70, Conv::Int},
                    {"pathPhaseMapMode", 71, Conv::Int}};
        case 10:
            return {{"waveformPoint1", 74, Conv::Point},       {"waveformPoint2", 75, Conv::Point},
                    {"waveformMask", 76, Conv::PathId},        {"waveformMaxHeight", 77, Conv::DsX},
                    {"waveformPower", 78, Conv::Float},        {"waveformSamples", 79, Conv::Int},
                    {"waveformSamplingRate", 80, Conv::Float}, {"waveformDuration", 81, Conv::Float},
                    {"waveformOffset", 82, Conv::Float}};
        case 11: {
            std::vector<Wire> w;
            for (int i = 0; i < 10; ++i)
                w.push_back({"graphVariables[" + std::to_string(i) + "]", 85 + i, Conv::Float});
            std::vector<Wire> rest{{"graphOrigin", 96, Conv::Point},    {"graphRotation", 97, Conv::Radians},
                                   {"graphFrom", 98, Conv::Float},      {"graphTo", 99, Conv::Float},
                                   {"graphMode", 100, Conv::Int},       {"graphNumber", 101, Conv::Int},
                                   {"graphEqualize", 102, Conv::Check}, {"graphDetail", 103, Conv::Percent},
                                   {"graphDelta", 104, Conv::Float}};
            w.insert(w.end(), rest.begin(), rest.end());
            return w;
        }
        case 12:
            return {{"randomDistance", 105, Conv::Float},  {"randomMode", 106, Conv::Int},
                    {"randomExpansion", 107, Conv::Float}, {"randomCenter", 108, Conv::Point},
                    {"randomWidth", 109, Conv::Float},     {"randomHeight", 110, Conv::Float},
                    {"randomRadius", 111, Conv::Float},    {"randomScale", 112, Conv::Percent},
                    {"randomOrder", 113, Conv::Int},       {"randomOrderSeed", 114, Conv::Int},
                    {"randomSeed", 115, Conv::Int}};
        default: return {};
    }
}

std::vector<Wire> commonWires() {
    return {{"autoOrient", 116, Conv::Check},
            {"cycle", 117, Conv::Int},
            {"cycleOffset", 118, Conv::Int},
            {"displacementMode", 120, Conv::Int},
            {"displacementMapWrap", 122, Conv::Int},
            {"displacementXChannel", 123, Conv::Int},
            {"displacementX", 124, Conv::DsX},
            {"displacementYChannel", 125, Conv::Int},
            {"displacementY", 126, Conv::DsX},
            {"displacementSeed", 127, Conv::Seed},
            {"transitionMode", 130, Conv::Int},
            {"transitionCompletion", 131, Conv::Percent},
            {"transitionDelay", 132, Conv::Percent},
            {"transitionRest", 133, Conv::Percent},
            {"transitionOffset", 134, Conv::Point},
            {"transitionManualOffset", 135, Conv::Check},
            {"transitionScale", 136, Conv::Percent},
            {"transitionManualScale", 137, Conv::Check},
            {"transitionColor", 138, Conv::Hls},
            {"transitionManualColor", 141, Conv::Check},
            {"transitionOpacity", 142, Conv::FixedPercent},
            {"transitionManualOpacity", 143, Conv::Check},
            {"transitionPhase", 144, Conv::Radians},
            {"transitionManualPhase", 145, Conv::Check},
            {"transitionOrder", 146, Conv::Int},
            {"transitionOrderOffset", 147, Conv::Turns},
            {"transitionOrderSeed", 148, Conv::Int},
            {"transitionMapWrap", 150, Conv::Int},
            {"transitionMapChannel", 151, Conv::Int},
            {"transitionOrderInvert", 152, Conv::Check},
            {"transitionEasing", 153, Conv::Easing},
            {"transitionManualDetail", 155, Conv::Percent},
            {"transformAnchor", 158, Conv::Point},
            {"transformPosition", 159, Conv::Point},
            {"transformScale", 160, Conv::Percent},
            {"transformRotation", 161, Conv::Radians},
            {"transformOpacity", 162, Conv::FixedPercent},
            {"repeaterType", 165, Conv::Int},
            {"repeaterX", 166, Conv::Point},
            {"repeaterY", 167, Conv::Point},
            {"shapeNumber", 169, Conv::Int},
            {"shapeOffset", 554, Conv::Int},
            {"randomizeShape", 555, Conv::Check},
            {"shapeSeed", 556, Conv::Seed},
            {"blendingMode", 686, Conv::Int},
            {"onOriginal", 687, Conv::Check}};
}

// Shape i's fields: parameter 170 + 47 i + k.
std::vector<Wire> shapeWires(int i) {
    struct K {
        const char* field;
        int k;
        Conv conv;
        Fold fold;
    };
    const K ks[] = {
        {"size", 1, Conv::DsX, Fold::Scale},
        {"useScale", 2, Conv::Check, Fold::None},
        {"scale", 3, Conv::Percent, Fold::Scale},
        {"minimumScale", 4, Conv::FixedPercent, Fold::None},
        {"width", 5, Conv::FixedPercent, Fold::None},
        {"minimumWidth", 6, Conv::FixedPercent, Fold::None},
        {"height", 7, Conv::FixedPercent, Fold::None},
        {"minimumHeight", 8, Conv::FixedPercent, Fold::None},
        {"scaleSeed", 9, Conv::Seed, Fold::None},
        {"type", 10, Conv::Int, Fold::None},
        {"thickness", 11, Conv::Percent, Fold::None},
        {"innerRadius", 12, Conv::FixedPercent, Fold::None},
        {"sides", 13, Conv::Int, Fold::None},
        {"starness", 14, Conv::FixedPercent, Fold::None},
        {"layerCenter", 15, Conv::LayerCenter, Fold::None},
        {"boundingBox", 16, Conv::Check, Fold::None},
        {"frameOffset", 17, Conv::Int, Fold::None},
        {"clampFrame", 18, Conv::Check, Fold::None},
        {"layerSampling", 20, Conv::Int, Fold::None},
        {"layerTime", 21, Conv::Turns, Fold::None},
        {"randomizeLayerSampling", 22, Conv::Int, Fold::None},
        {"layerSamplingSeed", 23, Conv::Seed, Fold::None},
        {"toner", 24, Conv::Int, Fold::None},
        {"highlight", 25, Conv::Rgba, Fold::None},
        {"shadow", 26, Conv::Rgba, Fold::None},
        {"preserveLuma", 27, Conv::Check, Fold::None},
        {"color", 28, Conv::Rgb1, Fold::Hue},
        {"strokeColor", 29, Conv::Rgb1, Fold::Hue},
        {"randomizeColor", 31, Conv::Hls, Fold::None},
        {"colorSeed", 34, Conv::Seed, Fold::None},
        {"opacity", 36, Conv::FixedPercent, Fold::Opacity},
        {"minimumOpacity", 37, Conv::FixedPercent, Fold::None},
        {"opacitySeed", 38, Conv::Seed, Fold::None},
        {"fillStroke", 39, Conv::LowByte, Fold::None},
        {"strokeWidth", 40, Conv::DsX, Fold::None},
        {"phase", 41, Conv::Radians, Fold::Phase},
        {"randomizePhase", 42, Conv::Radians, Fold::None},
        {"phaseSeed", 43, Conv::Seed, Fold::None},
        {"times", 44, Conv::Int, Fold::None},
        {"priority", 45, Conv::Int, Fold::None},
    };
    std::vector<Wire> w;
    const std::string prefix = "shapes[" + std::to_string(i) + "].";
    for (const K& k : ks) w.push_back({prefix + k.field, 170 + 47 * i + k.k, k.conv, k.fold});
    return w;
}

// The three map groups; index 0 marks a setting the group does not have.
std::vector<Wire> mapWires() {
    struct M {
        const char* field;
        int p1D, pPre, pPost;
        Conv conv;
    };
    const M ms[] = {
        {"shapeMap.wrap", 0, 605, 0, Conv::Int},
        {"shapeMap.channel", 561, 606, 649, Conv::Int},
        {"shapeMap.invert", 562, 607, 650, Conv::Check},
        {"scaleMap.wrap", 0, 611, 0, Conv::Int},
        {"scaleMap.channel", 567, 612, 654, Conv::Int},
        {"scaleMap.threshold", 568, 613, 655, Conv::Percent},
        {"scaleMap.thresholdSoft", 569, 614, 656, Conv::Percent},
        {"scaleMap.power", 570, 615, 657, Conv::Float},
        {"scaleMap.invert", 571, 616, 658, Conv::Check},
        {"scaleMap.black", 572, 617, 659, Conv::Percent},
        {"scaleMap.white", 573, 618, 660, Conv::Percent},
        {"colorMap.wrap", 0, 622, 0, Conv::Int},
        {"colorMap.mode", 579, 623, 664, Conv::Int},
        {"colorMap.adjust", 580, 624, 665, Conv::Hls},
        {"colorMap.randomize", 584, 628, 669, Conv::Hls},
        {"colorMap.colorSeed", 587, 631, 672, Conv::Seed},
        {"colorMap.highlight", 589, 633, 674, Conv::Rgba},
        {"colorMap.shadow", 590, 634, 675, Conv::Rgba},
        {"colorMap.preserveLuma", 591, 635, 676, Conv::Check},
        {"phaseMap.wrap", 0, 639, 0, Conv::Int},
        {"phaseMap.channel", 596, 640, 680, Conv::Int},
        {"phaseMap.invert", 597, 641, 681, Conv::Check},
        {"phaseMap.black", 598, 642, 682, Conv::Radians},
        {"phaseMap.white", 599, 643, 683, Conv::Radians},
    };
    std::vector<Wire> w;
    for (const M& m : ms) {
        if (m.p1D) w.push_back({std::string("map1D.") + m.field, m.p1D, m.conv});
        w.push_back({std::string("mapPre2D.") + m.field, m.pPre, m.conv});
        if (m.pPost) w.push_back({std::string("mapPost2D.") + m.field, m.pPost, m.conv});
    }
    return w;
}

// Shape types of the eight shapes: the last two force Bounding Box on.
constexpr int kShapeTypes[8] = {1, 2, 3, 1, 2, 3, 5, 4};

// A value per parameter index that no other index shares.
A_long intValue(int p) { return 1000 + p; }
double floatValue(int p) { return p * 1.25 + 0.375; }
double pointX(int p) { return p * 0.5 + 0.25; }
double pointY(int p) { return -(p * 0.75) - 0.125; }
double angleDegrees(int p) { return p + 0.75; }
A_long checkValue(int p) { return 0x100 * (p & 3) + (p % 250) + 2; }  // low byte never 0 or 1
PF_Pixel colorValue(int p) {
    return {static_cast<A_u_char>((p * 37) & 0xFF), static_cast<A_u_char>((p * 53 + 1) & 0xFF),
            static_cast<A_u_char>((p * 71 + 2) & 0xFF), static_cast<A_u_char>((p * 97 + 3) & 0xFF)};
}

// The host's value of parameter p for a conversion.
void setParam(FakeParams& f, int p, Conv conv) {
    switch (conv) {
        case Conv::Int: f.popup(p, intValue(p)); break;
        case Conv::LowByte: f.popup(p, 0x300 + (p % 200) + 2); break;
        case Conv::Check: f.checkbox(p, false), f.values[p].u.bd.value = checkValue(p); break;
        case Conv::Float:
        case Conv::Percent:
        case Conv::DsX:
        case Conv::DsY: f.floatSlider(p, floatValue(p)); break;
        case Conv::FixedPercent: f.fixedSlider(p, floatValue(p)); break;
        case Conv::Radians:
        case Conv::Turns: f.angle(p, angleDegrees(p)); break;
        case Conv::Point:
        case Conv::Seed:
        case Conv::LayerCenter: f.point(p, pointX(p), pointY(p)); break;
        case Conv::Rgba:
        case Conv::Rgb1: {
            PF_Pixel c = colorValue(p);
            f.color(p, c.alpha, c.red, c.green, c.blue);
            break;
        }
        case Conv::PathId: f.at(p, PF_Param_PATH).u.path_d.path_id = 5000 + p; break;
        case Conv::Easing:
            f.popup(p, intValue(p));
            f.popup(p + 1, intValue(p + 1));
            break;
        case Conv::Hls:
            f.angle(p, angleDegrees(p));
            f.floatSlider(p + 1, floatValue(p + 1));
            f.floatSlider(p + 2, floatValue(p + 2));
            break;
    }
}

double fixedOf(double v) { return static_cast<double>(FLOAT2FIX(v)); }

double seedAxis(double px, PF_RationalScale ds) {
    const int32_t fixed = FLOAT2FIX(px);
    const int32_t full = fixed * static_cast<int32_t>(ds.den) / ds.num;
    return std::trunc(full / 65536.0 * 10.0 + 0.5) / 10.0;
}

// What the record should hold, as up to four doubles (int and byte fields in
// the first slot; Vectors x, y; Colors alpha, red, green, blue).
struct Expected {
    double v[4] = {0, 0, 0, 0};
    bool isFloat = false;  // single-precision field: compare as floats
};

Expected expected(const Wire& w) {
    const int p = w.index;
    Expected e;
    auto one = [&](double d) { e.v[0] = d; };
    switch (w.conv) {
        case Conv::Int: one(intValue(p)); break;
        case Conv::LowByte: one(((0x300 + (p % 200) + 2)) & 0xFF); break;
        case Conv::Check: one(checkValue(p) & 0xFF); break;
        case Conv::Float: one(floatValue(p)); break;
        case Conv::Percent: one(floatValue(p) * 0.01); break;
        case Conv::DsX: one(floatValue(p) * kDsX.num / kDsX.den); break;
        case Conv::DsY: one(floatValue(p) * kDsY.num / kDsY.den); break;
        case Conv::FixedPercent: one(fixedOf(floatValue(p)) / 65536 * 0.01); break;
        case Conv::Radians: one(fixedOf(angleDegrees(p)) / 65536 * 0.017453292519943295); break;
        case Conv::Turns: one(fixedOf(angleDegrees(p)) / 65536 / 360); break;
        case Conv::Point:
            e.v[0] = pointX(p);
            e.v[1] = pointY(p);
            break;
        case Conv::LayerCenter:
            e.v[0] = pointX(p) - kWidth * 0.5 * kDsX.num / kDsX.den;
            e.v[1] = pointY(p) - kHeight * 0.5 * kDsY.num / kDsY.den;
            break;
        case Conv::Seed:
            e.v[0] = seedAxis(pointX(p), kDsX);
            e.v[1] = seedAxis(pointY(p), kDsY);
            break;
        case Conv::Rgba:
        case Conv::Rgb1: {
            const PF_Pixel c = colorValue(p);
            e.isFloat = true;
            e.v[0] = w.conv == Conv::Rgb1 ? 1.0f : c.alpha / 255.0f;
            e.v[1] = c.red / 255.0f;
            e.v[2] = c.green / 255.0f;
            e.v[3] = c.blue / 255.0f;
            break;
        }
        case Conv::PathId: one(5000 + p); break;
        case Conv::Easing:
            e.v[0] = intValue(p);
            e.v[1] = intValue(p + 1);
            break;
        case Conv::Hls:
            e.isFloat = true;
            e.v[0] = 0;
            e.v[1] = static_cast<float>(fixedOf(angleDegrees(p)) / 65536);
            e.v[2] = static_cast<float>(floatValue(p + 1) * 0.01);
            e.v[3] = static_cast<float>(floatValue(p + 2) * 0.01);
            break;
    }
    switch (w.fold) {
        case Fold::None: break;
        case Fold::Scale: e.v[0] *= kGlobalScale; break;
        case Fold::Opacity: e.v[0] *= kGlobalOpacity; break;
        case Fold::Phase: e.v[0] += kGlobalPhase; break;
        case Fold::Hue: {
            // A hue turn of 120 degrees moves red to green, green to blue and
            // blue to red, whatever the lightness and saturation.
            const double r = e.v[1], g = e.v[2], b = e.v[3];
            e.v[1] = b;
            e.v[2] = r;
            e.v[3] = g;
            break;
        }
    }
    return e;
}

class RecordWiringTest : public PreRenderTest {
protected:
    void SetUp() override {
        PreRenderTest::SetUp();
        comp.effectLayer().width = kWidth;
        comp.effectLayer().height = kHeight;
        comp.setDownsample(kDsX, kDsY);
        for (const Wire& w : commonWires()) setParam(params, w.index, w.conv);
        for (const Wire& w : mapWires()) setParam(params, w.index, w.conv);
        for (int i = 0; i < 8; ++i)
            for (const Wire& w : shapeWires(i)) setParam(params, w.index, w.conv);
        for (int pattern = 1; pattern <= 12; ++pattern)
            for (const Wire& w : patternWires(pattern)) setParam(params, w.index, w.conv);
        params.popup(169, 8);
        for (int i = 0; i < 8; ++i) {
            params.popup(shapeIndex(i, 10), kShapeTypes[i]);
            params.slider(shapeIndex(i, 17), i - 3);  // offset frames the input checkout can reach
        }
        params.checkbox(shapeIndex(6, 16), false);  // Layer: forced on
        params.checkbox(shapeIndex(7, 16), false);  // Input on a plain layer: forced on
        params.floatSlider(547, 150);
        params.angle(548, 120);
        params.floatSlider(549, 100);
        params.floatSlider(550, 100);
        params.floatSlider(551, 50);
        params.angle(552, 30);
    }
};

std::string describe(const Wire& w) { return w.field + " <- parameter " + std::to_string(w.index); }

template <class T>
void compare(const Wire& w, const Expected& e, const T& value) {
    if constexpr (std::is_same<T, int32_t>::value || std::is_same<T, uint8_t>::value) {
        EXPECT_EQ(static_cast<double>(value), e.v[0]) << describe(w);
    } else if constexpr (std::is_same<T, double>::value) {
        EXPECT_DOUBLE_EQ(value, e.v[0]) << describe(w);
    } else if constexpr (std::is_same<T, Vector>::value) {
        EXPECT_DOUBLE_EQ(value.x, e.v[0]) << describe(w);
        EXPECT_DOUBLE_EQ(value.y, e.v[1]) << describe(w);
    } else if constexpr (std::is_same<T, Easing>::value) {
        EXPECT_EQ(value.type, e.v[0]) << describe(w) << " type";
        EXPECT_EQ(value.mode, e.v[1]) << describe(w) << " mode";
    } else if constexpr (std::is_same<T, Color>::value) {
        // Folded colours make a round trip through HLS in floats.
        const double tol = w.fold == Fold::Hue ? 2e-6 : 0.0;
        EXPECT_NEAR(value.alpha, e.v[0], tol) << describe(w) << " alpha";
        EXPECT_NEAR(value.red, e.v[1], tol) << describe(w) << " slot 1";
        EXPECT_NEAR(value.green, e.v[2], tol) << describe(w) << " slot 2";
        EXPECT_NEAR(value.blue, e.v[3], tol) << describe(w) << " slot 3";
    } else {
        ADD_FAILURE() << describe(w) << ": field of unexpected type";
    }
}

// Fields no parameter writes directly (computed, or left to the smart render).
bool notWired(const std::string& name) {
    auto ends = [&](const std::string& s) {
        return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
    };
    return name == "pattern" || ends(".layer") || ends("layerRect") || ends("layerInFrame") || ends("layerOutFrame") ||
           name == "displacementMap" || name == "transitionMap" || name == "frameDuration" ||
           name.rfind("shapeWeights[", 0) == 0 || name == "shapeWeightTotal" || name == "queueByPriority" ||
           ((name.rfind("map1D.", 0) == 0 || name.rfind("mapPost2D.", 0) == 0) && ends(".wrap"));
}

TEST_F(RecordWiringTest, EveryFieldFromItsParameterAndConversion) {
    for (int pattern = 1; pattern <= 12; ++pattern) {
        params.popup(1, pattern);
        const Parameters p = record(run());
        ASSERT_EQ(p.pattern, pattern);

        std::map<std::string, Wire> table;
        for (const std::vector<Wire>& part : {patternWires(pattern), commonWires(), mapWires()})
            for (const Wire& w : part) table.emplace(w.field, w);
        for (int i = 0; i < 8; ++i)
            for (const Wire& w : shapeWires(i)) table.emplace(w.field, w);

        std::size_t seen = 0;
        visitFields(p, [&](const std::string& name, const auto& value) {
            auto it = table.find(name);
            if (it == table.end()) return;
            ++seen;
            Wire w = it->second;
            Expected e = expected(w);
            if (w.field == "shapeNumber") e.v[0] = 8;
            if (w.field.rfind("shapes[", 0) == 0 && w.field.find(".type") != std::string::npos)
                e.v[0] = kShapeTypes[w.field[7] - '0'];
            if (w.field.rfind("shapes[", 0) == 0 && w.field.find(".frameOffset") != std::string::npos)
                e.v[0] = (w.field[7] - '0') - 3;
            if (w.field == "shapes[6].boundingBox" || w.field == "shapes[7].boundingBox") e.v[0] = 1;
            compare(w, e, value);
        });
        EXPECT_EQ(seen, table.size()) << "fields of the table missing from the record";

        // Computed from the wired values: running sums of Times, and a queue
        // since the priorities differ.
        int32_t sum = 0;
        for (int i = 0; i < 8; ++i) {
            sum += intValue(shapeIndex(i, 44));
            EXPECT_EQ(p.shapeWeights[i], sum) << i;
        }
        EXPECT_EQ(p.shapeWeightTotal, sum);
        EXPECT_EQ(p.queueByPriority, 1);
    }
}

TEST_F(RecordWiringTest, TheTableCoversTheRecord) {
    std::map<std::string, int> table;
    for (int pattern = 1; pattern <= 12; ++pattern)
        for (const Wire& w : patternWires(pattern)) table[w.field] = w.index;
    for (const std::vector<Wire>& part : {commonWires(), mapWires()})
        for (const Wire& w : part) table[w.field] = w.index;
    for (int i = 0; i < 8; ++i)
        for (const Wire& w : shapeWires(i)) table[w.field] = w.index;
    visitFields(Parameters{}, [&](const std::string& name, const auto&) {
        EXPECT_TRUE(table.count(name) || notWired(name)) << name << " has no wire in the table";
    });
    // No parameter feeds two fields.
    std::map<int, std::string> byIndex;
    for (const auto& [field, index] : table) {
        auto [it, fresh] = byIndex.emplace(index, field);
        EXPECT_TRUE(fresh) << index << " feeds " << field << " and " << it->second;
    }
}

TEST_F(RecordWiringTest, GlobalLightnessAndSaturationReachTheColours) {
    // Saturation 0 makes grey at the colour's own lightness, and lightness
    // 50 % halves it: (max + min) / 4 in every channel.
    params.popup(1, 6);
    params.angle(548, 0);
    params.floatSlider(549, 50);
    params.floatSlider(550, 0);
    const Parameters p = record(run());
    for (int i = 0; i < 8; ++i) {
        for (int k : {28, 29}) {
            const PF_Pixel c = colorValue(shapeIndex(i, k));
            const float hi = std::max({c.red, c.green, c.blue}) / 255.0f;
            const float lo = std::min({c.red, c.green, c.blue}) / 255.0f;
            const Color& got = k == 28 ? p.shapes[i].color : p.shapes[i].strokeColor;
            const float grey = (hi + lo) / 4;
            EXPECT_NEAR(got.red, grey, 2e-6) << i << " " << k;
            EXPECT_NEAR(got.green, grey, 2e-6) << i << " " << k;
            EXPECT_NEAR(got.blue, grey, 2e-6) << i << " " << k;
            EXPECT_EQ(got.alpha, 1.0f);
        }
    }
}

}  // namespace
