// The transition swept across the shape definitions instead of the elements
// ("Transition Order" Shape): one state per shape, computed once per render
// and read by the drawing for every element of that shape.
#pragma once

#include "Color.h"
#include "Parameters.h"
#include "Vector.h"
#include "VemaroEasing.h"
#include "VemaroTransition.h"

#include <cstdint>
#include <vector>

class TransitionAnimator;

class ShapeTransitioner {
public:
    // Copies the targets and Manual switches as TransitionAnimator::init left
    // them in the record. Enabled only with the Shape order; then the per-shape
    // vectors are filled at once (one entry per shape definition in use).
    ShapeTransitioner(const Parameters& params, const TransitionAnimator& animator);

    // Fills the six vectors; called by the constructor when enabled.
    void init();

    uint8_t enabled;
    const TransitionAnimator* animator;
    Transition transition;
    Easing easing;
    int32_t count;       // shape definitions in use, 1 to 8
    double orderOffset;  // turns
    double matrix[4];    // Transform rotation and scale; zero when disabled

    Vector offsetTarget;
    uint8_t offsetManual;
    std::vector<Vector> offsets;  // rotated and scaled by matrix, downsampled pixels

    double scaleTarget;
    uint8_t scaleManual;
    std::vector<double> scales;

    Color colorTarget;  // {unused, hue shift, lightness factor, saturation factor}
    uint8_t colorManual;
    std::vector<Color> colors;      // {1, hue shift, lightness factor, saturation factor}
    std::vector<uint8_t> colorSet;  // 1 where the modifier is not the identity

    double opacityTarget;
    uint8_t opacityManual;
    std::vector<double> opacities;

    double phaseTarget;  // radians
    uint8_t phaseManual;
    std::vector<double> phases;  // radians
};
