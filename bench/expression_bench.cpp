// Parsing and evaluating Graph expressions. The Graph layout parses its two
// texts once per frame and evaluates each tree once per curve sample.
#include "VemaroExpressionParser.h"

#include <benchmark/benchmark.h>

namespace {

const char* kDefaultY = "sin(2 * pi * t) * h / 2";

void BM_ParseDefaultY(benchmark::State& state) {
    const std::string text = kDefaultY;
    for (auto _ : state) {
        Expression e;
        benchmark::DoNotOptimize(parseExpression(text, e));
    }
}
BENCHMARK(BM_ParseDefaultY);

void BM_EvaluateDefaultY(benchmark::State& state) {
    Expression e;
    parseExpression(kDefaultY, e);
    ExpressionVariables vars = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0.0, 1920, 1080};
    for (auto _ : state) {
        vars.t += 1e-4;  // a new sample each time, as the layout walks the curve
        benchmark::DoNotOptimize(e.evaluate(vars));
    }
}
BENCHMARK(BM_EvaluateDefaultY);

void BM_EvaluateDefaultX(benchmark::State& state) {
    Expression e;
    parseExpression("w * t", e);
    ExpressionVariables vars = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0.0, 1920, 1080};
    for (auto _ : state) {
        vars.t += 1e-4;
        benchmark::DoNotOptimize(e.evaluate(vars));
    }
}
BENCHMARK(BM_EvaluateDefaultX);

}  // namespace
