#include "VemaroTransformer.h"

#include <cmath>

Transformer::Transformer(const Vector& anchor_, const Vector& position_, double scale_, double angle)
    : anchor(anchor_), position(position_), scale(scale_), cos(std::cos(angle)), sin(std::sin(angle)) {}

Vector Transformer::transform(const Vector& p) const {
    const double dx = (p.x - anchor.x) * scale;
    const double dy = (p.y - anchor.y) * scale;
    return {dx * cos - dy * sin + position.x, dx * sin + dy * cos + position.y};
}

Vector Transformer::transform_inv(const Vector& q) const {
    const double ux = q.x - position.x;
    const double uy = q.y - position.y;
    return {(ux * cos + uy * sin) / scale + anchor.x, (uy * cos - ux * sin) / scale + anchor.y};
}
