#include "SceneAudio.h"

#include "Audio.h"
#include "Comp.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace scene {

using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw Error(where + ": " + what); }

double numberIn(const json& j, const std::string& where, double min, double max) {
    if (!j.is_number() || j.get<double>() < min || j.get<double>() > max) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "must be a number from %g to %g", min, max);
        fail(where, buf);
    }
    return j.get<double>();
}

}  // namespace

void loadAudio(const json& section, Context& context) {
    const std::string where0 = context.source + ": \"audio\"";
    if (!section.is_array()) fail(where0, "must be a list of entries");
    hostsim::Comp& comp = context.host.get<hostsim::Comp>();
    for (std::size_t i = 0; i < section.size(); ++i) {
        const std::string where = where0 + " entry " + std::to_string(i + 1);
        const json& e = section[i];
        const int id = entryLayer(e, {"layer", "tones"}, where, comp);
        if (!e.contains("tones") || !e["tones"].is_array() || e["tones"].empty())
            fail(where, "\"tones\" must be a non-empty list of {\"frequency\": Hz, \"amplitude\": 0 to 1}");
        struct Tone {
            double frequency, amplitude;
        };
        std::vector<Tone> tones;
        for (std::size_t k = 0; k < e["tones"].size(); ++k) {
            const std::string at = where + " tone " + std::to_string(k + 1);
            const json& t = e["tones"][k];
            if (!t.is_object() || !t.contains("frequency") || !t.contains("amplitude"))
                fail(at, "a tone is {\"frequency\": Hz, \"amplitude\": 0 to 1}");
            checkKeys(t, {"frequency", "amplitude"}, at);
            tones.push_back({numberIn(t["frequency"], at + " \"frequency\"", 0, 24000),
                             numberIn(t["amplitude"], at + " \"amplitude\"", 0, 1)});
        }
        context.host.get<hostsim::Audio>().setSignal(id, [tones](double s) {
            double v = 0;
            for (const Tone& t : tones) v += t.amplitude * std::sin(2 * 3.14159265358979323846 * t.frequency * s);
            return static_cast<float>(v);
        });
    }
}

}  // namespace scene
