// Mask paths on layers: vertices with in and out tangents joined by cubic
// Bézier segments, open or closed, each mask with a unique id and optionally
// animated by keyframes. Serves "PF Path Query Suite" and "PF Path Data Suite"
// (paths of the effect's layer, in the current render's downsampled layer
// pixels) and "AEGP Layer Mask Suite" 6, with accounting of path check-outs,
// segment-length preparations and mask references.
#pragma once

#include "Host.h"

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace hostsim {

// A vertex in full-resolution layer pixels; the tangents are relative to it.
struct MaskVertex {
    double x = 0, y = 0;
    double inX = 0, inY = 0;
    double outX = 0, outY = 0;
};

// One cubic Bézier segment and its geometry, as the path data suite measures it.
struct BezierSegment {
    std::array<double, 8> p{};  // x0 y0 x1 y1 x2 y2 x3 y3
    bool straight() const;      // both handles zero: a line, measured exactly
    void point(double t, double* x, double* y) const;
    void derivative(double t, double* dx, double* dy) const;
    double speed(double t) const;
    // Arc length from t0 to t1 (Gauss-Legendre).
    double length(double t0, double t1) const;
};

class Masks : public Component {
public:
    void install(Host& host) override;
    void beforeCommand(Host& host, PF_Cmd cmd) override;
    void afterCommand(Host& host, PF_Cmd cmd) override;
    void commandLeaks(std::vector<std::string>& out) const override;
    void unloadLeaks(std::vector<std::string>& out) const override;

    // The layer whose masks the path suites serve: the composition's effect layer.
    AEGP_LayerH effectLayer() const;

    // Adds a mask to a layer (null: the effect's layer); returns its unique id,
    // `id` when that is given (it must be unused), else the next free one.
    PF_PathID addMask(const std::vector<MaskVertex>& vertices, bool open, AEGP_LayerH layer = nullptr,
                      PF_PathID id = 0);
    // Animates a mask: at the layer time `time` its vertices are `vertices`
    // (same count); linear between keys, held before the first and after the last.
    void addKey(PF_PathID id, A_Time time, const std::vector<MaskVertex>& vertices);
    void clear();

    // The mask's vertices at a layer time, full resolution.
    std::vector<MaskVertex> verticesAt(PF_PathID id, A_Time time) const;

    // Accounting.
    int checkedOut() const;    // paths checked out and not checked in
    int preparations() const;  // segment-length preparations not cleaned up
    int maskRefs() const;      // mask references not disposed
    int checkouts() const;     // every successful check-out so far

    // Served to the suite callbacks.
    struct Outline {
        PF_PathID id;
        bool open;
        std::vector<MaskVertex> vertices;  // downsampled
        std::vector<BezierSegment> segments;
    };
    struct Prep {
        const Outline* outline;
        A_long segment;
        std::vector<double> cumulative;  // arc length at t = i / frequency
    };
    struct Def {
        PF_PathID id;
        bool open;
        AEGP_LayerH layer;  // null: the effect's layer, whichever that is
        std::vector<MaskVertex> vertices;
        std::map<double, std::pair<A_Time, std::vector<MaskVertex>>> keys;  // by seconds
    };
    struct MaskRef {
        AEGP_LayerH layer;
        PF_PathID id;
    };

    mutable std::mutex mutex;
    std::vector<Def> defs;
    std::map<const void*, std::unique_ptr<Outline>> outlines;
    std::map<const void*, std::unique_ptr<Prep>> preps;
    std::map<const void*, std::unique_ptr<MaskRef>> refs;
    int checkoutCount = 0;
    bool inCommand = false;  // else paths follow nextInData() (direct calls in tests)

    const Def* find(PF_PathID id) const;
    std::vector<const Def*> masksOf(AEGP_LayerH layer) const;
    std::vector<MaskVertex> verticesAtLocked(const Def& d, double seconds) const;

private:
    PF_PathQuerySuite1 query_{};
    PF_PathDataSuite1 data_{};
    AEGP_LayerMaskSuite6 layerMask_{};
    PF_PathID nextId_ = 1;
};

}  // namespace hostsim
