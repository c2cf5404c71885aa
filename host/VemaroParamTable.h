// The effect's parameter table: 688 parameters in a fixed order. The disk ids,
// types, ranges and defaults are what saved projects were stored with, so
// every row stays as it is; new parameters may only ever be appended.
#pragma once

#include "AE_Effect.h"

#include <string>
#include <vector>

namespace ParamTable {

constexpr int kParamCount = 688;  // the input layer and 687 definitions

// Blocks and groups that other code addresses by index.
constexpr int kPatternParam = 1;
constexpr int kGraphDataParam = 83;
constexpr int kShapeNumberParam = 169;
constexpr int kShapeGroupStart = 170;
constexpr int kShapeGroupSize = 47;
constexpr int kShapeGroupCount = 8;
constexpr int kGlobalShapeStart = 546;
constexpr int kMap1DStart = 557;
constexpr int kMapPre2DStart = 602;
constexpr int kMapPost2DStart = 646;
constexpr int kBlendingModeParam = 686;
constexpr int kOnOriginalParam = 687;

// Index of member k (0 to 46) of shape group n (1 to 8).
constexpr int shapeParam(int n, int k) { return kShapeGroupStart + kShapeGroupSize * (n - 1) + k; }

enum class Display { Plain, Percent };

// One parameter as the host is shown it. Only the fields of the row's type
// are meaningful.
struct Row {
    PF_ParamType type = PF_Param_RESERVED;
    std::string name;
    A_long flags = 0;
    A_long diskId = 0;
    double value = 0;  // default: number, degrees, percent (fixed sliders), popup or checkbox value
    double validMin = 0, validMax = 0, sliderMin = 0, sliderMax = 0;
    A_short precision = 0;
    Display display = Display::Plain;
    double x = 0, y = 0;          // point default in percent of the layer
    PF_Pixel color{};             // alpha, red, green, blue
    const char* items = nullptr;  // popup items separated by '|'
    const char* label = "";       // checkbox label
};

// The rows of indices 1 to 687 (row i - 1 is index i); index 0, the input
// layer, is added by the host itself.
const std::vector<Row>& rows();

// Number of popup choices: items separated by '|', separators included.
A_short popupChoices(const char* items);

// Fills a cleared definition from a row (everything but the Graph default).
void fillDefinition(const Row& row, PF_ParamDef& def, A_char* (*copyName)(A_char*, const A_char*));

}  // namespace ParamTable
