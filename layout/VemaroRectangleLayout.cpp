// The Rectangle layout: elements at equal distances along the outline of a
// rectangle, optionally with rounded corners, from a start point over a part
// of the outline.
#include "VemaroRectangleLayout.h"

#include "VemaroDrawer.h"
#include "VemaroElementPipeline.h"
#include "VemaroLayoutCommon.h"

#include <algorithm>

namespace {

constexpr double kHalfPi = kLayoutPi / 2;
// The range of the "Number" slider: a record cannot hold more.
constexpr int kMaxRectangleElements = 10000;

struct Outline {
    bool rounded;
    double a;   // arc length of a 45-degree half corner
    double lw;  // top and bottom side, half corners included
    double lh;  // left and right side
};

Outline outline(double w, double h, double r) {
    Outline o;
    o.rounded = r > 1e-6;
    o.a = o.rounded ? r * 2 * kLayoutPi * 0.125 : 0.0;
    o.lw = o.rounded ? (w - 2 * r) + 2 * o.a : w;
    o.lh = o.rounded ? (h - 2 * r) + 2 * o.a : h;
    return o;
}

}  // namespace

Vector getRectanglePoint(const PF_InData* in_data, double t, double w, double h, double r, double* angle) {
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const Outline o = outline(w, h, r);
    const double total = 2 * (o.lw + o.lh);
    *angle = 0.0;
    // Also catches a NaN outline: nothing to walk.
    if (!(total >= 1e-6)) return Vector();
    double d = ansi.fmod(t * total, total);
    if (d < 0) d += total;
    const double W = w / 2, H = h / 2;

    // Side 0 top (left to right), 1 right (down), 2 bottom (right to left), 3 left (up).
    int side;
    double e, L;
    if (d < o.lw) {
        side = 0, e = d, L = o.lw;
    } else if (d < o.lw + o.lh) {
        side = 1, e = d - o.lw, L = o.lh;
    } else if (d < 2 * o.lw + o.lh) {
        side = 2, e = d - (o.lw + o.lh), L = o.lw;
    } else {
        side = 3, e = d - (2 * o.lw + o.lh), L = o.lh;
    }
    const double base = side * kHalfPi;

    if (!o.rounded) {
        *angle = base;
        switch (side) {
            case 0: return {e - W, -H};
            case 1: return {W, e - H};
            case 2: return {W - e, H};
            default: return {-W, H - e};
        }
    }
    if (e >= o.a && e <= L - o.a) {
        *angle = base;
        const double s = e - o.a;
        switch (side) {
            case 0: return {-W + r + s, -H};
            case 1: return {W, -H + r + s};
            case 2: return {W - r - s, H};
            default: return {-W, H - r - s};
        }
    }
    const bool start = e < o.a;
    const double phi = (1 - (start ? e : L - e) / o.a) * (kLayoutPi / 4);
    const double sp = ansi.sin(phi), cp = ansi.cos(phi);
    *angle = start ? base - phi : base + phi;
    if (start) {
        switch (side) {
            case 0: return {-W + r - r * sp, -H + r - r * cp};
            case 1: return {W - r + r * cp, -H + r - r * sp};
            case 2: return {W - r + r * sp, H - r + r * cp};
            default: return {-W + r - r * cp, H - r + r * sp};
        }
    }
    switch (side) {
        case 0: return {W - r + r * sp, -H + r - r * cp};
        case 1: return {W - r + r * cp, H - r + r * sp};
        case 2: return {-W + r - r * sp, H - r + r * cp};
        default: return {-W + r - r * cp, -H + r - r * sp};
    }
}

PF_Err ShapeDrawer::createRectanglePatterns() {
    int n = params->rectangleNumber;
    if (n <= 0) return PF_Err_NONE;
    if (n > kMaxRectangleElements) n = kMaxRectangleElements;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double w = params->rectangleWidth;
    const double h = params->rectangleMode == 1 ? w : params->rectangleHeight;
    const double r = std::min(params->rectangleBorderRadius, 0.5 * std::min(w, h));
    const double spacing = params->rectangleLength / n;
    const double rotation = params->rectangleRotation;

    ElementPipeline pipeline(*this, n);
    const bool cull = layoutCulls(*params);
    const double step = mapStep(static_cast<std::size_t>(n));
    patterns.reserve(patterns.size() + static_cast<std::size_t>(n));
    const double cr = ansi.cos(rotation), sr = ansi.sin(rotation);
    for (int i = 0; i < n; ++i) {
        double angle = 0.0;
        const Vector q = getRectanglePoint(in_data, spacing * i + params->rectangleOffset, w, h, r, &angle);
        LayoutElement e;
        e.point = params->rectangleCenter + Vector(q.x * cr - q.y * sr, q.x * sr + q.y * cr);
        e.i = i;
        e.transitionIndex = i;
        e.u = i * step;
        e.t = static_cast<double>(i) / n;
        e.phase = params->autoOrient ? angle + rotation : 0.0;
        pipeline.add(e, cull);
    }
    return pipeline.error();
}
