// The drawing half of ShapeDrawer: the driver with its repeaters and priority
// queue, the choice of shape per element, the per-element scale, opacity,
// phase and colour, and the hand-over of each element to its rasteriser.
#include "VemaroDrawer.h"

#include "VemaroCircleDrawer.h"
#include "VemaroColorsys.h"
#include "VemaroElementBounds.h"
#include "VemaroLayerDrawer.h"
#include "VemaroMapSampling.h"
#include "VemaroPatternHash.h"
#include "VemaroRenderHelpers.h"
#include "VemaroToning.h"

#include "VemaroLineDrawer.h"
#include "VemaroPolygonDrawer.h"

#include "VemaroBlender.h"

#include <boost/rational.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <type_traits>
#include <variant>
#include <vector>

namespace {

enum ShapeType { kLine = 1, kCircle = 2, kPolygon = 3, kInput = 4, kLayer = 5 };

double hash(const ShapeDrawer& d, const ShapeDrawer::Pattern& e, int n, const Vector& seed) {
    return patternHash(d.in_data, e.i, e.j, n, seed);
}
// hash(...) * weight; a zero weight draws nothing.
double hashTimes(const ShapeDrawer& d, const ShapeDrawer::Pattern& e, int n, const Vector& seed, double weight) {
    return patternHashTimes(d.in_data, e.i, e.j, n, seed, weight);
}

// The three draws of a colour spread, each in -1..1.
struct Spread {
    float s0, s1, s2;
    Spread(const ShapeDrawer& d, const ShapeDrawer::Pattern& e, const Vector& seed)
        : s0(static_cast<float>(2.0 * hash(d, e, 0, seed) - 1.0)),
          s1(static_cast<float>(2.0 * hash(d, e, 1, seed) - 1.0)),
          s2(static_cast<float>(2.0 * hash(d, e, 2, seed) - 1.0)) {}
    // Hue, lightness and saturation added in HLS form.
    void addTo(const Color& amounts, Color& hls) const {
        hls.red += s0 * amounts.red;
        hls.green += s1 * amounts.green;
        hls.blue += s2 * amounts.blue;
    }
    void applyTo(const Color& amounts, Color& rgb) const {
        Toning::addHls(s0 * amounts.red, s1 * amounts.green, s2 * amounts.blue, false, rgb);
    }
};

// A post-2D map read at a drawn position (element position plus draw
// offset, in output pixels), from a zero colour.
PF_Err samplePost2D(const ShapeDrawer& d, PF_LayerDef* layer, const Vector& at, Color& color) {
    color = Color{};
    PF_SampPB pb{};
    pb.src = layer;
    return getMapColor2D(d.in_data, *d.suites, pb, d.bpc, at, Vector(d.originX, d.originY), d.width, d.height, &color);
}

// A map colour applied to the fill and the stroke by the map's mode; the
// alpha factor takes the map colour's alpha whatever the mode.
void convertColor(int mode, const Color& highlight, const Color& shadow, unsigned char preserveLuma,
                  const Color& mapColor, Color& fill, Color& stroke, double& alpha) {
    const bool luma = preserveLuma != 0;
    for (Color* c : {&fill, &stroke}) {
        switch (mode) {
            case 1: Toning::fill(mapColor, *c); break;
            case 2: Toning::tint(mapColor, luma, *c); break;
            case 3: Toning::tritone(highlight, shadow, mapColor, *c); break;
            case 4: Toning::setHue(Colorsys::rgbToHls(mapColor).red, luma, *c); break;
            default: break;
        }
    }
    alpha *= mapColor.alpha;
}

// The per-shape transition value when the transition runs by shape.
template <class T>
T perShape(const ShapeTransitioner& t, const std::vector<T>& values, int k, T neutral) {
    if (!t.enabled || k < 0 || static_cast<std::size_t>(k) >= values.size()) return neutral;
    return values[static_cast<std::size_t>(k)];
}

// The element's own colour modifier, else the shape's transition colour when
// it changes anything; null for neither.
const Color* colorModifier(const ShapeTransitioner& t, const ShapeDrawer::Pattern& e, int k) {
    if (e.hasColorModifier) return &e.colorModifier;
    if (perShape<uint8_t>(t, t.colorSet, k, 0) && static_cast<std::size_t>(k) < t.colors.size())
        return &t.colors[static_cast<std::size_t>(k)];
    return nullptr;
}

// What the Line, Circle and Polygon draws share: centre, size, colours,
// opacity and phase of the element.
struct VectorElement {
    double scale = 1.0, base = 0.0, opacity = 1.0, phase = 0.0;
    Vector centre;
    Color fill, stroke;
};

PF_Err prepareVector(ShapeDrawer& d, int k, const Parameters::Shape& s, const ShapeDrawer::Pattern& e,
                     const Vector& offset, bool rotates, VectorElement& v) {
    const ShapeTransitioner& t = d.shapeTransitioner;
    v.scale = perShape(t, t.scales, k, 1.0);
    PF_Err err = d.calculateScale(s, e, offset, v.scale);
    v.centre = (e.position + offset) + perShape(t, t.offsets, k, Vector());
    v.base = s.size * 0.5 * v.scale;
    v.opacity = perShape(t, t.opacities, k, 1.0);
    if (rotates) v.phase = perShape(t, t.phases, k, 0.0);
    if (!err) err = d.calculateColor(k, s, e, offset, v.fill, v.stroke, v.opacity);
    if (!err) {
        d.calculateOpacity(s, e, v.opacity);
        if (rotates) err = d.calculatePhase(s, e, offset, v.phase);
    }
    return err;
}

template <class Record>
void fillCommon(const ShapeDrawer& d, const Parameters::Shape& s, const VectorElement& v, Record& r) {
    r.blendMode = d.params->blendingMode;
    r.x = v.centre.x;
    r.y = v.centre.y;
    r.fill = v.fill;
    r.fillMode = s.fillStroke;
    r.stroke = v.stroke;
    r.strokeWidth = v.scale * s.strokeWidth;
    r.opacity = v.opacity;
}

// ------------------------------------------------------------ repeaters
Vector rotated(const PF_InData* in, const Vector& v, double angle) {
    const double c = in->utils->ansi.cos(angle), s = in->utils->ansi.sin(angle);
    return {v.x * c - v.y * s, v.x * s + v.y * c};
}
double dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y; }
double length(const PF_InData* in, const Vector& v) { return in->utils->ansi.sqrt(dot(v, v)); }

// The element box grown by the margin, the output rectangle and the corner
// picks along a direction.
struct RepeatGeometry {
    Vector lo, hi;  // grown element box
    double W, H;

