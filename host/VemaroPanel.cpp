// The effect controls panel: which parameters are hidden (other layouts, other
// shape kinds) and which are grayed out (ignored by a popup's current mode),
// and the re-render asked for when the user edits a parameter.
#include "VemaroParamTable.h"
#include "VemaroPattern.h"
#include "VemaroPlugin.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

using ParamTable::kParamCount;
using ParamTable::kPatternParam;
using ParamTable::kShapeGroupCount;
using ParamTable::kShapeGroupSize;
using ParamTable::kShapeGroupStart;
using ParamTable::kShapeNumberParam;

// Layout parameters by index.
constexpr int kPointNumber = 2;
constexpr int kRectangleMode = 27, kRectangleHeight = 29;
constexpr int kGridMode = 35, kGridHeight = 37;
constexpr int kFiniteGridMode = 43, kFiniteGridHeight = 45;
constexpr int kPathMode = 61, kPathNumber = 62, kPathInterval = 63;
constexpr int kGraphMode = 100, kGraphNumber = 101, kGraphDetail = 103, kGraphDelta = 104;
constexpr int kRandomMode = 106, kRandomExpansion = 107, kRandomCenter = 108, kRandomWidth = 109, kRandomHeight = 110,
              kRandomRadius = 111;
constexpr int kCycle = 117, kCycleOffset = 118;
constexpr int kDisplacementMode = 120, kDisplacementMap = 121, kDisplacementMapXChannel = 123,
              kDisplacementMapYChannel = 125, kDisplacementSeed = 127;
constexpr int kTransitionMode = 130, kTransitionRest = 133;
constexpr int kTransitionOrder = 146, kTransitionOrderOffset = 147, kTransitionOrderSeed = 148, kTransitionMap = 149,
              kTransitionMapChannel = 151;
constexpr int kRepeaterGroup = 164, kRepeaterType = 165, kRepeaterX = 166, kRepeaterY = 167, kRepeaterGroupEnd = 168;
// Colour-map groups: the mode popup and its Highlight, Shadow, Preserve Luma.
constexpr int k1DColorMode = 579, k1DColorHighlight = 589;
constexpr int kPre2DColorMode = 623, kPre2DColorHighlight = 633;
constexpr int kPost2DColorMode = 664, kPost2DColorHighlight = 674;

// Each layout's block of parameters, in the order of the "Pattern" popup.
struct Block {
    int first, last;
};
constexpr Block kLayoutBlocks[] = {{2, 10},  {11, 14}, {15, 19}, {20, 24}, {25, 33},  {34, 41},
                                   {42, 49}, {50, 55}, {56, 72}, {73, 82}, {83, 104}, {105, 115}};
constexpr int kLayoutCount = 12;

// Layouts that do without cycles and with the Repeater group: bit (Pattern - 1)
// set for all but Line, Grid and Triangular Grid.
constexpr unsigned kNoCycleLayouts = 0xF5D;
bool layoutWithoutCycle(A_long pattern) {
    return pattern >= 1 && pattern <= kLayoutCount && ((kNoCycleLayouts >> (pattern - 1)) & 1u);
}

// Members of a shape group.
enum ShapeMember {
    kMemberSize = 1,
    kMemberUseScale = 2,
    kMemberScale = 3,
    kMemberKind = 10,
    kMemberLayerSampling = 20,
    kMemberLayerTime = 21,
    kMemberLayerSamplingSeed = 23,
    kMemberToner = 24,
    kMemberHighlight = 25,
    kMemberShadow = 26,
    kMemberPreserveLuma = 27,
    kMemberColor = 28,
    kMemberStrokeColor = 29,
    kMemberRandomizeColor = 30,
    kMemberRandomizeColorEnd = 35,
    kMemberFillStroke = 39,
    kMemberStrokeWidth = 40,
};
enum ShapeKind { kLine = 1, kCircle, kPolygon, kInput, kLayer };

int shapeBase(int s) { return kShapeGroupStart + kShapeGroupSize * s; }

