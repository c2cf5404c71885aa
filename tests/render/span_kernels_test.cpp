// The circle and line edge kernels at every vector level the processor has:
// the same random inputs give the same alphas as the plain per-pixel formulas,
// to the bit, and whole drawings give the same bytes.
#include "DrawCircle.h"
#include "VemaroBlend.h"
#include "VemaroSimd.h"
#include "VemaroSpanKernels.h"
#include "line_fixture.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using hostsim::Depth;
using hostsim::World;

namespace {

// The depth's alpha of a value, as the drawers convert it.
float alphaOf(double full, double a) {
    if (full == 255.0) return raster::Depth<PF_Pixel>::alpha(a);
    if (full == 32768.0) return raster::Depth<PF_Pixel16>::alpha(a);
    return raster::Depth<PF_PixelFloat>::alpha(a);
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Rng {
    std::mt19937_64 g{2024};
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(g); }
    int below(int n) { return static_cast<int>(g() % static_cast<uint64_t>(n)); }
    // Mostly plain values; now and then one on an edge's half-pixel ends,
    // exactly 0, or another value a test meets (a bound, 1).
    double value(double lo, double hi, double edge, double other = 1.0) {
        switch (below(12)) {
            case 0: return edge - 0.5;
            case 1: return edge + 0.5;
            case 2: return 0.0;
            case 3: return other;
            default: return uniform(lo, hi);
        }
    }
};

constexpr double kFulls[] = {255.0, 32768.0, 0.0};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

// Random runs, odd lengths included (the vector tails), against the formula
// of each pixel written out with the drawers' own coverage and alpha helpers.
TEST(SpanKernels, CircleFillAlphasAreThePerPixelFormula) {
    Rng rng;
    atEveryLevel([&] {
        const spans::Kernels& k = spans::kernels();
        for (int trial = 0; trial < 3000; ++trial) {
            const double R = rng.uniform(0.0, 40.0), r = rng.value(-1.0, R, R * 0.5);
            const double opacity = trial % 97 == 0 ? kNaN : rng.value(0.0, 1.2, 1.0);
            spans::CircleFill f{R,
                                r,
                                raster::clamp01(2 * (R - r)),
                                opacity,
                                (r - 0.5) / std::sqrt(2.0),
                                (R + 0.5) * (R + 0.5),
                                kFulls[trial % 3]};
            const A_long n = 1 + rng.below(40);
            std::vector<double> sq(n), dist(n);
            for (A_long c = 0; c < n; ++c) {
                dist[c] = rng.value(0.0, R + 2.0, R, f.innerSafe);
                sq[c] = dist[c] * dist[c];
            }
            const double ady = rng.value(0.0, R + 1.0, r), ady2 = ady * ady;
            // Pixels of one row (half of them crossing the hole), and pixels
            // of several rows in one call, each with its own row's square.
            std::vector<double> rowSq(n);
            for (A_long c = 0; c < n; ++c) {
                const double a = rng.value(0.0, R + 1.0, R);
                rowSq[c] = a * a;
            }
            const bool inHole = trial % 2 == 0;
            std::vector<float> alpha(n + spans::kPad);
            for (bool rows : {false, true}) {
                if (rows)
                    k.circleFillRows(f, sq.data(), rowSq.data(), n, alpha.data());
                else
                    k.circleFill(f, sq.data(), dist.data(), n, ady2, inHole, alpha.data());
                for (A_long c = 0; c < n; ++c) {
                    const double d2 = sq[c] + (rows ? rowSq[c] : ady2);
                    float want = 0.0f;
                    if (!(d2 > f.bound) && !(!rows && inHole && dist[c] < f.innerSafe)) {
                        const double d = std::sqrt(d2);
                        want = alphaOf(f.full, raster::covOut(d, R) * f.ringFactor * raster::covIn(d, r) * opacity);
                    }
                    ASSERT_TRUE(sameBits(alpha[c], want)) << (rows ? "rows, " : "") << "trial " << trial << " column "
                                                          << c << ": " << alpha[c] << " vs " << want;
                }
            }
        }
    });
}

TEST(SpanKernels, LineAlphasAreThePerPixelFormula) {
    using raster::covOut;
    Rng rng;
    atEveryLevel([&] {
        const spans::Kernels& k = spans::kernels();
        for (int trial = 0; trial < 3000; ++trial) {
            // Axis-aligned now and then, where distances fall on the edges.
            const double phase = trial % 4 == 0 ? 0.0 : rng.uniform(0.0, 7.0), L = rng.uniform(0.0, 30.0),
                         T = rng.uniform(0.0, 8.0);
            const double w = trial % 5 == 0 ? 0.0 : rng.uniform(0.0, 4.0);
            const double opacity = trial % 101 == 0 ? kNaN : rng.value(0.0, 1.2, 1.0);
            const int mode = 1 + trial % 3;
            spans::LineEdge e{
                std::cos(phase), std::sin(phase),         L,   T, L + w, T + w, raster::clamp01(L < T ? L : T),
                opacity,         kFulls[(trial / 3) % 3], mode};
            const A_long n = 1 + rng.below(40);
            std::vector<double> off(n);
            for (A_long c = 0; c < n; ++c) off[c] = rng.value(-35.0, 35.0, L);
            const double dy = rng.value(-35.0, 35.0, T), bu = -e.a2 * dy, bv = e.a0 * dy;
            std::vector<float> alpha(n + spans::kPad), alpha2(n + spans::kPad);
            k.line(e, off.data(), n, bu, bv, alpha.data(), alpha2.data());
            for (A_long c = 0; c < n; ++c) {
                const double u = std::fabs(e.a0 * off[c] + bu), v = std::fabs(e.a2 * off[c] + bv);
                float want = 0.0f, want2 = 0.0f;
                if (mode == 1) want = alphaOf(e.full, covOut(u, L) * e.thin * covOut(v, T) * opacity);
                if (mode == 2)
                    want = alphaOf(e.full,
                                   (1.0 - covOut(u, L) * covOut(v, T)) * covOut(u, e.Ls) * covOut(v, e.Ts) * opacity);
                if (mode == 3) {
                    want = alphaOf(e.full, covOut(u, L) * covOut(v, T));
                    want2 = alphaOf(e.full, covOut(u, e.Ls) * covOut(v, e.Ts));
                    ASSERT_TRUE(sameBits(alpha2[c], want2)) << "trial " << trial << " column " << c;
                }
                ASSERT_TRUE(sameBits(alpha[c], want))
                    << "trial " << trial << " mode " << mode << " column " << c << ": " << alpha[c] << " vs " << want;
            }
        }
    });
}

namespace {

// Random circles and lines of every fill mode, blend mode and quality over a
// background of transparent, opaque and partly transparent runs.
class SpanDrawings : public RenderFixture {
protected:
    // The same drawing at every level; each compared with the plain level's.
    template <class Draw>
    void compare(Depth depth, Draw draw) {
        World plain(150, 110, depth);
        fillWithRuns(plain, 7);
        simd::setLevelCap(simd::Level::Portable);
        draw(plain);
        atEveryLevel([&] {
            World w(150, 110, depth);
            fillWithRuns(w, 7);
            draw(w);
            ASSERT_TRUE(sameWorld(w, plain));
        });
    }
};

Color randomColor(Rng& rng) {
    return {static_cast<float>(rng.uniform(0.0, 1.0)), static_cast<float>(rng.uniform(0.0, 1.0)),
            static_cast<float>(rng.uniform(0.0, 1.0)), static_cast<float>(rng.uniform(0.0, 1.0))};
}

}  // namespace

TEST_F(SpanDrawings, CirclesAreTheSameAtEveryLevel) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE("depth " + std::to_string(static_cast<int>(depth)));
        compare(depth, [&](World& w) {
            Rng rng;
            for (int k = 0; k < 90; ++k) {
                CircleDrawer::Pattern p = circle(
                    rng.uniform(-20, 170), rng.uniform(-20, 130), k % 9 == 0 ? rng.uniform(0, 1.5) : rng.uniform(0, 70),
                    1 + k % 3, k % 4 == 0 ? rng.uniform(0, 0.98) : 0.0, rng.uniform(0, 6), rng.uniform(0.2, 1.0));
                p.fill = randomColor(rng);
                p.stroke = randomColor(rng);
                p.blendMode = 1 + k % 15;
                ASSERT_EQ(drawCircle(&in, *suites, w, p, k % 11 == 5), PF_Err_NONE);
            }
        });
    }
}

