// Scene files: JSON that sets up the simulated host before the effect runs.
// A scene is an object of sections ("params", and later the composition,
// layers, masks, audio ...); each section has one loader, and the loaders run
// in a fixed order whatever the order in the file, so a section may rely on
// those before it (parameters may name layers the layer section defined).
//
// "params" is a list of entries, each setting one parameter:
//   {"param": "gridWidth", "value": 150}                  by key (--list-params)
//   {"param": 12, "value": 150}                          by index
//   {"param": "Pattern", "value": "Line"}                 by name, unique in the table
//   {"param": "Size 1", "group": "Shape 1", "value": 40}  by name, unique within the group
//   {"param": "Transition Scale", "keyframes": [{"time": 0, "value": 0}, {"frame": 24, "value": 50}]}
// "group" is a path of group names separated by '/', matched against the
// innermost groups ("" means outside any group). Values by type: numbers for
// sliders and angles (degrees), true/false for checkboxes, a choice number or
// item text for popups, [x, y] in layer pixels or {"percent": [x, y]} for
// points, [r, g, b] or [r, g, b, a] (0 to 255) or "#rrggbb" for colours, a
// layer id or name (0 or null for none) for layers, a mask id for paths, and
// {"texts": [...]} (equal fields of the default's size) or {"hex": "..."} for
// arbitrary data. Keyframe times are seconds ("time") or frames ("frame").
#pragma once

#include "Comp.h"
#include "Params.h"

#include <nlohmann/json_fwd.hpp>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scene {

// A scene that cannot be applied; the message names the place and the
// parameter.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What section loaders share while one scene is applied.
struct Context {
    hostsim::Host& host;
    std::string source;  // file name, for messages
    // Resolves a layer name to its id; set by the section that defines layers.
    std::function<bool(const std::string& name, int& id)> layerByName;
    int paramsSet = 0;
    // Layers whose scene entry gives a width or height; the others take the
    // size of a PNG given as their pixels.
    std::vector<int> sizedLayers = {};
};

using SectionLoader = std::function<void(const nlohmann::json& section, Context&)>;

struct Section {
    const char* name;
    SectionLoader load;
};

// Sections in the order they are applied.
const std::vector<Section>& sections();

// Applies a scene to the context's host, whose effect has registered its
// parameters.
// Throws Error on the first problem; what was applied before it stays.
void apply(const nlohmann::json& scene, Context& context);
void applyText(const std::string& text, Context& context);
void applyFile(const std::string& path, Context& context);

// The "params" section and its parts.
void loadParams(const nlohmann::json& section, Context& context);
// The index a reference names: an index, or a name, searched in the whole
// table or, with a group, within it.
int findParam(const hostsim::Params& params, const nlohmann::json& ref, const std::string* group = nullptr);
// A value of the parameter's type; Error when it has the wrong form or lies
// out of range.
hostsim::ParamValue parseValue(hostsim::Params& params, int index, const nlohmann::json& value, Context& context);
// A keyframe's time: "time" in seconds or "frame" in frames of the next command.
A_Time keyTime(const nlohmann::json& key, const hostsim::Host& host, const std::string& where);
// Error naming the first key of an object that is not allowed.
void checkKeys(const nlohmann::json& entry, std::initializer_list<const char*> allowed, const std::string& where);
// The composition layer an entry of a per-layer section names by "layer",
// after checking the entry's keys; Error otherwise.
int entryLayer(const nlohmann::json& entry, std::initializer_list<const char*> allowed, const std::string& where,
               hostsim::Comp& comp);
// A JSON library message without its internal "[json.exception...]" prefix.
std::string plainJsonMessage(const std::exception& e);
// "a", "b", "c": a list of allowed words for messages.
std::string listWords(const std::vector<std::string>& words);
// "; did you mean "x"?" with the candidates nearest to a mistyped word, or "".
std::string didYouMean(const std::string& word, const std::vector<std::string>& candidates);
// "Name" (index N, key "key") as messages show a parameter.
std::string describe(const hostsim::Params& params, int index);

}  // namespace scene
