// A pixel buffer the simulated host owns: a PF_EffectWorld at one of the three
// depths, with row padding and an origin, as the host hands them to effects.
#pragma once

#include "AE_Effect.h"

#include <cstdint>
#include <vector>

namespace hostsim {

enum class Depth { Bits8 = 0, Bits16 = 1, Float = 2 };

inline std::size_t pixelSize(Depth d) { return d == Depth::Bits8 ? 4 : d == Depth::Bits16 ? 8 : 16; }

class World {
public:
    World() = default;
    // padPixels: extra pixels at the end of every row, so rowbytes > width * size.
    World(int width, int height, Depth depth, int padPixels = 3, int originX = 0, int originY = 0);
    // The record points back at its owner, so a world stays where it was made.
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    ~World();

    PF_EffectWorld* get() { return &world_; }
    const PF_EffectWorld* get() const { return &world_; }
    Depth depth() const { return depth_; }
    int width() const { return world_.width; }
    int height() const { return world_.height; }
    bool empty() const { return storage_.empty(); }
    void setOrigin(int x, int y) {
        world_.origin_x = x;
        world_.origin_y = y;
    }
    PF_PixelFormat format() const;

    template <class P>
    P* row(int y) {
        return reinterpret_cast<P*>(static_cast<unsigned char*>(world_.data) + std::size_t(y) * world_.rowbytes);
    }
    template <class P>
    const P* row(int y) const {
        return reinterpret_cast<const P*>(static_cast<const unsigned char*>(world_.data) +
                                          std::size_t(y) * world_.rowbytes);
    }
    template <class P>
    P& at(int x, int y) {
        return row<P>(y)[x];
    }
    template <class P>
    const P& at(int x, int y) const {
        return row<P>(y)[x];
    }

    // Fills every pixel (padding excluded) with one value.
    template <class P>
    void fill(const P& v) {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) at<P>(x, y) = v;
    }
    // The bytes of the padding, to check that nothing wrote outside the rows.
    bool paddingUntouched() const;

    // Fills the world's fields of an existing record (for worlds the host
    // hands out by pointer into its own storage).
    static World* fromRecord(const PF_EffectWorld* w);
    // The live world a record (or a copy of it) belongs to; null for records
    // no live World made, so stale or foreign records are told apart.
    static World* liveFromRecord(const PF_EffectWorld* w);

private:
    PF_EffectWorld world_{};
    Depth depth_ = Depth::Bits8;
    int pad_ = 0;
    std::vector<unsigned char> storage_;
};

}  // namespace hostsim