TEST_F(SpanDrawings, LinesAreTheSameAtEveryLevel) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE("depth " + std::to_string(static_cast<int>(depth)));
        compare(depth, [&](World& w) {
            Rng rng;
            for (int k = 0; k < 90; ++k) {
                LineDrawer::Pattern p =
                    line(rng.uniform(-20, 170), rng.uniform(-20, 130), k % 7 == 0 ? 0.25 : rng.uniform(0, 120),
                         k % 5 == 0 ? rng.uniform(0, 1) : rng.uniform(0, 25), rng.uniform(0, 7), 1 + k % 3,
                         k % 6 == 0 ? 0.0 : rng.uniform(0, 5), rng.uniform(0.2, 1.0));
                p.fill = randomColor(rng);
                p.stroke = randomColor(rng);
                p.blendMode = 1 + k % 15;
                ASSERT_EQ(drawLine(&in, *suites, w, p, k % 11 == 5), PF_Err_NONE);
            }
        });
    }
}

TEST(SpanKernels, CircleStrokeAlphasAreThePerPixelRule) {
    using raster::covIn;
    using raster::covOut;
    Rng rng;
    atEveryLevel([&] {
        const spans::Kernels& k = spans::kernels();
        for (int trial = 0; trial < 3000; ++trial) {
            const double R = rng.uniform(0.0, 40.0), r = trial % 7 == 0 ? R - 0.05 : rng.value(-1.0, R, R * 0.5);
            const double w = trial % 9 == 0 ? 0.0 : rng.uniform(0.0, 6.0), s = r - w, S = R + w;
            const double opacity = trial % 97 == 0 ? kNaN : rng.value(0.0, 1.2, 1.0);
            const spans::CircleStroke c{R,
                                        r,
                                        s,
                                        S,
                                        R > 0.001 ? raster::clamp01(2 * (R - r)) : 0.0,
                                        w != 0.0 ? raster::clamp01(2 * (S - s)) : 0.0,
                                        opacity,
                                        (S + 0.5) * (S + 0.5),
                                        kFulls[trial % 3],
                                        trial % 2 == 0,
                                        R - r < 0.1};
            const A_long n = 1 + rng.below(40);
            std::vector<double> sq(n);
            for (double& v : sq) {
                const double d = rng.value(0.0, S + 2.0, trial % 4 < 2 ? R : r, S + 0.5);
                v = d * d;
            }
            const double dy = rng.value(0.0, S + 1.0, R), dy2 = dy * dy;
            std::vector<float> alpha(n + spans::kPad), alpha2(n + spans::kPad);
            k.circleStroke(c, sq.data(), n, dy2, alpha.data(), alpha2.data());
            for (A_long i = 0; i < n; ++i) {
                const double d2 = sq[i] + dy2, d = std::sqrt(d2);
                float want = 0.0f, want2 = 0.0f;
                if (d2 > c.bound) {
                } else if (c.strokeOnly) {
                    double a = 0.0, b = 0.0;
                    if (c.thinRing)
                        a = covOut(d, S), b = covIn(d, s);
                    else if (d > R - 0.5)
                        a = covOut(d, S), b = covIn(d, R);
                    else if (d < r + 0.5)
                        a = covOut(d, r), b = covIn(d, s);
                    want = alphaOf(c.full, a * b * c.strokeFactor * opacity);
                } else {
                    const double f = covOut(d, R) * c.ringFactor * covIn(d, r);
                    if (f > 0.999999) {
                        want = alphaOf(c.full, f * opacity);
                        want2 = -1.0f;
                    } else {
                        want = alphaOf(c.full, f);
                        want2 = alphaOf(c.full, covOut(d, S) * c.strokeFactor * covIn(d, s));
                    }
                }
                ASSERT_TRUE(sameBits(alpha[i], want)) << "trial " << trial << " column " << i;
                if (!c.strokeOnly) {
                    ASSERT_TRUE(sameBits(alpha2[i], want2)) << "trial " << trial << " column " << i;
                }
            }
        }
    });
}

