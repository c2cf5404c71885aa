// Poisson-disk scattering by Bridson's method: no two points closer than a
// minimum distance, inside a rectangle and optionally a circle about its
// centre. All randomness comes from the object's own generator, so one seed
// always gives the same points in the same order.
#pragma once

#include "Vector.h"
#include "VemaroOrderMapper.h"

#include <cstdint>
#include <functional>
#include <vector>

class PoissonDisk {
public:
    // What a run may hold per background cell at most: the cell (the point's
    // number), and, as a cell holds at most one point, the point and its
    // place in the active list. A run whose grid would take more than the
    // layout memory budget is refused before anything is allocated (the
    // grid's empty border is counted apart).
    static constexpr std::size_t kBytesPerCell = sizeof(uint32_t) + sizeof(Vector) + sizeof(uint32_t);

    // A run asks this once every 65,536 candidates (a few milliseconds of
    // work); true stops it, and the run then returns Status::aborted with no
    // points.
    using AbortCheck = std::function<bool()>;

    // How many random first points a run tries inside a circle before it takes
    // the circle's centre, which always qualifies. Only a circle covering well
    // under a thousandth of the rectangle ever gets there.
    static constexpr int kMaxFirstPointDraws = 10000;

    enum class Status {
        ok,
        invalidInput,  // a non-finite corner or radius, a minimum distance not above 0, max below min
        tooLarge,      // the run would exceed the layout memory budget: report it as out of memory
        aborted        // the abort check asked to stop
    };

    struct Settings {
        Vector min;
        Vector max;
        Vector center;
        Vector size;
        double radius = -1.0;  // negative: no circle
        double minDistance = 0.0;
        double cellSize = 0.0;
        int32_t gridWidth = 0;
        int32_t gridHeight = 0;
        bool startAtCenter = false;
    };

    struct State {
        // Empty cells around the rectangle's grid, so that the neighbourhood
        // of any cell is read without clipping it to the grid.
        static constexpr int kBorder = 2;

        State(int gridWidth, int gridHeight);
        // Row by row with the border, cell (gx, gy) at (gx + kBorder) +
        // (gy + kBorder) * stride: the number of the point in it, 0 for an
        // empty cell.
        std::size_t stride;
        double inverseCellSize = 0.0;  // 1 / cell size, for a quick cell lookup
        // How far a roughly placed candidate may be from the exact one, and
        // the distance under which it is surely too close (0: no rough test).
        double slack = 0.0;
        double quickLimit = 0.0;
        std::vector<uint32_t> grid;
        std::vector<uint32_t> active;  // numbers of the points still spreading
        std::vector<Vector> points;    // from number 1; number 0 is a point no distance reaches
    };

    PoissonDisk() = default;
    explicit PoissonDisk(uint32_t seed) : random(seed) {}

    // Checks the arguments and the grid size without drawing or allocating.
    static Status check(Vector min, Vector max, double radius, double minDistance);

    // The accepted points in order of acceptance; empty when check() fails.
    std::vector<Vector> sample(Vector min, Vector max, double radius, double minDistance, int attempts,
                               bool startAtCenter);
    // The same, reporting why a run produced nothing.
    Status sample(Vector min, Vector max, double radius, double minDistance, int attempts, bool startAtCenter,
                  std::vector<Vector>& points, const AbortCheck& abort = AbortCheck());

    void addFirstPoint(Settings& settings, State& state);
    bool addNextPoint(Vector around, Settings& settings, State& state);
    Vector generateRandomAround(Vector& around, double& minDistance);

    XorShift128 random;

private:
    // One candidate's draw: the angle and the distance from its point.
    struct Ring {
        double angle;
        double r;
    };
    Ring drawRing(double minDistance);
    static Vector onRing(const Vector& around, const Ring& ring);
    // True only where the exact test would reject the candidate too.
    static bool quickReject(const Vector& around, const Ring& ring, const Settings& s, const State& state);
};
