// Layer audio as the effect reads it through the interaction callbacks:
// checkout_layer_audio for a window of a layer parameter's audio, get_audio_data
// for its samples, checkin_layer_audio to give it back. Each layer's audio is a
// mono signal given as a function of layer time in seconds (silent before 0 and
// where none is set); windows are served as 32-bit float samples at the rate
// asked for. Checked-out windows are accounted for.
#pragma once

#include "Host.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace hostsim {

struct AudioRequest {
    PF_ParamIndex index = 0;
    int layerId = 0;
    A_long start = 0, duration = 0;
    A_u_long scale = 1;
    A_u_long rate = 0;  // unsigned 16.16 fixed point
};

class Audio : public Component {
public:
    using Signal = std::function<float(double seconds)>;

    void install(Host& host) override;
    void beforeCommand(Host& host, PF_Cmd cmd) override;
    void afterCommand(Host& host, PF_Cmd cmd) override;
    void commandLeaks(std::vector<std::string>& out) const override;
    void unloadLeaks(std::vector<std::string>& out) const override;

    // The audio of a layer (by id); an empty signal removes it. A layer without
    // audio gives windows without samples (a null pointer, count 0).
    void setSignal(int layerId, Signal signal);

    int outstanding() const;  // windows checked out and not checked in
    std::vector<AudioRequest> requests() const;
    void reclaimAll();  // after a refused check-in in a test

    struct Window {
        AudioRequest request;
        std::vector<float> samples;
    };

    mutable std::mutex mutex;
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::map<int, Signal> signals;
    std::vector<AudioRequest> log;
    bool inCommand = false;
};

}  // namespace hostsim
