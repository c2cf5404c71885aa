#include "VemaroCircleDrawer.h"

#include "VemaroBlend.h"
#include "VemaroColumnRounding.h"
#include "VemaroRasteriser.h"
#include "VemaroRunKernels.h"
#include "VemaroSpanKernels.h"

#include <cmath>
#include <cstring>
#include <type_traits>

using raster::covIn;
using raster::covOut;

namespace {
// Quantities shared by the anti-aliased routines.
struct Edges {
    double R, r, ringFactor, s, S, strokeFactor;
    Edges(const CircleDrawer::Pattern& p) {
        R = p.radius;
        r = p.innerRadius * (R + 0.5) - 0.5;
        ringFactor = R > 0.001 ? raster::clamp01(2.0 * (R - r)) : 0.0;
        s = r - p.strokeWidth;
        S = R + p.strokeWidth;
        strokeFactor = p.strokeWidth != 0.0 ? raster::clamp01(2.0 * (S - s)) : 0.0;
    }
};

// The fill's bounds.
struct FillBounds {
    double innerSafe, bound;
    // A distance squared at most insideOuter2 certainly has d <= R - 0.5, and
    // one at least insideInner2 certainly has d >= r + 0.5: both edge
    // coverages are then exactly 1. The margins exceed any rounding of the
    // squares and the square root.
    double insideOuter2, insideInner2;
    FillBounds(const Edges& e, double sqrt2) {
        innerSafe = (e.r - 0.5) / sqrt2;
        bound = (e.R + 0.5) * (e.R + 0.5);
        insideOuter2 = e.R - 0.5 > 0.0 ? (e.R - 0.5) * (e.R - 0.5) * (1.0 - 1e-12) : -1.0;
        insideInner2 = e.r + 0.5 > 0.0 ? (e.r + 0.5) * (e.r + 0.5) * (1.0 + 1e-12) : 0.0;
    }
};

// The edge columns of several rows, waiting for one kernel call to give all
// their alphas: the call's set-up and its latency shared.
template <class Waiting, int kRows, A_long kColumns>
struct EdgeBatch {
    Waiting waiting[kRows];
    int rows = 0;
    A_long columns = 0;
    double sq[kColumns], rowSq[kColumns];
    float alpha[kColumns + spans::kPad];
    // Whether a row of n more columns fits.
    bool fits(A_long n) const { return rows < kRows && columns + n <= kColumns; }
    // Columns [from, to) of a row with square ady2, table holding the squares.
    void add(const double* table, A_long from, A_long to, double ady2) {
        for (A_long c = from; c < to; ++c, ++columns) {
            sq[columns] = table[c];
            rowSq[columns] = ady2;
        }
    }
    void alphas(const spans::Kernels& kernels, const spans::CircleFill& rule) {
        if (columns > 0) kernels.circleFillRows(rule, sq, rowSq, columns, alpha);
    }
    void clear() { rows = columns = 0; }
};

}  // namespace

CircleDrawer::CircleDrawer(PF_InData* in_data_, AEGP_SuiteHandler& suites_, unsigned char draft_, PF_LayerDef* world_,
                           int bpc_, const Pattern& pattern_)
    : in_data(in_data_),
      suites(&suites_),
      draft(draft_),
      fillOnly(pattern_.fillMode == 1),
      world(world_),
      bpc(bpc_),
      pattern(&pattern_) {
    calculateRegion();
}

void CircleDrawer::calculateRegion() {
    const Pattern& p = *pattern;
    const double reach = p.fillMode == 1 ? p.radius : p.radius + p.strokeWidth;
    // A centre or reach that is not finite, or beyond any output, gives an
    // empty region.
    raster::clipSpan(in_data, p.x - reach, p.x + reach, world->width, region.left, region.right);
    raster::clipSpan(in_data, p.y - reach, p.y + reach, world->height, region.top, region.bottom);
}

bool CircleDrawer::doRender() {
    if (!visible()) return false;
    preDraw();
    return true;
}

