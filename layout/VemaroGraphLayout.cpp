// The Graph layout: elements along the curve (x(t), y(t)) of the two stored
// expressions, by number (optionally at equal arc length) or by a step of t.
// The expressions work in full-resolution layer pixels.
#include "VemaroDrawer.h"
#include "VemaroEffectStreamValue.h"
#include "VemaroElementPipeline.h"
#include "VemaroExpression.h"
#include "VemaroExpressionData.h"
#include "VemaroExpressionParser.h"
#include "VemaroLayoutCommon.h"
#include "VemaroMaskUtility.h"
#include "VemaroParamTable.h"

#include <algorithm>
#include <cmath>

namespace {

// The equal-length pass's fine points: Detail 100 % to 10000 % of "Number"
// could ask for 10^8 of them; past this the spacing is already far finer than
// a pixel.
constexpr std::size_t kMaxFinePoints = 10000000;

class Curve {
public:
    Curve(const Expression& x, const Expression& y, ExpressionVariables vars) : x_(x), y_(y), vars_(vars) {}

    Vector at(double t) {
        vars_.t = t;
        const double x = x_.evaluate(vars_);
        return {x, y_.evaluate(vars_)};
    }
    // The point at t with the difference to the probe t' as its direction.
    void sample(double t, double probe, std::vector<PathPoint>& out) {
        const Vector p0 = at(t);
        const Vector p1 = at(probe);
        out.push_back(PathPoint{p0, p1 - p0});
    }

private:
    Expression x_, y_;
    ExpressionVariables vars_;
};

double probeStep(double step) { return std::min(step * 0.001, 0.001); }

// Mode "Delta": t walks from From towards To by repeated steps. Too many steps
// for one layout call is reported as out of memory.
PF_Err sampleByDelta(Curve& curve, double from, double to, double delta, std::vector<PathPoint>& out) {
    // A step that is not positive would never arrive.
    if (!(delta > 0)) return PF_Err_NONE;
    const double count = std::floor(std::fabs(to - from) / delta) + 1;
    if (count > static_cast<double>(kMaxLayoutElements)) return PF_Err_OUT_OF_MEMORY;
    const double e = probeStep(delta);
    // The bound also stops a t so large that adding the step leaves it unchanged.
    if (to <= from) {
        double t = from;
        do {
            curve.sample(t, t - e, out);
            t = t - delta;
        } while (t >= to && out.size() < kMaxLayoutElements);
    } else {
        double t = from;
        do {
            curve.sample(t, t + e, out);
            t = t + delta;
        } while (t <= to && out.size() < kMaxLayoutElements);
    }
    return PF_Err_NONE;
}

void sampleByNumber(Curve& curve, double from, double to, int n, std::vector<PathPoint>& out) {
    if (n <= 0) return;
    if (n == 1) {
        curve.sample(from, from, out);
        return;
    }
    const double step = (to - from) / (n - 1);
    const double e = probeStep(step);
    for (int i = 0; i < n; ++i) {
        const double t = i * step + from;
        curve.sample(t, t + e, out);
    }
}

// Mode "Number" at equal arc length: a fine pass measures the polyline, then
// each element's t is interpolated at its share of the length.
void sampleEqualized(Curve& curve, const PF_ANSICallbacks& ansi, double from, double to, int n, double detail,
                     std::vector<PathPoint>& out) {
    std::size_t m = static_cast<std::size_t>(n);
    const double fine = n * detail + 0.5;
    if (fine > m) m = static_cast<std::size_t>(std::min(fine, static_cast<double>(kMaxFinePoints)));
    m = std::max(m, static_cast<std::size_t>(n));
    const double h = (to - from) / static_cast<double>(m - 1);
    std::vector<double> lengths(m);  // t_k = k h + From
    Vector last = curve.at(from);
    lengths[0] = 0;
    for (std::size_t k = 1; k < m; ++k) {
        const Vector p = curve.at(k * h + from);
        const double dx = p.x - last.x, dy = p.y - last.y;
        double d = ansi.sqrt(dx * dx + dy * dy);
        // A stretch the expressions cannot place adds no length, so the table
        // stays ordered and finite.
        if (!std::isfinite(d)) d = 0;
        lengths[k] = lengths[k - 1] + d;
        last = p;
    }
    const double e = probeStep(h);
    const double total = lengths[m - 1];
    for (int i = 0; i < n; ++i) {
        double t = from;
        if (i == n - 1) {
            t = to;
        } else if (i > 0) {
            const double s = (i * total) / (n - 1);
            const std::size_t k =
                static_cast<std::size_t>(std::lower_bound(lengths.begin(), lengths.end(), s) - lengths.begin());
            if (k >= 1 && k < m) {
                const double u = (s - lengths[k - 1]) / (lengths[k] - lengths[k - 1]);
                t = (1 - u) * ((k - 1) * h + from) + u * (k * h + from);
            }
        }
        curve.sample(t, t + e, out);
    }
}

}  // namespace

PF_Err ShapeDrawer::createGraphPatterns() {
    const Parameters& p = *params;
    std::string xText, yText;
    bool read = false;
    PF_Err status = useEffectStreamValue(pluginId, in_data, *suites, ParamTable::kGraphDataParam,
                                         [&](const AEGP_StreamValue2& value) {
                                             const PF_Err e = Graph::readTexts(in_data, value.val.arbH, xText, yText);
                                             read = !e;
                                             return e;
                                         });
    if (!read) return status;

    Expression X, Y;
    if (!parseExpression(xText, X) || !parseExpression(yText, Y)) return status;

    const double* v = p.graphVariables;
    const ExpressionVariables vars{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], 0.0,
                               static_cast<double>(in_data->width), static_cast<double>(in_data->height)};
    Curve curve(X, Y, vars);
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    std::vector<PathPoint> samples;
    if (p.graphMode == 2) {
        if (PF_Err e = sampleByDelta(curve, p.graphFrom, p.graphTo, p.graphDelta, samples)) return status ? status : e;
    } else if (p.graphMode == 1) {
        if (p.graphEqualize && p.graphNumber >= 3)
            sampleEqualized(curve, ansi, p.graphFrom, p.graphTo, p.graphNumber, p.graphDetail, samples);
        else
            sampleByNumber(curve, p.graphFrom, p.graphTo, p.graphNumber, samples);
    }

    const std::size_t n = samples.size();
    const double dsx = downsampleFactor(in_data->downsample_x);
    const double dsy = downsampleFactor(in_data->downsample_y);
    const double cr = ansi.cos(p.graphRotation), sr = ansi.sin(p.graphRotation);
    ElementPipeline pipeline(*this, static_cast<int>(n));
    pipeline.carry(status);
    const bool cull = layoutCulls(p);
    const double step = mapStep(n);
    patterns.reserve(patterns.size() + n);
    for (std::size_t k = 0; k < n; ++k) {
        const PathPoint& s = samples[k];
        const double x = s.position.x * dsx, y = s.position.y * dsy;
        LayoutElement e;
        e.point = p.graphOrigin + Vector(cr * x - sr * y, sr * x + cr * y);
        e.i = static_cast<int>(k);
        e.transitionIndex = e.i;
        e.u = k * step;
        e.t = static_cast<double>(k) / n;
        e.phase = p.autoOrient ? ansi.atan2(s.derivative.y, s.derivative.x) + p.graphRotation : 0.0;
        addIfFinite(pipeline, e, cull);
    }
    return pipeline.error();
}
