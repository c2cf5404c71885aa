#include "VemaroElementPipeline.h"

#include "VemaroElementBounds.h"
#include "VemaroLattice.h"
#include "VemaroRenderHelpers.h"
#include "VemaroTransitionAnimator.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <type_traits>

namespace {

MapperHost mapperHost(const ShapeDrawer& d) {
    return MapperHost{d.pluginId, d.in_data, d.suites, d.effect, d.bpc, d.width, d.height};
}

// Elements queued before a run starts: the queue and the run's slots hold
// about 200 bytes each.
constexpr std::size_t kRunLength = 16384;
static_assert(std::is_trivially_destructible<ShapeDrawer::Pattern>::value, "run slots are dropped without destruction");

// A curve that was read once and found absent: reading it again asks the
// host nothing.
template <class M>
bool idle(const M& mapper) {
    return mapper.curve.curve.loaded() && !mapper.curve.curve.available();
}
template <class M>
bool pureMapper(const M& m) {
    return !m.layer1D && !m.layerPre2D && idle(m);
}

}  // namespace

ElementPipeline::ElementPipeline(ShapeDrawer& d, int transitionCount)
    : drawer(d),
      margin(getMaxSize(d.in_data, d.params)),
      host(mapperHost(d)),
      transitioner(d.in_data, *d.suites, d.bpc, *d.params, *d.animator, transitionCount),
      displacer(d.in_data, *d.suites, d.bpc, d.width, d.height, *d.params),
      shapeMapper(host, *d.params),
      scaleMapper(host, d.params->map1D.scaleMap, d.params->mapPre2D.scaleMap),
      colorMapper(host, d.params->map1D.colorMap, d.params->mapPre2D.colorMap),
      phaseMapper(host, d.params->map1D.phaseMap, d.params->mapPre2D.phaseMap),
      transformer(d.params->transformAnchor, d.params->transformPosition, d.params->transformScale,
                  d.params->transformRotation),
      origin(d.originX, d.originY),
      outputWidth(d.output ? d.output->width : 0),
      outputHeight(d.output ? d.output->height : 0) {}

std::size_t ElementPipeline::elementLimit() const {
    const double free = static_cast<double>(kLayoutMemoryBudget) - heldBytes;
    return free > 0.0 ? static_cast<std::size_t>(free / sizeof(ShapeDrawer::Pattern)) : 0;
}

bool ElementPipeline::fits(double count) const {
    return count + static_cast<double>(drawer.patterns.size()) <= static_cast<double>(elementLimit());
}

void ElementPipeline::reserve(double count) {
    const std::size_t size = drawer.patterns.size();
    const std::size_t limit = std::max(elementLimit(), size);
    if (!(count > 0)) return;
    const double want = std::min(count, static_cast<double>(limit - size));
    drawer.patterns.reserve(size + static_cast<std::size_t>(want));
}

// Past the reserved room the list grows by half, never beyond the budget.
bool ElementPipeline::grow() {
    std::vector<ShapeDrawer::Pattern>& list = drawer.patterns;
    const std::size_t size = list.size();
    const std::size_t limit = elementLimit();
    if (size >= limit) {
        full = true;
        if (!err) err = PF_Err_OUT_OF_MEMORY;
        return false;
    }
    list.reserve(std::min(limit, size + std::max<std::size_t>(size / 2, 1024)));
    return true;
}

