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

#include <boost/rational.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

enum ShapeType { kLine = 1, kCircle = 2, kPolygon = 3, kInput = 4, kLayer = 5 };

double hash(const ShapeDrawer& d, const ShapeDrawer::Pattern& e, int n, const Vector& seed) {
    return patternHash(d.in_data, e.i, e.j, n, seed);
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
    return getMapColor2D(d.in_data, *d.suites, pb, d.bpc, at, Vector(d.originX, d.originY), d.width, d.height,
                         &color);
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

// Runs one rasteriser over its region, in bands when it is tall enough.
template <class Drawer, class Record>
PF_Err rasterise(ShapeDrawer& d, Record& record) {
    Drawer drawer(d.in_data, *d.suites, d.draft, d.output, d.bpc, record);
    if (!drawer.doRender()) return PF_Err_NONE;
    return iterateGeneric(d.in_data, *d.suites, &drawer, drawer.doMultithread(d.threads) ? d.threads : 1);
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

// Beyond this many steps a repeater walk is no drawing any more: non-finite
// or absurd steps would otherwise walk without end.
constexpr long kMaxRepeats = 1L << 20;

// The element box grown by the margin, the output rectangle and the corner
// picks along a direction.
struct RepeatGeometry {
    Vector lo, hi;  // grown element box
    double W, H;

    RepeatGeometry(const ShapeDrawer& d) {
        Vector mn, mx;
        d.calculateBoundingBox(mn, mx);
        const Parameters& p = *d.params;
        const double m = getMaxSize(d.in_data, &p) +
                         2.0 * std::max(std::fabs(p.transitionOffset.x), std::fabs(p.transitionOffset.y)) *
                             p.transformScale;
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
    for (std::size_t k = d.patterns.size(); k-- > 0;)
        if (PF_Err err = d.drawPattern(d.patterns[k], offset)) return err;
    return PF_Err_NONE;
}

// Copies at whole multiples of the step that reach the output, from the +step
// side to the -step side.
PF_Err repeat1D(ShapeDrawer& d, const Vector& step) {
    const Parameters& p = *d.params;
    const Vector a = step * p.transformScale;
    if (!(length(d.in_data, a) >= 0.01)) return plainPass(d, Vector());  // also NaN
    const Vector A = rotated(d.in_data, a, p.transformRotation);
    const Vector u = -A / length(d.in_data, A);
    const RepeatGeometry g(d);
    Vector o;
    long guard = 0;
    while (dot(u, g.low(u) - (g.far(u) + o)) < 0 && ++guard < kMaxRepeats) o += A;
    for (; guard < kMaxRepeats; ++guard) {
        if (dot(u, (g.near(u) + o) - g.high(u)) >= 0) return PF_Err_NONE;
        if (g.hits(d, o))
            if (PF_Err err = plainPass(d, o)) return err;
        o -= A;
    }
    return PF_Err_NONE;
}

Vector unitOrSelf(const PF_InData* in, const Vector& v) {
    const double l = length(in, v);
    return l > 0 ? v / l : v;
}

}  // namespace

// ------------------------------------------------------------ driver
PF_Err ShapeDrawer::draw() {
    if (patterns.empty()) return PF_Err_NONE;
    PF_Err err = suites->PFInterfaceSuite1()->AEGP_GetEffectLayer(in_data->effect_ref, &layer);
    if (!err) {
        A_long n = 0;
        err = suites->IterateSuite1()->AEGP_GetNumThreads(&n);
        threads = n;
    }
    queueMode = params->queueByPriority;
    if (!err) {
        // Point, Line Segment, Circle, Rectangle, Finite Grid, Path, Waveform,
        // Graph and Random repeat; the unbounded layouts never do.
        const unsigned kind = static_cast<unsigned>(params->pattern) - 1u;
        const bool repeats = kind < 12u && ((0xF5Du >> kind) & 1u);
        if (!repeats) {
            err = drawNormal();
        } else {
            switch (params->repeaterType) {
                case 1: err = drawNormal(); break;
                case 2: err = drawRepeater1D(); break;
                case 3: err = drawRepeater2D(); break;
                default: break;
            }
        }
    }
    if (!queueMode || err) return err;
    std::stable_sort(queue.begin(), queue.end(), PatternQueueComperator());
    for (const PatternQueue& q : queue) {
        switch (q.shape->type) {
            case kLine: err = drawLinePattern(q.shapeIndex, *q.shape, *q.pattern, q.offset); break;
            case kCircle: err = drawCirclePattern(q.shapeIndex, *q.shape, *q.pattern, q.offset); break;
            case kPolygon: err = drawPolygonPattern(q.shapeIndex, *q.shape, *q.pattern, q.offset); break;
            case kInput:
            case kLayer: err = drawInputAndLayerPattern(q.shapeIndex, *q.shape, *q.pattern, q.offset); break;
            default: break;
        }
        if (err) return err;
    }
    return PF_Err_NONE;
}

PF_Err ShapeDrawer::drawNormal() { return plainPass(*this, Vector()); }

PF_Err ShapeDrawer::drawRepeater1D() { return repeat1D(*this, params->repeaterX); }

PF_Err ShapeDrawer::drawRepeater2D() {
    const Parameters& p = *params;
    const Vector a = p.repeaterX * p.transformScale;
    // A first step too short to repeat along: the pattern repeats along
    // Repeater Y alone.
    if (!(length(in_data, a) >= 0.01)) return repeat1D(*this, p.repeaterY);
    const Vector b = p.repeaterY * p.transformScale;
    // Without a usable second step there is no lattice: repeat along X.
    if (!(length(in_data, b) >= 0.01)) return repeat1D(*this, p.repeaterX);
    const Vector A = rotated(in_data, a, p.transformRotation), B = rotated(in_data, b, p.transformRotation);
    Vector uA = unitOrSelf(in_data, -A);
    const Vector uB = unitOrSelf(in_data, -B);
    if (std::fabs(dot(uA, uB)) > 0.9999) return repeat1D(*this, p.repeaterX);
    const bool reversed = dot(uA, uB) < 0;
    const Vector SA = reversed ? -A : A;
    uA = unitOrSelf(in_data, -SA);

    const RepeatGeometry g(*this);
    const double D = uA.x * uB.y - uA.y * uB.x;
    auto alpha = [&](const Vector& v) { return (v.x * uB.y - v.y * uB.x) / D; };
    auto beta = [&](const Vector& v) { return (uA.x * v.y - uA.y * v.x) / D; };
    const Vector corners[4] = {g.lo, {g.hi.x, g.lo.y}, g.hi, {g.lo.x, g.hi.y}};
    const Vector out[4] = {{0, 0}, {g.W, 0}, {g.W, g.H}, {0, g.H}};
    auto someBelow = [&](const Vector& o, bool useAlpha) {
        for (const Vector& c : corners)
            for (const Vector& q : out) {
                const Vector diff = q - (c + o);
                if ((useAlpha ? alpha(diff) : beta(diff)) < 0) return true;
            }
        return false;
    };

    // Start where the whole output lies on the negative side of the grown
    // box along both skew axes.
    Vector o;
    long guard = 0;
    for (bool moved = true; moved && guard < kMaxRepeats;) {
        moved = false;
        while (someBelow(o, true) && ++guard < kMaxRepeats) o += SA, moved = true;
        while (someBelow(o, false) && ++guard < kMaxRepeats) o += B, moved = true;
    }

    std::vector<Vector> remembered;
    for (Vector r = o; guard < kMaxRepeats; r -= B) {
        Vector q = r;
        while (dot(uA, g.low(uA) - (g.far(uA) + q)) < 0 && ++guard < kMaxRepeats) q += SA;
        bool hit = false;
        remembered.clear();
        while (dot(uA, (g.near(uA) + q) - g.high(uA)) < 0 && ++guard < kMaxRepeats) {
            if (g.hits(*this, q)) {
                hit = true;
                if (reversed)
                    remembered.push_back(q);
                else if (PF_Err err = plainPass(*this, q))
                    return err;
            }
            q -= SA;
        }
        for (auto it = remembered.rbegin(); it != remembered.rend(); ++it)
            if (PF_Err err = plainPass(*this, *it)) return err;
        if (!hit && dot(uB, (g.near(uB) + r) - g.high(uB)) >= 0) return PF_Err_NONE;
        ++guard;
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
PF_Err ShapeDrawer::drawPattern(Pattern& element, const Vector& offset) {
    const Parameters& p = *params;
    int k = element.shapeIndex;
    PF_Err err = PF_Err_NONE;
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
    // An index outside the eight shapes draws nothing.
    if (k < 0 || k >= 8) return err;
    const Parameters::Shape& shape = p.shapes[k];
    if (queueMode) {
        queue.push_back({k, &shape, &element, offset});
        return err;
    }
    if (err) return err;
    switch (shape.type) {
        case kLine: return drawLinePattern(k, shape, element, offset);
        case kCircle: return drawCirclePattern(k, shape, element, offset);
        case kPolygon: return drawPolygonPattern(k, shape, element, offset);
        case kInput:
        case kLayer: return drawInputAndLayerPattern(k, shape, element, offset);
        default: return PF_Err_NONE;
    }
}

PF_Err ShapeDrawer::drawCirclePattern(int k, const Parameters::Shape& s, const Pattern& e, const Vector& offset) {
    VectorElement v;
    const PF_Err err = prepareVector(*this, k, s, e, offset, false, v);
    if (err) return err;
    CircleDrawer::Pattern r;
    fillCommon(*this, s, v, r);
    r.radius = v.base;
    r.innerRadius = s.innerRadius;
    return rasterise<CircleDrawer>(*this, r);
}

PF_Err ShapeDrawer::drawLinePattern(int k, const Parameters::Shape& s, const Pattern& e, const Vector& offset) {
    VectorElement v;
    const PF_Err err = prepareVector(*this, k, s, e, offset, true, v);
    if (err) return err;
    LineDrawer::Pattern r;
    fillCommon(*this, s, v, r);
    r.halfLength = v.base * (1.0 - hash(*this, e, 1, s.scaleSeed) * (1.0 - s.minimumWidth));
    r.halfThickness = v.base * (1.0 - hash(*this, e, 2, s.scaleSeed) * (1.0 - s.minimumHeight)) * s.thickness;
    r.phase = v.phase;
    return rasterise<LineDrawer>(*this, r);
}

PF_Err ShapeDrawer::drawPolygonPattern(int k, const Parameters::Shape& s, const Pattern& e, const Vector& offset) {
    VectorElement v;
    const PF_Err err = prepareVector(*this, k, s, e, offset, true, v);
    if (err) return err;
    PolygonDrawer::Pattern r;
    fillCommon(*this, s, v, r);
    r.radius = v.base;
    r.innerRadius = s.innerRadius;
    r.sides = s.sides;
    r.starness = s.starness;
    r.phase = v.phase;
    return rasterise<PolygonDrawer>(*this, r);
}

// ------------------------------------------------------------ scale, opacity, phase
PF_Err ShapeDrawer::calculateScale(const Parameters::Shape& s, const Pattern& e, const Vector& offset, double& scale) {
    scale = params->transformScale * scale;
    scale = (1.0 - hash(*this, e, 0, s.scaleSeed) * (1.0 - s.minimumScale)) * scale;
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
    opacity = (1.0 - hash(*this, e, 0, s.opacitySeed) * (1.0 - s.minimumOpacity)) * opacity;
    return PF_Err_NONE;
}

PF_Err ShapeDrawer::calculatePhase(const Parameters::Shape& s, const Pattern& e, const Vector& offset, double& phase) {
    phase = params->transformRotation + s.phase + e.phase + phase;
    phase = phase + hash(*this, e, 0, s.phaseSeed) * s.randomizePhase;
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

PF_Err ShapeDrawer::drawInputAndLayerPattern(int k, const Parameters::Shape& s, const Pattern& e,
                                             const Vector& offset) {
    if (!s.layer) return PF_Err_NONE;
    PF_Err err = PF_Err_NONE;
    LayerDrawer::Pattern r;
    r.source = s.layer;
    r.rect = s.layerRect;
    r.rectKnown = 1;
    r.boundingBox = s.type == kInput ? s.boundingBox : 1;

    // A Layer shape sampled per element shows a frame of its own.
    PF_ParamDef checkedOut{};
    bool held = false;
    A_Time compTime{};
    if (s.type == kLayer && s.randomizeLayerSampling != 1 && (s.layerSampling == 2 || s.layerSampling == 4) &&
        elementFrame(*this, s, e, compTime)) {
        A_Time layerTime{};
        err = suites->LayerSuite13()->AEGP_ConvertCompToLayerTime(layer, &compTime, &layerTime);
        if (!err) {
            const A_Time& fd = params->frameDuration;
            const boost::rational<long long> d(fd.value, static_cast<long long>(fd.scale));
            err = PF_CHECKOUT_PARAM(in_data, 189 + 47 * k, layerTime.value, static_cast<A_long>(d.numerator()),
                                    layerTime.scale, &checkedOut);
            held = !err;
            const PF_LayerDef& w = checkedOut.u.ld;
            if (held && w.data && w.width > 0 && w.height > 0) {
                r.source = &checkedOut.u.ld;
                r.rectKnown = 0;
            }
        }
    }

    const ShapeTransitioner& t = shapeTransitioner;
    double scale = perShape(t, t.scales, k, 1.0);
    double opacity = perShape(t, t.opacities, k, 1.0);
    double phase = perShape(t, t.phases, k, 0.0);
    if (!err) err = calculateScale(s, e, offset, scale);

    const Vector centre = (e.position + offset) + perShape(t, t.offsets, k, Vector());
    r.blendMode = params->blendingMode;
    r.x = centre.x;
    r.y = centre.y;
    r.anchor = s.layerCenter;
    r.size = s.size * scale;
    r.widthScale = (1.0 - hash(*this, e, 1, s.scaleSeed) * (1.0 - s.minimumWidth)) * s.width;
    r.heightScale = (1.0 - hash(*this, e, 2, s.scaleSeed) * (1.0 - s.minimumHeight)) * s.height;
    if (!err) {
        calculateOpacity(s, e, opacity);
        err = calculatePhase(s, e, offset, phase);
    }
    r.opacity = opacity;
    r.phase = phase;

    // The shape's own toner, jittered per element.
    const Spread jitter(*this, e, s.colorSeed);
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
        Spread(*this, e, m.colorSeed).addTo(m.randomize, c);
        appendTone(r, mapTone(m, c));
    };
    if (e.hasColor1) mapColor(params->map1D.colorMap, e.color1);
    if (e.hasColor2) mapColor(params->mapPre2D.colorMap, e.color2);
    const ColorMapSettings& post = params->mapPost2D.colorMap;
    if (post.layer) {
        Color c;
        if (!err) err = samplePost2D(*this, post.layer, e.position + offset, c);
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

    if (!err) err = rasterise<LayerDrawer>(*this, r);
    if (held) {
        const PF_Err in = PF_CHECKIN_PARAM(in_data, &checkedOut);
        if (!err) err = in;
    }
    return err;
}
