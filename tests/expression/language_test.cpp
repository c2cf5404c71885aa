// The accepted language and its values: every project saved with Graph
// expressions depends on exactly this set of texts and these results.
#include "VemaroExpressionParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

namespace {

// Thirteen distinct values, so that a variable read from the wrong field shows.
const ExpressionVariables kVars = {1.5, -2.25, 3.0, 0.5, 7.0, -1.0, 11.0, 13.0, 0.125, 100.0, 0.3, 640.0, 360.0};
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct Case {
    const char* text;
    bool valid;
    double value;  // when valid
};

bool sameValue(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;  // also tells -0 from +0
}

void checkCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Expression e;
        bool ok = parseExpression(c.text, e);
        EXPECT_EQ(ok, c.valid) << "[" << c.text << "]";
        if (ok && c.valid) {
            double v = e.evaluate(kVars);
            EXPECT_TRUE(sameValue(v, c.value)) << "[" << c.text << "] gives " << v << ", expected " << c.value;
        }
    }
}

TEST(ExpressionLanguage, VariablesReadTheirOwnField) {
    checkCases({{"a", true, 1.5},
                {"b", true, -2.25},
                {"c", true, 3.0},
                {"d", true, 0.5},
                {"f", true, 7.0},
                {"g", true, -1.0},
                {"i", true, 11.0},
                {"j", true, 13.0},
                {"k", true, 0.125},
                {"l", true, 100.0},
                {"t", true, 0.3},
                {"w", true, 640.0},
                {"h", true, 360.0},
                {"x", false, 0},
                {"y", false, 0},
                {"e", true, 2.718281828459045},
                {"m", false, 0},
                {"A", false, 0},
                {"T", false, 0}});
    // Built directly, any other letter reads t.
    for (char other : {'x', 'y', 'z', 'e', 'Q'}) EXPECT_EQ(VariableExpression(other).evaluate(kVars), 0.3);
}

TEST(ExpressionLanguage, DefaultsAndWhitespace) {
    checkCases({
        {"w * t", true, 640.0 * 0.3},
        {"sin(2 * pi * t) * h / 2", true, std::sin(2 * 3.141592653589793 * 0.3) * 360.0 / 2},
        {"", false, 0},
        {"   ", false, 0},
        {" t ", true, 0.3},
        {"\tt\n", true, 0.3},
        {"\r\v\f t \f", true, 0.3},
        {"sin ( t )", true, std::sin(0.3)},
        {"s in(t)", false, 0},
        {"si n(t)", false, 0},
        {"p i", false, 0},
        {"1 2", false, 0},
        {"1. 5", false, 0},
        {"2 t", false, 0},
        {"2pi", false, 0},
        {"2 * t\xc2\xa0", false, 0},
        {"t\x01", false, 0},
        {"t;", false, 0},
    });
}

TEST(ExpressionLanguage, OrderedChoiceOfNames) {
    const double t = 0.3;
    checkCases({
        {"sinh(t)", true, std::sinh(t)},
        {"cosh(t)", true, std::cosh(t)},
        {"tanh(t)", true, std::tanh(t)},
        {"sin(t)", true, std::sin(t)},
        {"cos(t)", true, std::cos(t)},
        {"tan(t)", true, std::tan(t)},
        {"asin(t)", true, std::asin(t)},
        {"acos(t)", true, std::acos(t)},
        {"atan(t)", true, std::atan(t)},
        {"exp(t)", true, std::exp(t)},
        {"log10(t)", true, std::log10(t)},
        {"log(t)", true, std::log(t)},
        {"sqrt(t)", true, std::sqrt(t)},
        {"abs(b)", true, 2.25},
        {"ceil(t)", true, 1.0},
        {"floor(b)", true, -3.0},
        {"atan2(a, b)", true, std::atan2(1.5, -2.25)},
        {"atan(a, b)", false, 0},
        {"pow(t, 2)", true, std::pow(t, 2.0)},
        {"fmod(f, 2)", true, 1.0},
        {"min(1,2)", true, 1.0},
        {"max( 1 , 2 )", true, 2.0},
        {"rand(a, b)", true, BinaryFunctionExpression::rand(1.5, -2.25)},
        {"exp(1)", true, std::exp(1.0)},
        {"e", true, 2.718281828459045},
        {"exp", false, 0},
        {"pi", true, 3.141592653589793},
        {"pix", false, 0},
        {"E", false, 0},
        {"PI", false, 0},
        {"Sin(t)", false, 0},
        {"sin(x)", false, 0},
        {"pow(2)", false, 0},
        {"sin(1, 2)", false, 0},
        {"min(1)", false, 0},
        {"sin t", false, 0},
        {"sin()", false, 0},
        {"e2", false, 0},
        {"ee", false, 0},
        {"log1(t)", false, 0},
        {"sint", false, 0},
        {"tt", false, 0},
        {"a(b)", false, 0},
        {"rand", false, 0},
    });
}

