// SPDX-License-Identifier: MIT
// The animations of the glTF export, and how far the exported skin strays from the viewer.
//
// Index: where the viewer has a bone - deviation_check (the skin against the viewer, frame by
//        frame) - one animation (keys written in place) - export_animations
//
// Each TKA becomes one animation with a key per frame at 10 frames per second (the viewer's
// 100 ms tick) and a rotation and a translation channel per joint. A joint's key is its matrix
// relative to its parent in the mesh's hierarchy; where the animation's own parent is the same,
// that is the frame's local matrix, otherwise it is taken from the two world matrices.
#include <cmath>
#include <cstring>

#include "viewer/anim/animation.h"
#include "viewer/gltf/gltf_export_internal.h"
#include "viewer/mesh/mesh.h"

namespace {

// ---- where the viewer has a bone

// The matrix the viewer poses bone with in frame: the animation's, or the mesh's rest matrix
// where the animation (null for the rest pose) lacks it.
const float *viewer_world(const tkm_mesh &mesh, const tka_animation *animation, uint32_t frame,
                          uint16_t bone) {
    if (animation && bone < animation->num_bones && animation->bones[bone].frame_worlds &&
        frame < animation->num_frames)
        return animation->bones[bone].frame_worlds + 16 * size_t{frame};
    return mesh.bones[bone].world;
}

double distance(const double *a, const double *b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

void transform_point(double *out, const dmat4 &m, const double *p) {
    for (int row = 0; row < 3; ++row)
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
}

// ---- the skin against the viewer

// Measures, frame by frame, the largest distance between where a glTF reader skins a vertex and
// where the viewer poses it. Stored vertices can only stray when a joint does not reproduce the
// viewer's bone matrix (an unnormalised quaternion); blend vertices that no skin follows exactly
// stray in every pose but the rest pose, and are measured in every frame.
struct deviation_check {
    gltf_export_state &state;
    std::vector<std::vector<uint32_t>> vertices_of; // stored vertices per bone
    std::vector<std::array<double, 3>> lo, hi;      // their box in the bone's space
    std::vector<dmat4> rest_to_bone;                // inverse bind x rest matrix, per bone
    std::vector<uint32_t> unmatched;                // blend vertices the skin cannot follow
    std::vector<dmat4> viewer, joints;              // this frame's matrices, per bone

    explicit deviation_check(gltf_export_state &s) : state(s) {
        const tkm_mesh &mesh = state.mesh;
        uint16_t bones = mesh.num_bones;
        vertices_of.resize(bones);
        lo.assign(bones, {HUGE_VAL, HUGE_VAL, HUGE_VAL});
        hi.assign(bones, {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL});
        for (uint32_t v = 0; v < mesh.num_vertices; ++v) {
            uint16_t bone = state.skins[v].joints[0];
            vertices_of[bone].push_back(v);
            for (int c = 0; c < 3; ++c) {
                lo[bone][c] = std::min(lo[bone][c], double{mesh.vertices[v].local[12 + c]});
                hi[bone][c] = std::max(hi[bone][c], double{mesh.vertices[v].local[12 + c]});
            }
        }
        for (uint16_t b = 0; b < bones; ++b)
            rest_to_bone.push_back(
                dmat4_multiply(state.inverse_binds[b], dmat4_from(mesh.bones[b].world)));
        for (uint32_t b = 0; b < mesh.num_blends; ++b)
            if (!state.skins[mesh.num_vertices + b].exact) unmatched.push_back(b);
        viewer.resize(bones);
        joints.resize(bones);
    }

    void note(double d, uint32_t vertex, int32_t animation, uint32_t frame) {
        gltf_export_report &report = state.report;
        if (!(d > report.largest_deviation)) return;
        report.largest_deviation = d;
        report.deviation_vertex = vertex;
        report.deviation_animation = animation;
        report.deviation_frame = frame;
    }

    // The viewer's position of stored vertex v in this frame.
    void viewer_position(double *out, uint32_t v) const {
        const tkm_vertex &vertex = state.mesh.vertices[v];
        const double local[3] = {vertex.local[12], vertex.local[13], vertex.local[14]};
        transform_point(out, viewer[state.skins[v].joints[0]], local);
    }

    void stored_vertices(int32_t animation, uint32_t frame) {
        for (uint16_t b = 0; b < state.mesh.num_bones; ++b) {
            if (vertices_of[b].empty()) continue;
            dmat4 skinned = dmat4_multiply(joints[b], rest_to_bone[b]);
            // The box bounds every vertex of the bone: only a bone that may beat the largest
            // deviation so far is looked at vertex by vertex.
            if (!(dmat4_box_distance(skinned, viewer[b], lo[b].data(), hi[b].data()) >
                  state.report.largest_deviation))
                continue;
            for (uint32_t v : vertices_of[b]) {
                const float *l = state.mesh.vertices[v].local + 12;
                const double local[3] = {l[0], l[1], l[2]};
                double ours[3], theirs[3];
                transform_point(ours, skinned, local);
                transform_point(theirs, viewer[b], local);
                note(distance(ours, theirs), v, animation, frame);
            }
        }
    }

    void blend_vertices(int32_t animation, uint32_t frame) {
        const tkm_mesh &mesh = state.mesh;
        for (uint32_t b : unmatched) {
            const blend_vertex &blend = mesh.blends[b];
            double theirs[3] = {0, 0, 0};
            for (uint16_t i = 0; i < blend.count; ++i) {
                if (blend.vertices[i] >= mesh.num_vertices) continue;
                double p[3];
                viewer_position(p, blend.vertices[i]);
                for (int c = 0; c < 3; ++c)
                    theirs[c] += blend.weights[i] * p[c];
            }
            uint32_t index = mesh.num_vertices + b;
            const vertex_skin &skin = state.skins[index];
            const double rest[3] = {state.rest_positions[index][0], state.rest_positions[index][1],
                                    state.rest_positions[index][2]};
            double ours[3] = {0, 0, 0};
            for (int s = 0; s < 4; ++s) {
                if (skin.weights[s] == 0) continue;
                uint16_t joint = skin.joints[s];
                double p[3];
                transform_point(p, dmat4_multiply(joints[joint], state.inverse_binds[joint]), rest);
                for (int c = 0; c < 3; ++c)
                    ours[c] += skin.weights[s] * p[c];
            }
            note(distance(ours, theirs), index, animation, frame);
        }
    }

    // One frame of animation (null: the rest pose), whose joints have the transforms locals;
    // exact when every one of them reproduces the viewer's local matrix.
    // Whether a frame whose joints are (or are not) all exact has anything to measure.
    bool needs(bool exact) const { return !exact || !unmatched.empty(); }

    void frame(const tka_animation *animation, int32_t index, uint32_t frame,
               const std::vector<gltf_trs> &locals, bool exact) {
        const tkm_mesh &mesh = state.mesh;
        if (!needs(exact)) return;
        for (uint16_t b = 0; b < mesh.num_bones; ++b)
            viewer[b] = dmat4_from(viewer_world(mesh, animation, frame, b));
        if (exact) {
            joints = viewer;
        } else {
            for (uint16_t b = 0; b < mesh.num_bones; ++b) {
                dmat4 local = trs_matrix(locals[b]);
                uint16_t parent = mesh.bones[b].parent;
                joints[b] = has_parent(parent, b) ? dmat4_multiply(joints[parent], local) : local;
            }
            stored_vertices(index, frame);
        }
        blend_vertices(index, frame);
    }
};

// ---- one animation

std::string animation_label(const gltf_export_animation &source) {
    return "animation \"" + source.name + "\"";
}

int32_t export_animation(gltf_export_state &state, deviation_check &check, int32_t index) {
    const tkm_mesh &mesh = state.mesh;
    const gltf_export_animation &source = state.options.animations[size_t(index)];
    const tka_animation *animation = source.animation;
    if (!animation || animation->num_frames == 0 || animation->num_bones != mesh.num_bones ||
        mesh.num_bones == 0) {
        state.report.error = animation_label(source) + (!animation || animation->num_frames == 0
                                                            ? " has no frames"
                                                            : " does not animate the mesh's bones");
        return gltf_export_bad_animation;
    }
    const uint32_t frames = animation->num_frames;
    const uint16_t bones = mesh.num_bones;
    // Layout of the animation's buffer view: the key times, then per joint its rotations and
    // its translations.
    const size_t times_size = size_t{frames} * 4, joint_size = size_t{frames} * 28;
    size_t start = 0;
    int view = reserve_buffer_view(state, times_size + joint_size * bones, 0, &start);
    auto put = [&](size_t offset, const float *values, size_t count) {
        std::memcpy(state.data.data() + start + offset, values, count * sizeof(float));
    };
    for (uint32_t k = 0; k < frames; ++k) {
        float time = static_cast<float>(k) / 10.0f;
        put(size_t{k} * 4, &time, 1);
    }
    std::vector<bool> same_parent(bones);
    for (uint16_t j = 0; j < bones; ++j) {
        uint16_t ours = mesh.bones[j].parent, theirs = animation->bones[j].parent;
        same_parent[j] =
            has_parent(ours, j) ? has_parent(theirs, j) && theirs == ours : !has_parent(theirs, j);
    }
    // Joint by joint, so that each joint's frames are read and its keys written in order; the
    // frames in which some joint does not reproduce the viewer are noted for the check.
    std::vector<bool> exact_frames(frames, true);
    auto rotation_at = [&](uint16_t j, uint32_t k) {
        return times_size + joint_size * j + 16 * size_t{k};
    };
    auto translation_at = [&](uint16_t j, uint32_t k) {
        return times_size + joint_size * j + 16 * size_t{frames} + 12 * size_t{k};
    };
    for (uint16_t j = 0; j < bones; ++j) {
        const tkm_bone &bone = animation->bones[j];
        std::array<float, 4> previous{0, 0, 0, 1};
        for (uint32_t k = 0; k < frames; ++k) {
            bool exact = false;
            gltf_trs local;
            if (same_parent[j] && bone.frame_locals) {
                const float *q =
                    bone.frame_rotations ? bone.frame_rotations + 4 * size_t{k} : nullptr;
                local = local_transform(q, bone.frame_locals + 16 * size_t{k}, &exact);
            } else {
                dmat4 world = dmat4_from(viewer_world(mesh, animation, k, j));
                dmat4 parent_inverse;
                uint16_t parent = mesh.bones[j].parent;
                if (has_parent(parent, j) &&
                    dmat4_affine_inverse(&parent_inverse,
                                         dmat4_from(viewer_world(mesh, animation, k, parent))))
                    world = dmat4_multiply(parent_inverse, world);
                local = rigid_transform(world, &exact);
            }
            if (!exact) exact_frames[k] = false;
            std::array<float, 4> &q = local.rotation;
            // Keys of one joint stay in one hemisphere, so readers interpolate the short way.
            if (k > 0 &&
                q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] <
                    0)
                for (float &c : q)
                    c = -c;
            previous = q;
            if (!check_finite(state, q.data(), 4, "a rotation key of bone", j) ||
                !check_finite(state, local.translation.data(), 3, "a translation key of bone", j)) {
                state.report.error +=
                    " (frame " + std::to_string(k) + " of " + animation_label(source) + ")";
                return gltf_export_bad_number;
            }
            put(rotation_at(j, k), q.data(), 4);
            put(translation_at(j, k), local.translation.data(), 3);
        }
    }
    // The check, frame by frame, with the keys as written.
    std::vector<gltf_trs> locals(bones);
    for (uint32_t k = 0; k < frames; ++k) {
        if (!check.needs(exact_frames[k])) continue;
        for (uint16_t j = 0; j < bones; ++j) {
            std::memcpy(locals[j].rotation.data(), state.data.data() + start + rotation_at(j, k),
                        16);
            std::memcpy(locals[j].translation.data(),
                        state.data.data() + start + translation_at(j, k), 12);
        }
        check.frame(animation, index, k, locals, exact_frames[k]);
    }

    tinygltf::Animation gltf_animation;
    gltf_animation.name = utf8_name(source.name.c_str());
    // The bones the TKA animates, so that converting the animation back gives the same list
    // (every joint has channels here, to pose the same in every reader).
    tinygltf::Value::Array animated;
    for (uint16_t j = 0; j < bones; ++j)
        if (animation->bones[j].animated) animated.emplace_back(utf8_name(mesh.bones[j].name));
    gltf_animation.extras = tinygltf::Value(
        tinygltf::Value::Object{{"tarvik_animated_bones", tinygltf::Value(animated)}});
    int times = add_accessor(state, view, 0, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR,
                             frames, {0.0}, {double{static_cast<float>(frames - 1) / 10.0f}});
    for (uint16_t j = 0; j < bones; ++j) {
        size_t joint_start = times_size + joint_size * j;
        const struct {
            const char *path;
            size_t offset;
            int type;
        } channels[] = {{"rotation", joint_start, TINYGLTF_TYPE_VEC4},
                        {"translation", joint_start + 16 * size_t{frames}, TINYGLTF_TYPE_VEC3}};
        for (const auto &channel : channels) {
            tinygltf::AnimationSampler sampler;
            sampler.input = times;
            sampler.output = add_accessor(state, view, channel.offset,
                                          TINYGLTF_COMPONENT_TYPE_FLOAT, channel.type, frames);
            sampler.interpolation = "LINEAR";
            gltf_animation.samplers.push_back(sampler);
            tinygltf::AnimationChannel target;
            target.sampler = static_cast<int>(gltf_animation.samplers.size() - 1);
            target.target_node = j;
            target.target_path = channel.path;
            gltf_animation.channels.push_back(std::move(target));
        }
    }
    state.model.animations.push_back(std::move(gltf_animation));
    return gltf_export_ok;
}

} // namespace

int32_t export_animations(gltf_export_state &state) {
    const tkm_mesh &mesh = state.mesh;
    if (mesh.num_bones == 0) {
        if (state.options.animations.empty()) return gltf_export_ok;
        state.report.error = animation_label(state.options.animations[0]) +
                             " has no bones to move: the mesh has none";
        return gltf_export_bad_animation;
    }
    deviation_check check(state);
    // The rest pose: what a reader shows before any animation plays.
    std::vector<gltf_trs> rest(mesh.num_bones);
    bool exact_rest = true;
    for (uint16_t b = 0; b < mesh.num_bones; ++b) {
        bool exact = false;
        rest[b] = local_transform(mesh.bones[b].rotation, mesh.bones[b].local, &exact);
        exact_rest = exact_rest && exact;
    }
    check.frame(nullptr, -1, 0, rest, exact_rest);
    for (size_t i = 0; i < state.options.animations.size(); ++i)
        if (int32_t result = export_animation(state, check, static_cast<int32_t>(i));
            result != gltf_export_ok)
            return result;
    return gltf_export_ok;
}
