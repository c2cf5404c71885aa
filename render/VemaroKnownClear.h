// Which pixels of a run of output rows are still as the clearing left them
// (all bytes zero): per row, the hull [lo, hi) of the columns any drawer may
// have written since. Blending any element beneath a transparent pixel gives
// the element's pixel, so a drawer may store its pixels outside the hull
// without reading the output. Every drawer that writes the rows must widen the
// hull over what it writes (more is harmless, less is wrong); a drawer given
// no record (null) knows nothing clear and reads as always.
//
// Beside the hull, per row, a few spans of columns known to hold opaque
// pixels (at 8 bits and in float, where normal mode keeps an opaque top): an
// element drawn beneath them in such a mode leaves them, so it need neither
// read nor write there. Several, since other elements' anti-aliased edges
// split a row's opaque pixels into pieces. Only a drawer in such a mode keeps
// the spans (keep()); every other write forgets those it meets (widen()), so
// a drawer that knows nothing of the spans stays correct by widening the hull.
#pragma once

#include "AE_Effect.h"

#include <limits>
#include <vector>

namespace raster {

class KnownClear {
public:
    struct Hull {
        A_long lo, hi;
    };
    // A row's columns known opaque: up to kMax spans, sorted, apart (spans
    // that meet are joined).
    struct Spans {
        static constexpr int kMax = 4;
        Hull span[kMax];
        int count;
        const Hull* begin() const { return span; }
        const Hull* end() const { return span + count; }
    };
    // A row's hull and known-opaque spans.
    struct Row {
        Hull hull;
        Spans opaque;
    };
    // Rows [top, bottom) all just cleared; other rows are not known.
    void reset(A_long top, A_long bottom) {
        top_ = top;
        bottom_ = bottom > top ? bottom : top;
        rows_.assign(static_cast<std::size_t>(bottom_ - top_), Row{kEmpty, Spans{{}, 0}});
    }
    // Row r's hull; everything for a row the record does not hold.
    Hull hull(A_long r) const {
        if (r < top_ || r >= bottom_) return kAll;
        return rows_[static_cast<std::size_t>(r - top_)].hull;
    }
    // Row r's columns known opaque, within its hull; none for a row the
    // record does not hold.
    Spans opaque(A_long r) const {
        if (r < top_ || r >= bottom_) return Spans{{}, 0};
        return rows_[static_cast<std::size_t>(r - top_)].opaque;
    }
    // Columns [from, to) of row r may hold something now, opaque or not.
    void widen(A_long r, A_long from, A_long to) {
        if (from >= to || r < top_ || r >= bottom_) return;
        widenRow(rows_[static_cast<std::size_t>(r - top_)], from, to);
    }
    // The same for rows [top, bottom) of a rectangle.
    void widen(const PF_LRect& rect) {
        widenRows(rect, [](Row& row, A_long from, A_long to) { widenRow(row, from, to); });
    }

    // For a drawer whose writes leave every opaque pixel as it was (normal
    // mode at 8 bits or in float): columns [from, to) of row r are written,
    // and [a, z) within them given an opaque pixel (a == z: none). Returns
    // the row as it was before.
    Row keep(A_long r, A_long from, A_long to, A_long a, A_long z) {
        if (r < top_ || r >= bottom_) return Row{kAll, Spans{{}, 0}};
        Row& row = rows_[static_cast<std::size_t>(r - top_)];
        const Row before = row;
        keep(row, from, to, a, z);
        return before;
    }
    // Row r's record in place, or null for a row the record does not hold: a
    // drawer of many rows reads it, writes the row, then keeps it with
    // keep(row, ...), without copying it out.
    Row* at(A_long r) { return r < top_ || r >= bottom_ ? nullptr : &rows_[static_cast<std::size_t>(r - top_)]; }
    // keep() on a row in place.
    static void keep(Row& row, A_long from, A_long to, A_long a, A_long z) {
        if (a < z) {
            // A column of [a, z) is opaque now if it was clear (beside the
            // hull) or already opaque: the clear parts join the spans.
            const Hull h = row.hull;
            take(row.opaque, a, h.lo < z ? h.lo : z);
            take(row.opaque, h.hi > a ? h.hi : a, z);
        }
        if (from < to) grow(row.hull, from, to);
    }
    // Rows [top, bottom) of a rectangle written by such a drawer, with no
    // opaque pixel known.
    void keep(const PF_LRect& rect) {
        widenRows(rect, [](Row& row, A_long from, A_long to) { grow(row.hull, from, to); });
    }

