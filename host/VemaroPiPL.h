// The plug-in property list the host reads to find the module. On Linux there
// is no resource fork: the bytes live in the module's own ELF section ".pipl",
// which the host reads from the file without running any code.
#pragma once

#include <cstddef>
#include <cstdint>

const unsigned char* vemaroPiPL();
std::size_t vemaroPiPLSize();
