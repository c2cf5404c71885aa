#include "Masks.h"

#include "Comp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace hostsim {

// ================================================================== geometry
bool BezierSegment::straight() const { return p[2] == p[0] && p[3] == p[1] && p[4] == p[6] && p[5] == p[7]; }

void BezierSegment::point(double t, double* x, double* y) const {
    double u = 1 - t;
    double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    *x = b0 * p[0] + b1 * p[2] + b2 * p[4] + b3 * p[6];
    *y = b0 * p[1] + b1 * p[3] + b2 * p[5] + b3 * p[7];
}

void BezierSegment::derivative(double t, double* dx, double* dy) const {
    double u = 1 - t;
    double c0 = 3 * u * u, c1 = 6 * u * t, c2 = 3 * t * t;
    *dx = c0 * (p[2] - p[0]) + c1 * (p[4] - p[2]) + c2 * (p[6] - p[4]);
    *dy = c0 * (p[3] - p[1]) + c1 * (p[5] - p[3]) + c2 * (p[7] - p[5]);
}

double BezierSegment::speed(double t) const {
    double dx, dy;
    derivative(t, &dx, &dy);
    return std::hypot(dx, dy);
}

double BezierSegment::length(double t0, double t1) const {
    // Seven-point Gauss-Legendre on [t0, t1]: exact for the polynomial part of a
    // short step, so a table of `frequency` steps measures to far below 1e-6 px.
    static const double x[7] = {0.0,
                                0.4058451513773972,
                                -0.4058451513773972,
                                0.7415311855993945,
                                -0.7415311855993945,
                                0.9491079123427585,
                                -0.9491079123427585};
    static const double w[7] = {0.4179591836734694, 0.3818300505051189, 0.3818300505051189, 0.2797053914892766,
                                0.2797053914892766, 0.1294849661688697, 0.1294849661688697};
    double h = 0.5 * (t1 - t0), m = 0.5 * (t1 + t0), s = 0;
    for (int i = 0; i < 7; ++i) s += w[i] * speed(m + h * x[i]);
    return s * h;
}

