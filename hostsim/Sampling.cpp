#include "Sampling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hostsim {

namespace {

// A pixel in unit range, alpha and the premultiplied colour: bilinear and box
// weights are applied to premultiplied values so that the transparent outside
// fades a colour's coverage without darkening it.
struct Premul {
    double a = 0, r = 0, g = 0, b = 0;
    void add(const Premul& o, double w) {
        a += o.a * w;
        r += o.r * w;
        g += o.g * w;
        b += o.b * w;
    }
};

template <class P>
struct Channel;
template <>
struct Channel<PF_Pixel> {
    static constexpr double full = 255.0;
    static A_u_char put(double v) { return static_cast<A_u_char>(std::clamp(std::floor(v * full + 0.5), 0.0, full)); }
};
template <>
struct Channel<PF_Pixel16> {
    static constexpr double full = 32768.0;
    static A_u_short put(double v) { return static_cast<A_u_short>(std::clamp(std::floor(v * full + 0.5), 0.0, full)); }
};
template <>
struct Channel<PF_PixelFloat> {
    static constexpr double full = 1.0;
    static float put(double v) { return static_cast<float>(v); }
};

template <class P>
Premul load(const P& p) {
    constexpr double f = Channel<P>::full;
    double a = p.alpha / f;
    return {a, a * (p.red / f), a * (p.green / f), a * (p.blue / f)};
}

template <class P>
P store(const Premul& s) {
    P out{};
    out.alpha = Channel<P>::put(s.a);
    if (s.a > 0) {
        out.red = Channel<P>::put(s.r / s.a);
        out.green = Channel<P>::put(s.g / s.a);
        out.blue = Channel<P>::put(s.b / s.a);
    }
    return out;
}

template <class P>
const P* pixelAt(const PF_LayerDef* w, A_long x, A_long y) {
    if (x < 0 || y < 0 || x >= w->width || y >= w->height) return nullptr;
    const auto* row = static_cast<const unsigned char*>(w->data) + std::ptrdiff_t(y) * w->rowbytes;
    return reinterpret_cast<const P*>(row) + x;
}

template <class P>
Premul loadAt(const PF_LayerDef* w, A_long x, A_long y) {
    const P* p = pixelAt<P>(w, x, y);
    return p ? load(*p) : Premul{};
}

// Floor and ceiling of a 16.16 value, as whole pixels.
A_long fixFloor(long long v) { return static_cast<A_long>(v >= 0 ? v >> 16 : -((-v + 0xFFFF) >> 16)); }
A_long fixCeil(long long v) { return -fixFloor(-v); }

Host& host() { return *Host::current(); }

// The installed sampler (one host at a time), found without a component lookup
// on every call.
Sampling* g_sampling = nullptr;
std::atomic<unsigned long long> g_samplingIds{0};

}  // namespace

// Summed-area table of one world's premultiplied pixels: entry (x, y) holds the
// sum over the pixels left of x and above y.
struct Sampling::Table {
    const void* data;
    A_long width, height, rowbytes;
    int depth;
    std::vector<unsigned char> probe;  // a few pixels, to notice a buffer reused or repainted
    std::vector<Premul> sums;
    const Premul& at(A_long x, A_long y) const {
        return sums[std::size_t(y) * std::size_t(width + 1) + std::size_t(x)];
    }
    Premul box(A_long x0, A_long y0, A_long x1, A_long y1) const {  // pixels [x0, x1) x [y0, y1)
        Premul s;
        s.add(at(x1, y1), 1);
        s.add(at(x0, y1), -1);
        s.add(at(x1, y0), -1);
        s.add(at(x0, y0), 1);
        return s;
    }
};

Sampling::Sampling() : id_(++g_samplingIds) {}

Sampling::~Sampling() {
    if (g_sampling == this) g_sampling = nullptr;
}

void Sampling::afterCommand(Host&, PF_Cmd) {
    std::lock_guard<std::mutex> g(mutex_);
    tables_.clear();
    ++generation_;
}

std::vector<Sampling::Request> Sampling::requests() const {
    std::lock_guard<std::mutex> g(mutex_);
    return requests_;
}

void Sampling::clearRequests() {
    std::lock_guard<std::mutex> g(mutex_);
    requests_.clear();
}

int Sampling::tableBuilds() const {
    std::lock_guard<std::mutex> g(mutex_);
    return tableBuilds_;
}

void Sampling::forget(const PF_LayerDef* world) {
    std::lock_guard<std::mutex> g(mutex_);
    tables_.erase(std::remove_if(tables_.begin(), tables_.end(),
                                 [&](const std::shared_ptr<const Table>& t) { return t->data == world->data; }),
                  tables_.end());
    ++generation_;
}

