// The Transform group's similarity transform: layout space to layer space and
// back. With y pointing down, a positive angle turns clockwise on screen.
#pragma once

#include "Vector.h"

class Transformer {
public:
    // angle in radians; scale as a factor (1.0 = 100 %).
    Transformer(const Vector& anchor, const Vector& position, double scale, double angle);

    Vector transform(const Vector& p) const;
    // Undefined for scale 0; the render draws nothing at such a scale.
    Vector transform_inv(const Vector& q) const;

    Vector anchor;
    Vector position;
    double scale;
    double cos;
    double sin;
};