namespace {

Host& host() { return *Host::current(); }

double seconds(A_Time t) { return t.scale ? double(t.value) / double(t.scale) : 0.0; }

// The segment table of a prepared segment and the evaluation at a length.
std::vector<double> measure(const BezierSegment& s, A_long frequency) {
    std::vector<double> cum(std::size_t(frequency) + 1, 0.0);
    if (s.straight()) {
        double L = std::hypot(s.p[6] - s.p[0], s.p[7] - s.p[1]);
        for (A_long i = 1; i <= frequency; ++i) cum[std::size_t(i)] = L * i / frequency;
        cum.back() = L;
        return cum;
    }
    for (A_long i = 1; i <= frequency; ++i)
        cum[std::size_t(i)] = cum[std::size_t(i - 1)] + s.length(double(i - 1) / frequency, double(i) / frequency);
    return cum;
}

void unit(double* dx, double* dy) {
    double n = std::hypot(*dx, *dy);
    if (n > 0) {
        *dx /= n;
        *dy /= n;
    } else {
        *dx = *dy = 0;
    }
}

void evaluate(const BezierSegment& s, const std::vector<double>& cum, double l, double* x, double* y, double* dx,
              double* dy) {
    const double total = cum.back();
    if (!(l > 0)) l = 0;  // NaN too
    if (l > total) l = total;
    if (s.straight()) {
        double ex = s.p[6] - s.p[0], ey = s.p[7] - s.p[1];
        double f = total > 0 ? l / total : 0;
        *x = s.p[0] + ex * f;
        *y = s.p[1] + ey * f;
        *dx = total > 0 ? ex / total : 0;
        *dy = total > 0 ? ey / total : 0;
        return;
    }
    const std::size_t steps = cum.size() - 1;
    std::size_t i = std::size_t(std::upper_bound(cum.begin(), cum.end(), l) - cum.begin());
    i = std::min(std::max<std::size_t>(i, 1), steps) - 1;
    double lo = double(i) / steps, hi = double(i + 1) / steps;
    double target = l - cum[i], span = cum[i + 1] - cum[i];
    double t = span > 0 ? lo + (hi - lo) * (target / span) : lo;
    double a = lo, b = hi;
    for (int iter = 0; iter < 40 && span > 0; ++iter) {
        double g = s.length(lo, t) - target;
        if (std::fabs(g) < 1e-13) break;
        if (g > 0)
            b = t;
        else
            a = t;
        double v = s.speed(t);
        double next = v > 0 ? t - g / v : 0.5 * (a + b);
        t = (next > a && next < b) ? next : 0.5 * (a + b);
    }
    s.point(t, x, y);
    s.derivative(t, dx, dy);
    if (std::hypot(*dx, *dy) < 1e-12) {
        // A handle of zero length at an end: the direction in which the curve leaves.
        double h = 1e-6, x0, y0, x1, y1;
        s.point(std::max(0.0, t - h), &x0, &y0);
        s.point(std::min(1.0, t + h), &x1, &y1);
        *dx = x1 - x0;
        *dy = y1 - y0;
    }
    unit(dx, dy);
}

Masks& masks() { return host().get<Masks>(); }

// ------------------------------------------------------------------ query suite
PF_Err numPaths(PF_ProgPtr, A_long* num) {
    if (PF_Err e = host().faults().hit("PF_NumPaths")) return e;
    Masks& m = masks();
    std::lock_guard<std::mutex> g(m.mutex);
    *num = static_cast<A_long>(m.masksOf(m.effectLayer()).size());
    return PF_Err_NONE;
}

PF_Err pathInfo(PF_ProgPtr, A_long index, PF_PathID* id) {
    if (PF_Err e = host().faults().hit("PF_PathInfo")) return e;
    Masks& m = masks();
    std::lock_guard<std::mutex> g(m.mutex);
    auto list = m.masksOf(m.effectLayer());
    if (index < 0 || std::size_t(index) >= list.size()) return PF_Err_INVALID_INDEX;
    *id = list[std::size_t(index)]->id;
    return PF_Err_NONE;
}

PF_Err checkoutPath(PF_ProgPtr, PF_PathID id, A_long what_time, A_long, A_u_long time_scale, PF_PathOutlinePtr* path) {
    *path = nullptr;
    if (PF_Err e = host().faults().hit("PF_CheckoutPath")) return e;
    Masks& m = masks();
    // Paths come in the current render's downsampled layer pixels.
    const PF_InData& in = m.inCommand ? host().inData() : host().nextInData();
    double sx = in.downsample_x.den ? double(in.downsample_x.num) / in.downsample_x.den : 1.0;
    double sy = in.downsample_y.den ? double(in.downsample_y.num) / in.downsample_y.den : 1.0;
    std::lock_guard<std::mutex> g(m.mutex);
    const Masks::Def* d = m.find(id);
    if (!d || (d->layer && d->layer != m.effectLayer())) return PF_Err_INVALID_INDEX;
    auto o = std::make_unique<Masks::Outline>();
    o->id = id;
    o->open = d->open;
    o->vertices = m.verticesAtLocked(*d, time_scale ? double(what_time) / time_scale : 0.0);
    for (MaskVertex& v : o->vertices) {
        v.x *= sx, v.inX *= sx, v.outX *= sx;
        v.y *= sy, v.inY *= sy, v.outY *= sy;
    }
    const std::size_t n = o->vertices.size();
    const std::size_t segs = n < 2 ? 0 : (d->open ? n - 1 : n);
    for (std::size_t k = 0; k < segs; ++k) {
        const MaskVertex& a = o->vertices[k];
        const MaskVertex& b = o->vertices[(k + 1) % n];
        o->segments.push_back({{a.x, a.y, a.x + a.outX, a.y + a.outY, b.x + b.inX, b.y + b.inY, b.x, b.y}});
    }
    *path = reinterpret_cast<PF_PathOutlinePtr>(o.get());
    m.outlines[o.get()] = std::move(o);
    ++m.checkoutCount;
    return PF_Err_NONE;
}

PF_Err checkinPath(PF_ProgPtr, PF_PathID id, PF_Boolean, PF_PathOutlinePtr path) {
    if (PF_Err e = host().faults().hit("PF_CheckinPath")) return e;
    Masks& m = masks();
    std::unique_lock<std::mutex> g(m.mutex);
    auto it = m.outlines.find(path);
    if (it == m.outlines.end() || it->second->id != id) {
        g.unlock();
        host().addViolation("PF_CheckinPath of a path that is not checked out under that id");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    for (auto p = m.preps.begin(); p != m.preps.end();)
        p = p->second->outline == it->second.get() ? m.preps.erase(p) : std::next(p);
    m.outlines.erase(it);
    return PF_Err_NONE;
}

// ------------------------------------------------------------------ data suite
// Runs f on a checked-out outline under the lock; an unknown path is misuse.
template <class F>
PF_Err withOutline(const char* fn, PF_PathOutlinePtr path, F f) {
    if (PF_Err e = host().faults().hit(fn)) return e;
    Masks& m = masks();
    std::unique_lock<std::mutex> g(m.mutex);
    auto it = m.outlines.find(path);
    if (it == m.outlines.end()) {
        g.unlock();
        host().addViolation(std::string(fn) + " on a path that is not checked out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return f(m, *it->second);
}

PF_Err segmentOutOfRange(const char* fn, A_long seg, const Masks::Outline& o) {
    host().addViolation(std::string(fn) + ": segment " + std::to_string(seg) + " of a path with " +
                        std::to_string(o.segments.size()) + " segments");
    return PF_Err_INVALID_INDEX;
}

PF_Err pathIsOpen(PF_ProgPtr, PF_PathOutlinePtr path, PF_Boolean* open) {
    return withOutline("PF_PathIsOpen", path, [&](Masks&, const Masks::Outline& o) -> PF_Err {
        *open = o.open;
        return PF_Err_NONE;
    });
}

PF_Err pathNumSegments(PF_ProgPtr, PF_PathOutlinePtr path, A_long* n) {
    return withOutline("PF_PathNumSegments", path, [&](Masks&, const Masks::Outline& o) -> PF_Err {
        *n = static_cast<A_long>(o.segments.size());
        return PF_Err_NONE;
    });
}

PF_Err pathVertexInfo(PF_ProgPtr, PF_PathOutlinePtr path, A_long which, PF_PathVertex* v) {
    return withOutline("PF_PathVertexInfo", path, [&](Masks&, const Masks::Outline& o) -> PF_Err {
        if (which < 0 || std::size_t(which) >= o.vertices.size()) return PF_Err_INVALID_INDEX;
        const MaskVertex& m = o.vertices[std::size_t(which)];
        *v = {m.x, m.y, m.inX, m.inY, m.outX, m.outY};
        return PF_Err_NONE;
    });
}

PF_Err prepareSegLength(PF_ProgPtr, PF_PathOutlinePtr path, A_long seg, A_long frequency, PF_PathSegPrepPtr* prep) {
    *prep = nullptr;
    return withOutline("PF_PathPrepareSegLength", path, [&](Masks& m, const Masks::Outline& o) -> PF_Err {
        if (seg < 0 || std::size_t(seg) >= o.segments.size())
            return segmentOutOfRange("PF_PathPrepareSegLength", seg, o);
        if (frequency < 1) return PF_Err_BAD_CALLBACK_PARAM;
        auto p = std::make_unique<Masks::Prep>();
        p->outline = &o;
        p->segment = seg;
        p->cumulative = measure(o.segments[std::size_t(seg)], frequency);
        *prep = reinterpret_cast<PF_PathSegPrepPtr>(p.get());
        m.preps[p.get()] = std::move(p);
        return PF_Err_NONE;
    });
}

// The preparation behind *prep, for this outline and segment; null and a
// violation otherwise.
const Masks::Prep* findPrep(const char* fn, Masks& m, const Masks::Outline& o, A_long seg, PF_PathSegPrepPtr* prep) {
    auto it = prep ? m.preps.find(*prep) : m.preps.end();
    if (it == m.preps.end() || it->second->outline != &o || it->second->segment != seg) {
        host().addViolation(std::string(fn) + " with a preparation not made for that path and segment");
        return nullptr;
    }
    return it->second.get();
}

PF_Err getSegLength(PF_ProgPtr, PF_PathOutlinePtr path, A_long seg, PF_PathSegPrepPtr* prep, PF_FpLong* length) {
    return withOutline("PF_PathGetSegLength", path, [&](Masks& m, const Masks::Outline& o) -> PF_Err {
        const Masks::Prep* p = findPrep("PF_PathGetSegLength", m, o, seg, prep);
        if (!p) return PF_Err_BAD_CALLBACK_PARAM;
        *length = p->cumulative.back();
        return PF_Err_NONE;
    });
}

PF_Err evalSeg(const char* fn, PF_PathOutlinePtr path, PF_PathSegPrepPtr* prep, A_long seg, PF_FpLong length,
               PF_FpLong* x, PF_FpLong* y, PF_FpLong* dx, PF_FpLong* dy) {
    return withOutline(fn, path, [&](Masks& m, const Masks::Outline& o) -> PF_Err {
        if (seg < 0 || std::size_t(seg) >= o.segments.size()) return segmentOutOfRange(fn, seg, o);
        const Masks::Prep* p = findPrep(fn, m, o, seg, prep);
        if (!p) return PF_Err_BAD_CALLBACK_PARAM;
        double ddx, ddy;
        evaluate(o.segments[std::size_t(seg)], p->cumulative, length, x, y, &ddx, &ddy);
        if (dx) *dx = ddx;
        if (dy) *dy = ddy;
        return PF_Err_NONE;
    });
}

PF_Err evalSegLength(PF_ProgPtr, PF_PathOutlinePtr path, PF_PathSegPrepPtr* prep, A_long seg, PF_FpLong length,
                     PF_FpLong* x, PF_FpLong* y) {
    return evalSeg("PF_PathEvalSegLength", path, prep, seg, length, x, y, nullptr, nullptr);
}

PF_Err evalSegLengthDeriv1(PF_ProgPtr, PF_PathOutlinePtr path, PF_PathSegPrepPtr* prep, A_long seg, PF_FpLong length,
                           PF_FpLong* x, PF_FpLong* y, PF_FpLong* dx, PF_FpLong* dy) {
    return evalSeg("PF_PathEvalSegLengthDeriv1", path, prep, seg, length, x, y, dx, dy);
}

PF_Err cleanupSegLength(PF_ProgPtr, PF_PathOutlinePtr path, A_long seg, PF_PathSegPrepPtr* prep) {
    return withOutline("PF_PathCleanupSegLength", path, [&](Masks& m, const Masks::Outline& o) -> PF_Err {
        if (!findPrep("PF_PathCleanupSegLength", m, o, seg, prep)) return PF_Err_BAD_CALLBACK_PARAM;
        m.preps.erase(*prep);
        *prep = nullptr;
        return PF_Err_NONE;
    });
}

PF_Err pathIsInverted(PF_ProgPtr, PF_PathOutlinePtr path, PF_Boolean* inverted) {
    return withOutline("PF_PathIsInverted", path, [&](Masks&, const Masks::Outline&) -> PF_Err {
        *inverted = 0;
        return PF_Err_NONE;
    });
}

PF_Err pathGetMaskMode(PF_ProgPtr, PF_PathOutlinePtr path, A_long* mode) {
    return withOutline("PF_PathGetMaskMode", path, [&](Masks&, const Masks::Outline&) -> PF_Err {
        *mode = 1;  // add
        return PF_Err_NONE;
    });
}

PF_Err pathGetName(PF_ProgPtr, PF_PathOutlinePtr path, A_char* name) {
    return withOutline("PF_PathGetName", path, [&](Masks&, const Masks::Outline& o) -> PF_Err {
        std::snprintf(name, 32, "Mask %u", o.id);
        return PF_Err_NONE;
    });
}

// ------------------------------------------------------------------ layer mask suite
A_Err getLayerNumMasks(AEGP_LayerH layer, A_long* num) {
    if (PF_Err e = host().faults().hit("AEGP_GetLayerNumMasks")) return e;
    Masks& m = masks();
    std::lock_guard<std::mutex> g(m.mutex);
    *num = static_cast<A_long>(m.masksOf(layer).size());
    return A_Err_NONE;
}

A_Err getLayerMaskByIndex(AEGP_LayerH layer, A_long index, AEGP_MaskRefH* mask) {
    *mask = nullptr;
    if (PF_Err e = host().faults().hit("AEGP_GetLayerMaskByIndex")) return e;
    Masks& m = masks();
    std::lock_guard<std::mutex> g(m.mutex);
    auto list = m.masksOf(layer);
    if (index < 0 || std::size_t(index) >= list.size()) return A_Err_PARAMETER;
    auto r = std::make_unique<Masks::MaskRef>(Masks::MaskRef{layer, list[std::size_t(index)]->id});
    *mask = reinterpret_cast<AEGP_MaskRefH>(r.get());
    m.refs[r.get()] = std::move(r);
    return A_Err_NONE;
}

A_Err disposeMask(AEGP_MaskRefH mask) {
    if (PF_Err e = host().faults().hit("AEGP_DisposeMask")) return e;
    Masks& m = masks();
    std::unique_lock<std::mutex> g(m.mutex);
    if (!m.refs.erase(mask)) {
        g.unlock();
        host().addViolation("AEGP_DisposeMask of an unknown or already disposed mask");
        return A_Err_PARAMETER;
    }
    return A_Err_NONE;
}

A_Err getMaskID(AEGP_MaskRefH mask, AEGP_MaskIDVal* id) {
    if (PF_Err e = host().faults().hit("AEGP_GetMaskID")) return e;
    Masks& m = masks();
    std::lock_guard<std::mutex> g(m.mutex);
    auto it = m.refs.find(mask);
    if (it == m.refs.end()) return A_Err_PARAMETER;
    *id = static_cast<AEGP_MaskIDVal>(it->second->id);
    return A_Err_NONE;
}

}  // namespace

// ================================================================== component
void Masks::install(Host& h) {
    query_ = {numPaths, pathInfo, checkoutPath, checkinPath};
    data_ = {pathIsOpen,          pathNumSegments,  pathVertexInfo, prepareSegLength, getSegLength, evalSegLength,
             evalSegLengthDeriv1, cleanupSegLength, pathIsInverted, pathGetMaskMode,  pathGetName};
    layerMask_ = {getLayerNumMasks, getLayerMaskByIndex, disposeMask, getMaskID};
    h.suites().add(kPFPathQuerySuite, kPFPathQuerySuiteVersion1, &query_);
    h.suites().add(kPFPathDataSuite, kPFPathDataSuiteVersion1, &data_);
    h.suites().add(kAEGPLayerMaskSuite, kAEGPLayerMaskSuiteVersion6, &layerMask_);
}

void Masks::beforeCommand(Host&, PF_Cmd) { inCommand = true; }
void Masks::afterCommand(Host&, PF_Cmd) { inCommand = false; }

void Masks::commandLeaks(std::vector<std::string>& out) const {
    std::lock_guard<std::mutex> g(mutex);
    if (!outlines.empty()) out.push_back(std::to_string(outlines.size()) + " mask path(s) still checked out");
    if (!preps.empty()) out.push_back(std::to_string(preps.size()) + " segment-length preparation(s) not cleaned up");
    if (!refs.empty()) out.push_back(std::to_string(refs.size()) + " mask reference(s) not disposed");
}

void Masks::unloadLeaks(std::vector<std::string>& out) const { commandLeaks(out); }

AEGP_LayerH Masks::effectLayer() const {
    Comp& comp = Host::current()->get<Comp>();
    return comp.handleOf(comp.effectLayer());
}

PF_PathID Masks::addMask(const std::vector<MaskVertex>& vertices, bool open, AEGP_LayerH layer, PF_PathID id) {
    std::lock_guard<std::mutex> g(mutex);
    if (vertices.empty()) throw std::logic_error("a mask needs a vertex");
    if (id == 0) {
        while (find(nextId_)) ++nextId_;
        id = nextId_++;
    } else if (find(id)) {
        throw std::logic_error("mask id " + std::to_string(id) + " is already in use");
    }
    Def d{id, open, layer, vertices, {}};
    defs.push_back(d);
    return d.id;
}

void Masks::addKey(PF_PathID id, A_Time time, const std::vector<MaskVertex>& vertices) {
    std::lock_guard<std::mutex> g(mutex);
    for (Def& d : defs)
        if (d.id == id) {
            if (vertices.size() != d.vertices.size()) throw std::logic_error("a mask key must keep the vertex count");
            d.keys[seconds(time)] = {time, vertices};
            return;
        }
    throw std::logic_error("no mask with that id");
}

void Masks::clear() {
    std::lock_guard<std::mutex> g(mutex);
    defs.clear();
}

std::vector<MaskVertex> Masks::verticesAt(PF_PathID id, A_Time time) const {
    std::lock_guard<std::mutex> g(mutex);
    const Def* d = find(id);
    return d ? verticesAtLocked(*d, seconds(time)) : std::vector<MaskVertex>{};
}

std::vector<MaskVertex> Masks::verticesAtLocked(const Def& d, double t) const {
    if (d.keys.empty()) return d.vertices;
    auto after = d.keys.upper_bound(t);
    if (after == d.keys.begin()) return after->second.second;
    auto before = std::prev(after);
    if (after == d.keys.end() || before->first == t) return before->second.second;
    double f = (t - before->first) / (after->first - before->first);
    std::vector<MaskVertex> out = before->second.second;
    const std::vector<MaskVertex>& b = after->second.second;
    auto mix = [f](double a, double c) { return a + (c - a) * f; };
    for (std::size_t i = 0; i < out.size(); ++i) {
        MaskVertex& v = out[i];
        v = {mix(v.x, b[i].x),     mix(v.y, b[i].y),       mix(v.inX, b[i].inX),
             mix(v.inY, b[i].inY), mix(v.outX, b[i].outX), mix(v.outY, b[i].outY)};
    }
    return out;
}

const Masks::Def* Masks::find(PF_PathID id) const {
    for (const Def& d : defs)
        if (d.id == id) return &d;
    return nullptr;
}

std::vector<const Masks::Def*> Masks::masksOf(AEGP_LayerH layer) const {
    std::vector<const Def*> out;
    const AEGP_LayerH effect = effectLayer();
    for (const Def& d : defs)
        if ((d.layer ? d.layer : effect) == layer) out.push_back(&d);
    return out;
}

int Masks::checkedOut() const {
    std::lock_guard<std::mutex> g(mutex);
    return static_cast<int>(outlines.size());
}
int Masks::preparations() const {
    std::lock_guard<std::mutex> g(mutex);
    return static_cast<int>(preps.size());
}
int Masks::maskRefs() const {
    std::lock_guard<std::mutex> g(mutex);
    return static_cast<int>(refs.size());
}
int Masks::checkouts() const {
    std::lock_guard<std::mutex> g(mutex);
    return checkoutCount;
}

}  // namespace hostsim
