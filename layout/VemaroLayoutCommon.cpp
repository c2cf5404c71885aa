#include "VemaroLayoutCommon.h"

#include "VemaroElementPipeline.h"

#include <cmath>

void addIfFinite(ElementPipeline& pipeline, const LayoutElement& e, bool cull) {
    pipeline.place(e);
    const Vector at = pipeline.position(e);
    if (!std::isfinite(at.x) || !std::isfinite(at.y)) return;
    if (cull && !pipeline.inside(at, pipeline.margin)) return;
    pipeline.emit(e, at);
}