    RepeatGeometry(const ShapeDrawer& d) {
        Vector mn, mx;
        d.calculateBoundingBox(mn, mx);
        const Parameters& p = *d.params;
        const double m =
            getMaxSize(d.in_data, &p) +
            2.0 * std::max(std::fabs(p.transitionOffset.x), std::fabs(p.transitionOffset.y)) * p.transformScale;
        lo = {mn.x - m, mn.y - m};
        hi = {mx.x + m, mx.y + m};
        W = d.output->width;
        H = d.output->height;
    }
    Vector far(const Vector& u) const { return {u.x >= 0 ? hi.x : lo.x, u.y >= 0 ? hi.y : lo.y}; }
    Vector near(const Vector& u) const { return {u.x >= 0 ? lo.x : hi.x, u.y >= 0 ? lo.y : hi.y}; }
    Vector low(const Vector& u) const { return {u.x >= 0 ? 0.0 : W, u.y >= 0 ? 0.0 : H}; }
    Vector high(const Vector& u) const { return {u.x >= 0 ? W : 0.0, u.y >= 0 ? H : 0.0}; }
    bool hits(const ShapeDrawer& d, const Vector& o) const {
        return d.hitRectangle(lo + o, hi + o, Vector(0, 0), Vector(W, H));
    }
};

// Every element once at the offset, the last element first.
PF_Err plainPass(ShapeDrawer& d, const Vector& offset) {
    if (d.passes) return d.emitPass(offset);
    for (std::size_t k = d.patterns.size(); k-- > 0;)
        if (PF_Err err = d.drawPattern(d.patterns[k], offset)) return err;
    return PF_Err_NONE;
}

// The whole multiples n of a step s (n s.x in [x0, x1], n s.y in [y0, y1])
// that can reach the output, one more on each side for rounding: the copies
// are checked one by one with the overlap test.
bool multiples(double sx, double sy, double x0, double x1, double y0, double y1, double& lo, double& hi) {
    lo = -HUGE_VAL, hi = HUGE_VAL;
    auto axis = [&](double s, double a0, double a1) {
        if (s == 0.0) {
            if (!(a0 <= 0.0 && 0.0 <= a1)) lo = 1, hi = 0;
            return;
        }
        double l = a0 / s, h = a1 / s;
        if (s < 0) std::swap(l, h);
        lo = std::max(lo, std::ceil(l) - 1.0);
        hi = std::min(hi, std::floor(h) + 1.0);
    };
    axis(sx, x0, x1);
    axis(sy, y0, y1);
    // Non-finite ranges (non-finite steps or boxes) draw nothing.
    return std::isfinite(lo) && std::isfinite(hi) && lo <= hi;
}

// Beyond this many steps in a row or rows in a lattice the counting in
// doubles is no longer exact; no output is that large.
constexpr double kMaxSteps = 1e15;
bool countable(double lo, double hi) { return hi - lo <= kMaxSteps; }

// Rows (or steps) are counted in doubles; the host's abort is asked every
// this many rows that draw nothing, so that a walk over empty rows stays
// abortable.
constexpr long kRowsPerAbortCheck = 4096;

// Copies at whole multiples n of the step A that reach the output, n
// decreasing: from the +A side to the -A side. The range of n comes in closed
// form from the output rectangle; the overlap test picks the copies.
PF_Err repeatAlong(ShapeDrawer& d, const RepeatGeometry& g, const Vector& A, const Vector& base) {
    double lo, hi;
    const Vector at = base;
    if (!multiples(A.x, A.y, -g.hi.x - at.x, g.W - g.lo.x - at.x, -g.hi.y - at.y, g.H - g.lo.y - at.y, lo, hi))
        return PF_Err_NONE;
    if (!countable(lo, hi)) return PF_Err_OUT_OF_MEMORY;
    long quiet = 0;
    for (double n = hi; n >= lo; n -= 1.0) {
        const Vector o = base + A * n;
        if (g.hits(d, o)) {
            if (PF_Err err = plainPass(d, o)) return err;
        } else if (++quiet % kRowsPerAbortCheck == 0) {
            if (PF_Err err = PF_ABORT(d.in_data)) return err;
        }
    }
    return PF_Err_NONE;
}

PF_Err repeat1D(ShapeDrawer& d, const Vector& step) {
    const Parameters& p = *d.params;
    const Vector a = step * p.transformScale;
    if (!(length(d.in_data, a) >= 0.01)) return plainPass(d, Vector());  // also NaN
    const Vector A = rotated(d.in_data, a, p.transformRotation);
    const RepeatGeometry g(d);
    return repeatAlong(d, g, A, Vector());
}

Vector unitOrSelf(const PF_InData* in, const Vector& v) {
    const double l = length(in, v);
    return l > 0 ? v / l : v;
}

}  // namespace

PF_Err ShapeDrawer::drawNormal() { return plainPass(*this, Vector()); }

PF_Err ShapeDrawer::drawRepeater1D() { return repeat1D(*this, params->repeaterX); }

PF_Err ShapeDrawer::drawRepeater2D() {
    const Parameters& p = *params;
    const Vector a = p.repeaterX * p.transformScale;
    // A first step too short to repeat along: the pattern repeats along
    // Repeater Y alone.
    if (!(length(in_data, a) >= 0.01)) return repeat1D(*this, p.repeaterY);
    const Vector b = p.repeaterY * p.transformScale;
    // A zero second step spans no lattice: the pattern repeats along X.
    if (!(length(in_data, b) > 0.0)) return repeat1D(*this, p.repeaterX);  // also NaN
    const Vector A = rotated(in_data, a, p.transformRotation), B = rotated(in_data, b, p.transformRotation);
    const Vector uA = unitOrSelf(in_data, -A);
    const Vector uB = unitOrSelf(in_data, -B);
    if (std::fabs(dot(uA, uB)) > 0.9999) return repeat1D(*this, p.repeaterX);

    // Copies at n A + m B: rows with m decreasing, in each row n decreasing.
    // The rows that can reach the output come from the output rectangle's
    // corners in the skew basis, the copies of each row from repeatAlong.
    const RepeatGeometry g(*this);
    const double cross = A.x * B.y - A.y * B.x;
    const double x0 = -g.hi.x, x1 = g.W - g.lo.x, y0 = -g.hi.y, y1 = g.H - g.lo.y;
    double mLo = HUGE_VAL, mHi = -HUGE_VAL;
    for (const Vector& c : {Vector(x0, y0), Vector(x1, y0), Vector(x1, y1), Vector(x0, y1)}) {
        const double m = (A.x * c.y - A.y * c.x) / cross;
        mLo = std::min(mLo, m), mHi = std::max(mHi, m);
    }
    if (!(std::isfinite(mLo) && std::isfinite(mHi))) return PF_Err_NONE;
    if (!countable(mLo, mHi)) return PF_Err_OUT_OF_MEMORY;
    long rows = 0;
    for (double m = std::floor(mHi) + 1.0; m >= std::ceil(mLo) - 1.0; m -= 1.0) {
        if (PF_Err err = repeatAlong(*this, g, A, B * m)) return err;
        if (++rows % kRowsPerAbortCheck == 0)
            if (PF_Err err = PF_ABORT(in_data)) return err;
    }
    return PF_Err_NONE;
}

void ShapeDrawer::calculateBoundingBox(Vector& min, Vector& max) const {
    min = max = patterns.front().position;
    for (const Pattern& e : patterns) {
        min.x = std::min(min.x, e.position.x), min.y = std::min(min.y, e.position.y);
        max.x = std::max(max.x, e.position.x), max.y = std::max(max.y, e.position.y);
    }
}

bool ShapeDrawer::hitRectangle(const Vector& aMin, const Vector& aMax, const Vector& bMin, const Vector& bMax) const {
    return bMax.x >= aMin.x && aMax.x >= bMin.x && bMax.y >= aMin.y && aMax.y >= bMin.y;
}

