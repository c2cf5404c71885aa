// --dump-record FRAME: runs the effect's pre-render for one frame and prints
// the Parameters record it produced, field by field, so that a user sees what
// the effect will render with.
#pragma once

#include "Host.h"
#include "Parameters.h"

#include <ostream>
#include <string>

namespace tools {

// One line per field, "name = value", in record order.
void printRecord(const Parameters& p, std::ostream& out);

// The FRAME argument: a whole number from 0 up; false with a message otherwise.
bool parseFrame(const char* text, long& frame, std::ostream& err);

// Sets the instance up (global, params and sequence setup), applies the scene
// if one is given, moves to the frame, runs pre-render and prints its record.
// Exit status 0, or 1 when a step fails or the host saw misuse.
int dumpRecord(hostsim::Host& host, const std::string& scenePath, long frame, std::ostream& out, std::ostream& err);

}  // namespace tools
