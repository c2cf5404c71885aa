#include "VemaroExpressionParser.h"

#include <boost/phoenix/function.hpp>
#include <boost/phoenix/operator.hpp>
#include <boost/spirit/include/qi.hpp>

namespace {

namespace qi = boost::spirit::qi;
namespace ascii = boost::spirit::ascii;
namespace phx = boost::phoenix;

// Semantic actions: each builds one node from its children's handles.
struct MakeBinaryExpression {
    typedef Expression result_type;
    Expression operator()(char op, const Expression& lhs, const Expression& rhs) const {
        return BinaryExpression(op, lhs, rhs);
    }
};

struct MakeUnaryExpression {
    typedef Expression result_type;
    Expression operator()(char sign, const Expression& operand) const { return UnaryExpression(sign, operand); }
};

struct MakeUnaryFunctionExpression {
    typedef Expression result_type;
    Expression operator()(const std::string& name, const Expression& argument) const {
        return UnaryFunctionExpression(name, argument);
    }
};

struct MakeBinarFunctionyExpression {
    typedef Expression result_type;
    Expression operator()(const std::string& name, const Expression& first, const Expression& second) const {
        return BinaryFunctionExpression(name, first, second);
    }
};

struct MakeMathConstantExpression {
    typedef Expression result_type;
    Expression operator()(const std::string& name) const { return MathConstantExpression(name); }
};

struct MakeConstantExpression {
    typedef ConstantExpression result_type;
    ConstantExpression operator()(double value) const { return ConstantExpression(value); }
};

struct MakeVariableExpression {
    typedef VariableExpression result_type;
    VariableExpression operator()(char name) const { return VariableExpression(name); }
};

struct WrapExpression {
    typedef Expression result_type;
    template <class Node>
    Expression operator()(const Node& node) const {
        return Expression(node);
    }
};

// The reader's own policies, except that an exponent far out of range is
// pulled in before the reader scales by it: the reader adds the count of
// digits it skipped to the exponent in int, which overflows for exponents
// near the ends of int. Any exponent beyond the bound fails exactly as it
// did (the scaled value is out of range either way, since no text is long
// enough to bring it back), and every other exponent is left as read.
struct BoundedExponentPolicies : qi::real_policies<double> {
    static constexpr int kExponentBound = 1 << 20;
    static_assert(kMaxExpressionLength < kExponentBound / 2, "digit counts must not bring an exponent back");

    template <class It>
    static bool parse_exp_n(It& first, const It& last, int& exponent) {
        if (!qi::real_policies<double>::parse_exp_n(first, last, exponent)) return false;
        exponent = exponent < -kExponentBound ? -kExponentBound : exponent > kExponentBound ? kExponentBound : exponent;
        return true;
    }
};

typedef std::string::const_iterator Iterator;
typedef ascii::space_type Skipper;

// Ordered choice throughout: the first alternative that matches wins, so a
// name that begins another name stands after it.
struct ExpressionParser : qi::grammar<Iterator, Expression(), Skipper> {
    ExpressionParser() : ExpressionParser::base_type(start) {
        using qi::_1;
        using qi::_2;
        using qi::_3;
        using qi::_val;

        phx::function<MakeBinaryExpression> makeBinary;
        phx::function<MakeUnaryExpression> makeUnary;
        phx::function<MakeUnaryFunctionExpression> makeUnaryFunction;
        phx::function<MakeBinarFunctionyExpression> makeBinaryFunction;
        phx::function<MakeMathConstantExpression> makeMathConstant;
        phx::function<MakeConstantExpression> makeConstant;
        phx::function<MakeVariableExpression> makeVariable;
        phx::function<WrapExpression> wrap;

        start = expression[_val = _1];
        expression = term[_val = _1] >> *(qi::char_("+-") >> term)[_val = makeBinary(_1, _val, _2)];
        term = factor[_val = _1] >> *(qi::char_("*/") >> factor)[_val = makeBinary(_1, _val, _2)];
        factor = (unaryName >> '(' >> expression >> ')')[_val = makeUnaryFunction(_1, _2)] |
                 (binaryName >> '(' >> expression >> ',' >> expression >> ')')[_val = makeBinaryFunction(_1, _2, _3)] |
                 constName[_val = makeMathConstant(_1)] | variable[_val = wrap(_1)] |
                 ('(' >> expression >> ')')[_val = _1] | (qi::char_("+-") >> factor)[_val = makeUnary(_1, _2)] |
                 number[_val = wrap(_1)];
        // A real number whose exponent is out of range fails after reading
        // it, leaving the position behind it; the sequence puts the position
        // back so that the integer alternative starts where the number did
        // (else "1e400+2" would read as 2).
        const qi::real_parser<double, BoundedExponentPolicies> real = {};
        number = (real >> qi::eps)[_val = makeConstant(_1)] | qi::int_[_val = makeConstant(_1)];
        variable = qi::char_("abcdfgijkltwh")[_val = makeVariable(_1)];
        unaryName = qi::string("sinh") | qi::string("cosh") | qi::string("tanh") | qi::string("sin") |
                    qi::string("cos") | qi::string("tan") | qi::string("asin") | qi::string("acos") |
                    qi::string("atan") | qi::string("exp") | qi::string("log10") | qi::string("log") |
                    qi::string("sqrt") | qi::string("abs") | qi::string("ceil") | qi::string("floor");
        binaryName = qi::string("atan2") | qi::string("pow") | qi::string("fmod") | qi::string("min") |
                     qi::string("max") | qi::string("rand");
        constName = qi::string("pi") | qi::string("e");
    }

    qi::rule<Iterator, Expression(), Skipper> start, expression, term, factor;
    qi::rule<Iterator, ConstantExpression(), Skipper> number;
    qi::rule<Iterator, VariableExpression(), Skipper> variable;
    qi::rule<Iterator, std::string(), Skipper> unaryName, binaryName, constName;
};

}  // namespace

bool parseExpression(const std::string& text, Expression& result) {
    // Longer texts cannot be stored; refusing them also bounds the depth of
    // the recursive descent, so that no text can exhaust a thread's stack.
    if (text.empty() || text.size() > kMaxExpressionLength) return false;
    const ExpressionParser parser;
    Iterator first = text.begin();
    const Iterator last = text.end();
    if (!qi::phrase_parse(first, last, parser, ascii::space, result)) return false;
    return first == last;
}
