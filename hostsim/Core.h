// The host's basic services: the ANSI and handle callbacks, the handle suite,
// the utility suite (registration), and the abort and progress callbacks.
#pragma once

#include "Host.h"

#include <atomic>

namespace hostsim {

class Core : public Component {
public:
    void install(Host& host) override;

    // The abort callback returns this error while set (user cancel).
    std::atomic<PF_Err> abortError{PF_Err_NONE};
    std::atomic<int> abortCalls{0};
    int registrations = 0;
    std::string registeredName;

private:
    PF_HandleSuite2 handleSuite_{};
    AEGP_UtilitySuite7 utility7_{};
    AEGP_UtilitySuite11 utility11_{};
};

}  // namespace hostsim
