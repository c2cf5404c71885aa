// The smart render side of the host: the callbacks of PF_Cmd_SMART_RENDER
// (layer pixels by checkout id, as the pre-render asked for them, and the
// output world at the pre-render's result rectangle), the utility callback
// transform_world (a plain resampler standing in for the host's), and render(),
// which runs one frame the way the host does: pre-render, smart render, and the
// pre-render data handed back to the effect's delete function.
#pragma once

#include "Comp.h"
#include "Host.h"
#include "Params.h"
#include "World.h"

#include <memory>
#include <mutex>
#include <vector>

namespace hostsim {

// What one smart render command received and handed back.
struct SmartRenderCall {
    PF_Err preRenderErr = PF_Err_NONE;  // render(): the pre-render's result
    PF_Err err = PF_Err_NONE;           // the smart render's result
    bool sent = false;                  // the smart render command was sent
    PF_SmartRenderInput input{};
    // The output world: the pre-render's result rectangle (origin at its
    // top-left corner, in layer pixels) at the composition's bit depth. As a
    // host's frame buffers are, it is reused between renders: it holds
    // whatever the last frame of its size left (zeros when new), or opaque
    // magenta with SmartRender::markOutput, so that an effect that does not
    // clear it shows.
    std::shared_ptr<World> output;
    std::vector<A_long> pixelCheckouts;  // checkout ids, in call order
    std::vector<A_long> pixelCheckins;
    int outputCheckouts = 0;
    // Layer parameters the effect checked out during the command, in order.
    std::vector<LayerRequest> layerParams;
};

class SmartRender : public Component {
public:
    void install(Host& host) override;

    // Sends PF_Cmd_SMART_RENDER for a finished pre-render; the pre-render data
    // stays with the call (hand it back with Comp::releasePreRenderData).
    SmartRenderCall send(PreRenderCall& pre);
    // One frame as the host renders it: moves the composition to the frame,
    // pre-render, smart render (only when the pre-render succeeded), then the
    // pre-render data handed back. The output world is call.output.
    SmartRenderCall render(long frame);

    // Fill every output world with opaque magenta before the command.
    bool markOutput = false;

    // transform_world calls so far (all commands).
    int transforms() const { return transforms_; }

    // Internal: the callbacks find their state here.
    SmartRenderCall* currentCall() { return current_; }
    PreRenderCall* currentPreRender() { return pre_; }
    std::mutex& mutex() { return mutex_; }
    void countTransform() { ++transforms_; }

private:
    // An output world of this size, depth and origin: a spare one no call
    // holds any more, or a new one.
    std::shared_ptr<World> outputWorld(int width, int height, Depth depth, int originX, int originY);

    Host* host_ = nullptr;
    std::vector<std::shared_ptr<World>> spare_;
    SmartRenderCall* current_ = nullptr;
    PreRenderCall* pre_ = nullptr;
    std::mutex mutex_;
    int transforms_ = 0;
    PF_SmartRenderCallbacks callbacks_{};
};

// The resampler behind transform_world, for tests: src drawn into dst through
// the first matrix (row vectors: x' = x m00 + y m10 + m20), over what dst
// holds, within destRect. High quality averages a grid of samples per output
// pixel (a box filter the size of the source footprint); low quality takes
// the nearest source pixel.
PF_Err transformWorld(PF_Quality quality, const PF_CompositeMode* mode, const PF_EffectWorld* src,
                      const PF_FloatMatrix* matrices, A_long numMatrices, bool srcToDst, const PF_Rect* destRect,
                      PF_EffectWorld* dst);

}  // namespace hostsim
