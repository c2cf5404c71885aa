#include "VemaroKeyframeCurve.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

using Wide = __int128;
using UWide = unsigned __int128;

UWide gcd(UWide a, UWide b) {
    while (b) {
        UWide r = a % b;
        a = b;
        b = r;
    }
    return a;
}

}  // namespace

TimeFraction toFraction(const A_Time& t) {
    if (t.scale == 0) return TimeFraction(0);
    return TimeFraction(t.value, static_cast<std::int64_t>(t.scale));
}

A_Time spanTime(const TimeFraction& start, const TimeFraction& length, std::int64_t p, std::int64_t q, A_u_long scale) {
    if (q == 0) q = 1;
    if (q < 0) p = -p, q = -q;
    if (scale == 0) scale = 1;
    // a/b + (c/d)(p/q) = (a d q + c p b) / (b d q): well inside 128 bits for
    // 32-bit host times and step counts.
    const Wide a = start.numerator(), b = start.denominator();
    const Wide c = length.numerator(), d = length.denominator();
    Wide num = a * d * q + c * p * b;
    Wide den = b * d * q;
    const bool negative = num < 0;
    UWide n = static_cast<UWide>(negative ? -num : num), m = static_cast<UWide>(den);
    UWide g = gcd(n, m);
    if (g > 1) n /= g, m /= g;
    if (m <= std::numeric_limits<A_u_long>::max() && n <= static_cast<UWide>(std::numeric_limits<A_long>::max()))
        return {static_cast<A_long>(negative ? -static_cast<Wide>(n) : static_cast<Wide>(n)), static_cast<A_u_long>(m)};
    // Nearest tick of the scale, halves away from zero.
    UWide whole = n / m, rest = n % m;
    UWide part = rest * scale;  // rest < 2^96, scale < 2^32
    UWide ticks = whole * scale + part / m + (2 * (part % m) >= m ? 1 : 0);
    const UWide limit = static_cast<UWide>(std::numeric_limits<A_long>::max());
    if (ticks > limit) ticks = limit;
    const A_long v = static_cast<A_long>(ticks);
    return {negative ? -v : v, scale};
}

KeyframeCurve::KeyframeCurve(AEGP_PluginID pluginId, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect,
                             std::vector<PF_ParamIndex> params)
    : pluginId_(pluginId), suites_(&suites), effect_(effect), params_(std::move(params)) {}

KeyframeCurve::~KeyframeCurve() {
    try {
        dispose();
    } catch (...) {
        // Destructors do not throw; the host reclaims streams with the effect.
    }
}

PF_Err KeyframeCurve::load() {
    if (loaded_) return PF_Err_NONE;
    loaded_ = true;
    PF_Err err = PF_Err_NONE;
    AEGP_StreamSuite9* streams = suites_->StreamSuite9();
    for (PF_ParamIndex index : params_) {
        AEGP_StreamRefH s = nullptr;
        err = streams->AEGP_GetNewEffectStreamByIndex(pluginId_, effect_, index, &s);
        if (err) break;
        streams_.push_back(s);
    }
    const A_long minKeys = params_.size() == 1 ? 2 : 1;
    bool any = false;
    TimeFraction first, last;
    for (std::size_t i = 0; i < streams_.size() && !err; ++i) {
        AEGP_KeyframeSuite4* keys = suites_->KeyframeSuite4();
        A_long count = 0;
        err = keys->AEGP_GetStreamNumKFs(streams_[i], &count);
        if (err || count < minKeys) continue;
        A_Time t0{0, 1}, t1{0, 1};
        err = keys->AEGP_GetKeyframeTime(streams_[i], 0, AEGP_LTimeMode_LayerTime, &t0);
        if (!err) err = keys->AEGP_GetKeyframeTime(streams_[i], count - 1, AEGP_LTimeMode_LayerTime, &t1);
        if (err) break;
        scale_ = std::max({scale_, t0.scale, t1.scale});
        TimeFraction f0 = toFraction(t0), f1 = toFraction(t1);
        first = any ? std::min(first, f0) : f0;
        last = any ? std::max(last, f1) : f1;
        any = true;
    }
    if (err || streams_.size() != params_.size() || !any || !(first < last)) {
        PF_Err disposed = dispose();
        return err ? err : disposed;
    }
    start_ = first;
    length_ = last - first;
    return PF_Err_NONE;
}

A_Time KeyframeCurve::timeAt(std::int64_t p, std::int64_t q) const { return spanTime(start_, length_, p, q, scale_); }

void KeyframeCurve::read(A_Time time, std::vector<AEGP_StreamVal2>& values, PF_Err& err) {
    values.assign(streams_.size(), AEGP_StreamVal2{});
    if (streams_.empty() || err) return;
    AEGP_StreamSuite9* suite = suites_->StreamSuite9();
    for (std::size_t i = 0; i < streams_.size() && !err; ++i) {
        AEGP_StreamValue2 v{};
        err = suite->AEGP_GetNewStreamValue(pluginId_, streams_[i], AEGP_LTimeMode_LayerTime, &time, false, &v);
        if (err) break;
        values[i] = v.val;
        PF_Err disposed = suite->AEGP_DisposeStreamValue(&v);
        if (!err) err = disposed;
    }
}

PF_Err KeyframeCurve::dispose() {
    PF_Err err = PF_Err_NONE;
    if (streams_.empty()) return err;
    std::vector<AEGP_StreamRefH> open;
    open.swap(streams_);
    AEGP_StreamSuite9* suite = suites_->StreamSuite9();
    for (AEGP_StreamRefH s : open) {
        PF_Err e = suite->AEGP_DisposeStream(s);
        if (!err) err = e;
    }
    return err;
}
