// Small services of the render: the bit-depth index of a world, the band
// launcher for work objects, whether a layer parameter points at a layer with
// video, and the alpha bounding box of a layer world.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"

// Bit-depth index from the world's pixel format: 0 = 8 bits, 1 = 16 bits,
// 2 = 32-bit float. Any other format leaves *bpc unchanged.
PF_Err getBPC(PF_InData* in_data, PF_OutData* out_data, PF_WorldSuite2* worldSuite, PF_LayerDef* world, int* bpc);

// The reference constant handed to the host's iterate callback.
template <class T>
struct IterateRefcon {
    PF_InData* in_data;
    const T* obj;
};

// The host's callback: band i of n of the work object; the thread index is not
// used.
template <class T>
PF_Err iterate_generic_func(void* refcon, A_long /*thread*/, A_long i, A_long n) {
    const IterateRefcon<T>* r = static_cast<const IterateRefcon<T>*>(refcon);
    return (*r->obj)(i, n);
}

// Runs a work object over `threads` bands on the host's threads (threads < 1:
// the host's thread count). With fewer than two bands it runs inline as band
// 0 of 1 and then reports the host's abort check.
template <class T>
PF_Err iterateGeneric(PF_InData* in_data, AEGP_SuiteHandler& suites, T* obj, int threads) {
    if (!obj) return PF_Err_NONE;
    if (threads < 1) {
        A_long n = 0;
        if (A_Err err = suites.IterateSuite1()->AEGP_GetNumThreads(&n)) return err;
        threads = n;
    }
    if (threads < 2) {
        if (PF_Err err = (*obj)(0, 1)) return err;
        return PF_ABORT(in_data);
    }
    IterateRefcon<T> refcon{in_data, obj};
    return suites.Iterate8Suite1()->iterate_generic(threads, &refcon, iterate_generic_func<T>);
}

// Clears the given outputs, then reads the layer parameter's stream at the
// current time; *hasVideo = 1 for a text or shape layer, or an AV layer whose
// source item has video. Returns the suites' error.
PF_Err hasVideo(int pluginId, PF_InData* in_data, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect, AEGP_CompH comp,
                int paramIndex, int* layerId, unsigned char* hasVideo);

// The bounds of the covered pixels (alpha non-zero; above 1e-6 at float) grown
// by one on every side; a fully transparent world gives
// {width - 1, height - 1, 1, 1}.
void calculateLayerRect(PF_InData* in_data, AEGP_SuiteHandler& suites, int bpc, PF_LayerDef* world, PF_LRect& rect);
