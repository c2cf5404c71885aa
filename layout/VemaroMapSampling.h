// Reading a colour from a map layer through the host's sampling suite of the
// bit depth, and reducing it to a rate in [0, 1].
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Color.h"
#include "Vector.h"

// Wrap modes of the "Wrap" popup; 0 and unknown values behave as Clamp.
enum { kMapWrapNone = 1, kMapWrapClamp = 2, kMapWrapRepeat = 3, kMapWrapMirror = 4 };

// Channels of the map popups, 1 to 9; any other value gives rate 1.
enum {
    kMapChannelLightness = 1,
    kMapChannelBrightness,
    kMapChannelLuminance,
    kMapChannelHue,
    kMapChannelSaturation,
    kMapChannelRed,
    kMapChannelGreen,
    kMapChannelBlue,
    kMapChannelAlpha
};

// A pixel coordinate as the host's 16.16 fixed point, halves away from zero.
// Coordinates beyond the fixed-point range (and NaN) are first brought to the
// nearest representable one far outside any map.
PF_Fixed mapToFixed(double v);

// The middle row of the map, at (map width - 1) * t.
PF_Err getMapColor1D(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_SampPB& sampler, int bpc, double t,
                     Color* color);
// The map stretched over a width x height area; (position + offset) clamped to it.
PF_Err getMapColor2D(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_SampPB& sampler, int bpc, const Vector& position,
                     const Vector& offset, int width, int height, Color* color);
// The map stretched over a width x height area, outside positions resolved by the wrap mode.
PF_Err getMapColor2D(PF_InData* in_data, AEGP_SuiteHandler& suites, PF_SampPB& sampler, int bpc, const Vector& position,
                     int wrap, int width, int height, Color* color);

// The colour's rate by channel, clamped to [0, 1], inverted, cut by the soft
// threshold band [lower, upper) and raised to the exponent.
double getMapRate(int channel, double exponent, unsigned char invert, const Color& color, double upper, double lower);
