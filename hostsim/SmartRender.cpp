#include "SmartRender.h"

#include "Iterate.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }
SmartRender& smart() { return host().get<SmartRender>(); }

// ---------------------------------------------------------------- pixels as doubles
struct Rgba {
    double a, r, g, b;
};

template <class P>
struct Channel;
template <>
struct Channel<PF_Pixel> {
    static double in(A_u_char v) { return v / 255.0; }
    static A_u_char out(double v) { return static_cast<A_u_char>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); }
};
template <>
struct Channel<PF_Pixel16> {
    static double in(A_u_short v) { return v / 32768.0; }
    static A_u_short out(double v) { return static_cast<A_u_short>(std::clamp(v, 0.0, 1.0) * 32768.0 + 0.5); }
};
template <>
struct Channel<PF_PixelFloat> {
    static double in(float v) { return v; }
    static float out(double v) { return static_cast<float>(v); }
};

template <class P>
Rgba load(const P& p) {
    using C = Channel<P>;
    return {C::in(p.alpha), C::in(p.red), C::in(p.green), C::in(p.blue)};
}
template <class P>
P store(const Rgba& c) {
    using C = Channel<P>;
    P p;
    p.alpha = C::out(c.a);
    p.red = C::out(c.r);
    p.green = C::out(c.g);
    p.blue = C::out(c.b);
    return p;
}

// Row-vector affine map: (x, y, 1) M.
struct Affine {
    double m[3][3];
    void apply(double x, double y, double& ox, double& oy) const {
        ox = x * m[0][0] + y * m[1][0] + m[2][0];
        oy = x * m[0][1] + y * m[1][1] + m[2][1];
    }
    bool invert(Affine& inv) const {
        const double det = m[0][0] * m[1][1] - m[0][1] * m[1][0];
        if (!(std::fabs(det) > 1e-300)) return false;
        inv = {};
        inv.m[0][0] = m[1][1] / det;
        inv.m[0][1] = -m[0][1] / det;
        inv.m[1][0] = -m[1][0] / det;
        inv.m[1][1] = m[0][0] / det;
        inv.m[2][0] = -(m[2][0] * inv.m[0][0] + m[2][1] * inv.m[1][0]);
        inv.m[2][1] = -(m[2][0] * inv.m[0][1] + m[2][1] * inv.m[1][1]);
        inv.m[2][2] = 1.0;
        return true;
    }
};

template <class P>
void transformT(const World& src, World& dst, const Affine& dstToSrc, int samples, double opacity, const PF_Rect& r) {
    const double step = 1.0 / samples;
    for (A_long y = r.top; y < r.bottom; ++y) {
        for (A_long x = r.left; x < r.right; ++x) {
            // Premultiplied sum over the samples; outside the source is clear.
            Rgba sum{0, 0, 0, 0};
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    double u = 0, v = 0;
                    dstToSrc.apply(x + (sx + 0.5) * step, y + (sy + 0.5) * step, u, v);
                    const double fu = std::floor(u), fv = std::floor(v);
                    if (!(fu >= 0 && fv >= 0 && fu < src.width() && fv < src.height())) continue;
                    const Rgba c = load(src.at<P>(static_cast<int>(fu), static_cast<int>(fv)));
                    sum.a += c.a;
                    sum.r += c.r * c.a;
                    sum.g += c.g * c.a;
                    sum.b += c.b * c.a;
                }
            }
            const double n = double(samples) * samples;
            const double sa = sum.a / n * opacity;
            if (!(sa > 0)) continue;
            const Rgba s{sa, sum.r / sum.a, sum.g / sum.a, sum.b / sum.a};
            // In front of what the destination holds (straight alpha).
            P& out = dst.at<P>(x, y);
            const Rgba d = load(out);
            const double oa = sa + d.a * (1 - sa);
            auto mix = [&](double sc, double dc) { return (sc * sa + dc * d.a * (1 - sa)) / oa; };
            out = store<P>({oa, mix(s.r, d.r), mix(s.g, d.g), mix(s.b, d.b)});
        }
    }
}

