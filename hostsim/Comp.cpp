#include "Comp.h"

#include "Params.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }
Comp& comp() { return host().get<Comp>(); }

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// a ± b as an exact time, reduced; A_Err_PARAMETER when it does not fit.
A_Err addTimes(const A_Time& a, const A_Time& b, int sign, A_Time* out) {
    if (a.scale == 0 || b.scale == 0) return A_Err_PARAMETER;
    int64_t num = int64_t(a.value) * b.scale + sign * int64_t(b.value) * a.scale;
    int64_t den = int64_t(a.scale) * b.scale;
    int64_t g = std::gcd(num < 0 ? -num : num, den);
    if (g > 1) {
        num /= g;
        den /= g;
    }
    if (num < INT32_MIN || num > INT32_MAX || den > UINT32_MAX) return A_Err_PARAMETER;
    *out = {static_cast<A_long>(num), static_cast<A_u_long>(den)};
    return A_Err_NONE;
}

A_long scaled(A_long length, const PF_RationalScale& s) {
    return s.den ? static_cast<A_long>(int64_t(length) * s.num / int64_t(s.den)) : length;
}

// ---------------------------------------------------------------- pre-render callbacks
PF_Err checkoutLayer(PF_ProgPtr ref, PF_ParamIndex index, A_long id, const PF_RenderRequest* req, A_long time,
                     A_long step, A_u_long scale, PF_CheckoutResult* result) {
    LayerCheckout rec;
    rec.index = index;
    rec.id = id;
    if (req) rec.request = *req;
    rec.time = time;
    rec.timeStep = step;
    rec.timeScale = scale;
    Comp& c = comp();
    PreRenderCall* call = c.currentCall();
    auto record = [&](PF_Err err) {
        rec.err = err;
        std::lock_guard<std::mutex> g(c.mutex());
        if (call) call->checkouts.push_back(rec);
        return err;
    };
    if (PF_Err e = host().faults().hit("checkout_layer")) return record(e);
    if (!call) {
        host().addViolation("checkout_layer outside a smart pre-render");
        return record(PF_Err_BAD_CALLBACK_PARAM);
    }
    if (ref != host().effectRef() || !req || !result) {
        host().addViolation("checkout_layer with a bad effect reference, request or result");
        return record(PF_Err_BAD_CALLBACK_PARAM);
    }
    if (index != 0) return record(PF_Err_BAD_CALLBACK_PARAM);  // no layer parameters chosen here
    {
        std::lock_guard<std::mutex> g(c.mutex());
        for (const LayerCheckout& earlier : call->checkouts)
            if (earlier.err == PF_Err_NONE && earlier.id == id)
                host().addViolation("checkout id " + std::to_string(id) + " used twice in one pre-render");
    }
    // The input's pixels: its visible bounds at the current downsampling,
    // cropped to the request.
    Comp::Layer& l = c.effectLayer();
    const PF_InData& in = host().inData();
    PF_LRect whole{0, 0, scaled(l.width, in.downsample_x), scaled(l.height, in.downsample_y)};
    PF_LRect content = whole;
    PF_LRect visible = l.contentByFrame ? l.contentByFrame(c.frameAt(time, scale)) : l.content;
    if (visible.left <= visible.right && visible.top <= visible.bottom)
        content = {scaled(visible.left, in.downsample_x), scaled(visible.top, in.downsample_y),
                   scaled(visible.right, in.downsample_x), scaled(visible.bottom, in.downsample_y)};
    PF_LRect r{std::max(content.left, req->rect.left), std::max(content.top, req->rect.top),
               std::min(content.right, req->rect.right), std::min(content.bottom, req->rect.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) r = {0, 0, 0, 0};
    std::memset(result, 0, sizeof *result);
    result->result_rect = r;
    result->max_result_rect =
        content.left < content.right && content.top < content.bottom ? content : PF_LRect{0, 0, 0, 0};
    result->par = {1, 1};
    result->ref_width = whole.right;
    result->ref_height = whole.bottom;
    rec.result = *result;
    return record(PF_Err_NONE);
}

PF_Err guidMixIn(PF_ProgPtr, A_u_long size, const void* buf) {
    if (PF_Err e = host().faults().hit("GuidMixInPtr")) return e;
    Comp& c = comp();
    std::lock_guard<std::mutex> g(c.mutex());
    if (PreRenderCall* call = c.currentCall()) {
        const unsigned char* b = static_cast<const unsigned char*>(buf);
        call->guidMixIns.emplace_back(b, b + (b ? size : 0));
    }
    return PF_Err_NONE;
}

// ---------------------------------------------------------------- AEGP suites
#define HIT(name) \
    if (PF_Err e_ = host().faults().hit(name)) return e_

Comp::Layer* layerOrComplain(AEGP_LayerH h, const char* fn) {
    Comp::Layer* l = comp().findLayer(h);
    if (!l) host().addViolation(std::string(fn) + " with an unknown layer");
    return l;
}

// A layer query: fault check, the layer looked up, one value read from it.
template <class T, class F>
A_Err layerValue(const char* fn, AEGP_LayerH h, T* out, F&& get) {
    if (PF_Err e = host().faults().hit(fn)) return e;
    Comp::Layer* l = layerOrComplain(h, fn);
    if (!l || !out) return A_Err_PARAMETER;
    *out = get(*l);
    return A_Err_NONE;
}

A_Err getEffectLayer(PF_ProgPtr ref, AEGP_LayerH* layer) {
    HIT("AEGP_GetEffectLayer");
    if (ref != host().effectRef() || !layer) return A_Err_PARAMETER;
    *layer = comp().handleOf(comp().effectLayer());
    return A_Err_NONE;
}

A_Err getNewEffectForEffect(AEGP_PluginID, PF_ProgPtr ref, AEGP_EffectRefH* effect) {
    HIT("AEGP_GetNewEffectForEffect");
    if (ref != host().effectRef() || !effect) return A_Err_PARAMETER;
    *effect = comp().newEffect();
    return A_Err_NONE;
}

A_Err convertEffectToCompTime(PF_ProgPtr ref, A_long time, A_u_long scale, A_Time* out) {
    HIT("AEGP_ConvertEffectToCompTime");
    if (ref != host().effectRef() || !out) return A_Err_PARAMETER;
    return addTimes({time, scale}, comp().effectLayer().start, +1, out);
}

A_Err getLayerQuality(AEGP_LayerH h, AEGP_LayerQuality* out) {
    return layerValue("AEGP_GetLayerQuality", h, out, [](Comp::Layer& l) { return l.quality; });
}

A_Err getLayerParentComp(AEGP_LayerH h, AEGP_CompH* out) {
    return layerValue("AEGP_GetLayerParentComp", h, out, [](Comp::Layer&) { return comp().compHandle(); });
}

A_Err getLayerFromLayerID(AEGP_CompH c, AEGP_LayerIDVal id, AEGP_LayerH* out) {
    HIT("AEGP_GetLayerFromLayerID");
    if (c != comp().compHandle() || !out) return A_Err_PARAMETER;
    try {
        *out = comp().handleOf(comp().layer(id));
    } catch (const std::out_of_range&) {
        return A_Err_PARAMETER;
    }
    return A_Err_NONE;
}

A_Err getLayerID(AEGP_LayerH h, AEGP_LayerIDVal* out) {
    return layerValue("AEGP_GetLayerID", h, out, [](Comp::Layer& l) { return l.id; });
}

A_Err getLayerInPoint(AEGP_LayerH h, AEGP_LTimeMode mode, A_Time* t) {
    HIT("AEGP_GetLayerInPoint");
    Comp::Layer* l = layerOrComplain(h, "AEGP_GetLayerInPoint");
    if (!l || !t) return A_Err_PARAMETER;
    if (mode == AEGP_LTimeMode_CompTime) {
        *t = l->inPoint;
        return A_Err_NONE;
    }
    return addTimes(l->inPoint, l->start, -1, t);
}

A_Err getLayerDuration(AEGP_LayerH h, AEGP_LTimeMode, A_Time* out) {
    return layerValue("AEGP_GetLayerDuration", h, out, [](Comp::Layer& l) { return l.duration; });
}

A_Err convertCompToLayerTime(AEGP_LayerH h, const A_Time* compTime, A_Time* layerTime) {
    HIT("AEGP_ConvertCompToLayerTime");
    Comp::Layer* l = layerOrComplain(h, "AEGP_ConvertCompToLayerTime");
    if (!l || !compTime || !layerTime) return A_Err_PARAMETER;
    return addTimes(*compTime, l->start, -1, layerTime);
}

A_Err convertLayerToCompTime(AEGP_LayerH h, const A_Time* layerTime, A_Time* compTime) {
    HIT("AEGP_ConvertLayerToCompTime");
    Comp::Layer* l = layerOrComplain(h, "AEGP_ConvertLayerToCompTime");
    if (!l || !compTime || !layerTime) return A_Err_PARAMETER;
    return addTimes(*layerTime, l->start, +1, compTime);
}

A_Err getLayerObjectType(AEGP_LayerH h, AEGP_ObjectType* out) {
    return layerValue("AEGP_GetLayerObjectType", h, out, [](Comp::Layer& l) { return l.type; });
}

A_Err getLayerSourceItem(AEGP_LayerH h, AEGP_ItemH* out) {
    return layerValue("AEGP_GetLayerSourceItem", h, out, [](Comp::Layer& l) {
        return l.hasSource ? reinterpret_cast<AEGP_ItemH>(l.item.get()) : nullptr;
    });
}

A_Err getCompFrameDuration(AEGP_CompH c, A_Time* d) {
    HIT("AEGP_GetCompFrameDuration");
    if (c != comp().compHandle() || !d) return A_Err_PARAMETER;
    *d = comp().frameDuration();
    return A_Err_NONE;
}

A_Err getCompFramerate(AEGP_CompH c, A_FpLong* fps) {
    HIT("AEGP_GetCompFramerate");
    if (c != comp().compHandle() || !fps) return A_Err_PARAMETER;
    A_Time d = comp().frameDuration();
    *fps = d.value ? double(d.scale) / d.value : 0.0;
    return A_Err_NONE;
}

A_Err getItemFlags(AEGP_ItemH h, AEGP_ItemFlags* flags) {
    HIT("AEGP_GetItemFlags");
    Comp::Item* item = comp().findItem(h);
    if (!item || !flags) return A_Err_PARAMETER;
    *flags = item->owner->hasVideo ? AEGP_ItemFlag_HAS_VIDEO : 0;
    return A_Err_NONE;
}

A_Err getItemDimensions(AEGP_ItemH h, A_long* w, A_long* hgt) {
    HIT("AEGP_GetItemDimensions");
    Comp::Item* item = comp().findItem(h);
    if (!item || !w || !hgt) return A_Err_PARAMETER;
    *w = item->owner->width;
    *hgt = item->owner->height;
    return A_Err_NONE;
}

A_Err getLayerNumEffects(AEGP_LayerH h, A_long* out) {
    return layerValue("AEGP_GetLayerNumEffects", h, out,
                      [](Comp::Layer& l) { return A_long(&l == &comp().effectLayer() ? 1 : 0); });
}

A_Err disposeEffectRef(AEGP_EffectRefH e) {
    HIT("AEGP_DisposeEffect");
    if (!comp().disposeEffect(e)) {
        host().addViolation("AEGP_DisposeEffect of an unknown or already disposed effect");
        return A_Err_PARAMETER;
    }
    return A_Err_NONE;
}

#undef HIT

void paintDefault(World& w, long frame) {
    // Opaque, with the frame number in red so that frames can be told apart.
    const double r = (frame & 255) / 255.0;
    switch (w.depth()) {
        case Depth::Bits8: w.fill(PF_Pixel{255, static_cast<A_u_char>(frame & 255), 128, 64}); break;
        case Depth::Bits16: w.fill(PF_Pixel16{32768, static_cast<A_u_short>(r * 32768), 16384, 8192}); break;
        case Depth::Float: w.fill(PF_PixelFloat{1.0f, static_cast<float>(r), 0.5f, 0.25f}); break;
    }
}

}  // namespace