// Members hidden (1) or shown (0) by shape kind, Line to Layer; members not
// listed are always shown.
struct KindRow {
    int member;
    unsigned char hidden[5];
};
constexpr KindRow kKindRows[] = {
    {2, {1, 1, 1, 0, 0}},  {3, {1, 1, 1, 0, 0}},  {5, {1, 1, 1, 0, 0}},  {6, {0, 1, 1, 0, 0}},  {7, {1, 1, 1, 0, 0}},
    {8, {0, 1, 1, 0, 0}},  {11, {0, 1, 1, 1, 1}}, {12, {1, 0, 0, 1, 1}}, {13, {1, 1, 0, 1, 1}}, {14, {1, 1, 0, 1, 1}},
    {15, {1, 1, 1, 0, 0}}, {16, {1, 1, 1, 0, 1}}, {17, {1, 1, 1, 0, 1}}, {18, {1, 1, 1, 0, 1}}, {19, {1, 1, 1, 1, 0}},
    {20, {1, 1, 1, 1, 0}}, {21, {1, 1, 1, 1, 0}}, {22, {1, 1, 1, 1, 0}}, {23, {1, 1, 1, 1, 0}}, {24, {1, 1, 1, 0, 0}},
    {25, {1, 1, 1, 0, 0}}, {26, {1, 1, 1, 0, 0}}, {27, {1, 1, 1, 0, 0}}, {29, {0, 0, 0, 1, 1}}, {39, {0, 0, 0, 1, 1}},
    {40, {0, 0, 0, 1, 1}},
};

A_long popup(PF_ParamDef* params[], int index) { return params[index]->u.pd.value; }
bool checkbox(PF_ParamDef* params[], int index) { return params[index]->u.bd.value != 0; }

// Grays and enables one definition after another and stops at the first host
// error. Each definition is copied from the host's array before it is changed,
// so the copy always starts from what the host shows.
class GrayOut {
public:
    GrayOut(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_ParamDef* params[], PF_ParamDef* defs, bool force)
        : in_(in_data), suites_(suites), params_(params), defs_(defs), force_(force) {}

    void operator()(int index, bool gray) {
        if (err_) return;
        defs_[index] = *params_[index];
        err_ = grayOutParameter(in_, suites_, defs_, index, gray, force_);
    }
    void range(int first, int last, bool gray) {
        for (int i = first; i <= last; ++i) (*this)(i, gray);
    }
    PF_Err result() const { return err_; }

private:
    PF_InData* in_;
    AEGP_SuiteHandler& suites_;
    PF_ParamDef** params_;
    PF_ParamDef* defs_;
    bool force_;
    PF_Err err_ = PF_Err_NONE;
};

// A "Width" / "Width & Height" mode: the height counts only with both.
void widthHeightRule(GrayOut& gray, PF_ParamDef* params[], int mode, int height) {
    switch (popup(params, mode)) {
        case 1: gray(height, true); break;
        case 2: gray(height, false); break;
        default: break;
    }
}

// A colour map's mode ("Fill", "Tint", "Tritone", "Hue") against its
// Highlight, Shadow and Preserve Luma.
void colorModeRule(GrayOut& gray, PF_ParamDef* params[], int mode, int highlight) {
    const int shadow = highlight + 1, luma = highlight + 2;
    switch (popup(params, mode)) {
        case 1: gray.range(highlight, luma, true); break;
        case 2:
        case 4:
            gray(highlight, true);
            gray(shadow, true);
            gray(luma, false);
            break;
        case 3:
            gray(highlight, false);
            gray(shadow, false);
            gray(luma, true);
            break;
        default: break;
    }
}

