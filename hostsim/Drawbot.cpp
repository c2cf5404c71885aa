#include "Drawbot.h"

#include <cstdint>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }
Drawbot& bot() { return host().get<Drawbot>(); }

// Distinct addresses stand for the references; objects are numbered from a
// base that no real pointer of this process takes.
constexpr std::uintptr_t kObjectBase = 0x7d000000u;
constexpr std::uintptr_t kObjectStep = 16;
char g_draw, g_supplier, g_surface;

constexpr SPErr kBadRef = 3;  // our choice: a reference the host does not know

SPErr faultOf(const char* fn) { return host().faults().hit(fn); }

SPErr getSupplier(DRAWBOT_DrawRef d, DRAWBOT_SupplierRef* out) { return bot().getSupplier(d, out); }
SPErr getSurface(DRAWBOT_DrawRef d, DRAWBOT_SurfaceRef* out) { return bot().getSurface(d, out); }

SPErr newPen(DRAWBOT_SupplierRef s, const DRAWBOT_ColorRGBA* c, float size, DRAWBOT_PenRef* out) {
    Drawbot::Object o{Drawbot::Kind::Pen};
    if (c) o.color = *c;
    o.size = size;
    return bot().make("NewPen", s, o, reinterpret_cast<void**>(out));
}
SPErr newBrush(DRAWBOT_SupplierRef s, const DRAWBOT_ColorRGBA* c, DRAWBOT_BrushRef* out) {
    Drawbot::Object o{Drawbot::Kind::Brush};
    if (c) o.color = *c;
    return bot().make("NewBrush", s, o, reinterpret_cast<void**>(out));
}
SPErr supportsText(DRAWBOT_SupplierRef, DRAWBOT_Boolean* out) {
    if (SPErr e = faultOf("SupportsText")) return e;
    *out = 1;
    return 0;
}
SPErr defaultFontSize(DRAWBOT_SupplierRef, float* out) {
    if (SPErr e = faultOf("GetDefaultFontSize")) return e;
    *out = 11.0f;
    return 0;
}
SPErr newDefaultFont(DRAWBOT_SupplierRef s, float size, DRAWBOT_FontRef* out) {
    Drawbot::Object o{Drawbot::Kind::Font};
    o.size = size;
    return bot().make("NewDefaultFont", s, o, reinterpret_cast<void**>(out));
}
SPErr newImage(DRAWBOT_SupplierRef s, A_long, A_long, A_long, DRAWBOT_PixelLayout, const void*, DRAWBOT_ImageRef* out) {
    return bot().make("NewImageFromBuffer", s, Drawbot::Object{Drawbot::Kind::Image}, reinterpret_cast<void**>(out));
}
SPErr newPath(DRAWBOT_SupplierRef s, DRAWBOT_PathRef* out) {
    return bot().make("NewPath", s, Drawbot::Object{Drawbot::Kind::Path}, reinterpret_cast<void**>(out));
}
SPErr layoutAnswer(const char* fn, DRAWBOT_Boolean value, DRAWBOT_Boolean* out) {
    if (SPErr e = faultOf(fn)) return e;
    *out = value;
    return 0;
}
SPErr supportsBGRA(DRAWBOT_SupplierRef, DRAWBOT_Boolean* out) {
    return layoutAnswer("SupportsPixelLayoutBGRA", 1, out);
}
SPErr prefersBGRA(DRAWBOT_SupplierRef, DRAWBOT_Boolean* out) { return layoutAnswer("PrefersPixelLayoutBGRA", 0, out); }
SPErr supportsARGB(DRAWBOT_SupplierRef, DRAWBOT_Boolean* out) {
    return layoutAnswer("SupportsPixelLayoutARGB", 1, out);
}
SPErr prefersARGB(DRAWBOT_SupplierRef, DRAWBOT_Boolean* out) { return layoutAnswer("PrefersPixelLayoutARGB", 1, out); }
SPErr retainObject(DRAWBOT_ObjectRef o) { return bot().retain(o); }
SPErr releaseObject(DRAWBOT_ObjectRef o) { return bot().release(o); }