// ================================================================== Comp
void Comp::install(Host& h) {
    host_ = &h;
    preRenderCallbacks_ = {checkoutLayer, guidMixIn};
    pfInterface_ = {getEffectLayer, getNewEffectForEffect, convertEffectToCompTime};
    layerSuite_ = {getLayerQuality,    getLayerParentComp, getLayerFromLayerID,    getLayerID,
                   getLayerInPoint,    getLayerDuration,   convertCompToLayerTime, convertLayerToCompTime,
                   getLayerObjectType, getLayerSourceItem};
    compSuite_ = {getCompFrameDuration, getCompFramerate};
    itemSuite_ = {getItemFlags, getItemDimensions};
    effectSuite2_ = {getLayerNumEffects, disposeEffectRef};
    effectSuite3_ = {getLayerNumEffects, disposeEffectRef};
    h.suites().add(kAEGPPFInterfaceSuite, 1, &pfInterface_);
    h.suites().add(kAEGPLayerSuite, 13, &layerSuite_);
    h.suites().add(kAEGPCompSuite, 15, &compSuite_);
    h.suites().add(kAEGPItemSuite, 13, &itemSuite_);
    h.suites().add(kAEGPEffectSuite, 2, &effectSuite2_);
    h.suites().add(kAEGPEffectSuite, 3, &effectSuite3_);

    // Layer parameters hand out this composition's frames (Params is
    // installed before this component).
    Params& params = h.get<Params>();
    params.checkoutLayer = [this](const LayerRequest& r, PF_LayerDef& def) {
        return layerParamWorld(r.layerId, r.time, r.scale, def);
    };
    params.arrayLayer = [this](int, int layerId, PF_LayerDef& def) {
        const PF_InData& in = host_->nextInData();
        layerParamWorld(layerId, in.current_time, in.time_scale, def);
    };

    const PF_InData& in = h.nextInData();
    Layer& l = addLayer(in.width, in.height);
    l.name = "effect layer";
    apply();
}

