// Draws one Circle element: a disc, or a ring when innerRadius is above 0, with
// an optional stroke outside and inside it, blended beneath what the output
// already holds. A short-lived work object run over bands by iterateGeneric.
#pragma once

#include "AE_Effect.h"
#include "Color.h"
#include "VemaroKnownClear.h"
#include "VemaroRasteriser.h"

#include <vector>

class AEGP_SuiteHandler;

class CircleDrawer : public raster::Rasteriser<CircleDrawer> {
    friend class raster::Rasteriser<CircleDrawer>;

public:
    static constexpr int kMultithreadRows = 80;

    struct Pattern {
        A_long blendMode = 1;      // "Blending Mode" popup value
        double x = 0.0, y = 0.0;   // centre, output pixels
        double radius = 0.0;       // outer radius R
        double innerRadius = 0.0;  // fraction of R; 0 = full disc
        Color fill;
        A_long fillMode = 1;  // 1 Fill, 2 Stroke, 3 Fill & Stroke
        Color stroke;
        double strokeWidth = 0.0;
        double opacity = 1.0;
    };

    // The pattern must outlive the drawer.
    CircleDrawer(PF_InData* in_data, AEGP_SuiteHandler& suites, unsigned char draft, PF_LayerDef* world, int bpc,
                 const Pattern& pattern);

    void calculateRegion();
    // False when nothing is to be drawn; otherwise builds the column tables.
    bool doRender();
    void preDraw();

    void drawFill8(PF_LRect band) const;
    void drawFill16(PF_LRect band) const;
    void drawFill32(PF_LRect band) const;

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    unsigned char draft;
    unsigned char fillOnly;
    PF_LRect region{0, 0, 0, 0};
    PF_LayerDef* world;
    A_long bpc;
    const Pattern* pattern;
    std::vector<double> distances;         // |c - x| per region column
    std::vector<double> squaredDistances;  // its square
    // The output's known-clear columns, or null: the fill stores there
    // without reading; every routine widens the hulls of the rows it writes.
    raster::KnownClear* known = nullptr;

private:
    bool ready() const;
    template <class P>
    void drawDepth(const PF_LRect& band) const;
    template <class P>
    void drawDraftT(PF_LRect band) const;
    template <class P>
    void drawFillT(PF_LRect band) const;
    template <class P>
    void drawT(PF_LRect band) const;
    template <class P, class Op>
    void drawDraftLoop(const PF_LRect& band, Op op) const;
    template <class P, class Op, bool kOpaque>
    void drawFillLoop(const PF_LRect& band, Op op) const;
    template <class P, class Op>
    void drawLoop(const PF_LRect& band, Op op) const;
};

// Instantiated with the drawing routines, in the drawer's own file.
extern template class raster::Rasteriser<CircleDrawer>;
