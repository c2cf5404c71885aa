// Parsing of Graph expression texts. The grammar lives in one translation
// unit: it is slow to compile.
#pragma once

#include "VemaroExpression.h"

#include <cstddef>
#include <string>

// The longest text the Graph data can hold; longer texts do not parse.
constexpr std::size_t kMaxExpressionLength = 255;

// True when the whole text is one valid expression; result then holds its
// tree. On false, result is to be ignored.
bool parseExpression(const std::string& text, Expression& result);