namespace {

// The stroke rule of each pixel of the region, written out plainly: every
// pixel within the outer bound visited and blended.
template <class P>
void plainStroke(World& w, const CircleDrawer& d) {
    using D = raster::Depth<P>;
    using raster::covIn;
    using raster::covOut;
    const CircleDrawer::Pattern& p = *d.pattern;
    const double R = p.radius, r = p.innerRadius * (R + 0.5) - 0.5, s = r - p.strokeWidth, S = R + p.strokeWidth;
    const double ring = R > 0.001 ? raster::clamp01(2 * (R - r)) : 0.0;
    const double strokeFactor = p.strokeWidth != 0.0 ? raster::clamp01(2 * (S - s)) : 0.0;
    const BlendFunc<P> blend = blendFunction<P>(p.blendMode);
    P fill = D::fromColor(p.fill), stroke = D::fromColor(p.stroke);
    for (A_long row = d.region.top; row < d.region.bottom; ++row)
        for (A_long c = d.region.left; c < d.region.right; ++c) {
            const double dx = std::fabs(c - p.x), d2 = dx * dx + (p.y - row) * (p.y - row);
            if (d2 > (S + 0.5) * (S + 0.5)) continue;
            const double dd = std::sqrt(d2);
            P& o = w.at<P>(c, row);
            if (p.fillMode == 2) {
                double a, b;
                if (R - r < 0.1)
                    a = covOut(dd, S), b = covIn(dd, s);
                else if (dd > R - 0.5)
                    a = covOut(dd, S), b = covIn(dd, R);
                else if (dd < r + 0.5)
                    a = covOut(dd, r), b = covIn(dd, s);
                else
                    continue;
                stroke.alpha = D::alpha(a * b * strokeFactor * p.opacity);
                o = blend(stroke, o);
                continue;
            }
            const double f = covOut(dd, R) * ring * covIn(dd, r);
            if (f > 0.999999) {
                fill.alpha = D::alpha(f * p.opacity);
                o = blend(fill, o);
                continue;
            }
            fill.alpha = D::alpha(f);
            stroke.alpha = D::alpha(covOut(dd, S) * strokeFactor * covIn(dd, s));
            P merged = Blend::normal(stroke, fill);
            merged.alpha = D::scaleAlpha(merged.alpha, p.opacity);
            o = blend(merged, o);
        }
}

}  // namespace

