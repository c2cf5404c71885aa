// The evaluated form of one Graph expression: an immutable tree of nodes whose
// operations are chosen once, when the node is built, so that evaluation does
// no lookups and no allocation. Trees are shared between copies.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

// The one-letter variables of the language, in the order "abcdfgijkltwh".
struct ExpressionVariables {
    double a, b, c, d, f, g, i, j, k, l;  // user sliders
    double t;                             // curve parameter
    double w, h;                          // layer width and height
};

class AbstractExpression {
public:
    virtual ~AbstractExpression() = default;
    virtual double evaluate(const ExpressionVariables& vars) const = 0;
};

using ExpressionNode = std::shared_ptr<const AbstractExpression>;

class Expression {
public:
    // Empty: only a target for parseExpression. Evaluates to NaN.
    Expression() = default;

    template <class T, class = std::enable_if_t<std::is_base_of<AbstractExpression, T>::value>>
    Expression(const T& node) : node(std::make_shared<T>(node)) {}

    double evaluate(const ExpressionVariables& vars) const;
    bool empty() const { return !node; }

    ExpressionNode node;
};

class ConstantExpression : public AbstractExpression {
public:
    ConstantExpression() = default;
    explicit ConstantExpression(double value) : value(value) {}
    double evaluate(const ExpressionVariables&) const override { return value; }

    double value = 0.0;
};

class MathConstantExpression : public AbstractExpression {
public:
    // "pi" or "e".
    explicit MathConstantExpression(const std::string& name);
    double evaluate(const ExpressionVariables&) const override { return value; }

    double value;
};

class VariableExpression : public AbstractExpression {
public:
    VariableExpression() : VariableExpression('t') {}
    explicit VariableExpression(char name);
    double evaluate(const ExpressionVariables& vars) const override { return vars.*field_; }

    char name;

private:
    double ExpressionVariables::*field_;
};

class UnaryExpression : public AbstractExpression {
public:
    UnaryExpression(char sign, const Expression& operand);
    double evaluate(const ExpressionVariables& vars) const override { return op(operand->evaluate(vars)); }

    static double plus(double a);
    static double minus(double a);

    double (*op)(double);
    ExpressionNode operand;
};

class UnaryFunctionExpression : public AbstractExpression {
public:
    UnaryFunctionExpression(const std::string& name, const Expression& argument);
    double evaluate(const ExpressionVariables& vars) const override { return fn(argument->evaluate(vars)); }

    double (*fn)(double);
    ExpressionNode argument;
};

class BinaryExpression : public AbstractExpression {
public:
    BinaryExpression(char op, const Expression& lhs, const Expression& rhs);
    double evaluate(const ExpressionVariables& vars) const override {
        double a = lhs->evaluate(vars);  // left before right
        double b = rhs->evaluate(vars);
        return op(a, b);
    }

    static double add(double a, double b);
    static double sub(double a, double b);
    static double mult(double a, double b);
    static double div(double a, double b);

    double (*op)(double, double);
    ExpressionNode lhs, rhs;
};

class BinaryFunctionExpression : public AbstractExpression {
public:
    BinaryFunctionExpression(const std::string& name, const Expression& first, const Expression& second);
    double evaluate(const ExpressionVariables& vars) const override {
        double a = first->evaluate(vars);
        double b = second->evaluate(vars);
        return fn(a, b);
    }

    static double min(double a, double b);
    static double max(double a, double b);
    static double rand(double a, double b);

    double (*fn)(double, double);
    ExpressionNode first, second;
};
