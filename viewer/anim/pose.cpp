// SPDX-License-Identifier: MIT
// Posing meshes in a frame, and the rest pose.
#include "viewer/anim/pose.h"

#include <cstring>

#include "viewer/anim/animation.h"
#include "viewer/math/math3d.h"

namespace {

// The bone matrix that carries a vertex of mesh in frame (or the mesh's bind pose when the
// animation has no such bone or frame); null when the mesh has no such bone either.
const float *bone_world(const tkm_mesh *mesh, const tka_animation *animation, int32_t frame,
                        uint16_t bone) {
    if (animation && frame >= 0 && bone < animation->num_bones) {
        const tkm_bone &animated = animation->bones[bone];
        if (animated.frame_worlds && frame < animation->num_frames)
            return animated.frame_worlds + 16 * static_cast<uint32_t>(frame);
    }
    if (bone < mesh->num_bones) return mesh->bones[bone].world;
    return nullptr;
}

} // namespace

int32_t checked_frame(const tka_animation *animation, int32_t frame) {
    if (!animation || animation->num_frames == 0) return -1;
    if (frame < 0 || frame >= animation->num_frames) return -1;
    return frame;
}

void pose_mesh_in_frame(tkm_mesh *mesh, const tka_animation *animation, int32_t frame,
                        float *positions) {
    if (!mesh || !mesh->vertices) return;
    frame = checked_frame(animation, frame);
    for (uint32_t i = 0; i < mesh->num_vertices; ++i) {
        tkm_vertex &vertex = mesh->vertices[i];
        const float *world = bone_world(mesh, animation, frame, vertex.bone);
        if (world)
            mat4_multiply(vertex.world, world, vertex.local);
        else
            std::memcpy(vertex.world, vertex.local, sizeof vertex.world);
        if (positions) std::memcpy(positions + 3 * i, vertex.world + 12, 3 * sizeof(float));
    }
}

int fill_rest_pose(const tkm_mesh *mesh, tka_animation *animation) {
    animation->num_frames = 1;
    animation->name_length = mesh->name_length;
    animation->name = alloc_counted_string(mesh->name, mesh->name_length);
    animation->num_bones = mesh->num_bones;
    animation->num_animated = mesh->num_bones;
    animation->animated_bones = alloc_elements<uint16_t>(mesh->num_bones);
    animation->frames = alloc_elements<tka_frame>(1);
    animation->bones = alloc_elements<tkm_bone>(mesh->num_bones);
    if (!animation->bones) animation->num_bones = 0; // nothing for the release to walk
    if (!animation->name || !animation->animated_bones || !animation->frames || !animation->bones)
        return 1;
    animation->frames[0].aux_rotation[3] = 1.0f;
    for (uint16_t i = 0; i < mesh->num_bones; ++i) {
        const tkm_bone &source = mesh->bones[i];
        tkm_bone &bone = animation->bones[i];
        animation->animated_bones[i] = i;
        bone.parent = source.parent;
        bone.animated = 1;
        bone.name_length = source.name_length;
        bone.name = alloc_counted_string(source.name, source.name_length);
        bone.frame_locals = alloc_elements<float>(16);
        bone.frame_worlds = alloc_elements<float>(16);
        if (!bone.name || !bone.frame_locals || !bone.frame_worlds) return 1;
        std::memcpy(bone.frame_locals, source.local, sizeof source.local);
        std::memcpy(bone.frame_worlds, source.world, sizeof source.world);
    }
    return 0;
}

void blend_position(const tkm_mesh *mesh, uint16_t index, float *out) {
    out[0] = out[1] = out[2] = 0.0f;
    if (index >= mesh->num_blends || !mesh->blends) return;
    const blend_vertex &blend = mesh->blends[index];
    for (uint16_t i = 0; i < blend.count; ++i) {
        uint16_t stored = blend.vertices[i];
        if (stored >= mesh->num_vertices) continue;
        const float *world = mesh->vertices[stored].world;
        float weight = blend.weights[i];
        out[0] += weight * world[12];
        out[1] += weight * world[13];
        out[2] += weight * world[14];
    }
}

void corner_position(const tkm_mesh *mesh, uint16_t vertex, float *out) {
    if (vertex < mesh->num_vertices) {
        const float *world = mesh->vertices[vertex].world;
        out[0] = world[12];
        out[1] = world[13];
        out[2] = world[14];
        return;
    }
    blend_position(mesh, static_cast<uint16_t>(vertex - mesh->num_vertices), out);
}
