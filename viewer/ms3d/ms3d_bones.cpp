// The bone step of the Milkshape conversion: joints become bones, the known character skeletons
// get their reference pose, and the default grippers are made.
#include <cmath>
#include <cstring>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/default_grippers.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/reference_skeletons.h"
#include "viewer/render/math3d.h"

namespace {

bool is_terminated(const char *name) {
    return std::memchr(name, 0, ms3d_name_size) != nullptr;
}

// The quaternion whose quat_to_mat4 is the rotation part of m (a pure rotation). quat_to_mat4
// builds the textbook matrix of the conjugate, so the textbook quaternion of m is conjugated.
void rotation_to_quat(float *q, const float *m) {
    auto at = [m](int row, int column) { return m[4 * column + row]; };
    const float trace = at(0, 0) + at(1, 1) + at(2, 2);
    float x, y, z, w;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        w = 0.25f * s;
        x = (at(2, 1) - at(1, 2)) / s;
        y = (at(0, 2) - at(2, 0)) / s;
        z = (at(1, 0) - at(0, 1)) / s;
    } else if (at(0, 0) > at(1, 1) && at(0, 0) > at(2, 2)) {
        const float s = std::sqrt(1.0f + at(0, 0) - at(1, 1) - at(2, 2)) * 2.0f;
        w = (at(2, 1) - at(1, 2)) / s;
        x = 0.25f * s;
        y = (at(0, 1) + at(1, 0)) / s;
        z = (at(0, 2) + at(2, 0)) / s;
    } else if (at(1, 1) > at(2, 2)) {
        const float s = std::sqrt(1.0f + at(1, 1) - at(0, 0) - at(2, 2)) * 2.0f;
        w = (at(0, 2) - at(2, 0)) / s;
        x = (at(0, 1) + at(1, 0)) / s;
        y = 0.25f * s;
        z = (at(1, 2) + at(2, 1)) / s;
    } else {
        const float s = std::sqrt(1.0f + at(2, 2) - at(0, 0) - at(1, 1)) * 2.0f;
        w = (at(1, 0) - at(0, 1)) / s;
        x = (at(0, 2) + at(2, 0)) / s;
        y = (at(1, 2) + at(2, 1)) / s;
        z = 0.25f * s;
    }
    const float sign = w < 0.0f ? -1.0f : 1.0f;
    q[0] = 0.0f - x * sign; // 0 - x rather than -x: no negative zeros in saved files
    q[1] = 0.0f - y * sign;
    q[2] = 0.0f - z * sign;
    q[3] = w * sign;
}

// Names are copied into the bones and compared with each other: each must end inside its field.
// A TKM file cannot hold an empty bone name, so a model with one could be shown but never saved.
int check_joint_names(const ms3d_model *model) {
    for (uint16_t i = 0; i < model->num_joints; i++) {
        const ms3d_joint &joint = model->joints[i];
        if (!is_terminated(joint.name) || !is_terminated(joint.parent_name)) {
            real_meow("Joint %u has a name longer than its field.  Can't use this model!\n",
                      unsigned{i});
            return 1;
        }
        if (joint.name[0] == 0) {
            real_meow("Joint %u has no name.  Can't use this model!\n", unsigned{i});
            return 1;
        }
    }
    return 0;
}

} // namespace

int find_parent_joint(const ms3d_model *model, int i) {
    if (i < 0 || i >= model->num_joints) return -1;
    const char *parent_name = model->joints[i].parent_name;
    if (parent_name[0] == 0) return -1;
    for (int j = 0; j < model->num_joints; j++)
        if (str_equals(parent_name, model->joints[j].name)) return j;
    return -1;
}

int apply_reference_bone(tkm_bone *bone, int i, uint16_t bone_count) {
    if (bone_count == 2) return 0;
    const reference_skeleton *skeleton = find_reference_skeleton(bone_count);
    if (!skeleton) {
        real_meow("Unknown number of bones (%u): Model probably won't work in SWAT!\n",
                  unsigned{bone_count});
        return 0;
    }
    if (i < 0 || i >= skeleton->num_rows) return 1;
    const reference_row &row = skeleton->rows[i];
    bone->parent = row.parent;
    std::memcpy(bone->position, row.position, sizeof bone->position);
    std::memcpy(bone->rotation, row.rotation, sizeof bone->rotation);
    quat_to_mat4(bone->local, bone->rotation);
    std::memcpy(&bone->local[12], bone->position, sizeof bone->position);
    bone->animated = 0;
    bone->frame_rotations = nullptr;
    bone->frame_locals = nullptr;
    bone->frame_worlds = nullptr;
    return 0;
}

int convert_bones(tkm_mesh *mesh, const ms3d_model *model) {
    if (check_joint_names(model)) return 1;
    mesh->bones = alloc_elements<tkm_bone>(model->num_joints);
    if (!mesh->bones) return 1;
    mesh->num_bones = model->num_joints;
    const bool has_reference = find_reference_skeleton(mesh->num_bones) != nullptr;
    for (uint16_t i = 0; i < mesh->num_bones; i++) {
        const ms3d_joint &joint = model->joints[i];
        tkm_bone &bone = mesh->bones[i];
        const uint16_t length = static_cast<uint16_t>(std::strlen(joint.name));
        bone.name = alloc_counted_string(joint.name, length);
        if (!bone.name) return 1;
        bone.name_length = length;
        const int parent = find_parent_joint(model, i);
        bone.parent = parent < 0 ? no_parent : static_cast<uint16_t>(parent);
        euler_matrix(bone.local, joint.position[0], joint.position[1], joint.position[2],
                     joint.rotation[0], joint.rotation[1], joint.rotation[2]);
        apply_reference_bone(&bone, i, mesh->num_bones);
        if (!has_reference) {
            // A saved mesh keeps only position and rotation: they must give this local back.
            std::memcpy(bone.position, &bone.local[12], sizeof bone.position);
            rotation_to_quat(bone.rotation, bone.local);
        }
        if (bone.parent == no_parent) {
            std::memcpy(bone.world, bone.local, sizeof bone.world);
        } else if (bone.parent >= i) {
            real_meow("Joint '%s' has itself or a later joint as its parent.  Can't use this "
                      "model!\n",
                      bone.name);
            return 1;
        } else {
            mat4_multiply(bone.world, mesh->bones[bone.parent].world, bone.local);
        }
    }
    make_default_grippers(mesh);
    return 0;
}
