// The parameter side of the host: the definitions an effect registers at
// params setup (validated as the host would), one value per parameter with
// keyframes, the params[] array of a command at a given time, and check-out /
// check-in of parameters at any time with accounting of what is still out.
#pragma once

#include "Host.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

// One value of a parameter, by type:
//   sliders, angles (degrees), checkboxes, popups, path ids, layer ids: v[0]
//     (fixed sliders in their displayed unit, e.g. 0 to 100 percent)
//   points: v[0], v[1] = x, y in full-resolution layer pixels
//   colours: v[0..3] = alpha, red, green, blue, 0 to 255
//   arbitrary data: data, a host-owned handle
struct ParamValue {
    double v[4] = {0, 0, 0, 0};
    PF_Handle data = nullptr;
};

struct Keyframe {
    A_Time time{0, 1};
    ParamValue value;
};

// Layer ids a layer parameter can hold.
enum : int { kLayerNone = 0, kLayerSelf = -1 };

// A stored layer or mask id as the int the API carries. Values are checked
// when they are set; one outside int (possible only by bypassing the check)
// reads as no layer instead of wrapping onto another id.
inline int idOf(double v) { return v >= -2147483648.0 && v <= 2147483647.0 ? static_cast<int>(v) : kLayerNone; }

// What a layer check-out asks of the composition.
struct LayerRequest {
    int index = 0;    // parameter index
    int layerId = 0;  // kLayerSelf, kLayerNone or a layer of the composition
    A_long time = 0, step = 0;
    A_u_long scale = 1;
};

// The layer geometry values are converted for.
struct ParamFrame {
    A_long width = 0, height = 0;  // layer size at full resolution
    PF_RationalScale downsampleX{1, 1}, downsampleY{1, 1};
};

// A params[] array owned by the host for one command.
class ParamArray {
public:
    PF_ParamDef** get() { return pointers_.data(); }
    PF_ParamDef& operator[](int i) { return defs_[static_cast<std::size_t>(i)]; }
    int size() const { return static_cast<int>(defs_.size()); }
    A_Time time() const { return time_; }

private:
    friend class Params;
    std::vector<PF_ParamDef> defs_;
    std::vector<PF_ParamDef*> pointers_;
    A_Time time_{0, 1};
};

class Params : public Component {
public:
    Params();
    ~Params() override;

    void install(Host&) override;
    void beforeCommand(Host&, PF_Cmd) override;
    void afterCommand(Host&, PF_Cmd) override;
    void commandLeaks(std::vector<std::string>&) const override;

    // Sends PF_Cmd_PARAMS_SETUP. What an earlier setup registered is dropped
    // first; the host adds index 0, the input layer, itself.
    PF_Err setup();

    // ------------------------------------------------ the registered table
    int count() const;  // definitions including index 0
    // The definition as registered (uu.id is the disk id). Strings it points
    // to are the host's own copies.
    const PF_ParamDef& definition(int index) const;
    std::vector<std::string> popupItems(int index) const;
    // The ui_flags of the host's copy of a definition, as an update of the
    // effect's panel leaves them; params[] and check-outs carry them.
    void setUiFlags(int index, PF_ParamUIFlags flags);
    std::string checkboxLabel(int index) const;
    // Index of the group start that encloses the parameter, -1 at top level.
    int parentGroup(int index) const;
    // Names of the enclosing groups, outermost first.
    std::vector<std::string> groupPath(int index) const;
    static const char* typeName(PF_ParamType type);  // "FLOAT_SLIDER", ...

    // What the effect reported and registered besides definitions.
    A_long reportedNumParams() const { return reportedNumParams_; }
    int uiRegistrations() const { return uiRegistrations_; }
    const PF_CustomUIInfo& uiInfo() const { return uiInfo_; }
    const std::string& optionsButtonName() const { return optionsButtonName_; }

