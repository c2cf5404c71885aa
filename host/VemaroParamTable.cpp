#include "VemaroParamTable.h"

#include <sstream>

namespace ParamTable {
namespace {

constexpr A_long NONE = 0;
constexpr A_long T = PF_ParamFlag_COLLAPSE_TWIRLY;
constexpr A_long S = PF_ParamFlag_SUPERVISE;
constexpr A_long N = PF_ParamFlag_CANNOT_TIME_VARY;

// Disk id markers resolved when a row takes its index.
constexpr A_long kOwnIndex = -1;
constexpr A_long kIndexPlus2 = -2;

constexpr Display PCT = Display::Percent;
constexpr Display PLAIN = Display::Plain;

// ---------------------------------------------------------------- popup items
const char* const kPatternItems =
    "Point|Line|Line Segment|Circle|Rectangle|Grid|Finite Grid|Triangular Grid|Path|Waveform|Graph|Random";
const char* const kCountItems = "One|Two|Three|Four|Five|Six|Seven|Eight";
const char* const kSizeModeItems = "Width|Width & Height";
const char* const kGridOrderItems = "Horizontal|Vertical|Diagonal|Diagonal 2";
const char* const kFiniteGridOrderItems = "Horizontal|Vertical|Diagonal|Diagonal 2|Individual";
const char* const kPathModeItems = "Vertex|Number|Interval";
const char* const kMap1DModeItems = "Index|Position";
const char* const kGraphModeItems = "Number|Delta";
const char* const kRandomModeItems = "Layer Size|Rectangle|Circle";
const char* const kRandomOrderItems = "Horizontal|Vertical|Diagonal|Diagonal 2|Outward|Inward|Random";
const char* const kDisplacementModeItems = "Random|Map";
const char* const kWrapItems = "None|Clamp|Repeat|Mirror";
const char* const kChannelItems = "Lightness|Brightness|Luminance|Hue|Saturation|Red|Green|Blue|Alpha";
const char* const kTransitionModeItems = "One Shot|Loop|Pingpong|Pingpong 2|(-|Continuous Loop|Continuous Pingpong";
const char* const kTransitionOrderItems = "Normal|Random|Map|Shape";
const char* const kEasingTypeItems = "Linear|Quad|Cubic|Quart|Quint|Expo|Circ|Sine|Bounce|Back|Elastic";
const char* const kEasingModeItems = "In|Out|InOut";
const char* const kRepeaterTypeItems = "None|1D|2D";
const char* const kShapeKindItems = "Line|Circle|Polygon|Input|Layer";
const char* const kLayerSamplingItems = "Current Time|Still Frame|Play Once|Loop";
const char* const kRandomizeSamplingItems = "None|Linear|Random";
const char* const kTonerItems = "None|HLS|Fill|Tint|Tritone|Hue";
const char* const kFillStrokeItems = "Fill|Stroke|Fill & Stroke";
const char* const kPriorityItems = "1 |2 |3 |4 |5 |6 |7 |8 ";
const char* const kColorModeItems = "Fill|Tint|Tritone|Hue";
const char* const kBlendingModeItems =
    "Normal|(-|Darken|Multiply|Burn|Add|Lighten|Screen|Dodge|Overlay|Softlight|Hardlight|Difference|Exclusion|"
    "Alpha Add";

// ---------------------------------------------------------------- row makers
// Argument order follows the table columns: name, default, valid range,
// slider range, precision and display, flags, disk id.
Row make(PF_ParamType type, const char* name, A_long flags, A_long diskId) {
    Row r;
    r.type = type;
    r.name = name;
    r.flags = flags;
    r.diskId = diskId;
    return r;
}

// Shared by both slider kinds: a default inside a valid range and a slider range.
Row Ranged(PF_ParamType type, const char* name, double def, double vmin, double vmax, double smin, double smax,
           A_long flags, A_long diskId) {
    Row r = make(type, name, flags, diskId);
    r.value = def;
    r.validMin = vmin;
    r.validMax = vmax;
    r.sliderMin = smin;
    r.sliderMax = smax;
    return r;
}

Row FloatSlider(const char* name, double def, double vmin, double vmax, double smin, double smax, A_short precision,
                Display display, A_long flags, A_long diskId = kOwnIndex) {
    Row r = Ranged(PF_Param_FLOAT_SLIDER, name, def, vmin, vmax, smin, smax, flags, diskId);
    r.precision = precision;
    r.display = display;
    return r;
}

Row Slider(const char* name, double def, double vmin, double vmax, double smin, double smax, A_long flags,
           A_long diskId = kOwnIndex) {
    return Ranged(PF_Param_SLIDER, name, def, vmin, vmax, smin, smax, flags, diskId);
}

// Every fixed slider of the table runs 0 to 100 and shows one decimal percent.
Row FixSlider(const char* name, double def, A_long flags, A_long diskId = kOwnIndex) {
    Row r = make(PF_Param_FIX_SLIDER, name, flags, diskId);
    r.value = def;
    r.validMax = r.sliderMax = 100;
    r.precision = 1;
    r.display = PCT;
    return r;
}

Row Angle(const char* name, double degrees, A_long flags, A_long diskId = kOwnIndex) {
    Row r = make(PF_Param_ANGLE, name, flags, diskId);
    r.value = degrees;
    return r;
}

Row Point(const char* name, double xPercent, double yPercent, A_long flags, A_long diskId = kOwnIndex) {
    Row r = make(PF_Param_POINT, name, flags, diskId);
    r.x = xPercent;
    r.y = yPercent;
    return r;
}

Row Popup(const char* name, int def, const char* items, A_long flags, A_long diskId = kOwnIndex) {
    Row r = make(PF_Param_POPUP, name, flags, diskId);
    r.value = def;
    r.items = items;
    return r;
}

Row Checkbox(const char* name, bool on, A_long flags, const char* label = "") {
    Row r = make(PF_Param_CHECKBOX, name, flags, kOwnIndex);
    r.value = on ? 1 : 0;
    r.label = label;
    return r;
}

Row Color(const char* name, int red, int green, int blue, A_long flags) {
    Row r = make(PF_Param_COLOR, name, flags, kOwnIndex);
    r.color = {255, static_cast<A_u_char>(red), static_cast<A_u_char>(green), static_cast<A_u_char>(blue)};
    return r;
}

Row Layer(const char* name) { return make(PF_Param_LAYER, name, NONE, kOwnIndex); }
Row Path(const char* name) { return make(PF_Param_PATH, name, NONE, kOwnIndex); }
Row ArbitraryData(const char* name, A_long flags) { return make(PF_Param_ARBITRARY_DATA, name, flags, kOwnIndex); }
Row GroupStart(const char* name) { return make(PF_Param_GROUP_START, name, T, kOwnIndex); }
Row GroupEnd() { return make(PF_Param_GROUP_END, "", NONE, kOwnIndex); }

// ---------------------------------------------------------------- indices 1 to 115
const Row kPatternBlocks[] = {
    Popup("Pattern", 6, kPatternItems, N),
    // Point (1)
    Popup("Number", 1, kCountItems, NONE),
    // 3 to 10: "Point 1" ... "Point 8", inserted by the builder
    // Line (2)
    Point("Center", 50, 50, T),
    FloatSlider("Width", 150, 4, 10000, 10, 300, 1, PLAIN, T),
    Angle("Rotation", 0, T),
    FloatSlider("Offset", 0, -100000, 100000, -500, 500, 1, PLAIN, T),
    // Line Segment (3)
    Slider("Number", 10, 0, 10000, 0, 50, T),
    Point("Point 1", 10, 50, T),
    Point("Point 2", 90, 50, T),
    FloatSlider("Length", 100, -10000, 10000, 0, 100, 1, PCT, T),
    Checkbox("Invert", false, NONE),
    // Circle (4)
    Slider("Number", 20, 0, 10000, 0, 50, T),
    Point("Center", 50, 50, T),
    FloatSlider("Radius", 500, 0, 20000, 0, 1000, 1, PLAIN, T),
    Angle("Central Angle", 360, T),
    Angle("Phase", 0, T),
    // Rectangle (5)
    Slider("Number", 15, 0, 10000, 0, 50, T),
    Point("Center", 50, 50, T),
    Popup("Mode", 2, kSizeModeItems, NONE),
    FloatSlider("Width", 400, 0, 10000, 0, 500, 1, PLAIN, T),
    FloatSlider("Height", 300, 0, 10000, 0, 500, 1, PLAIN, T),
    FloatSlider("Border Radius", 0, 0, 10000, 0, 500, 1, PLAIN, T),
    Angle("Rotation", 0, T),
    FloatSlider("Length", 100, -10000, 10000, 0, 100, 1, PCT, T),
    Angle("Offset", 0, T),
    // Grid (6)
    Point("Center", 50, 50, T),
    Popup("Mode", 1, kSizeModeItems, NONE),
    FloatSlider("Width", 150, 2, 10000, 10, 300, 1, PLAIN, T),
    FloatSlider("Height", 100, 2, 10000, 10, 300, 1, PLAIN, T),
    FloatSlider("Offset X", 0, -100000, 100000, -500, 500, 1, PLAIN, T),
    FloatSlider("Offset Y", 0, -100000, 100000, -500, 500, 1, PLAIN, T),
    Angle("Rotation", 0, T),
    Popup("Order", 3, kGridOrderItems, NONE),
    // Finite Grid (7)
    Point("Center", 50, 50, T),
    Popup("Mode", 2, kSizeModeItems, NONE),
    FloatSlider("Width", 150, 0, 10000, 0, 300, 1, PLAIN, T),
    FloatSlider("Height", 100, 0, 10000, 0, 300, 1, PLAIN, T),
    Slider("Column", 8, 0, 1000, 5, 20, T),
    Slider("Row", 6, 0, 1000, 5, 20, T),
    Angle("Rotation", 0, T),
    Popup("Order", 3, kFiniteGridOrderItems, NONE),
    // Triangular Grid (8)
    Point("Center", 50, 50, T),
    FloatSlider("Radius", 150, 2, 10000, 10, 300, 1, PLAIN, T),
    FloatSlider("Height", 100, 5, 10000, 50, 200, 1, PCT, T),
    FloatSlider("Offset X", 0, -100000, 100000, -500, 500, 1, PLAIN, T),
    FloatSlider("Offset Y", 0, -100000, 100000, -500, 500, 1, PLAIN, T),
    Angle("Rotation", 0, T),
    // Path (9)
    Path("Path"),
    Point("Anchor", 50, 50, T),
    Point("Position", 50, 50, T),
    FloatSlider("Scale", 100, 0, 100000, 0, 200, 1, PCT, T),
    Angle("Rotation", 0, T),
    Popup("Mode", 2, kPathModeItems, NONE),
    Slider("Number", 20, 0, 50000, 0, 100, T),
    FloatSlider("Interval", 150, 1, 10000, 4, 300, 1, PLAIN, T),
    FixSlider("Length", 100, T),
    Angle("Offset", 0, T, 62),  // stored under the disk id of "Number" (62)
    Checkbox("Invert path", false, NONE),
    GroupStart("1D Map Settings"),
    Popup("1D Shape Map Mode", 1, kMap1DModeItems, T),
    Popup("1D Scale Map Mode", 1, kMap1DModeItems, NONE),
    Popup("1D Color Map Mode", 1, kMap1DModeItems, NONE),
    Popup("1D Phase Map Mode", 1, kMap1DModeItems, NONE),
    GroupEnd(),
    // Waveform (10)
    Layer("Audio Layer"),
    Point("Point 1", 0, 50, T),
    Point("Point 2", 100, 50, T),
    Path("Path"),
    FloatSlider("Max Height", 200, 0, 10000, 0, 500, 1, PLAIN, T),
    FloatSlider("Power", 1, 0, 20, 0, 5, 2, PLAIN, T),
    Slider("Samples", 500, 2, 44100, 2, 640, T),
    FloatSlider("Sampling Rate[Hz]", 3000, 1000, 48000, 2000, 12000, 1, PLAIN, T),
    FloatSlider("Duration[ms]", 150, 1, 1000, 1, 500, 2, PLAIN, T),
    FloatSlider("Offset[ms]", 0, -30000, 30000, -5000, 5000, 2, PLAIN, T),
    // Graph (11)
    ArbitraryData("Expression", N | T),
    GroupStart("Variables"),
    FloatSlider("a", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("b", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("c", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("d", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("f", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("g", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("i", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("j", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("k", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    FloatSlider("l", 0, -500000, 500000, 0, 100, 5, PLAIN, T),
    GroupEnd(),
    Point("Origin", 0, 50, T),
    Angle("Rotation", 0, T),
    FloatSlider("From", 0, -500000, 500000, 0, 50, 5, PLAIN, T),
    FloatSlider("To", 1, -500000, 500000, 0, 50, 5, PLAIN, T),
    Popup("Mode", 1, kGraphModeItems, NONE),
    Slider("Number", 30, 0, 1000000, 1, 200, T),
    Checkbox("Equalize", true, NONE),
    FloatSlider("Detail", 200, 100, 10000, 100, 300, 1, PCT, T),
    FloatSlider("Delta", 0.01, 0.000001, 1000000, 0.001, 5, 5, PLAIN, T),
    // Random (12)
    FloatSlider("Distance", 100, 2, 30000, 20, 300, 1, PLAIN, T),
    Popup("Mode", 1, kRandomModeItems, NONE),
    FloatSlider("Expansion", 0, 0, 500000, 0, 500, 1, PLAIN, T),
    Point("Center", 50, 50, T),
    FloatSlider("Width", 640, 0, 30000, 0, 2000, 1, PLAIN, T),
    FloatSlider("Height", 360, 0, 30000, 0, 2000, 1, PLAIN, T),
    FloatSlider("Radius", 500, 0, 20000, 0, 1000, 1, PLAIN, T),
    FloatSlider("Scale", 100, -10000, 10000, 0, 200, 1, PCT, T),
    Popup("Order", 7, kRandomOrderItems, NONE),
    Slider("Order Seed", 0, 0, 100000, 0, 10, T),
    Slider("Seed", 0, 0, 100000, 0, 10, T),
};

// ---------------------------------------------------------------- indices 116 to 169
const Row kCommonGroups[] = {
    Checkbox("Auto Orient", true, NONE),
    Slider("Cycle", 8, 1, 100000, 1, 20, T),
    Slider("Cycle Offset", 0, -100000, 100000, -10, 10, T),
    GroupStart("Displacement"),
    Popup("Displacement Mode", 1, kDisplacementModeItems, NONE),
    Layer("Displacement Map"),
    Popup("Displacement Map Wrap", 3, kWrapItems, NONE),
    Popup("Displacement Map X Channel", 6, kChannelItems, NONE),
    FloatSlider("Displacement X", 0, -50000, 50000, -100, 100, 1, PLAIN, T),
    Popup("Displacement Map Y Channel", 7, kChannelItems, NONE),
    FloatSlider("Displacement Y", 0, -50000, 50000, -100, 100, 1, PLAIN, T),
    Point("Displacement Seed", 0, 0, T),
    GroupEnd(),
    GroupStart("Transition"),
    Popup("Transition Mode", 1, kTransitionModeItems, NONE),
    FloatSlider("Transition Completion", 0, -100000, 100000, 0, 100, 4, PCT, T),
    FloatSlider("Transition Delay", 10, 0, 10000, 0, 100, 4, PCT, T),
    FloatSlider("Transition Rest", 0, 0, 100, 0, 100, 1, PCT, T),
    Point("Transition Offset", 0, 0, T | S),
    Checkbox("", false, N, "Manual Offset"),
    FloatSlider("Transition Scale", 0, 0, 10000, 0, 100, 1, PCT, T | S),
    Checkbox("", false, N, "Manual Scale"),
    Angle("Transition Hue", 0, T | S),
    FloatSlider("Transition Lightness", 100, 0, 1000, 0, 100, 1, PCT, T | S),
    FloatSlider("Transition Saturation", 100, 0, 1000, 0, 100, 1, PCT, T | S),
    Checkbox("", false, N, "Manual Color"),
    FixSlider("Transition Opacity", 100, T | S),
    Checkbox("", false, N, "Manual Opacity"),
    Angle("Transition Phase", 0, T | S),
    Checkbox("", false, N, "Manual Phase"),
    Popup("Transition Order", 1, kTransitionOrderItems, NONE),
    Angle("Transition Order Offset", 0, T),
    Slider("Transition Order Seed", 0, 0, 100000, 0, 10, T),
    Layer("Transition Map"),
    Popup("Transition Map Wrap", 3, kWrapItems, NONE),
    Popup("Transition Map Channel", 1, kChannelItems, NONE),
    Checkbox("Transition Order Invert", false, NONE),
    Popup("Transition Easing Type", 1, kEasingTypeItems, NONE),
    Popup("Transition Easing Mode", 3, kEasingModeItems, NONE),
    FloatSlider("Transition Manual Detail", 100, 50, 1000, 100, 300, 1, PCT, T),
    GroupEnd(),
    GroupStart("Transform"),
    Point("Transform Anchor", 50, 50, T),
    Point("Transform Position", 50, 50, T),
    FloatSlider("Transform Scale", 100, 0, 100000, 0, 200, 1, PCT, T),
    Angle("Transform Rotation", 0, T),
    FixSlider("Transform Opacity", 100, T),
    GroupEnd(),
    GroupStart("Repeater"),
    Popup("Repeater Type", 1, kRepeaterTypeItems, NONE),
    Point("Repeater X", 100, 0, T),
    Point("Repeater Y", 0, 100, T),
    GroupEnd(),
    Popup("Shape Number", 1, kCountItems, N),
};

// ---------------------------------------------------------------- shape groups, 170 to 545
// Names are prefixes; the builder appends the shape number. The "Color "
// default is replaced per shape.
const Row kShapeGroup[] = {
    GroupStart("Shape "),
    FloatSlider("Size ", 100, 0, 10000, 0, 200, 1, PLAIN, T),
    Checkbox("Use Scale ", false, NONE),
    FloatSlider("Scale ", 100, 0, 5000, 0, 200, 1, PCT, T),
    FixSlider("Minimum Scale ", 100, T),
    FixSlider("Width ", 100, T, kIndexPlus2),  // shares the disk id of "Height "
    FixSlider("Minimum Width ", 100, T),
    FixSlider("Height ", 100, T),
    FixSlider("Minimum Height ", 100, T),
    Point("Scale Seed ", 0, 0, T),
    Popup("Shape ", 2, kShapeKindItems, N),
    FloatSlider("Thickness ", 10, 0, 10000, 0, 100, 1, PCT, T),
    FixSlider("Inner Radius ", 0, T),
    Slider("Sides ", 6, 3, 24, 3, 12, T),
    FixSlider("Starness ", 0, T),
    Point("Layer Center ", 50, 50, T),
    Checkbox("Bounding Box ", false, NONE),
    Slider("Frame Offset ", 0, -100000, 100000, -30, 30, T, 17),
    Checkbox("Clamp Frame ", false, NONE),
    Layer("Layer "),
    Popup("Layer Sampling ", 1, kLayerSamplingItems, T),
    Angle("Layer Time ", 0, T),
    Popup("Randomize Layer Sampling ", 1, kRandomizeSamplingItems, NONE),
    Point("Layer Sampling Seed ", 0, 0, T),
    Popup("Toner ", 1, kTonerItems, NONE),
    Color("Highlight ", 255, 255, 255, NONE),
    Color("Shadow ", 0, 0, 0, NONE),
    Checkbox("Preserve Luma ", false, NONE),
    Color("Color ", 0, 0, 0, NONE),
    Color("Stroke Color ", 255, 255, 255, NONE),
    GroupStart("Randomize Color "),
    Angle("Randomize Hue ", 0, T),
    FloatSlider("Randomize Lightness ", 0, 0, 200, 0, 100, 1, PCT, T),
    FloatSlider("Randomize Saturation ", 0, 0, 200, 0, 100, 1, PCT, T),
    Point("Color Seed ", 0, 0, T),
    GroupEnd(),
    FixSlider("Opacity ", 100, T),
    FixSlider("Minimum Opacity ", 100, T),
    Point("Opacity Seed ", 0, 0, T),
    Popup("Fill/Stroke ", 1, kFillStrokeItems, NONE),
    FloatSlider("Stroke Width ", 20, 0, 200, 0, 50, 1, PLAIN, T),
    Angle("Phase ", 0, T),
    Angle("Randomize Phase ", 0, T),
    Point("Phase Seed ", 0, 0, T),
    Slider("Times ", 1, 1, 100, 1, 10, T),
    Popup("Priority ", 1, kPriorityItems, NONE, 41),
    GroupEnd(),
};
static_assert(sizeof kShapeGroup / sizeof kShapeGroup[0] == kShapeGroupSize, "shape group size");

constexpr int kShapeColorMember = 28;
const PF_Pixel kShapeColors[kShapeGroupCount] = {
    {255, 255, 0, 0},   {255, 255, 191, 0}, {255, 128, 255, 0}, {255, 0, 255, 64},
    {255, 0, 255, 255}, {255, 0, 64, 255},  {255, 128, 0, 255}, {255, 255, 0, 191},
};

// ---------------------------------------------------------------- 546 to 556
const Row kGlobalShape[] = {
    GroupStart("Global Shape"),
    FloatSlider("Global Shape Scale", 100, 0, 5000, 0, 100, 1, PCT, T),
    Angle("Global Shape Hue", 0, T),
    FloatSlider("Global Shape Lightness", 100, 0, 1000, 0, 200, 1, PCT, T),
    FloatSlider("Global Shape Saturation", 100, 0, 1000, 0, 200, 1, PCT, T),
    FloatSlider("Global Shape Opacity", 100, 0, 100, 0, 100, 1, PCT, T),
    Angle("Global Shape Phase", 0, T),
    GroupEnd(),
    Slider("Shape Offset", 0, -50000, 50000, 0, 10, T),
    Checkbox("Randomoize Shape", false, NONE),
    Point("Shape Seed", 0, 0, T),
};

// ---------------------------------------------------------------- map groups, 557 to 685
// Names in their 1D form; the Pre 2D and Post 2D groups replace "1D".
enum MapGroups { In1D = 1, InPre2D = 2, InPost2D = 4, InAll = In1D | InPre2D | InPost2D };

struct MapRow {
    int groups;
    Row row;
};

const MapRow kMapGroup[] = {
    {InAll, GroupStart("1D Map")},
    {InAll, GroupStart("Shape Map")},
    {In1D, FloatSlider("1D Shape", 0, 0, 100, 0, 100, 1, PCT, T | S)},
    {InAll, Layer("1D Shape Map")},
    {InPre2D, Popup("Wrap (1D Shape)", 3, kWrapItems, NONE)},
    {InAll, Popup("Channel (1D Shape)", 1, kChannelItems, NONE)},
    {InAll, Checkbox("Invert (1D Shape)", false, NONE)},
    {InAll, GroupEnd()},
    {InAll, GroupStart("Scale Map")},
    {In1D, FloatSlider("1D Scale", 100, 0, 100, 0, 100, 1, PCT, T | S)},
    {InAll, Layer("1D Scale Map")},
    {InPre2D, Popup("Wrap (1D Scale)", 3, kWrapItems, NONE)},
    {InAll, Popup("Channel (1D Scale)", 1, kChannelItems, NONE)},
    {InAll, FloatSlider("Threshold (1D Scale)", 0, 0, 200, 0, 100, 1, PCT, T)},
    {InAll, FloatSlider("Threshold Soft (1D Scale)", 10, 0, 100, 0, 100, 1, PCT, T)},
    {InAll, FloatSlider("Power (1D Scale)", 1, 0, 20, 0, 5, 2, PLAIN, T)},
    {InAll, Checkbox("Invert (1D Scale)", false, NONE)},
    {InAll, FloatSlider("Black (1D Scale)", 0, 0, 100, 0, 100, 1, PCT, T | S)},
    {InAll, FloatSlider("White (1D Scale)", 100, 0, 100, 0, 100, 1, PCT, T | S)},
    {InAll, GroupEnd()},
    {InAll, GroupStart("Color Map")},
    {In1D, Color("1D Color", 255, 0, 0, T | S)},
    {In1D, FloatSlider("1D Color Opacity", 100, 0, 100, 0, 100, 1, PCT, T | S)},
    {InAll, Layer("1D Color Map")},
    {InPre2D, Popup("Wrap (1D Color)", 3, kWrapItems, NONE)},
    {InAll, Popup("Mode (1D Color)", 1, kColorModeItems, NONE)},
    {InAll, Angle("Hue (1D Color)", 0, T)},
    {InAll, FloatSlider("Lightness (1D Color)", 100, 0, 1000, 0, 200, 1, PCT, T)},
    {InAll, FloatSlider("Saturation (1D Color)", 100, 0, 1000, 0, 200, 1, PCT, T)},
    {InAll, GroupStart("Randomize Color")},
    {InAll, Angle("Rnd Hue (1D Color)", 0, T)},
    {InAll, FloatSlider("Rnd Lightness (1D Color)", 0, 0, 200, 0, 100, 1, PCT, T)},
    {InAll, FloatSlider("Rnd Saturation (1D Color)", 0, 0, 200, 0, 100, 1, PCT, T)},
    {InAll, Point("Color Seed (1D Color)", 0, 0, T)},
    {InAll, GroupEnd()},
    {InAll, Color("Highlight (1D Color)", 255, 255, 255, NONE)},
    {InAll, Color("Shadow (1D Color)", 0, 0, 0, NONE)},
    {InAll, Checkbox("Preserve Luma (1D Color)", false, NONE)},
    {InAll, GroupEnd()},
    {InAll, GroupStart("Phase Map")},
    {In1D, FloatSlider("1D Phase", 0, 0, 100, 0, 100, 1, PCT, T | S)},
    {InAll, Layer("1D Phase Map")},
    {InPre2D, Popup("Wrap (1D Phase)", 3, kWrapItems, NONE)},
    {InAll, Popup("Channel (1D Phase)", 1, kChannelItems, NONE)},
    {InAll, Checkbox("Invert (1D Phase)", false, NONE)},
    {InAll, Angle("Black (1D Phase)", 0, T)},
    {InAll, Angle("White (1D Phase)", 360, T)},
    {InAll, GroupEnd()},
    {InAll, GroupEnd()},
};

struct MapGroupKind {
    int bit;
    const char* replacement;
};
const MapGroupKind kMapGroupKinds[] = {{In1D, "1D"}, {InPre2D, "Pre 2D"}, {InPost2D, "Post 2D"}};

// ---------------------------------------------------------------- 686, 687
const Row kBlending[] = {
    Popup("Blending Mode", 1, kBlendingModeItems, NONE),
    Checkbox("On Original", false, NONE),
};

// ---------------------------------------------------------------- builder
class Builder {
public:
    // Appends a row at the next index and resolves its disk id.
    void add(Row row) {
        A_long index = static_cast<A_long>(rows_.size()) + 1;
        if (row.diskId == kOwnIndex)
            row.diskId = index;
        else if (row.diskId == kIndexPlus2)
            row.diskId = index + 2;
        rows_.push_back(std::move(row));
    }
    template <std::size_t Count>
    void add(const Row (&rows)[Count]) {
        for (const Row& r : rows) add(r);
    }
    std::vector<Row> take() { return std::move(rows_); }

private:
    std::vector<Row> rows_;
};

std::string numbered(const std::string& prefix, int n) {
    std::ostringstream s;
    s << prefix << n;
    return s.str();
}

std::vector<Row> build() {
    Builder b;
    const Row* pattern = kPatternBlocks;
    b.add(pattern[0]);  // "Pattern"
    b.add(pattern[1]);  // "Number" of the Point block
    for (int n = 1; n <= 8; ++n) b.add(Point(numbered("Point ", n).c_str(), 50, 50, T));
    for (const Row* r = pattern + 2; r != std::end(kPatternBlocks); ++r) b.add(*r);

    b.add(kCommonGroups);

    for (int n = 1; n <= kShapeGroupCount; ++n) {
        for (int k = 0; k < kShapeGroupSize; ++k) {
            Row r = kShapeGroup[k];
            if (r.type != PF_Param_GROUP_END) r.name = numbered(r.name, n);
            if (k == kShapeColorMember) r.color = kShapeColors[n - 1];
            b.add(std::move(r));
        }
    }

    b.add(kGlobalShape);

    for (const MapGroupKind& kind : kMapGroupKinds) {
        for (const MapRow& m : kMapGroup) {
            if (!(m.groups & kind.bit)) continue;
            Row r = m.row;
            std::string::size_type at = r.name.find("1D");
            if (at != std::string::npos) r.name.replace(at, 2, kind.replacement);
            b.add(std::move(r));
        }
    }

    b.add(kBlending);
    return b.take();
}

}  // namespace

const std::vector<Row>& rows() {
    static const std::vector<Row> table = build();
    return table;
}

A_short popupChoices(const char* items) {
    if (!items) return 0;
    A_short n = 1;
    for (const char* p = items; *p; ++p)
        if (*p == '|') ++n;
    return n;
}

void fillDefinition(const Row& row, PF_ParamDef& def, A_char* (*copyName)(A_char*, const A_char*)) {
    def.param_type = row.type;
    def.flags = row.flags;
    copyName(def.name, row.name.c_str());
    def.uu.id = row.diskId;
    const A_short display = row.display == Display::Percent ? PF_ValueDisplayFlag_PERCENT : 0;
    switch (row.type) {
        case PF_Param_FLOAT_SLIDER: {
            PF_FloatSliderDef& f = def.u.fs_d;
            f.value = row.value;
            f.dephault = static_cast<PF_FpShort>(row.value);
            f.valid_min = static_cast<PF_FpShort>(row.validMin);
            f.valid_max = static_cast<PF_FpShort>(row.validMax);
            f.slider_min = static_cast<PF_FpShort>(row.sliderMin);
            f.slider_max = static_cast<PF_FpShort>(row.sliderMax);
            f.precision = row.precision;
            f.display_flags = display;
            f.curve_tolerance = 0.05f;
            break;
        }
        case PF_Param_SLIDER: {
            PF_SliderDef& s = def.u.sd;
            s.value = s.dephault = static_cast<PF_ParamValue>(row.value);
            s.valid_min = static_cast<PF_ParamValue>(row.validMin);
            s.valid_max = static_cast<PF_ParamValue>(row.validMax);
            s.slider_min = static_cast<PF_ParamValue>(row.sliderMin);
            s.slider_max = static_cast<PF_ParamValue>(row.sliderMax);
            break;
        }
        case PF_Param_FIX_SLIDER: {
            PF_FixedSliderDef& x = def.u.fd;
            x.value = x.dephault = FLOAT2FIX(row.value);
            x.valid_min = FLOAT2FIX(row.validMin);
            x.valid_max = FLOAT2FIX(row.validMax);
            x.slider_min = FLOAT2FIX(row.sliderMin);
            x.slider_max = FLOAT2FIX(row.sliderMax);
            x.precision = row.precision;
            x.display_flags = display;
            break;
        }
        case PF_Param_ANGLE: def.u.ad.value = def.u.ad.dephault = FLOAT2FIX(row.value); break;
        case PF_Param_POINT:
            def.u.td.x_value = def.u.td.x_dephault = FLOAT2FIX(row.x);
            def.u.td.y_value = def.u.td.y_dephault = FLOAT2FIX(row.y);
            break;
        case PF_Param_POPUP:
            def.u.pd.value = static_cast<PF_ParamValue>(row.value);
            def.u.pd.dephault = static_cast<A_short>(row.value);
            def.u.pd.num_choices = popupChoices(row.items);
            def.u.pd.u_names = row.items;
            break;
        case PF_Param_CHECKBOX:
            def.u.bd.value = def.u.bd.dephault = static_cast<PF_ParamValue>(row.value);
            def.u.bd.u_name = row.label;
            break;
        case PF_Param_COLOR: def.u.cd.value = def.u.cd.dephault = row.color; break;
        case PF_Param_LAYER: def.u.ld.dephault = PF_LayerDefault_NONE; break;
        case PF_Param_PATH:
            def.u.path_d.path_id = 0;
            def.u.path_d.dephault = 0;
            break;
        case PF_Param_ARBITRARY_DATA:
            // Drawn by the effect itself in the effect controls.
            def.ui_flags = PF_PUI_CONTROL;
            def.ui_width = 250;
            def.ui_height = 30;
            def.u.arb_d.id = kGraphDataParam;
            break;
        default:  // group starts and ends carry nothing more
            break;
    }
}

}  // namespace ParamTable
