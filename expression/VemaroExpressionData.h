// The Graph parameter's arbitrary data: two 256-byte expression texts, x(t)
// at offset 0 and y(t) at offset 256. The same 512 bytes are the in-memory
// record and the flattened form saved with projects.
#pragma once

#include "AE_Effect.h"

#include <cstddef>
#include <string>

struct GraphData {
    char x[256];
    char y[256];
};
static_assert(sizeof(GraphData) == 512, "the saved layout is two 256-byte fields");

namespace Graph {

constexpr std::size_t kFieldSize = 256;
constexpr std::size_t kMaxTextLength = kFieldSize - 1;
constexpr const char* kDefaultX = "w * t";
constexpr const char* kDefaultY = "sin(2 * pi * t) * h / 2";
// Returned when the host gives no pointer for a locked handle.
constexpr PF_Err kErrCannotLock = 514;

// Stores a new handle holding the default texts at *default_out. Without a
// handle (no memory) *default_out is null and the result is out of memory.
PF_Err NewDefaultData(PF_InData* in_data, PF_OutData* out_data, void* refcon, PF_ArbitraryH* default_out);

// Answers one arbitrary-data request of the host for the parameter paramIndex.
PF_Err HandleData(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                  PF_ArbParamsExtra* extra, int paramIndex);

// Reads both texts from `size` bytes of Graph data without going beyond them:
// a field ends at its NUL, at 255 characters or at the end of the data.
void readTexts(const void* data, std::size_t size, std::string& x, std::string& y);

// Both texts of a Graph value handle, locked and unlocked through the host's
// callbacks; 514 when the host cannot lock it.
PF_Err readTexts(PF_InData* in_data, PF_ArbitraryH handle, std::string& x, std::string& y);

// Keeps only letters, digits, space and "+-*/()., ", in order.
std::string cleanse(const std::string& text);

}  // namespace Graph
