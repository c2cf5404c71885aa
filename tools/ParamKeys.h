// Stable readable keys of the effect's parameters. Display names repeat
// ("Width" belongs to five layouts), so scenes and messages use a key per
// parameter: the field name --dump-record prints where the parameter fills
// one ("gridWidth", "transitionScale"), "shape3.color" for the members of the
// shape groups and "mapPre2D.scaleMap.power" for the map groups. Keys never
// change once published; new parameters get new keys.
#pragma once

#include <string>
#include <vector>

namespace tools {

// One entry per parameter index of the effect's table (688 entries); "" for
// the input layer, group starts and group ends, which hold no value.
const std::vector<std::string>& paramKeys();

// The key of an index, "" when there is none (or the index is not in the
// table).
std::string paramKey(int index);

// The index of a key, -1 when no parameter has it.
int paramByKey(const std::string& key);

// Where a parameter belongs, for tables: the layout ("grid") for layout
// parameters, else the group ("transition", "shape 3", "map pre 2D").
std::string paramSection(int index);

// Up to `limit` candidates closest to a mistyped word (edit distance, case
// ignored), best first; empty when nothing is near.
std::vector<std::string> closestWords(const std::string& word, const std::vector<std::string>& candidates,
                                      std::size_t limit = 3);

}  // namespace tools
