// The Graph layout: elements along the curve (x(t), y(t)) of the two stored
// expressions, by number (optionally at equal arc length) or by a step of t.
// The expressions work in full-resolution layer pixels.
#include "VemaroDrawer.h"
#include "VemaroEffectStreamValue.h"
#include "VemaroElementBounds.h"
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

class Curve {
public:
    Curve(const Expression& x, const Expression& y, ExpressionVariables vars) : x_(x), y_(y), vars_(vars) {}

    Vector at(double t) {
        vars_.t = t;
        const double x = x_.evaluate(vars_);
        return {x, y_.evaluate(vars_)};
    }
    // The point at t with the difference to the probe t' as its direction.
    PathPoint sample(double t, double probe) {
        const Vector p0 = at(t);
        const Vector p1 = at(probe);
        return PathPoint{p0, p1 - p0};
    }

private:
    Expression x_, y_;
    ExpressionVariables vars_;
};

double probeStep(double step) { return std::min(step * 0.001, 0.001); }

// How often the long passes ask the host whether the user cancelled.
constexpr std::size_t kAbortPoll = 65535;

// The t of each sample and of its probe, in sample order, one after the
// other: the samples themselves are not kept, each is evaluated as its
// element is placed.
class Schedule {
public:
    enum class Mode { none, delta, number, equalized };

    std::size_t count = 0;

    // Mode "Delta": t walks from From towards To by repeated steps, so the
    // count comes from the same walk (without evaluating anything). False
    // when the walk would place more elements than the budget holds.
    bool byDelta(double from, double to, double delta, std::size_t limit) {
        // A step that is not positive would never arrive.
        if (!(delta > 0)) return true;
        const double estimate = std::floor(std::fabs(to - from) / delta) + 1;
        if (!(estimate <= static_cast<double>(limit))) return false;
        mode_ = Mode::delta;
        from_ = from;
        to_ = to;
        delta_ = to <= from ? -delta : delta;
        epsilon_ = to <= from ? -probeStep(delta) : probeStep(delta);
        t_ = from;
        for (double t = from;;) {
            if (++count > limit) return false;
            if (!advance(t)) break;
        }
        return true;
    }

    void byNumber(double from, double to, int n) {
        if (n <= 0) return;
        mode_ = Mode::number;
        count = static_cast<std::size_t>(n);
        from_ = from;
        step_ = n > 1 ? (to - from) / (n - 1) : 0.0;
        epsilon_ = n > 1 ? probeStep(step_) : 0.0;
    }

    // Mode "Number" at equal arc length: a fine pass measures the polyline,
    // then each element's t is interpolated at its share of the length. The
    // length table is the only list held; false when it and the elements
    // cannot fit the budget beside each other.
    PF_Err equalized(Curve& curve, PF_InData* in_data, double from, double to, int n, double detail,
                     std::size_t elementBytes) {
        const double fine = static_cast<double>(n) * detail + 0.5;
        // Detail is at least 1, so m >= n; a NaN detail leaves m = n.
        const double m = fine >= n ? std::trunc(fine) : n;
        if (!fitsLayoutBudget(m, sizeof(double), static_cast<double>(n) * static_cast<double>(elementBytes)))
            return PF_Err_OUT_OF_MEMORY;
        const std::size_t fineCount = static_cast<std::size_t>(m);
        from_ = from;
        to_ = to;
        h_ = (to - from) / static_cast<double>(fineCount - 1);
        lengths_.resize(fineCount);  // t_k = k h + From
        Vector last = curve.at(from);
        lengths_[0] = 0;
        for (std::size_t k = 1; k < fineCount; ++k) {
            const Vector p = curve.at(k * h_ + from);
            const double dx = p.x - last.x, dy = p.y - last.y;
            // A stretch the expressions cannot place (not a number) makes the
            // total one too: every middle element then sits at From. The
            // square root is correctly rounded, the host's as the library's.
            lengths_[k] = lengths_[k - 1] + std::sqrt(dx * dx + dy * dy);
            last = p;
            if ((k & kAbortPoll) == 0) {
                if (PF_Err err = PF_ABORT(in_data)) return err;
            }
        }
        mode_ = Mode::equalized;
        count = static_cast<std::size_t>(n);
        epsilon_ = probeStep(h_);
        return PF_Err_NONE;
    }

    // Back to sample 0, for a second walk over the same samples.
    void rewind() { t_ = from_; }

    // Sample k's t and probe; k runs from 0 up by one.
    void next(std::size_t k, double& t, double& probe) {
        switch (mode_) {
            case Mode::delta:
                t = t_;
                probe = t + epsilon_;
                advance(t_);
                return;
            case Mode::number:
                // t comes from the index, not accumulated; one sample is
                // probed at itself.
                t = count == 1 ? from_ : static_cast<double>(k) * step_ + from_;
                probe = t + epsilon_;
                return;
            case Mode::equalized: {
                t = from_;
                if (k == count - 1) {
                    t = to_;
                } else if (k > 0) {
                    const std::size_t m = lengths_.size();
                    const double total = lengths_[m - 1];
                    const double s = (static_cast<double>(k) * total) / static_cast<double>(count - 1);
                    const std::size_t j = static_cast<std::size_t>(
                        std::lower_bound(lengths_.begin(), lengths_.end(), s) - lengths_.begin());
                    if (j >= 1 && j < m) {
                        const double u = (s - lengths_[j - 1]) / (lengths_[j] - lengths_[j - 1]);
                        t = (1 - u) * ((j - 1) * h_ + from_) + u * (j * h_ + from_);
                    }
                }
                probe = t + epsilon_;
                return;
            }
            case Mode::none: break;
        }
        t = probe = 0.0;
    }

private:
    // One step of the delta walk; false when it ends. A t so large that the
    // step leaves it unchanged ends it too, after its one sample.
    bool advance(double& t) const {
        const double next = t + delta_;
        if (next == t) return false;
        t = next;
        return delta_ < 0 ? t >= to_ : t <= to_;
    }