namespace {

// A 3 x 3 grid of pixels spread over the world: f(bytes, size) for each.
template <class F>
void forEachProbe(const PF_LayerDef* w, int depth, F f) {
    const std::size_t size = depth == 0 ? 4 : depth == 1 ? 8 : 16;
    if (w->width < 1 || w->height < 1) return;
    for (A_long j = 0; j < 3; ++j)
        for (A_long i = 0; i < 3; ++i) {
            const A_long x = (w->width - 1) * i / 2, y = (w->height - 1) * j / 2;
            f(static_cast<const unsigned char*>(w->data) + std::ptrdiff_t(y) * w->rowbytes +
                  std::ptrdiff_t(x) * std::ptrdiff_t(size),
              size);
        }
}

std::vector<unsigned char> probeOf(const PF_LayerDef* w, int depth) {
    std::vector<unsigned char> out;
    forEachProbe(w, depth, [&](const unsigned char* p, std::size_t size) { out.insert(out.end(), p, p + size); });
    return out;
}

// Runs on every area sample: compares in place, a pixel at a time, with the
// pixel size known to the compiler.
template <std::size_t Size>
bool probeMatchesOf(const std::vector<unsigned char>& probe, const PF_LayerDef* w) {
    if (w->width < 1 || w->height < 1) return probe.empty();
    if (probe.size() != 9 * Size) return false;
    const unsigned char* want = probe.data();
    for (A_long j = 0; j < 3; ++j) {
        const auto* row =
            static_cast<const unsigned char*>(w->data) + std::ptrdiff_t((w->height - 1) * j / 2) * w->rowbytes;
        for (A_long i = 0; i < 3; ++i, want += Size)
            if (std::memcmp(row + std::ptrdiff_t((w->width - 1) * i / 2) * std::ptrdiff_t(Size), want, Size) != 0)
                return false;
    }
    return true;
}

bool probeMatches(const std::vector<unsigned char>& probe, const PF_LayerDef* w, int depth) {
    return depth == 0   ? probeMatchesOf<4>(probe, w)
           : depth == 1 ? probeMatchesOf<8>(probe, w)
                        : probeMatchesOf<16>(probe, w);
}

}  // namespace

namespace {
// This thread's last tables, so that area samples of the same worlds take no
// lock. An entry stands while its sampler's generation is unchanged.
struct TableCache {
    struct Entry {
        unsigned long long sampler = 0, generation = 0;
        std::shared_ptr<const void> table;
    };
    Entry entries[4];
    unsigned next = 0;
};
thread_local TableCache t_tables;
}  // namespace

const Sampling::Table* Sampling::table(const PF_LayerDef* w, int depth) {
    const unsigned long long generation = generation_.load();
    for (TableCache::Entry& e : t_tables.entries) {
        if (e.sampler != id_ || e.generation != generation || !e.table) continue;
        const Table& t = *static_cast<const Table*>(e.table.get());
        if (t.data == w->data && t.width == w->width && t.height == w->height && t.rowbytes == w->rowbytes &&
            t.depth == depth && probeMatches(t.probe, w, depth))
            return &t;
    }
    std::shared_ptr<const Table> t = lookUp(w, depth);
    TableCache::Entry& e = t_tables.entries[t_tables.next++ % 4];
    e.sampler = id_;
    e.generation = generation;
    e.table = t;
    return t.get();
}

std::shared_ptr<const Sampling::Table> Sampling::lookUp(const PF_LayerDef* w, int depth) {
    std::lock_guard<std::mutex> g(mutex_);
    const std::vector<unsigned char> probe = probeOf(w, depth);
    for (auto it = tables_.begin(); it != tables_.end(); ++it) {
        const Table& t = **it;
        if (t.data == w->data && t.width == w->width && t.height == w->height && t.rowbytes == w->rowbytes &&
            t.depth == depth) {
            if (t.probe == probe) return *it;
            tables_.erase(it);
            ++generation_;
            break;
        }
    }
    auto t = std::make_shared<Table>();
    t->probe = probe;
    t->data = w->data;
    t->width = w->width;
    t->height = w->height;
    t->rowbytes = w->rowbytes;
    t->depth = depth;
    t->sums.assign(std::size_t(w->width + 1) * std::size_t(w->height + 1), Premul{});
    for (A_long y = 0; y < w->height; ++y) {
        Premul rowSum;
        for (A_long x = 0; x < w->width; ++x) {
            rowSum.add(depth == 0   ? loadAt<PF_Pixel>(w, x, y)
                       : depth == 1 ? loadAt<PF_Pixel16>(w, x, y)
                                    : loadAt<PF_PixelFloat>(w, x, y),
                       1);
            Premul s = t->at(x + 1, y);
            s.add(rowSum, 1);
            t->sums[std::size_t(y + 1) * std::size_t(w->width + 1) + std::size_t(x + 1)] = s;
        }
    }
    ++tableBuilds_;
    tables_.push_back(t);
    return t;
}

