#include "VemaroDrawer.h"

#include "VemaroTransitionAnimator.h"

int downsampledSize(A_long size, const PF_RationalScale& factor) {
    if (factor.den == 0) return static_cast<int>(size);
    const uint32_t product = static_cast<uint32_t>(size) * static_cast<uint32_t>(factor.num);
    return static_cast<int>(product / static_cast<uint32_t>(factor.den));
}

ShapeDrawer::ShapeDrawer(AEGP_PluginID pluginId_, PF_InData* in_data_, AEGP_SuiteHandler& suites_,
                         AEGP_EffectRefH effect_, PF_EffectWorld* input_, PF_EffectWorld* output_, int bpc_,
                         const Parameters& params_, const TransitionAnimator& animator_, uint8_t draft_)
    : pluginId(pluginId_),
      in_data(in_data_),
      suites(&suites_),
      effect(effect_),
      input(input_),
      output(output_),
      bpc(bpc_),
      params(&params_),
      draft(draft_),
      width(downsampledSize(in_data_->width, in_data_->downsample_x)),
      height(downsampledSize(in_data_->height, in_data_->downsample_y)),
      originX(output_ ? static_cast<double>(output_->origin_x) : 0.0),
      originY(output_ ? static_cast<double>(output_->origin_y) : 0.0),
      animator(&animator_),
      shapeTransitioner(params_, animator_) {}

PF_Err ShapeDrawer::createPatterns() {
    switch (params->pattern) {
        case 1: return createPointPatterns();
        case 2: return createLinePatterns();
        case 3: return createLineSegmentPatterns();
        case 4: return createCirclePatterns();
        case 5: return createRectanglePatterns();
        case 6: return createGridPatterns();
        case 7: return createFiniteGridPatterns();
        case 8: return createTriangularGridPatterns();
        case 9: return createPathPatterns();
        case 10: return createWaveformPatterns();
        case 11: return createGraphPatterns();
        case 12: return createRandomPatterns();
        default: return PF_Err_NONE;
    }
}
