// libFuzzer target: any text handed to the parser, and evaluation of what
// parses. Parsing must be deterministic and never fail other than by false.
#include "VemaroExpressionParser.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Expression a, b;
    const bool okA = parseExpression(text, a);
    if (okA != parseExpression(text, b)) __builtin_trap();
    if (okA) {
        const ExpressionVariables vars = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0.5, 640, 360};
        double va = a.evaluate(vars), vb = b.evaluate(vars);
        if (std::memcmp(&va, &vb, sizeof va) != 0 && !(std::isnan(va) && std::isnan(vb))) __builtin_trap();
    }
    return 0;
}
