#include "SceneComp.h"

#include "Comp.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace scene {

using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw Error(where + ": " + what); }

A_long whole(const json& j, const std::string& where, A_long min, A_long max) {
    if (!j.is_number() || j.get<double>() != std::floor(j.get<double>())) fail(where, "must be a whole number");
    double v = j.get<double>();
    if (v < min || v > max) fail(where, "must lie from " + std::to_string(min) + " to " + std::to_string(max));
    return static_cast<A_long>(v);
}

// Seconds as an exact host time: in thousandths, which every value a scene
// is likely to hold fits.
A_Time seconds(const json& j, const std::string& where) {
    if (!j.is_number()) fail(where, "must be a number of seconds");
    double ms = std::round(j.get<double>() * 1000.0);
    if (std::fabs(ms) > 2.0e9) fail(where, "is too long");
    return {static_cast<A_long>(ms), 1000};
}

AEGP_ObjectType objectType(const json& j, const std::string& where) {
    static const std::pair<const char*, AEGP_ObjectType> kinds[] = {{"av", AEGP_ObjectType_AV},
                                                                    {"text", AEGP_ObjectType_TEXT},
                                                                    {"shape", AEGP_ObjectType_VECTOR},
                                                                    {"camera", AEGP_ObjectType_CAMERA},
                                                                    {"light", AEGP_ObjectType_LIGHT}};
    if (j.is_string())
        for (const auto& k : kinds)
            if (j.get<std::string>() == k.first) return k.second;
    fail(where, "must be one of \"av\", \"text\", \"shape\", \"camera\", \"light\"");
}

void loadLayer(const json& j, hostsim::Comp::Layer& l, const std::string& where, Context& context) {
    if (!j.is_object()) fail(where, "a layer must be an object");
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string& k = it.key();
        const std::string at = where + "." + k;
        if (k == "name") {
            if (!it->is_string()) fail(at, "must be a text");
            l.name = it->get<std::string>();
        } else if (k == "width") {
            l.width = whole(*it, at, 1, 30000);
            context.sizedLayers.push_back(int(l.id));
        } else if (k == "height") {
            l.height = whole(*it, at, 1, 30000);
            context.sizedLayers.push_back(int(l.id));
        } else if (k == "type") {
            l.type = objectType(*it, at);
            l.hasSource = l.type != AEGP_ObjectType_TEXT && l.type != AEGP_ObjectType_VECTOR;
            l.hasVideo = l.type != AEGP_ObjectType_CAMERA && l.type != AEGP_ObjectType_LIGHT;
        } else if (k == "start") {
            l.start = seconds(*it, at);
        } else if (k == "inPoint") {
            l.inPoint = seconds(*it, at);
        } else if (k == "duration") {
            l.duration = seconds(*it, at);
        } else if (k == "content") {
            if (!it->is_array() || it->size() != 4) fail(at, "must be [left, top, right, bottom]");
            l.content = {whole((*it)[0], at, -100000, 100000), whole((*it)[1], at, -100000, 100000),
                         whole((*it)[2], at, -100000, 100000), whole((*it)[3], at, -100000, 100000)};
        } else {
            static const std::vector<std::string> keys{"name",  "width",   "height",   "type",
                                                       "start", "inPoint", "duration", "content"};
            fail(at, "is not a layer setting" + didYouMean(k, keys) + " (a layer has " + listWords(keys) + ")");
        }
    }
}

}  // namespace

void loadComposition(const json& section, Context& context) {
    const std::string where = context.source + ": composition";
    if (!section.is_object()) fail(where, "must be an object");
    hostsim::Comp& comp = context.host.get<hostsim::Comp>();
    for (auto it = section.begin(); it != section.end(); ++it) {
        const std::string& k = it.key();
        const std::string at = where + "." + k;
        if (k == "frameDuration") {
            if (!it->is_array() || it->size() != 2) fail(at, "must be [value, scale]");
            comp.setFrameDuration({static_cast<A_long>(whole((*it)[0], at, 1, 1000000)),
                                   static_cast<A_u_long>(whole((*it)[1], at, 1, 100000000))});
        } else if (k == "downsample") {
            if (!it->is_array() || it->size() != 2) fail(at, "must be [x, y], e.g. [2, 2] for half size");
            comp.setDownsample({1, static_cast<A_u_long>(whole((*it)[0], at, 1, 64))},
                               {1, static_cast<A_u_long>(whole((*it)[1], at, 1, 64))});
        } else if (k == "bitDepth") {
            A_long bits = whole(*it, at, 8, 32);
            if (bits != 8 && bits != 16 && bits != 32) fail(at, "must be 8, 16 or 32");
            comp.setBitDepth(static_cast<A_short>(bits));
        } else if (k == "effectLayer") {
            loadLayer(*it, comp.effectLayer(), at, context);
        } else if (k == "layers") {
            if (!it->is_array()) fail(at, "must be a list of layers");
            for (std::size_t i = 0; i < it->size(); ++i) {
                hostsim::Comp::Layer& l = comp.addLayer(640, 360);
                loadLayer((*it)[i], l, at + "[" + std::to_string(i) + "]", context);
            }
        } else {
            static const std::vector<std::string> keys{"frameDuration", "downsample", "bitDepth", "effectLayer",
                                                       "layers"};
            fail(at, "is not a composition setting" + didYouMean(k, keys) + " (the composition has " + listWords(keys) +
                         ")");
        }
    }
    comp.apply();  // the effect layer's size and length
    context.layerByName = [&comp](const std::string& name, int& id) { return comp.layerByName(name, id); };
}

}  // namespace scene
