// The keyframed span of one or more effect parameter streams: the streams are
// opened on first need, the span runs from the earliest first keyframe to the
// latest last keyframe, and values are read at exact fractions of it. Shared
// by the transition animator and the mappers' 1D curves.
#pragma once

#include "AEGP_SuiteHandler.h"

#include <boost/rational.hpp>

#include <cstdint>
#include <map>
#include <vector>

// An exact host time in seconds, reduced. 64 bits: the sums and products of
// ordinary time scales (29.97 fps is 1001/30000) overflow 32.
using TimeFraction = boost::rational<std::int64_t>;

TimeFraction toFraction(const A_Time& t);

// start + length * p / q as a host time. The exact value is kept whenever its
// reduced numerator and denominator fit the host's 32-bit fields; otherwise it
// is rounded to the nearest multiple of 1 / scale, halves away from zero
// (scale: the time scale the keyframes were read in, so the error stays below
// half a tick of the host's own clock).
A_Time spanTime(const TimeFraction& start, const TimeFraction& length, std::int64_t p, std::int64_t q, A_u_long scale);

class KeyframeCurve {
public:
    KeyframeCurve(AEGP_PluginID pluginId, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect,
                  std::vector<PF_ParamIndex> params);
    ~KeyframeCurve();
    KeyframeCurve(const KeyframeCurve&) = delete;
    KeyframeCurve& operator=(const KeyframeCurve&) = delete;

    // On the first call: opens the streams in order, stopping at the first
    // error, and reads the span. A single stream needs two keyframes; of
    // several, every stream with a keyframe widens the span, which must not
    // be empty. Without a span, or on an error, the streams are disposed and
    // the curve is absent. Later calls do nothing and return 0.
    PF_Err load();
    bool loaded() const { return loaded_; }
    bool available() const { return !streams_.empty(); }

    TimeFraction start() const { return start_; }
    TimeFraction length() const { return length_; }
    // The host time at p / q of the span.
    A_Time timeAt(std::int64_t p, std::int64_t q) const;

    // The values of every stream at a time (layer time, after expressions),
    // in order; each value the host returns is disposed again. With an error
    // pending, or after the first error, the remaining values stay zero. The
    // first error is kept in `err`.
    void read(A_Time time, std::vector<AEGP_StreamVal2>& values, PF_Err& err);

    // Disposes the open streams; the first error.
    PF_Err dispose();

private:
    AEGP_PluginID pluginId_;
    AEGP_SuiteHandler* suites_;
    AEGP_EffectRefH effect_;
    std::vector<PF_ParamIndex> params_;
    std::vector<AEGP_StreamRefH> streams_;
    bool loaded_ = false;
    TimeFraction start_{0};
    TimeFraction length_{0};
    A_u_long scale_ = 1;
};

// A keyframe curve over the layout's map positions 0 to 1, sampled on a grid
// of 1/2000 of its span and memoised per position.
template <class R>
class MemoCurve {
public:
    MemoCurve(AEGP_PluginID pluginId, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect,
              std::vector<PF_ParamIndex> params)
        : curve(pluginId, suites, effect, std::move(params)) {}

    // The result for map position t: *has is false when the curve is absent.
    // `convert` turns the streams' values at the grid time into a result.
    template <class F>
    PF_Err get(double t, F convert, R* out, bool* has) {
        PF_Err err = curve.loaded() ? PF_Err_NONE : curve.load();
        *has = curve.available();
        if (!*has) return err;
        auto hit = memo.find(t);
        if (hit != memo.end()) {
            *out = hit->second;
            return err;
        }
        std::vector<AEGP_StreamVal2> values;
        curve.read(curve.timeAt(gridStep(t), kGrid), values, err);
        R r = convert(values);
        memo.emplace(t, r);
        *out = r;
        return err;
    }

    static constexpr std::int64_t kGrid = 2000;
    // t * 2000 truncated; positions outside [0, 1] (and NaN) read the held
    // value at the nearer end instead of overflowing the step count.
    static std::int64_t gridStep(double t) {
        if (!(t > 0)) return 0;
        if (t >= 1) return kGrid;
        return static_cast<std::int64_t>(t * kGrid);
    }

    KeyframeCurve curve;
    std::map<double, R> memo;
};