// Strokes and fills with strokes, at every level, against the plain rule.
TEST_F(SpanDrawings, StrokedCirclesFollowThePlainRule) {
    for (Depth depth : {Depth::Bits8, Depth::Bits16, Depth::Float}) {
        SCOPED_TRACE("depth " + std::to_string(static_cast<int>(depth)));
        atEveryLevel([&] {
            World fast(150, 110, depth), plain(150, 110, depth);
            fillWithRuns(fast, 3);
            fillWithRuns(plain, 3);
            Rng rng;
            for (int k = 0; k < 60; ++k) {
                CircleDrawer::Pattern p = circle(rng.uniform(-20, 170), rng.uniform(-20, 130),
                                                 k % 9 == 0 ? rng.uniform(0, 1.5) : rng.uniform(0, 50), 2 + k % 2,
                                                 k % 3 == 0 ? rng.uniform(0, 0.99) : 0.0,
                                                 k % 5 == 0 ? 0.0 : rng.uniform(0, 6), rng.uniform(0.2, 1.0));
                p.fill = randomColor(rng);
                p.stroke = randomColor(rng);
                p.blendMode = 1 + k % 15;
                ASSERT_EQ(drawCircle(&in, *suites, fast, p), PF_Err_NONE);
                CircleDrawer d(&in, *suites, 0, plain.get(), static_cast<int>(depth), p);
                if (!d.doRender()) continue;
                if (depth == Depth::Bits8) plainStroke<PF_Pixel>(plain, d);
                if (depth == Depth::Bits16) plainStroke<PF_Pixel16>(plain, d);
                if (depth == Depth::Float) plainStroke<PF_PixelFloat>(plain, d);
                ASSERT_TRUE(sameWorld(fast, plain)) << "circle " << k;
            }
        });
    }
}