SPErr pushState(DRAWBOT_SurfaceRef s) { return bot().surfaceCall("PushStateStack", s); }
SPErr popState(DRAWBOT_SurfaceRef s) { return bot().surfaceCall("PopStateStack", s); }
SPErr paintRect(DRAWBOT_SurfaceRef s, const DRAWBOT_ColorRGBA*, const DRAWBOT_RectF32*) {
    return bot().surfaceCall("PaintRect", s);
}
SPErr fillPath(DRAWBOT_SurfaceRef s, DRAWBOT_BrushRef, DRAWBOT_PathRef, DRAWBOT_FillType) {
    return bot().surfaceCall("FillPath", s);
}
SPErr strokePath(DRAWBOT_SurfaceRef s, DRAWBOT_PenRef, DRAWBOT_PathRef) { return bot().surfaceCall("StrokePath", s); }
SPErr clip(DRAWBOT_SurfaceRef s, DRAWBOT_SupplierRef, const DRAWBOT_Rect32*) { return bot().surfaceCall("Clip", s); }
SPErr clipBounds(DRAWBOT_SurfaceRef s, DRAWBOT_Rect32* out) {
    if (SPErr e = bot().surfaceCall("GetClipBounds", s)) return e;
    *out = {0, 0, 4096, 4096};
    return 0;
}
SPErr withinClip(DRAWBOT_SurfaceRef s, const DRAWBOT_Rect32*, DRAWBOT_Boolean* out) {
    if (SPErr e = bot().surfaceCall("IsWithinClipBounds", s)) return e;
    *out = 1;
    return 0;
}
SPErr transform(DRAWBOT_SurfaceRef s, const DRAWBOT_MatrixF32*) { return bot().surfaceCall("Transform", s); }
SPErr drawString(DRAWBOT_SurfaceRef s, DRAWBOT_BrushRef b, DRAWBOT_FontRef f, const DRAWBOT_UTF16Char* text,
                 const DRAWBOT_PointF32* origin, DRAWBOT_TextAlignment a, DRAWBOT_TextTruncation t, float w) {
    return bot().drawString(s, b, f, text, origin, a, t, w);
}
SPErr drawImage(DRAWBOT_SurfaceRef s, DRAWBOT_ImageRef, const DRAWBOT_PointF32*, float) {
    return bot().surfaceCall("DrawImage", s);
}
SPErr setInterpolation(DRAWBOT_SurfaceRef s, DRAWBOT_InterpolationPolicy) {
    return bot().surfaceCall("SetInterpolationPolicy", s);
}
SPErr getInterpolation(DRAWBOT_SurfaceRef s, DRAWBOT_InterpolationPolicy* out) {
    if (SPErr e = bot().surfaceCall("GetInterpolationPolicy", s)) return e;
    *out = kDRAWBOT_InterpolationPolicy_Med;
    return 0;
}
SPErr setAntiAlias(DRAWBOT_SurfaceRef s, DRAWBOT_AntiAliasPolicy) { return bot().surfaceCall("SetAntiAliasPolicy", s); }
SPErr getAntiAlias(DRAWBOT_SurfaceRef s, DRAWBOT_AntiAliasPolicy* out) {
    if (SPErr e = bot().surfaceCall("GetAntiAliasPolicy", s)) return e;
    *out = kDRAWBOT_AntiAliasPolicy_Med;
    return 0;
}
SPErr flush(DRAWBOT_SurfaceRef s) { return bot().surfaceCall("Flush", s); }

