// Parsing of Graph expression texts. The grammar lives in one translation
// unit: it is slow to compile.
#pragma once

#include "VemaroExpression.h"

#include <string>

// True when the whole text is one valid expression; result then holds its
// tree. On false, result is to be ignored.
bool parseExpression(const std::string& text, Expression& result);
