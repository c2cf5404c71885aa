// Smart render: completes the frame's Parameters record with what only render
// time gives (frame duration, layer pixels, layer in/out frames, alpha
// bounds), clears the output, lays out and draws the pattern, and composites
// the drawing with the input. Everything checked out or made here is given
// back here, also when a missing suite unwinds the render.
#include "VemaroPattern.h"

#include "AEFX_SuiteHelper.h"
#include "AEGP_SuiteHandler.h"
#include "Parameters.h"
#include "VemaroBlender.h"
#include "VemaroDrawer.h"
#include "VemaroRenderHelpers.h"
#include "VemaroTransitionAnimator.h"

#include <boost/rational.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>

namespace {

// Host times as exact fractions. 64-bit terms keep sums and differences of
// int32 values over uint32 scales exact.
using Fraction = boost::rational<int64_t>;

// A time the host hands over that is no time at all (a zero time scale or
// frame duration): reported as a bad host parameter.
constexpr PF_Err kBadTime = PF_Err_BAD_CALLBACK_PARAM;

constexpr int kMaxShapes = 8;
constexpr int kLayerParamBase = 189;
constexpr int kShapeStride = 47;
constexpr int kShapeTypeInput = 4;
constexpr int kShapeTypeLayer = 5;

// Truncation toward zero, kept within int32.
int32_t toInt32(const Fraction& f) {
    const int64_t v = f.numerator() / f.denominator();
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool fitsTime(const Fraction& f) {
    return f.numerator() >= INT32_MIN && f.numerator() <= INT32_MAX &&
           f.denominator() <= std::numeric_limits<A_u_long>::max();
}

// The first error of a sequence of host calls.
void keep(PF_Err& err, PF_Err e) {
    if (!err) err = e;
}

// A Layer shape's source layer in composition frames.
struct LayerFrames {
    int32_t in = 0;
    int32_t out = 0;
};

// From the layer's in-point and duration (both in composition time). A
// reversed layer (negative duration) ends at its in-point and starts one frame
// before its start.
LayerFrames layerFrames(Fraction in, Fraction dur, const Fraction& frameDuration) {
    if (dur < 0) {
        dur = -dur;
        in = in - dur - frameDuration;
    }
    return {toInt32(in / frameDuration), toInt32((in + dur) / frameDuration)};
}

// The composition frame a Layer shape samples for the current frame `cur`;
// Current Time (and any other mode) samples cur itself. A layer shorter than
// one frame (in == out) has only its in-frame to give.
int64_t samplingFrame(const Parameters::Shape& s, int64_t cur, const LayerFrames& f) {
    const int64_t len = int64_t{f.out} - f.in;
    const int64_t last = len > 0 ? int64_t{f.out} - 1 : f.in;
    switch (s.layerSampling) {
        case 4: {  // Loop
            if (len <= 0) return f.in;
            const double along = static_cast<double>(len) * s.layerTime;
            const int64_t offset = static_cast<int64_t>(std::clamp(along, double(INT32_MIN), double(INT32_MAX)));
            int64_t m = (cur + f.in + offset) % len;
            if (m < 0) m += len;
            return f.in + m;
        }
        case 3:  // Play Once
            if (cur < 0) return 0;
            return cur < f.out ? cur : last;
        case 2: {  // Still Frame
            const double u = std::clamp(s.layerTime, 0.0, 1.0);
            const int64_t frame = static_cast<int64_t>(static_cast<double>(len) * u) + f.in;
            return std::min(frame, last);
        }
        default: return cur;
    }
}

// The time, step and scale of a checkout at a composition frame: the layer
// time the host converted, and one frame as the step, both in one scale.
struct CheckoutTime {
    A_long value;
    A_long step;
    A_u_long scale;
};

CheckoutTime checkoutTime(const A_Time& layerTime, const Fraction& frameDuration) {
    constexpr int64_t kMaxScale = std::numeric_limits<A_u_long>::max();
    const int64_t a = layerTime.scale, b = frameDuration.denominator();
    const int64_t g = std::gcd(a, b);
    if (a / g <= kMaxScale / b) {
        const int64_t scale = a / g * b;
        const int64_t value = int64_t{layerTime.value} * (scale / a);
        const int64_t step = frameDuration.numerator() * (scale / b);
        if (value >= INT32_MIN && value <= INT32_MAX && step >= INT32_MIN && step <= INT32_MAX)
            return {static_cast<A_long>(value), static_cast<A_long>(step), static_cast<A_u_long>(scale)};
    }
    // No common scale fits: the host's own scale, with the step truncated into it.
    return {layerTime.value, toInt32(frameDuration * Fraction(a)), layerTime.scale};
}

// The map layers, in the order they are checked out.
constexpr int kMapCount = 14;

// Where map k's layer pointer goes in the record.
PF_LayerDef** mapField(Parameters& p, int k) {
    static constexpr MapGroup Parameters::*kGroups[3] = {&Parameters::map1D, &Parameters::mapPre2D,
                                                         &Parameters::mapPost2D};
    if (k == 0) return &p.displacementMap;
    if (k == 1) return &p.transitionMap;
    MapGroup& g = p.*kGroups[(k - 2) / 4];
    switch ((k - 2) % 4) {
        case 0: return &g.shapeMap.layer;
        case 1: return &g.scaleMap.layer;
        case 2: return &g.colorMap.layer;
        default: return &g.phaseMap.layer;
    }
}

constexpr int kMapIndices[kMapCount] = {121, 149, 560, 566, 578, 595, 604, 610, 621, 638, 648, 653, 663, 679};

bool mapWanted(const Parameters& p, int k) {
    if (k == 0) return p.displacementMode == 2;
    if (k == 1) return p.transitionOrder == 3;
    return true;
}

// What the render holds that has to be given back, and the closing steps that
// give it back: run once, by finish() on the normal way out or by the
// destructor when a missing suite unwinds the render.
class RenderResources {
public:
    RenderResources(PF_InData* in, PF_OutData* out, const PF_HandleSuite2* handles, PF_Handle record)
        : in_(in), out_(out), handles_(handles), record_(record) {
        std::memset(layerParams, 0, sizeof layerParams);
        std::memset(copies, 0, sizeof copies);
        std::memset(mapParams, 0, sizeof mapParams);
    }
    RenderResources(const RenderResources&) = delete;
    RenderResources& operator=(const RenderResources&) = delete;
    ~RenderResources() { finish(); }

    // Check-ins, disposals, the suite release and the unlock, in this order,
    // each whatever happened before; the first error.
    PF_Err finish() noexcept {
        if (finished_) return PF_Err_NONE;
        finished_ = true;
        PF_Err err = PF_Err_NONE;
        for (int i = 0; i < shapeCount; ++i) {
            if (layerOut[i]) keep(err, PF_CHECKIN_PARAM(in_, &layerParams[i]));
            if (copies[i].data) keep(err, disposeCopy(copies[i]));
        }
        for (int k = 0; k < kMapCount; ++k)
            if (mapOut[k]) keep(err, PF_CHECKIN_PARAM(in_, &mapParams[k]));
        if (effect && effectSuite) keep(err, effectSuite->AEGP_DisposeEffect(effect));
        if (worldSuite)
            keep(err, AEFX_ReleaseSuite(in_, out_, kPFWorldSuite, kPFWorldSuiteVersion2, "Couldn't release suite."));
        handles_->host_unlock_handle(record_);
        return err;
    }

    // Every successful checkout is checked in, with pixels or without.
    PF_ParamDef layerParams[kMaxShapes];
    bool layerOut[kMaxShapes] = {};
    PF_EffectWorld copies[kMaxShapes];
    int copyDepth[kMaxShapes] = {};
    PF_ParamDef mapParams[kMapCount];
    bool mapOut[kMapCount] = {};
    int shapeCount = 0;

    PF_WorldSuite2* worldSuite = nullptr;  // acquired here, released in finish()
    const PF_WorldSuite1* worldSuite1 = nullptr;
    const AEGP_EffectSuite3* effectSuite = nullptr;
    AEGP_EffectRefH effect = nullptr;

private:
    PF_Err disposeCopy(PF_EffectWorld& world) {
        const int i = static_cast<int>(&world - copies);
        if (copyDepth[i] == 2) return worldSuite->PF_DisposeWorld(in_->effect_ref, &world);
        return worldSuite1->dispose_world(in_->effect_ref, &world);
    }

    PF_InData* in_;
    PF_OutData* out_;
    const PF_HandleSuite2* handles_;
    PF_Handle record_;
    bool finished_ = false;
};

// Reads the plug-in id from the global data; false when there is none.
bool readPluginId(const PF_HandleSuite2* handles, PF_Handle global, AEGP_PluginID& id) {
    if (!global) return false;
    const auto* g = static_cast<const GlobalData*>(handles->host_lock_handle(global));
    if (!g) return false;
    id = g->pluginId;
    handles->host_unlock_handle(global);
    return true;
}

bool sequenceDataExists(const PF_HandleSuite2* handles, PF_Handle sequence) {
    if (!sequence) return false;
    if (!handles->host_lock_handle(sequence)) return false;
    handles->host_unlock_handle(sequence);
    return true;
}

// The render itself, steps 2 to 12; the closing steps are the resources'.
class SmartRenderer {
public:
    SmartRenderer(PF_InData* in, PF_OutData* out, PF_SmartRenderExtra* extra, AEGP_SuiteHandler& suites,
                  RenderResources& res, Parameters& params, AEGP_PluginID pluginId)
        : in_(in), out_(out), extra_(extra), suites_(suites), res_(res), p_(params), pluginId_(pluginId) {}

    PF_Err run() {
        acquireWorlds();
        readTime();
        readEffectLayer();
        if (!err_) keep(err_, animator_.init());
        // The record's shape count is clamped to 0..8 by the pre-render.
        res_.shapeCount = std::clamp(p_.shapeNumber, 0, kMaxShapes);
        for (int i = 0; i < res_.shapeCount && !err_; ++i) prepareShape(i);
        for (int k = 0; k < kMapCount && !err_; ++k) checkoutMap(k);
        const bool drawn = !err_ && drawingVisible() && bpc_ >= 0 && bpc_ <= 2;
        if (drawn) {
            draw();
        } else if (!err_) {
            keep(err_, in_->utils->fill(in_->effect_ref, &kClear, nullptr, output_));
            if (!err_) composite();
        }
        return err_;
    }

private:
    static constexpr PF_Pixel kClear{0, 0, 0, 0};

    void acquireWorlds() {
        void* suite = nullptr;
        err_ = AEFX_AcquireSuite(in_, out_, kPFWorldSuite, kPFWorldSuiteVersion2, "Couldn't load suite.", &suite);
        if (err_) return;
        res_.worldSuite = static_cast<PF_WorldSuite2*>(suite);
        PF_SmartRenderCallbacks* cb = extra_->cb;
        keep(err_, cb->checkout_layer_pixels(in_->effect_ref, 0, &input_));
        if (!err_) keep(err_, cb->checkout_output(in_->effect_ref, &output_));
        // Without an output there is nothing to render into.
        if (!err_ && !output_) err_ = PF_Err_BAD_CALLBACK_PARAM;
        bpc_ = -1;
        // An empty input (nothing visible on the layer) has no world: the
        // output tells the depth then.
        if (!err_) keep(err_, getBPC(in_, out_, res_.worldSuite, input_ ? input_ : output_, &bpc_));
    }

    void readTime() {
        if (in_->time_scale == 0) {
            keep(err_, kBadTime);
            return;
        }
        time_ = Fraction(in_->current_time, in_->time_scale);
    }

    void readEffectLayer() {
        if (!err_) {
            // Fetched before the effect is, so that it can always be disposed.
            res_.effectSuite = suites_.EffectSuite3();
            keep(err_,
                 suites_.PFInterfaceSuite1()->AEGP_GetNewEffectForEffect(pluginId_, in_->effect_ref, &res_.effect));
        }
        AEGP_LayerSuite13* layers = nullptr;
        if (!err_) {
            layers = suites_.LayerSuite13();
            keep(err_, suites_.PFInterfaceSuite1()->AEGP_GetEffectLayer(in_->effect_ref, &layer_));
        }
        AEGP_LayerQuality quality = -1;
        if (!err_) keep(err_, layers->AEGP_GetLayerQuality(layer_, &quality));
        draft_ = !err_ && quality == AEGP_LayerQual_DRAFT;
        if (!err_) keep(err_, layers->AEGP_GetLayerParentComp(layer_, &comp_));
        p_.frameDuration = {0, 1};
        if (!err_) keep(err_, suites_.CompSuite15()->AEGP_GetCompFrameDuration(comp_, &p_.frameDuration));
        if (!err_) {
            if (p_.frameDuration.scale == 0)
                err_ = kBadTime;
            else
                frameDuration_ = Fraction(p_.frameDuration.value, p_.frameDuration.scale);
        }
        animator_.pluginId = pluginId_;
        animator_.in_data = in_;
        animator_.suites = &suites_;
        animator_.effect = res_.effect;
        animator_.params = &p_;
        animator_.samples =
            static_cast<int>(std::clamp(p_.transitionManualDetail * 100.0, double(INT32_MIN), double(INT32_MAX)));
    }

    void prepareShape(int i) {
        Parameters::Shape& s = p_.shapes[i];
        if (s.type == kShapeTypeLayer)
            prepareLayerShape(i, s);
        else if (s.type == kShapeTypeInput)
            prepareInputShape(i, s);
        if (s.layer) reduceAndBound(i, s);
    }

    void prepareLayerShape(int i, Parameters::Shape& s) {
        const int index = kLayerParamBase + kShapeStride * i;
        int layerId = 0;
        unsigned char video = 0;
        const PF_Err e = hasVideo(pluginId_, in_, suites_, res_.effect, comp_, index, &layerId, &video);
        if (e || !video) {
            keep(err_, e);
            return;
        }
        // Frames need a frame duration to count in.
        if (frameDuration_ == 0) {
            keep(err_, kBadTime);
            return;
        }
        AEGP_LayerSuite13* layers = suites_.LayerSuite13();
        AEGP_LayerH source = nullptr;
        A_Time inPoint{0, 1}, duration{0, 1};
        PF_Err timing = layers->AEGP_GetLayerFromLayerID(comp_, layerId, &source);
        if (!timing) timing = layers->AEGP_GetLayerInPoint(source, AEGP_LTimeMode_CompTime, &inPoint);
        if (!timing) timing = layers->AEGP_GetLayerDuration(source, AEGP_LTimeMode_CompTime, &duration);
        if (timing) inPoint = duration = {0, 1};
        if (inPoint.scale == 0 || duration.scale == 0) {
            keep(timing, kBadTime);
            inPoint = duration = {0, 1};
        }
        keep(err_, timing);
        const LayerFrames frames = layerFrames(Fraction(inPoint.value, inPoint.scale),
                                               Fraction(duration.value, duration.scale), frameDuration_);
        s.layerInFrame = frames.in;
        s.layerOutFrame = frames.out;
        if (timing) return;

        CheckoutTime when{in_->current_time, in_->time_step, in_->time_scale};
        if (s.layerSampling >= 2 && s.layerSampling <= 4) {
            const int64_t cur = toInt32(time_ / frameDuration_);
            const Fraction compTime = Fraction(samplingFrame(s, cur, frames)) * frameDuration_;
            if (!fitsTime(compTime)) {
                keep(err_, kBadTime);
                return;
            }
            const A_Time comp{static_cast<A_long>(compTime.numerator()), static_cast<A_u_long>(compTime.denominator())};
            A_Time layerTime{0, 1};
            keep(err_, layers->AEGP_ConvertCompToLayerTime(layer_, &comp, &layerTime));
            if (!err_ && layerTime.scale == 0) err_ = kBadTime;
            if (err_) return;
            when = checkoutTime(layerTime, frameDuration_);
        }
        keep(err_, PF_CHECKOUT_PARAM(in_, index, when.value, when.step, when.scale, &res_.layerParams[i]));
        if (err_) return;
        res_.layerOut[i] = true;
        PF_LayerDef& world = res_.layerParams[i].u.ld;
        if (!world.data) return;
        s.layer = &world;
        if (s.useScale) s.size = world.width * s.scale;
    }

    void prepareInputShape(int i, Parameters::Shape& s) {
        if (s.frameOffset == 0) {
            s.layer = input_;
        } else {
            // The frame the pre-render asked for under this shape's id.
            PF_EffectWorld* frame = nullptr;
            keep(err_, extra_->cb->checkout_layer_pixels(in_->effect_ref, i + 1, &frame));
            s.layer = frame;
        }
        if (!s.useScale) return;
        if (s.boundingBox) {
            // A failed offset checkout leaves no frame to measure.
            if (s.layer) s.size = s.scale * s.layer->width;
        } else {
            s.size = s.scale * downsampledWidth();
        }
    }

    double downsampledWidth() const {
        const PF_RationalScale& ds = in_->downsample_x;
        if (ds.den == 0) return in_->width;
        return static_cast<uint32_t>(static_cast<uint32_t>(in_->width) * static_cast<uint32_t>(ds.num)) / ds.den;
    }

    // A source much wider than it is ever drawn is replaced by a copy the host
    // resamples to about the drawn size; then its alpha bounds.
    void reduceAndBound(int i, Parameters::Shape& s) {
        const bool considered = s.type == kShapeTypeLayer
                                    ? (s.randomizeLayerSampling == 1 || (s.layerSampling != 2 && s.layerSampling != 4))
                                    : s.boundingBox != 0;
        if (considered && !err_) reduce(i, s);
        calculateLayerRect(in_, suites_, bpc_, s.layer, s.layerRect);
    }

    void reduce(int i, Parameters::Shape& s) {
        const PF_LayerDef* src = s.layer;
        const double d = std::max(1.0, p_.transitionScale) * p_.transformScale * s.size;
        // A negative size or one that is not a number has nothing to copy to.
        if (!(d >= 0) || src->width / 2 <= d) return;
        const int newW = static_cast<int>(in_->utils->ansi.ceil(d + 0.5));
        const int newH = static_cast<int>(static_cast<double>(src->height) * newW / src->width + 0.5);
        if (newH < 1) return;
        PF_EffectWorld& copy = res_.copies[i];
        PF_Err e = PF_Err_NONE;
        switch (bpc_) {
            case 2:
                e = res_.worldSuite->PF_NewWorld(in_->effect_ref, newW, newH, true, PF_PixelFormat_ARGB128, &copy);
                break;
            case 1:
            case 0:
                res_.worldSuite1 = suites_.WorldSuite1();
                e = res_.worldSuite1->new_world(
                    in_->effect_ref, newW, newH,
                    PF_NewWorldFlag_CLEAR_PIXELS | (bpc_ == 1 ? PF_NewWorldFlag_DEEP_PIXELS : 0), &copy);
                break;
            default: return;
        }
        res_.copyDepth[i] = bpc_;
        keep(err_, e);
        if (e || !copy.data) return;
        const double k = static_cast<double>(newW) / src->width;
        PF_FloatMatrix m{};
        m.mat[0][0] = k;
        m.mat[1][1] = k;
        m.mat[2][1] = (copy.height - src->height * k) * 0.5;
        m.mat[2][2] = 1.0;
        const PF_CompositeMode mode{PF_Xfer_IN_FRONT, 0, 255, false, 32768};
        const PF_Rect dest{0, 0, newW, newH};
        keep(err_,
             in_->utils->transform_world(in_->effect_ref, draft_ ? PF_Quality_LO : PF_Quality_HI, PF_MF_Alpha_STRAIGHT,
                                         PF_Field_FRAME, src, &mode, nullptr, &m, 1, true, &dest, &copy));
        const double ratio = static_cast<double>(copy.width) / src->width;
        s.layerCenter.x *= ratio;
        s.layerCenter.y *= ratio;
        s.layer = &copy;
    }

    void checkoutMap(int k) {
        if (!mapWanted(p_, k)) return;
        unsigned char video = 0;
        keep(err_, hasVideo(pluginId_, in_, suites_, res_.effect, comp_, kMapIndices[k], nullptr, &video));
        if (err_ || !video) return;
        keep(err_, PF_CHECKOUT_PARAM(in_, kMapIndices[k], in_->current_time, in_->time_step, in_->time_scale,
                                     &res_.mapParams[k]));
        if (err_) return;
        res_.mapOut[k] = true;
        if (res_.mapParams[k].u.ld.data) *mapField(p_, k) = &res_.mapParams[k].u.ld;
    }

    // Whether the drawing can show at all at this depth.
    bool drawingVisible() const {
        const bool scaled = p_.transformScale > 1e-6;
        switch (bpc_) {
            case 0: return scaled && p_.transformOpacity >= 0.001;
            case 1: return scaled && p_.transformOpacity >= 1e-5;
            case 2: return scaled && p_.transformOpacity >= 1e-6;
            default: return scaled;
        }
    }

    // The drawing's launches also clear the output first and composite it
    // last, strip by strip.
    void draw() {
        ShapeDrawer drawer(pluginId_, in_, suites_, res_.effect, input_, output_, bpc_, p_, animator_, draft_);
        keep(err_, drawer.createPatterns());
        keep(err_, drawer.layoutError);
        if (err_) {
            in_->utils->fill(in_->effect_ref, &kClear, nullptr, output_);
            return;
        }
        Blender blender(in_, suites_, input_, output_, bpc_, p_.transformOpacity, p_.blendingMode);
        drawer.frameWork = {true, &blender, blender.doLighten(), p_.onOriginal != 0};
        keep(err_, drawer.draw());
    }

    // Without a drawing only the blend pass remains.
    void composite() {
        Blender blender(in_, suites_, input_, output_, bpc_, p_.transformOpacity, p_.blendingMode);
        if (p_.onOriginal) {
            blender.blend = 1;
            if (!err_) keep(err_, iterateGeneric(in_, suites_, &blender, 0));
        }
    }

    PF_InData* in_;
    PF_OutData* out_;
    PF_SmartRenderExtra* extra_;
    AEGP_SuiteHandler& suites_;
    RenderResources& res_;
    Parameters& p_;
    AEGP_PluginID pluginId_;
    PF_Err err_ = PF_Err_NONE;

    PF_EffectWorld* input_ = nullptr;
    PF_EffectWorld* output_ = nullptr;
    int bpc_ = -1;
    Fraction time_{0};
    Fraction frameDuration_{0};
    AEGP_LayerH layer_ = nullptr;
    AEGP_CompH comp_ = nullptr;
    bool draft_ = false;
    TransitionAnimator animator_;
};

}  // namespace

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
    if (!extra || !extra->input || !extra->cb) return PF_Err_BAD_CALLBACK_PARAM;
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    const PF_HandleSuite2* handles = suites.HandleSuite2();
    AEGP_PluginID pluginId = 0;
    if (!readPluginId(handles, in_data->global_data, pluginId) || !sequenceDataExists(handles, in_data->sequence_data))
        return PF_Err_BAD_CALLBACK_PARAM;
    PF_Handle record = static_cast<PF_Handle>(extra->input->pre_render_data);
    auto* params = record ? static_cast<Parameters*>(handles->host_lock_handle(record)) : nullptr;
    if (!params) return PF_Err_BAD_CALLBACK_PARAM;

    RenderResources resources(in_data, out_data, handles, record);
    const PF_Err err = SmartRenderer(in_data, out_data, extra, suites, resources, *params, pluginId).run();
    const PF_Err closing = resources.finish();
    return err ? err : closing;
}
