// Moves each element away from its layout point: by a repeatable random amount
// per element, or by two channels of a displacement map.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Parameters.h"
#include "Vector.h"

class Displacer {
public:
    enum Mode { Random = 1, Map = 2 };

    // width, height: the layer in downsampled pixels.
    Displacer(PF_InData* in_data, AEGP_SuiteHandler& suites, int bpc, int width, int height, const Parameters& params);

    // `offset` is set by the caller to (0, 0) and left so in any other mode and
    // without a map layer. The map sampling's error.
    PF_Err map(const Vector& point, int i, int j, Vector& offset);

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    int bpc;
    int width;
    int height;
    int mode;
    PF_LayerDef* mapLayer;
    PF_SampPB sampler;
    int mapWrap;
    int xChannel;
    double xAmount;
    int yChannel;
    double yAmount;
    Vector seed;
};
