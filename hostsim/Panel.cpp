#include "Panel.h"

#include "Params.h"
#include "Streams.h"

namespace hostsim {

namespace {

Host& host() { return *Host::current(); }
Panel& panel() { return host().get<Panel>(); }

A_Err cbGetDynamicFlags(AEGP_StreamRefH stream, AEGP_DynStreamFlags* flags) {
    if (PF_Err e = host().faults().hit("AEGP_GetDynamicStreamFlags")) return e;
    return panel().getDynamicFlags(stream, flags);
}
A_Err cbSetDynamicFlag(AEGP_StreamRefH stream, AEGP_DynStreamFlags flag, A_Boolean undoable, A_Boolean set) {
    if (PF_Err e = host().faults().hit("AEGP_SetDynamicStreamFlag")) return e;
    return panel().setDynamicFlag(stream, flag, undoable, set);
}
PF_Err cbUpdateParamUI(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef* def) {
    if (PF_Err e = host().faults().hit("PF_UpdateParamUI")) return e;
    return panel().updateParamUI(ref, index, def);
}
PF_Err cbFindKeyframeTime(PF_ProgPtr ref, PF_ParamIndex index, A_long time, A_u_long scale, PF_TimeDir dir,
                          PF_Boolean* found, A_long* key_index, A_long* key_time, A_u_long* key_scale) {
    if (PF_Err e = host().faults().hit("PF_FindKeyframeTime")) return e;
    return panel().findKeyframeTime(ref, index, time, scale, dir, found, key_index, key_time, key_scale);
}
PF_Err cbGetKeyframeCount(PF_ProgPtr ref, PF_ParamIndex index, A_long* count) {
    if (PF_Err e = host().faults().hit("PF_GetKeyframeCount")) return e;
    return panel().keyframeCount(ref, index, count);
}
// Undo states are not simulated: a call is a test that needs more of hostsim.
PF_Err notSimulated(const char* function) {
    host().addViolation(std::string(function) + " is not simulated");
    return PF_Err_INVALID_CALLBACK;
}
PF_Err cbGetCurrentState(PF_ProgPtr, PF_State*) { return notSimulated("PF_GetCurrentState"); }
PF_Err cbAreStatesIdentical(PF_ProgPtr, const PF_State*, const PF_State*, A_Boolean*) {
    return notSimulated("PF_AreStatesIdentical");
}
PF_Err cbIsIdenticalCheckout(PF_ProgPtr, PF_ParamIndex, A_long, A_long, A_u_long, A_long, A_long, A_u_long,
                             PF_Boolean*) {
    return notSimulated("PF_IsIdenticalCheckout");
}

constexpr AEGP_DynStreamFlags kKnownFlags =
    AEGP_DynStreamFlag_ACTIVE_EYEBALL | AEGP_DynStreamFlag_HIDDEN | AEGP_DynStreamFlag_DISABLED;

}  // namespace

void Panel::install(Host& h) {
    host_ = &h;
    dynamic5_ = {cbGetDynamicFlags, cbSetDynamicFlag};
    paramUtils2_ = {cbUpdateParamUI,       cbGetCurrentState,  cbAreStatesIdentical,
                    cbIsIdenticalCheckout, cbFindKeyframeTime, cbGetKeyframeCount};
    h.suites().add(kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion5, &dynamic5_);
    h.suites().add(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion2, &paramUtils2_);
}

void Panel::beforeCommand(Host&, PF_Cmd cmd) {
    std::lock_guard<std::mutex> g(mutex_);
    command_ = cmd;
    // A new table: nothing of the old one's panel state applies.
    if (cmd == PF_Cmd_PARAMS_SETUP) flags_.clear();
}

void Panel::afterCommand(Host&, PF_Cmd) {
    std::lock_guard<std::mutex> g(mutex_);
    command_ = -1;
}

AEGP_DynStreamFlags Panel::dynamicFlags(int index) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = flags_.find(index);
    return it == flags_.end() ? 0 : it->second;
}

bool Panel::grayed(int index) const { return (host_->get<Params>().definition(index).ui_flags & PF_PUI_DISABLED) != 0; }

std::vector<Panel::UiUpdate> Panel::uiUpdates() const {
    std::lock_guard<std::mutex> g(mutex_);
    return uiUpdates_;
}

std::vector<Panel::FlagChange> Panel::flagChanges() const {
    std::lock_guard<std::mutex> g(mutex_);
    return flagChanges_;
}

std::vector<Panel::KeyframeSearch> Panel::keyframeSearches() const {
    std::lock_guard<std::mutex> g(mutex_);
    return searches_;
}

void Panel::clearLog() {
    std::lock_guard<std::mutex> g(mutex_);
    uiUpdates_.clear();
    flagChanges_.clear();
    searches_.clear();
}

int Panel::indexOf(AEGP_StreamRefH stream, const char* function) {
    Streams& streams = host_->get<Streams>();
    std::lock_guard<std::mutex> g(streams.mutex);
    const Streams::Stream* s = streams.find(stream, function);
    return s ? s->index : -1;
}

