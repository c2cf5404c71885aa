// The keyframed "Manual" transition targets of one render: each target whose
// Manual switch is on and whose parameter is animated is sampled at `samples`
// exactly spaced times over its keyframe span, and the getters interpolate the
// samples at an element's eased progress.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Color.h"
#include "Parameters.h"
#include "Vector.h"

#include <vector>

class TransitionAnimator {
public:
    // Effect parameters (stream indices) of the transition targets.
    enum : PF_ParamIndex {
        kOffsetParam = 134,
        kScaleParam = 136,
        kHueParam = 138,
        kLightnessParam = 139,
        kSaturationParam = 140,
        kOpacityParam = 142,
        kPhaseParam = 144
    };

    // Set by the smart render before init().
    AEGP_PluginID pluginId = 0;
    PF_InData* in_data = nullptr;
    AEGP_SuiteHandler* suites = nullptr;
    AEGP_EffectRefH effect = nullptr;
    Parameters* params = nullptr;
    int samples = 0;

    std::vector<Vector> offsets;    // downsampled layer pixels
    std::vector<double> scales;     // factors
    std::vector<Color> colors;      // {1, hue shift in degrees, lightness factor, saturation factor}
    std::vector<double> opacities;  // factors
    std::vector<double> phases;     // radians

    // Fills the curves in the order offset, scale, colour, opacity, phase and
    // stops at the first error. A Manual switch whose parameter has no span
    // is cleared in `params`; the offset and scale maxima replace the static
    // targets there.
    A_Err init();
    A_Err initOffset();
    A_Err initScale();
    A_Err initColor();
    A_Err initOpacity();
    A_Err initPhase();

    // At an eased progress t, linear between neighbouring samples; the first
    // sample for t <= 0 and the last for t >= 1.
    Vector getOffset(double t) const;
    double getScale(double t) const;
    Color getColor(double t) const;
    double getOpacity(double t) const;
    double getPhase(double t) const;

private:
    // Samples per curve; the interpolation needs two.
    int count() const { return samples < 2 ? 2 : samples; }
    template <class T, class F>
    A_Err sample(unsigned char& manual, std::vector<PF_ParamIndex> streams, std::vector<T>& curve, F convert);
    template <class T>
    T interpolate(const std::vector<T>& curve, double t) const;
};
