// Shared by the lattice layout tests: the transformed lattice origin with the
// standard library's maths, and a white displacement map that fails one
// sampling.
#pragma once

#include "elements_fixture.h"

#include <cmath>

class LatticeTest : public ElementsTest {
protected:
    // The Transform group applied to center + R(rotation) * offset, minus the
    // output origin; and the lattice axes for the rotation plus the transform's.
    Vector latticeOrigin(Vector center, double rotation, Vector offset, Vector origin) const {
        const Parameters& p = record;
        const double gc = std::cos(rotation), gs = std::sin(rotation);
        const Vector q = center + Vector{offset.x * gc - offset.y * gs, offset.x * gs + offset.y * gc};
        const double tc = std::cos(p.transformRotation), ts = std::sin(p.transformRotation);
        const Vector e = (q - p.transformAnchor) * p.transformScale;
        return Vector{e.x * tc - e.y * ts, e.x * ts + e.y * tc} + p.transformPosition - origin;
    }
    Vector axisU(double rotation) const {
        const double a = record.transformRotation + rotation;
        return {std::cos(a), std::sin(a)};
    }
    Vector axisV(double rotation) const {
        const double a = record.transformRotation + rotation;
        return {-std::sin(a), std::cos(a)};
    }
    // Map displacement on a white layer; the nth sampling fails with 42.
    void failingDisplacementMap(int nth) {
        hostsim::World& shift = uniformMap(grey(255));
        record.displacementMode = 2;
        record.displacementMap = shift.get();
        record.displacementMapWrap = 2;
        record.displacementXChannel = record.displacementYChannel = 1;
        host.faults().failCall("subpixel_sample", nth, 42);
    }
};
