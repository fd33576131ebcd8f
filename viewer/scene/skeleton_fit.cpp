// SPDX-License-Identifier: MIT
// Putting a model onto a given skeleton: joints matched to bones by name, vertices kept in place,
// attachments carried over onto the skeleton's bone axes.
//
// Index: names | places | check_skeleton | fit_scene_to_skeleton | take_skeleton_bones
#include "viewer/scene/skeleton_fit.h"

#include <array>
#include <cmath>
#include <cstring>
#include <map>

#include "support/messages.h"
#include "viewer/math/math3d.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/scene_math.h"

namespace {

// ---- names

std::string bone_name(const tkm_bone &bone) {
    return bone.name ? std::string(bone.name) : std::string();
}

// Bone index by name; the skeleton has passed check_skeleton, so every name is there once.
std::map<std::string, uint16_t> bones_by_name(const tkm_mesh *skeleton) {
    std::map<std::string, uint16_t> found;
    for (uint16_t b = 0; b < skeleton->num_bones; b++)
        found.emplace(bone_name(skeleton->bones[b]), b);
    return found;
}

// A joint that cannot be matched by name: one the reader had to name, or one named twice.
int check_joint_names(const scene_model *scene, const char *source_path) {
    std::map<std::string, size_t> seen;
    for (size_t j = 0; j < scene->joints.size(); j++) {
        const scene_joint &joint = scene->joints[j];
        if (joint.name_fault) {
            real_meow("Joint %zu of %s has %s (here '%s'): its bone on the skeleton cannot be "
                      "found by name.\n",
                      j, source_path, joint.name_fault, joint.name.c_str());
            return 1;
        }
        if (joint.name.empty()) {
            real_meow("Joint %zu of %s has no name: its bone on the skeleton cannot be found by "
                      "name.\n",
                      j, source_path);
            return 1;
        }
        auto [at, fresh] = seen.emplace(joint.name, j);
        if (!fresh) {
            real_meow("Joints %zu and %zu of %s are both named '%s': their bone on the skeleton "
                      "cannot be found by name.\n",
                      at->second, j, source_path, joint.name.c_str());
            return 1;
        }
    }
    return 0;
}

// ---- places

double distance(const float *a, const float *b) {
    const double dx = double(a[0]) - b[0], dy = double(a[1]) - b[1], dz = double(a[2]) - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The bone's local matrix as the TKM reader derives it from the stored values.
void stored_local(float *local, const tkm_bone &bone) {
    quat_to_mat4(local, bone.rotation);
    std::memcpy(&local[12], bone.position, sizeof bone.position);
}

} // namespace

// ---- check_skeleton

int check_skeleton(const tkm_mesh *skeleton, const char *skeleton_path) {
    std::map<std::string, uint16_t> seen;
    for (uint16_t b = 0; b < skeleton->num_bones; b++) {
        const tkm_bone &bone = skeleton->bones[b];
        auto [at, fresh] = seen.emplace(bone_name(bone), b);
        if (!fresh) {
            real_meow("Bones %u and %u of the skeleton %s are both named '%s': a model's joints "
                      "cannot be matched to them by name.\n",
                      unsigned{at->second}, unsigned{b}, skeleton_path, bone.name);
            return 1;
        }
        if (bone.parent < no_parent - 1 && bone.parent >= b) {
            real_meow("Bone '%s' of the skeleton %s has itself or a later bone as its parent.\n",
                      bone.name, skeleton_path);
            return 1;
        }
    }
    if (skeleton->num_bones == 0) {
        real_meow("The skeleton %s has no bones.\n", skeleton_path);
        return 1;
    }
    return 0;
}

// ---- fit_scene_to_skeleton

int fit_scene_to_skeleton(scene_model *scene, const tkm_mesh *skeleton, const char *source_path,
                          skeleton_fit_report *report) {
    skeleton_fit_report own_report;
    if (!report) report = &own_report;
    *report = {};
    if (check_joint_names(scene, source_path)) return 1;
    const std::map<std::string, uint16_t> bones = bones_by_name(skeleton);
    std::vector<uint16_t> bone_of_joint(scene->joints.size());
    std::vector<bool> matched(skeleton->num_bones);
    for (size_t j = 0; j < scene->joints.size(); j++) {
        auto at = bones.find(scene->joints[j].name);
        if (at == bones.end()) {
            real_meow("Joint '%s' of %s is not a bone of the skeleton.\n",
                      scene->joints[j].name.c_str(), source_path);
            return 1;
        }
        bone_of_joint[j] = at->second;
        matched[at->second] = true;
    }
    for (uint16_t b = 0; b < skeleton->num_bones; b++)
        if (!matched[b]) {
            real_meow("Bone '%s' of the skeleton is not a joint of %s.\n", skeleton->bones[b].name,
                      source_path);
            return 1;
        }

    // Where the model's joints stand, and how far each is from its bone.
    const std::vector<std::array<float, 16>> worlds = scene_joint_worlds(*scene);
    report->model_size = scene_model_size(*scene, worlds);
    for (size_t j = 0; j < scene->joints.size(); j++) {
        const double away = distance(&worlds[j][12], &skeleton->bones[bone_of_joint[j]].world[12]);
        report->largest_offset = std::fmax(report->largest_offset, away);
        if (away > skeleton_fit_tolerance * report->model_size) {
            report->offsets.push_back({scene->joints[j].name, away});
            real_meow("Warning: joint '%s' stands %g units from its bone on the skeleton (model "
                      "size %g): the mesh was built around another skeleton.\n",
                      scene->joints[j].name.c_str(), away, report->model_size);
        }
    }

    // The attachments keep their place in the model: bone world × new local = joint world × old.
    for (scene_attachment &attachment : scene->attachments) {
        if (attachment.joint >= scene->joints.size()) continue; // the build refuses it
        const uint16_t b = bone_of_joint[attachment.joint];
        float placed[16], to_bone[16];
        mat4_multiply(placed, worlds[attachment.joint].data(), attachment.local);
        mat4_rigid_inverse(to_bone, skeleton->bones[b].world);
        mat4_multiply(attachment.local, to_bone, placed);
        attachment.joint = b;
    }
    // Vertices are in model space already: only their joints change.
    for (scene_vertex &vertex : scene->vertices)
        for (uint8_t k = 0; k < vertex.num_weights && k < 4; k++)
            if (vertex.weights[k].joint < scene->joints.size())
                vertex.weights[k].joint = bone_of_joint[vertex.weights[k].joint];

    std::vector<scene_joint> joints(skeleton->num_bones);
    for (uint16_t b = 0; b < skeleton->num_bones; b++) {
        const tkm_bone &bone = skeleton->bones[b];
        joints[b].name = bone_name(bone);
        joints[b].parent = bone.parent >= no_parent - 1 ? -1 : int32_t{bone.parent};
        stored_local(joints[b].local, bone);
    }
    scene->joints = std::move(joints);
    scene->animations.clear();
    return 0;
}

// ---- take_skeleton_bones

int take_skeleton_bones(tkm_mesh *mesh, const tkm_mesh *skeleton) {
    if (mesh->num_bones != skeleton->num_bones) return 1;
    for (uint16_t b = 0; b < skeleton->num_bones; b++) {
        tkm_bone &bone = mesh->bones[b];
        const tkm_bone &source = skeleton->bones[b];
        if (bone_name(bone) != bone_name(source)) return 1;
        const bool root = source.parent >= no_parent - 1;
        if (root ? bone.parent != no_parent : bone.parent != source.parent) return 1;
        // A root keeps the skeleton's own marker (0xFFFE and 0xFFFF both mean none).
        bone.parent = source.parent;
        std::memcpy(bone.position, source.position, sizeof bone.position);
        std::memcpy(bone.rotation, source.rotation, sizeof bone.rotation);
        std::memcpy(bone.local, source.local, sizeof bone.local);
        std::memcpy(bone.world, source.world, sizeof bone.world);
    }
    return 0;
}
