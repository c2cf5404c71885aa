#include "Scene.h"

#include "ParamKeys.h"
#include "SceneAnimation.h"
#include "SceneAudio.h"
#include "SceneComp.h"
#include "SceneMaps.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace scene {

using hostsim::Params;
using hostsim::ParamValue;
using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw Error(where + ": " + what); }

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// The name a parameter is found by: its own, or the label of an unnamed
// checkbox ("Manual Offset").
std::string lookupName(const Params& params, int index) {
    const PF_ParamDef& d = params.definition(index);
    if (d.name[0] == 0 && d.param_type == PF_Param_CHECKBOX) return params.checkboxLabel(index);
    return d.name;
}

bool groupMatches(const std::vector<std::string>& path, const std::string& group) {
    if (group.empty()) return path.empty();
    std::vector<std::string> want = splitPath(group);
    if (want.size() > path.size()) return false;
    return std::equal(want.rbegin(), want.rend(), path.rbegin());
}

std::string joinPath(const std::vector<std::string>& path) {
    std::string s;
    for (const std::string& p : path) s += (s.empty() ? "" : "/") + p;
    return s;
}

const char* kindOf(const json& j) { return j.type_name(); }

double number(const json& j, const std::string& what) {
    if (!j.is_number()) throw Error(what + " must be a number, not " + kindOf(j));
    return j.get<double>();
}

// Owns handles made while a value is parsed until they are handed over.
struct PendingHandles {
    hostsim::HandleTable& table;
    std::vector<PF_Handle> handles;
    ~PendingHandles() {
        for (PF_Handle h : handles)
            if (table.valid(h)) table.dispose(h);
    }
    void release() { handles.clear(); }
};

PF_Handle arbitraryData(Params& params, int index, const json& j, hostsim::HandleTable& table) {
    if (!j.is_object() || j.size() != 1 || (!j.contains("texts") && !j.contains("hex")))
        throw Error("arbitrary data must be {\"texts\": [...]} or {\"hex\": \"...\"}");
    std::vector<unsigned char> bytes;
    if (j.contains("hex")) {
        const json& h = j["hex"];
        if (!h.is_string()) throw Error("\"hex\" must be a string");
        std::string s = h.get<std::string>();
        if (s.size() % 2) throw Error("\"hex\" needs an even number of digits");
        for (std::size_t i = 0; i < s.size(); i += 2) {
            char* end = nullptr;
            std::string pair = s.substr(i, 2);
            long v = std::strtol(pair.c_str(), &end, 16);
            if (*end) throw Error("\"hex\" holds a character that is not a hexadecimal digit");
            bytes.push_back(static_cast<unsigned char>(v));
        }
    } else {
        const json& texts = j["texts"];
        if (!texts.is_array() || texts.empty()) throw Error("\"texts\" must be a list of strings");
        PF_Handle def = params.definition(index).u.arb_d.dephault;
        std::size_t size = def ? table.size(def) : 0;
        if (size == 0 || size % texts.size())
            throw Error("the default data (" + std::to_string(size) + " bytes) does not split into " +
                        std::to_string(texts.size()) + " text fields");
        std::size_t field = size / texts.size();
        bytes.assign(size, 0);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (!texts[i].is_string()) throw Error("\"texts\" must be a list of strings");
            std::string t = texts[i].get<std::string>();
            if (t.size() >= field)
                throw Error("text " + std::to_string(i + 1) + " is longer than " + std::to_string(field - 1) +
                            " characters");
            std::memcpy(bytes.data() + i * field, t.data(), t.size());
        }
    }
    PF_Handle h = table.create(bytes.size(), true);
    if (!h) throw Error("out of memory");
    if (!bytes.empty()) std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

}  // namespace

A_Time keyTime(const json& key, const hostsim::Host& host, const std::string& where) {
    const PF_InData& in = const_cast<hostsim::Host&>(host).nextInData();
    const bool hasTime = key.contains("time"), hasFrame = key.contains("frame");
    if (hasTime == hasFrame) fail(where, "a keyframe needs exactly one of \"time\" (seconds) or \"frame\"");
    if (hasFrame) {
        const json& f = key["frame"];
        if (!f.is_number_integer()) fail(where, "\"frame\" must be an integer");
        // In double, so that no product wraps; the range is that of "time".
        const double frame = f.is_number_unsigned() ? double(f.get<unsigned long long>()) : double(f.get<long long>());
        const double units = frame * in.time_step;
        if (std::fabs(units) > 2e9) fail(where, "\"frame\" is out of range");
        return {static_cast<A_long>(units), in.time_scale};
    }
    double s = 0;
    try {
        s = number(key["time"], "\"time\"");
    } catch (const Error& e) {
        fail(where, e.what());
    }
    double units = s * in.time_scale;
    if (!std::isfinite(units) || std::fabs(units) > 2e9) fail(where, "\"time\" is out of range");
    return {static_cast<A_long>(std::llround(units)), in.time_scale};
}