void CircleDrawer::preDraw() {
    const std::size_t n = static_cast<std::size_t>(region.right - region.left);
    distances.resize(n);
    squaredDistances.resize(n);
    // std::fabs gives the host's |x| to the bit, and lets the loop vectorise:
    // frames build this table in every strip the element meets.
    for (std::size_t k = 0; k < n; ++k) {
        const double d = std::fabs(static_cast<double>(region.left + static_cast<A_long>(k)) - pattern->x);
        distances[k] = d;
        squaredDistances[k] = d * d;
    }
}

bool CircleDrawer::ready() const {
    return distances.size() == static_cast<std::size_t>(region.right - region.left) &&
           squaredDistances.size() == distances.size();
}

template <class P>
void CircleDrawer::drawDepth(const PF_LRect& b) const {
    if (draft)
        drawDraftT<P>(b);
    else if (fillOnly)
        drawFillT<P>(b);
    else
        drawT<P>(b);
}

void CircleDrawer::drawFill8(PF_LRect b) const { drawFillT<PF_Pixel>(b); }
void CircleDrawer::drawFill16(PF_LRect b) const { drawFillT<PF_Pixel16>(b); }
void CircleDrawer::drawFill32(PF_LRect b) const { drawFillT<PF_PixelFloat>(b); }

// The blend mode is chosen once per band; the loops below get it inlined.
template <class P>
void CircleDrawer::drawDraftT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) { drawDraftLoop<P>(b, op); });
}
// Wide elements in a mode that keeps an opaque top keep the record's opaque
// spans, in a routine of their own: the others' loops stay as lean.
template <class P>
void CircleDrawer::drawFillT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) {
        using Op = decltype(op);
        if constexpr (Op::template keepsOpaqueTop<P>()) {
            if (known && region.right - region.left > raster::KnownClear::kRowRecordWidth)
                return drawFillLoop<P, Op, true>(b, op);
        }
        drawFillLoop<P, Op, false>(b, op);
    });
}
template <class P>
void CircleDrawer::drawT(PF_LRect b) const {
    withBlendOp(pattern->blendMode, [&](auto op) { drawLoop<P>(b, op); });
}

// Hard edges: a pixel is drawn whole with the fill or the stroke, or left.
template <class P, class Op>
void CircleDrawer::drawDraftLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    const Pattern& p = *pattern;
    const double R = p.radius, w = p.strokeWidth;
    const double rd = (R + 0.01) * p.innerRadius - 0.01;
    const double sd = rd - w;
    const double S = R + w;
    const double reject = p.fillMode == 1 ? (R + 0.1) * (R + 0.1) : (S + 0.1) * (S + 0.1);
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    fillPx.alpha = strokePx.alpha = D::alpha(p.opacity);
    const bool thinRing = R - rd < 0.1;
    if (known) known->widen(b);

    for (A_long r = b.top; r < b.bottom; ++r) {
        P* out = raster::row<P>(world, r);
        const double dy = p.y - r;
        const double dy2 = dy * dy;
        for (A_long c = b.left; c < b.right; ++c) {
            const double d2 = squaredDistances[c - region.left] + dy2;
            if (d2 > reject) continue;
            const double d = std::sqrt(d2);
            const P* px = nullptr;
            if (p.fillMode == 1) {
                if (rd <= d && d <= R) px = &fillPx;
            } else if (p.fillMode == 2) {
                if (thinRing) {
                    if (sd <= d && d <= S) px = &strokePx;
                } else if (d > R - 0.5) {
                    if (R <= d && d <= S) px = &strokePx;
                } else if (d < rd + 0.5) {
                    if (sd <= d && d <= rd) px = &strokePx;
                }
            } else {
                if (rd <= d && d <= R)
                    px = &fillPx;
                else if (sd <= d && d <= S)
                    px = &strokePx;
            }
            if (px) out[c] = op(*px, out[c]);
        }
    }
}

// The columns [from, to) of the band that can lie within sqrt(reach2) of the
// centre x, with a column to spare; false when none can.
static VEMARO_INLINE bool columnsWithin(double x, double reach2, const PF_LRect& b, A_long& from, A_long& to) {
    if (!(reach2 >= 0.0)) return false;
    const double reach = std::sqrt(reach2) + 1.0;
    from = raster::floorIn(x - reach, b.left, b.right);
    to = raster::floorPlusOneIn(x + reach, from, b.right);
    return true;
}

