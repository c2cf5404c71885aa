// Draws one Line element: a rectangle rotated by the phase, with a half length
// along its axis and a half thickness across it, and an optional stroke that
// grows it by the stroke width on every side; blended beneath what the output
// already holds. A short-lived work object run over bands by iterateGeneric.
#pragma once

#include "AE_Effect.h"
#include "Color.h"
#include "VemaroKnownClear.h"
#include "VemaroRasteriser.h"

#include <vector>

class AEGP_SuiteHandler;

class LineDrawer : public raster::Rasteriser<LineDrawer> {
    friend class raster::Rasteriser<LineDrawer>;

public:
    static constexpr int kMultithreadRows = 100;

    struct Pattern {
        A_long blendMode = 1;        // "Blending Mode" popup value
        double x = 0.0, y = 0.0;     // centre, output pixels
        double halfLength = 0.0;     // L, along the axis
        double halfThickness = 0.0;  // T, across the axis
        Color fill;
        A_long fillMode = 1;  // 1 Fill, 2 Stroke, 3 Fill & Stroke
        Color stroke;
        double strokeWidth = 0.0;
        double opacity = 1.0;
        double phase = 0.0;  // rotation of the axis, radians; the axis points along (cos, sin), y down
    };

    // The pattern must outlive the drawer.
    LineDrawer(PF_InData* in_data, AEGP_SuiteHandler& suites, unsigned char draft, PF_LayerDef* world, int bpc,
               const Pattern& pattern);

    void calculateAxis();
    void calculateRegion();
    // False when nothing is to be drawn; otherwise builds the column table.
    bool doRender();
    void preDraw();

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    unsigned char draft;
    PF_LRect region{0, 0, 0, 0};
    PF_LayerDef* world;
    A_long bpc;
    const Pattern* pattern;
    // (cos, -sin, sin, cos) of the phase: u = |axis0 dx + axis1 dy| along the
    // axis and v = |axis2 dx + axis3 dy| across it, with dy = y - row.
    double axis[4] = {1.0, 0.0, 0.0, 1.0};
    std::vector<double> offsets;  // c - x per region column
    // The output's known-clear columns, or null: the anti-aliased interior
    // runs store there without reading; every routine widens the hulls of
    // the rows it writes.
    raster::KnownClear* known = nullptr;

private:
    bool ready() const { return offsets.size() == static_cast<std::size_t>(region.right - region.left); }
    template <class P>
    void drawDraftT(PF_LRect band) const;
    template <class P>
    void drawT(PF_LRect band) const;
    template <class P, class Op>
    void drawDraftLoop(const PF_LRect& band, Op op) const;
    template <class P, class Op>
    void drawLoop(const PF_LRect& band, Op op) const;
};

// Instantiated with the drawing routines, in the drawer's own file.
extern template class raster::Rasteriser<LineDrawer>;
