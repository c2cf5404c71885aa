// Seeded generator of expression texts: mostly well formed, with random white
// space, signs, names that prefix each other, constants, number literals of
// every shape and deep nesting; a share of them is then damaged by small edits.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

class ExpressionGenerator {
public:
    explicit ExpressionGenerator(uint32_t seed) : rng_(seed) {}

    std::string text() {
        std::string s = expression(pick(6) + 1);
        if (chance(0.3)) damage(s);
        return s;
    }

    // Texts worth checking on every run.
    static std::vector<std::string> edgeTexts() {
        return {"",
                " ",
                ".5",
                "5.",
                "1e5",
                "2e",
                "nan",
                "inf",
                "1e400",
                "1e-400",
                "NaN(x)",
                "nan(",
                "INFINITY",
                "Infinit",
                "-0",
                "0 - 0",
                "1e308",
                "1e309",
                "1e-307",
                "1e-308",
                "1e-323",
                "1e-324",
                "4.9e-324",
                "000000000000000000001",
                "0.000000000000000000001",
                "123456789012345678901234567890",
                "1.23456789012345678901234567890",
                "9007199254740993",
                "18446744073709551615.5",
                "1e2147483647",
                "1e2147483648",
                "1e-2147483648",
                ".1e-2147483648",
                "0.01e-2147483647",
                "111111111111111111111e2147483647",
                "111111111111111111111.5e2147483647",
                "1.e-2147483648",
                std::string(200, '1') + "e2147483600",
                "." + std::string(200, '0') + "1e-2147483600",
                "e-2147483648",
                "2*e-2147483648",
                "sinh(t)",
                "atan2(a,b)",
                "log10(t)",
                "exp(1)",
                "pix",
                "exp",
                "e",
                "E",
                "2pi",
                "2 t",
                "--3",
                "+-3",
                "7e23",
                "9007199254740993e1",
                "0.1e1",
                ".1e-1",
                "1.e+2",
                "5.e",
                "1e+",
                "1e-",
                "1E5E5",
                "e5",
                std::string(127, '(') + "t" + std::string(127, ')'),
                std::string(254, '-') + "t",
                std::string(255, '-') + "t",
                std::string(250, ' ') + "t + 1",
                std::string(251, ' ') + "t + 1"};
    }

private:
    std::mt19937 rng_;

    int pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    template <class T>
    const T& oneOf(const std::vector<T>& v) {
        return v[pick(static_cast<int>(v.size()))];
    }

    std::string space() {
        static const char spaces[] = " \t\n\v\f\r";
        std::string s;
        if (chance(0.6)) return s;
        int n = pick(3) + 1;
        for (int k = 0; k < n; ++k) s.push_back(chance(0.7) ? ' ' : spaces[pick(6)]);
        return s;
    }

    std::string digits(int n) {
        std::string s;
        for (int k = 0; k < n; ++k) s.push_back(static_cast<char>('0' + (chance(0.2) ? 0 : pick(10))));
        return s;
    }

    std::string number() {
        static const std::vector<std::string> fixed = {"0",
                                                       "1",
                                                       "2",
                                                       "0.5",
                                                       ".5",
                                                       "5.",
                                                       "10",
                                                       "1e5",
                                                       "1E-5",
                                                       "2.5e3",
                                                       "nan",
                                                       "NAN",
                                                       "nan(1)",
                                                       "INF",
                                                       "Inf",
                                                       "infinity",
                                                       "1e308",
                                                       "1e309",
                                                       "1e-320",
                                                       "1e400",
                                                       "1e-400",
                                                       "0.1",
                                                       "3.14159",
                                                       "00012",
                                                       "9007199254740993",
                                                       "1e18",
                                                       "123456789012345678901"};
        if (chance(0.4)) return oneOf(fixed);
        // Integer digits (up to 25), an optional point and fraction, an
        // optional exponent; short exponents only beside long mantissas.
        std::string s = digits(chance(0.15) ? 0 : pick(chance(0.2) ? 25 : 5) + 1);
        if (chance(0.4)) s += "." + digits(pick(chance(0.2) ? 25 : 4));
        if (s.empty() || s == ".") s = "7";
        if (chance(0.3)) {
            s += chance(0.5) ? "e" : "E";
            int sign = pick(3);
            if (sign) s += sign == 1 ? "+" : "-";
            if (chance(0.15))
                s += hugeExponent();
            else if (!chance(0.1))
                s += digits(pick(3) + 1);
        }
        return s;
    }

    // Exponents at the ends of double's range and of int's, where the digit
    // counts of a long mantissa or fraction push the reader's sum over.
    std::string hugeExponent() {
        static const std::vector<std::string> ends = {
            "308",        "309",        "323",        "324",        "614",
            "615",        "1048575",    "1048576",    "1048577",    "2147483392",
            "2147483646", "2147483647", "2147483648", "4294967296", "99999999999999999999"};
        if (chance(0.3)) return std::to_string(2147483647u - static_cast<uint32_t>(pick(300)));
        return oneOf(ends);
    }

    std::string atom(int depth) {
        static const std::vector<std::string> unary = {"sinh", "cosh", "tanh",  "sin", "cos",  "tan", "asin", "acos",
                                                       "atan", "exp",  "log10", "log", "sqrt", "abs", "ceil", "floor"};
        static const std::vector<std::string> binary = {"atan2", "pow", "fmod", "min", "max", "rand"};
        static const std::vector<std::string> near = {"si", "sinh2", "lo", "log1", "ex", "atan2", "atan", "pix",
                                                      "ee", "Sin",   "PI", "x",    "y",  "E",     "Pow",  "mod"};
        switch (depth <= 0 ? pick(3) : pick(10)) {
            case 0: return number();
            case 1: return std::string(1, "abcdfgijkltwh"[pick(13)]);
            case 2: return chance(0.5) ? "pi" : "e";
            case 3: return oneOf(unary) + space() + "(" + space() + expression(depth - 1) + space() + ")";
            case 4:
                return oneOf(binary) + space() + "(" + space() + expression(depth - 1) + space() + "," + space() +
                       expression(depth - 1) + space() + ")";
            case 5: return "(" + space() + expression(depth - 1) + space() + ")";
            case 6: return std::string(1, "+-"[pick(2)]) + space() + atom(depth - 1);
            case 7: return chance(0.7) ? oneOf(near) + "(" + expression(depth - 1) + ")" : oneOf(near);
            case 8: {  // deep nesting
                int n = pick(40) + 1;
                return std::string(static_cast<std::size_t>(n), '(') + atom(0) +
                       std::string(static_cast<std::size_t>(n), ')');
            }
            default: return number();
        }
    }

    std::string expression(int depth) {
        std::string s = space() + atom(depth);
        int n = pick(4);
        for (int k = 0; k < n; ++k) s += space() + "+-*/"[pick(4)] + space() + atom(depth - 1);
        return s + space();
    }

    void damage(std::string& s) {
        static const std::string alphabet = "()+-*/,.eE0123456789 abtxnip\t";
        int edits = pick(2) + 1;
        for (int k = 0; k < edits; ++k) {
            std::size_t at = s.empty() ? 0 : static_cast<std::size_t>(pick(static_cast<int>(s.size())));
            switch (pick(3)) {
                case 0:
                    if (!s.empty()) s.erase(at, 1);
                    break;
                case 1:
                    s.insert(at, 1, alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))]);
                    break;
                default:
                    if (!s.empty()) s[at] = alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))];
            }
        }
    }
};
