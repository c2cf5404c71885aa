// The per-element pipeline every layout shares: transition progress,
// displacement, transition offset, the Transform group, shape choice, culling,
// the fresh element with the transition's effects and the value maps, and the
// append to the drawer's element list.
#pragma once

#include "Vector.h"
#include "VemaroDisplacer.h"
#include "VemaroDrawer.h"
#include "VemaroMappers.h"
#include "VemaroTransformer.h"
#include "VemaroTransitioner.h"

#include <optional>

// One element as a layout hands it over.
struct LayoutElement {
    Vector point;  // layout point, before displacement, offset and transform
    int i = 0;     // element indices (seed the hashes)
    int j = 0;
    int transitionIndex = 0;  // place in the transition order
    double u = 0.0;           // map position along the layout, nominally 0 to 1
    double t = 0.0;           // ShapeDrawer::Pattern::t
    double phase = 0.0;       // starting phase: 0, or the orientation
    // The indices the shape choice hashes and the index it starts from, for
    // layouts that choose the shape by another index than the element's own;
    // unset: (i, j), starting at i.
    struct ShapeChoice {
        int i;
        int j;
        int start;
    };
    std::optional<ShapeChoice> shape;
};

// Built once per layout call, before the first element; the working objects
// are built in the order of the members and destroyed in reverse. The first
// error of any fallible step is kept; after it no fallible step runs again,
// but the remaining elements are still placed and appended.
class ElementPipeline {
public:
    ElementPipeline(ShapeDrawer& drawer, int transitionCount);

    // The whole pipeline for one element, the element placed by the Transform
    // group. With `cull`, an element outside the output grown by `margin` on
    // every side (bounds inclusive) is dropped before its value work.
    void add(const LayoutElement& e, bool cull);

    // The steps that run for every element, culled or not: transition progress,
    // displacement and transition offset (into `displacement` and `offset`),
    // and the shape choice (into `shapeIndex`, starting from e.i or e.shape).
    void place(const LayoutElement& e);
    // (p + displacement) + offset through the Transform group, in output pixels.
    Vector position(const LayoutElement& e) const;
    // Within the output grown by m on every side, bounds inclusive.
    bool inside(const Vector& position, double m) const;
    // The fresh element at `position` with the transition and the value maps
    // applied, appended to the drawer.
    void emit(const LayoutElement& e, const Vector& position);
    // The same with the scale, colour and phase maps each at its own map
    // position (the Path layout lets each follow the index or the path).
    void emit(const LayoutElement& e, const Vector& position, double uScale, double uColor, double uPhase);

    PF_Err error() const { return err; }

    // Memory budget of the element list (kLayoutMemoryBudget less what the
    // layout holds in working lists, `hold`). Once the list would outgrow it,
    // the pipeline reports PF_Err_OUT_OF_MEMORY, appends nothing more and
    // skips the per-element work.
    void hold(double bytes) { heldBytes += bytes; }
    std::size_t elementLimit() const;
    // Whether `count` more elements fit the budget.
    bool fits(double count) const;
    // Room for `count` more elements (at most the budget's), taken at once
    // so that appending does not reallocate.
    void reserve(double count);
    bool exhausted() const { return full; }
    // An error the layout met before its first element: from then on the
    // fallible steps are skipped as after any other, and it is returned.
    void carry(PF_Err e) {
        if (!err) err = e;
    }

    ShapeDrawer& drawer;
    double margin;  // the cull margin: the largest drawn reach of a shape
    MapperHost host;
    Transitioner transitioner;
    Displacer displacer;
    ShapeMapper shapeMapper;
    ScaleMapper scaleMapper;
    ColorMapper colorMapper;
    PhaseMapper phaseMapper;
    Transformer transformer;
    Vector origin;  // the output world's origin
    double outputWidth;
    double outputHeight;

    // Per element, written by place().
    Vector displacement;
    Vector offset;
    int shapeIndex = 0;

private:
    bool grow();

    PF_Err err = PF_Err_NONE;
    double heldBytes = 0.0;
    bool full = false;
};