// ---------------------------------------------------------------- callbacks
// The call in flight for a smart render callback, with the host's lock held;
// null (and a violation) outside a smart render or for another effect.
template <class F>
PF_Err withCall(const char* fn, PF_ProgPtr ref, bool argumentsOk, F&& body) {
    if (PF_Err e = host().faults().hit(fn)) return e;
    SmartRender& s = smart();
    std::lock_guard<std::mutex> g(s.mutex());
    SmartRenderCall* call = s.currentCall();
    if (!call || !argumentsOk || ref != host().effectRef()) {
        host().addViolation(std::string(fn) + " outside a smart render or with bad arguments");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return body(*call, s);
}

PF_Err checkoutLayerPixels(PF_ProgPtr ref, A_long id, PF_EffectWorld** pixels) {
    return withCall("checkout_layer_pixels", ref, pixels != nullptr, [&](SmartRenderCall& call, SmartRender& s) {
        *pixels = nullptr;
        World* w = host().get<Comp>().checkedOutFrame(*s.currentPreRender(), id);
        if (!w) {
            host().addViolation("checkout_layer_pixels of id " + std::to_string(id) +
                                ", which the pre-render did not check out");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        call.pixelCheckouts.push_back(id);
        *pixels = w->get();
        return PF_Err_NONE;
    });
}

PF_Err checkinLayerPixels(PF_ProgPtr ref, A_long id) {
    return withCall("checkin_layer_pixels", ref, true, [&](SmartRenderCall& call, SmartRender&) {
        const auto outs = std::count(call.pixelCheckouts.begin(), call.pixelCheckouts.end(), id);
        const auto ins = std::count(call.pixelCheckins.begin(), call.pixelCheckins.end(), id);
        if (ins >= outs) {
            host().addViolation("checkin_layer_pixels of id " + std::to_string(id) + ", which is not checked out");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        call.pixelCheckins.push_back(id);
        return PF_Err_NONE;
    });
}

PF_Err checkoutOutput(PF_ProgPtr ref, PF_EffectWorld** output) {
    return withCall("checkout_output", ref, output != nullptr, [&](SmartRenderCall& call, SmartRender&) {
        ++call.outputCheckouts;
        *output = call.output->get();
        return PF_Err_NONE;
    });
}

PF_Err transformWorldCb(PF_ProgPtr, PF_Quality quality, PF_ModeFlags, PF_Field, const PF_EffectWorld* src,
                        const PF_CompositeMode* mode, const PF_MaskWorld*, const PF_FloatMatrix* matrices,
                        A_long numMatrices, PF_Boolean srcToDst, const PF_Rect* destRect, PF_EffectWorld* dst) {
    if (PF_Err e = host().faults().hit("transform_world")) return e;
    smart().countTransform();
    return transformWorld(quality, mode, src, matrices, numMatrices, srcToDst != 0, destRect, dst);
}

Depth depthOf(A_short bits) { return bits == 32 ? Depth::Float : bits == 16 ? Depth::Bits16 : Depth::Bits8; }

template <class P>
void fillMagenta(World& w) {
    w.fill(store<P>({1, 1, 0, 1}));
}

}  // namespace

PF_Err transformWorld(PF_Quality quality, const PF_CompositeMode* mode, const PF_EffectWorld* src,
                      const PF_FloatMatrix* matrices, A_long numMatrices, bool srcToDst, const PF_Rect* destRect,
                      PF_EffectWorld* dst) {
    const World* s = World::liveFromRecord(src);
    World* d = World::liveFromRecord(dst);
    if (!s || !d || !matrices || numMatrices < 1) return PF_Err_BAD_CALLBACK_PARAM;
    if (s->depth() != d->depth()) return PF_Err_BAD_CALLBACK_PARAM;
    Affine m{}, dstToSrc{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m.m[i][j] = matrices[0].mat[i][j];
    if (srcToDst) {
        if (!m.invert(dstToSrc)) return PF_Err_BAD_CALLBACK_PARAM;
    } else {
        dstToSrc = m;
    }
    PF_Rect r{0, 0, d->width(), d->height()};
    if (destRect) {
        r.left = std::max(r.left, destRect->left);
        r.top = std::max(r.top, destRect->top);
        r.right = std::min(r.right, destRect->right);
        r.bottom = std::min(r.bottom, destRect->bottom);
    }
    if (r.left >= r.right || r.top >= r.bottom) return PF_Err_NONE;
    // The source footprint of one output pixel, in source pixels.
    const double footprint =
        std::max(std::hypot(dstToSrc.m[0][0], dstToSrc.m[0][1]), std::hypot(dstToSrc.m[1][0], dstToSrc.m[1][1]));
    const int samples = quality == PF_Quality_HI ? static_cast<int>(std::clamp(std::ceil(footprint), 1.0, 16.0)) : 1;
    const double opacity = mode ? mode->opacity / 255.0 : 1.0;
    // Bands of rows on the host's threads: each output pixel depends on the
    // source and on itself only.
    struct Work {
        const World* s;
        World* d;
        const Affine* dstToSrc;
        int samples;
        double opacity;
        PF_Rect r;
    } work{s, d, &dstToSrc, samples, opacity, r};
    auto band = [](void* refcon, A_long, A_long i, A_long n) -> PF_Err {
        const Work& w = *static_cast<const Work*>(refcon);
        PF_Rect b = w.r;
        const A_long rows = w.r.bottom - w.r.top;
        b.top = w.r.top + A_long(int64_t(rows) * i / n);
        b.bottom = w.r.top + A_long(int64_t(rows) * (i + 1) / n);
        switch (w.s->depth()) {
            case Depth::Bits8: transformT<PF_Pixel>(*w.s, *w.d, *w.dstToSrc, w.samples, w.opacity, b); break;
            case Depth::Bits16: transformT<PF_Pixel16>(*w.s, *w.d, *w.dstToSrc, w.samples, w.opacity, b); break;
            case Depth::Float: transformT<PF_PixelFloat>(*w.s, *w.d, *w.dstToSrc, w.samples, w.opacity, b); break;
        }
        return PF_Err_NONE;
    };
    Iterate* pool = Host::current() ? &Host::current()->get<Iterate>() : nullptr;
    const A_long bands = pool ? std::min<A_long>(pool->threads(), r.bottom - r.top) : 1;
    if (bands > 1) return pool->runForHost(bands, &work, band);
    return band(&work, 0, 0, 1);
}

void SmartRender::install(Host& h) {
    host_ = &h;
    callbacks_ = {checkoutLayerPixels, checkinLayerPixels, checkoutOutput};
    h.utils().transform_world = transformWorldCb;
    // Records the layer parameters checked out during a smart render, then
    // lets the composition fill them (Comp is installed before this).
    Params& params = h.get<Params>();
    auto fill = params.checkoutLayer;
    params.checkoutLayer = [this, fill](const LayerRequest& r, PF_LayerDef& def) {
        {
            std::lock_guard<std::mutex> g(mutex_);
            if (current_) current_->layerParams.push_back(r);
        }
        return fill ? fill(r, def) : PF_Err_NONE;
    };
}

// Two spares serve both `call = render(...)` over a live call and a call
// dropped before the next render.
std::shared_ptr<World> SmartRender::outputWorld(int width, int height, Depth depth, int originX, int originY) {
    for (std::shared_ptr<World>& w : spare_)
        if (w.use_count() == 1 && w->width() == width && w->height() == height && w->depth() == depth) {
            w->setOrigin(originX, originY);
            return w;
        }
    auto made = std::make_shared<World>(width, height, depth, 3, originX, originY);
    constexpr std::size_t kSpares = 2;
    auto idle = std::find_if(spare_.begin(), spare_.end(), [](const auto& w) { return w.use_count() == 1; });
    if (idle != spare_.end())
        *idle = made;
    else if (spare_.size() < kSpares)
        spare_.push_back(made);
    return made;
}

SmartRenderCall SmartRender::send(PreRenderCall& pre) {
    SmartRenderCall call;
    Comp& comp = host_->get<Comp>();
    const PF_LRect& rect = pre.output.result_rect;
    const int w = std::max(0, rect.right - rect.left), ht = std::max(0, rect.bottom - rect.top);
    call.output = outputWorld(w, ht, depthOf(comp.bitDepth()), rect.left, rect.top);
    if (markOutput) switch (call.output->depth()) {
            case Depth::Bits8: fillMagenta<PF_Pixel>(*call.output); break;
            case Depth::Bits16: fillMagenta<PF_Pixel16>(*call.output); break;
            case Depth::Float: fillMagenta<PF_PixelFloat>(*call.output); break;
        }
    call.input.output_request = pre.input.output_request;
    call.input.bitdepth = comp.bitDepth();
    call.input.pre_render_data = pre.output.pre_render_data;
    PF_SmartRenderExtra extra{&call.input, &callbacks_};
    {
        std::lock_guard<std::mutex> g(mutex_);
        current_ = &call;
        pre_ = &pre;
    }
    call.err = host_->send(PF_Cmd_SMART_RENDER, &extra);
    call.sent = true;
    {
        std::lock_guard<std::mutex> g(mutex_);
        current_ = nullptr;
        pre_ = nullptr;
    }
    return call;
}

SmartRenderCall SmartRender::render(long frame) {
    Comp& comp = host_->get<Comp>();
    comp.setFrame(frame);
    PreRenderCall pre = comp.preRender();
    SmartRenderCall call;
    if (pre.err == PF_Err_NONE) call = send(pre);
    call.preRenderErr = pre.err;
    comp.releasePreRenderData(pre);
    return call;
}

}  // namespace hostsim
