#include "VemaroPoissonDisk.h"

#include "VemaroElementBounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt2 = 1.4142135623730951;

bool finite(const Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

double distance(const Vector& a, const Vector& b) {
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Cell (gx, gy) of the rectangle in the padded grid.
std::size_t paddedIndex(const PoissonDisk::State& state, int32_t gx, int32_t gy) {
    return static_cast<std::size_t>(gx + PoissonDisk::State::kBorder) +
           static_cast<std::size_t>(gy + PoissonDisk::State::kBorder) * state.stride;
}

// Cell of a point inside the rectangle. Truncation toward zero; the clamp only
// matters for a first point that rounding put one ulp past the upper corner.
std::size_t cellIndex(const PoissonDisk::Settings& s, const PoissonDisk::State& state, const Vector& p) {
    int32_t gx = static_cast<int32_t>((p.x - s.min.x) / s.cellSize);
    int32_t gy = static_cast<int32_t>((p.y - s.min.y) / s.cellSize);
    gx = std::min(std::max(gx, 0), s.gridWidth - 1);
    gy = std::min(std::max(gy, 0), s.gridHeight - 1);
    return paddedIndex(state, gx, gy);
}

void accept(PoissonDisk::State& state, std::size_t cell, const Vector& p) {
    const uint32_t number = static_cast<uint32_t>(state.points.size());
    state.grid[cell] = number;
    state.active.push_back(number);
    state.points.push_back(p);
}

// Grid side along one axis, computed in double so that no size overflows.
double gridSide(double extent, double cellSize) { return std::trunc(extent / cellSize) + 1.0; }

// The 5 x 5 neighbourhood of a cell, nearest cells first: a candidate that is
// too close to a point is most often too close to one in or beside its own
// cell, so the test usually ends after a few reads. Any order gives the same
// answer.
constexpr int kWindow[25][2] = {{0, 0},  {-1, 0}, {1, 0},  {0, -1},  {0, 1},   {-1, -1}, {1, -1}, {-1, 1}, {1, 1},
                                {-2, 0}, {2, 0},  {0, -2}, {0, 2},   {-2, -1}, {2, -1},  {-2, 1}, {2, 1},  {-1, -2},
                                {1, -2}, {-1, 2}, {1, 2},  {-2, -2}, {2, -2},  {-2, 2},  {2, 2}};

// Whether sqrt(s) rounds below d, with the square root taken only where the
// squares alone cannot tell (within a few ulps of d * d).
bool closer(double s, double d2Low, double d2High, double d) {
    if (s < d2Low) return true;
    return s <= d2High && std::sqrt(s) < d;
}

// The integer part of offset / cellSize (offset >= 0, inside the grid). Below
// 2^20 the product with the inverse is within 1e-9 of the quotient, so its
// integer part is the quotient's unless it lies that close to a whole
// number; only then (or farther out) is the division made.
int32_t cellOf(double offset, double cellSize, double inverse) {
    const double q = offset * inverse;
    if (q < 1048576.0) {
        const int32_t whole = static_cast<int32_t>(q);
        const double fraction = q - whole;
        if (fraction > 1e-9 && fraction < 1.0 - 1e-9) return whole;
    }
    return static_cast<int32_t>(offset / cellSize);
}

// sin and cos of an angle in [0, 2 pi] within 1e-11: Taylor series to the
// 11th and 12th power about the nearest quarter turn (|x| <= pi / 4, so the
// first terms left out are below 7e-12 and 4e-13).
void roughSinCos(double angle, double& sine, double& cosine) {
    constexpr double kQuarter = 1.5707963267948966;
    const int k = static_cast<int>(angle * (1.0 / kQuarter) + 0.5);
    const double x = angle - k * kQuarter;
    const double x2 = x * x;
    const double s =
        x *
        (1.0 + x2 * (-1.0 / 6 + x2 * (1.0 / 120 + x2 * (-1.0 / 5040 + x2 * (1.0 / 362880 + x2 * (-1.0 / 39916800))))));
    const double c =
        1.0 + x2 * (-1.0 / 2 +
                    x2 * (1.0 / 24 + x2 * (-1.0 / 720 + x2 * (1.0 / 40320 + x2 * (-1.0 / 3628800 + x2 / 479001600)))));
    switch (k & 3) {
        case 0: sine = s, cosine = c; break;
        case 1: sine = c, cosine = -s; break;
        case 2: sine = -s, cosine = -c; break;
        default: sine = -c, cosine = s; break;
    }
}

// How many candidates a run draws between two abort checks: a few
// milliseconds of work.
constexpr uint32_t kCandidatesPerAbortCheck = 1u << 16;

}  // namespace

PoissonDisk::State::State(int gridWidth, int gridHeight)
    : stride(static_cast<std::size_t>(gridWidth) + 2 * kBorder),
      grid(stride * (static_cast<std::size_t>(gridHeight) + 2 * kBorder)) {
    // Point 0 stands for an empty cell: no distance to it compares true.
    points.push_back(Vector(std::numeric_limits<double>::quiet_NaN(), 0.0));
}

PoissonDisk::Status PoissonDisk::check(Vector min, Vector max, double radius, double minDistance) {
    if (!finite(min) || !finite(max) || std::isnan(radius)) return Status::invalidInput;
    if (!(minDistance > 0.0) || !std::isfinite(minDistance)) return Status::invalidInput;
    if (max.x < min.x || max.y < min.y) return Status::invalidInput;
    const double cellSize = minDistance / kSqrt2;
    const double w = gridSide(max.x - min.x, cellSize);
    const double h = gridSide(max.y - min.y, cellSize);
    const double border = 2.0 * State::kBorder;
    // The point numbers must fit a cell too: one point per cell at most.
    if (!(w * h < 4294967295.0) ||
        !fitsLayoutBudget(w * h, static_cast<double>(kBytesPerCell), (w + h + border) * border * sizeof(uint32_t)))
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
                                        bool startAtCenter, std::vector<Vector>& points, const AbortCheck& abort) {
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
    state.inverseCellSize = 1.0 / s.cellSize;
    // Every coordinate and distance of the run is below `scale`, so the
    // rounding of any of them is far below the slack; the rough placement
    // is off by at most 2 * minDistance * 2e-11.
    const double scale =
        std::max(std::fabs(min.x), std::fabs(max.x)) + std::max(std::fabs(min.y), std::fabs(max.y)) + 4.0 * minDistance;
    state.slack = 1e-9 * scale;
    state.quickLimit = minDistance - 2.0 * state.slack;
    addFirstPoint(s, state);

    uint32_t sinceCheck = 0;
    while (!state.active.empty()) {
        const std::size_t index = random.below(state.active.size());
        bool added = false;
        if (attempts >= 1) {
            const Vector around = state.points[state.active[index]];
            // Every attempt runs, also after a success: the draw count decides
            // the points that follow.
            for (int a = 0; a < attempts; ++a) added = addNextPoint(around, s, state) || added;
            sinceCheck += static_cast<uint32_t>(std::min(attempts, 1 << 16));
        }
        // Order-keeping removal; swapping with the last would change the result.
        if (!added) state.active.erase(state.active.begin() + static_cast<std::ptrdiff_t>(index));
        if (++sinceCheck >= kCandidatesPerAbortCheck) {
            sinceCheck = 0;
            if (abort && abort()) return Status::aborted;
        }
    }
    state.points.erase(state.points.begin());
    points = std::move(state.points);
    return Status::ok;
}

PoissonDisk::Ring PoissonDisk::drawRing(double minDistance) {
    const double u1 = random.uniform();
    const double u2 = random.uniform();
    return {u2 * kTwoPi, u1 * minDistance + minDistance};
}

Vector PoissonDisk::generateRandomAround(Vector& around, double& minDistance) {
    return onRing(around, drawRing(minDistance));
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
    accept(state, cellIndex(s, state, p), p);
}

bool PoissonDisk::addNextPoint(Vector around, Settings& s, State& state) {
    const Ring ring = drawRing(s.minDistance);
    if (state.quickLimit > 0.0 && quickReject(around, ring, s, state)) return false;
    const Vector c = onRing(around, ring);
    if (!(s.min.x <= c.x && c.x < s.max.x && s.min.y <= c.y && c.y < s.max.y)) return false;
    if (s.radius >= 0.0 && distance(c, s.center) > s.radius) return false;

    // Inside the rectangle the cell lies in the grid; the border makes every
    // cell of its 5 x 5 neighbourhood readable, and the border's cells are
    // empty as the cells past the grid's edge would be.
    const std::size_t cell = paddedIndex(state, cellOf(c.x - s.min.x, s.cellSize, state.inverseCellSize),
                                         cellOf(c.y - s.min.y, s.cellSize, state.inverseCellSize));
    const uint32_t* const centre = state.grid.data() + cell;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(state.stride);
    const double d = s.minDistance;
    // The squares' band around d * d in which the square root decides.
    const double d2 = d * d;
    const double d2Low = d2 * (1.0 - 1e-12), d2High = d2 * (1.0 + 1e-12);
    const Vector* const points = state.points.data();
    for (const auto& w : kWindow) {
        const Vector& q = points[centre[w[0] + w[1] * stride]];
        const double dx = q.x - c.x;
        const double dy = q.y - c.y;
        if (closer(dx * dx + dy * dy, d2Low, d2High, d)) return false;
    }
    accept(state, cell, c);
    return true;
}

Vector PoissonDisk::onRing(const Vector& around, const Ring& ring) {
    return {around.x + std::sin(ring.angle) * ring.r, around.y + std::cos(ring.angle) * ring.r};
}

// Most candidates of a dense run land too close to a point. The candidate
// placed with a rough sine and cosine (within 1e-11) lies within `slack` of
// the exact one; where that settles the answer (outside the rectangle or
// circle, or nearer than minDistance - slack to a point, by more than the
// rounding of either computation), the exact candidate would be rejected as
// well, and the library's sine and cosine are not needed. Anything closer
// to a limit is left to the exact test.
bool PoissonDisk::quickReject(const Vector& around, const Ring& ring, const Settings& s, const State& state) {
    double sine = 0.0, cosine = 0.0;
    roughSinCos(ring.angle, sine, cosine);
    const Vector g{around.x + sine * ring.r, around.y + cosine * ring.r};
    const double e = state.slack;
    if (g.x < s.min.x - e || g.x >= s.max.x + e || g.y < s.min.y - e || g.y >= s.max.y + e) return true;
    if (!(s.min.x + e <= g.x && g.x < s.max.x - e && s.min.y + e <= g.y && g.y < s.max.y - e)) return false;
    if (s.radius >= 0.0) {
        const double r = distance(g, s.center);
        if (r > s.radius + e) return true;
        if (!(r < s.radius - e)) return false;
    }
    const std::size_t cell = paddedIndex(state, cellOf(g.x - s.min.x, s.cellSize, state.inverseCellSize),
                                         cellOf(g.y - s.min.y, s.cellSize, state.inverseCellSize));
    const uint32_t* const centre = state.grid.data() + cell;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(state.stride);
    const double limit = state.quickLimit * state.quickLimit;
    const Vector* const points = state.points.data();
    // The nearest nine cells settle almost every case; they are read all at
    // once, without a branch per cell, then the other sixteen.
    const auto near = [&](int from, int to) {
        bool hit = false;
        for (int k = from; k < to; ++k) {
            const Vector& q = points[centre[kWindow[k][0] + kWindow[k][1] * stride]];
            const double dx = q.x - g.x;
            const double dy = q.y - g.y;
            hit |= dx * dx + dy * dy < limit;
        }
        return hit;
    };
    return near(0, 9) || near(9, 25);
}
