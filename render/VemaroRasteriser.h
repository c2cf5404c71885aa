// What every rasteriser (drawer) shares: pixel addressing in a world, colour and
// alpha conversion per depth, edge coverage, the band split of a region, the
// clipping of an element's extent to the output, and the work-object contract
// (band entry point, per-depth entry points) of the vector drawers.
#pragma once

#include "AE_Effect.h"
#include "Color.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace raster {

// ------------------------------------------------------------ pixels per depth
template <class P>
struct Depth;

// Integer depths: a channel is v * full + 0.5, clamped and truncated.
template <class P, class C, int Full, int RowShift>
struct IntegerDepth {
    static constexpr int kRowShift = RowShift;  // rowbytes >> kRowShift pixels per row
    using Chan = C;
    static Chan channel(float c) {
        const float v = c * static_cast<float>(Full) + 0.5f;
        if (!(v >= 0.0f)) return 0;  // also NaN
        return v > static_cast<float>(Full) ? Chan{Full} : static_cast<Chan>(v);
    }
    static Chan clampFull(double v) {
        if (!(v >= 0.0)) return 0;  // also NaN
        return v > Full ? Chan{Full} : static_cast<Chan>(v);
    }
    static Chan alpha(double a) { return clampFull(a * Full + 0.5); }
    // The merged fill-and-stroke alpha times the opacity.
    static Chan scaleAlpha(Chan alpha, double opacity) { return clampFull(alpha * opacity + 0.5); }
    static P fromColor(const Color& c) { return {channel(c.alpha), channel(c.red), channel(c.green), channel(c.blue)}; }
};

template <>
struct Depth<PF_Pixel> : IntegerDepth<PF_Pixel, A_u_char, 255, 2> {};
// Full value 32768, not 65535.
template <>
struct Depth<PF_Pixel16> : IntegerDepth<PF_Pixel16, A_u_short, 32768, 3> {};

// Float: colours unclamped, alpha clamped to [0, 1].
template <>
struct Depth<PF_PixelFloat> {
    static constexpr int kRowShift = 4;
    using Chan = float;
    static float alpha(double a) {
        if (!(a > 0.0)) return 0.0f;  // also NaN
        return a > 1.0 ? 1.0f : static_cast<float>(a);
    }
    static float scaleAlpha(float alpha, double opacity) { return Depth::alpha(alpha * opacity); }
    static PF_PixelFloat fromColor(const Color& c) { return {alpha(c.alpha), c.red, c.green, c.blue}; }
};

// The full alpha of a pixel type.
template <class P>
constexpr auto fullAlpha() {
    if constexpr (std::is_same_v<P, PF_Pixel>) {
        return A_u_char{255};
    } else if constexpr (std::is_same_v<P, PF_Pixel16>) {
        return A_u_short{32768};
    } else {
        return 1.0f;
    }
}

// Row r of a world as an array of pixels; the row length is rowbytes taken as
// a whole number of pixels.
template <class P>
inline P* row(const PF_LayerDef* world, int r) {
    const std::ptrdiff_t stride = world->rowbytes >> Depth<P>::kRowShift;
    return static_cast<P*>(world->data) + stride * r;
}

// Asks for the ends of the next row's span ahead of use: each row of a small
// element starts on cache lines nobody touched yet; the hardware follows the
// rest. Forced inline: out of line, GCC takes a function of prefetches alone
// for one without effects and drops its calls.
template <class P>
[[gnu::always_inline]] inline void prefetchRow(const PF_LayerDef* world, A_long r, const PF_LRect& band, A_long from,
                                               A_long to) {
#if defined(__GNUC__)
    if (r >= band.bottom) return;
    const P* p = row<P>(world, r);
    __builtin_prefetch(p + from, 1);
    __builtin_prefetch(p + to - 1, 1);
#else
    (void)world, (void)r, (void)band, (void)from, (void)to;
#endif
}

