// Runs one LineDrawer the way the drawing driver does, and builds line records.
#pragma once

#include "VemaroLineDrawer.h"
#include "VemaroRenderHelpers.h"
#include "World.h"

// threads < 1: the host's thread count, when the region is tall enough.
inline PF_Err drawLine(PF_InData* in, AEGP_SuiteHandler& suites, hostsim::World& w, const LineDrawer::Pattern& p,
                       bool draft = false, int threads = 1) {
    LineDrawer d(in, suites, draft ? 1 : 0, w.get(), static_cast<int>(w.depth()), p);
    if (!d.doRender()) return PF_Err_NONE;
    return iterateGeneric(in, suites, &d, threads);
}

// White fill, red stroke.
inline LineDrawer::Pattern line(double x, double y, double halfLength, double halfThickness, double phase = 0.0,
                                int fillMode = 1, double strokeWidth = 0.0, double opacity = 1.0) {
    LineDrawer::Pattern p;
    p.x = x;
    p.y = y;
    p.halfLength = halfLength;
    p.halfThickness = halfThickness;
    p.phase = phase;
    p.fillMode = fillMode;
    p.strokeWidth = strokeWidth;
    p.opacity = opacity;
    p.fill = Color{1.0f, 1.0f, 1.0f, 1.0f};
    p.stroke = Color{1.0f, 1.0f, 0.0f, 0.0f};
    return p;
}