    // Whether a drawer of `region` keeps the record row by row in `band`. The
    // rows of an element this narrow are too short for stores to repay that
    // upkeep (the cache lines are fetched either way): its band is taken as
    // written, whole, here; `keepsOpaque` as keep() takes it.
    static constexpr A_long kRowRecordWidth = 96;
    static bool byRow(KnownClear* known, const PF_LRect& region, const PF_LRect& band, bool keepsOpaque = false) {
        if (!known) return false;
        if (region.right - region.left > kRowRecordWidth) return true;
        if (keepsOpaque)
            known->keep(band);
        else
            known->widen(band);
        return false;
    }

    // Splits [from, to) of a row with hull h into the parts outside it,
    // clear(a, b), and the part within it, written(a, b), left to right.
    template <class Clear, class Written>
    static void split(A_long from, A_long to, Hull h, Clear clear, Written written) {
        const A_long a = h.lo < from ? from : (h.lo > to ? to : h.lo);
        const A_long z = h.hi < a ? a : (h.hi > to ? to : h.hi);
        if (from < a) clear(from, a);
        if (a < z) written(a, z);
        if (z < to) clear(z, to);
    }

    // f(a, b) for each run of [from, to) outside the spans o, left to right.
    template <class F>
    static void outside(const Spans& o, A_long from, A_long to, F f) {
        for (const Hull& s : o) {
            if (s.hi <= from) continue;
            if (s.lo >= to) break;
            if (s.lo > from) f(from, s.lo);
            from = s.hi;
        }
        if (from < to) f(from, to);
    }

    // No column written yet; every column.
    static constexpr Hull kEmpty{std::numeric_limits<A_long>::max(), std::numeric_limits<A_long>::min()};
    static constexpr Hull kAll{std::numeric_limits<A_long>::min(), std::numeric_limits<A_long>::max()};

private:
    // h spans [from, to) too.
    static void grow(Hull& h, A_long from, A_long to) {
        if (from < h.lo) h.lo = from;
        if (to > h.hi) h.hi = to;
    }
    static void widenRow(Row& row, A_long from, A_long to) {
        grow(row.hull, from, to);
        Spans& o = row.opaque;
        int n = 0;
        for (int i = 0; i < o.count; ++i)
            if (o.span[i].lo >= to || o.span[i].hi <= from) o.span[n++] = o.span[i];
        o.count = n;
    }
    // f(row, left, right) for each held row of the rectangle, the bounds
    // checked once.
    template <class F>
    void widenRows(const PF_LRect& rect, F f) {
        if (rect.left >= rect.right) return;
        const A_long top = rect.top > top_ ? rect.top : top_;
        const A_long bottom = rect.bottom < bottom_ ? rect.bottom : bottom_;
        if (top >= bottom) return;
        Row* row = rows_.data() + (top - top_);
        for (Row* end = row + (bottom - top); row < end; ++row) f(*row, rect.left, rect.right);
    }
    // [lo, hi) joins the spans of o, merged with those it meets; of more
    // than kMax spans the shortest (the first of equals) is dropped. Done in
    // place, every span moved whole: a row is kept once per element drawn.
    static void take(Spans& o, A_long lo, A_long hi) {
        if (lo >= hi) return;
        const int n = o.count;
        // The spans are sorted and apart: those before [lo, hi), then those
        // it meets, [i, j), then those after it.
        int i = 0;
        while (i < n && o.span[i].hi < lo) ++i;
        int j = i;
        for (; j < n && o.span[j].lo <= hi; ++j) {
            if (o.span[j].lo < lo) lo = o.span[j].lo;
            if (o.span[j].hi > hi) hi = o.span[j].hi;
        }
        const Hull joined{lo, hi};
        if (j > i) {
            o.span[i] = joined;
            for (int k = j; k < n; ++k) o.span[i + 1 + k - j] = o.span[k];
            o.count = n - (j - i) + 1;
            return;
        }
        // Inserted at i; with kMax already, the shortest of the kMax + 1.
        int drop = Spans::kMax + 1;
        if (n == Spans::kMax) {
            A_long length[Spans::kMax + 1];
            for (int k = 0; k < n; ++k) length[k < i ? k : k + 1] = o.span[k].hi - o.span[k].lo;
            length[i] = hi - lo;
            drop = 0;
            for (int k = 1; k <= n; ++k)
                if (length[k] < length[drop]) drop = k;
            if (drop == i) return;
        }
        // The spans from i on move one place right, and those after the
        // dropped one back one place left: only those between the two move.
        if (drop > i) {
            for (int k = (drop <= n ? drop : n + 1) - 1; k > i; --k) o.span[k] = o.span[k - 1];
        } else {
            for (int k = drop; k < i - 1; ++k) o.span[k] = o.span[k + 1];
            i -= 1;
        }
        o.span[i] = joined;
        if (drop > Spans::kMax) o.count = n + 1;
    }

    A_long top_ = 0, bottom_ = 0;
    std::vector<Row> rows_;
};

}  // namespace raster
