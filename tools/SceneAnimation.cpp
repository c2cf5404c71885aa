#include "SceneAnimation.h"

#include "Comp.h"
#include "Masks.h"

#include <nlohmann/json.hpp>

namespace scene {

using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw Error(where + ": " + what); }

void pair(const json& j, double& x, double& y, const std::string& where) {
    if (!j.is_array() || j.size() != 2 || !j[0].is_number() || !j[1].is_number())
        fail(where, "expected [x, y] as two numbers");
    x = j[0].get<double>();
    y = j[1].get<double>();
}

std::vector<hostsim::MaskVertex> vertices(const json& list, const std::string& where) {
    if (!list.is_array() || list.empty()) fail(where, "\"vertices\" must be a non-empty list");
    std::vector<hostsim::MaskVertex> out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string at = where + " vertex " + std::to_string(i + 1);
        const json& v = list[i];
        hostsim::MaskVertex m;
        if (v.is_array()) {
            pair(v, m.x, m.y, at);
        } else if (v.is_object() && v.contains("at")) {
            checkKeys(v, {"at", "in", "out"}, at);
            pair(v["at"], m.x, m.y, at);
            if (v.contains("in")) pair(v["in"], m.inX, m.inY, at + " \"in\"");
            if (v.contains("out")) pair(v["out"], m.outX, m.outY, at + " \"out\"");
        } else {
            fail(at, "a vertex is [x, y] or {\"at\": [x, y], \"in\": [dx, dy], \"out\": [dx, dy]}");
        }
        out.push_back(m);
    }
    return out;
}

}  // namespace

void loadMasks(const json& section, Context& context) {
    const std::string where0 = context.source + ": \"masks\"";
    if (!section.is_array()) fail(where0, "must be a list of masks");
    hostsim::Masks& masks = context.host.get<hostsim::Masks>();
    for (std::size_t i = 0; i < section.size(); ++i) {
        const std::string where = where0 + " mask " + std::to_string(i + 1);
        const json& m = section[i];
        if (!m.is_object()) fail(where, "a mask is an object");
        checkKeys(m, {"id", "closed", "vertices", "keyframes", "layer"}, where);
        if (!m.contains("vertices")) fail(where, "a mask needs \"vertices\"");
        std::vector<hostsim::MaskVertex> v = vertices(m["vertices"], where);
        bool closed = true;
        if (m.contains("closed")) {
            if (!m["closed"].is_boolean()) fail(where, "\"closed\" must be true or false");
            closed = m["closed"].get<bool>();
        }
        PF_PathID id = 0;
        if (m.contains("id")) {
            if (!m["id"].is_number_unsigned() || m["id"].get<unsigned long long>() == 0 ||
                m["id"].get<unsigned long long>() > 0xFFFFFFFFull)
                fail(where, "\"id\" must be a positive 32-bit number");
            id = static_cast<PF_PathID>(m["id"].get<unsigned long long>());
        }
        AEGP_LayerH layer = nullptr;
        if (m.contains("layer")) {
            int layerId = 0;
            hostsim::Comp& comp = context.host.get<hostsim::Comp>();
            if (!m["layer"].is_string() || !comp.layerByName(m["layer"].get<std::string>(), layerId))
                fail(where, "\"layer\" names no layer of the composition");
            layer = comp.handleOf(comp.layer(layerId));
        }
        try {
            id = masks.addMask(v, !closed, layer, id);
        } catch (const std::logic_error& e) {
            fail(where, e.what());
        }
        if (m.contains("keyframes")) {
            const json& keys = m["keyframes"];
            if (!keys.is_array() || keys.empty()) fail(where, "\"keyframes\" must be a non-empty list");
            for (std::size_t k = 0; k < keys.size(); ++k) {
                const std::string at = where + " keyframe " + std::to_string(k + 1);
                if (!keys[k].is_object() || !keys[k].contains("vertices")) fail(at, "a keyframe needs \"vertices\"");
                checkKeys(keys[k], {"time", "frame", "vertices"}, at);
                std::vector<hostsim::MaskVertex> kv = vertices(keys[k]["vertices"], at);
                if (kv.size() != v.size()) fail(at, "a keyframe must keep the mask's vertex count");
                masks.addKey(id, keyTime(keys[k], context.host, at), kv);
            }
        }
    }
}

void loadInterpolation(const json& section, Context& context) {
    const std::string where0 = context.source + ": \"interpolation\"";
    if (!section.is_array()) fail(where0, "must be a list of entries");
    hostsim::Params& params = context.host.get<hostsim::Params>();
    for (std::size_t i = 0; i < section.size(); ++i) {
        const std::string where = where0 + " entry " + std::to_string(i + 1);
        const json& e = section[i];
        if (!e.is_object() || !e.contains("param") || !e.contains("mode"))
            fail(where, "an entry is {\"param\": ..., \"mode\": \"hold\" or \"linear\"}");
        checkKeys(e, {"param", "group", "mode"}, where);
        std::string group;
        if (e.contains("group")) {
            if (!e["group"].is_string()) fail(where, "\"group\" must be a text");
            group = e["group"].get<std::string>();
        }
        int index = 0;
        try {
            index = findParam(params, e["param"], e.contains("group") ? &group : nullptr);
        } catch (const Error& err) {
            fail(where, err.what());
        }
        const json& mode = e["mode"];
        if (mode != "hold" && mode != "linear") fail(where, "\"mode\" is \"hold\" or \"linear\"");
        params.setHold(index, mode == "hold");
    }
}

}  // namespace scene
