// --dump-record: runs the effect's pre-render for one frame and prints the
// Parameters record it produced, field by field.
#pragma once

#include "Parameters.h"

#include <ostream>

// One line per field, "name = value", in record order.
void printRecord(const Parameters& p, std::ostream& out);
