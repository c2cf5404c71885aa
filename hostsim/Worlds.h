// Pixel buffers the effect asks the host for: the world suites ("PF World
// Suite" 1 and 2: new, dispose, pixel format) and the utility callbacks
// new_world, dispose_world, fill and fill16. Worlds the effect makes and does
// not dispose are leaks.
#pragma once

#include "Host.h"
#include "World.h"

#include <map>
#include <memory>
#include <mutex>

namespace hostsim {

class Worlds : public Component {
public:
    void install(Host& host) override;
    void afterCommand(Host& host, PF_Cmd cmd) override;
    void commandLeaks(std::vector<std::string>& out) const override;
    void unloadLeaks(std::vector<std::string>& out) const override;

    // Padding added to every row of the worlds the effect makes.
    int padPixels = 5;

    // Worlds the effect made and has not disposed.
    int live() const;
    int made() const { return made_; }

    // Shared by the suites and the callbacks.
    PF_Err newWorld(A_long width, A_long height, Depth depth, bool clear, PF_EffectWorld* out);
    PF_Err disposeWorld(PF_EffectWorld* world);

private:
    mutable std::mutex mutex_;
    std::map<const void*, std::unique_ptr<World>> worlds_;  // by pixel data
    int made_ = 0;
    int leakedAtCommandEnd_ = 0;
    PF_WorldSuite1 suite1_{};
    PF_WorldSuite2 suite2_{};
};

}  // namespace hostsim
