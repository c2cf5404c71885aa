// Draws one Polygon element: a regular polygon or a star, optionally with a
// hole of the same shape, filled, stroked outside its outline, or both,
// blended beneath what the output already holds. A short-lived work object run
// over bands by iterateGeneric.
#pragma once

#include "AE_Effect.h"
#include "Color.h"
#include "VemaroKnownClear.h"
#include "VemaroRasteriser.h"

#include <vector>

class AEGP_SuiteHandler;

class PolygonDrawer : public raster::Rasteriser<PolygonDrawer> {
    friend class raster::Rasteriser<PolygonDrawer>;

public:
    static constexpr int kMultithreadRows = 50;

    struct Pattern {
        A_long blendMode = 1;      // "Blending Mode" popup value
        double x = 0.0, y = 0.0;   // centre, output pixels
        double radius = 0.0;       // R, distance of the outer points from the centre
        double innerRadius = 0.0;  // hole size as a fraction of the outline; 0 = no hole
        A_long sides = 3;          // number of points
        double starness = 0.0;     // 0 = plain polygon, 1 = points between pulled to the centre
        Color fill;
        A_long fillMode = 1;  // 1 Fill, 2 Stroke, anything else Fill & Stroke
        Color stroke;
        double strokeWidth = 0.0;  // the stroke lies outside the filled area
        double opacity = 1.0;
        double phase = 0.0;  // radians; positive turns clockwise on screen
    };

    // One straight side: start point relative to the centre (y up) and the
    // unit direction to its end (left as is for a side of length 0).
    struct Edge {
        double x, y, ux, uy;
    };
    // A unit direction from the centre (y up).
    struct Ray {
        double x, y;
    };

    // Fewer sides than this is no polygon; more would only cost memory.
    static constexpr A_long kMinSides = 3;
    static constexpr A_long kMaxSides = 1024;

    // The pattern must outlive the drawer.
    PolygonDrawer(PF_InData* in_data, AEGP_SuiteHandler& suites, unsigned char draft, PF_LayerDef* world, int bpc,
                  const Pattern& pattern);

    void calculateRegion();
    // The outline and the hole's outline, 2 * sides edges each, counter-
    // clockwise in the y-up frame so that the filled side is on the left;
    // and the rays between the sides' wedges.
    void createEdges();
    // False when nothing is to be drawn; otherwise builds the tables.
    bool doRender();
    void preDraw();

    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    unsigned char draft;
    PF_LRect region{0, 0, 0, 0};
    PF_LayerDef* world;
    A_long bpc;
    const Pattern* pattern;
    std::vector<Edge> edges;       // the outline
    std::vector<Edge> innerEdges;  // the hole's outline
    // The 2 * sides + 1 directions at start + j pi / sides (the last is the
    // first): those at even j are the outer points'; those at odd j are
    // only made when the start angle is small enough for the drawing to
    // place its wedges by them (kRayStart).
    std::vector<Ray> rays;
    static constexpr double kRayStart = 1e3;
    std::vector<double> columnOffsets;  // c - x per region column
    // The output's known-clear columns, or null: pixels outside a row's hull
    // are stored without reading, and the hull is widened over every row's
    // columns the drawing may write.
    raster::KnownClear* known = nullptr;
    // The rows the drawing will be asked for, when the caller knows them (a
    // strip of the frame), or null for the whole region: the rows asked for
    // ahead are their first, not the element's, which other threads draw.
    const PF_LRect* strip = nullptr;

private:
    // Rows asked for ahead of their drawing: an element's rows start on cache
    // lines nothing touched lately, and the drawing waits on them.
    static constexpr A_long kAheadRows = 32;

    template <class P>
    void drawDraftT(PF_LRect band) const;
    template <class P>
    void drawT(PF_LRect band) const;
    template <class P, class Op>
    void drawDraftLoop(const PF_LRect& band, Op op) const;
    template <class P, class Op>
    void drawLoop(const PF_LRect& band, Op op) const;
    bool ready() const;
};

// Instantiated in the drawer's own file; the drawing routines it calls, once
// per depth and kind in VemaroPolygonDrawer8/16/32.cpp and
// VemaroPolygonDraft8/16/32.cpp.
extern template class raster::Rasteriser<PolygonDrawer>;
