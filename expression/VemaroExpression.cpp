#include "VemaroExpression.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// A node built from an empty handle (never done by the parser) stands for NaN
// rather than a null pointer that would crash evaluation.
ExpressionNode nodeOf(const Expression& e) {
    static const ExpressionNode nan = std::make_shared<ConstantExpression>(std::numeric_limits<double>::quiet_NaN());
    return e.node ? e.node : nan;
}

typedef double (*Unary)(double);
typedef double (*Binary)(double, double);

double absValue(double a) { return std::fabs(a); }
// Stands for a name outside the tables, which the grammar never hands over.
double notANumber1(double) { return std::numeric_limits<double>::quiet_NaN(); }
double notANumber2(double, double) { return std::numeric_limits<double>::quiet_NaN(); }

struct UnaryEntry {
    const char* name;
    Unary fn;
};
// Checked in this order.
const UnaryEntry kUnaryFunctions[] = {
    {"sin", static_cast<Unary>(std::sin)},   {"cos", static_cast<Unary>(std::cos)},
    {"tan", static_cast<Unary>(std::tan)},   {"asin", static_cast<Unary>(std::asin)},
    {"acos", static_cast<Unary>(std::acos)}, {"atan", static_cast<Unary>(std::atan)},
    {"sinh", static_cast<Unary>(std::sinh)}, {"cosh", static_cast<Unary>(std::cosh)},
    {"tanh", static_cast<Unary>(std::tanh)}, {"exp", static_cast<Unary>(std::exp)},
    {"log", static_cast<Unary>(std::log)},   {"log10", static_cast<Unary>(std::log10)},
    {"sqrt", static_cast<Unary>(std::sqrt)}, {"abs", absValue},
    {"ceil", static_cast<Unary>(std::ceil)}, {"floor", static_cast<Unary>(std::floor)},
};

struct BinaryEntry {
    const char* name;
    Binary fn;
};
const BinaryEntry kBinaryFunctions[] = {
    {"atan2", static_cast<Binary>(std::atan2)}, {"pow", static_cast<Binary>(std::pow)},
    {"fmod", static_cast<Binary>(std::fmod)},   {"min", BinaryFunctionExpression::min},
    {"max", BinaryFunctionExpression::max},     {"rand", BinaryFunctionExpression::rand},
};

}  // namespace

double Expression::evaluate(const ExpressionVariables& vars) const {
    return node ? node->evaluate(vars) : std::numeric_limits<double>::quiet_NaN();
}

MathConstantExpression::MathConstantExpression(const std::string& name)
    : value(name == "pi" ? 3.141592653589793 : 2.718281828459045) {}

VariableExpression::VariableExpression(char name) : name(name) {
    switch (name) {
        case 'a': field_ = &ExpressionVariables::a; break;
        case 'b': field_ = &ExpressionVariables::b; break;
        case 'c': field_ = &ExpressionVariables::c; break;
        case 'd': field_ = &ExpressionVariables::d; break;
        case 'f': field_ = &ExpressionVariables::f; break;
        case 'g': field_ = &ExpressionVariables::g; break;
        case 'i': field_ = &ExpressionVariables::i; break;
        case 'j': field_ = &ExpressionVariables::j; break;
        case 'k': field_ = &ExpressionVariables::k; break;
        case 'l': field_ = &ExpressionVariables::l; break;
        case 'w': field_ = &ExpressionVariables::w; break;
        case 'h': field_ = &ExpressionVariables::h; break;
        default: field_ = &ExpressionVariables::t; break;
    }
}

double UnaryExpression::plus(double a) { return a; }
double UnaryExpression::minus(double a) { return -a; }  // flips the sign bit, also of 0 and NaN

UnaryExpression::UnaryExpression(char sign, const Expression& operand)
    : op(sign == '-' ? minus : plus), operand(nodeOf(operand)) {}

UnaryFunctionExpression::UnaryFunctionExpression(const std::string& name, const Expression& argument)
    : fn(nullptr), argument(nodeOf(argument)) {
    for (const UnaryEntry& e : kUnaryFunctions)
        if (name == e.name) {
            fn = e.fn;
            break;
        }
    if (!fn) fn = notANumber1;
}

double BinaryExpression::add(double a, double b) { return a + b; }
double BinaryExpression::sub(double a, double b) { return a - b; }
double BinaryExpression::mult(double a, double b) { return a * b; }
double BinaryExpression::div(double a, double b) { return a / b; }

BinaryExpression::BinaryExpression(char op, const Expression& lhs, const Expression& rhs)
    : op(op == '-'   ? sub
         : op == '*' ? mult
         : op == '/' ? div
                     : add),
      lhs(nodeOf(lhs)),
      rhs(nodeOf(rhs)) {}

double BinaryFunctionExpression::min(double a, double b) { return a < b ? a : b; }
double BinaryFunctionExpression::max(double a, double b) { return a > b ? a : b; }
double BinaryFunctionExpression::rand(double a, double b) {
    double v = std::sin(a * 12.9898 + b * 78.233) * 43758.5453;
    return v - std::floor(v);
}

BinaryFunctionExpression::BinaryFunctionExpression(const std::string& name, const Expression& first,
                                                   const Expression& second)
    : fn(nullptr), first(nodeOf(first)), second(nodeOf(second)) {
    for (const BinaryEntry& e : kBinaryFunctions)
        if (name == e.name) {
            fn = e.fn;
            break;
        }
    if (!fn) fn = notANumber2;
}
