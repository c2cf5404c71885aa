// The effect controls panel of the host: the dynamic flags of each parameter's
// stream ("AEGP Dynamic Stream Suite" 5; hidden parameters are kept with the
// instance), the ui_flags the effect pushes with PF_UpdateParamUI and its
// keyframe searches ("PF Param Utils Suite" 2). Every call is logged so tests
// can tell a pass that re-sends everything from one that sends changes only.
#pragma once

#include "Host.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

class Panel : public Component {
public:
    struct UiUpdate {
        int index;
        PF_ParamUIFlags flags;
        PF_Cmd command;  // the command in flight
    };
    struct FlagChange {
        int index;
        AEGP_DynStreamFlags flag;
        bool undoable;
        bool set;
    };
    struct KeyframeSearch {
        int index;
        A_long time;
        A_u_long scale;
        PF_TimeDir direction;
    };

    void install(Host& host) override;
    void beforeCommand(Host&, PF_Cmd cmd) override;
    void afterCommand(Host&, PF_Cmd) override;

    // ---- state the effect left in the panel
    AEGP_DynStreamFlags dynamicFlags(int index) const;
    bool hidden(int index) const { return (dynamicFlags(index) & AEGP_DynStreamFlag_HIDDEN) != 0; }
    // The grayed bit of the host's definition.
    bool grayed(int index) const;

    // ---- what the effect called, in order, since the last clearLog()
    std::vector<UiUpdate> uiUpdates() const;
    std::vector<FlagChange> flagChanges() const;
    std::vector<KeyframeSearch> keyframeSearches() const;
    void clearLog();

    // Callback bodies.
    A_Err getDynamicFlags(AEGP_StreamRefH stream, AEGP_DynStreamFlags* flags);
    A_Err setDynamicFlag(AEGP_StreamRefH stream, AEGP_DynStreamFlags flag, A_Boolean undoable, A_Boolean set);
    PF_Err updateParamUI(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def);
    PF_Err findKeyframeTime(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long time, A_u_long scale,
                            PF_TimeDir direction, PF_Boolean* found, A_long* key_index, A_long* key_time,
                            A_u_long* key_scale);
    PF_Err keyframeCount(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long* count);

private:
    // A parameter of the effect, named by an effect reference the host gave;
    // false after a violation.
    bool knownParam(PF_ProgPtr effect_ref, PF_ParamIndex index, const char* function);
    // The parameter index behind an open effect stream (see Streams); -1
    // after a violation for anything else.
    int indexOf(AEGP_StreamRefH stream, const char* function);

    Host* host_ = nullptr;
    mutable std::mutex mutex_;
    std::map<int, AEGP_DynStreamFlags> flags_;
    std::vector<UiUpdate> uiUpdates_;
    std::vector<FlagChange> flagChanges_;
    std::vector<KeyframeSearch> searches_;
    PF_Cmd command_ = -1;
    AEGP_DynamicStreamSuite5 dynamic5_{};
    PF_ParamUtilsSuite2 paramUtils2_{};
};

}  // namespace hostsim