void checkKeys(const json& entry, std::initializer_list<const char*> allowed, const std::string& where) {
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        bool ok = false;
        for (const char* a : allowed) ok = ok || it.key() == a;
        if (!ok) {
            std::vector<std::string> words(allowed.begin(), allowed.end());
            fail(where, "unknown key \"" + it.key() + "\"" + didYouMean(it.key(), words) +
                            " (allowed: " + listWords(words) + ")");
        }
    }
}

int entryLayer(const json& e, std::initializer_list<const char*> allowed, const std::string& where,
               hostsim::Comp& comp) {
    if (!e.is_object() || !e.contains("layer") || !e["layer"].is_string())
        fail(where, "an entry names a \"layer\" of the composition");
    checkKeys(e, allowed, where);
    int id = 0;
    if (!comp.layerByName(e["layer"].get<std::string>(), id))
        fail(where, "no layer named \"" + e["layer"].get<std::string>() + "\"");
    return id;
}

std::string listWords(const std::vector<std::string>& words) {
    std::string s;
    for (const std::string& w : words) s += (s.empty() ? "\"" : ", \"") + w + "\"";
    return s;
}

std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates) {
    const std::vector<std::string> near = tools::closestWords(word, candidates);
    return near.empty() ? "" : "; did you mean " + listWords(near) + "?";
}

// ------------------------------------------------------------------ sections
const std::vector<Section>& sections() {
    // Sections that define what parameters refer to (composition, layers,
    // masks, audio) go before "params".
    static const std::vector<Section> list = {
        {"composition", loadComposition},
        {"pixels", loadPixels},
        {"masks", loadMasks},
        {"audio", loadAudio},
        {"params", loadParams},
        {"interpolation", loadInterpolation},
    };
    return list;
}

void apply(const json& scene, Context& context) {
    const std::string& src = context.source;
    if (!scene.is_object()) fail(src, "a scene must be a JSON object of sections");
    for (auto it = scene.begin(); it != scene.end(); ++it) {
        bool known = it.key() == "comment";
        for (const Section& s : sections()) known = known || it.key() == s.name;
        if (!known) {
            std::vector<std::string> names{"comment"};
            for (const Section& s : sections()) names.push_back(s.name);
            fail(src, "unknown section \"" + it.key() + "\"" + didYouMean(it.key(), names) +
                          " (a scene has the sections " + listWords(names) + ")");
        }
    }
    for (const Section& s : sections()) {
        if (!scene.contains(s.name)) continue;
        try {
            s.load(scene[s.name], context);
        } catch (const json::exception& e) {
            // A value of the wrong kind that a loader did not check itself.
            fail(src + ": \"" + s.name + "\"", plainJsonMessage(e));
        }
    }
}

std::string plainJsonMessage(const std::exception& e) {
    // The library prefixes its messages with "[json.exception.kind.N] ".
    std::string m = e.what();
    if (m.rfind("[json.exception.", 0) == 0) {
        const std::size_t end = m.find("] ");
        if (end != std::string::npos) m = m.substr(end + 2);
    }
    return m;
}

void applyText(const std::string& text, Context& context) {
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {  // syntax, and numbers beyond a double (1e400)
        fail(context.source, "not valid JSON: " + plainJsonMessage(e));
    }
    scene::apply(doc, context);
}

void applyFile(const std::string& path, Context& context) {
    std::ifstream f(path);
    if (!f) throw Error(path + ": cannot open the scene file");
    std::stringstream text;
    text << f.rdbuf();
    if (context.source.empty()) context.source = path;
    applyText(text.str(), context);
}

// ------------------------------------------------------------------ params
std::string describe(const Params& params, int index) {
    const std::string name = lookupName(params, index);
    const std::string key = tools::paramKey(index);
    if (key.empty() || params.count() != int(tools::paramKeys().size()))
        return "\"" + name + "\" (index " + std::to_string(index) + ")";
    return "\"" + name + "\" (index " + std::to_string(index) + ", key \"" + key + "\")";
}

