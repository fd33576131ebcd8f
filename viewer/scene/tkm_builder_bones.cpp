// SPDX-License-Identifier: MIT
// The bone step of the TKM builder: joints become bones, the known character skeletons get their
// reference pose, and the attachment points are made (the scene's, or the default ones).
#include <cmath>
#include <cstring>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/default_grippers.h"
#include "viewer/scene/reference_skeletons.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tkm_builder.h"

namespace {

// A TKM file stores names with a 16-bit length and cannot hold an empty one, so a model with such
// a name could be shown but never saved.
int check_joints(const scene_model *scene) {
    if (scene->joints.size() > tkm_most_elements) {
        real_meow("The model has %zu joints, more than the %u a TKM can hold.  Can't use this "
                  "model!\n",
                  scene->joints.size(), unsigned{tkm_most_elements});
        return 1;
    }
    for (size_t i = 0; i < scene->joints.size(); i++) {
        const std::string &name = scene->joints[i].name;
        if (name.size() > tkm_most_elements) {
            real_meow("Joint %zu has a name longer than a TKM can hold.  Can't use this model!\n",
                      i);
            return 1;
        }
        if (name.empty()) {
            real_meow("Joint %zu has no name.  Can't use this model!\n", i);
            return 1;
        }
    }
    return 0;
}

// The model's class decides what an attachment of unknown kind is: two bones make a weapon, whose
// attachments are grips; a character's are grippers.
bool is_grip(const scene_attachment &attachment, uint16_t num_bones) {
    if (attachment.kind == attachment_kind::unknown) return num_bones == 2;
    return attachment.kind == attachment_kind::grip;
}

// The scene places an attachment where it is drawn; a TKM grip holds the inverse of that (the
// weapon's placement in the hand), a gripper the placement itself.
int fill_gripper(gripper *out, const scene_attachment &attachment, bool grip) {
    const uint16_t length = static_cast<uint16_t>(attachment.name.size());
    out->name = alloc_counted_string(attachment.name.data(), length);
    if (!out->name) return 1;
    out->name_length = length;
    if (grip)
        mat4_rigid_inverse(out->local, attachment.local);
    else
        std::memcpy(out->local, attachment.local, sizeof out->local);
    out->bone = static_cast<uint16_t>(attachment.joint);
    return 0;
}

int convert_attachments(tkm_mesh *mesh, const scene_model *scene) {
    uint32_t grips = 0;
    for (size_t i = 0; i < scene->attachments.size(); i++) {
        const scene_attachment &attachment = scene->attachments[i];
        if (attachment.joint >= mesh->num_bones) {
            real_meow("Attachment '%s' is carried by joint %u, but the model has only %u joints.  "
                      "Can't use this model!\n",
                      attachment.name.c_str(), unsigned{attachment.joint},
                      unsigned{mesh->num_bones});
            return 1;
        }
        if (attachment.name.empty() || attachment.name.size() > tkm_most_elements) {
            real_meow("Attachment %zu has no name or one longer than a TKM can hold.  Can't use "
                      "this model!\n",
                      i);
            return 1;
        }
        if (is_grip(attachment, mesh->num_bones)) grips++;
    }
    const uint32_t grippers = static_cast<uint32_t>(scene->attachments.size()) - grips;
    if (grips > tkm_most_elements || grippers > tkm_most_elements) {
        real_meow("The model has more attachments than a TKM can hold.  Can't use this model!\n");
        return 1;
    }
    mesh->grips = grips ? alloc_elements<gripper>(grips) : nullptr;
    mesh->grippers = grippers ? alloc_elements<gripper>(grippers) : nullptr;
    if ((grips && !mesh->grips) || (grippers && !mesh->grippers)) return 1;
    for (const scene_attachment &attachment : scene->attachments) {
        const bool grip = is_grip(attachment, mesh->num_bones);
        gripper *out =
            grip ? &mesh->grips[mesh->num_grips++] : &mesh->grippers[mesh->num_grippers++];
        if (fill_gripper(out, attachment, grip)) return 1;
    }
    return 0;
}

} // namespace

void matrix_to_bone_rotation(float *q, const float *m) {
    // quat_to_mat4 builds the textbook matrix of the conjugate, so the textbook quaternion of m is
    // conjugated.
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

int convert_bones(tkm_mesh *mesh, const scene_model *scene, bool reference_skeletons) {
    if (check_joints(scene)) return 1;
    const uint16_t count = static_cast<uint16_t>(scene->joints.size());
    mesh->bones = alloc_elements<tkm_bone>(count);
    if (!mesh->bones) return 1;
    mesh->num_bones = count;
    const bool has_reference = reference_skeletons && find_reference_skeleton(count) != nullptr;
    for (uint16_t i = 0; i < count; i++) {
        const scene_joint &joint = scene->joints[i];
        tkm_bone &bone = mesh->bones[i];
        const uint16_t length = static_cast<uint16_t>(joint.name.size());
        bone.name = alloc_counted_string(joint.name.data(), length);
        if (!bone.name) return 1;
        bone.name_length = length;
        bone.parent = joint.parent < 0 || joint.parent >= int32_t{no_parent}
                          ? no_parent
                          : static_cast<uint16_t>(joint.parent);
        std::memcpy(bone.local, joint.local, sizeof bone.local);
        if (reference_skeletons) apply_reference_bone(&bone, i, count);
        if (!has_reference) {
            // A saved mesh keeps only position and rotation: they must give this local back.
            std::memcpy(bone.position, &bone.local[12], sizeof bone.position);
            matrix_to_bone_rotation(bone.rotation, bone.local);
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
    if (scene->attachments.empty()) {
        make_default_grippers(mesh);
        return 0;
    }
    return convert_attachments(mesh, scene);
}
