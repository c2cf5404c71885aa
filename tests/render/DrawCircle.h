// Runs one CircleDrawer the way the drawing driver does.
#pragma once

#include "RenderFixture.h"
#include "VemaroCircleDrawer.h"
#include "World.h"

// threads < 1: the host's thread count.
inline PF_Err drawCircle(PF_InData* in, AEGP_SuiteHandler& suites, hostsim::World& w, const CircleDrawer::Pattern& p,
                         bool draft = false, int threads = 1) {
    return drawElement<CircleDrawer>(in, suites, w, p, draft, threads);
}

inline CircleDrawer::Pattern circle(double x, double y, double radius, int fillMode = 1, double inner = 0.0,
                                    double strokeWidth = 0.0, double opacity = 1.0) {
    CircleDrawer::Pattern p;
    p.x = x;
    p.y = y;
    p.radius = radius;
    p.fillMode = fillMode;
    p.innerRadius = inner;
    p.strokeWidth = strokeWidth;
    p.opacity = opacity;
    p.fill = Color{1.0f, 1.0f, 1.0f, 1.0f};
    p.stroke = Color{1.0f, 0.0f, 0.0f, 1.0f};
    return p;
}
