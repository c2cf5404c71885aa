// Which pixels of a run of output rows are still as the clearing left them
// (all bytes zero): per row, the hull [lo, hi) of the columns any drawer may
// have written since. Blending any element beneath a transparent pixel gives
// the element's pixel, so a drawer may store its pixels outside the hull
// without reading the output. Every drawer that writes the rows must widen the
// hull over what it writes (more is harmless, less is wrong); a drawer given
// no record (null) knows nothing clear and reads as always.
//
// Beside the hull, per row, one span of columns known to hold opaque pixels
// (at 8 bits and in float, where normal mode keeps an opaque top): an element
// drawn beneath them in such a mode leaves them, so it need neither read nor
// write there. Only a drawer in such a mode keeps the span (keep()); every
// other write forgets it where it meets the columns written (widen()), so a
// drawer that knows nothing of the span stays correct by widening the hull.
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
    // A row's hull and known-opaque span.
    struct Row {
        Hull hull, opaque;
    };
    // Rows [top, bottom) all just cleared; other rows are not known.
    void reset(A_long top, A_long bottom) {
        top_ = top;
        bottom_ = bottom > top ? bottom : top;
        rows_.assign(static_cast<std::size_t>(bottom_ - top_), Row{kEmpty, kEmpty});
    }
    // Row r's hull; everything for a row the record does not hold.
    Hull hull(A_long r) const {
        if (r < top_ || r >= bottom_) return kAll;
        return rows_[static_cast<std::size_t>(r - top_)].hull;
    }
    // Row r's columns known opaque, within its hull; none for a row the
    // record does not hold.
    Hull opaque(A_long r) const {
        if (r < top_ || r >= bottom_) return kEmpty;
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
        if (r < top_ || r >= bottom_) return Row{kAll, kEmpty};
        Row& row = rows_[static_cast<std::size_t>(r - top_)];
        const Row before = row;
        if (a < z) {
            // A column of [a, z) is opaque now if it was clear (beside the
            // hull) or already opaque; a part of either is kept.
            take(row.opaque, a, before.hull.lo < z ? before.hull.lo : z);
            take(row.opaque, before.hull.hi > a ? before.hull.hi : a, z);
        }
        if (from < to) grow(row.hull, from, to);
        return before;
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
        if (row.opaque.lo < to && row.opaque.hi > from) row.opaque = kEmpty;
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
    // o becomes a span of columns of o or [lo, hi): the two joined where
    // they meet, else the longer.
    static void take(Hull& o, A_long lo, A_long hi) {
        if (lo >= hi) return;
        if (o.lo >= o.hi) {
            o = Hull{lo, hi};
        } else if (lo <= o.hi && hi >= o.lo) {
            if (lo < o.lo) o.lo = lo;
            if (hi > o.hi) o.hi = hi;
        } else if (hi - lo > o.hi - o.lo) {
            o = Hull{lo, hi};
        }
    }

    A_long top_ = 0, bottom_ = 0;
    std::vector<Row> rows_;
};

}  // namespace raster
