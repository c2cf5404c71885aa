// Poisson-disk scattering by Bridson's method: no two points closer than a
// minimum distance, inside a rectangle and optionally a circle about its
// centre. All randomness comes from the object's own generator, so one seed
// always gives the same points in the same order.
#pragma once

#include "VemaroOrderMapper.h"
#include "Vector.h"

#include <cstdint>
#include <vector>

class PoissonDisk {
public:
    // The largest background grid a run may use, in cells. A cell holds at
    // most one point, so this also bounds the number of points. At 24 bytes a
    // cell the grid stays under 200 MB; a 3840 x 2160 layer at distance 2
    // needs about 4.2 million cells.
    static constexpr int64_t kMaxGridCells = int64_t(1) << 23;

    // How many random first points a run tries inside a circle before it takes
    // the circle's centre, which always qualifies. Only a circle covering well
    // under a thousandth of the rectangle ever gets there.
    static constexpr int kMaxFirstPointDraws = 10000;

    enum class Status {
        ok,
        invalidInput,  // a non-finite corner or radius, a minimum distance not above 0, max below min
        tooLarge       // the grid would exceed kMaxGridCells: report it as out of memory
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

    struct GridPoint {
        Vector point;
        bool used = false;
    };

    struct State {
        State(int gridWidth, int gridHeight);
        std::vector<GridPoint> grid;  // row by row: cell (gx, gy) at gx + gy * gridWidth
        std::vector<Vector> active;
        std::vector<Vector> points;
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
                  std::vector<Vector>& points);

    void addFirstPoint(Settings& settings, State& state);
    bool addNextPoint(Vector around, Settings& settings, State& state);
    Vector generateRandomAround(Vector& around, double& minDistance);

    XorShift128 random;
};
