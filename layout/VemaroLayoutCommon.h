// Small pieces the bounded and unbounded layouts share.
#pragma once

#include "AE_Effect.h"
#include "Parameters.h"

#include <cstddef>

// The most elements one layout call creates where the count follows from
// lengths and steps rather than from a bounded "Number" (Graph by delta, Path
// by interval, Random): beyond it the layout places nothing and reports
// PF_Err_OUT_OF_MEMORY instead of exhausting memory inside the host.
constexpr std::size_t kMaxLayoutElements = 1000000;

// Elements outside the output are dropped only when nothing can bring them
// back: no repeater copies and no per-shape transition offsets.
inline bool layoutCulls(const Parameters& p) { return p.repeaterType == 1 && p.transitionOrder != 4; }

// The map position step of n elements: the last one at 1.
inline double mapStep(std::size_t n) { return n > 1 ? 1.0 / static_cast<double>(n - 1) : 1.0; }

// in_data's downsample factor as a double; a zero denominator is full resolution.
inline double downsampleFactor(const PF_RationalScale& f) {
    return f.den ? static_cast<double>(f.num) / static_cast<double>(f.den) : 1.0;
}

constexpr double kLayoutPi = 3.14159265358979323846;

// Layouts whose points come from outside (expressions, audio) may compute
// positions that are not numbers; such an element has no place to be drawn
// at and is dropped, culling or not.
class ElementPipeline;
struct LayoutElement;
void addIfFinite(ElementPipeline& pipeline, const LayoutElement& e, bool cull);
