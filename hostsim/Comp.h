// The composition around the effect: its layers (size, kind, timing, frames by
// time), the layer the effect is applied to, the render's downsampling, the
// smart pre-render callbacks, and the AEGP suites that answer for layers, the
// composition, items and effect references.
//
// Configuration methods write the matching fields of the host's next input
// record at once (layer size, time scale and step, total time, current time,
// downsampling), so a test that sets them and then sends a command gets a
// consistent frame.
#pragma once

#include "Host.h"
#include "World.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

// One checkout_layer call made during a smart pre-render.
struct LayerCheckout {
    PF_ParamIndex index = 0;
    A_long id = 0;
    PF_RenderRequest request{};
    A_long time = 0;
    A_long timeStep = 0;
    A_u_long timeScale = 0;
    PF_CheckoutResult result{};
    PF_Err err = PF_Err_NONE;
};

// What one smart pre-render command received and handed back.
struct PreRenderCall {
    PF_Err err = PF_Err_NONE;
    PF_PreRenderInput input{};
    PF_PreRenderOutput output{};
    std::vector<LayerCheckout> checkouts;
    std::vector<std::vector<unsigned char>> guidMixIns;
};

class Comp : public Component {
public:
    struct Item;

    struct Layer {
        AEGP_LayerIDVal id = 0;
        std::string name;
        A_long width = 0;  // full resolution
        A_long height = 0;
        AEGP_ObjectType type = AEGP_ObjectType_AV;
        bool hasVideo = true;    // the source item's video flag
        bool hasSource = true;   // text and shape layers have no source item
        A_Time start{0, 1};      // composition time of the layer's time 0
        A_Time inPoint{0, 1};    // composition time
        A_Time duration{10, 1};  // negative for a reversed layer
        AEGP_LayerQuality quality = AEGP_LayerQual_BEST;
        // Bounds of the visible pixels in full-resolution layer pixels (a text
        // layer's glyphs); empty left > right means the whole layer.
        PF_LRect content{0, 0, -1, -1};
        // When set, the visible bounds by frame number instead.
        std::function<PF_LRect(long frame)> contentByFrame;
        // Paints one frame (frame number in composition frames of layer
        // time) into a world of the downsampled size.
        std::function<void(World&, long frame)> paint;
        std::unique_ptr<Item> item;
    };

    void install(Host& host) override;
    void commandLeaks(std::vector<std::string>& out) const override;
    void unloadLeaks(std::vector<std::string>& out) const override;

    // ---- set-up
    // Adds a layer; the first one added (at install: 640 x 360, 10 s) is the
    // effect's layer until setEffectLayer says otherwise.
    Layer& addLayer(A_long width, A_long height, AEGP_ObjectType type = AEGP_ObjectType_AV);
    Layer& layer(AEGP_LayerIDVal id);
    bool layerByName(const std::string& name, int& id) const;
    Layer& effectLayer();
    void setEffectLayer(AEGP_LayerIDVal id);
    void setFrameDuration(A_Time frameDuration);  // e.g. {1, 25}
    A_Time frameDuration() const { return frameDuration_; }
    // Current time in frames of the effect layer's time (frame × time step).
    void setFrame(long frame);
    void setDownsample(PF_RationalScale x, PF_RationalScale y);
    void setBitDepth(A_short bits) { bitDepth_ = bits; }
    A_short bitDepth() const { return bitDepth_; }
    // Writes size, timing and downsampling into the host's next input record;
    // every set-up method calls it.
    void apply();
    // The effect layer's size at the current downsampling.
    A_long downsampledWidth() const;
    A_long downsampledHeight() const;

    // The frame number of a layer time (value / scale), in frames of the
    // composition, rounded down.
    long frameAt(A_long time, A_u_long scale) const;
    // The pixels of a layer at a layer time (value / scale), at the current
    // downsampling and bit depth; made on first use and kept.
    World& frame(const Layer& layer, A_long time, A_u_long scale);

    // The world a layer parameter holding layerId shows at an effect-layer
    // time; empty for no layer or a layer without video.
    PF_Err layerParamWorld(int layerId, A_long time, A_u_long scale, PF_LayerDef& def);

    // ---- smart pre-render
    // Sends PF_Cmd_SMART_PRE_RENDER with a request for the whole downsampled
    // layer (or the given one) and records every layer checkout.
    PreRenderCall preRender(const PF_RenderRequest* request = nullptr);
    // The input frame a pre-render checked out under a checkout id (0: the
    // current frame, i + 1: shape i's offset frame), as the smart render
    // receives it; null when that id was not checked out.
    World* checkedOutFrame(const PreRenderCall& call, A_long id);
    // Hands pre-render data back to the effect's delete function, as the
    // host does once it is done with a frame.
    void releasePreRenderData(PreRenderCall& call);

    // AEGP effect references handed out and not yet disposed.
    int liveEffects() const;

    // Internal: the callbacks find their state here.
    PreRenderCall* currentCall() { return current_; }
    std::mutex& mutex() { return mutex_; }
    Layer* findLayer(AEGP_LayerH h);
    Item* findItem(AEGP_ItemH h);
    AEGP_LayerH handleOf(Layer& l) { return reinterpret_cast<AEGP_LayerH>(&l); }
    AEGP_CompH compHandle() { return reinterpret_cast<AEGP_CompH>(this); }
    AEGP_EffectRefH newEffect();
    bool disposeEffect(AEGP_EffectRefH e);

    struct Item {
        Layer* owner;
    };

private:
    Host* host_ = nullptr;
    std::deque<Layer> layers_;
    AEGP_LayerIDVal effectLayer_ = 0;
    AEGP_LayerIDVal nextId_ = 1;
    A_Time frameDuration_{1, 24};
    long frame_ = 0;
    PF_RationalScale dsX_{1, 1};
    PF_RationalScale dsY_{1, 1};
    A_short bitDepth_ = 8;
    PreRenderCall* current_ = nullptr;
    int pendingData_ = 0;  // pre-render data not yet handed back
    mutable std::mutex mutex_;
    std::map<std::string, std::unique_ptr<World>> frames_;
    std::map<AEGP_EffectRefH, std::unique_ptr<int>> effects_;

    PF_PreRenderCallbacks preRenderCallbacks_{};
    AEGP_PFInterfaceSuite1 pfInterface_{};
    AEGP_LayerSuite13 layerSuite_{};
    AEGP_CompSuite15 compSuite_{};
    AEGP_ItemSuite13 itemSuite_{};
    AEGP_EffectSuite2 effectSuite2_{};
    AEGP_EffectSuite3 effectSuite3_{};
};

}  // namespace hostsim
