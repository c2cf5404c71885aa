// Eases a linear transition progress with one of eleven curve families.
#pragma once

#include <cstdint>

struct Easing {
    enum Type { Linear = 1, Quad, Cubic, Quart, Quint, Expo, Circ, Sine, Bounce, Back, Elastic };
    enum Mode { In = 1, Out = 2, InOut = 3 };

    // No initialisers: the record is plain data inside the host-held
    // Parameters record. Zero (as a cleared record holds) eases linearly.
    int32_t type;
    int32_t mode;

    // 0 for t <= 0 (and for NaN), 1 for t >= 1, the eased value in between;
    // Back and Elastic overshoot on purpose. A type or mode outside the popups'
    // ranges eases linearly.
    double get(double t) const;
};
