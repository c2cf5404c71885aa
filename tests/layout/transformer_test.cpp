// Transformer against hand-computed cases and an independent homogeneous
// matrix product T(position) R(angle) S(scale) T(-anchor).
#include "VemaroTransformer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

namespace {

using Mat = std::array<std::array<double, 3>, 3>;

Mat mul(const Mat& a, const Mat& b) {
    Mat r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
    return r;
}

Mat translate(double x, double y) { return {{{1, 0, x}, {0, 1, y}, {0, 0, 1}}}; }
Mat rotate(double a) { return {{{std::cos(a), -std::sin(a), 0}, {std::sin(a), std::cos(a), 0}, {0, 0, 1}}}; }
Mat scaleBy(double s) { return {{{s, 0, 0}, {0, s, 0}, {0, 0, 1}}}; }

Vector apply(const Mat& m, const Vector& p) {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2], m[1][0] * p.x + m[1][1] * p.y + m[1][2]};
}

}  // namespace

TEST(Transformer, IdentityLeavesPointsAlone) {
    const Transformer t({12.5, -3}, {12.5, -3}, 1.0, 0.0);
    for (Vector p : {Vector{0, 0}, Vector{-7.25, 1e6}, Vector{3, 4}}) {
        EXPECT_EQ(t.transform(p), p);
        EXPECT_EQ(t.transform_inv(p), p);
    }
}

TEST(Transformer, QuarterTurnScaledByTwo) {
    const Transformer t({0, 0}, {0, 0}, 2.0, M_PI / 2);
    const Vector a = t.transform({1, 0});
    EXPECT_NEAR(a.x, 0.0, 1e-15);
    EXPECT_EQ(a.y, 2.0);
    const Vector b = t.transform_inv({0, 2});
    EXPECT_EQ(b.x, 1.0);
    EXPECT_NEAR(b.y, 0.0, 1e-15);
    // y points down on the layer: a positive angle turns (1, 0) towards +y,
    // clockwise on screen.
    const Transformer u({10, 10}, {100, 50}, 1.0, M_PI / 2);
    const Vector c = u.transform({20, 10});
    EXPECT_NEAR(c.x, 100.0, 1e-12);
    EXPECT_NEAR(c.y, 60.0, 1e-12);
}

TEST(Transformer, MatchesHomogeneousMatrixAndRoundTrips) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> coord(-2000, 2000), angle(-20, 20), scale(0.01, 8);
    for (int n = 0; n < 2000; ++n) {
        const Vector anchor{coord(rng), coord(rng)}, position{coord(rng), coord(rng)};
        const double s = scale(rng), a = angle(rng);
        const Transformer t(anchor, position, s, a);
        const Mat m =
            mul(translate(position.x, position.y), mul(rotate(a), mul(scaleBy(s), translate(-anchor.x, -anchor.y))));
        const Vector p{coord(rng), coord(rng)};
        const Vector q = t.transform(p);
        const Vector expected = apply(m, p);
        ASSERT_NEAR(q.x, expected.x, 1e-8);
        ASSERT_NEAR(q.y, expected.y, 1e-8);
        const Vector back = t.transform_inv(q);
        ASSERT_NEAR(back.x, p.x, 1e-8);
        ASSERT_NEAR(back.y, p.y, 1e-8);
        // Distances scale by the factor and nothing else.
        const Vector p2{coord(rng), coord(rng)};
        const Vector q2 = t.transform(p2);
        ASSERT_NEAR(std::hypot(q2.x - q.x, q2.y - q.y), s * std::hypot(p2.x - p.x, p2.y - p.y), 1e-7);
    }
}