SPErr moveTo(DRAWBOT_PathRef p, float, float) { return bot().pathCall("MoveTo", p); }
SPErr lineTo(DRAWBOT_PathRef p, float, float) { return bot().pathCall("LineTo", p); }
SPErr bezierTo(DRAWBOT_PathRef p, const DRAWBOT_PointF32*, const DRAWBOT_PointF32*, const DRAWBOT_PointF32*) {
    return bot().pathCall("BezierTo", p);
}
SPErr addRect(DRAWBOT_PathRef p, const DRAWBOT_RectF32*) { return bot().pathCall("AddRect", p); }
SPErr addArc(DRAWBOT_PathRef p, const DRAWBOT_PointF32*, float, float, float) { return bot().pathCall("AddArc", p); }
SPErr closePath(DRAWBOT_PathRef p) { return bot().pathCall("Close", p); }

}  // namespace

void Drawbot::install(Host& h) {
    draw_ = {::hostsim::getSupplier, ::hostsim::getSurface};
    supplier_ = {newPen,       newBrush,    supportsText, defaultFontSize, newDefaultFont, newImage,     newPath,
                 supportsBGRA, prefersBGRA, supportsARGB, prefersARGB,     retainObject,   releaseObject};
    surface_ = {pushState, popState,         paintRect,        fillPath,     strokePath,
                clip,      clipBounds,       withinClip,       transform,    ::hostsim::drawString,
                drawImage, setInterpolation, getInterpolation, setAntiAlias, getAntiAlias,
                flush};
    path_ = {moveTo, lineTo, bezierTo, addRect, addArc, closePath};
    h.suites().add(kDRAWBOT_DrawSuite, 1, &draw_);
    h.suites().add(kDRAWBOT_SupplierSuite, 1, &supplier_);
    h.suites().add(kDRAWBOT_SurfaceSuite, 1, &surface_);
    h.suites().add(kDRAWBOT_PathSuite, 1, &path_);
}

DRAWBOT_DrawRef Drawbot::drawRef() const { return reinterpret_cast<DRAWBOT_DrawRef>(&g_draw); }
DRAWBOT_SupplierRef Drawbot::supplierRef() const { return reinterpret_cast<DRAWBOT_SupplierRef>(&g_supplier); }
DRAWBOT_SurfaceRef Drawbot::surfaceRef() const { return reinterpret_cast<DRAWBOT_SurfaceRef>(&g_surface); }

SPErr Drawbot::getSupplier(DRAWBOT_DrawRef d, DRAWBOT_SupplierRef* out) {
    if (SPErr e = faultOf("GetSupplier")) return e;
    if (d != drawRef() || !out) return kBadRef;
    *out = supplierRef();
    return 0;
}

SPErr Drawbot::getSurface(DRAWBOT_DrawRef d, DRAWBOT_SurfaceRef* out) {
    if (SPErr e = faultOf("GetSurface")) return e;
    if (d != drawRef() || !out) return kBadRef;
    *out = surfaceRef();
    return 0;
}

long Drawbot::indexOf(const void* ref) const {
    std::uintptr_t v = reinterpret_cast<std::uintptr_t>(ref);
    if (v < kObjectBase || (v - kObjectBase) % kObjectStep) return -1;
    std::uintptr_t i = (v - kObjectBase) / kObjectStep;
    return i < objects_.size() ? static_cast<long>(i) : -1;
}

SPErr Drawbot::make(const char* fn, DRAWBOT_SupplierRef s, Object obj, void** out) {
    if (SPErr e = faultOf(fn)) return e;
    if (s != supplierRef() || !out) return kBadRef;
    std::lock_guard<std::mutex> g(mutex_);
    *out = reinterpret_cast<void*>(kObjectBase + kObjectStep * objects_.size());
    objects_.push_back(obj);
    retains_.push_back(0);
    return 0;
}

SPErr Drawbot::retain(DRAWBOT_ObjectRef o) {
    if (SPErr e = faultOf("RetainObject")) return e;
    std::lock_guard<std::mutex> g(mutex_);
    long i = indexOf(o);
    if (i < 0 || objects_[i].released) return kBadRef;
    ++retains_[i];
    return 0;
}

