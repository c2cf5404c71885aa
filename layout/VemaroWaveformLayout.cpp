// The Waveform layout: a window of another layer's audio reduced to "Samples"
// signed levels, one element per level, along the line from "Point 1" to
// "Point 2" or along a mask path, each pushed sideways by its level.
#include "VemaroDrawer.h"
#include "VemaroEffectStreamValue.h"
#include "VemaroElementPipeline.h"
#include "VemaroLayoutCommon.h"
#include "VemaroMask.h"

#include <cmath>
#include <vector>

namespace {

constexpr int kAudioLayerParam = 73;

// Stretches the window over the levels with linear interpolation (fewer
// samples than levels) or averages it in equal bins, then shapes each level
// by "Power" keeping its sign.
void computeLevels(const PF_ANSICallbacks& ansi, const float* s, A_long n, float power, std::vector<float>& levels) {
    const std::size_t S = levels.size();
    if (static_cast<std::size_t>(n) < S) {
        for (std::size_t i = 0; i < S; ++i) {
            const float x = static_cast<float>(i) * static_cast<float>(n) / static_cast<float>(S - 1);
            const int k = static_cast<int>(ansi.floor(x));
            const float f = x - static_cast<float>(k);
            levels[i] = k < n - 1 ? (1 - f) * s[k] + f * s[k + 1] : s[n - 1];
        }
    } else {
        for (std::size_t i = 0; i < S; ++i) {
            const auto a = static_cast<std::size_t>((static_cast<uint64_t>(n) * i) / S);
            const auto b = static_cast<std::size_t>((static_cast<uint64_t>(n) * (i + 1)) / S);
            float sum = 0;
            for (std::size_t k = a; k < b; ++k) sum += s[k];
            levels[i] = sum / static_cast<float>(b - a);
        }
    }
    for (float& v : levels) v = v > 0 ? ::powf(v, power) : -::powf(-v, power);
}

// The audio of "Audio Layer" over the window; levels stay zero when the host
// gives no samples. Returns the first error of the audio callbacks.
PF_Err readLevels(PF_InData* in_data, const Parameters& p, std::vector<float>& levels) {
    const PF_InteractCallbacks& inter = in_data->inter;
    // A host that offers no audio gives no samples.
    if (!inter.checkout_layer_audio || !inter.get_audio_data || !inter.checkin_layer_audio) return PF_Err_NONE;
    const A_long t0 = in_data->current_time;
    const A_u_long ts = in_data->time_scale;
    const A_long start = static_cast<A_long>(p.waveformOffset * 0.001 * ts) + t0;
    const A_long duration = static_cast<A_long>(p.waveformDuration * 0.001 * ts);
    // 16.16 fixed point, rounded half away from zero; a rate it cannot hold
    // asks for nothing.
    const double fixedRate = std::round(p.waveformSamplingRate * 65536);
    if (!(fixedRate >= 1 && fixedRate <= 4294967295.0)) return PF_Err_NONE;
    const auto rate = static_cast<A_u_long>(fixedRate);
    PF_LayerAudio audio = nullptr;
    PF_Err err = inter.checkout_layer_audio(in_data->effect_ref, kAudioLayerParam, start, duration, ts, rate, 4, 1,
                                            PF_SIGNED_FLOAT, &audio);
    if (!err && audio) {
        PF_SndSamplePtr data = nullptr;
        A_long n = 0;
        err = inter.get_audio_data(in_data->effect_ref, audio, &data, &n, nullptr, nullptr, nullptr, nullptr);
        if (!err && data && n >= 1)
            computeLevels(in_data->utils->ansi, static_cast<const float*>(data), n, static_cast<float>(p.waveformPower),
                          levels);
    }
    if (audio) {
        const PF_Err e = inter.checkin_layer_audio(in_data->effect_ref, audio);
        if (!err) err = e;
    }
    return err;
}

}  // namespace

PF_Err ShapeDrawer::createWaveformPatterns() {
    const Parameters& p = *params;
    AEGP_LayerIDVal layerId = 0;
    PF_Err err = useEffectStreamValue(pluginId, in_data, *suites, kAudioLayerParam, [&](const AEGP_StreamValue2& v) {
        layerId = v.val.layer_id;
        return PF_Err_NONE;
    });
    const int S = p.waveformSamples;
    if (err || layerId == 0 || S < 1) return err;

    std::vector<float> levels(static_cast<std::size_t>(S), 0.0f);
    if ((err = readLevels(in_data, p, levels))) return err;

    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    int maskIndex = -1;
    err = getMaskIndex(in_data, static_cast<unsigned int>(p.waveformMask), &maskIndex);
    std::vector<PathPoint> base(static_cast<std::size_t>(S));
    // One level lies at the start of the line or path.
    const double last = S > 1 ? S - 1 : 1;
    if (maskIndex == -1) {
        const Vector d = p.waveformPoint2 - p.waveformPoint1;
        const double len = ansi.sqrt(d.x * d.x + d.y * d.y);
        const Vector u = len > 0 ? d / len : d;
        for (int i = 0; i < S; ++i) {
            const double h = levels[std::size_t(i)] * p.waveformMaxHeight;
            base[std::size_t(i)].position = p.waveformPoint1 + d * (i / last) + Vector(u.y, -u.x) * h;
            base[std::size_t(i)].derivative = u;
        }
    } else {
        Mask mask(in_data, *suites, static_cast<unsigned int>(p.waveformMask));
        double total = 0;
        unsigned char open = 0;
        if (!err) err = mask.update();
        if (!err) err = mask.getTotalLength(&total);
        if (!err) err = mask.isOpen(&open);
        // Open: from the start to the end inclusive. Closed: evenly round the
        // loop, none on the end.
        const double step = open ? (S > 1 ? total / (S - 1) : 0.0) : total / S;
        for (int i = 0; i < S; ++i) {
            PathPoint pt{};
            if (!err) err = mask.getPathPoint(i * step, !open, &pt);
            const Vector dv = pt.derivative;
            const double m = ansi.sqrt(dv.x * dv.x + dv.y * dv.y);
            const Vector normal = m > 0 ? Vector(-dv.y, dv.x) / m : Vector(-dv.y, dv.x);
            const double h = levels[std::size_t(i)] * p.waveformMaxHeight;
            // Back into the host's path coordinates, the layout's pixels.
            base[std::size_t(i)].position = {pt.position.x * mask.downsampleX + normal.x * h,
                                             pt.position.y * mask.downsampleY + normal.y * h};
            base[std::size_t(i)].derivative = dv;
        }
    }

    const std::size_t n = base.size();
    ElementPipeline pipeline(*this, S);
    pipeline.carry(err);
    const bool cull = layoutCulls(p);
    const double step = mapStep(n);
    patterns.reserve(patterns.size() + n);
    for (std::size_t i = 0; i < n; ++i) {
        LayoutElement e;
        e.point = base[i].position;
        e.i = static_cast<int>(i);
        e.transitionIndex = e.i;
        e.u = i * step;
        e.t = static_cast<double>(i) / n;
        e.phase = p.autoOrient ? ansi.atan2(base[i].derivative.y, base[i].derivative.x) : 0.0;
        // A position that is not a number fails every cull comparison; kept
        // where nothing is culled, it is drawn nowhere.
        pipeline.add(e, cull);
    }
    return pipeline.error();
}
