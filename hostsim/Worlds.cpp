#include "Worlds.h"

#include <algorithm>
#include <cstring>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }
Worlds& worlds() { return host().get<Worlds>(); }

// Pixels of a world made without clearing hold this byte, so that an effect
// relying on cleared memory shows up.
constexpr unsigned char kGarbage = 0xCD;
// The host refuses worlds above this many pixels a side.
constexpr A_long kMaxSide = 1 << 15;

PF_Err getPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    if (PF_Err e = host().faults().hit("PF_GetPixelFormat")) return e;
    if (!format) return PF_Err_BAD_CALLBACK_PARAM;
    *format = PF_PixelFormat_INVALID;
    World* w = World::liveFromRecord(world);
    if (!w) return PF_Err_BAD_CALLBACK_PARAM;
    *format = w->format();
    return PF_Err_NONE;
}

PF_Err newWorld1(PF_ProgPtr, A_long width, A_long height, PF_NewWorldFlags flags, PF_EffectWorld* world) {
    if (PF_Err e = host().faults().hit("new_world")) return e;
    return worlds().newWorld(width, height, (flags & PF_NewWorldFlag_DEEP_PIXELS) ? Depth::Bits16 : Depth::Bits8,
                             (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0, world);
}

PF_Err newWorld2(PF_ProgPtr, A_long width, A_long height, PF_Boolean clear, PF_PixelFormat format,
                 PF_EffectWorld* world) {
    if (PF_Err e = host().faults().hit("PF_NewWorld")) return e;
    Depth d;
    switch (format) {
        case PF_PixelFormat_ARGB32: d = Depth::Bits8; break;
        case PF_PixelFormat_ARGB64: d = Depth::Bits16; break;
        case PF_PixelFormat_ARGB128: d = Depth::Float; break;
        default: return PF_Err_BAD_CALLBACK_PARAM;
    }
    return worlds().newWorld(width, height, d, clear != 0, world);
}

PF_Err disposeWorldCb(PF_ProgPtr, PF_EffectWorld* world) {
    if (PF_Err e = host().faults().hit("dispose_world")) return e;
    return worlds().disposeWorld(world);
}

// The 8-bit colour is taken to the world's depth.
template <class P>
P convert(const PF_Pixel& c);
template <>
PF_Pixel convert(const PF_Pixel& c) {
    return c;
}
template <>
PF_Pixel16 convert(const PF_Pixel& c) {
    auto f = [](unsigned v) { return static_cast<A_u_short>((v * 32768u + 127u) / 255u); };
    return {f(c.alpha), f(c.red), f(c.green), f(c.blue)};
}
template <>
PF_PixelFloat convert(const PF_Pixel& c) {
    auto f = [](unsigned v) { return static_cast<float>(v) / 255.0f; };
    return {f(c.alpha), f(c.red), f(c.green), f(c.blue)};
}

template <class P>
void fillRect(World& w, const P& v, const PF_Rect* rect) {
    PF_Rect r{0, 0, w.width(), w.height()};
    if (rect) {
        r.left = std::max<A_long>(r.left, rect->left);
        r.top = std::max<A_long>(r.top, rect->top);
        r.right = std::min<A_long>(r.right, rect->right);
        r.bottom = std::min<A_long>(r.bottom, rect->bottom);
    }
    for (A_long y = r.top; y < r.bottom; ++y)
        for (A_long x = r.left; x < r.right; ++x) w.at<P>(x, y) = v;
}

PF_Err fill8(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* rect, PF_LayerDef* world) {
    if (PF_Err e = host().faults().hit("fill")) return e;
    World* w = World::liveFromRecord(world);
    if (!w) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Pixel c = color ? *color : PF_Pixel{0, 0, 0, 0};
    switch (w->depth()) {
        case Depth::Bits8: fillRect(*w, convert<PF_Pixel>(c), rect); break;
        case Depth::Bits16: fillRect(*w, convert<PF_Pixel16>(c), rect); break;
        case Depth::Float: fillRect(*w, convert<PF_PixelFloat>(c), rect); break;
    }
    return PF_Err_NONE;
}

PF_Err fill16(PF_ProgPtr, const PF_Pixel16* color, const PF_Rect* rect, PF_LayerDef* world) {
    if (PF_Err e = host().faults().hit("fill16")) return e;
    World* w = World::liveFromRecord(world);
    if (!w || w->depth() != Depth::Bits16) return PF_Err_BAD_CALLBACK_PARAM;
    fillRect(*w, color ? *color : PF_Pixel16{0, 0, 0, 0}, rect);
    return PF_Err_NONE;
}

}  // namespace

PF_Err Worlds::newWorld(A_long width, A_long height, Depth depth, bool clear, PF_EffectWorld* out) {
    if (!out || width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return PF_Err_BAD_CALLBACK_PARAM;
    auto w = std::make_unique<World>(width, height, depth, padPixels);
    if (!clear)
        for (int y = 0; y < height; ++y)
            std::memset(w->row<unsigned char>(y), kGarbage, std::size_t(width) * pixelSize(depth));
    *out = *w->get();
    std::lock_guard<std::mutex> g(mutex_);
    worlds_[out->data] = std::move(w);
    ++made_;
    return PF_Err_NONE;
}

PF_Err Worlds::disposeWorld(PF_EffectWorld* world) {
    std::unique_ptr<World> gone;
    {
        std::lock_guard<std::mutex> g(mutex_);
        auto it = world ? worlds_.find(world->data) : worlds_.end();
        if (it == worlds_.end()) {
            host().addViolation("dispose_world: a world the effect did not make, or disposed twice");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        gone = std::move(it->second);
        worlds_.erase(it);
    }
    world->data = nullptr;  // a use after disposal faults at once
    return PF_Err_NONE;
}

int Worlds::live() const {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int>(worlds_.size());
}

void Worlds::install(Host& h) {
    suite1_ = {newWorld1, disposeWorldCb, getPixelFormat};
    suite2_ = {newWorld2, disposeWorldCb, getPixelFormat};
    h.suites().add(kPFWorldSuite, 1, &suite1_);
    h.suites().add(kPFWorldSuite, 2, &suite2_);
    h.utils().new_world = newWorld1;
    h.utils().dispose_world = disposeWorldCb;
    h.utils().fill = fill8;
    h.utils().fill16 = fill16;
}

// Worlds belong to the render that made them.
void Worlds::afterCommand(Host&, PF_Cmd cmd) {
    leakedAtCommandEnd_ = (cmd == PF_Cmd_RENDER || cmd == PF_Cmd_SMART_RENDER) ? live() : 0;
}

void Worlds::commandLeaks(std::vector<std::string>& out) const {
    if (leakedAtCommandEnd_) out.push_back(std::to_string(leakedAtCommandEnd_) + " world(s) never disposed");
}

void Worlds::unloadLeaks(std::vector<std::string>& out) const {
    if (int n = live()) out.push_back(std::to_string(n) + " world(s) never disposed");
}

}  // namespace hostsim