// ------------------------------------------------------------ dispatch
int ShapeDrawer::chooseShape(const Pattern& element, const Vector& offset, PF_Err& err) {
    const Parameters& p = *params;
    int k = element.shapeIndex;
    const ShapeMapSettings& map = p.mapPost2D.shapeMap;
    if (map.layer) {
        const int N = std::max(1, p.shapeWeightTotal);
        Color c;
        err = samplePost2D(*this, map.layer, element.position + offset, c);
        const double rate = getMapRate(map.channel, 1.0, map.invert, c, 0.0, 0.0);
        const double scaled = N * rate;
        const int q = scaled < N ? static_cast<int>(scaled) : N - 1;
        int v = (q + p.shapeOffset % N) % N;
        if (v < 0) v += N;
        const int count = std::clamp(p.shapeNumber, 1, 8);
        k = count - 1;  // weights that never exceed v: the last active shape
        for (int s = 0; s < count; ++s)
            if (p.shapeWeights[s] > v) {
                k = s;
                break;
            }
    }
    return k;
}

PF_Err ShapeDrawer::drawPattern(Pattern& element, const Vector& offset) {
    PF_Err err = PF_Err_NONE;
    const int k = chooseShape(element, offset, err);
    if (err) return err;
    // An index outside the eight shapes draws nothing.
    if (k < 0 || k >= 8) return err;
    const Parameters::Shape& shape = params->shapes[k];
    if (queueMode && shape.priority != queueLevel) return err;
    if (trace) trace->push_back({k, &shape, &element, offset});
    if (!drawing) {
        // Called on its own, outside a frame's draw: the element is drawn now.
        err = emit(k, element, offset);
        return err ? err : launch(false);
    }
    return emit(k, element, offset);
}

// ------------------------------------------------------------ scale, opacity, phase
PF_Err ShapeDrawer::calculateScale(const Parameters::Shape& s, const Pattern& e, const Vector& offset, double& scale) {
    scale = params->transformScale * scale;
    scale = (1.0 - hashTimes(*this, e, 0, s.scaleSeed, 1.0 - s.minimumScale)) * scale;
    if (e.hasScale) scale = scale * e.scale;
    const ScaleMapSettings& map = params->mapPost2D.scaleMap;
    if (!map.layer) return PF_Err_NONE;
    Color c;
    const PF_Err err = samplePost2D(*this, map.layer, e.position + offset, c);
    const double rate =
        getMapRate(map.channel, map.power, map.invert, c, map.threshold, map.threshold - map.thresholdSoft);
    scale = (map.black + (map.white - map.black) * rate) * scale;
    return err;
}

PF_Err ShapeDrawer::calculateOpacity(const Parameters::Shape& s, const Pattern& e, double& opacity) {
    opacity = s.opacity * e.opacity * opacity;
    opacity = (1.0 - hashTimes(*this, e, 0, s.opacitySeed, 1.0 - s.minimumOpacity)) * opacity;
    return PF_Err_NONE;
}

PF_Err ShapeDrawer::calculatePhase(const Parameters::Shape& s, const Pattern& e, const Vector& offset, double& phase) {
    phase = params->transformRotation + s.phase + e.phase + phase;
    phase = phase + hashTimes(*this, e, 0, s.phaseSeed, s.randomizePhase);
    if (e.hasPhaseOffset) phase = phase + e.phaseOffset;
    const PhaseMapSettings& map = params->mapPost2D.phaseMap;
    if (!map.layer) return PF_Err_NONE;
    Color c;
    const PF_Err err = samplePost2D(*this, map.layer, e.position + offset, c);
    const double rate = getMapRate(map.channel, 1.0, map.invert, c, 0.0, 0.0);
    phase = phase + map.black + (map.white - map.black) * rate;
    return err;
}

// ------------------------------------------------------------ colour
PF_Err ShapeDrawer::calculateColor(int k, const Parameters::Shape& s, const Pattern& e, const Vector& offset,
                                   Color& fill, Color& stroke, double& alpha) {
    fill = s.color;
    stroke = s.strokeColor;
    const Spread shapeSpread(*this, e, s.colorSeed);
    shapeSpread.applyTo(s.randomizeColor, fill);
    shapeSpread.applyTo(s.randomizeColor, stroke);

    auto applyMap = [&](const ColorMapSettings& m, Color hls) {
        Spread(*this, e, m.colorSeed).addTo(m.randomize, hls);
        convertColor(m.mode, m.highlight, m.shadow, m.preserveLuma, Colorsys::hlsToRgb(hls), fill, stroke, alpha);
    };
    if (e.hasColor1) applyMap(params->map1D.colorMap, e.color1);
    if (e.hasColor2) applyMap(params->mapPre2D.colorMap, e.color2);

    PF_Err err = PF_Err_NONE;
    const ColorMapSettings& post = params->mapPost2D.colorMap;
    if (post.layer) {
        Color c;
        err = samplePost2D(*this, post.layer, e.position + offset, c);
        Color hls = Colorsys::rgbToHls(c);
        hls.red += post.adjust.red;
        hls.green *= post.adjust.green;
        hls.blue *= post.adjust.blue;
        applyMap(post, hls);
    }

    if (const Color* modifier = colorModifier(shapeTransitioner, e, k)) {
        Toning::modify(*modifier, fill);
        Toning::modify(*modifier, stroke);
    }
    return err;
}

// ------------------------------------------------------------ Input and Layer
namespace {

// The frame of a Layer shape that this element shows when its layer sampling
// is randomised per element, as a composition time; false when there is no
// such frame (no span, no frame duration).
bool elementFrame(const ShapeDrawer& d, const Parameters::Shape& s, const ShapeDrawer::Pattern& e, A_Time& time) {
    const A_Time& fd = d.params->frameDuration;
    if (fd.value <= 0 || fd.scale == 0 || d.in_data->time_scale == 0) return false;
    const long long n = static_cast<long long>(s.layerOutFrame) - s.layerInFrame;
    if (n <= 0) return false;
    using R = boost::rational<long long>;
    const R duration(fd.value, static_cast<long long>(fd.scale));
    const PF_ANSICallbacks& ansi = d.in_data->utils->ansi;
    double p = s.layerTime;
    if (s.randomizeLayerSampling == 2) p += e.t;
    if (s.randomizeLayerSampling == 3) p += hash(d, e, 0, s.layerSamplingSeed);
    p = ansi.fmod(p, 1.0);
    if (p < 0) p += 1.0;
    if (!(p >= 0.0 && p < 1.0)) p = 0.0;  // NaN
    const long long step = static_cast<long long>(p * static_cast<double>(n));
    long long frame;
    if (s.layerSampling == 4) {
        const R now(d.in_data->current_time, static_cast<long long>(d.in_data->time_scale));
        const long long c = boost::rational_cast<long long>(now / duration);  // truncated
        long long m = (c + step + s.layerInFrame) % n;
        if (m < 0) m += n;
        frame = s.layerInFrame + m;
    } else {
        frame = std::min<long long>(s.layerInFrame + step, s.layerOutFrame - 1LL);
    }
    const R at = R(frame) * duration;
    if (at.numerator() < INT32_MIN || at.numerator() > INT32_MAX || at.denominator() > UINT32_MAX) return false;
    time.value = static_cast<A_long>(at.numerator());
    time.scale = static_cast<A_u_long>(at.denominator());
    return true;
}

void appendTone(LayerDrawer::Pattern& r, const LayerDrawer::Tone& t) {
    if (r.toneCount < 5) r.tones[r.toneCount++] = t;
}

LayerDrawer::Tone mapTone(const ColorMapSettings& m, Color c) {
    LayerDrawer::Tone t;
    t.mode = m.mode;
    t.highlight = m.highlight;
    t.shadow = m.shadow;
    t.preserveLuma = m.preserveLuma;
    t.color = m.mode == 4 ? c : Colorsys::hlsToRgb(c);  // Hue stays in HLS form
    return t;
}

}  // namespace

