// Helpers of the layouts that repeat without end (Line, Grid, Triangular Grid)
// and of the lattice layouts: index ranges over the output's cover, cycle
// classes, placement of the offset in output pixels and the per-row end.
#pragma once

#include "AE_Effect.h"
#include "Vector.h"

class ElementPipeline;
struct LayoutElement;
struct Parameters;

namespace lattice {

// Spacing in output pixels, never below one pixel (a NaN spacing is one pixel).
inline double atLeastOnePixel(double v) { return v > 1.0 ? v : 1.0; }

// The Transform scale gives both the lattice size and the inverse transform
// that maps points back for the maps; at 0 or a non-finite scale nothing is
// drawn, so no element is created.
bool usableScale(double scale);

// first = floor(nearDot / step), last = ceil(farDot / step), truncated to int;
// an empty range when either is not finite. False when one lies outside
// +-2^30 (the layout then lies too far out to walk).
bool indexRange(const PF_ANSICallbacks& ansi, double nearDot, double farDot, double step, int& first, int& last);

// Number of indices first ... last (0 when first > last).
inline double count(int first, int last) { return last >= first ? static_cast<double>(last) - first + 1.0 : 0.0; }

// (index + offset) mod cycle made non-negative; a cycle below 1 counts as 1.
int cycleClass(int index, int offset, int cycle);

// What the unbounded layouts derive once per call, in output pixels.
struct Frame {
    double scale = 1.0;  // the Transform group's scale, cosine and sine
    double cosine = 1.0;
    double sine = 0.0;
    double cullMargin = 0.0;  // the shape reach grown by the transition offset
    double coverMargin = 0.0;
    Vector origin;   // the layout's own origin, transformed
    Vector U{1, 0};  // unit axes along the layout angle
    Vector V{0, 1};
    Vector nearCorner;  // the output's cover grown by the cover margin,
    Vector farCorner;   // relative to `origin`
};

// The frame of a layout whose origin is `center` shifted by `offset` along
// its own axes turned by `rotation`, laid along `rotation` plus the Transform
// rotation. The cover margin is the cull margin plus the largest displacement,
// times `coverFactor`.
Frame frame(const ElementPipeline& pipeline, PF_InData* in_data, const Parameters& params, const Vector& center,
            double rotation, const Vector& offset, double coverFactor);

// First and last index along `axis` of the frame's cover for a spacing of
// `step`; false (and PF_Err_OUT_OF_MEMORY for the layout) when the range
// cannot be walked.
bool coverRange(const PF_ANSICallbacks& ansi, const Frame& f, const Vector& axis, double step, int& first, int& last);

// Column and row ranges of a lattice with these steps along U and V; false
// when they cannot be walked.
bool coverRanges(const PF_ANSICallbacks& ansi, const Frame& f, double colStep, double rowStep, int& colFirst,
                 int& colLast, int& rowFirst, int& rowLast);

// About how many lattice points (one per colStep x rowStep cell) lie in the
// output grown by the cull margin, at most `walked`: room to reserve before
// the walk. Exact enough when nothing displaces the elements.
double expectedKept(const ElementPipeline& pipeline, const Frame& f, double colStep, double rowStep, double walked);

// One element at the output point G: its layout point mapped back, the
// pipeline's per-element steps, then, inside the cull margin, the element.
void addAt(ElementPipeline& pipeline, const Frame& f, LayoutElement& e, const Vector& G);

// The displacement and transition offset e, scaled and turned by the
// Transform group, added to a point already in output pixels.
inline Vector placed(const Vector& at, double scale, double cosine, double sine, const Vector& e) {
    return {at.x + scale * (e.x * cosine - e.y * sine), at.y + scale * (e.x * sine + e.y * cosine)};
}

// After a row: the pipeline's first error, else the host's cancel check.
PF_Err endOfRow(const ElementPipeline& pipeline, PF_InData* in_data);

}  // namespace lattice