A_Err Panel::getDynamicFlags(AEGP_StreamRefH stream, AEGP_DynStreamFlags* flags) {
    const int index = indexOf(stream, "AEGP_GetDynamicStreamFlags");
    if (index < 0) return A_Err_PARAMETER;
    if (!flags) {
        host_->addViolation("AEGP_GetDynamicStreamFlags without a place for the flags");
        return A_Err_PARAMETER;
    }
    *flags = dynamicFlags(index);
    return A_Err_NONE;
}

A_Err Panel::setDynamicFlag(AEGP_StreamRefH stream, AEGP_DynStreamFlags flag, A_Boolean undoable, A_Boolean set) {
    const int index = indexOf(stream, "AEGP_SetDynamicStreamFlag");
    if (index < 0) return A_Err_PARAMETER;
    // One flag per call, and only the ones the host knows.
    if (flag == 0 || (flag & (flag - 1)) != 0 || (flag & ~kKnownFlags) != 0) {
        host_->addViolation("AEGP_SetDynamicStreamFlag with flag value " + std::to_string(flag) +
                            " (one known flag per call)");
        return A_Err_PARAMETER;
    }
    std::lock_guard<std::mutex> g(mutex_);
    AEGP_DynStreamFlags& f = flags_[index];
    f = set ? (f | flag) : (f & ~flag);
    flagChanges_.push_back({index, flag, undoable != 0, set != 0});
    return A_Err_NONE;
}

bool Panel::knownParam(PF_ProgPtr effect_ref, PF_ParamIndex index, const char* function) {
    if (effect_ref != host_->effectRef()) {
        host_->addViolation(std::string(function) + " with an effect reference the host never gave");
        return false;
    }
    const int count = host_->get<Params>().count();
    if (index < 1 || index >= count) {
        host_->addViolation(std::string(function) + " of parameter " + std::to_string(index) + " of " +
                            std::to_string(count));
        return false;
    }
    return true;
}

PF_Err Panel::updateParamUI(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def) {
    if (!knownParam(effect_ref, index, "PF_UpdateParamUI")) return PF_Err_BAD_CALLBACK_PARAM;
    Params& params = host_->get<Params>();
    // The host takes the definition as the one of that parameter: a copy of
    // another (or a blank one) is a fault of the effect.
    const PF_ParamDef& registered = params.definition(index);
    if (!def || def->param_type != registered.param_type) {
        host_->addViolation("PF_UpdateParamUI of parameter " + std::to_string(index) +
                            " with a definition that is not that parameter's");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    params.setUiFlags(index, def->ui_flags);
    std::lock_guard<std::mutex> g(mutex_);
    uiUpdates_.push_back({index, def->ui_flags, command_});
    return PF_Err_NONE;
}

PF_Err Panel::findKeyframeTime(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long time, A_u_long scale,
                               PF_TimeDir direction, PF_Boolean* found, A_long* key_index, A_long* key_time,
                               A_u_long* key_scale) {
    if (!knownParam(effect_ref, index, "PF_FindKeyframeTime")) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_TimeDir way = direction & ~PF_TimeDir_INCLUDE;
    if ((way != PF_TimeDir_GREATER_THAN && way != PF_TimeDir_LESS_THAN) || scale == 0 || !found || !key_index ||
        !key_time || !key_scale) {
        host_->addViolation("PF_FindKeyframeTime with a bad direction, a time scale of 0 or a missing output");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    {
        std::lock_guard<std::mutex> g(mutex_);
        searches_.push_back({index, time, scale, direction});
    }
    const bool include = (direction & PF_TimeDir_INCLUDE) != 0;
    const A_Time at{time, scale};
    const std::vector<Keyframe>& keys = host_->get<Params>().keyframes(index);
    int hit = -1;
    if (way == PF_TimeDir_GREATER_THAN) {
        for (int i = 0; i < static_cast<int>(keys.size()) && hit < 0; ++i) {
            const A_Time k = keys[static_cast<std::size_t>(i)].time;
            if (timeLess(at, k) || (include && !timeLess(k, at))) hit = i;
        }
    } else {
        for (int i = static_cast<int>(keys.size()) - 1; i >= 0 && hit < 0; --i) {
            const A_Time k = keys[static_cast<std::size_t>(i)].time;
            if (timeLess(k, at) || (include && !timeLess(at, k))) hit = i;
        }
    }
    *found = hit >= 0;
    if (hit >= 0) {
        const A_Time k = keys[static_cast<std::size_t>(hit)].time;
        *key_index = hit;
        *key_time = k.value;
        *key_scale = k.scale;
    }
    return PF_Err_NONE;
}

PF_Err Panel::keyframeCount(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long* count) {
    if (!knownParam(effect_ref, index, "PF_GetKeyframeCount")) return PF_Err_BAD_CALLBACK_PARAM;
    if (!count) {
        host_->addViolation("PF_GetKeyframeCount without a place for the count");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *count = host_->get<Params>().keyframeCount(index);
    return PF_Err_NONE;
}

}  // namespace hostsim
