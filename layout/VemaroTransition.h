// Staggered per-index progress of the transition: the completion value swept
// across the order indices with a fixed delay between neighbours.
#pragma once

#include <cstdint>

class Transition {
public:
    enum Mode {
        OneShot = 1,
        Loop = 2,
        Pingpong = 3,
        Pingpong2 = 4,
        // 5 is the popup's separator line.
        ContinuousLoop = 6,
        ContinuousPingpong = 7
    };

    // completion, delay and rest are factors (1.0 = 100 %). A mode outside the
    // popup's items (the separator 5 included) behaves as One Shot.
    Transition(int32_t mode, double completion, double delay, double rest, int32_t count, bool reverse);

    // Raw progress of one index, in [0, 1]; the index may be fractional.
    double get(double index) const;

    int32_t mode;
    double completion;
    double delay;
    double width;
    int32_t count;
    uint8_t reverse;
    uint8_t cyclic;
    double slope;
    double intercept;
};
