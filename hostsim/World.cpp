#include "World.h"

#include <map>
#include <mutex>

namespace hostsim {

namespace {
constexpr unsigned char kPadByte = 0xA5;

// Every live World, so that a record handed back by the effect can be checked.
std::mutex g_liveMutex;
std::map<const World*, const void*>& liveWorlds() {
    static std::map<const World*, const void*> live;
    return live;
}
}  // namespace

World::World(int width, int height, Depth depth, int padPixels, int originX, int originY)
    : depth_(depth), pad_(padPixels) {
    std::size_t ps = pixelSize(depth);
    std::size_t rowbytes = (std::size_t(width) + std::size_t(padPixels)) * ps;
    storage_.assign(std::max<std::size_t>(1, rowbytes * std::size_t(height)), kPadByte);
    for (int y = 0; y < height; ++y)
        std::fill(storage_.begin() + static_cast<long>(y * rowbytes),
                  storage_.begin() + static_cast<long>(y * rowbytes + std::size_t(width) * ps), 0);
    world_.data = storage_.data();
    world_.rowbytes = static_cast<A_long>(rowbytes);
    world_.width = width;
    world_.height = height;
    world_.origin_x = originX;
    world_.origin_y = originY;
    world_.extent_hint = {0, 0, width, height};
    world_.pix_aspect_ratio = {1, 1};
    world_.world_flags = PF_WorldFlag_WRITEABLE | (depth != Depth::Bits8 ? PF_WorldFlag_DEEP : 0);
    world_.platform_ref = this;  // lets the host find the buffer's depth again
    std::lock_guard<std::mutex> g(g_liveMutex);
    liveWorlds()[this] = world_.data;
}

World::~World() {
    std::lock_guard<std::mutex> g(g_liveMutex);
    liveWorlds().erase(this);
}

World* World::liveFromRecord(const PF_EffectWorld* w) {
    if (!w) return nullptr;
    std::lock_guard<std::mutex> g(g_liveMutex);
    auto it = liveWorlds().find(static_cast<const World*>(w->platform_ref));
    if (it == liveWorlds().end() || it->second != w->data) return nullptr;
    return const_cast<World*>(it->first);
}

PF_PixelFormat World::format() const {
    switch (depth_) {
        case Depth::Bits8: return PF_PixelFormat_ARGB32;
        case Depth::Bits16: return PF_PixelFormat_ARGB64;
        case Depth::Float: return PF_PixelFormat_ARGB128;
    }
    return PF_PixelFormat_INVALID;
}

bool World::paddingUntouched() const {
    std::size_t ps = pixelSize(depth_);
    for (int y = 0; y < world_.height; ++y) {
        std::size_t start = std::size_t(y) * std::size_t(world_.rowbytes) + std::size_t(world_.width) * ps;
        for (std::size_t i = 0; i < std::size_t(pad_) * ps; ++i)
            if (storage_[start + i] != kPadByte) return false;
    }
    return true;
}

World* World::fromRecord(const PF_EffectWorld* w) { return w ? static_cast<World*>(w->platform_ref) : nullptr; }

}  // namespace hostsim