    // ------------------------------------------------ values
    // The layer geometry of the command in flight, else of the next command.
    ParamFrame frame() const;
    // The default as a value (points converted from percent at frame()).
    ParamValue defaultValue(int index) const;
    ParamValue valueAt(int index, A_Time time) const;
    // A constant value; drops any keyframes. Arbitrary data: the handle
    // becomes the host's.
    void setValue(int index, const ParamValue& value);
    // Replaces the keyframes (sorted here by time; an empty list makes the
    // parameter constant at its current static value).
    void setKeyframes(int index, std::vector<Keyframe> keys);
    // Hold interpolation: between keyframes the earlier key's value stands
    // (types that cannot interpolate always hold).
    void setHold(int index, bool hold);
    bool hold(int index) const;
    const std::vector<Keyframe>& keyframes(int index) const;
    int keyframeCount(int index) const { return static_cast<int>(keyframes(index).size()); }
    // "" when the value suits the parameter, else why not.
    std::string checkValue(int index, const ParamValue& value) const;
    // Whether the parameter holds a value and may be keyframed.
    static bool hasValue(PF_ParamType type);
    bool canVary(int index) const;

    // A definition carrying the value at a time, in the units of a frame.
    void fill(int index, A_Time time, const ParamFrame& frame, PF_ParamDef& out) const;
    // Reads a value back from a definition the effect changed.
    ParamValue read(int index, const PF_ParamDef& def, const ParamFrame& frame) const;

    // ------------------------------------------------ commands
    // params[] at a time (layer entries through the array hook).
    std::unique_ptr<ParamArray> buildArray(A_Time time, const ParamFrame& frame) const;
    // Sends a command with params[] at the next command's current time, then
    // keeps the values the effect marked PF_ChangeFlag_CHANGED_VALUE.
    PF_Err send(PF_Cmd cmd, void* extra = nullptr, PF_LayerDef* output = nullptr);

    int outstandingCheckouts() const;

    // ------------------------------------------------ layer hooks
    // The composition fills layer worlds; without it a checked-out layer is
    // an empty world.
    std::function<PF_Err(const LayerRequest&, PF_LayerDef&)> checkoutLayer;
    std::function<void(const LayerRequest&)> checkinLayer;
    std::function<void(int index, int layerId, PF_LayerDef&)> arrayLayer;

    // What the host finds wrong with a definition at add_param, "" if nothing:
    // a name longer than 31 characters, reversed ranges, a slider range
    // outside the valid range, a default outside it, popup items that do not
    // match the choice count, ...
    std::string validate(const PF_ParamDef& def) const;

    // Callback bodies (public for the C callbacks of the host records).
    PF_Err addParam(PF_ParamIndex index, const PF_ParamDef* def);
    PF_Err registerUi(const PF_CustomUIInfo* info);
    PF_Err setOptionsButtonName(const A_char* name);
    PF_Err checkout(PF_ParamIndex index, A_long time, A_long step, A_u_long scale, PF_ParamDef* out);
    PF_Err checkin(PF_ParamDef* def);

private:
    struct Slot;
    struct Checkout {
        const PF_ParamDef* where;
        int index;
        bool layer;
        LayerRequest request;
    };

    Slot& slot(int index);
    const Slot& slot(int index) const;
    void clear();
    void addInputLayer();
    PF_Handle copyHandle(PF_Handle h) const;
    void violation(const std::string& what) const;

    Host* host_ = nullptr;
    mutable std::recursive_mutex mutex_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::vector<int> openGroups_;
    std::vector<Checkout> open_;
    std::vector<std::string> leaked_;
    bool inCommand_ = false;
    PF_Cmd command_ = -1;
    bool refused_ = false;
    A_long reportedNumParams_ = 0;
    int uiRegistrations_ = 0;
    PF_CustomUIInfo uiInfo_{};
    std::string optionsButtonName_;
    PF_EffectUISuite1 effectUi_{};
};

// Host time helpers.
bool timeLess(A_Time a, A_Time b);
double seconds(A_Time t);

}  // namespace hostsim
