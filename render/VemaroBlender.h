// The final compositor: the opacity pass scales the drawing's alpha by the
// "Transform Opacity"; the blend pass composites the drawing (top) over the
// effect's input layer (bottom) with the "Blending Mode", in the output world.
// A work object run over bands of the output by iterateGeneric.
#pragma once

#include "AE_Effect.h"

class AEGP_SuiteHandler;

class Blender {
public:
    Blender(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_LayerDef* input, PF_LayerDef* output, int bpc,
            double opacity, int blendMode);

    // Whether the opacity pass changes anything at the output's depth.
    bool doLighten() const;
    // Band i of n of the output's rows: the blend pass when blend is set, else
    // the opacity pass.
    int operator()(int i, int n) const;

    // The opacity pass and the blend pass over some rows of the output.
    void lightenRows(const PF_LRect& rows) const;
    void blendRows(const PF_LRect& rows) const;

    int lighten8(PF_LRect rect) const;
    int lighten16(PF_LRect rect) const;
    int lighten32(PF_LRect rect) const;
    int blend8(PF_LRect rect) const;
    int blend16(PF_LRect rect) const;
    int blend32(PF_LRect rect) const;

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    PF_LayerDef* input;   // bottom of the blend pass, read only
    PF_LayerDef* output;  // the drawing; target of both passes
    A_long bpc;
    A_long blend = 0;  // 0 = opacity pass, otherwise blend pass
    double opacity;
    A_long blendMode;

private:
    template <class P>
    void lightenT(const PF_LRect& rect) const;
    template <class P>
    void blendT(const PF_LRect& rect) const;
};
