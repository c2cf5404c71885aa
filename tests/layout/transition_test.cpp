// Transition against its closed form clamp(c * L - i * delay), the folding of
// the completion by mode, periodicity of the continuous modes and reverse
// symmetry.
#include "VemaroTransition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

// Single pass, written directly: index i starts once c * L exceeds i * delay.
double closedForm(double c, double delay, int count, double i) {
    const double L = (count - 1) * delay + 1.0;
    return clamp01(c * L - i * delay);
}

}  // namespace

TEST(Transition, SinglePassMatchesClosedForm) {
    for (int count : {1, 2, 5, 40}) {
        for (double delay : {0.0, 0.1, 0.25, 1.0, 7.5}) {
            for (double c : {0.0, 0.05, 0.3, 0.5, 0.77, 1.0}) {
                const Transition t(Transition::OneShot, c, delay, 0.0, count, false);
                const Transition r(Transition::OneShot, c, delay, 0.0, count, true);
                for (double i = 0; i <= count - 1; i += 0.5) {
                    ASSERT_NEAR(t.get(i), closedForm(c, delay, count, i), 1e-12)
                        << count << " " << delay << " " << c << " " << i;
                    ASSERT_NEAR(r.get(i), closedForm(c, delay, count, (count - 1) - i), 1e-12);
                    ASSERT_EQ(r.get(i), t.get((count - 1) - i));
                }
                // At completion 1 every index has finished.
                if (c == 1.0) {
                    EXPECT_NEAR(t.get(count - 1), 1.0, 1e-15);
                }
            }
        }
    }
}

TEST(Transition, HandComputedCases) {
    const Transition t(Transition::OneShot, 0.5, 0.25, 0.0, 5, false);
    EXPECT_EQ(t.get(0), 1.0);
    EXPECT_EQ(t.get(2), 0.5);
    EXPECT_EQ(t.get(4), 0.0);
    const Transition r(Transition::OneShot, 0.5, 0.25, 0.0, 5, true);
    EXPECT_EQ(r.get(0), 0.0);
    EXPECT_EQ(r.get(4), 1.0);

    // Delay 0: everything moves together.
    const Transition flat(Transition::OneShot, 0.4, 0.0, 0.0, 10, false);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(flat.get(i), 0.4);

    // A single index gets the folded completion, also reversed.
    EXPECT_EQ(Transition(Transition::OneShot, 0.6, 0.3, 0.0, 1, true).get(0), 0.6);
}

TEST(Transition, CompletionFoldsByMode) {
    struct Case {
        int mode;
        double completion;
        double folded;
        bool reverseIn;
        bool reverseOut;
    };
    const Case cases[] = {
        {Transition::OneShot, -0.3, 0.0, false, false},
        {Transition::OneShot, 1.7, 1.0, false, false},
        {Transition::Loop, 1.25, 0.25, false, false},
        {Transition::Loop, -0.25, 0.75, false, false},
        {Transition::Pingpong, 1.25, 0.75, false, false},
        {Transition::Pingpong, -0.5, 0.5, true, true},
        {Transition::Pingpong2, 1.25, 0.75, true, false},
        {Transition::Pingpong2, 1.25, 0.75, false, true},
        {Transition::Pingpong2, 0.25, 0.25, true, true},
        {Transition::ContinuousLoop, 3.2, 3.2, false, false},
        {Transition::ContinuousPingpong, -7.5, -7.5, false, false},
        // The separator and unknown items behave as One Shot.
        {5, 1.7, 1.0, false, false},
        {0, -2.0, 0.0, false, false},
        {42, 0.5, 0.5, false, false},
    };
    for (const Case& c : cases) {
        const Transition t(c.mode, c.completion, 0.1, 0.0, 4, c.reverseIn);
        EXPECT_DOUBLE_EQ(t.completion, c.folded) << c.mode << " " << c.completion;
        EXPECT_EQ(t.reverse != 0, c.reverseOut) << c.mode << " " << c.completion;
        EXPECT_EQ(t.cyclic != 0, c.mode == 6 || c.mode == 7);
    }
    // Loop behaves as its folded completion.
    const Transition a(Transition::Loop, 1.25, 0.2, 0.0, 6, false), b(Transition::OneShot, 0.25, 0.2, 0.0, 6, false);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(a.get(i), b.get(i), 1e-15);
}

