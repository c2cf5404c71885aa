// --list-params: the parameter table as the effect registered it through the
// simulated host, as a text table or as JSON.
#pragma once

#include "Params.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

namespace tools {

// Global setup, then params setup: the effect's table is registered. False
// with a message when the effect refuses.
bool setUpParams(hostsim::Host& host, std::string* error);

// setUpParams, then the scene file if a path is given; false with a message
// on err when either fails.
bool setUpScene(hostsim::Host& host, const std::string& scenePath, std::ostream& err, int* paramsSet = nullptr);

// One object per parameter: index, name, type, disk id, flags, default and,
// by type, ranges, precision and display, items, label; the value and the
// keyframe count at the given time.
nlohmann::ordered_json paramsToJson(const hostsim::Params& params, A_Time time);

// The parameter's key and layout or group ("" for a module whose table is
// not the one the keys were made for).
std::string paramKeyOf(const hostsim::Params& params, int index);
std::string paramSectionOf(const hostsim::Params& params, int index);

// One row per parameter: key, name, type, default, layout or group, range or
// choices.
void printParamTable(const hostsim::Params& params, std::ostream& out);

// vemaro-render --list-params [--json] [--scene FILE]: registers the
// parameters, applies the scene if one is given and lists the table. The exit
// status: 0, or 1 when setup or the scene fails or the host saw misuse.
int listParams(hostsim::Host& host, const std::string& scenePath, bool list, bool asJson, std::ostream& out,
               std::ostream& err);

}  // namespace tools