// Narrows [from, to) to the columns whose squared distance passes the
// kernels' own bound test: a column dropped here is one the kernel would give
// alpha 0, by the very same sum and compare.
static VEMARO_INLINE void trimToBound(const double* sq, double dy2, double bound, A_long& from, A_long& to) {
    while (from < to && sq[from] + dy2 > bound) ++from;
    while (to > from && sq[to - 1] + dy2 > bound) --to;
}

// Calls draw(r, c) for each row r of band b whose columns c = columnsOf(r)
// (from, to) are not empty. The columns of each row of a tall band are found
// kAhead rows before it is drawn, and its cache lines asked for then: the rows
// of an element are far apart in memory, and the edges move along the row
// from one row to the next. A short band's rows were asked for at the start.
// Of each row's span the first kHead cache lines are asked for, and its end.
template <class P, int kHead, class ColumnsOf, class Draw>
static VEMARO_INLINE void eachRowAhead(const PF_LayerDef* world, const PF_LRect& b, ColumnsOf columnsOf, Draw draw) {
    constexpr A_long kAhead = 16;
    static_assert((kAhead & (kAhead - 1)) == 0, "kAhead is a power of two");
    using Columns = decltype(columnsOf(A_long{}));
    const bool tall = b.bottom - b.top > kAhead;
    Columns ahead[kAhead];
    auto find = [&](A_long r) VEMARO_INLINE_LAMBDA {
        if (r >= b.bottom) return;
        const Columns c = columnsOf(r);
        if (c.from < c.to) raster::prefetchSpan<P, kHead>(world, r, b, c.from, c.to);
        ahead[(r - b.top) & (kAhead - 1)] = c;
    };
    if (tall)
        for (A_long r = b.top; r < b.top + kAhead; ++r) find(r);
    for (A_long r = b.top; r < b.bottom; ++r) {
        Columns c;
        if (tall) {
            c = ahead[(r - b.top) & (kAhead - 1)];
            find(r + kAhead);
        } else {
            c = columnsOf(r);
        }
        if (c.from < c.to) draw(r, c);
    }
}

// Rows of a fill up to this long go to the edge kernel whole.
constexpr A_long kWholeRow = 24;

