// SPDX-License-Identifier: MIT
// A hash grid of 0.001-wide cells: two points within 0.0001 of each other lie in the same or in
// neighbouring cells, so a point is compared only with the kept points of its own cell and of the
// neighbours across the boundaries it is near (one cell for most points, at most 27).
// Points with a coordinate that is infinite or not a number can match points far away (their
// differences are not numbers), so they are kept apart and compared the slow way.
#include "viewer/scene/point_merge.h"

#include <cmath>

bool vec3_nearly_equal(const float *a, const float *b) {
    for (int k = 0; k < 3; k++) {
        const float difference = a[k] - b[k];
        if (std::fabs(difference) > 0.0001) return false;
    }
    return true;
}

namespace {

constexpr double cells_per_unit = 1000.0;
// Cell numbers are clamped far beyond any coordinate that has neighbours within 0.0001.
constexpr double cell_limit = 1e15;

// The cell of a coordinate along one axis, and the neighbouring cells a point within 0.0001 of it
// could lie in: only those across a boundary that the coordinate is near (0.0002 leaves room for
// rounding; the cells are 0.001 wide).
struct axis_cells {
    int64_t cell;
    int64_t first; // cell - 1 or cell
    int64_t last;  // cell or cell + 1
};

axis_cells cells_of(float coordinate) {
    const double scaled = double{coordinate} * cells_per_unit;
    double cell = std::floor(scaled);
    double fraction = scaled - cell;
    if (cell > cell_limit) cell = cell_limit, fraction = 0.5;
    if (cell < -cell_limit) cell = -cell_limit, fraction = 0.5;
    const auto whole = static_cast<int64_t>(cell);
    return {whole, fraction < 0.2 ? whole - 1 : whole, fraction > 0.8 ? whole + 1 : whole};
}

// Cells that collide in the hash only add candidates: every candidate is tested exactly.
uint64_t cell_hash(int64_t x, int64_t y, int64_t z, uint32_t kind) {
    uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    h ^= uint64_t{kind} * 0xD6E8FEB86659FD93ull + (h << 6) + (h >> 2);
    return h;
}

bool is_finite_point(const float *p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

constexpr uint32_t none = UINT32_MAX;

// Points of different classes never merge; without classes every point is of class 0.
struct point_set {
    const float *points;
    const uint32_t *classes; // null: all of class 0

    uint32_t kind(uint32_t i) const { return classes ? classes[i] : 0; }
    bool match(uint32_t i, uint32_t j) const {
        return kind(i) == kind(j) && vec3_nearly_equal(&points[3 * i], &points[3 * j]);
    }
};

// The first entry of an ascending list of kept points that matches point i, or none.
uint32_t first_match(const std::vector<uint32_t> &kept, const point_set &set, uint32_t i) {
    for (uint32_t j : kept)
        if (set.match(i, j)) return j;
    return none;
}

// The grid's occupied cells, by cell hash, in one open-addressed table with each cell's kept
// points chained in ascending order through one array: a map of lists allocated a node and a
// list for nearly every point, which was most of what merging cost.
struct cell_table {
    std::vector<uint64_t> keys;
    std::vector<uint32_t> first, last; // per slot: its cell's first and last kept point, or none
    std::vector<uint32_t> next;        // per point: the next kept point of its cell, or none
    uint64_t mask;

    explicit cell_table(uint32_t count) : next(count, none) {
        std::size_t slots = 16;
        while (slots < 2 * std::size_t{count})
            slots *= 2;
        keys.resize(slots);
        first.assign(slots, none);
        last.assign(slots, none);
        mask = slots - 1;
    }
    // The slot of the cell with hash, or the empty slot where it would go.
    std::size_t slot_of(uint64_t hash) const {
        std::size_t slot = static_cast<std::size_t>((hash ^ (hash >> 29)) & mask);
        while (first[slot] != none && keys[slot] != hash)
            slot = (slot + 1) & mask;
        return slot;
    }
    // The first kept point of the cell with hash, or none.
    uint32_t points_of(uint64_t hash) const { return first[slot_of(hash)]; }
    void add(uint64_t hash, uint32_t point) {
        const std::size_t slot = slot_of(hash);
        if (first[slot] == none) {
            keys[slot] = hash;
            first[slot] = point;
        } else {
            next[last[slot]] = point;
        }
        last[slot] = point;
    }
};

} // namespace

point_merge merge_nearly_equal_points(const float *points, uint32_t count,
                                      const uint32_t *classes) {
    const point_set set{points, classes};
    point_merge result{0, std::vector<uint32_t>(count)};
    cell_table grid(count);
    std::vector<uint32_t> all_kept; // every kept point, ascending
    std::vector<uint32_t> odd_kept; // kept points with a non-finite coordinate, ascending
    std::vector<uint32_t> kept_rank(count, none); // merged index of each kept point
    for (uint32_t i = 0; i < count; i++) {
        const float *p = &points[3 * i];
        uint32_t match = none;
        if (!is_finite_point(p)) {
            match = first_match(all_kept, set, i);
        } else {
            match = first_match(odd_kept, set, i);
            const axis_cells x = cells_of(p[0]), y = cells_of(p[1]), z = cells_of(p[2]);
            for (int64_t cx = x.first; cx <= x.last; cx++)
                for (int64_t cy = y.first; cy <= y.last; cy++)
                    for (int64_t cz = z.first; cz <= z.last; cz++) {
                        for (uint32_t j = grid.points_of(cell_hash(cx, cy, cz, set.kind(i)));
                             j != none && j < match; j = grid.next[j])
                            if (set.match(i, j)) {
                                match = j;
                                break;
                            }
                    }
        }
        if (match != none) {
            result.new_index[i] = kept_rank[match];
            continue;
        }
        kept_rank[i] = result.num_kept;
        result.new_index[i] = result.num_kept++;
        all_kept.push_back(i);
        if (is_finite_point(p))
            grid.add(cell_hash(cells_of(p[0]).cell, cells_of(p[1]).cell, cells_of(p[2]).cell,
                               set.kind(i)),
                     i);
        else
            odd_kept.push_back(i);
    }
    return result;
}
