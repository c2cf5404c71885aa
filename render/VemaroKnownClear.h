// Which pixels of a run of output rows are still as the clearing left them
// (all bytes zero): per row, the hull [lo, hi) of the columns any drawer may
// have written since. Blending any element beneath a transparent pixel gives
// the element's pixel, so a drawer may store its pixels outside the hull
// without reading the output. Every drawer that writes the rows must widen the
// hull over what it writes (more is harmless, less is wrong); a drawer given
// no record (null) knows nothing clear and reads as always.
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
    // Rows [top, bottom) all just cleared; other rows are not known.
    void reset(A_long top, A_long bottom) {
        top_ = top;
        bottom_ = bottom > top ? bottom : top;
        rows_.assign(static_cast<std::size_t>(bottom_ - top_), Hull{kEmpty.lo, kEmpty.hi});
    }
    // Row r's hull; everything for a row the record does not hold.
    Hull hull(A_long r) const {
        if (r < top_ || r >= bottom_) return kAll;
        return rows_[static_cast<std::size_t>(r - top_)];
    }
    // Columns [from, to) of row r may hold something now.
    void widen(A_long r, A_long from, A_long to) {
        if (from >= to || r < top_ || r >= bottom_) return;
        Hull& h = rows_[static_cast<std::size_t>(r - top_)];
        if (from < h.lo) h.lo = from;
        if (to > h.hi) h.hi = to;
    }
    // The same for rows [top, bottom) of a rectangle.
    void widen(const PF_LRect& rect) {
        const A_long top = rect.top > top_ ? rect.top : top_;
        const A_long bottom = rect.bottom < bottom_ ? rect.bottom : bottom_;
        for (A_long r = top; r < bottom; ++r) widen(r, rect.left, rect.right);
    }

    // Whether a drawer of `region` keeps the record row by row in `band`. The
    // rows of an element this narrow are too short for stores to repay that
    // upkeep (the cache lines are fetched either way): its band is taken as
    // written, whole, here.
    static constexpr A_long kRowRecordWidth = 96;
    static bool byRow(KnownClear* known, const PF_LRect& region, const PF_LRect& band) {
        if (!known) return false;
        if (region.right - region.left > kRowRecordWidth) return true;
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
    A_long top_ = 0, bottom_ = 0;
    std::vector<Hull> rows_;
};

}  // namespace raster
