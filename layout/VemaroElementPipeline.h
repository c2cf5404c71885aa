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

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

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
//
// Elements given to add() and addAt() are worked out in runs over the host's
// threads when no step of theirs calls the host other than for maths (no map
// layer sampled, no keyframe curve read): each element's values depend only
// on itself, each lands in its own slot, and the kept ones are appended in
// the order they were given, so the list is the same as one made element by
// element. Such a run cannot fail (the memory budget is checked before an
// element is queued); the rest of the elements are worked out at once.
class ElementPipeline {
public:
    ElementPipeline(ShapeDrawer& drawer, int transitionCount);
    // Works out the elements still queued (a failure is left in the
    // drawer's layoutError).
    ~ElementPipeline();
    ElementPipeline(const ElementPipeline&) = delete;
    ElementPipeline& operator=(const ElementPipeline&) = delete;

    // The whole pipeline for one element, the element placed by the Transform
    // group. With `cull`, an element outside the output grown by `margin` on
    // every side (bounds inclusive) is dropped before its value work.
    void add(const LayoutElement& e, bool cull);

    // How the lattice layouts place an element: its lattice point G already
    // in output pixels, the displacement and transition offset scaled and
    // turned by the Transform group and added (lattice::placed), then culled
    // against the output grown by `margin`.
    struct LatticePlacement {
        double scale, cosine, sine, margin;
    };
    void addAt(const LayoutElement& e, const Vector& G, const LatticePlacement& how);
    // A whole lattice walk: rows r0 .. r1 of columns c0 .. c1, row by row,
    // element (r, c) made by make(r, c, e, G) with its lattice point G in
    // output pixels; e.point is found from G (the Transform group undone) and
    // the element placed as addAt places it. After each row the first error
    // kept, else the host's cancel, ends the walk with that row and is
    // returned. The elements are made in the runs themselves when they can be
    // worked out in runs, else one by one.
    template <class Make>
    PF_Err addLattice(int r0, int r1, int c0, int c1, const LatticePlacement& how, const Make& make) {
        const MakeFn call = [](const void* m, int r, int c, LayoutElement& e, Vector& G) {
            (*static_cast<const Make*>(m))(r, c, e, G);
        };
        return walkLattice(r0, r1, c0, c1, how, call, &make);
    }
    // Works out every queued element now.
    void flush();

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
    enum Cull : uint8_t { kKeep, kCullByMargin, kLattice };
    struct Queued {
        LayoutElement e;
        Vector G;
        Cull cull;
    };
    // What place() works out, for one element.
    struct Placed {
        Vector displacement, offset;
        int shapeIndex = 0;
    };
    struct Run;
    using MakeFn = void (*)(const void* context, int r, int c, LayoutElement& e, Vector& G);
    // The lattice being worked out in runs: element k of the run is element
    // first + k of the walk, row by row.
    struct LatticeWalk {
        int r0, c0;
        long long columns, first;
        MakeFn make;
        const void* context;
        const Queued& at(std::size_t k, const Transformer& transformer, const Vector& origin, Queued& out) const;
    };
    PF_Err walkLattice(int r0, int r1, int c0, int c1, const LatticePlacement& how, MakeFn make, const void* context);
    // A run's kept elements still to be appended, and how that went.
    struct Pending {
        ElementPipeline* pipe = nullptr;
        const ShapeDrawer::Pattern* slots = nullptr;
        const std::vector<uint8_t>* kept = nullptr;
        std::size_t size = 0;
        PF_Err err = PF_Err_NONE;
        bool done = false;
    };
    struct WithAppend;
    // Works out `size` elements (of the queue, or of the lattice walked) into
    // the slots, appending `pending` (if any) meanwhile; the run's error,
    // which is also kept.
    PF_Err work(std::size_t size, Pending* pending);
    const LatticeWalk* walking = nullptr;

    bool grow();
    // Appends the kept elements of the run of `size` queued ones.
    void append(std::size_t size);
    void appendFrom(const ShapeDrawer::Pattern* from, const std::vector<uint8_t>& flags, std::size_t size);
    // Whether an element may be queued: its steps call the host only for
    // maths, and the budget holds it and every element queued before it.
    bool queueable();
    void enqueue(const LayoutElement& e, const Vector& G, Cull cull);
    // The steps of place() and emit() with a transitioner of the caller's.
    void placeWith(Transitioner& t, const LayoutElement& e, Placed& out, PF_Err& error);
    void valuesWith(Transitioner& t, const LayoutElement& e, double uScale, double uColor, double uPhase,
                    ShapeDrawer::Pattern& pattern, PF_Err& error);
    ShapeDrawer::Pattern fresh(const LayoutElement& e, const Vector& position, int shape) const;
    // The placed position and whether the element is kept.
    bool keeps(const Queued& q, const Placed& placed, Vector& at) const;

    PF_Err err = PF_Err_NONE;
    double heldBytes = 0.0;
    bool full = false;
    std::vector<Queued> queue;
    LatticePlacement latticeHow{1.0, 1.0, 0.0, 0.0};
    int threads = 0;  // the host's, asked when the first element is queued
    // Room the runs write their elements to, kept from run to run.
    struct FreeSlots {
        void operator()(ShapeDrawer::Pattern* p) const;
    };
    std::unique_ptr<ShapeDrawer::Pattern[], FreeSlots> slots;
    std::size_t slotCount = 0;
    std::vector<uint8_t> kept;
    // A lattice walk's other slots: the run before, being appended.
    std::unique_ptr<ShapeDrawer::Pattern[], FreeSlots> spareSlots;
    std::size_t spareCount = 0;
    std::vector<uint8_t> spareKept;
};
