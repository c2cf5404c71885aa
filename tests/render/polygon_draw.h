// Runs one PolygonDrawer the way the drawing driver does, and builds records.
#pragma once

#include "RenderFixture.h"
#include "VemaroPolygonDrawer.h"
#include "World.h"

// threads < 1: the host's thread count.
inline PF_Err drawPolygon(PF_InData* in, AEGP_SuiteHandler& suites, hostsim::World& w, const PolygonDrawer::Pattern& p,
                          bool draft = false, int threads = 1) {
    return drawElement<PolygonDrawer>(in, suites, w, p, draft, threads);
}

// White fill, red stroke, opaque.
inline PolygonDrawer::Pattern polygon(double x, double y, double radius, int sides, double starness = 0.0,
                                      double phase = 0.0, int fillMode = 1, double strokeWidth = 0.0,
                                      double inner = 0.0, double opacity = 1.0) {
    PolygonDrawer::Pattern p;
    p.x = x;
    p.y = y;
    p.radius = radius;
    p.sides = sides;
    p.starness = starness;
    p.phase = phase;
    p.fillMode = fillMode;
    p.strokeWidth = strokeWidth;
    p.innerRadius = inner;
    p.opacity = opacity;
    p.fill = Color{1.0f, 1.0f, 1.0f, 1.0f};
    p.stroke = Color{1.0f, 1.0f, 0.0f, 0.0f};
    return p;
}