PF_Err grayOutPatternUI(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_ParamDef* params[], PF_ParamDef* defs,
                        bool force) {
    GrayOut gray(in_data, suites, params, defs, force);
    const A_long pattern = popup(params, kPatternParam);

    if (pattern == 1) {
        const A_long number = popup(params, kPointNumber);
        for (int k = 1; k <= 8; ++k) gray(kPointNumber + k, number < k);
    }
    if (pattern == 5) widthHeightRule(gray, params, kRectangleMode, kRectangleHeight);
    if (pattern == 6) widthHeightRule(gray, params, kGridMode, kGridHeight);
    if (pattern == 7) widthHeightRule(gray, params, kFiniteGridMode, kFiniteGridHeight);
    if (pattern == 9) {
        const A_long mode = popup(params, kPathMode);  // Vertex, Number, Interval
        if (mode >= 1 && mode <= 3) {
            gray(kPathNumber, mode != 2);
            gray(kPathInterval, mode != 3);
        }
    }
    if (pattern == 11) {
        const A_long mode = popup(params, kGraphMode);  // Number, Delta
        if (mode == 1 || mode == 2) {
            gray.range(kGraphNumber, kGraphDetail, mode == 2);
            gray(kGraphDelta, mode == 1);
        }
    }
    if (pattern == 12) {
        const A_long mode = popup(params, kRandomMode);  // Layer Size, Rectangle, Circle
        if (mode >= 1 && mode <= 3) {
            gray(kRandomExpansion, mode != 1);
            gray(kRandomCenter, mode == 1);
            gray(kRandomWidth, mode != 2);
            gray(kRandomHeight, mode != 2);
            gray(kRandomRadius, mode != 3);
        }
    }

    const A_long displacement = popup(params, kDisplacementMode);  // Random, Map
    if (displacement == 1 || displacement == 2) {
        const bool map = displacement == 2;
        gray.range(kDisplacementMap, kDisplacementMapXChannel, !map);
        gray(kDisplacementMapYChannel, !map);
        gray(kDisplacementSeed, map);
    }

    const A_long transition = popup(params, kTransitionMode);  // 6, 7: the continuous modes
    gray(kTransitionRest, transition != 6 && transition != 7);

    const A_long order = popup(params, kTransitionOrder);  // Normal, Random, Map, Shape
    if (order >= 1 && order <= 4) {
        gray(kTransitionOrderOffset, order == 3);
        gray(kTransitionOrderSeed, order != 2);
        gray.range(kTransitionMap, kTransitionMapChannel, order != 3);
    }

    if (layoutWithoutCycle(pattern)) {
        gray(kRepeaterGroup, false);
        gray(kRepeaterType, false);
        switch (popup(params, kRepeaterType)) {  // None, 1D, 2D
            case 1:
                gray(kRepeaterX, true);
                gray(kRepeaterY, true);
                break;
            case 2:
                gray(kRepeaterX, false);
                gray(kRepeaterY, true);
                break;
            case 3:
                gray(kRepeaterX, false);
                gray(kRepeaterY, false);
                break;
            default: break;
        }
        gray(kRepeaterGroupEnd, false);
    } else {
        gray.range(kRepeaterGroup, kRepeaterGroupEnd, true);
    }

    colorModeRule(gray, params, k1DColorMode, k1DColorHighlight);
    colorModeRule(gray, params, kPre2DColorMode, kPre2DColorHighlight);
    colorModeRule(gray, params, kPost2DColorMode, kPost2DColorHighlight);
    return gray.result();
}

PF_Err grayOutShapeUI(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_ParamDef* params[], PF_ParamDef* defs, int s,
                      bool force) {
    const int base = shapeBase(s);
    auto value = [&](int member) { return popup(params, base + member); };

    // Groups beyond the shapes in use are grayed in full.
    bool grayed[kShapeGroupSize];
    const bool unused = s >= popup(params, kShapeNumberParam);
    for (bool& g : grayed) g = unused;

    const A_long kind = value(kMemberKind);
    const bool drawn = kind == kLine || kind == kCircle || kind == kPolygon;
    const bool copied = kind == kInput || kind == kLayer;
    if (drawn && value(kMemberFillStroke) == 1) grayed[kMemberStrokeColor] = grayed[kMemberStrokeWidth] = true;
    if (copied) grayed[checkbox(params, base + kMemberUseScale) ? kMemberSize : kMemberScale] = true;
    if (kind == kLayer) {
        const A_long sampling = value(kMemberLayerSampling);  // Current Time, Still Frame, Play Once, Loop
        if (sampling == 1 || sampling == 3)
            for (int m = kMemberLayerTime; m <= kMemberLayerSamplingSeed; ++m) grayed[m] = true;
    }
    if (copied) {
        // Toner: None, HLS, Fill, Tint, Tritone, Hue.
        switch (value(kMemberToner)) {
            case 1:
                for (int m = kMemberHighlight; m <= kMemberColor; ++m) grayed[m] = true;
                for (int m = kMemberRandomizeColor; m <= kMemberRandomizeColorEnd; ++m) grayed[m] = true;
                break;
            case 2: grayed[kMemberHighlight] = grayed[kMemberShadow] = grayed[kMemberColor] = true; break;
            case 3: grayed[kMemberHighlight] = grayed[kMemberShadow] = grayed[kMemberPreserveLuma] = true; break;
            case 4:
            case 6: grayed[kMemberHighlight] = grayed[kMemberShadow] = true; break;
            case 5: grayed[kMemberPreserveLuma] = true; break;
            default: break;
        }
    }

    GrayOut gray(in_data, suites, params, defs, force);
    for (int k = 0; k < kShapeGroupSize; ++k) gray(base + k, grayed[k]);
    return gray.result();
}

