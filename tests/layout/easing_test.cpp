// Easing against the standard easings.net formulas (c1 = 1.70158 and the
// constants derived from it), the Out/InOut identities, exact ends and clamping.
#include "VemaroEasing.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double pi = std::acos(-1.0);
const double c1 = 1.70158;
const double c2 = c1 * 1.525;
const double c3 = c1 + 1.0;
const double c4 = (2.0 * pi) / 3.0;
const double c5 = (2.0 * pi) / 4.5;

double bounceOut(double x) {
    const double n1 = 7.5625, d1 = 2.75;
    if (x < 1.0 / d1) return n1 * x * x;
    if (x < 2.0 / d1) return n1 * (x - 1.5 / d1) * (x - 1.5 / d1) + 0.75;
    if (x < 2.5 / d1) return n1 * (x - 2.25 / d1) * (x - 2.25 / d1) + 0.9375;
    return n1 * (x - 2.625 / d1) * (x - 2.625 / d1) + 0.984375;
}

// The reference curves, written as easings.net gives them (x in (0, 1)).
double reference(int type, int mode, double x) {
    const bool in = mode == Easing::In, out = mode == Easing::Out;
    switch (type) {
        case Easing::Quad:
            return in ? x * x : out ? 1 - (1 - x) * (1 - x) : x < 0.5 ? 2 * x * x : 1 - std::pow(-2 * x + 2, 2) / 2;
        case Easing::Cubic:
            return in        ? x * x * x
                   : out     ? 1 - std::pow(1 - x, 3)
                   : x < 0.5 ? 4 * x * x * x
                             : 1 - std::pow(-2 * x + 2, 3) / 2;
        case Easing::Quart:
            return in        ? std::pow(x, 4)
                   : out     ? 1 - std::pow(1 - x, 4)
                   : x < 0.5 ? 8 * std::pow(x, 4)
                             : 1 - std::pow(-2 * x + 2, 4) / 2;
        case Easing::Quint:
            return in        ? std::pow(x, 5)
                   : out     ? 1 - std::pow(1 - x, 5)
                   : x < 0.5 ? 16 * std::pow(x, 5)
                             : 1 - std::pow(-2 * x + 2, 5) / 2;
        case Easing::Expo:
            return in        ? std::pow(2, 10 * x - 10)
                   : out     ? 1 - std::pow(2, -10 * x)
                   : x < 0.5 ? std::pow(2, 20 * x - 10) / 2
                             : (2 - std::pow(2, -20 * x + 10)) / 2;
        case Easing::Circ:
            return in        ? 1 - std::sqrt(1 - x * x)
                   : out     ? std::sqrt(1 - (x - 1) * (x - 1))
                   : x < 0.5 ? (1 - std::sqrt(1 - (2 * x) * (2 * x))) / 2
                             : (std::sqrt(1 - (-2 * x + 2) * (-2 * x + 2)) + 1) / 2;
        case Easing::Sine:
            return in ? 1 - std::cos(x * pi / 2) : out ? std::sin(x * pi / 2) : -(std::cos(pi * x) - 1) / 2;
        case Easing::Bounce:
            return in        ? 1 - bounceOut(1 - x)
                   : out     ? bounceOut(x)
                   : x < 0.5 ? (1 - bounceOut(1 - 2 * x)) / 2
                             : (1 + bounceOut(2 * x - 1)) / 2;
        case Easing::Back:
            return in        ? c3 * x * x * x - c1 * x * x
                   : out     ? 1 + c3 * std::pow(x - 1, 3) + c1 * std::pow(x - 1, 2)
                   : x < 0.5 ? (std::pow(2 * x, 2) * ((c2 + 1) * 2 * x - c2)) / 2
                             : (std::pow(2 * x - 2, 2) * ((c2 + 1) * (x * 2 - 2) + c2) + 2) / 2;
        case Easing::Elastic:
            return in        ? -std::pow(2, 10 * x - 10) * std::sin((x * 10 - 10.75) * c4)
                   : out     ? std::pow(2, -10 * x) * std::sin((x * 10 - 0.75) * c4) + 1
                   : x < 0.5 ? -(std::pow(2, 20 * x - 10) * std::sin((20 * x - 11.125) * c5)) / 2
                             : (std::pow(2, -20 * x + 10) * std::sin((20 * x - 11.125) * c5)) / 2 + 1;
        default: return x;
    }
}