Comp::Layer& Comp::addLayer(A_long width, A_long height, AEGP_ObjectType type) {
    layers_.emplace_back();
    Layer& l = layers_.back();
    l.id = nextId_++;
    l.name = "layer " + std::to_string(l.id);
    l.width = width;
    l.height = height;
    l.type = type;
    l.hasSource = type != AEGP_ObjectType_TEXT && type != AEGP_ObjectType_VECTOR;
    l.hasVideo = type != AEGP_ObjectType_LIGHT && type != AEGP_ObjectType_CAMERA;
    l.paint = paintDefault;
    l.item.reset(new Item{&l});
    if (!effectLayer_) effectLayer_ = l.id;
    return l;
}

Comp::Layer& Comp::layer(AEGP_LayerIDVal id) {
    for (Layer& l : layers_)
        if (l.id == id) return l;
    throw std::out_of_range("no layer with id " + std::to_string(id));
}

bool Comp::layerByName(const std::string& name, int& id) const {
    for (const Layer& l : layers_)
        if (l.name == name) {
            id = l.id;
            return true;
        }
    return false;
}

Comp::Layer& Comp::effectLayer() { return layer(effectLayer_); }

void Comp::setEffectLayer(AEGP_LayerIDVal id) {
    layer(id);
    effectLayer_ = id;
    apply();
}