namespace {
std::string suggestParams(const Params& params, const std::string& word) {
    std::vector<std::string> words;
    const bool keyed = params.count() == int(tools::paramKeys().size());
    for (int i = 1; i < params.count(); ++i) {
        if (!Params::hasValue(params.definition(i).param_type)) continue;
        words.push_back(keyed ? tools::paramKey(i) : lookupName(params, i));
    }
    const std::vector<std::string> near = tools::closestWords(word, words);
    if (near.empty()) return " (vemaro-render --list-params lists every key)";
    std::string s;
    for (const std::string& n : near) s += (s.empty() ? "" : ", ") + ("\"" + n + "\"");
    return "; did you mean " + s + "?";
}
}  // namespace

int findParam(const Params& params, const json& ref, const std::string* group) {
    const int count = params.count();
    if (ref.is_number_integer()) {
        long long i = ref.get<long long>();
        if (i < 0 || i >= count) throw Error("no parameter has index " + std::to_string(i));
        return static_cast<int>(i);
    }
    if (!ref.is_string()) throw Error("\"param\" must be an index or a name, not " + std::string(kindOf(ref)));
    const std::string name = ref.get<std::string>();
    if (!group && count == int(tools::paramKeys().size())) {
        const int byKey = tools::paramByKey(name);
        if (byKey > 0) return byKey;
    }
    std::vector<int> found;
    for (int i = 1; i < count; ++i) {
        if (!Params::hasValue(params.definition(i).param_type) || lookupName(params, i) != name) continue;
        if (group && !groupMatches(params.groupPath(i), *group)) continue;
        found.push_back(i);
    }
    const std::string inGroup = group ? " in group \"" + *group + "\"" : "";
    if (found.empty()) throw Error("no parameter is named \"" + name + "\"" + inGroup + suggestParams(params, name));
    if (found.size() > 1) {
        std::string list;
        for (int i : found) {
            std::string path = joinPath(params.groupPath(i));
            const std::string key = tools::paramKey(i);
            list += (list.empty() ? "" : ", ") + (key.empty() ? std::to_string(i) : "\"" + key + "\"") +
                    (path.empty() ? "" : " in \"" + path + "\"");
        }
        throw Error("\"" + name + "\"" + inGroup + " is ambiguous: it names several parameters (" + list +
                    "); give its key");
    }
    return found.front();
}

ParamValue parseValue(Params& params, int index, const json& j, Context& context) {
    const PF_ParamDef& d = params.definition(index);
    ParamValue v;
    switch (d.param_type) {
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_FLOAT_SLIDER:
        case PF_Param_ANGLE: v.v[0] = number(j, "the value"); break;
        case PF_Param_CHECKBOX:
            if (!j.is_boolean()) throw Error(std::string("the value must be true or false, not ") + kindOf(j));
            v.v[0] = j.get<bool>() ? 1 : 0;
            break;
        case PF_Param_POPUP:
            if (j.is_string()) {
                const std::vector<std::string> items = params.popupItems(index);
                const std::string want = j.get<std::string>();
                int choice = 0;
                for (std::size_t i = 0; i < items.size(); ++i)
                    if (items[i] == want && want != "(-") choice = static_cast<int>(i) + 1;
                if (!choice) {
                    std::string list;
                    for (const std::string& it : items)
                        if (it != "(-") list += (list.empty() ? "\"" : ", \"") + it + "\"";
                    throw Error("\"" + want + "\" is not one of its items (" + list + ")");
                }
                v.v[0] = choice;
            } else {
                v.v[0] = number(j, "the value (a choice number or an item)");
            }
            break;
        case PF_Param_COLOR:
            if (j.is_string()) {
                std::string s = j.get<std::string>();
                unsigned r = 0, g = 0, b = 0;
                char extra = 0;
                if (s.size() != 7 || std::sscanf(s.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &extra) != 3)
                    throw Error("a colour text must read #rrggbb");
                v.v[0] = 255, v.v[1] = r, v.v[2] = g, v.v[3] = b;
            } else {
                if (!j.is_array() || (j.size() != 3 && j.size() != 4))
                    throw Error("a colour must be [r, g, b], [r, g, b, a] or \"#rrggbb\"");
                v.v[1] = number(j[0], "red");
                v.v[2] = number(j[1], "green");
                v.v[3] = number(j[2], "blue");
                v.v[0] = j.size() == 4 ? number(j[3], "alpha") : 255;
            }
            break;
        case PF_Param_POINT:
            if (j.is_object()) {
                if (j.size() != 1 || !j.contains("percent") || !j["percent"].is_array() || j["percent"].size() != 2)
                    throw Error("a point must be [x, y] in layer pixels or {\"percent\": [x, y]}");
                hostsim::ParamFrame f = params.frame();
                v.v[0] = number(j["percent"][0], "x") / 100.0 * f.width;
                v.v[1] = number(j["percent"][1], "y") / 100.0 * f.height;
            } else {
                if (!j.is_array() || j.size() != 2)
                    throw Error("a point must be [x, y] in layer pixels or {\"percent\": [x, y]}");
                v.v[0] = number(j[0], "x");
                v.v[1] = number(j[1], "y");
            }
            break;
        case PF_Param_LAYER:
            if (j.is_null()) {
                v.v[0] = hostsim::kLayerNone;
            } else if (j.is_string()) {
                int id = 0;
                if (!context.layerByName || !context.layerByName(j.get<std::string>(), id))
                    throw Error("no layer is named \"" + j.get<std::string>() + "\"");
                v.v[0] = id;
            } else {
                v.v[0] = number(j, "the value (a layer id or name)");
            }
            break;
        case PF_Param_PATH: v.v[0] = number(j, "the value (a mask id)"); break;
        case PF_Param_ARBITRARY_DATA: v.data = arbitraryData(params, index, j, context.host.handles()); break;
        default: break;
    }
    std::string problem = params.checkValue(index, v);
    if (!problem.empty()) {
        if (v.data) context.host.handles().dispose(v.data);
        throw Error(problem);
    }
    return v;
}

