// SPDX-License-Identifier: MIT
// A converted skeleton against the game's class skeleton of its bone count.
//
// Index: places | compare_with_class_skeleton | note_replaced_skeleton | bones_carry_blender_axes
#include "viewer/scene/class_skeleton_checks.h"

#include <array>
#include <cmath>
#include <vector>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/reference_skeletons.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/scene_math.h"

namespace {

// ---- places

double distance(const float *a, const float *b) {
    const double dx = double(a[0]) - b[0], dy = double(a[1]) - b[1], dz = double(a[2]) - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The class's parent of bone i as a scene joint's parent (-1 for a root).
int32_t class_parent(const reference_skeleton &skeleton, uint16_t i) {
    const uint16_t parent = skeleton.rows[i].parent;
    return parent >= no_parent - 1 ? -1 : int32_t{parent};
}

} // namespace

// ---- compare_with_class_skeleton

bool compare_with_class_skeleton(const scene_model &scene, const tkm_mesh &mesh,
                                 class_skeleton_change *change) {
    *change = {};
    change->num_bones = mesh.num_bones;
    const reference_skeleton *skeleton = find_reference_skeleton(mesh.num_bones);
    if (!skeleton || scene.joints.size() != mesh.num_bones || skeleton->num_rows != mesh.num_bones)
        return false;
    const std::vector<std::array<float, 16>> worlds = scene_joint_worlds(scene);
    change->model_size = scene_model_size(scene, worlds);
    const double tolerance = class_skeleton_tolerance * change->model_size;
    for (uint16_t i = 0; i < mesh.num_bones; i++) {
        const scene_joint &joint = scene.joints[i];
        if (joint.parent != class_parent(*skeleton, i) && change->num_other_parents++ == 0)
            change->first_other_parent = joint.name;
        const double moved = distance(&worlds[i][12], &mesh.bones[i].world[12]);
        if (moved > tolerance) change->num_moved++;
        if (moved > change->largest_move) {
            change->largest_move = moved;
            change->farthest_joint = joint.name;
        }
    }
    return change->num_other_parents > 0 || change->num_moved > 0;
}

// ---- note_replaced_skeleton

void note_replaced_skeleton(const char *source, const char *class_name,
                            const class_skeleton_change &change) {
    std::string parents = "every joint keeps its parent";
    if (change.num_other_parents)
        parents = std::to_string(change.num_other_parents) + " joints get another parent there " +
                  "(the first '" + change.first_other_parent + "')";
    const double share = change.model_size > 0 ? change.largest_move / change.model_size : 0.0;
    real_meow("%s model: its %u joints were replaced by the %s class skeleton of %u bones: %s, "
              "and %u joints move, by up to %.4g units ('%s', %.2g of the model's size).  "
              "tkmtool convert --own-skeleton keeps the file's own joints.\n",
              source, unsigned{change.num_bones}, class_name, unsigned{change.num_bones},
              parents.c_str(), change.num_moved, change.largest_move, change.farthest_joint.c_str(),
              share);
}

// ---- bones_carry_blender_axes

bool bones_carry_blender_axes(const tkm_mesh &mesh) {
    const reference_skeleton *skeleton = find_reference_skeleton(mesh.num_bones);
    if (!skeleton || skeleton->num_rows != mesh.num_bones || !mesh.bones) return false;
    std::vector<uint16_t> children(mesh.num_bones, 0), child(mesh.num_bones, 0);
    for (uint16_t i = 0; i < mesh.num_bones; i++) {
        const uint16_t parent = mesh.bones[i].parent;
        const int32_t own = parent >= no_parent - 1 ? -1 : int32_t{parent};
        if (own != class_parent(*skeleton, i)) return false;
        if (own >= 0) children[size_t(own)]++, child[size_t(own)] = i;
    }
    // Only a bone with one child has a direction of its own: Blender's heuristics aim a fork
    // between its children and a leaf along its parent.
    const double most_off = std::cos(blender_axis_degrees * std::acos(-1.0) / 180.0);
    uint32_t single = 0, along_y = 0;
    for (uint16_t i = 0; i < mesh.num_bones; i++) {
        if (children[i] != 1) continue;
        // The child's place in this bone's own frame: its local translation.
        const float *offset = &mesh.bones[child[i]].local[12];
        const double length =
            std::sqrt(double(offset[0]) * offset[0] + double(offset[1]) * offset[1] +
                      double(offset[2]) * offset[2]);
        if (!(length > 0)) continue;
        single++;
        if (offset[1] / length >= most_off) along_y++;
    }
    return single > 0 && along_y >= blender_axis_share * single;
}
