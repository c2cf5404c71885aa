// The pixels of a polygon row that need the angle: for a run of columns, each
// pixel's wedge from its cheap angle, the signed distances to its side and to
// its hole's side, and whether it is settled (deep inside, far outside) or
// must go through the drawer's coverage. Written once (VemaroPolygonEdge.inl)
// and compiled for each vector level (plain C++, AVX2, AVX-512), chosen at run
// time by simd::level(). Each lane does what the drawer's per-pixel code does,
// operation for operation, with no fused multiply-adds: the wedges and the
// distances are the same to the bit at every level.
#pragma once

#include "AE_Effect.h"
#include "VemaroSimd.h"

#include <cstdint>

namespace polyedge {

// Columns handled by one call: one bit of a mask each.
constexpr A_long kChunk = 64;
// Most wedges the tables hold.
constexpr A_long kMaxWedges = 64;

// One row of one shape. Side k's signed distance at column offset px is
// de[k] - (px - ex[k]) * uy[k], de[k] being (py - y_k) * ux_k of the row; the
// hole's likewise with dh, hx, huy (null without a hole: d2 is then minus
// infinity). The wedge of a pixel is the whole part of its angle less `start`,
// brought into [0, 2 pi), over `width`, clamped to [0, sectors).
struct Row {
    double py;
    double start, width, sectors;
    // With `settle`, d >= depth takes the interior value and d <= -far is
    // left; without, every pixel goes through the coverage.
    bool settle;
    double depth, far;
    const double *de, *ex, *uy;
    const double *dh, *hx, *huy;
};

// The start angles whose rows the kernels take: any angle less the start
// then lies within two turns of [0, 2 pi), where the remainder is one
// subtraction or addition of a turn.
constexpr double kMaxStart = 9.0;

// For the n <= kChunk columns whose offsets are cols[0, n): d[i], d2[i], and
// the bits of the columns that take the interior value and of those that need
// the coverage (the others are left).
struct Result {
    uint64_t interior = 0, edge = 0;
};
using ClassifyFn = Result (*)(const Row& row, const double* cols, A_long n, double* d, double* d2);

// The kernel of the current simd::level(), or of a given level.
ClassifyFn classifyKernel();
ClassifyFn classifyKernelAt(simd::Level level);

}  // namespace polyedge
