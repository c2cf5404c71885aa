// Draws one element of the image shapes (Input and Layer): a source world
// mapped through rotation and scale onto the output, optionally re-coloured
// per sampled pixel, faded by the element opacity and blended beneath what the
// output already holds. A short-lived work object run over bands by
// iterateGeneric.
#pragma once

#include "AE_Effect.h"
#include "Color.h"
#include "Vector.h"

class AEGP_SuiteHandler;
namespace raster {
class AbortClock;
}

class LayerDrawer {
public:
    // One re-colouring step.
    struct Tone {
        enum { Fill = 1, Tint, Tritone, Hue, Hls, Modifier };
        A_long mode = 0;
        Color highlight;                 // Tritone
        Color shadow;                    // Tritone
        unsigned char preserveLuma = 0;  // Tint, Hue, Hls
        // Fill, Tint, Tritone: RGB. Hue: HLS form (hue in the red slot). Hls:
        // added terms; Modifier: hue shift and factors. The alpha slot
        // multiplies the pixel's alpha after the step.
        Color color;
    };

    struct Pattern {
        A_long blendMode = 1;           // "Blending Mode" popup value
        unsigned char boundingBox = 1;  // 1: the source's own frame; 0: the effect layer's
        PF_LayerDef* source = nullptr;  // not owned
        unsigned char rectKnown = 0;    // 0: the constructor computes rect
        PF_LRect rect{0, 0, 0, 0};      // drawn part of the source, both ends inclusive
        double x = 0.0, y = 0.0;        // centre, output pixels
        Vector anchor;                  // source point (from the frame's centre) put on the centre
        double size = 0.0;              // drawn width of the frame's width
        double widthScale = 1.0, heightScale = 1.0;
        unsigned char hasFill = 0;
        Color fill;
        A_long toneCount = 0;  // 0 to 5
        Tone tones[5];
        double opacity = 1.0;
        double phase = 0.0;  // radians
    };

    // The pattern must outlive the drawer; its rect is written here when not known.
    LayerDrawer(PF_InData* in_data, AEGP_SuiteHandler& suites, unsigned char draft, PF_LayerDef* world, int bpc,
                Pattern& pattern);

    void calculateLayerRect();
    void calculateRegion();
    bool doRender() const;
    bool doMultithread(int threads) const;
    // Draws band i of n of the region; the first error of a sampler or the
    // host's abort.
    int operator()(int i, int n) const;
    // Draws the region's part of the rows [rows.top, rows.bottom); with an
    // abort clock the host's abort is asked between rows (one element may
    // cover the whole output and sample every pixel of it).
    int drawRows(const PF_LRect& rows, raster::AbortClock* abort) const;

    int drawDraft8(PF_LRect rect, raster::AbortClock* abort) const;
    int drawDraft16(PF_LRect rect, raster::AbortClock* abort) const;
    int drawDraft32(PF_LRect rect, raster::AbortClock* abort) const;
    int draw8(PF_LRect rect, raster::AbortClock* abort) const;
    int draw16(PF_LRect rect, raster::AbortClock* abort) const;
    int draw32(PF_LRect rect, raster::AbortClock* abort) const;

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    unsigned char draft;
    PF_LRect region{0, 0, 0, 0};
    PF_LayerDef* world;
    A_long bpc;
    Pattern* pattern;

    // The frame that anchor and size refer to: its size and where the
    // source's pixel (0, 0) lies in it.
    struct Frame {
        double width = 0.0, height = 0.0;
        A_long originX = 0, originY = 0;
    };
    Frame frame() const;

private:
    template <class P>
    int drawT(const PF_LRect& rect, raster::AbortClock* abort, bool draftQuality) const;
    template <class P, class Op, class Sample>
    int drawLoop(const PF_LRect& rect, raster::AbortClock* abort, bool area, Op op, Sample sample) const;
};