// Asks for the cache lines of row r's columns [from, to) ahead of a drawing
// bound by the latency of the rows it meets: of a long span its first kHead
// lines and its end alone (the processor follows the rest by itself). Forced
// inline for the reason above.
template <class P, int kHead>
[[gnu::always_inline]] inline void prefetchSpan(const PF_LayerDef* world, A_long r, const PF_LRect& band, A_long from,
                                                A_long to) {
#if defined(__GNUC__)
    if (r >= band.bottom) return;
    const char* p = reinterpret_cast<const char*>(row<P>(world, r) + from);
    const char* end = reinterpret_cast<const char*>(row<P>(world, r) + to);
    const char* stop = end - p > kHead * 64 ? p + kHead * 64 : end;
    for (; p < stop; p += 64) __builtin_prefetch(p, 1);
    // The right edge may straddle two lines.
    if (end - stop > 64) __builtin_prefetch(end - 65, 1);
    __builtin_prefetch(end - 1, 1);
#else
    (void)world, (void)r, (void)band, (void)from, (void)to;
#endif
}

// Calls f(P{}) with the pixel type of a depth index; other indices do nothing.
template <class F>
inline void forDepth(int bpc, F&& f) {
    switch (bpc) {
        case 0: f(PF_Pixel{}); break;
        case 1: f(PF_Pixel16{}); break;
        case 2: f(PF_PixelFloat{}); break;
        default: break;
    }
}

// ------------------------------------------------------------ coverage
// Coverage of a shape lying where the distance d is smaller than the edge e.
inline double covOut(double d, double e) {
    if (d <= e - 0.5) return 1.0;
    if (d >= e + 0.5) return 0.0;
    return e - d + 0.5;
}
// Coverage of a shape lying where d is larger than e.
inline double covIn(double d, double e) {
    if (d >= e + 0.5) return 1.0;
    if (d <= e - 0.5) return 0.0;
    return d - e + 0.5;
}
inline double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// ------------------------------------------------------------ regions and bands
// Band i of n of the rows [top, bottom): 32-bit products, truncating division.
inline PF_LRect band(const PF_LRect& region, int i, int n) {
    const A_long h = region.bottom - region.top;
    return {region.left, region.top + (h * i) / n, region.right, region.top + (h * (i + 1)) / n};
}

// Beyond this many pixels from the origin an extent is no drawable geometry:
// the spacing of doubles there approaches a pixel.
constexpr double kMaxExtent = 1e12;

// [lo, hi] grown by half a pixel, rounded outwards and clipped to [0, limit].
// Non-finite or absurdly large extents give an empty span instead of an
// out-of-range conversion.
inline void clipSpan(const PF_InData* in_data, double lo, double hi, A_long limit, A_long& outLo, A_long& outHi) {
    if (!(std::fabs(lo) <= kMaxExtent && std::fabs(hi) <= kMaxExtent)) {  // also NaN and infinities
        outLo = outHi = 0;
        return;
    }
    double l = in_data->utils->ansi.floor(lo - 0.5);
    double r = in_data->utils->ansi.ceil(hi + 0.5);
    const double lim = limit < 0 ? 0.0 : static_cast<double>(limit);
    l = l < 0.0 ? 0.0 : (l > lim ? lim : l);
    r = r < 0.0 ? 0.0 : (r > lim ? lim : r);
    outLo = static_cast<A_long>(l);
    outHi = static_cast<A_long>(r);
}

