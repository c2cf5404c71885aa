#include "Audio.h"

#include "Params.h"

#include <cmath>
#include <cstdint>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }
Audio& audio() { return host().get<Audio>(); }

PF_Err audioCheckout(PF_ProgPtr, PF_ParamIndex index, A_long start, A_long duration, A_u_long scale, A_u_long rate,
                     A_long bytesPerSample, A_long channels, A_long format, PF_LayerAudio* out) {
    if (PF_Err e = host().faults().hit("checkout_layer_audio")) return e;
    if (!out) {
        host().addViolation("checkout_layer_audio without a place for the handle");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *out = nullptr;
    Params& params = host().get<Params>();
    if (index <= 0 || index >= params.count() || params.definition(index).param_type != PF_Param_LAYER) {
        host().addViolation("checkout_layer_audio of a parameter that is not a layer");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // Only the effect's own format is served: one channel of 32-bit float.
    if (format != PF_SIGNED_FLOAT || bytesPerSample != 4 || channels != 1 || scale == 0 || rate == 0 || duration < 0)
        return PF_Err_BAD_CALLBACK_PARAM;
    Audio& a = audio();
    const PF_InData& in = a.inCommand ? host().inData() : host().nextInData();
    const int layerId = idOf(params.valueAt(index, A_Time{in.current_time, in.time_scale}).v[0]);

    auto w = std::make_unique<Audio::Window>();
    w->request = AudioRequest{index, layerId, start, duration, scale, rate};
    std::lock_guard<std::mutex> g(a.mutex);
    a.log.push_back(w->request);
    auto signal = a.signals.find(layerId);
    if (signal != a.signals.end()) {
        const double hz = rate / 65536.0;
        const double t0 = static_cast<double>(start) / scale;
        const auto count = static_cast<std::size_t>(std::floor(static_cast<double>(duration) / scale * hz));
        w->samples.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            const double t = t0 + k / hz;
            w->samples[k] = t < 0 ? 0.0f : signal->second(t);
        }
    }
    *out = reinterpret_cast<PF_LayerAudio>(w.get());
    a.windows[reinterpret_cast<std::uintptr_t>(w.get())] = std::move(w);
    return PF_Err_NONE;
}

PF_Err audioData(PF_ProgPtr, PF_LayerAudio handle, PF_SndSamplePtr* data, A_long* count, A_u_long* rate,
                 A_long* bytesPerSample, A_long* channels, A_long* format) {
    if (PF_Err e = host().faults().hit("get_audio_data")) return e;
    Audio& a = audio();
    std::lock_guard<std::mutex> g(a.mutex);
    auto it = a.windows.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == a.windows.end()) {
        host().addViolation("get_audio_data of audio not checked out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    Audio::Window& w = *it->second;
    if (data) *data = w.samples.empty() ? nullptr : w.samples.data();
    if (count) *count = static_cast<A_long>(w.samples.size());
    if (rate) *rate = w.request.rate;
    if (bytesPerSample) *bytesPerSample = 4;
    if (channels) *channels = 1;
    if (format) *format = PF_SIGNED_FLOAT;
    return PF_Err_NONE;
}

PF_Err audioCheckin(PF_ProgPtr, PF_LayerAudio handle) {
    if (PF_Err e = host().faults().hit("checkin_layer_audio")) return e;
    Audio& a = audio();
    std::lock_guard<std::mutex> g(a.mutex);
    if (!a.windows.erase(reinterpret_cast<std::uintptr_t>(handle))) {
        host().addViolation("checkin_layer_audio of audio not checked out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return PF_Err_NONE;
}

}  // namespace

void Audio::install(Host& h) {
    PF_InteractCallbacks& inter = h.nextInData().inter;
    inter.checkout_layer_audio = audioCheckout;
    inter.get_audio_data = audioData;
    inter.checkin_layer_audio = audioCheckin;
}

void Audio::beforeCommand(Host&, PF_Cmd) { inCommand = true; }
void Audio::afterCommand(Host&, PF_Cmd) { inCommand = false; }

void Audio::commandLeaks(std::vector<std::string>& out) const {
    if (int n = outstanding()) out.push_back(std::to_string(n) + " layer audio window(s) not checked in");
}
void Audio::unloadLeaks(std::vector<std::string>& out) const { commandLeaks(out); }

void Audio::setSignal(int layerId, Signal signal) {
    std::lock_guard<std::mutex> g(mutex);
    if (signal)
        signals[layerId] = std::move(signal);
    else
        signals.erase(layerId);
}

int Audio::outstanding() const {
    std::lock_guard<std::mutex> g(mutex);
    return static_cast<int>(windows.size());
}

std::vector<AudioRequest> Audio::requests() const {
    std::lock_guard<std::mutex> g(mutex);
    return log;
}

void Audio::reclaimAll() {
    std::lock_guard<std::mutex> g(mutex);
    windows.clear();
}

}  // namespace hostsim