void Comp::setFrameDuration(A_Time d) {
    if (d.value <= 0 || d.scale == 0) throw std::invalid_argument("frame duration must be positive");
    frameDuration_ = d;
    apply();
}

void Comp::setFrame(long frame) {
    frame_ = frame;
    apply();
}

void Comp::setDownsample(PF_RationalScale x, PF_RationalScale y) {
    dsX_ = x;
    dsY_ = y;
    apply();
}

void Comp::apply() {
    PF_InData& in = host_->nextInData();
    const Layer& l = effectLayer();
    in.width = l.width;
    in.height = l.height;
    in.time_scale = frameDuration_.scale;
    in.time_step = frameDuration_.value;
    in.local_time_step = frameDuration_.value;
    in.current_time = static_cast<A_long>(frame_ * frameDuration_.value);
    // The layer's length in its own time units.
    int64_t dur = l.duration.value < 0 ? -int64_t(l.duration.value) : l.duration.value;
    in.total_time = l.duration.scale ? static_cast<A_long>(dur * frameDuration_.scale / l.duration.scale) : 0;
    in.downsample_x = dsX_;
    in.downsample_y = dsY_;
}

A_long Comp::downsampledWidth() const {
    std::lock_guard<std::mutex> g(mutex_);
    for (const Layer& l : layers_)
        if (l.id == effectLayer_) return scaled(l.width, dsX_);
    return 0;
}

A_long Comp::downsampledHeight() const {
    std::lock_guard<std::mutex> g(mutex_);
    for (const Layer& l : layers_)
        if (l.id == effectLayer_) return scaled(l.height, dsY_);
    return 0;
}

long Comp::frameAt(A_long time, A_u_long scale) const {
    if (scale == 0) return 0;
    return static_cast<long>(floorDiv(int64_t(time) * frameDuration_.scale, int64_t(scale) * frameDuration_.value));
}