ElementPipeline::~ElementPipeline() {
    const PF_Err before = err;
    try {
        flush();
    } catch (const std::bad_alloc&) {
        if (!drawer.layoutError) drawer.layoutError = PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        if (!drawer.layoutError) drawer.layoutError = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    if (err != before && !drawer.layoutError) drawer.layoutError = err;
}

void ElementPipeline::placeWith(Transitioner& t, const LayoutElement& e, Placed& out, PF_Err& error) {
    if (!error) error = t.init(e.point, e.transitionIndex);
    out.displacement = Vector();
    if (!error) error = displacer.map(e.point, e.i, e.j, out.displacement);
    out.offset = t.offset();
    const LayoutElement::ShapeChoice choice = e.shape ? *e.shape : LayoutElement::ShapeChoice{e.i, e.j, e.i};
    out.shapeIndex = choice.start;
    if (!error) error = shapeMapper.map(e.point, choice.i, choice.j, e.u, out.shapeIndex);
}

ShapeDrawer::Pattern ElementPipeline::fresh(const LayoutElement& e, const Vector& position, int shape) const {
    ShapeDrawer::Pattern pattern;
    pattern.shapeIndex = shape;
    pattern.i = e.i;
    pattern.j = e.j;
    pattern.t = e.t;
    pattern.position = position;
    pattern.phase = e.phase;
    return pattern;
}

void ElementPipeline::valuesWith(Transitioner& t, const LayoutElement& e, double uScale, double uColor, double uPhase,
                                 ShapeDrawer::Pattern& pattern, PF_Err& error) {
    t.map(pattern);
    if (!error) error = scaleMapper.map(e.point, e.i, e.j, uScale, pattern);
    if (!error) error = colorMapper.map(e.point, e.i, e.j, uColor, pattern);
    if (!error) error = phaseMapper.map(e.point, e.i, e.j, uPhase, pattern);
}

void ElementPipeline::place(const LayoutElement& e) {
    flush();
    if (full) return;
    Placed p;
    placeWith(transitioner, e, p, err);
    displacement = p.displacement;
    offset = p.offset;
    shapeIndex = p.shapeIndex;
}

Vector ElementPipeline::position(const LayoutElement& e) const {
    return transformer.transform((e.point + displacement) + offset) - origin;
}

bool ElementPipeline::inside(const Vector& p, double m) const {
    return -m <= p.x && p.x <= outputWidth + m && -m <= p.y && p.y <= outputHeight + m;
}

void ElementPipeline::emit(const LayoutElement& e, const Vector& position) { emit(e, position, e.u, e.u, e.u); }

void ElementPipeline::emit(const LayoutElement& e, const Vector& position, double uScale, double uColor,
                           double uPhase) {
    flush();
    ShapeDrawer::Pattern pattern = fresh(e, position, shapeIndex);
    if (full || (drawer.patterns.size() == drawer.patterns.capacity() && !grow())) return;
    valuesWith(transitioner, e, uScale, uColor, uPhase, pattern, err);
    drawer.patterns.push_back(pattern);
}

void ElementPipeline::add(const LayoutElement& e, bool cull) {
    if (queueable()) return enqueue(e, Vector(), cull ? kCullByMargin : kKeep);
    place(e);
    const Vector p = position(e);
    if (cull && !inside(p, margin)) return;
    emit(e, p);
}

void ElementPipeline::addAt(const LayoutElement& e, const Vector& G, const LatticePlacement& how) {
    const LatticePlacement& l = latticeHow;
    if (how.scale != l.scale || how.cosine != l.cosine || how.sine != l.sine || how.margin != l.margin) {
        flush();
        latticeHow = how;
    }
    if (queueable()) return enqueue(e, G, kLattice);
    place(e);
    const Vector at = lattice::placed(G, how.scale, how.cosine, how.sine, displacement + offset);
    if (inside(at, how.margin)) emit(e, at);
}

bool ElementPipeline::queueable() {
    if (full) return false;
    // Once an error is kept no step that could call the host runs again.
    const bool pure = err || ((!transitioner.enabled || !transitioner.byMap || !transitioner.mapLayer) &&
                              (displacer.mode != Displacer::Map || !displacer.mapLayer) &&
                              (shapeMapper.deferToDraw || shapeMapper.weightTotal < 1 ||
                               (!shapeMapper.layer1D && !shapeMapper.layerPre2D && idle(shapeMapper))) &&
                              pureMapper(scaleMapper) && pureMapper(colorMapper) && pureMapper(phaseMapper));
    if (!pure) return false;
    // Every queued element may be kept: the budget must hold them all.
    if (drawer.patterns.size() + queue.size() + 1 > elementLimit()) return false;
    if (threads == 0) {
        // What the runs need of the host is asked for here, never inside one.
        A_long n = 0;
        if (drawer.suites->IterateSuite1()->AEGP_GetNumThreads(&n) || n < 1) n = 1;
        threads = static_cast<int>(n);
        if (threads > 1) drawer.suites->Iterate8Suite1();
    }
    // On one thread a run would only copy the elements twice more.
    return threads > 1;
}

void ElementPipeline::enqueue(const LayoutElement& e, const Vector& G, Cull cull) {
    if (queue.capacity() == 0) queue.reserve(kRunLength);
    queue.push_back({e, G, cull});
    if (queue.size() >= kRunLength) flush();
}

bool ElementPipeline::keeps(const Queued& q, const Placed& p, Vector& at) const {
    switch (q.cull) {
        case kLattice:
            at = lattice::placed(q.G, latticeHow.scale, latticeHow.cosine, latticeHow.sine, p.displacement + p.offset);
            return inside(at, latticeHow.margin);
        case kCullByMargin:
            at = transformer.transform((q.e.point + p.displacement) + p.offset) - origin;
            return inside(at, margin);
        default: at = transformer.transform((q.e.point + p.displacement) + p.offset) - origin; return true;
    }
}

// One run: chunk i of n of the queue, each chunk with a transitioner of its
// own (it holds the element's progress).
struct ElementPipeline::Run {
    ElementPipeline* pipe;
    PF_Err first;                          // the error kept before the run
    mutable std::atomic<int> finished{0};  // chunks worked out to their end
    std::vector<PF_Err>* errors;           // per chunk: the first error it met
    std::size_t size;                      // elements in the run
    int operator()(int i, int n) const {
        const std::size_t from = size * static_cast<std::size_t>(i) / static_cast<std::size_t>(n);
        const std::size_t to = size * static_cast<std::size_t>(i + 1) / static_cast<std::size_t>(n);
        try {
            Transitioner t = pipe->transitioner;
            PF_Err error = first;
            Queued made;
            for (std::size_t k = from; k < to; ++k) {
                const Queued& q =
                    pipe->walking ? pipe->walking->at(k, pipe->transformer, pipe->origin, made) : pipe->queue[k];
                Placed p;
                pipe->placeWith(t, q.e, p, error);
                Vector at;
                pipe->kept[k] = pipe->keeps(q, p, at);
                if (!pipe->kept[k]) continue;
                ShapeDrawer::Pattern& out =
                    *new (&pipe->slots[k]) ShapeDrawer::Pattern(pipe->fresh(q.e, at, p.shapeIndex));
                pipe->valuesWith(t, q.e, q.e.u, q.e.u, q.e.u, out, error);
            }
            if (error != first) (*errors)[static_cast<std::size_t>(i)] = error;
            finished.fetch_add(1, std::memory_order_relaxed);
            return PF_Err_NONE;
        } catch (const std::bad_alloc&) {
            return PF_Err_OUT_OF_MEMORY;
        } catch (...) {
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        }
    }
};

void ElementPipeline::FreeSlots::operator()(ShapeDrawer::Pattern* p) const {
    std::allocator<ShapeDrawer::Pattern>().deallocate(p, kRunLength);
}

// The kept elements of a run appended in order, each stretch of kept ones in
// one copy; the list grows at most once, within the budget.
void ElementPipeline::append(std::size_t size) { appendFrom(slots.get(), kept, size); }

void ElementPipeline::appendFrom(const ShapeDrawer::Pattern* from, const std::vector<uint8_t>& flags,
                                 std::size_t size) {
    std::vector<ShapeDrawer::Pattern>& list = drawer.patterns;
    std::size_t keep = 0;
    for (std::size_t k = 0; k < size; ++k) keep += flags[k];
    const std::size_t limit = elementLimit();
    const std::size_t room = list.size() < limit ? limit - list.size() : 0;
    if (keep > room) {
        // Queued elements are all within the budget; should that ever fail,
        // the list stops where the element-by-element walk would have.
        keep = room;
        full = true;
        if (!err) err = PF_Err_OUT_OF_MEMORY;
    }
    if (list.capacity() - list.size() < keep)
        list.reserve(std::min(limit, list.size() + std::max({keep, list.size() / 2, std::size_t{1024}})));
    for (std::size_t k = 0; k < size && keep > 0;) {
        if (!flags[k]) {
            ++k;
            continue;
        }
        std::size_t end = k + 1;
        while (end < size && flags[end] && end - k < keep) ++end;
        list.insert(list.end(), from + k, from + end);
        keep -= end - k;
        k = end;
    }
}

void ElementPipeline::flush() {
    if (queue.empty()) return;
    if (!work(queue.size(), nullptr)) append(queue.size());
    queue.clear();
}

// A launch's bands: band 0 appends the run before (while the list is touched
// by no other band), the others are the run's chunks.
struct ElementPipeline::WithAppend {
    const Run* run;
    Pending* pending;
    int operator()(int i, int n) const {
        if (i > 0) return (*run)(i - 1, n - 1);
        try {
            pending->pipe->appendFrom(pending->slots, *pending->kept, pending->size);
        } catch (const std::bad_alloc&) {
            pending->err = PF_Err_OUT_OF_MEMORY;
        } catch (...) {
            pending->err = PF_Err_INTERNAL_STRUCT_DAMAGED;
        }
        pending->done = true;
        return PF_Err_NONE;
    }
};

PF_Err ElementPipeline::work(std::size_t size, Pending* pending) {
    if (slotCount < size) {
        // Raw room: each slot is made by the chunk that works it out.
        slots.reset();
        slots.reset(std::allocator<ShapeDrawer::Pattern>().allocate(kRunLength));
        slotCount = kRunLength;
    }
    kept.assign(size, 0);
    const int chunks =
        threads > 1 ? static_cast<int>(std::min<std::size_t>(std::size_t(threads) * 4, (size + 255) / 256)) : 1;
    std::vector<PF_Err> errors(static_cast<std::size_t>(chunks), PF_Err_NONE);
    Run run{this, err, {0}, &errors, size};
    PF_Err failed = PF_Err_NONE;
    if (pending && chunks > 1) {
        WithAppend both{&run, pending};
        failed = iterateGeneric(drawer.in_data, *drawer.suites, &both, chunks + 1);
    } else {
        failed = chunks > 1 ? iterateGeneric(drawer.in_data, *drawer.suites, &run, chunks) : run(0, 1);
    }
    // The run before is appended whatever the launch did.
    if (pending) {
        if (!pending->done) appendFrom(pending->slots, *pending->kept, pending->size);
        if (pending->err && !err) err = pending->err;
    }
    // A run that was worked out to its end stands: the abort state the host
    // may report with it is the layout's to ask for, between its rows.
    if (run.finished.load() == chunks) failed = PF_Err_NONE;
    for (const PF_Err e : errors)
        if (e && !failed) failed = e;
    if (failed && !err) err = failed;
    return failed;
}

const ElementPipeline::Queued& ElementPipeline::LatticeWalk::at(std::size_t k, const Transformer& transformer,
                                                                const Vector& origin, Queued& out) const {
    const long long n = first + static_cast<long long>(k);
    const int r = static_cast<int>(r0 + n / columns), c = static_cast<int>(c0 + n % columns);
    out.e = LayoutElement();
    make(context, r, c, out.e, out.G);
    out.e.point = transformer.transform_inv(out.G + origin);
    out.cull = kLattice;
    return out;
}

PF_Err ElementPipeline::walkLattice(int r0, int r1, int c0, int c1, const LatticePlacement& how, MakeFn make,
                                    const void* context) {
    if (r0 > r1 || c0 > c1) return PF_Err_NONE;
    const long long columns = static_cast<long long>(c1) - c0 + 1;
    const long long count = (static_cast<long long>(r1) - r0 + 1) * columns;
    LatticeWalk walk{r0, c0, columns, 0, make, context};
    long long n = 0;
    // One by one while the elements cannot be worked out in runs (until the
    // mappers have read their curves once, or throughout), or the budget
    // cannot hold the rest of the walk.
    for (Queued one; n < count && !(queueable() && fits(static_cast<double>(count - n)));) {
        walk.first = n;
        walk.at(0, transformer, origin, one);
        addAt(one.e, one.G, how);
        if (++n % columns == 0)
            if (const PF_Err stop = err ? err : PF_ABORT(drawer.in_data)) return stop;
    }
    flush();
    latticeHow = how;
    struct Done {
        const LatticeWalk*& w;
        ~Done() { w = nullptr; }
    } done{walking = &walk};
    // Each run's kept elements are appended by a band of the next run's
    // launch, from the other of two slot buffers; the last run's here.
    Pending pending;
    bool waiting = false;
    while (n < count) {
        const std::size_t size = static_cast<std::size_t>(std::min<long long>(count - n, kRunLength));
        walk.first = n;
        const PF_Err failed = work(size, waiting ? &pending : nullptr);
        waiting = false;
        if (failed) return err;
        // After each row ended in the run, what the row-by-row walk asks
        // there (the first error kept, else the host's cancel): the walk
        // ends with that row.
        std::size_t upTo = size;
        PF_Err stop = PF_Err_NONE;
        for (long long end = (n / columns + 1) * columns; end <= n + static_cast<long long>(size); end += columns)
            if ((stop = err ? err : PF_ABORT(drawer.in_data))) {
                upTo = static_cast<std::size_t>(end - n);
                break;
            }
        n += static_cast<long long>(size);
        if (stop || n >= count) {
            append(upTo);
            return stop;
        }
        slots.swap(spareSlots);
        std::swap(slotCount, spareCount);
        kept.swap(spareKept);
        pending = Pending{this, spareSlots.get(), &spareKept, upTo};
        waiting = true;
    }
    return PF_Err_NONE;
}