TEST(Transition, ContinuousModesArePeriodicWaves) {
    for (double rest : {0.0, 0.3, 1.0}) {
        for (double c : {-1.31, 0.07, 0.23, 0.61, 2.93}) {
            const Transition loop(Transition::ContinuousLoop, c, 0.13, rest, 8, false);
            const Transition loopNext(Transition::ContinuousLoop, c + 1.0, 0.13, rest, 8, false);
            const Transition pp(Transition::ContinuousPingpong, c, 0.13, rest, 8, false);
            const Transition ppNext(Transition::ContinuousPingpong, c + 2.0, 0.13, rest, 8, false);
            const Transition shifted(Transition::ContinuousLoop, c + 0.13, 0.13, rest, 8, false);
            for (int i = 0; i < 8; ++i) {
                EXPECT_NEAR(loop.get(i), loopNext.get(i), 1e-9);
                EXPECT_NEAR(pp.get(i), ppNext.get(i), 1e-9);
                // The wave moves one index per delay of completion.
                if (i < 7) {
                    EXPECT_NEAR(shifted.get(i + 1), loop.get(i), 1e-9);
                }
                EXPECT_GE(loop.get(i), 0.0);
                EXPECT_LE(loop.get(i), 1.0);
            }
        }
    }
    // Completion 3.2 is 0.2 in Continuous Loop.
    const Transition a(Transition::ContinuousLoop, 3.2, 0.1, 0.5, 5, false),
        b(Transition::ContinuousLoop, 0.2, 0.1, 0.5, 5, false);
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(a.get(i), b.get(i), 1e-12);
}

TEST(Transition, ContinuousShapesAndRest) {
    // width = 1 - rest = 0.5: rises over half a period, then rests at 1.
    const Transition loop(Transition::ContinuousLoop, 0.0, 0.0, 0.5, 1, false);
    EXPECT_EQ(Transition(Transition::ContinuousLoop, 0.25, 0.0, 0.5, 1, false).get(0), 0.5);
    EXPECT_EQ(Transition(Transition::ContinuousLoop, 0.75, 0.0, 0.5, 1, false).get(0), 1.0);
    EXPECT_EQ(loop.get(0), 0.0);
    // Pingpong: rise, rest at 1, fall over the same width, rest at 0.
    const double expected[][2] = {{0.25, 0.5}, {0.9, 1.0}, {1.25, 0.5}, {1.75, 0.0}};
    for (const auto& e : expected)
        EXPECT_NEAR(Transition(Transition::ContinuousPingpong, e[0], 0.0, 0.5, 1, false).get(0), e[1], 1e-15) << e[0];
    // Rest 100 %: the width floor of 1e-6 makes it jump to 1 at once.
    const Transition jump(Transition::ContinuousLoop, 0.01, 0.0, 1.0, 1, false);
    EXPECT_EQ(jump.width, 1e-6);
    EXPECT_EQ(jump.get(0), 1.0);
    // Reverse mirrors the indices in the continuous modes too.
    const Transition f(Transition::ContinuousPingpong, 0.4, 0.2, 0.1, 6, false),
        r(Transition::ContinuousPingpong, 0.4, 0.2, 0.1, 6, true);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.get(i), f.get(5 - i));
}

TEST(Transition, NonFiniteInputStaysInRange) {
    for (int mode : {1, 2, 3, 4, 6, 7}) {
        for (double c : {NAN, INFINITY, -INFINITY}) {
            const Transition t(mode, c, 0.1, 0.0, 4, false);
            for (double i : {0.0, 2.0, double(NAN)}) {
                const double v = t.get(i);
                EXPECT_TRUE(v >= 0.0 && v <= 1.0) << mode << " " << c << " " << i << " -> " << v;
            }
        }
    }
}