void loadParams(const json& section, Context& context) {
    Params& params = context.host.get<Params>();
    const std::string src = context.source.empty() ? "scene" : context.source;
    if (!section.is_array()) fail(src, "\"params\" must be a list of entries");
    if (params.count() <= 1) fail(src, "the effect has registered no parameters");

    for (std::size_t n = 0; n < section.size(); ++n) {
        const json& entry = section[n];
        std::string where = src + ": params[" + std::to_string(n) + "]";
        if (!entry.is_object() || !entry.contains("param")) fail(where, "an entry needs \"param\"");
        checkKeys(entry, {"param", "group", "value", "keyframes"}, where);

        std::string group;
        if (entry.contains("group")) {
            if (!entry["group"].is_string()) fail(where, "\"group\" must be a text");
            group = entry["group"].get<std::string>();
        }
        int index = 0;
        try {
            index = findParam(params, entry["param"], entry.contains("group") ? &group : nullptr);
        } catch (const Error& e) {
            fail(where, e.what());
        }
        where += " " + describe(params, index);
        if (index == 0) fail(where, "the input layer is always the effect's own layer");
        if (!Params::hasValue(params.definition(index).param_type))
            fail(where, std::string("a ") + Params::typeName(params.definition(index).param_type) + " holds no value");
        if (entry.contains("value") == entry.contains("keyframes"))
            fail(where, "give either \"value\" or \"keyframes\"");

        PendingHandles pending{context.host.handles(), {}};
        try {
            if (entry.contains("value")) {
                ParamValue v = parseValue(params, index, entry["value"], context);
                if (v.data) pending.handles.push_back(v.data);
                params.setValue(index, v);
            } else {
                if (!params.canVary(index)) fail(where, "cannot be animated");
                const json& keys = entry["keyframes"];
                if (!keys.is_array() || keys.empty()) fail(where, "\"keyframes\" must be a non-empty list");
                std::vector<hostsim::Keyframe> list;
                for (std::size_t k = 0; k < keys.size(); ++k) {
                    const std::string at = where + " keyframe " + std::to_string(k + 1);
                    if (!keys[k].is_object() || !keys[k].contains("value")) fail(at, "a keyframe needs \"value\"");
                    checkKeys(keys[k], {"time", "frame", "value"}, at);
                    hostsim::Keyframe key;
                    key.time = keyTime(keys[k], context.host, at);
                    if (!list.empty() && !hostsim::timeLess(list.back().time, key.time))
                        fail(at, "keyframes must be in increasing time");
                    try {
                        key.value = parseValue(params, index, keys[k]["value"], context);
                    } catch (const Error& e) {
                        fail(at, e.what());
                    }
                    if (key.value.data) pending.handles.push_back(key.value.data);
                    list.push_back(key);
                }
                params.setKeyframes(index, std::move(list));
            }
        } catch (const Error& e) {
            std::string m = e.what();
            if (m.compare(0, where.size(), where) == 0) throw;
            fail(where, m);
        }
        pending.release();
        ++context.paramsSet;
    }
}

}  // namespace scene
