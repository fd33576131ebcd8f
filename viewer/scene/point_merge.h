// SPDX-License-Identifier: MIT
// Finding nearly coincident points in one pass: the grid behind the TKM builder's vertex and
// texture coordinate merges.
#pragma once

#include <cstdint>
#include <vector>

// Every coordinate of a and b differs by at most 0.0001 (the difference rounded to a float); a
// difference that is not a number does not stop the match.
bool vec3_nearly_equal(const float *a, const float *b);

// The outcome of merging a list of points: each point either stays or joins an earlier one.
struct point_merge {
    uint32_t num_kept;               // points left after merging
    std::vector<uint32_t> new_index; // per old point: the index in the merged list it ends up at
};

// Walks the points in order and lets each one join the earliest point kept so far that is nearly
// equal to it (vec3_nearly_equal), else keeps it: the result of comparing every point with every
// earlier kept point, at the cost of a grid lookup for points with finite coordinates. points
// holds 3 floats per point, count points; classes (count entries, or null for one class) keeps
// points of different classes apart.
point_merge merge_nearly_equal_points(const float *points, uint32_t count,
                                      const uint32_t *classes = nullptr);