TEST(ExpressionLanguage, NumberLiterals) {
    checkCases({
        {"2e", false, 0},
        {"2.5e", false, 0},
        {"2e3", true, 2000.0},
        {"2E3", true, 2000.0},
        {"1e5", true, 1e5},
        {"1e+5", true, 1e5},
        {"1e-5", true, 1e-5},
        {".5", true, 0.5},
        {"5.", true, 5.0},
        {"5.e1", true, 50.0},
        {".", false, 0},
        {".e1", false, 0},
        {"1.5E-2", true, 0.015},
        {"0", true, 0.0},
        {"007", true, 7.0},
        {"1..2", false, 0},
        {"nan", true, kNaN},
        {"NaN", true, kNaN},
        {"nan(7)", true, kNaN},
        {"nan (7)", false, 0},
        {"inf", false, 0},
        {"INF", true, kInf},
        {"Inf", true, kInf},
        {"infinity", false, 0},
        {"INFINITY", true, kInf},
        {"-INF", true, -kInf},
        {"1e400", false, 0},
        {"1e400+2", false, 0},
        {"1e308", true, 1e308},
        {"0.1", true, 0.1},
        {"1e-400", true, 0.0},
        {"1e2147483648", false, 0},
        {"12345678901234567890", true, 12345678901234567e3},
        // Read as 7 × 10^23 in double arithmetic, one unit below the nearest double.
        {"7e23", true, 7.0 * 1e23},
    });
}

// Exponents at the ends of double's range and of int's. Beyond double's
// range a literal is invalid whatever its mantissa (even 0), and the digits
// of a long mantissa or fraction count into the exponent; near the ends of
// int that sum must still come out invalid, not wrap.
TEST(ExpressionLanguage, ExponentsAtTheEndsOfTheRange) {
    const double kE = 2.718281828459045;
    checkCases({
        {"1e0", true, 1.0},
        {"1e-0", true, 1.0},
        {"0e400", false, 0},
        {"0e-400", true, 0.0},
        {"0e-614", true, 0.0},
        {"0e-615", false, 0},
        {"1e-614", true, 0.0},
        {"1e-615", false, 0},
        {"1e309", false, 0},
        {"10e308", true, kInf},  // 10 x 1e308, rounded up to infinity
        {"0.1e309", true, 1e308},
        {"100000000000000000000e-20", true, 1.0},
        {".00000000000000000001e20", true, 1.0},
        {"1e1048576", false, 0},
        {"1e-1048577", false, 0},
        {"1e2147483647", false, 0},
        {"1.5e2147483647", false, 0},
        {"111111111111111111111e2147483647", false, 0},
        {"111111111111111111111e-2147483648", false, 0},
        {".1e-2147483648", false, 0},
        {"0.01e-2147483647", false, 0},
        {"1.e-2147483648", false, 0},
        {"-.1e-2147483648", false, 0},
        {"(.1e-2147483648)", false, 0},
        {"1e2147483647+1", false, 0},
        {"1e-2147483649", false, 0},
        // A lone e is the constant, and what follows it is not an exponent.
        {"e-2147483648", true, kE - 2147483648.0},
        {"2*e-2147483648", true, 2 * kE - 2147483648.0},
    });
}

