#include "VemaroElementPipeline.h"

#include "VemaroElementBounds.h"
#include "VemaroTransitionAnimator.h"

#include <algorithm>

namespace {

MapperHost mapperHost(const ShapeDrawer& d) {
    return MapperHost{d.pluginId, d.in_data, d.suites, d.effect, d.bpc, d.width, d.height};
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

void ElementPipeline::place(const LayoutElement& e) {
    if (full) return;
    if (!err) err = transitioner.init(e.point, e.transitionIndex);
    displacement = Vector();
    if (!err) err = displacer.map(e.point, e.i, e.j, displacement);
    offset = transitioner.offset();
    const LayoutElement::ShapeChoice choice = e.shape ? *e.shape : LayoutElement::ShapeChoice{e.i, e.j, e.i};
    shapeIndex = choice.start;
    if (!err) err = shapeMapper.map(e.point, choice.i, choice.j, e.u, shapeIndex);
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
    ShapeDrawer::Pattern pattern;
    pattern.shapeIndex = shapeIndex;
    pattern.i = e.i;
    pattern.j = e.j;
    pattern.t = e.t;
    pattern.position = position;
    pattern.phase = e.phase;
    if (full || (drawer.patterns.size() == drawer.patterns.capacity() && !grow())) return;
    transitioner.map(pattern);
    if (!err) err = scaleMapper.map(e.point, e.i, e.j, uScale, pattern);
    if (!err) err = colorMapper.map(e.point, e.i, e.j, uColor, pattern);
    if (!err) err = phaseMapper.map(e.point, e.i, e.j, uPhase, pattern);
    drawer.patterns.push_back(pattern);
}

void ElementPipeline::add(const LayoutElement& e, bool cull) {
    place(e);
    const Vector p = position(e);
    if (cull && !inside(p, margin)) return;
    emit(e, p);
}