const int kSteps = 2000;

}  // namespace

TEST(Easing, AllThirtyThreeCurvesMatchTheStandardFormulas) {
    for (int type = Easing::Linear; type <= Easing::Elastic; ++type) {
        for (int mode = Easing::In; mode <= Easing::InOut; ++mode) {
            const Easing e{type, mode};
            for (int k = 1; k < kSteps; ++k) {
                const double t = double(k) / kSteps;
                ASSERT_NEAR(e.get(t), reference(type, mode, t), 1e-12)
                    << "type " << type << " mode " << mode << " t " << t;
            }
        }
    }
}

TEST(Easing, OutMirrorsInAndInOutIsPointSymmetric) {
    for (int type = Easing::Quad; type <= Easing::Elastic; ++type) {
        const Easing in{type, Easing::In}, out{type, Easing::Out}, inOut{type, Easing::InOut};
        for (int k = 1; k < kSteps; ++k) {
            const double t = double(k) / kSteps;
            ASSERT_NEAR(out.get(t), 1.0 - in.get(1.0 - t), 1e-12) << "type " << type << " t " << t;
            ASSERT_NEAR(inOut.get(t) + inOut.get(1.0 - t), 1.0, 1e-12) << "type " << type << " t " << t;
        }
        EXPECT_NEAR(inOut.get(0.5), 0.5, 1e-15) << type;
    }
}

TEST(Easing, EndsAreExactAndInputIsClamped) {
    for (int type = Easing::Linear; type <= Easing::Elastic; ++type) {
        for (int mode = Easing::In; mode <= Easing::InOut; ++mode) {
            const Easing e{type, mode};
            EXPECT_EQ(e.get(0.0), 0.0);
            EXPECT_EQ(e.get(1.0), 1.0);
            EXPECT_EQ(e.get(-0.5), 0.0);
            EXPECT_EQ(e.get(1.5), 1.0);
            EXPECT_EQ(e.get(-INFINITY), 0.0);
            EXPECT_EQ(e.get(INFINITY), 1.0);
            EXPECT_EQ(e.get(NAN), 0.0);
        }
    }
}

TEST(Easing, HandComputedValuesAndOvershoot) {
    EXPECT_NEAR((Easing{Easing::Back, Easing::In}.get(0.2)), 0.04 * (0.540316 - 1.70158), 1e-15);
    EXPECT_NEAR((Easing{Easing::Bounce, Easing::Out}.get(0.5)), 0.765625, 1e-15);
    EXPECT_GT((Easing{Easing::Back, Easing::Out}.get(0.8)), 1.0);
    EXPECT_LT((Easing{Easing::Elastic, Easing::In}.get(0.9)), 0.0);
    EXPECT_GT((Easing{Easing::Elastic, Easing::Out}.get(0.1)), 1.0);
    for (int mode = Easing::In; mode <= Easing::InOut; ++mode)
        for (double t : {0.001, 0.25, 0.7, 0.999}) EXPECT_EQ((Easing{Easing::Linear, mode}.get(t)), t);
}

TEST(Easing, UnknownTypeOrModeEasesLinearly) {
    const Easing cases[] = {{0, 1}, {12, 2}, {-3, 3}, {Easing::Quad, 0}, {Easing::Elastic, 4}, {Easing::Back, -1}};
    for (const Easing& e : cases) {
        EXPECT_EQ(e.get(0.3), 0.3) << e.type << "/" << e.mode;
        EXPECT_EQ(e.get(2.0), 1.0);
    }
}