namespace {

// Whether an element of the shape shows a frame of its own, checked out per
// element.
bool ownFrame(const Parameters::Shape& s) {
    return s.type == kLayer && s.randomizeLayerSampling != 1 && (s.layerSampling == 2 || s.layerSampling == 4);
}

// Checks out the frame a Layer shape element shows of its own; held tells
// whether it must be checked in. Render thread only.
PF_Err checkoutFrame(ShapeDrawer& d, int k, const Parameters::Shape& s, const ShapeDrawer::Pattern& e, PF_ParamDef& out,
                     bool& held) {
    held = false;
    A_Time compTime{};
    if (!ownFrame(s) || !elementFrame(d, s, e, compTime)) return PF_Err_NONE;
    A_Time layerTime{};
    PF_Err err = d.suites->LayerSuite13()->AEGP_ConvertCompToLayerTime(d.layer, &compTime, &layerTime);
    if (!err) {
        const A_Time& fd = d.params->frameDuration;
        const boost::rational<long long> dur(fd.value, static_cast<long long>(fd.scale));
        err = PF_CHECKOUT_PARAM(d.in_data, 189 + 47 * k, layerTime.value, static_cast<A_long>(dur.numerator()),
                                layerTime.scale, &out);
        held = !err;
    }
    return err;
}

// The record of an Input or Layer element; frame is the element's own
// checked-out frame, if any.
PF_Err prepareLayer(ShapeDrawer& d, int k, const Parameters::Shape& s, const ShapeDrawer::Pattern& e,
                    const Vector& offset, const PF_ParamDef* frame, LayerDrawer::Pattern& r) {
    PF_Err err = PF_Err_NONE;
    r.source = s.layer;
    r.rect = s.layerRect;
    r.rectKnown = 1;
    r.boundingBox = s.type == kInput ? s.boundingBox : 1;
    if (frame) {
        const PF_LayerDef& w = frame->u.ld;
        if (w.data && w.width > 0 && w.height > 0) {
            r.source = const_cast<PF_LayerDef*>(&frame->u.ld);
            r.rectKnown = 0;
        }
    }

    const ShapeTransitioner& t = d.shapeTransitioner;
    double scale = perShape(t, t.scales, k, 1.0);
    double opacity = perShape(t, t.opacities, k, 1.0);
    double phase = perShape(t, t.phases, k, 0.0);
    if (!err) err = d.calculateScale(s, e, offset, scale);

    const Vector centre = (e.position + offset) + perShape(t, t.offsets, k, Vector());
    r.blendMode = d.params->blendingMode;
    r.x = centre.x;
    r.y = centre.y;
    r.anchor = s.layerCenter;
    r.size = s.size * scale;
    r.widthScale = (1.0 - hashTimes(d, e, 1, s.scaleSeed, 1.0 - s.minimumWidth)) * s.width;
    r.heightScale = (1.0 - hashTimes(d, e, 2, s.scaleSeed, 1.0 - s.minimumHeight)) * s.height;
    if (!err) {
        d.calculateOpacity(s, e, opacity);
        err = d.calculatePhase(s, e, offset, phase);
    }
    r.opacity = opacity;
    r.phase = phase;

    // The shape's own toner, jittered per element.
    const Spread jitter(d, e, s.colorSeed);
    const float jH = jitter.s0 * s.randomizeColor.red, jL = jitter.s1 * s.randomizeColor.green,
                jS = jitter.s2 * s.randomizeColor.blue;
    Color hls = Colorsys::rgbToHls(s.color);
    hls.red += jH, hls.green += jL, hls.blue += jS;
    Color J = Colorsys::hlsToRgb(hls);
    J.alpha = 1.0f;
    LayerDrawer::Tone toner;
    toner.preserveLuma = s.preserveLuma;
    switch (s.toner) {
        case 2: toner.mode = LayerDrawer::Tone::Hls, toner.color = {1.0f, jH, jL, jS}; break;
        case 3: r.hasFill = 1, r.fill = J; break;
        case 4: toner.mode = LayerDrawer::Tone::Tint, toner.color = J; break;
        case 5:
            toner.mode = LayerDrawer::Tone::Tritone, toner.color = J;
            toner.highlight = s.highlight, toner.shadow = s.shadow, toner.preserveLuma = 0;
            break;
        case 6: toner.mode = LayerDrawer::Tone::Hue, toner.color = {1.0f, hls.red, hls.green, hls.blue}; break;
        default: break;
    }
    if (toner.mode) appendTone(r, toner);

    auto mapColor = [&](const ColorMapSettings& m, Color c) {
        Spread(d, e, m.colorSeed).addTo(m.randomize, c);
        appendTone(r, mapTone(m, c));
    };
    if (e.hasColor1) mapColor(d.params->map1D.colorMap, e.color1);
    if (e.hasColor2) mapColor(d.params->mapPre2D.colorMap, e.color2);
    const ColorMapSettings& post = d.params->mapPost2D.colorMap;
    if (post.layer) {
        Color c;
        if (!err) err = samplePost2D(d, post.layer, e.position + offset, c);
        Color h = Colorsys::rgbToHls(c);
        h.red += post.adjust.red;
        h.green *= post.adjust.green;
        h.blue *= post.adjust.blue;
        mapColor(post, h);
    }
    // A fill as the last step replaces every colour before it.
    if (r.toneCount > 0 && r.tones[r.toneCount - 1].mode == LayerDrawer::Tone::Fill) {
        float a = 1.0f;
        for (int n = 0; n < r.toneCount; ++n) a *= r.tones[n].color.alpha;
        const Color& last = r.tones[r.toneCount - 1].color;
        r.hasFill = 1;
        r.fill = {a, last.red, last.green, last.blue};
        r.toneCount = 0;
    }
    if (const Color* modifier = colorModifier(t, e, k)) {
        LayerDrawer::Tone m;
        m.mode = LayerDrawer::Tone::Modifier;
        m.color = *modifier;
        appendTone(r, m);
    }

    return err;
}

}  // namespace

