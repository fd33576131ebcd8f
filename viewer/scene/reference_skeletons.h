// SPDX-License-Identifier: MIT
// The game's known skeletons (52, 40, 37 and 34 bones): the bind pose a converted character gets.
#pragma once

#include <cstdint>

// One bone of a reference skeleton, relative to its parent.
struct reference_row {
    uint16_t parent;   // index of the parent row, 0xFFFF for the root; always before the row
    float position[3]; // translation relative to the parent
    float rotation[4]; // unit quaternion x y z w (quat_to_mat4 gives the rotation)
};

// A table of rows in bone order.
struct reference_skeleton {
    uint16_t num_rows;
    const reference_row *rows; // static data, never freed
};

// The table for a bone count (52, 40, 37 or 34), or null for any other count.
const reference_skeleton *find_reference_skeleton(uint16_t bone_count);
