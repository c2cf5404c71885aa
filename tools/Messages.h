// Wording shared by the renderer's commands: host error codes in words and
// the host's complaints about the effect.
#pragma once

#include "Host.h"

#include <ostream>
#include <string>

namespace tools {

// A host error code in words ("out of memory").
std::string errorMeaning(PF_Err err);

// Prints what the host saw the effect do wrong; the exit status: `status`,
// or 1 when there was anything to print.
int reportMisuse(const hostsim::Host& host, std::ostream& err, int status);

}  // namespace tools
