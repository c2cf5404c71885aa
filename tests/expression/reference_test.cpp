// Differential test: the parser and evaluator against an independent reference
// recognizer and evaluator (tests/expression/reference.py) over generated
// texts. Validity must agree exactly, values bit for bit (any NaN with NaN).
#include "ExpressionGenerator.h"
#include "VemaroExpressionParser.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string bitsOf(double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(u));
    return buf;
}

// Runs the reference over the texts; one answer line per text.
std::vector<std::string> runReference(const ExpressionVariables& vars, const std::vector<std::string>& texts) {
    const std::string dir = testing::TempDir();
    // Named per process: other builds' tests may run at the same time.
    const std::string tag = std::to_string(getpid());
    const std::string in = dir + "/vemaro_reference_in_" + tag + ".txt";
    const std::string out = dir + "/vemaro_reference_out_" + tag + ".txt";
    {
        std::ofstream f(in, std::ios::binary);
        const double* v = &vars.a;
        for (int n = 0; n < 13; ++n) f << bitsOf(v[n]) << (n < 12 ? " " : "\n");
        for (const std::string& t : texts) f << "x" << hexOf(t) << "\n";
    }
    const std::string cmd = "python3 " VEMARO_SOURCE_DIR "/tests/expression/reference.py < " + in + " > " + out;
    int rc = std::system(cmd.c_str());
    EXPECT_EQ(rc, 0) << "the reference could not run: " << cmd;
    std::vector<std::string> answers;
    std::ifstream f(out);
    for (std::string line; std::getline(f, line);) answers.push_back(line);
    std::remove(in.c_str());
    std::remove(out.c_str());
    return answers;
}

std::string answerOf(const std::string& text, const ExpressionVariables& vars) {
    Expression e;
    if (!parseExpression(text, e)) return "0";
    return "1 " + bitsOf(e.evaluate(vars));
}

void compareWithReference(const ExpressionVariables& vars, const std::vector<std::string>& texts) {
    std::vector<std::string> expected = runReference(vars, texts);
    ASSERT_EQ(expected.size(), texts.size());
    int valid = 0, failures = 0;
    for (std::size_t n = 0; n < texts.size(); ++n) {
        std::string got = answerOf(texts[n], vars);
        bool same = got == expected[n];
        // Any NaN matches any NaN.
        if (!same && got.size() > 2 && expected[n].size() > 2) {
            double a, b;
            uint64_t ua = std::strtoull(got.c_str() + 2, nullptr, 16),
                     ub = std::strtoull(expected[n].c_str() + 2, nullptr, 16);
            std::memcpy(&a, &ua, sizeof a);
            std::memcpy(&b, &ub, sizeof b);
            same = std::isnan(a) && std::isnan(b);
        }
        valid += got[0] == '1';
        if (!same && ++failures <= 20)
            ADD_FAILURE() << "text [" << texts[n] << "]: parser/evaluator " << got << ", reference " << expected[n];
    }
    EXPECT_EQ(failures, 0);
    // The generated set must exercise both sides.
    EXPECT_GT(valid, static_cast<int>(texts.size()) / 4);
    EXPECT_LT(valid, static_cast<int>(texts.size()) * 9 / 10);
}

TEST(ExpressionReference, GeneratedTextsAgreeWithTheReference) {
    ExpressionGenerator gen(20261209);
    std::vector<std::string> texts = ExpressionGenerator::edgeTexts();
    for (int n = 0; n < 20000; ++n) texts.push_back(gen.text());
    // Zeros of both signs and a negative value make sign-of-zero and domain
    // cases common.
    ExpressionVariables vars = {1.5, -2.25, 3.0, -0.0, 7.0, 0.0, 11.0, 0.1, 1e300, -1e-300, 0.3, 640.0, 360.0};
    compareWithReference(vars, texts);
}

}  // namespace