// ------------------------------------------------------------ the drawer contract
// The work-object side of a vector drawer (Derived): operator() for the host's
// bands, drawRows for any run of output rows, and the per-depth entry points.
// Derived provides region, bpc, draft, a rows threshold kMultithreadRows,
// ready() (tables built), drawT<P> and drawDraftT<P>, and may choose its
// routine per band with a drawDepth<P> of its own.
// Drawing rows [a, b) then [b, c) gives the same pixels as [a, c): every
// pixel depends on its own row and column only.
template <class Derived>
class Rasteriser {
public:
    // Draws band i of n of the region.
    int operator()(int i, int n) const { return drawRows(band(self().region, i, n)); }
    // Draws the region's part of the rows [rows.top, rows.bottom).
    int drawRows(const PF_LRect& rows) const;
    // Whether the region is tall enough to be split over the host's threads.
    bool doMultithread(int threads) const {
        const A_long h = self().region.bottom - self().region.top;
        return h > (threads > Derived::kMultithreadRows ? threads : Derived::kMultithreadRows);
    }
    // Whether the element meets the output at all.
    bool visible() const {
        const PF_LRect& r = self().region;
        return r.left < r.right && r.top < r.bottom;
    }

    void draw8(PF_LRect b) const;
    void draw16(PF_LRect b) const;
    void draw32(PF_LRect b) const;
    void drawDraft8(PF_LRect b) const;
    void drawDraft16(PF_LRect b) const;
    void drawDraft32(PF_LRect b) const;

protected:
    template <class P>
    void drawDepth(const PF_LRect& b) const {
        if (self().draft)
            self().template drawDraftT<P>(b);
        else
            self().template drawT<P>(b);
    }

private:
    const Derived& self() const { return static_cast<const Derived&>(*this); }
};

// Out of the class and not inline: each drawer instantiates these once, in its
// own file, next to its drawing routines.
template <class Derived>
int Rasteriser<Derived>::drawRows(const PF_LRect& rows) const {
    const PF_LRect& r = self().region;
    const PF_LRect b{r.left, rows.top > r.top ? rows.top : r.top, r.right,
                     rows.bottom < r.bottom ? rows.bottom : r.bottom};
    if (b.top >= b.bottom || b.left >= b.right || !self().ready()) return PF_Err_NONE;
    forDepth(self().bpc, [&](auto pixel) { self().template drawDepth<decltype(pixel)>(b); });
    return PF_Err_NONE;
}
template <class Derived>
void Rasteriser<Derived>::draw8(PF_LRect b) const {
    self().template drawT<PF_Pixel>(b);
}
template <class Derived>
void Rasteriser<Derived>::draw16(PF_LRect b) const {
    self().template drawT<PF_Pixel16>(b);
}
template <class Derived>
void Rasteriser<Derived>::draw32(PF_LRect b) const {
    self().template drawT<PF_PixelFloat>(b);
}
template <class Derived>
void Rasteriser<Derived>::drawDraft8(PF_LRect b) const {
    self().template drawDraftT<PF_Pixel>(b);
}
template <class Derived>
void Rasteriser<Derived>::drawDraft16(PF_LRect b) const {
    self().template drawDraftT<PF_Pixel16>(b);
}
template <class Derived>
void Rasteriser<Derived>::drawDraft32(PF_LRect b) const {
    self().template drawDraftT<PF_PixelFloat>(b);
}

// ------------------------------------------------------------ abort checks
// Asks the host's abort callback from inside a band, at most once per
// `every` of work: cheap enough to call per row or per element. `stop` is an
// error another band of the same launch met (which ends this band too).
class AbortClock {
public:
    using Clock = std::chrono::steady_clock;
    explicit AbortClock(PF_InData* in, const std::atomic<PF_Err>* stop = nullptr,
                        Clock::duration every = std::chrono::milliseconds(2))
        : in_(in), stop_(stop), every_(every), last_(Clock::now()) {}
    PF_Err check() {
        if (stop_)
            if (const PF_Err err = stop_->load(std::memory_order_relaxed)) return err;
        const Clock::time_point now = Clock::now();
        if (now - last_ < every_) return PF_Err_NONE;
        last_ = now;
        return PF_ABORT(in_);
    }

private:
    PF_InData* in_;
    const std::atomic<PF_Err>* stop_;
    Clock::duration every_;
    Clock::time_point last_;
};

}  // namespace raster