// Fill only. A pixel whose distance lies certainly between r + 0.5 and R - 0.5
// has both edge coverages exactly 1 and takes the interior alpha without a
// square root; in each row such pixels form at most two runs, found from the
// row's distance and checked at their ends against the column table. The
// other pixels are worked out from their distance; a pixel wholly in the hole
// is skipped. With kOpaque (a wide element, a mode that keeps an opaque top,
// a record) the interior runs also skip the columns known opaque, and an
// opaque interior adds to them.
template <class P, class Op, bool kOpaque>
void CircleDrawer::drawFillLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    // The first rows are asked for before the set-up below, which hides
    // most of their fetch for small elements.
    for (A_long r = b.top; r < b.bottom && r < b.top + 16; ++r) raster::prefetchRow<P>(world, r, b, b.left, b.right);
    const Pattern& p = *pattern;
    const Edges e(p);
    const double opacity = p.opacity;
    const FillBounds fb(e, in_data->utils->ansi.sqrt(2.0));
    P fillPx = D::fromColor(p.fill);
    P interiorPx = fillPx;
    interiorPx.alpha = D::alpha(e.ringFactor * opacity);
    // Blending an alpha of 0 beneath anything leaves it: such pixels are
    // skipped.
    const bool interiorVisible = interiorPx.alpha != 0;
    const double* dist = distances.data() - region.left;
    const double* sq = squaredDistances.data() - region.left;

    // Pixels that are not certainly inside: their alphas a run at a time from
    // the kernel of the processor's vector level, then blended. The interior
    // rule needs no case of its own there: both coverages are exactly 1.
    const spans::Kernels& kernels = spans::kernels();
    const spans::CircleFill edgeRule{e.R, e.r, e.ringFactor, opacity, fb.innerSafe, fb.bound, spans::fullOf<P>()};
    // The alphas of columns [from, to) put in the row: stored where the row
    // is known clear, blended elsewhere.
    // A row's record as it was before the element: its hull, and with
    // kOpaque its opaque spans.
    using Hull = raster::KnownClear::Hull;
    using Rec = std::conditional_t<kOpaque, raster::KnownClear::Row, Hull>;
    auto hullOf = [](const Rec& h) VEMARO_INLINE_LAMBDA {
        if constexpr (kOpaque)
            return h.hull;
        else
            return h;
    };
    auto put = [&](const float* alpha, P* out, A_long from, A_long to, Hull h) {
        raster::KnownClear::split(
            from, to, h, [&](A_long a, A_long z) { spans::storeAlphas(fillPx, alpha + (a - from), out + a, z - a); },
            [&](A_long a, A_long z) { spans::blendAlphas(op, fillPx, alpha + (a - from), out + a, z - a); });
    };
    auto exactIn = [&](P* out, A_long from, A_long to, double ady2, bool rowInHole, Hull h) {
        float alpha[spans::kChunk + spans::kPad];
        for (A_long c = from; c < to; c += spans::kChunk) {
            const A_long n = to - c < spans::kChunk ? to - c : spans::kChunk;
            spans::kernelsFor(kernels, n).circleFill(edgeRule, sq + c, dist + c, n, ady2, rowInHole, alpha);
            put(alpha, out, c, c + n, h);
        }
    };
    auto exact = [&](P* out, A_long from, A_long to, double ady2, bool rowInHole, const Rec& h) {
        exactIn(out, from, to, ady2, rowInHole, hullOf(h));
    };
    // Transparent and (normal mode) opaque output pixels need no arithmetic;
    // known clear ones not even a read, known opaque ones nothing at all.
    const runs::FillFn<P> fill = runs::fillKernel<P>();
    const runs::StoreFn<P> store = runs::storeKernel<P>();
    auto span = [&](P* out, A_long from, A_long to, const Rec& h) {
        if (!interiorVisible) return;
        auto written = [&](A_long a, A_long z) VEMARO_INLINE_LAMBDA {
            if constexpr (kOpaque)
                raster::KnownClear::outside(
                    h.opaque, a, z, [&](A_long c, A_long d) { runs::beneath(fill, op, interiorPx, out, c, d); });
            else
                runs::beneath(fill, op, interiorPx, out, a, z);
        };
        raster::KnownClear::split(
            from, to, hullOf(h), [&](A_long a, A_long z) { store(out + a, z - a, interiorPx); }, written);
    };
    // Row r's record before the element, widened over columns [from, to);
    // with kOpaque, [a, z) of them given the opaque interior pixel.
    const bool opaqueInterior = interiorPx.alpha == raster::fullAlpha<P>();
    const bool rowRecord = raster::KnownClear::byRow(known, region, b, Op::template keepsOpaqueTop<P>());
    auto record = [&](A_long r, A_long from, A_long to, A_long a, A_long z) VEMARO_INLINE_LAMBDA -> Rec {
        if constexpr (kOpaque) {
            return known->keep(r, from, to, a, opaqueInterior ? z : a);
        } else {
            (void)a, (void)z;
            const Hull h = rowRecord ? known->hull(r) : raster::KnownClear::kAll;
            if (rowRecord) known->widen(r, from, to);
            return h;
        }
    };
    // A row from its three edge runs, short in most rows, and the two interior
    // runs between them. The edge columns gathered, one call of the vector
    // kernel gives all their alphas, however few (a masked vector beats the
    // plain code's pixel at a time). The runs are then written from left to
    // right: a vector load of the interior never meets the edge pixels just
    // stored, which would wait for those stores to complete.
    struct Run {
        A_long from, to;
    };
    constexpr A_long kGather = 32;
    auto row = [&](P* out, const Run(&edge)[3], const Run(&inner)[2], double ady2, bool rowInHole, Rec h) {
        A_long n = 0;
        for (const Run& run : edge) n += run.to - run.from;
        if (n > kGather) {
            for (int i = 0; i < 3; ++i) {
                exact(out, edge[i].from, edge[i].to, ady2, rowInHole, h);
                if (i < 2) span(out, inner[i].from, inner[i].to, h);
            }
            return;
        }
        double sqs[kGather], dists[kGather];
        float alpha[kGather + spans::kPad];
        A_long k = 0;
        for (const Run& run : edge)
            for (A_long c = run.from; c < run.to; ++c, ++k) sqs[k] = sq[c];
        // The kernel reads the distances only on rows crossing the hole.
        if (rowInHole) {
            k = 0;
            for (const Run& run : edge)
                for (A_long c = run.from; c < run.to; ++c, ++k) dists[k] = dist[c];
        }
        kernels.circleFill(edgeRule, sqs, dists, n, ady2, rowInHole, alpha);
        k = 0;
        for (int i = 0; i < 3; ++i) {
            put(alpha + k, out, edge[i].from, edge[i].to, hullOf(h));
            k += edge[i].to - edge[i].from;
            if (i < 2) span(out, inner[i].from, inner[i].to, h);
        }
    };

    // The rows of a wide element are long runs of stores the processor
    // follows by itself: more lines asked for ahead only wait for room among
    // those stores. A narrow element's rows are a few lines each.
    constexpr int kAheadLines = kOpaque ? 2 : 8;
    // A row's columns within the outer bound, [from, to), and within them
    // the run inside the outer edge, [a, z): sq <= hi at both ends holds
    // between them, the squares being convex along the row. Short rows are
    // not worth the search (the kernel gives interior pixels their alpha
    // too): a = z = to.
    struct Row {
        A_long from, a, z, to;
        double ady2;
    };
    auto columnsOf = [&](A_long r) VEMARO_INLINE_LAMBDA {
        const double ady = std::fabs(p.y - r);
        const double ady2 = ady * ady;
        Row g{0, 0, 0, 0, ady2};
        if (!columnsWithin(p.x, fb.bound - ady2, b, g.from, g.to)) return Row{0, 0, 0, 0, ady2};
        trimToBound(sq, ady2, fb.bound, g.from, g.to);
        g.a = g.z = g.to;
        const double hi = fb.insideOuter2 - ady2;
        if (!(hi >= 0.0) || g.to - g.from <= kWholeRow) return g;
        const double hw = std::sqrt(hi);
        A_long a = raster::ceilIn(p.x - hw, g.from, g.to);
        A_long z = raster::floorPlusOneIn(p.x + hw, a, g.to);
        while (a < z && sq[a] > hi) ++a;
        while (z > a && sq[z - 1] > hi) --z;
        g.a = a;
        g.z = z;
        return g;
    };

    // A disc without a hole, the common element, has in each row one
    // interior run between two edge runs, short in most rows. The interior
    // is written at once. The edge pixels of many rows wait, each with its
    // place and whether it is known clear, for one kernel call, and are then
    // written in one loop: the rows' own set-up for their few edge pixels
    // cost more than the pixels. A row's interior is thus done before its
    // edges: its vector loads never meet edge pixels just stored, which
    // would wait for those stores to complete.
    if (!(fb.innerSafe > 0.0) && !(fb.insideInner2 > 0.0)) {
        constexpr A_long kColumns = 256;
        struct Waiting {
            double sq[kColumns], rowSq[kColumns];
            P* at[kColumns];
            bool clear[kColumns];
            float alpha[kColumns + spans::kPad];
            A_long n = 0;
        };
        Waiting w;
        // Without a record no pixel is known clear: narrow elements, whose
        // edges are most of their pixels, skip the test.
        const bool anyClear = kOpaque || rowRecord;
        auto flush = [&] {
            if (w.n == 0) return;
            kernels.circleFillRows(edgeRule, w.sq, w.rowSq, w.n, w.alpha);
            using Chan = typename D::Chan;
            P px = fillPx;
            for (A_long k = 0; k < w.n; ++k) {
                if (w.alpha[k] == 0.0f) continue;
                px.alpha = static_cast<Chan>(w.alpha[k]);
                if (anyClear && w.clear[k])
                    *w.at[k] = px;
                else
                    runs::blendPixel(op, px, *w.at[k]);
            }
            w.n = 0;
        };
        // Columns [from, to) of a row, its hull h, join the waiting pixels.
        auto wait = [&](P* out, A_long from, A_long to, double ady2, Hull h) VEMARO_INLINE_LAMBDA {
            for (A_long c = from; c < to; ++c, ++w.n) {
                w.sq[w.n] = sq[c];
                w.rowSq[w.n] = ady2;
                w.at[w.n] = out + c;
                if (anyClear) w.clear[w.n] = c < h.lo || c >= h.hi;
            }
        };
        eachRowAhead<P, kAheadLines>(world, b, columnsOf, [&](A_long r, const Row& g) VEMARO_INLINE_LAMBDA {
            const double ady2 = g.ady2;
            P* out = raster::row<P>(world, r);
            Hull hull;
            if constexpr (kOpaque) {
                // The interior is written from the row's record in place,
                // which is then kept: no copy of its spans.
                static constexpr raster::KnownClear::Row kUnknown{raster::KnownClear::kAll, {{}, 0}};
                raster::KnownClear::Row* rec = known->at(r);
                const raster::KnownClear::Row& h = rec ? *rec : kUnknown;
                hull = h.hull;
                span(out, g.a, g.z, h);
                if (rec) raster::KnownClear::keep(*rec, g.from, g.to, g.a, opaqueInterior ? g.z : g.a);
            } else {
                hull = record(r, g.from, g.to, g.a, g.z);
                span(out, g.a, g.z, hull);
            }
            const A_long n = (g.a - g.from) + (g.to - g.z);
            if (w.n + n > kColumns) flush();
            if (n > kColumns) {
                exactIn(out, g.from, g.a, ady2, false, hull);
                exactIn(out, g.z, g.to, ady2, false, hull);
                return;
            }
            wait(out, g.from, g.a, ady2, hull);
            wait(out, g.z, g.to, ady2, hull);
        });
        flush();
        return;
    }

    // Rows clear of the hole whose edge runs are short wait in a batch: one
    // kernel call then gives the edge alphas of several rows, the call's
    // set-up and its latency shared. Each row is written whole, as row() does.
    struct Waiting {
        P* out;
        Run edge[3], inner[2];
        Rec h;
    };
    EdgeBatch<Waiting, 8, 4 * kGather> batch;
    auto flush = [&] {
        batch.alphas(kernels, edgeRule);
        A_long k = 0;
        for (int w = 0; w < batch.rows; ++w) {
            const Waiting& x = batch.waiting[w];
            for (int i = 0; i < 3; ++i) {
                put(batch.alpha + k, x.out, x.edge[i].from, x.edge[i].to, hullOf(x.h));
                k += x.edge[i].to - x.edge[i].from;
                if (i < 2) span(x.out, x.inner[i].from, x.inner[i].to, x.h);
            }
        }
        batch.clear();
    };
    // Draws the row now or later; n is the length of its edge runs.
    auto draw = [&](P* out, const Run(&edge)[3], const Run(&inner)[2], A_long n, double ady2, bool rowInHole, Rec h) {
        if (rowInHole || n > kGather) return row(out, edge, inner, ady2, rowInHole, h);
        if (!batch.fits(n)) flush();
        Waiting& x = batch.waiting[batch.rows++];
        x.out = out;
        x.h = h;
        for (int i = 0; i < 3; ++i) {
            x.edge[i] = edge[i];
            batch.add(sq, edge[i].from, edge[i].to, ady2);
        }
        for (int i = 0; i < 2; ++i) x.inner[i] = inner[i];
    };

    eachRowAhead<P, kAheadLines>(world, b, columnsOf, [&](A_long r, const Row& g) VEMARO_INLINE_LAMBDA {
        const double ady = std::fabs(p.y - r);
        const double ady2 = ady * ady;
        P* out = raster::row<P>(world, r);
        const bool rowInHole = ady < fb.innerSafe;
        // The interior runs of a ring are not taken as opaque.
        const Rec h = record(r, g.from, g.to, 0, 0);
        // No interior run: the kernel gives every pixel its alpha.
        if (g.a == g.z) {
            exact(out, g.from, g.to, ady2, rowInHole, h);
            return;
        }
        const A_long from = g.from, a = g.a, z = g.z, to = g.to;
        // Cut out the hole: on each side of the centre the squares are
        // monotonic, so the end nearest the centre decides.
        const double lo = fb.insideInner2 - ady2;
        A_long leftEnd = z, rightStart = z;
        if (lo > 0.0 && a < z) {
            const double hh = std::sqrt(lo);
            leftEnd = raster::floorPlusOneIn(p.x - hh, a, z);
            rightStart = raster::ceilIn(p.x + hh, leftEnd, z);
            while (leftEnd > a && sq[leftEnd - 1] < lo) --leftEnd;
            while (rightStart < z && sq[rightStart] < lo) ++rightStart;
        }
        draw(out, {{from, a}, {leftEnd, rightStart}, {z, to}}, {{a, leftEnd}, {rightStart, z}},
             (a - from) + (rightStart - leftEnd) + (to - z), ady2, rowInHole, h);
    });
    flush();
}