template <class P>
PF_Err Sampling::sample(int depth, Kind kind, const char* function, PF_Fixed x, PF_Fixed y, const PF_SampPB* pb,
                        P* dst) {
    if (PF_Err e = host().faults().hit(function)) return e;
    if (!pb || !pb->src || !dst) {
        host().addViolation(std::string(function) + " without a source world or a destination pixel");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_LayerDef* w = pb->src;
    if (logging_.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> g(mutex_);
        requests_.push_back({depth, kind, x, y, w, pb->x_radius, pb->y_radius});
    }
    const long long X = x, Y = y;
    // Nearest pixel centre, halves rounding up.
    auto nearest = [&] { return loadAt<P>(w, fixFloor(X + 0x8000), fixFloor(Y + 0x8000)); };

    Premul s;
    if (kind == Kind::Nearest) {
        s = nearest();
    } else if (kind == Kind::Subpixel) {
        A_long x0 = fixFloor(X), y0 = fixFloor(Y);
        double fx = double(X - (static_cast<long long>(x0) * 65536)) / 65536.0;
        double fy = double(Y - (static_cast<long long>(y0) * 65536)) / 65536.0;
        s.add(loadAt<P>(w, x0, y0), (1 - fx) * (1 - fy));
        s.add(loadAt<P>(w, x0 + 1, y0), fx * (1 - fy));
        s.add(loadAt<P>(w, x0, y0 + 1), (1 - fx) * fy);
        s.add(loadAt<P>(w, x0 + 1, y0 + 1), fx * fy);
    } else {
        // Every pixel centre within the radii counts, the outside as transparent.
        long long rx = std::max<long long>(0, pb->x_radius), ry = std::max<long long>(0, pb->y_radius);
        A_long x0 = fixCeil(X - rx), x1 = fixFloor(X + rx), y0 = fixCeil(Y - ry), y1 = fixFloor(Y + ry);
        if (x0 > x1 || y0 > y1) {
            s = nearest();
        } else {
            double count = double(x1 - x0 + 1) * double(y1 - y0 + 1);
            A_long cx0 = std::clamp<A_long>(x0, 0, w->width), cx1 = std::clamp<A_long>(x1 + 1, 0, w->width);
            A_long cy0 = std::clamp<A_long>(y0, 0, w->height), cy1 = std::clamp<A_long>(y1 + 1, 0, w->height);
            if (cx0 < cx1 && cy0 < cy1) s.add(table(w, depth)->box(cx0, cy0, cx1, cy1), 1.0 / count);
        }
    }
    *dst = store<P>(s);
    return PF_Err_NONE;
}

namespace {
#define VEMARO_SAMPLER(name, depth, kind, P) \
    PF_Err name(PF_ProgPtr, PF_Fixed x, PF_Fixed y, const PF_SampPB* pb, P* dst) { \
        return g_sampling->sample<P>(depth, Sampling::Kind::kind, #name, x, y, pb, dst); \
    }
VEMARO_SAMPLER(nn_sample, 0, Nearest, PF_Pixel)
VEMARO_SAMPLER(subpixel_sample, 0, Subpixel, PF_Pixel)
VEMARO_SAMPLER(area_sample, 0, Area, PF_Pixel)
VEMARO_SAMPLER(nn_sample16, 1, Nearest, PF_Pixel16)
VEMARO_SAMPLER(subpixel_sample16, 1, Subpixel, PF_Pixel16)
VEMARO_SAMPLER(area_sample16, 1, Area, PF_Pixel16)
VEMARO_SAMPLER(nn_sample_float, 2, Nearest, PF_PixelFloat)
VEMARO_SAMPLER(subpixel_sample_float, 2, Subpixel, PF_PixelFloat)
VEMARO_SAMPLER(area_sample_float, 2, Area, PF_PixelFloat)
#undef VEMARO_SAMPLER
}  // namespace

void Sampling::install(Host& h) {
    g_sampling = this;
    suite8_ = {nn_sample, subpixel_sample, area_sample};
    suite16_ = {nn_sample16, subpixel_sample16, area_sample16};
    suiteFloat_ = {nn_sample_float, subpixel_sample_float, area_sample_float};
    h.suites().add(kPFSampling8Suite, kPFSamplingSuiteVersion1, &suite8_);
    h.suites().add(kPFSampling16Suite, kPFSamplingSuiteVersion1, &suite16_);
    h.suites().add(kPFSamplingFloatSuite, kPFSamplingSuiteVersion1, &suiteFloat_);
}

}  // namespace hostsim
