#include "VemaroPoissonDisk.h"

#include "VemaroElementBounds.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt2 = 1.4142135623730951;

bool finite(const Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

double distance(const Vector& a, const Vector& b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Cell of a point inside the rectangle. Truncation toward zero; the clamp only
// matters for a first point that rounding put one ulp past the upper corner.
std::size_t cellIndex(const PoissonDisk::Settings& s, const Vector& p) {
    int32_t gx = static_cast<int32_t>((p.x - s.min.x) / s.cellSize);
    int32_t gy = static_cast<int32_t>((p.y - s.min.y) / s.cellSize);
    gx = std::min(std::max(gx, 0), s.gridWidth - 1);
    gy = std::min(std::max(gy, 0), s.gridHeight - 1);
    return static_cast<std::size_t>(gx) + static_cast<std::size_t>(gy) * static_cast<std::size_t>(s.gridWidth);
}

void accept(const PoissonDisk::Settings& s, PoissonDisk::State& state, const Vector& p) {
    const uint32_t number = static_cast<uint32_t>(state.points.size());
    state.grid[cellIndex(s, p)] = number + 1;
    state.active.push_back(number);
    state.points.push_back(p);
}

// Grid side along one axis, computed in double so that no size overflows.
double gridSide(double extent, double cellSize) { return std::trunc(extent / cellSize) + 1.0; }

}  // namespace

PoissonDisk::State::State(int gridWidth, int gridHeight)
    : grid(static_cast<std::size_t>(gridWidth) * static_cast<std::size_t>(gridHeight)) {}

PoissonDisk::Status PoissonDisk::check(Vector min, Vector max, double radius, double minDistance) {
    if (!finite(min) || !finite(max) || std::isnan(radius)) return Status::invalidInput;
    if (!(minDistance > 0.0) || !std::isfinite(minDistance)) return Status::invalidInput;
    if (max.x < min.x || max.y < min.y) return Status::invalidInput;
    const double cellSize = minDistance / kSqrt2;
    const double w = gridSide(max.x - min.x, cellSize);
    const double h = gridSide(max.y - min.y, cellSize);
    // The point numbers must fit a cell too: one point per cell at most.
    if (!(w * h < 4294967295.0) || !fitsLayoutBudget(w * h, static_cast<double>(kBytesPerCell)))
        return Status::tooLarge;
    return Status::ok;
}

std::vector<Vector> PoissonDisk::sample(Vector min, Vector max, double radius, double minDistance, int attempts,
                                        bool startAtCenter) {
    std::vector<Vector> points;
    sample(min, max, radius, minDistance, attempts, startAtCenter, points);
    return points;
}

PoissonDisk::Status PoissonDisk::sample(Vector min, Vector max, double radius, double minDistance, int attempts,
                                        bool startAtCenter, std::vector<Vector>& points) {
    points.clear();
    const Status status = check(min, max, radius, minDistance);
    if (status != Status::ok) return status;

    Settings s;
    s.min = min;
    s.max = max;
    s.center = (min + max) * 0.5;
    s.size = max - min;
    s.radius = radius;
    s.minDistance = minDistance;
    s.cellSize = minDistance / kSqrt2;
    s.gridWidth = static_cast<int32_t>(gridSide(s.size.x, s.cellSize));
    s.gridHeight = static_cast<int32_t>(gridSide(s.size.y, s.cellSize));
    s.startAtCenter = startAtCenter;

    State state(s.gridWidth, s.gridHeight);
    addFirstPoint(s, state);

    while (!state.active.empty()) {
        const std::size_t index = random.below(state.active.size());
        bool added = false;
        if (attempts >= 1) {
            const Vector around = state.points[state.active[index]];
            // Every attempt runs, also after a success: the draw count decides
            // the points that follow.
            for (int a = 0; a < attempts; ++a) added = addNextPoint(around, s, state) || added;
        }
        // Order-keeping removal; swapping with the last would change the result.
        if (!added) state.active.erase(state.active.begin() + static_cast<std::ptrdiff_t>(index));
    }
    points = std::move(state.points);
    return Status::ok;
}

Vector PoissonDisk::generateRandomAround(Vector& around, double& minDistance) {
    const double u1 = random.uniform();
    const double u2 = random.uniform();
    const double angle = u2 * kTwoPi;
    const double r = u1 * minDistance + minDistance;
    return {around.x + std::sin(angle) * r, around.y + std::cos(angle) * r};
}

void PoissonDisk::addFirstPoint(Settings& s, State& state) {
    Vector p;
    if (s.startAtCenter) {
        p = {s.min.x + s.size.x * 0.5, s.min.y + s.size.y * 0.5};
    } else {
        int draws = 0;
        for (;;) {
            const double u1 = random.uniform();
            const double u2 = random.uniform();
            p = {u1 * s.size.x + s.min.x, u2 * s.size.y + s.min.y};
            if (s.radius < 0.0 || distance(p, s.center) <= s.radius) break;
            // A circle far smaller than the rectangle could take forever to
            // hit; its centre is always inside both.
            if (++draws >= kMaxFirstPointDraws) {
                p = s.center;
                break;
            }
        }
    }
    accept(s, state, p);
}

bool PoissonDisk::addNextPoint(Vector around, Settings& s, State& state) {
    const Vector c = generateRandomAround(around, s.minDistance);
    if (!(s.min.x <= c.x && c.x < s.max.x && s.min.y <= c.y && c.y < s.max.y)) return false;
    if (s.radius >= 0.0 && distance(c, s.center) > s.radius) return false;

    const int32_t gx = static_cast<int32_t>((c.x - s.min.x) / s.cellSize);
    const int32_t gy = static_cast<int32_t>((c.y - s.min.y) / s.cellSize);
    const int32_t i0 = std::max(gx - 2, 0), i1 = std::min(gx + 3, s.gridWidth);
    const int32_t j0 = std::max(gy - 2, 0), j1 = std::min(gy + 3, s.gridHeight);
    for (int32_t j = j0; j < j1; ++j) {
        for (int32_t i = i0; i < i1; ++i) {
            const uint32_t cell = state.grid[static_cast<std::size_t>(i) +
                                             static_cast<std::size_t>(j) * static_cast<std::size_t>(s.gridWidth)];
            if (cell && distance(state.points[cell - 1], c) < s.minDistance) return false;
        }
    }
    accept(s, state, c);
    return true;
}
