// The transition swept across the elements of one layout run: each element's
// eased progress from its place in the transition order (or from a map), and
// the targets applied to the element at that progress.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Color.h"
#include "Parameters.h"
#include "Vector.h"
#include "VemaroDrawer.h"
#include "VemaroEasing.h"
#include "VemaroOrderMapper.h"
#include "VemaroTransition.h"

#include <cstdint>

class TransitionAnimator;

class Transitioner {
public:
    // count: the layout's transition count (its elements or classes).
    Transitioner(PF_InData* in_data, AEGP_SuiteHandler& suites, int bpc, const Parameters& params,
                 const TransitionAnimator& animator, int count);

    // The eased progress of the element with transition index `index` whose
    // undisplaced layout point is `point`; the map sampling's error. Does
    // nothing when disabled (the Shape order).
    PF_Err init(const Vector& point, int index);

    // Scale, colour modifier, opacity and phase at the current progress.
    void map(ShapeDrawer::Pattern& pattern) const;

    // The element's transition offset at the current progress: (0, 0) when
    // disabled, the animator's curve with Manual Offset, else the target.
    Vector offset() const;

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    int bpc;
    int width;
    int height;
    const TransitionAnimator* animator;
    Transition transition;
    Easing easing;
    OrderMapper order;
    int count;
    int orderOffset;
    uint8_t enabled;
    uint8_t byMap;
    PF_LayerDef* mapLayer;
    PF_SampPB sampler;
    int mapWrap;
    int mapChannel;
    Vector offsetTarget;
    uint8_t offsetManual;
    double scaleTarget;
    uint8_t scaleManual;
    Color colorTarget;  // {unused, hue shift, lightness factor, saturation factor}
    uint8_t colorManual;
    double opacityTarget;
    uint8_t opacityManual;
    double phaseTarget;  // radians
    uint8_t phaseManual;
    double progress = 0.0;
    float progressF = 0.0f;
};

// count × turns truncated toward zero; a result beyond int (or NaN) rotates
// nothing.
int orderRotation(int count, double turns);

// The colour modifier at an eased progress: the animator's curve with Manual
// Color, else the straight line from the identity to the target in single
// precision. True when it differs from the identity by more than 0.001 in
// any slot; `out` is then {1, hue shift, lightness factor, saturation factor}.
bool transitionColor(const TransitionAnimator& animator, bool manual, const Color& target, double progress,
                     float progressF, Color& out);
