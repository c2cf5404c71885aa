#include "ParamKeys.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <unordered_map>

namespace tools {

namespace {

constexpr int kCount = 688;
constexpr int kShapeStart = 170, kShapeStride = 47, kShapes = 8;

// Consecutive indices from `first`; "" marks a group start or end.
void put(std::vector<std::string>& keys, int first, std::initializer_list<const char*> names,
         const std::string& prefix = "") {
    int i = first;
    for (const char* n : names) {
        keys.at(std::size_t(i)) = *n ? prefix + n : "";
        ++i;
    }
}

// Members of one shape group, index 0 being the group start.
const std::initializer_list<const char*> kShapeMembers = {"",
                                                          "size",
                                                          "useScale",
                                                          "scale",
                                                          "minimumScale",
                                                          "width",
                                                          "minimumWidth",
                                                          "height",
                                                          "minimumHeight",
                                                          "scaleSeed",
                                                          "type",
                                                          "thickness",
                                                          "innerRadius",
                                                          "sides",
                                                          "starness",
                                                          "layerCenter",
                                                          "boundingBox",
                                                          "frameOffset",
                                                          "clampFrame",
                                                          "layer",
                                                          "layerSampling",
                                                          "layerTime",
                                                          "randomizeLayerSampling",
                                                          "layerSamplingSeed",
                                                          "toner",
                                                          "highlight",
                                                          "shadow",
                                                          "preserveLuma",
                                                          "color",
                                                          "strokeColor",
                                                          "",
                                                          "randomizeHue",
                                                          "randomizeLightness",
                                                          "randomizeSaturation",
                                                          "colorSeed",
                                                          "",
                                                          "opacity",
                                                          "minimumOpacity",
                                                          "opacitySeed",
                                                          "fillStroke",
                                                          "strokeWidth",
                                                          "phase",
                                                          "randomizePhase",
                                                          "phaseSeed",
                                                          "times",
                                                          "priority",
                                                          ""};

std::vector<std::string> build() {
    std::vector<std::string> k(kCount);
    put(k, 1,
        {"pattern", "pointNumber", "point1", "point2", "point3", "point4", "point5", "point6", "point7", "point8"});
    put(k, 11, {"lineCenter", "lineWidth", "lineRotation", "lineOffset"});
    put(k, 15,
        {"lineSegmentNumber", "lineSegmentPoint1", "lineSegmentPoint2", "lineSegmentLength", "lineSegmentInvert"});
    put(k, 20, {"circleNumber", "circleCenter", "circleRadius", "circleCentralAngle", "circlePhase"});
    put(k, 25,
        {"rectangleNumber", "rectangleCenter", "rectangleMode", "rectangleWidth", "rectangleHeight",
         "rectangleBorderRadius", "rectangleRotation", "rectangleLength", "rectangleOffset"});
    put(k, 34,
        {"gridCenter", "gridMode", "gridWidth", "gridHeight", "gridOffsetX", "gridOffsetY", "gridRotation",
         "gridOrder"});
    put(k, 42,
        {"finiteGridCenter", "finiteGridMode", "finiteGridWidth", "finiteGridHeight", "finiteGridColumn",
         "finiteGridRow", "finiteGridRotation", "finiteGridOrder"});
    put(k, 50,
        {"triangularGridCenter", "triangularGridRadius", "triangularGridHeight", "triangularGridOffsetX",
         "triangularGridOffsetY", "triangularGridRotation"});
    put(k, 56,
        {"pathMask", "pathAnchor", "pathPosition", "pathScale", "pathRotation", "pathMode", "pathNumber",
         "pathInterval", "pathLength", "pathOffset", "pathInvert", "", "pathShapeMapMode", "pathScaleMapMode",
         "pathColorMapMode", "pathPhaseMapMode", ""});
    put(k, 73,
        {"waveformAudioLayer", "waveformPoint1", "waveformPoint2", "waveformMask", "waveformMaxHeight", "waveformPower",
         "waveformSamples", "waveformSamplingRate", "waveformDuration", "waveformOffset"});
    put(k, 83,
        {"graphExpression",
         "",
         "graphVariableA",
         "graphVariableB",
         "graphVariableC",
         "graphVariableD",
         "graphVariableF",
         "graphVariableG",
         "graphVariableI",
         "graphVariableJ",
         "graphVariableK",
         "graphVariableL",
         "",
         "graphOrigin",
         "graphRotation",
         "graphFrom",
         "graphTo",
         "graphMode",
         "graphNumber",
         "graphEqualize",
         "graphDetail",
         "graphDelta"});
    put(k, 105,
        {"randomDistance", "randomMode", "randomExpansion", "randomCenter", "randomWidth", "randomHeight",
         "randomRadius", "randomScale", "randomOrder", "randomOrderSeed", "randomSeed"});
    put(k, 116,
        {"autoOrient", "cycle", "cycleOffset", "", "displacementMode", "displacementMap", "displacementMapWrap",
         "displacementXChannel", "displacementX", "displacementYChannel", "displacementY", "displacementSeed", ""});
    put(k, 129,
        {"",
         "transitionMode",
         "transitionCompletion",
         "transitionDelay",
         "transitionRest",
         "transitionOffset",
         "transitionManualOffset",
         "transitionScale",
         "transitionManualScale",
         "transitionHue",
         "transitionLightness",
         "transitionSaturation",
         "transitionManualColor",
         "transitionOpacity",
         "transitionManualOpacity",
         "transitionPhase",
         "transitionManualPhase",
         "transitionOrder",
         "transitionOrderOffset",
         "transitionOrderSeed",
         "transitionMap",
         "transitionMapWrap",
         "transitionMapChannel",
         "transitionOrderInvert",
         "transitionEasingType",
         "transitionEasingMode",
         "transitionManualDetail",
         ""});
    put(k, 157,
        {"", "transformAnchor", "transformPosition", "transformScale", "transformRotation", "transformOpacity", "", "",
         "repeaterType", "repeaterX", "repeaterY", "", "shapeNumber"});
    for (int n = 1; n <= kShapes; ++n)
        put(k, kShapeStart + kShapeStride * (n - 1), kShapeMembers, "shape" + std::to_string(n) + ".");
    put(k, 546,
        {"", "globalShapeScale", "globalShapeHue", "globalShapeLightness", "globalShapeSaturation",
         "globalShapeOpacity", "globalShapePhase", "", "shapeOffset", "randomizeShape", "shapeSeed"});
    // The three map groups share their members but not their wrap popups;
    // only the 1D group has the keyframed curves.
    put(k, 557,
        {"",
         "",
         "shapeMap.curve",
         "shapeMap.layer",
         "shapeMap.channel",
         "shapeMap.invert",
         "",
         "",
         "scaleMap.curve",
         "scaleMap.layer",
         "scaleMap.channel",
         "scaleMap.threshold",
         "scaleMap.thresholdSoft",
         "scaleMap.power",
         "scaleMap.invert",
         "scaleMap.black",
         "scaleMap.white",
         "",
         "",
         "colorMap.curve",
         "colorMap.curveOpacity",
         "colorMap.layer",
         "colorMap.mode",
         "colorMap.hue",
         "colorMap.lightness",
         "colorMap.saturation",
         "",
         "colorMap.randomizeHue",
         "colorMap.randomizeLightness",
         "colorMap.randomizeSaturation",
         "colorMap.colorSeed",
         "",
         "colorMap.highlight",
         "colorMap.shadow",
         "colorMap.preserveLuma",
         "",
         "",
         "phaseMap.curve",
         "phaseMap.layer",
         "phaseMap.channel",
         "phaseMap.invert",
         "phaseMap.black",
         "phaseMap.white",
         "",
         ""},
        "map1D.");
    put(k, 602,
        {"",
         "",
         "shapeMap.layer",
         "shapeMap.wrap",
         "shapeMap.channel",
         "shapeMap.invert",
         "",
         "",
         "scaleMap.layer",
         "scaleMap.wrap",
         "scaleMap.channel",
         "scaleMap.threshold",
         "scaleMap.thresholdSoft",
         "scaleMap.power",
         "scaleMap.invert",
         "scaleMap.black",
         "scaleMap.white",
         "",
         "",
         "colorMap.layer",
         "colorMap.wrap",
         "colorMap.mode",
         "colorMap.hue",
         "colorMap.lightness",
         "colorMap.saturation",
         "",
         "colorMap.randomizeHue",
         "colorMap.randomizeLightness",
         "colorMap.randomizeSaturation",
         "colorMap.colorSeed",
         "",
         "colorMap.highlight",
         "colorMap.shadow",
         "colorMap.preserveLuma",
         "",
         "",
         "phaseMap.layer",
         "phaseMap.wrap",
         "phaseMap.channel",
         "phaseMap.invert",
         "phaseMap.black",
         "phaseMap.white",
         "",
         ""},
        "mapPre2D.");
    put(k, 646,
        {"",
         "",
         "shapeMap.layer",
         "shapeMap.channel",
         "shapeMap.invert",
         "",
         "",
         "scaleMap.layer",
         "scaleMap.channel",
         "scaleMap.threshold",
         "scaleMap.thresholdSoft",
         "scaleMap.power",
         "scaleMap.invert",
         "scaleMap.black",
         "scaleMap.white",
         "",
         "",
         "colorMap.layer",
         "colorMap.mode",
         "colorMap.hue",
         "colorMap.lightness",
         "colorMap.saturation",
         "",
         "colorMap.randomizeHue",
         "colorMap.randomizeLightness",
         "colorMap.randomizeSaturation",
         "colorMap.colorSeed",
         "",
         "colorMap.highlight",
         "colorMap.shadow",
         "colorMap.preserveLuma",
         "",
         "",
         "phaseMap.layer",
         "phaseMap.channel",
         "phaseMap.invert",
         "phaseMap.black",
         "phaseMap.white",
         "",
         ""},
        "mapPost2D.");
    k[686] = "blendingMode";
    k[687] = "onOriginal";
    return k;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

}  // namespace

const std::vector<std::string>& paramKeys() {
    static const std::vector<std::string> keys = build();
    return keys;
}

std::string paramKey(int index) {
    const auto& k = paramKeys();
    return index >= 0 && std::size_t(index) < k.size() ? k[std::size_t(index)] : "";
}

int paramByKey(const std::string& key) {
    static const std::unordered_map<std::string, int> byKey = [] {
        std::unordered_map<std::string, int> m;
        const auto& k = paramKeys();
        for (std::size_t i = 0; i < k.size(); ++i)
            if (!k[i].empty()) m.emplace(k[i], int(i));
        return m;
    }();
    auto it = byKey.find(key);
    return it == byKey.end() ? -1 : it->second;
}

std::string paramSection(int index) {
    struct Range {
        int first, last;
        const char* name;
    };
    static const Range ranges[] = {
        {1, 1, "pattern"},           {2, 10, "point"},       {11, 14, "line"},           {15, 19, "line segment"},
        {20, 24, "circle"},          {25, 33, "rectangle"},  {34, 41, "grid"},           {42, 49, "finite grid"},
        {50, 55, "triangular grid"}, {56, 72, "path"},       {73, 82, "waveform"},       {83, 104, "graph"},
        {105, 115, "random"},        {116, 118, "elements"}, {119, 128, "displacement"}, {129, 156, "transition"},
        {157, 163, "transform"},     {164, 168, "repeater"}, {169, 169, "shapes"},       {546, 553, "global shape"},
        {554, 556, "shapes"},        {557, 601, "map 1D"},   {602, 645, "map pre 2D"},   {646, 685, "map post 2D"},
        {686, 687, "blending"}};
    if (index >= kShapeStart && index < kShapeStart + kShapeStride * kShapes)
        return "shape " + std::to_string((index - kShapeStart) / kShapeStride + 1);
    for (const Range& r : ranges)
        if (index >= r.first && index <= r.last) return r.name;
    return "";
}

std::vector<std::string> closestWords(const std::string& word, const std::vector<std::string>& candidates,
                                      std::size_t limit) {
    const std::string w = lower(word);
    std::vector<std::pair<std::size_t, std::string>> scored;
    for (const std::string& c : candidates) {
        if (c.empty()) continue;
        const std::string lc = lower(c);
        std::size_t d = editDistance(w, lc);
        // A word that contains the typed one (or the other way round) is near
        // whatever its length: "width" finds "gridWidth".
        if (w.size() >= 3 && (lc.find(w) != std::string::npos || w.find(lc) != std::string::npos))
            d = std::min<std::size_t>(d, 2);
        const std::size_t allowed = std::max<std::size_t>(2, w.size() / 3);
        if (d <= allowed) scored.emplace_back(d, c);
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (const auto& s : scored) {
        if (out.size() == limit) break;
        if (std::find(out.begin(), out.end(), s.second) == out.end()) out.push_back(s.second);
    }
    return out;
}

}  // namespace tools