TEST(ExpressionLanguage, SignsAndPrecedence) {
    checkCases({
        {"a-b-c", true, (1.5 - -2.25) - 3.0},
        {"a/b/c", true, (1.5 / -2.25) / 3.0},
        {"a+b*c", true, 1.5 + (-2.25 * 3.0)},
        {"-a*b", true, (-1.5) * -2.25},
        {"2*-3", true, -6.0},
        {"-3", true, -3.0},
        {"--3", true, 3.0},
        {"+-3", true, -3.0},
        {"- - + 3", true, 3.0},
        {"-(a+b)", true, -(1.5 + -2.25)},
        {"((((t))))", true, 0.3},
        {"(t", false, 0},
        {"t)", false, 0},
        {"t+", false, 0},
        {"*t", false, 0},
        {"t**2", false, 0},
        {"t--t", true, 0.3 - -0.3},
        {"a*b+c*d", true, 1.5 * -2.25 + 3.0 * 0.5},
        {"a-b+c", true, (1.5 - -2.25) + 3.0},
        {"l/k/d", true, (100.0 / 0.125) / 0.5},
        {"-sin(t)^2", false, 0},
        {"1,2", false, 0},
    });
}

TEST(ExpressionLanguage, FloatingPointRulesTravelUpTheTree) {
    checkCases({
        {"0 - 0", true, 0.0},
        {"-0", true, -0.0},
        {"1 / 0", true, kInf},
        {"-1 / 0", true, -kInf},
        {"0 / 0", true, kNaN},
        {"fmod(1, 0)", true, kNaN},
        {"sqrt(-1)", true, kNaN},
        {"log(0)", true, -kInf},
        {"asin(2)", true, kNaN},
        {"1 / -0", true, -kInf},
        {"min(nan, 1)", true, 1.0},
        {"max(nan, 1)", true, 1.0},
        {"min(1, nan)", true, kNaN},
        {"min(1, 2)", true, 1.0},
        {"max(1, 2)", true, 2.0},
        {"rand(0, 0)", true, 0.0},
        {"-nan * 0", true, kNaN},
        {"INF - INF", true, kNaN},
    });
    // The sign of NaN is flipped too.
    Expression e;
    ASSERT_TRUE(parseExpression("-nan", e));
    EXPECT_TRUE(std::signbit(e.evaluate(kVars)) != std::signbit(kNaN));
}

TEST(ExpressionLanguage, TextsBeyondTheFieldLengthAreRefused) {
    Expression e;
    const std::string deepest = std::string(127, '(') + "t" + std::string(127, ')');
    ASSERT_EQ(deepest.size(), 255u);
    EXPECT_TRUE(parseExpression(deepest, e));
    EXPECT_EQ(e.evaluate(kVars), 0.3);
    EXPECT_TRUE(parseExpression(std::string(254, '-') + "t", e));
    EXPECT_FALSE(parseExpression(std::string(255, '-') + "t", e));
    EXPECT_FALSE(parseExpression(std::string(100000, '(') + "t" + std::string(100000, ')'), e));
}

TEST(ExpressionLanguage, RandIsAStableHashInUnitInterval) {
    for (double a = -50; a <= 50; a += 3.7)
        for (double b = -20; b <= 20; b += 1.3) {
            double r = BinaryFunctionExpression::rand(a, b);
            ASSERT_GE(r, 0.0);
            ASSERT_LT(r, 1.0);
            ASSERT_EQ(r, BinaryFunctionExpression::rand(a, b));
        }
    // fract(sin(1 * 12.9898 + 2 * 78.233) * 43758.5453), worked out apart.
    double v = std::sin(12.9898 + 156.466) * 43758.5453;
    EXPECT_EQ(BinaryFunctionExpression::rand(1, 2), v - std::floor(v));
}

