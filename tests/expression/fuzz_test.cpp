// Deterministic random drivers over the inputs that come from outside: texts
// for the parser, flat data and scanned text for the Graph data. They run in
// every build, so the sanitizer build checks each access. (The libFuzzer
// targets in fuzz/ search the same inputs further where clang is available.)
#include "ArbData.h"
#include "ExpressionGenerator.h"
#include "Host.h"
#include "VemaroExpressionParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

class Bytes {
public:
    explicit Bytes(uint32_t seed) : rng_(seed) {}
    int pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
    std::string random(int maxLength) {
        static const std::string interesting = "()+-*/,.eE0123456789 \t\n\rabcdfgijkltwhnINFpisqrtlog";
        std::string s(static_cast<std::size_t>(pick(maxLength + 1)), '\0');
        for (char& c : s)
            c = pick(3) ? interesting[static_cast<std::size_t>(pick(static_cast<int>(interesting.size())))]
                        : static_cast<char>(pick(256));
        return s;
    }

private:
    std::mt19937 rng_;
};

TEST(Fuzz, ParserTakesAnyText) {
    ExpressionGenerator gen(7);
    Bytes bytes(11);
    const ExpressionVariables vars = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0.5, 640, 360};
    int valid = 0;
    for (int n = 0; n < 30000; ++n) {
        std::string text = n % 3 ? gen.text() : bytes.random(n % 7 ? 40 : 400);
        Expression a, b;
        bool okA = parseExpression(text, a);
        bool okB = parseExpression(text, b);
        ASSERT_EQ(okA, okB);
        if (!okA) continue;
        ++valid;
        double va = a.evaluate(vars), vb = b.evaluate(vars);
        ASSERT_TRUE(std::memcmp(&va, &vb, sizeof va) == 0 || (std::isnan(va) && std::isnan(vb))) << text;
    }
    EXPECT_GT(valid, 1000);
}

TEST(Fuzz, GraphDataTakesAnyFlatDataAndText) {
    hostsim::Host host;
    ASSERT_TRUE(host.load());
    hostsim::ArbData& arb = host.get<hostsim::ArbData>();
    Bytes bytes(13);
    auto fieldsTerminated = [&](PF_ArbitraryH h) {
        const char* p = static_cast<const char*>(*h);
        return strnlen(p, 256) < 256 && strnlen(p + 256, 256) < 256;
    };
    for (int n = 0; n < 3000; ++n) {
        // Flat data of any length and content, in a block of exactly that size.
        std::string raw = bytes.random(n % 5 ? 600 : 40);
        std::vector<char> flat(raw.begin(), raw.end());
        PF_ArbitraryH h = nullptr;
        PF_Err err = arb.unflatten(host, flat.empty() ? "" : flat.data(), static_cast<A_u_long>(flat.size()), &h);
        ASSERT_EQ(err != PF_Err_NONE, flat.size() > 512);
        if (h) {
            ASSERT_TRUE(fieldsTerminated(h));
        }

        // Scanned text, not NUL-terminated: only kept characters arrive.
        std::vector<char> text(raw.begin(), raw.end());
        PF_ArbitraryH s = nullptr;
        ASSERT_EQ(arb.scan(host, text.empty() ? "" : text.data(), static_cast<A_u_long>(text.size()), &s), PF_Err_NONE);
        ASSERT_TRUE(fieldsTerminated(s));
        for (const std::string& field : {hostsim::ArbData::x(host, s), hostsim::ArbData::y(host, s)})
            ASSERT_EQ(
                field.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-*/()., "),
                std::string::npos);

        // What is printed scans back to an equal value.
        char printed[512];
        ASSERT_EQ(arb.print(host, 0, s, printed, sizeof printed), PF_Err_NONE);
        PF_ArbitraryH back = nullptr;
        ASSERT_EQ(arb.scan(host, printed, sizeof printed, &back), PF_Err_NONE);
        PF_ArbCompareResult same = -1;
        ASSERT_EQ(arb.compare(host, s, back, &same), PF_Err_NONE);
        ASSERT_EQ(same, PF_ArbCompare_EQUAL);
        for (PF_ArbitraryH d : {h, s, back})
            if (d) arb.dispose(host, d);
    }
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
    EXPECT_EQ(host.handles().live(), 0);
}

}  // namespace