PF_Err updatePatternUI(int pluginId, PF_InData* in_data, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect,
                       PF_ParamDef* params[], PF_ParamDef* defs) {
    PF_Err err = grayOutPatternUI(in_data, suites, params, defs, true);
    if (err) return err;
    const A_long pattern = popup(params, kPatternParam);
    for (int layout = 1; layout <= kLayoutCount; ++layout) {
        const Block& block = kLayoutBlocks[layout - 1];
        for (int i = block.first; i <= block.last; ++i)
            if ((err = hideParameter(pluginId, suites, effect, i, pattern != layout))) return err;
    }
    // "Auto Orient" (116) is never hidden.
    const bool noCycle = layoutWithoutCycle(pattern);
    if ((err = hideParameter(pluginId, suites, effect, kCycle, noCycle))) return err;
    return hideParameter(pluginId, suites, effect, kCycleOffset, noCycle);
}

PF_Err updateShapeUI(int pluginId, PF_InData* in_data, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect,
                     PF_ParamDef* params[], PF_ParamDef* defs, int s) {
    PF_Err err = grayOutShapeUI(in_data, suites, params, defs, s, true);
    if (err) return err;
    const A_long kind = popup(params, shapeBase(s) + kMemberKind);
    if (kind < kLine || kind > kLayer) return PF_Err_NONE;
    for (const KindRow& row : kKindRows)
        if ((err = hideParameter(pluginId, suites, effect, shapeBase(s) + row.member, row.hidden[kind - 1])))
            return err;
    return PF_Err_NONE;
}

// Hands the instance's AEGP effect reference back on every way out; the
// disposal suite is acquired before the reference is.
class EffectRef {
public:
    explicit EffectRef(AEGP_SuiteHandler& suites) : effects_(suites.EffectSuite2()) {}
    ~EffectRef() {
        if (!effect_) return;
        try {
            effects_->AEGP_DisposeEffect(effect_);
        } catch (...) {
            // Only while unwinding from an earlier error, which is the one reported.
        }
    }
    EffectRef(const EffectRef&) = delete;
    EffectRef& operator=(const EffectRef&) = delete;

    AEGP_EffectRefH* out() { return &effect_; }
    AEGP_EffectRefH get() const { return effect_; }
    PF_Err dispose() {
        if (!effect_) return PF_Err_NONE;
        AEGP_EffectRefH e = effect_;
        effect_ = nullptr;
        return effects_->AEGP_DisposeEffect(e);
    }

private:
    AEGP_EffectSuite2* effects_;
    AEGP_EffectRefH effect_ = nullptr;
};

bool olderThan13_2(const PF_SpecVersion& v) { return v.major < 13 || (v.major == 13 && v.minor < 2); }

// The sliders whose change is checked against their keyframes: those of the
// transition only while their "Manual" checkbox is on, the 1D map curves
// always.
bool keyframedSliderToCheck(PF_ParamDef* params[], int index) {
    switch (index) {
        case 134:  // Transition Offset, Scale, Opacity, Phase: the checkbox after each
        case 136:
        case 142:
        case 144: return checkbox(params, index + 1);
        case 138:  // Transition Hue, Lightness, Saturation: "Manual Color"
        case 139:
        case 140: return checkbox(params, 141);
        case 559:  // 1D Shape, 1D Scale, 1D Color, 1D Color Opacity, 1D Phase
        case 565:
        case 576:
        case 577:
        case 594: return true;
        default: return false;
    }
}

// a / b == c / d for host times; a zero scale is no time at all.
bool sameTime(A_long a, A_u_long b, A_long c, A_u_long d) {
    if (b == 0 || d == 0) return false;
    return static_cast<int64_t>(a) * static_cast<int64_t>(d) == static_cast<int64_t>(c) * static_cast<int64_t>(b);
}

}  // namespace

PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*) {
    // The panel is redrawn whatever happens below.
    out_data->out_flags |= PF_OutFlag_REFRESH_UI;
    if (!params || in_data->num_params < kParamCount) return PF_Err_BAD_CALLBACK_PARAM;
    if (!in_data->global_data || !*in_data->global_data) return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const int pluginId = static_cast<const GlobalData*>(*in_data->global_data)->pluginId;
    // Without sequence data the panel is still brought up to date, in full,
    // with nothing to remember.
    SequenceData scratch{};
    SequenceData* seq = in_data->sequence_data && *in_data->sequence_data
                            ? static_cast<SequenceData*>(*in_data->sequence_data)
                            : &scratch;

    AEGP_SuiteHandler suites(in_data->pica_basicP);
    EffectRef effect(suites);
    PF_Err err = suites.PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(pluginId, in_data->effect_ref, effect.out());
    std::vector<PF_ParamDef> copies(static_cast<std::size_t>(kParamCount));
    PF_ParamDef* defs = copies.data();

    // A remembered value stands for an update that was applied: after an
    // error the next pass still sees the change and applies it.
    auto pattern = [&] {
        if (err) return;
        const A_long p = popup(params, kPatternParam);
        if (!(err = updatePatternUI(pluginId, in_data, suites, effect.get(), params, defs))) seq->lastPattern = p;
    };
    auto shape = [&](int s) {
        if (err) return;
        const A_long kind = popup(params, shapeBase(s) + kMemberKind);
        if (!(err = updateShapeUI(pluginId, in_data, suites, effect.get(), params, defs, s)))
            seq->lastShapeType[s] = kind;
    };
    auto allShapes = [&] {
        const A_long number = popup(params, kShapeNumberParam);
        for (int s = 0; s < kShapeGroupCount; ++s) shape(s);
        if (!err) seq->lastShapeNumber = number;
    };

    if (seq->initCount < 3) {
        pattern();
        allShapes();
        if (!err) ++seq->initCount;
    } else {
        const bool oldHost = olderThan13_2(in_data->version);
        if (popup(params, kPatternParam) != seq->lastPattern)
            pattern();
        else if (!err)
            err = grayOutPatternUI(in_data, suites, params, defs, oldHost);

        const A_long number = popup(params, kShapeNumberParam);
        if (number == seq->lastShapeNumber) {
            // Newer hosts pass each definition as it stands, so only the
            // shapes in use need checking and only real changes are sent.
            const A_long visited = oldHost ? kShapeGroupCount : std::clamp<A_long>(number, 0, kShapeGroupCount);
            for (int s = 0; s < visited; ++s) {
                if (popup(params, shapeBase(s) + kMemberKind) != seq->lastShapeType[s])
                    shape(s);
                else if (!err)
                    err = grayOutShapeUI(in_data, suites, params, defs, s, oldHost);
            }
        } else {
            allShapes();
        }
    }

    const PF_Err disposeErr = effect.dispose();
    if (!err) err = disposeErr;
    return err;
}

PF_Err UserChangedParam(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*, void* extra) {
    // Any change may alter the picture.
    out_data->out_flags |= PF_OutFlag_FORCE_RERENDER;
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    const auto* changed = static_cast<const PF_UserChangedParamExtra*>(extra);
    if (!changed || !params || in_data->num_params < kParamCount) return PF_Err_BAD_CALLBACK_PARAM;
    const int index = changed->param_index;
    if (!keyframedSliderToCheck(params, index)) return PF_Err_NONE;
    // Without a time scale there is no current time to compare with.
    if (in_data->time_scale == 0) return PF_Err_BAD_CALLBACK_PARAM;

    // A change made at one of the slider's keyframes is marked as a change of
    // that keyframe's value.
    PF_Boolean found = false;
    A_long keyIndex = -1;
    A_long keyTime = 0;
    A_u_long keyScale = 0;
    const PF_Err err = suites.ParamUtilsSuite2()->PF_FindKeyframeTime(
        in_data->effect_ref, index, in_data->current_time, in_data->time_scale, PF_TimeDir_GREATER_THAN_OR_EQUAL,
        &found, &keyIndex, &keyTime, &keyScale);
    if (found && sameTime(keyTime, keyScale, in_data->current_time, in_data->time_scale))
        params[index]->uu.change_flags |= PF_ChangeFlag_CHANGED_VALUE;
    return err;
}