World& Comp::frame(const Layer& l, A_long time, A_u_long scale) {
    const long f = frameAt(time, scale);
    std::lock_guard<std::mutex> g(mutex_);
    Depth d = bitDepth_ == 32 ? Depth::Float : bitDepth_ == 16 ? Depth::Bits16 : Depth::Bits8;
    std::string key = std::to_string(l.id) + "/" + std::to_string(f) + "/" + std::to_string(int(d)) + "/" +
                      std::to_string(dsX_.num) + ":" + std::to_string(dsX_.den) + "/" + std::to_string(dsY_.num) + ":" +
                      std::to_string(dsY_.den);
    auto it = frames_.find(key);
    if (it != frames_.end()) return *it->second;
    auto w = std::make_unique<World>(scaled(l.width, dsX_), scaled(l.height, dsY_), d);
    if (l.paint) l.paint(*w, f);
    World& ref = *w;
    frames_[key] = std::move(w);
    return ref;
}

PF_Err Comp::layerParamWorld(int layerId, A_long time, A_u_long scale, PF_LayerDef& def) {
    Layer* l = nullptr;
    if (layerId == kLayerSelf) {
        l = &effectLayer();
    } else {
        for (Layer& x : layers_)
            if (x.id == layerId) l = &x;
    }
    // No layer, or one without pixels (a camera, a light): an empty world.
    if (!l || !l->hasVideo || scale == 0) return PF_Err_NONE;
    // The time is the effect layer's; the chosen layer may start elsewhere.
    A_Time compTime{}, layerTime{};
    if (addTimes({time, scale}, effectLayer().start, +1, &compTime) || addTimes(compTime, l->start, -1, &layerTime))
        return PF_Err_BAD_CALLBACK_PARAM;
    def = *frame(*l, layerTime.value, layerTime.scale).get();
    return PF_Err_NONE;
}

PreRenderCall Comp::preRender(const PF_RenderRequest* request) {
    PreRenderCall call;
    if (request) {
        call.input.output_request = *request;
    } else {
        call.input.output_request.rect = {0, 0, downsampledWidth(), downsampledHeight()};
        call.input.output_request.field = PF_Field_FRAME;
        call.input.output_request.channel_mask = PF_ChannelMask_ARGB;
    }
    call.input.bitdepth = bitDepth_;
    PF_PreRenderExtra extra{&call.input, &call.output, &preRenderCallbacks_};
    current_ = &call;
    call.err = host_->send(PF_Cmd_SMART_PRE_RENDER, &extra);
    current_ = nullptr;
    if (call.output.pre_render_data) {
        if (!call.output.delete_pre_render_data_func)
            host_->addViolation("pre-render data without a delete function: nothing can ever free it");
        ++pendingData_;
    }
    return call;
}

World* Comp::checkedOutFrame(const PreRenderCall& call, A_long id) {
    for (const LayerCheckout& c : call.checkouts)
        if (c.id == id && c.err == PF_Err_NONE) return &frame(effectLayer(), c.time, c.timeScale);
    return nullptr;
}

void Comp::releasePreRenderData(PreRenderCall& call) {
    if (!call.output.pre_render_data) return;
    if (call.output.delete_pre_render_data_func) call.output.delete_pre_render_data_func(call.output.pre_render_data);
    call.output.pre_render_data = nullptr;
    --pendingData_;
}

AEGP_EffectRefH Comp::newEffect() {
    std::lock_guard<std::mutex> g(mutex_);
    auto token = std::make_unique<int>(0);
    AEGP_EffectRefH h = reinterpret_cast<AEGP_EffectRefH>(token.get());
    effects_[h] = std::move(token);
    return h;
}

bool Comp::disposeEffect(AEGP_EffectRefH e) {
    std::lock_guard<std::mutex> g(mutex_);
    return effects_.erase(e) == 1;
}

int Comp::liveEffects() const {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int>(effects_.size());
}

Comp::Layer* Comp::findLayer(AEGP_LayerH h) {
    for (Layer& l : layers_)
        if (handleOf(l) == h) return &l;
    return nullptr;
}

Comp::Item* Comp::findItem(AEGP_ItemH h) {
    for (Layer& l : layers_)
        if (reinterpret_cast<AEGP_ItemH>(l.item.get()) == h) return l.item.get();
    return nullptr;
}

void Comp::commandLeaks(std::vector<std::string>& out) const {
    if (int n = liveEffects()) out.push_back(std::to_string(n) + " AEGP effect reference(s) not disposed");
}

void Comp::unloadLeaks(std::vector<std::string>& out) const {
    if (pendingData_ > 0) out.push_back(std::to_string(pendingData_) + " pre-render data never handed back");
}

}  // namespace hostsim