    Mode mode_ = Mode::none;
    double from_ = 0, to_ = 0, delta_ = 0, step_ = 0, epsilon_ = 0, h_ = 0;
    double t_ = 0;
    std::vector<double> lengths_;
};

// How far from its undisplaced place an element can be drawn and still be
// kept: the cull margin, the largest displacement and transition offset (each
// scaled by the Transform group, in any direction).
double countReach(const ElementPipeline& pipeline, const Parameters& p) {
    const double displaced = std::max(std::fabs(p.displacementX), std::fabs(p.displacementY));
    const double offset = std::max(std::fabs(p.transitionOffset.x), std::fabs(p.transitionOffset.y));
    return pipeline.margin + 2.0 * (displaced + offset) * std::fabs(p.transformScale);
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
    const ExpressionVariables vars{v[0],
                                   v[1],
                                   v[2],
                                   v[3],
                                   v[4],
                                   v[5],
                                   v[6],
                                   v[7],
                                   v[8],
                                   v[9],
                                   0.0,
                                   static_cast<double>(in_data->width),
                                   static_cast<double>(in_data->height)};
    Curve curve(X, Y, vars);
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    constexpr std::size_t kElementBytes = sizeof(ShapeDrawer::Pattern);
    Schedule schedule;
    if (p.graphMode == 2) {
        if (!schedule.byDelta(p.graphFrom, p.graphTo, p.graphDelta, kLayoutMemoryBudget / kElementBytes))
            return status ? status : PF_Err_OUT_OF_MEMORY;
    } else if (p.graphMode == 1) {
        if (p.graphEqualize && p.graphNumber >= 3) {
            if (PF_Err e = schedule.equalized(curve, in_data, p.graphFrom, p.graphTo, p.graphNumber, p.graphDetail,
                                              kElementBytes))
                return status ? status : e;
        } else {
            schedule.byNumber(p.graphFrom, p.graphTo, p.graphNumber);
        }
    }

    const std::size_t n = schedule.count;
    const double dsx = downsampleFactor(in_data->downsample_x);
    const double dsy = downsampleFactor(in_data->downsample_y);
    const double cr = ansi.cos(p.graphRotation), sr = ansi.sin(p.graphRotation);
    ElementPipeline pipeline(*this, static_cast<int>(n));
    pipeline.carry(status);
    const bool cull = layoutCulls(p);
    // Every element is kept without culling: refuse what cannot fit before
    // taking any of it.
    if (!cull && !pipeline.fits(static_cast<double>(n))) return status ? status : PF_Err_OUT_OF_MEMORY;
    const auto layoutPoint = [&](const Vector& at) {
        const double x = at.x * dsx, y = at.y * dsy;
        return p.graphOrigin + Vector(cr * x - sr * y, sr * x + cr * y);
    };
    if (cull && n > kAbortPoll) {
        // A long curve is walked once more, positions only, to count what the
        // output can keep: the list is then taken at its final size instead
        // of growing (each growth copies it and briefly holds it twice).
        // Displacement and transition offsets can move an element in or out,
        // so the count allows for their reach; a short count only costs a
        // growth.
        const double reach = countReach(pipeline, p);
        double kept = 0;
        for (std::size_t k = 0; k < n; ++k) {
            double t = 0, probe = 0;
            schedule.next(k, t, probe);
            const Vector at = pipeline.transformer.transform(layoutPoint(curve.at(t))) - pipeline.origin;
            if (pipeline.inside(at, reach)) ++kept;
            if ((k & kAbortPoll) == kAbortPoll) {
                if (PF_Err e = PF_ABORT(in_data)) return e;
            }
        }
        schedule.rewind();
        pipeline.reserve(kept);
    } else {
        pipeline.reserve(cull ? std::min<double>(static_cast<double>(n), 65536.0) : static_cast<double>(n));
    }
    const double step = mapStep(n);
    for (std::size_t k = 0; k < n && !pipeline.exhausted(); ++k) {
        double t = 0, probe = 0;
        schedule.next(k, t, probe);
        LayoutElement e;
        if (p.autoOrient) {
            const PathPoint s = curve.sample(t, probe);
            e.point = layoutPoint(s.position);
            e.phase = ansi.atan2(s.derivative.y, s.derivative.x) + p.graphRotation;
        } else {
            // The probe only gives the direction; the expressions have no
            // side effects, so it is not evaluated when unused.
            e.point = layoutPoint(curve.at(t));
        }
        e.i = static_cast<int>(k);
        e.transitionIndex = e.i;
        e.u = k * step;
        e.t = static_cast<double>(k) / n;
        // A position that is not a number fails every cull comparison; kept
        // where nothing is culled, it is drawn nowhere.
        pipeline.add(e, cull);
        if ((k & kAbortPoll) == kAbortPoll) {
            if (PF_Err e = PF_ABORT(in_data)) return e;
        }
    }
    return pipeline.error();
}