// Stroke, and fill and stroke: the alphas a run at a time from the kernel of
// the processor's vector level, over the columns of each row within the outer
// bound (the others are skipped by the bound).
template <class P, class Op>
void CircleDrawer::drawLoop(const PF_LRect& b, Op op) const {
    using D = raster::Depth<P>;
    using Chan = typename D::Chan;
    const Pattern& p = *pattern;
    const Edges e(p);
    const double opacity = p.opacity;
    P fillPx = D::fromColor(p.fill), strokePx = D::fromColor(p.stroke);
    const double bound = (e.S + 0.5) * (e.S + 0.5);
    const bool strokeOnly = p.fillMode == 2;
    const double* sq = squaredDistances.data() - region.left;
    const spans::Kernels& kernels = spans::kernels();
    const spans::CircleStroke edge{e.R,
                                   e.r,
                                   e.s,
                                   e.S,
                                   e.ringFactor,
                                   e.strokeFactor,
                                   opacity,
                                   bound,
                                   spans::fullOf<P>(),
                                   strokeOnly,
                                   e.R - e.r < 0.1};
    float alpha[spans::kChunk + spans::kPad], alpha2[spans::kChunk + spans::kPad];

    for (A_long r = b.top; r < b.bottom; ++r) {
        const double dy = p.y - r;
        const double dy2 = dy * dy;
        A_long from, to;
        if (!columnsWithin(p.x, bound - dy2, b, from, to)) continue;
        trimToBound(sq, dy2, bound, from, to);
        if (known) known->widen(r, from, to);
        P* out = raster::row<P>(world, r);
        for (A_long c = from; c < to; c += spans::kChunk) {
            const A_long n = to - c < spans::kChunk ? to - c : spans::kChunk;
            spans::kernelsFor(kernels, n).circleStroke(edge, sq + c, n, dy2, alpha, alpha2);
            if (strokeOnly) {
                spans::blendAlphas(op, strokePx, alpha, out + c, n);
                continue;
            }
            for (A_long k = 0; k < n; ++k) {
                P& o = out[c + k];
                if (alpha2[k] < 0.0f) {
                    fillPx.alpha = static_cast<Chan>(alpha[k]);
                    o = op(fillPx, o);
                    continue;
                }
                // The fill lies over the stroke; the opacity applies to the merge.
                fillPx.alpha = static_cast<Chan>(alpha[k]);
                strokePx.alpha = static_cast<Chan>(alpha2[k]);
                P merged = Blend::normal(strokePx, fillPx);
                merged.alpha = D::scaleAlpha(merged.alpha, opacity);
                o = op(merged, o);
            }
        }
    }
}

template class raster::Rasteriser<CircleDrawer>;
