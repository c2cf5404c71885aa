// Mask paths of the effect's layer: the point type of path sampling and the
// look-up of a mask by its unique id.
#pragma once

#include "AE_Effect.h"
#include "Vector.h"

// A point on a mask path with its first derivative along the path.
struct PathPoint {
    Vector position;
    Vector derivative;
};

// The 0-based position among the effect layer's masks of the mask with this
// unique id, or -1 (id 0: no path chosen, nothing asked of the host). Returns
// the first host error.
PF_Err getMaskIndex(PF_InData* in_data, unsigned int maskId, int* index);
