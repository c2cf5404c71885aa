#include "VemaroDisplacer.h"

#include "VemaroMapSampling.h"
#include "VemaroPatternHash.h"

Displacer::Displacer(PF_InData* in_data_, AEGP_SuiteHandler& suites_, int bpc_, int width_, int height_,
                     const Parameters& p)
    : in_data(in_data_),
      suites(&suites_),
      bpc(bpc_),
      width(width_),
      height(height_),
      mode(p.displacementMode),
      mapLayer(p.displacementMap),
      sampler{},
      mapWrap(p.displacementMapWrap),
      xChannel(p.displacementXChannel),
      xAmount(p.displacementX),
      yChannel(p.displacementYChannel),
      yAmount(p.displacementY),
      seed(p.displacementSeed) {
    sampler.src = mapLayer;
}

PF_Err Displacer::map(const Vector& point, int i, int j, Vector& offset) {
    if (mode == Random) {
        // The sign is drawn always (it survives on a zero amount); the
        // factor only for an amount it can change.
        offset = Vector(xAmount, yAmount);
        if (patternHash(in_data, i, j, 0, seed) > 0.5) offset.x = -offset.x;
        if (offset.x != 0.0) offset.x *= patternHash(in_data, i, j, 1, seed);
        if (patternHash(in_data, i, j, 2, seed) > 0.5) offset.y = -offset.y;
        if (offset.y != 0.0) offset.y *= patternHash(in_data, i, j, 3, seed);
        return PF_Err_NONE;
    }
    if (mode != Map || !mapLayer) return PF_Err_NONE;
    Color color;
    const PF_Err err = getMapColor2D(in_data, *suites, sampler, bpc, point, mapWrap, width, height, &color);
    const double rx = getMapRate(xChannel, 1.0, 0, color, 0.0, 0.0);
    const double ry = getMapRate(yChannel, 1.0, 0, color, 0.0, 0.0);
    offset.x = ((rx - 0.5) + (rx - 0.5)) * xAmount;
    offset.y = ((ry - 0.5) + (ry - 0.5)) * yAmount;
    return err;
}