SPErr Drawbot::release(DRAWBOT_ObjectRef o) {
    if (SPErr e = faultOf("ReleaseObject")) return e;
    std::lock_guard<std::mutex> g(mutex_);
    long i = indexOf(o);
    if (i < 0 || objects_[i].released) {
        ++badReleases_;
        return kBadRef;
    }
    if (retains_[i] > 0)
        --retains_[i];
    else
        objects_[i].released = true;
    return 0;
}

SPErr Drawbot::drawString(DRAWBOT_SurfaceRef s, DRAWBOT_BrushRef b, DRAWBOT_FontRef f, const DRAWBOT_UTF16Char* text,
                          const DRAWBOT_PointF32* origin, DRAWBOT_TextAlignment a, DRAWBOT_TextTruncation t, float w) {
    if (SPErr e = faultOf("DrawString")) return e;
    if (s != surfaceRef() || !text || !origin) return kBadRef;
    std::lock_guard<std::mutex> g(mutex_);
    DrawnString d{};
    for (const DRAWBOT_UTF16Char* p = text; *p; ++p) {
        d.units.push_back(static_cast<char16_t>(*p));
        d.text.push_back(*p < 256 ? static_cast<char>(*p) : '?');
    }
    d.origin = *origin;
    d.alignment = a;
    d.truncation = t;
    d.truncationWidth = w;
    long bi = indexOf(b), fi = indexOf(f);
    d.knownBrush = bi >= 0 && objects_[bi].kind == Kind::Brush && !objects_[bi].released;
    d.knownFont = fi >= 0 && objects_[fi].kind == Kind::Font && !objects_[fi].released;
    if (d.knownBrush) d.color = objects_[bi].color;
    if (d.knownFont) d.fontSize = objects_[fi].size;
    strings_.push_back(d);
    return 0;
}

SPErr Drawbot::surfaceCall(const char* fn, DRAWBOT_SurfaceRef s) {
    if (SPErr e = faultOf(fn)) return e;
    return s == surfaceRef() ? 0 : kBadRef;
}

SPErr Drawbot::pathCall(const char* fn, DRAWBOT_PathRef p) {
    if (SPErr e = faultOf(fn)) return e;
    std::lock_guard<std::mutex> g(mutex_);
    long i = indexOf(p);
    return i >= 0 && objects_[i].kind == Kind::Path && !objects_[i].released ? 0 : kBadRef;
}

std::vector<Drawbot::DrawnString> Drawbot::strings() const {
    std::lock_guard<std::mutex> g(mutex_);
    return strings_;
}

std::vector<Drawbot::Object> Drawbot::objects() const {
    std::lock_guard<std::mutex> g(mutex_);
    return objects_;
}

int Drawbot::live() const {
    std::lock_guard<std::mutex> g(mutex_);
    int n = 0;
    for (const Object& o : objects_) n += o.released ? 0 : 1;
    return n;
}

int Drawbot::badReleases() const {
    std::lock_guard<std::mutex> g(mutex_);
    return badReleases_;
}

void Drawbot::clear() {
    std::lock_guard<std::mutex> g(mutex_);
    objects_.clear();
    retains_.clear();
    strings_.clear();
    badReleases_ = 0;
    badReleasesBefore_ = 0;
}

void Drawbot::beforeCommand(Host&, PF_Cmd) { badReleasesBefore_ = badReleases(); }

void Drawbot::commandLeaks(std::vector<std::string>& out) const {
    // Drawbot objects live for one event at most.
    if (int n = live()) out.push_back(std::to_string(n) + " Drawbot object(s) never released");
    if (int n = badReleases() - badReleasesBefore_)
        out.push_back(std::to_string(n) + " release(s) of unknown or released Drawbot objects");
}

}  // namespace hostsim
