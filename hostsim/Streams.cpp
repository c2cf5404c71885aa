#include "Streams.h"

#include <algorithm>
#include <cstring>

namespace hostsim {

namespace {

Host& host() { return *Host::current(); }
Streams& streams() { return host().get<Streams>(); }
Params& params() { return host().get<Params>(); }

AEGP_StreamType typeOf(PF_ParamType t) {
    switch (t) {
        case PF_Param_POINT: return AEGP_StreamType_TwoD_SPATIAL;
        case PF_Param_POINT_3D: return AEGP_StreamType_ThreeD_SPATIAL;
        case PF_Param_COLOR: return AEGP_StreamType_COLOR;
        case PF_Param_ARBITRARY_DATA: return AEGP_StreamType_ARB;
        case PF_Param_LAYER: return AEGP_StreamType_LAYER_ID;
        case PF_Param_PATH: return AEGP_StreamType_MASK_ID;
        case PF_Param_GROUP_START:
        case PF_Param_GROUP_END: return AEGP_StreamType_NO_DATA;
        default: return AEGP_StreamType_OneD;
    }
}

// A stream value in the suite's units: colours 0 to 1, the rest as stored.
// Arbitrary data comes as the effect's own copy of the handle.
AEGP_StreamVal2 toStreamValue(PF_ParamType type, const ParamValue& v) {
    AEGP_StreamVal2 out{};
    switch (type) {
        case PF_Param_POINT: out.two_d = {v.v[0], v.v[1]}; break;
        case PF_Param_POINT_3D: out.three_d = {v.v[0], v.v[1], v.v[2]}; break;
        case PF_Param_COLOR: out.color = {v.v[0] / 255.0, v.v[1] / 255.0, v.v[2] / 255.0, v.v[3] / 255.0}; break;
        case PF_Param_LAYER: out.layer_id = idOf(v.v[0]); break;
        case PF_Param_PATH: out.mask_id = idOf(v.v[0]); break;
        case PF_Param_ARBITRARY_DATA: {
            HandleTable& h = host().handles();
            if (v.data && h.valid(v.data)) {
                std::size_t size = h.size(v.data);
                PF_Handle copy = h.create(size);
                std::memcpy(*copy, *v.data, size);
                out.arbH = copy;
            }
            break;
        }
        default: out.one_d = v.v[0]; break;
    }
    return out;
}

ParamValue fromStreamValue(PF_ParamType type, const AEGP_StreamVal2& s, ParamValue v) {
    switch (type) {
        case PF_Param_POINT: v.v[0] = s.two_d.x, v.v[1] = s.two_d.y; break;
        case PF_Param_POINT_3D: v.v[0] = s.three_d.x, v.v[1] = s.three_d.y, v.v[2] = s.three_d.z; break;
        case PF_Param_COLOR:
            v.v[0] = s.color.alphaF * 255.0, v.v[1] = s.color.redF * 255.0, v.v[2] = s.color.greenF * 255.0,
            v.v[3] = s.color.blueF * 255.0;
            break;
        case PF_Param_LAYER: v.v[0] = s.layer_id; break;
        case PF_Param_PATH: v.v[0] = s.mask_id; break;
        case PF_Param_ARBITRARY_DATA: {
            HandleTable& h = host().handles();
            if (s.arbH && h.valid(s.arbH)) {
                std::size_t size = h.size(s.arbH);
                PF_Handle copy = h.create(size, true);
                std::memcpy(*copy, *s.arbH, size);
                v.data = copy;
            }
            break;
        }
        default: v.v[0] = s.one_d; break;
    }
    return v;
}

PF_ParamType typeOfIndex(int index) { return params().definition(index).param_type; }

// The parameter index of an open stream; -1 (and a violation) for any other handle.
int indexOf(AEGP_StreamRefH h, const char* function) {
    Streams& s = streams();
    std::lock_guard<std::mutex> g(s.mutex);
    Streams::Stream* st = s.find(h, function);
    return st ? st->index : -1;
}

// ------------------------------------------------------------------ stream suite
A_Err getNewEffectStreamByIndex(AEGP_PluginID, AEGP_EffectRefH effect, PF_ParamIndex index, AEGP_StreamRefH* out) {
    *out = nullptr;
    if (PF_Err e = host().faults().hit("AEGP_GetNewEffectStreamByIndex")) return e;
    if (!effect) {
        host().addViolation("AEGP_GetNewEffectStreamByIndex without an effect reference");
        return A_Err_PARAMETER;
    }
    if (index < 0 || index >= params().count()) return A_Err_PARAMETER;
    // Groups have streams too (without values): the panel hides them.
    const PF_ParamType type = typeOfIndex(index);
    if (!Params::hasValue(type) && type != PF_Param_GROUP_START && type != PF_Param_GROUP_END) return A_Err_PARAMETER;
    Streams& s = streams();
    std::lock_guard<std::mutex> g(s.mutex);
    auto st = std::make_unique<Streams::Stream>();
    st->index = index;
    *out = reinterpret_cast<AEGP_StreamRefH>(st.get());
    s.streams[st.get()] = std::move(st);
    ++s.opened;
    return A_Err_NONE;
}

A_Err disposeStream(AEGP_StreamRefH h) {
    if (PF_Err e = host().faults().hit("AEGP_DisposeStream")) return e;
    Streams& s = streams();
    std::unique_lock<std::mutex> g(s.mutex);
    auto it = s.streams.find(h);
    if (it == s.streams.end()) {
        g.unlock();
        host().addViolation("AEGP_DisposeStream of an unknown or already disposed stream");
        return A_Err_PARAMETER;
    }
    s.streams.erase(it);
    return A_Err_NONE;
}

A_Err getStreamType(AEGP_StreamRefH h, AEGP_StreamType* type) {
    if (PF_Err e = host().faults().hit("AEGP_GetStreamType")) return e;
    const int index = indexOf(h, "AEGP_GetStreamType");
    if (index < 0) return A_Err_PARAMETER;
    *type = typeOf(typeOfIndex(index));
    return A_Err_NONE;
}

A_Err getNewStreamValue(AEGP_PluginID, AEGP_StreamRefH h, AEGP_LTimeMode mode, const A_Time* time,
                        A_Boolean pre_expression, AEGP_StreamValue2* value) {
    if (PF_Err e = host().faults().hit("AEGP_GetNewStreamValue")) return e;
    if (!time || !value || time->scale == 0) return A_Err_PARAMETER;
    Streams& s = streams();
    int index;
    {
        std::lock_guard<std::mutex> g(s.mutex);
        Streams::Stream* st = s.find(h, "AEGP_GetNewStreamValue");
        if (!st) return A_Err_PARAMETER;
        index = st->index;
        s.log.push_back({index, *time, mode, pre_expression != 0});
        ++s.values[h];
    }
    // The effect layer starts at composition time 0: both time modes agree.
    value->streamH = h;
    value->val = toStreamValue(typeOfIndex(index), s.valueAt(index, *time));
    return A_Err_NONE;
}

A_Err disposeStreamValue(AEGP_StreamValue2* value) {
    if (PF_Err e = host().faults().hit("AEGP_DisposeStreamValue")) return e;
    Streams& s = streams();
    std::unique_lock<std::mutex> g(s.mutex);
    auto it = value ? s.values.find(value->streamH) : s.values.end();
    if (it == s.values.end() || it->second <= 0) {
        g.unlock();
        host().addViolation("AEGP_DisposeStreamValue of a value that was not handed out");
        return A_Err_PARAMETER;
    }
    if (--it->second == 0) s.values.erase(it);
    auto st = s.streams.find(value->streamH);
    const bool arb = st != s.streams.end() && typeOfIndex(st->second->index) == PF_Param_ARBITRARY_DATA;
    g.unlock();
    if (arb && value->val.arbH) {
        host().handles().dispose(value->val.arbH);
        value->val.arbH = nullptr;
    }
    return A_Err_NONE;
}

A_Err setStreamValue(AEGP_PluginID, AEGP_StreamRefH h, AEGP_StreamValue2* value) {
    if (PF_Err e = host().faults().hit("AEGP_SetStreamValue")) return e;
    const int index = indexOf(h, "AEGP_SetStreamValue");
    if (index < 0 || !value) return A_Err_PARAMETER;
    if (params().keyframeCount(index) > 0) return A_Err_PARAMETER;  // keyframed: the host refuses
    const PF_ParamType type = typeOfIndex(index);
    params().setValue(index, fromStreamValue(type, value->val, params().valueAt(index, {0, 1})));
    return A_Err_NONE;
}

// ------------------------------------------------------------------ keyframe suite
A_Err getStreamNumKFs(AEGP_StreamRefH h, A_long* count) {
    if (PF_Err e = host().faults().hit("AEGP_GetStreamNumKFs")) return e;
    const int index = indexOf(h, "AEGP_GetStreamNumKFs");
    if (index < 0) return A_Err_PARAMETER;
    *count = params().keyframeCount(index);
    return A_Err_NONE;
}

A_Err getKeyframeTime(AEGP_StreamRefH h, AEGP_KeyframeIndex key, AEGP_LTimeMode, A_Time* time) {
    if (PF_Err e = host().faults().hit("AEGP_GetKeyframeTime")) return e;
    const int index = indexOf(h, "AEGP_GetKeyframeTime");
    if (index < 0) return A_Err_PARAMETER;
    const std::vector<Keyframe>& keys = params().keyframes(index);
    if (key < 0 || std::size_t(key) >= keys.size()) return A_Err_PARAMETER;
    *time = keys[std::size_t(key)].time;
    return A_Err_NONE;
}

A_Err getNewKeyframeValue(AEGP_PluginID, AEGP_StreamRefH h, AEGP_KeyframeIndex key, AEGP_StreamValue2* value) {
    if (PF_Err e = host().faults().hit("AEGP_GetNewKeyframeValue")) return e;
    Streams& s = streams();
    const int index = indexOf(h, "AEGP_GetNewKeyframeValue");
    if (index < 0) return A_Err_PARAMETER;
    const std::vector<Keyframe> keys = params().keyframes(index);
    if (key < 0 || std::size_t(key) >= keys.size()) return A_Err_PARAMETER;
    {
        std::lock_guard<std::mutex> g(s.mutex);
        ++s.values[h];
    }
    value->streamH = h;
    value->val = toStreamValue(typeOfIndex(index), keys[std::size_t(key)].value);
    return A_Err_NONE;
}

}  // namespace

void Streams::install(Host& h) {
    stream9_ = {getNewEffectStreamByIndex, disposeStream,      getStreamType,
                getNewStreamValue,         disposeStreamValue, setStreamValue};
    keyframe4_ = {getStreamNumKFs, getKeyframeTime, getNewKeyframeValue};
    h.suites().add(kAEGPStreamSuite, kAEGPStreamSuiteVersion9, &stream9_);
    h.suites().add(kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion4, &keyframe4_);
}

Streams::Stream* Streams::find(AEGP_StreamRefH h, const char* function) {
    auto it = streams.find(h);
    if (it != streams.end()) return it->second.get();
    // Called with the lock held; the host's violation list has its own.
    host().addViolation(std::string(function) + " on an unknown or disposed stream");
    return nullptr;
}

void Streams::commandLeaks(std::vector<std::string>& out) const {
    std::lock_guard<std::mutex> g(mutex);
    int open = 0;
    for (const auto& v : values) open += v.second;
    if (!streams.empty()) out.push_back(std::to_string(streams.size()) + " stream(s) not disposed");
    if (open) out.push_back(std::to_string(open) + " stream value(s) not disposed");
}

void Streams::unloadLeaks(std::vector<std::string>& out) const { commandLeaks(out); }

ParamValue Streams::valueAt(int index, A_Time time) const { return host().get<Params>().valueAt(index, time); }

std::vector<Streams::ValueRequest> Streams::requests() const {
    std::lock_guard<std::mutex> g(mutex);
    return log;
}

void Streams::reclaimAll() {
    std::lock_guard<std::mutex> g(mutex);
    streams.clear();
    values.clear();
}

void Streams::clearRequests() {
    std::lock_guard<std::mutex> g(mutex);
    log.clear();
}

int Streams::openStreams() const {
    std::lock_guard<std::mutex> g(mutex);
    return static_cast<int>(streams.size());
}

int Streams::openValues() const {
    std::lock_guard<std::mutex> g(mutex);
    int n = 0;
    for (const auto& v : values) n += v.second;
    return n;
}

int Streams::streamsOpened() const {
    std::lock_guard<std::mutex> g(mutex);
    return opened;
}

}  // namespace hostsim