// ------------------------------------------------------------ the frame schedule
// The frame is drawn in launches of one batch of element draws each (one
// launch for most frames). A launch splits the output into fixed strips of
// rows, one band each: the band clears its strip (first launch), draws every
// element of the batch that meets the strip in the batch's order, and runs
// the Blender passes on the strip (last launch). Every pixel thus meets the
// same elements in the same order as when each element was drawn over the
// whole output in turn, and a rasteriser gives a pixel the same value
// whichever run of rows it is asked for: the frame is the same, bit for bit,
// for any thread or strip count.
namespace {

// A launch holds at most about this many bytes of draws (the job, its
// rasteriser record and its rows): the memory the drawing holds beyond the
// element list. Small records make long batches, so that most frames are one
// launch.
constexpr std::size_t kBatchBytes = std::size_t(6) << 20;
// At most this many frames checked out per element are held at once.
constexpr int kMaxHeldFrames = 16;
// Strips are at least this many rows tall, and there are about this many per
// thread, so that uneven strips even out over the threads.
constexpr A_long kMinStripRows = 16;
constexpr A_long kStripsPerThread = 4;
// A batch of fewer draws is set up on the render thread, as one chunk: its
// set-up (tens of microseconds) costs less than a launch that wakes the
// host's threads, which a frame of few large elements (the default scene)
// would otherwise pay on top of the strips' launch.
constexpr std::size_t kSetUpAlone = 256;
// Every band asks for the host's abort at least this often.
constexpr auto kAbortEvery = std::chrono::milliseconds(2);

// The rasteriser record kinds; a job's record is slot `slot` of its kind.
enum RecordKind : uint8_t { kNoRecord, kLineRecord, kCircleRecord, kPolygonRecord, kLayerRecord };

RecordKind recordKind(const Parameters::Shape& s) {
    switch (s.type) {
        case kLine: return kLineRecord;
        case kCircle: return kCircleRecord;
        case kPolygon: return kPolygonRecord;
        case kInput:
        case kLayer: return s.layer ? kLayerRecord : kNoRecord;
        default: return kNoRecord;
    }
}

// One element draw worked out: its record and the rows the record meets.
struct Drawn {
    A_long top = 0, bottom = 0;
    PF_Err err = PF_Err_NONE;
    uint32_t slot = 0;
    uint8_t kind = kNoRecord;
};

// Room for records that the set-up constructs in place, each slot by the
// band that works it out: the storage is neither cleared nor constructed on
// the render thread, and it is kept from launch to launch.
template <class T>
class Slots {
    static_assert(std::is_trivially_destructible<T>::value, "records are dropped without destruction");

public:
    Slots() = default;
    Slots(const Slots&) = delete;
    Slots& operator=(const Slots&) = delete;
    ~Slots() { release(); }
    void reserve(std::size_t n) {
        if (n <= size_) return;
        release();
        data_ = std::allocator<T>().allocate(n);
        size_ = n;
    }
    T& operator[](std::size_t i) const { return data_[i]; }
    std::size_t bytes() const { return size_ * sizeof(T); }

private:
    void release() {
        if (data_) std::allocator<T>().deallocate(data_, size_);
        data_ = nullptr, size_ = 0;
    }
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

// The errors a band or a set-up chunk may meet as exceptions: a suite that
// went missing, memory.
template <class F>
PF_Err guarded(F f) {
    try {
        return f();
    } catch (int err) {
        return err ? err : PF_Err_INTERNAL_STRUCT_DAMAGED;
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

// Part of a plain pass in a batch: draws start .. start + count - 1 of the
// batch are the elements last, last - 1, ... at the offset. A frame whose
// draws need nothing of the render thread (no priority queue, no shape map,
// no frame checked out per element) hands whole passes to the batch, and the
// set-up pass finds each draw's element and shape itself.
struct Pass {
    Vector offset;
    std::size_t start, last, count;
};

// One set-up chunk's draws binned to the strips: strip s draws
// order[start[s] .. start[s + 1]) of them, in the batch's order. Each chunk
// bins its own draws, so that no pass over the whole batch runs on one thread.
struct alignas(64) Bins {
    std::vector<uint32_t> start, order, fill;
    std::size_t failedAt = 0;  // the chunk's first draw whose set-up failed, if failed
    PF_Err failed = PF_Err_NONE;
};

}  // namespace

// A batch's draws worked out: their rows, the records of each kind, and the
// strips they are binned to. Kept from launch to launch of one frame.
struct ShapeDrawer::Batch {
    std::vector<DrawJob> jobs;  // the job list's storage between frames
    std::vector<Pass> passes;   // the draws as passes (then `jobs` is unused)
    std::size_t size = 0;       // draws in the batch
    std::vector<Drawn> drawn;
    Slots<LineDrawer::Pattern> lines;
    Slots<CircleDrawer::Pattern> circles;
    Slots<PolygonDrawer::Pattern> polygons;
    Slots<LayerDrawer::Pattern> layers;
    uint32_t count[5] = {};  // slots taken per kind
    std::size_t bytes = 0;   // what the batch's draws hold
    // Draws of passes keep their record in slot j (their place in the batch)
    // of every kind the frame's shapes have (`passKinds`, one bit per kind);
    // each counts `passBytes` towards the batch's bound.
    unsigned passKinds = 0;
    std::size_t passBytes = 0;
    A_long stripRows = 1;
    A_long strips = 1;
    std::vector<Bins> bins;  // per set-up chunk
    std::size_t chunks = 0;

    static std::size_t recordBytes(uint8_t kind) {
        switch (kind) {
            case kLineRecord: return sizeof(LineDrawer::Pattern);
            case kCircleRecord: return sizeof(CircleDrawer::Pattern);
            case kPolygonRecord: return sizeof(PolygonDrawer::Pattern);
            case kLayerRecord: return sizeof(LayerDrawer::Pattern);
            default: return 0;
        }
    }
    void reserve() {
        if (!passes.empty())
            for (uint8_t kind = kLineRecord; kind <= kLayerRecord; ++kind)
                if ((passKinds >> kind) & 1u) count[kind] = static_cast<uint32_t>(size);
        if (drawn.size() < size) drawn.resize(size);
        lines.reserve(count[kLineRecord]);
        circles.reserve(count[kCircleRecord]);
        polygons.reserve(count[kPolygonRecord]);
        layers.reserve(count[kLayerRecord]);
    }
    void reset() {
        for (uint32_t& c : count) c = 0;
        bytes = 0;
        size = 0;
        passes.clear();
    }
    std::size_t held() const {
        std::size_t binBytes = bins.capacity() * sizeof(Bins);
        for (const Bins& c : bins)
            binBytes += (c.start.capacity() + c.order.capacity() + c.fill.capacity()) * sizeof(uint32_t);
        return jobs.capacity() * sizeof(DrawJob) + passes.capacity() * sizeof(Pass) + drawn.capacity() * sizeof(Drawn) +
               lines.bytes() + circles.bytes() + polygons.bytes() + layers.bytes() + binBytes;
    }
    // Strips of the output for a launch, and `chunkCount` set-up chunks.
    void layOut(A_long height, A_long stripCount, std::size_t chunkCount) {
        strips = stripCount;
        stripRows = (height + strips - 1) / strips;
        if (stripRows < 1) stripRows = 1;
        chunks = chunkCount;
        if (bins.size() < chunks) bins.resize(chunks);
    }
    // Set-up chunk c's draws from .. to - 1 binned to the strips they meet.
    void bin(std::size_t c, std::size_t from, std::size_t to) {
        Bins& out = bins[c];
        std::vector<uint32_t>& start = out.start;
        start.assign(static_cast<std::size_t>(strips) + 1, 0);
        for (std::size_t j = from; j < to; ++j) {
            const Drawn& e = drawn[j];
            if (e.top < e.bottom)
                for (A_long s = e.top / stripRows; s <= (e.bottom - 1) / stripRows; ++s) ++start[s + 1];
        }
        for (std::size_t s = 1; s < start.size(); ++s) start[s] += start[s - 1];
        out.order.resize(start.back());
        out.fill.assign(start.begin(), start.end() - 1);
        for (std::size_t j = from; j < to; ++j) {
            const Drawn& e = drawn[j];
            if (e.top < e.bottom)
                for (A_long s = e.top / stripRows; s <= (e.bottom - 1) / stripRows; ++s)
                    out.order[out.fill[s]++] = static_cast<uint32_t>(j);
        }
    }
};

namespace {

// The record of one draw and the rows it meets.
PF_Err prepare(ShapeDrawer& d, const ShapeDrawer::DrawJob& job, const PF_ParamDef* frame, Drawn& out) {
    ShapeDrawer::Batch& b = *d.batch;
    const int k = job.shapeIndex;
    const Parameters::Shape& s = d.params->shapes[k];
    const ShapeDrawer::Pattern& e = *job.element;
    out = Drawn{};
    out.slot = job.slot;
    out.kind = job.kind;
    VectorElement v;
    PF_Err err = PF_Err_NONE;
    switch (job.kind) {
        case kCircleRecord: {
            CircleDrawer::Pattern& r = *new (&b.circles[job.slot]) CircleDrawer::Pattern();
            if ((err = prepareVector(d, k, s, e, job.offset, false, v))) return err;
            fillCommon(d, s, v, r);
            r.radius = v.base;
            r.innerRadius = s.innerRadius;
            CircleDrawer c(d.in_data, *d.suites, d.draft, d.output, d.bpc, r);
            if (c.visible()) out.top = c.region.top, out.bottom = c.region.bottom;
            return PF_Err_NONE;
        }
        case kLineRecord: {
            LineDrawer::Pattern& r = *new (&b.lines[job.slot]) LineDrawer::Pattern();
            if ((err = prepareVector(d, k, s, e, job.offset, true, v))) return err;
            fillCommon(d, s, v, r);
            r.halfLength = v.base * (1.0 - hashTimes(d, e, 1, s.scaleSeed, 1.0 - s.minimumWidth));
            r.halfThickness = v.base * (1.0 - hashTimes(d, e, 2, s.scaleSeed, 1.0 - s.minimumHeight)) * s.thickness;
            r.phase = v.phase;
            LineDrawer l(d.in_data, *d.suites, d.draft, d.output, d.bpc, r);
            if (l.visible()) out.top = l.region.top, out.bottom = l.region.bottom;
            return PF_Err_NONE;
        }
        case kPolygonRecord: {
            PolygonDrawer::Pattern& r = *new (&b.polygons[job.slot]) PolygonDrawer::Pattern();
            if ((err = prepareVector(d, k, s, e, job.offset, true, v))) return err;
            fillCommon(d, s, v, r);
            r.radius = v.base;
            r.innerRadius = s.innerRadius;
            r.sides = s.sides;
            r.starness = s.starness;
            r.phase = v.phase;
            PolygonDrawer g(d.in_data, *d.suites, d.draft, d.output, d.bpc, r);
            if (g.visible()) out.top = g.region.top, out.bottom = g.region.bottom;
            return PF_Err_NONE;
        }
        case kLayerRecord: {
            LayerDrawer::Pattern& r = *new (&b.layers[job.slot]) LayerDrawer::Pattern();
            if ((err = prepareLayer(d, k, s, e, job.offset, frame, r))) return err;
            // The source's bounds are found once here, not in every strip.
            LayerDrawer l(d.in_data, *d.suites, d.draft, d.output, d.bpc, r);
            r.rectKnown = 1;
            if (l.doRender()) out.top = l.region.top, out.bottom = l.region.bottom;
            return PF_Err_NONE;
        }
        default: return PF_Err_NONE;
    }
}

// The set-up of a batch, in chunks over the host's threads. Draws with a
// frame of their own were set up on the render thread.
struct SetUp {
    ShapeDrawer* d;
    std::size_t size;
    int operator()(int i, int n) const {
        const std::size_t from = size * static_cast<std::size_t>(i) / static_cast<std::size_t>(n);
        const std::size_t to = size * static_cast<std::size_t>(i + 1) / static_cast<std::size_t>(n);
        return guarded([&] {
            ShapeDrawer::Batch& b = *d->batch;
            Bins& bins = b.bins[static_cast<std::size_t>(i)];
            bins.failed = PF_Err_NONE;
            auto made = [&](std::size_t j, PF_Err err) {
                if (!err) return;
                b.drawn[j].err = err;
                if (!bins.failed) bins.failed = err, bins.failedAt = j;
            };
            if (b.passes.empty()) {
                for (std::size_t j = from; j < to; ++j) {
                    const ShapeDrawer::DrawJob& job = d->jobs[j];
                    if (ownFrame(d->params->shapes[job.shapeIndex])) continue;
                    made(j, prepare(*d, job, nullptr, b.drawn[j]));
                }
            } else {
                // The pass holding draw `from`, then the draws in turn.
                std::size_t p = 0;
                while (b.passes[p].start + b.passes[p].count <= from) ++p;
                for (std::size_t j = from; j < to; ++j) {
                    while (b.passes[p].start + b.passes[p].count <= j) ++p;
                    const Pass& pass = b.passes[p];
                    const ShapeDrawer::Pattern& e = d->patterns[pass.last - (j - pass.start)];
                    const int k = e.shapeIndex;
                    // An index outside the eight shapes draws nothing.
                    if (k < 0 || k >= 8) {
                        b.drawn[j] = Drawn{};
                        continue;
                    }
                    const uint8_t kind = recordKind(d->params->shapes[k]);
                    const ShapeDrawer::DrawJob job{&e, k, kind, static_cast<uint32_t>(j), pass.offset};
                    made(j, prepare(*d, job, nullptr, b.drawn[j]));
                }
            }
            b.bin(static_cast<std::size_t>(i), from, to);
            return PF_Err_NONE;
        });
    }
};

// Column tables of the vector drawers, kept per thread from element to
// element: a drawer borrows them (their capacity grows to the widest element
// once) instead of allocating its own for every element and strip.
struct Scratch {
    std::vector<double> a, b;
    std::vector<PolygonDrawer::Edge> e, f;
    std::vector<PolygonDrawer::Ray> r;
};
thread_local Scratch scratch;

template <class T>
struct Borrowed {
    std::vector<T>& mine;
    std::vector<T>& lent;
    Borrowed(std::vector<T>& m, std::vector<T>& from) : mine(m), lent(from) { mine = std::move(lent); }
    ~Borrowed() { lent = std::move(mine); }
};

// One launch's bands: strip i of the output.
struct Strips {
    ShapeDrawer* d;
    std::size_t limit;  // draws from this one on are not made
    bool clear, lighten, blend;
    mutable std::atomic<PF_Err> stop{PF_Err_NONE};  // an error or abort any band met
    // Per thread, the strip's known-clear columns, kept from strip to strip.
    inline static thread_local raster::KnownClear clearRows;

    int operator()(int i, int) const {
        const ShapeDrawer::Batch& b = *d->batch;
        const PF_LRect rows{0, i * b.stripRows, d->output->width,
                            std::min<A_long>((i + 1) * b.stripRows, d->output->height)};
        if (rows.top >= rows.bottom) return PF_Err_NONE;
        const PF_Err err = guarded([&] { return run(i, rows); });
        if (err) {
            PF_Err none = PF_Err_NONE;
            stop.compare_exchange_strong(none, err);
        }
        return err;
    }

    PF_Err run(int i, const PF_LRect& rows) const {
        ShapeDrawer& s = *d;
        const ShapeDrawer::Batch& b = *s.batch;
        // What the strip's draws leave clear, known only where this launch
        // cleared it.
        raster::KnownClear* known = nullptr;
        if (clear) {
            const std::size_t bytes = std::size_t(rows.right) * (s.bpc == 2 ? 16 : s.bpc == 1 ? 8 : 4);
            for (A_long y = rows.top; y < rows.bottom; ++y)
                std::memset(static_cast<char*>(s.output->data) + std::ptrdiff_t(s.output->rowbytes) * y, 0, bytes);
            known = &clearRows;
            known->reset(rows.top, rows.bottom);
        }
        // Long draws (a huge Layer element) ask for the abort between runs of
        // their rows; the clock is shared with the checks between draws.
        raster::AbortClock clock(s.in_data, &stop, kAbortEvery);
        uint32_t k = 0;
        for (std::size_t c = 0; c < b.chunks; ++c) {
            const Bins& bins = b.bins[c];
            for (uint32_t n = bins.start[i]; n < bins.start[i + 1]; ++n, ++k) {
                const uint32_t j = bins.order[n];
                // Past a draw whose set-up failed nothing more is drawn.
                if (j >= limit) {
                    c = b.chunks - 1;
                    break;
                }
                if ((k & 7) == 7)
                    if (PF_Err err = clock.check()) return err;
                if (PF_Err err = drawOne(b.drawn[j], rows, clock, known)) return err;
            }
        }
        if (lighten) s.frameWork.blender->lightenRows(rows);
        if (blend) s.frameWork.blender->blendRows(rows);
        return PF_Err_NONE;
    }

    // Circles, lines and polygons keep `known` themselves; layers' whole
    // extent is taken as written.
    PF_Err drawOne(const Drawn& job, const PF_LRect& rows, raster::AbortClock& clock, raster::KnownClear* known) const {
        ShapeDrawer& s = *d;
        const ShapeDrawer::Batch& b = *s.batch;
        PF_Err err = PF_Err_NONE;
        Scratch& t = scratch;
        switch (job.kind) {
            case kCircleRecord: {
                CircleDrawer drawer(s.in_data, *s.suites, s.draft, s.output, s.bpc, b.circles[job.slot]);
                const Borrowed<double> a(drawer.distances, t.a), c(drawer.squaredDistances, t.b);
                drawer.known = known;
                if (drawer.doRender()) err = drawer.drawRows(rows);
                break;
            }
            case kLineRecord: {
                LineDrawer drawer(s.in_data, *s.suites, s.draft, s.output, s.bpc, b.lines[job.slot]);
                const Borrowed<double> a(drawer.offsets, t.a);
                drawer.known = known;
                if (drawer.doRender()) err = drawer.drawRows(rows);
                break;
            }
            case kPolygonRecord: {
                PolygonDrawer drawer(s.in_data, *s.suites, s.draft, s.output, s.bpc, b.polygons[job.slot]);
                const Borrowed<double> a(drawer.columnOffsets, t.a);
                const Borrowed<PolygonDrawer::Edge> e(drawer.edges, t.e), f(drawer.innerEdges, t.f);
                const Borrowed<PolygonDrawer::Ray> r(drawer.rays, t.r);
                drawer.known = known;
                drawer.strip = &rows;
                if (drawer.doRender()) err = drawer.drawRows(rows);
                break;
            }
            case kLayerRecord: {
                // The record's bounds are known: the drawer writes nothing to it.
                LayerDrawer drawer(s.in_data, *s.suites, s.draft, s.output, s.bpc, b.layers[job.slot]);
                if (drawer.doRender()) {
                    if (known) known->widen(drawer.region);
                    err = drawer.drawRows(rows, &clock);
                }
                break;
            }
            default: break;
        }
        return err;
    }
};

// Frames checked out for a batch, checked in whatever happens.
struct HeldFrames {
    PF_InData* in;
    std::vector<PF_ParamDef> frames;
    std::vector<bool> held;
    PF_Err checkIn() {
        PF_Err first = PF_Err_NONE;
        for (std::size_t n = 0; n < frames.size(); ++n)
            if (held[n]) {
                held[n] = false;
                const PF_Err err = PF_CHECKIN_PARAM(in, &frames[n]);
                if (!first) first = err;
            }
        return first;
    }
    ~HeldFrames() { checkIn(); }
};

// The last frame's batch storage, kept by the render thread for its next
// frame (as the drawers' column tables are): a frame then starts without
// allocating, and without faulting in fresh pages, megabytes of records.
thread_local std::shared_ptr<ShapeDrawer::Batch> spareBatch;

}  // namespace

PF_Err ShapeDrawer::emit(int k, const Pattern& element, const Vector& offset) {
    if (!batch) batch = std::make_shared<Batch>();
    Batch& b = *batch;
    const uint8_t kind = recordKind(params->shapes[k]);
    jobs.push_back({&element, k, kind, b.count[kind]++, offset});
    ++b.size;
    b.bytes += sizeof(DrawJob) + sizeof(Drawn) + Batch::recordBytes(kind);
    if (ownFrame(params->shapes[k])) ++heldFrames;
    if (b.bytes >= kBatchBytes || heldFrames >= kMaxHeldFrames) return launch(false);
    return PF_Err_NONE;
}

PF_Err ShapeDrawer::emitPass(const Vector& offset) {
    if (!batch) batch = std::make_shared<Batch>();
    Batch& b = *batch;
    const std::size_t each = b.passBytes;
    // Cut where drawing element by element would have cut the batch.
    for (std::size_t left = patterns.size(); left > 0;) {
        const std::size_t room = (kBatchBytes - std::min(b.bytes, kBatchBytes - 1) + each - 1) / each;
        const std::size_t take = std::min(left, room);
        b.passes.push_back({offset, b.size, left - 1, take});
        b.size += take;
        b.bytes += take * each;
        left -= take;
        if (b.bytes >= kBatchBytes)
            if (PF_Err err = launch(false)) return err;
    }
    return PF_Err_NONE;
}

PF_Err ShapeDrawer::acquireBandSuites() {
    // The bands and the set-up sample maps and image shapes: the sampling
    // suite of the depth is acquired here, never for the first time in a band.
    bool samples = params->mapPost2D.shapeMap.layer || params->mapPost2D.scaleMap.layer ||
                   params->mapPost2D.colorMap.layer || params->mapPost2D.phaseMap.layer;
    const int count = std::clamp(params->shapeNumber, 0, 8);
    for (int k = 0; k < count; ++k)
        if ((params->shapes[k].type == kInput || params->shapes[k].type == kLayer) && params->shapes[k].layer)
            samples = true;
    if (!samples) return PF_Err_NONE;
    return guarded([&] {
        switch (bpc) {
            case 0: suites->Sampling8Suite1(); break;
            case 1: suites->Sampling16Suite1(); break;
            case 2: suites->SamplingFloatSuite1(); break;
            default: break;
        }
        return PF_Err_NONE;
    });
}

PF_Err ShapeDrawer::launch(bool last) {
    const bool clear = frameWork.clear && !cleared;
    if (!batch) batch = std::make_shared<Batch>();
    Batch& b = *batch;
    if (b.size == 0 && !clear && !(last && frameWork.blender)) return PF_Err_NONE;
    b.reserve();
    const std::size_t size = b.size;
    HeldFrames frames{in_data, {}, {}};
    PF_Err err = PF_Err_NONE;
    // Frames of their own are checked out here, on the render thread.
    if (heldFrames > 0) {
        frames.frames.resize(static_cast<std::size_t>(heldFrames));
        frames.held.assign(frames.frames.size(), false);
        std::size_t n = 0;
        for (std::size_t j = 0; j < jobs.size() && !err; ++j) {
            const DrawJob& job = jobs[j];
            if (!ownFrame(params->shapes[job.shapeIndex])) continue;
            PF_ParamDef* f = n < frames.frames.size() ? &frames.frames[n] : nullptr;
            bool held = false;
            if (f) {
                err = checkoutFrame(*this, job.shapeIndex, params->shapes[job.shapeIndex], *job.element, *f, held);
                frames.held[n++] = held;
            }
            if (!err) err = prepare(*this, job, held ? f : nullptr, b.drawn[j]);
        }
    }
    const int threadCount = threads > 1 ? threads : 1;
    const A_long height = output->height;
    A_long strips = std::min<A_long>(height / kMinStripRows, A_long{threadCount} * kStripsPerThread);
    if (strips < 1) strips = 1;
    std::size_t chunks = 0;
    if (size >= kSetUpAlone)
        chunks = std::min<std::size_t>(std::size_t(threadCount) * 4, (size + 63) / 64);
    else if (size > 0)
        chunks = 1;
    b.layOut(height, strips, chunks);
    if (!err && size > 0) {
        SetUp setUp{this, size};
        err = iterateGeneric(in_data, *suites, &setUp, static_cast<int>(chunks));
    }
    // A draw that failed its set-up ends the drawing: the draws before it
    // are still made, as drawing each element in turn would have.
    PF_Err failed = PF_Err_NONE;
    std::size_t limit = size;
    for (std::size_t c = 0; c < b.chunks && !err && !failed; ++c)
        if (b.bins[c].failed) failed = b.bins[c].failed, limit = b.bins[c].failedAt;
    if (failed) last = false;
    if (!err) {
        const bool finish = last && frameWork.blender;
        Strips work{this, limit, clear, finish && frameWork.lighten, finish && frameWork.blend};
        err = iterateGeneric(in_data, *suites, &work, static_cast<int>(strips));
        cleared = true;
    }
    if (!err) err = failed;
    // Once per launch on the render thread too: the bands ask only when
    // they run long.
    if (!err) err = PF_ABORT(in_data);
    const PF_Err in = frames.checkIn();
    if (!err) err = in;
    jobs.clear();
    b.reset();
    heldFrames = 0;
    return err;
}

PF_Err ShapeDrawer::draw() {
    struct Drawing {
        ShapeDrawer& d;
        ~Drawing() { d.drawing = d.passes = false; }
    } drawingNow{*this};
    drawing = true;
    cleared = false;
    if (!batch && spareBatch) {
        batch = std::move(spareBatch);
        jobs.swap(batch->jobs);
    }
    // Its storage goes back to the thread when the frame is drawn, unless
    // an unusual frame made it large.
    struct Keep {
        ShapeDrawer& d;
        ~Keep() {
            if (!d.batch || d.batch->held() > 2 * kBatchBytes) return;
            d.jobs.clear();
            d.batch->jobs.swap(d.jobs);
            d.batch->reset();
            spareBatch = std::move(d.batch);
        }
    } keep{*this};
    jobs.clear();
    if (batch) batch->reset();
    heldFrames = 0;
    if (patterns.empty()) return launch(true);  // the frame's clearing and blending only
    PF_Err err = suites->PFInterfaceSuite1()->AEGP_GetEffectLayer(in_data->effect_ref, &layer);
    if (!err) {
        A_long n = 0;
        err = suites->IterateSuite1()->AEGP_GetNumThreads(&n);
        threads = n;
    }
    if (!err) err = acquireBandSuites();
    queueMode = params->queueByPriority;
    if (!err) {
        // Plain passes go to the batch whole when no draw needs the render
        // thread: the set-up pass then finds each draw's element and shape.
        bool whole = !queueMode && !params->mapPost2D.shapeMap.layer;
        unsigned kinds = 0;
        for (const Parameters::Shape& s : params->shapes) {
            whole = whole && !ownFrame(s);
            kinds |= 1u << recordKind(s);
        }
        if (whole) {
            if (!batch) batch = std::make_shared<Batch>();
            // A pass draw counts what it holds (a slot of every kind), at
            // least as much as the largest draw made element by element, so
            // that a batch holds no more draws than then (and the abort is
            // asked as often).
            batch->passKinds = kinds & ~1u;
            std::size_t most = 0, all = 0;
            for (uint8_t kind = kNoRecord; kind <= kLayerRecord; ++kind)
                if ((kinds >> kind) & 1u) {
                    most = std::max(most, Batch::recordBytes(kind));
                    all += Batch::recordBytes(kind);
                }
            batch->passBytes = std::max(sizeof(DrawJob) + most, all + sizeof(uint32_t)) + sizeof(Drawn);
        }
        passes = whole;
    }
    // Point, Line Segment, Circle, Rectangle, Finite Grid, Path, Waveform,
    // Graph and Random repeat; the unbounded layouts never do.
    const unsigned kind = static_cast<unsigned>(params->pattern) - 1u;
    const bool repeats = kind < 12u && ((0xF5Du >> kind) & 1u);
    const auto walk = [&]() -> PF_Err {
        if (!repeats) return drawNormal();
        switch (params->repeaterType) {
            case 1: return drawNormal();
            case 2: return drawRepeater1D();
            case 3: return drawRepeater2D();
            default: return PF_Err_NONE;
        }
    };
    if (!err && !queueMode) err = walk();
    if (!err && queueMode) {
        // The draws of greater priority first, each priority's in the order
        // the walk meets them: a walk per priority the shapes have, so that
        // no list of every draw (repeater copies can make billions) is held.
        std::vector<int32_t> levels;
        for (const Parameters::Shape& s : params->shapes) levels.push_back(s.priority);
        std::sort(levels.begin(), levels.end(), std::greater<int32_t>());
        levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
        for (int32_t level : levels) {
            queueLevel = level;
            if ((err = walk())) break;
        }
    }
    if (err) {
        jobs.clear();
        if (batch) batch->reset();
        return err;
    }
    return launch(true);
}