TEST(ExpressionTree, OperandsEvaluateLeftFirstAndTreesAreShared) {
    // A node that records the order of evaluation.
    struct Probe : AbstractExpression {
        Probe(std::vector<int>* log, int id) : log(log), id(id) {}
        double evaluate(const ExpressionVariables&) const override {
            log->push_back(id);
            return id;
        }
        std::vector<int>* log;
        int id;
    };
    std::vector<int> log;
    Expression left{Probe(&log, 1)}, right{Probe(&log, 2)};
    EXPECT_EQ(Expression(BinaryExpression('-', left, right)).evaluate(kVars), -1.0);
    EXPECT_EQ(Expression(BinaryFunctionExpression("pow", left, right)).evaluate(kVars), 1.0);
    EXPECT_EQ(log, (std::vector<int>{1, 2, 1, 2}));

    Expression parsed;
    ASSERT_TRUE(parseExpression("a * t", parsed));
    Expression copy = parsed;
    EXPECT_EQ(copy.node.get(), parsed.node.get());
    BinaryExpression parent('+', parsed, parsed);
    EXPECT_EQ(parent.lhs.get(), parsed.node.get());
    EXPECT_EQ(parsed.node.use_count(), 4);
    // An unknown operator character adds.
    EXPECT_EQ(Expression(BinaryExpression('%', Expression(ConstantExpression(2)), Expression(ConstantExpression(3))))
                  .evaluate(kVars),
              5.0);
}

TEST(ExpressionTree, EmptyExpressionEvaluatesToNaNInsteadOfCrashing) {
    Expression empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(std::isnan(empty.evaluate(kVars)));
    // Empty handles inside a tree stand for NaN as well.
    EXPECT_TRUE(std::isnan(Expression(UnaryExpression('-', empty)).evaluate(kVars)));
    EXPECT_TRUE(
        std::isnan(Expression(BinaryExpression('+', empty, Expression(ConstantExpression(1)))).evaluate(kVars)));
    EXPECT_TRUE(std::isnan(Expression(UnaryFunctionExpression("sin", empty)).evaluate(kVars)));
    EXPECT_TRUE(std::isnan(Expression(BinaryFunctionExpression("min", empty, empty)).evaluate(kVars)));
}

TEST(ExpressionTree, TreesAndParsingWorkOnManyThreads) {
    Expression e;
    ASSERT_TRUE(parseExpression("sin(2 * pi * t) * h / 2 + rand(t, a) - pow(t, 3)", e));
    std::vector<double> expected(1000);
    ExpressionVariables v = kVars;
    for (int n = 0; n < 1000; ++n) {
        v.t = n / 1000.0;
        expected[n] = e.evaluate(v);
    }
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int th = 0; th < 4; ++th)
        threads.emplace_back([&, th] {
            ExpressionVariables mine = kVars;
            for (int rep = 0; rep < 20; ++rep)
                for (int n = 0; n < 1000; ++n) {
                    mine.t = n / 1000.0;
                    Expression copy = e;  // shares the tree: counts change on every thread
                    if (!sameValue(copy.evaluate(mine), expected[n])) ++mismatches[th];
                }
            // Parsing on several threads at once: each call has its own grammar.
            for (int rep = 0; rep < 50; ++rep) {
                Expression own;
                if (!parseExpression("sin(2 * pi * t) * h / 2 + rand(t, a) - pow(t, 3)", own) ||
                    !sameValue(own.evaluate(kVars), e.evaluate(kVars)))
                    ++mismatches[th];
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(mismatches, (std::vector<int>(4, 0)));
}

}  // namespace
