// Runs one LineDrawer the way the drawing driver does, and builds line records.
#pragma once

#include "RenderFixture.h"
#include "VemaroLineDrawer.h"
#include "World.h"

// threads < 1: the host's thread count.
inline PF_Err drawLine(PF_InData* in, AEGP_SuiteHandler& suites, hostsim::World& w, const LineDrawer::Pattern& p,
                       bool draft = false, int threads = 1) {
    return drawElement<LineDrawer>(in, suites, w, p, draft, threads);
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
