// SPDX-License-Identifier: MIT
// glTF animations in the neutral model: each channel that moves a joint of the skin becomes a key
// track of that joint, checked first (sampler counts, strictly increasing finite times, finite
// values). A channel's values are relative to the joint node's glTF parent; the neutral model
// wants them relative to the joint's parent joint (or the model, for a root), so the fixed
// transform between the two (nodes above the skeleton, nodes between joints, a parent's scale)
// is folded into the keys.
//
// Index: paths | fixed transforms | samplers | read_scene_animations
#include <cmath>

#include "support/messages.h"
#include "viewer/gltf/gltf_import_internal.h"

namespace gltf_import {

namespace {

// ---- paths

enum class channel_path { rotation, translation, scale };

struct path_rule {
    const char *name;
    channel_path path;
    accessor_use use;
    int components;
};
constexpr path_rule path_rules[] = {
    {"rotation", channel_path::rotation, accessor_use::rotation_keys, 4},
    {"translation", channel_path::translation, accessor_use::vector_keys, 3},
    {"scale", channel_path::scale, accessor_use::vector_keys, 3},
};

struct interpolation_rule {
    const char *name;
    scene_interpolation interpolation;
    size_t values_per_key;
};
constexpr interpolation_rule interpolation_rules[] = {
    {"LINEAR", scene_interpolation::linear, 1},
    {"", scene_interpolation::linear, 1}, // glTF's default
    {"STEP", scene_interpolation::step, 1},
    {"CUBICSPLINE", scene_interpolation::cubic_spline, 3},
};

// ---- fixed transforms

// The unit quaternion (x, y, z, w) of a rigid frame's rotation.
std::array<double, 4> rotation_of(const mat4d &m) {
    auto at = [&m](size_t row, size_t column) { return m[4 * column + row]; };
    const double trace = at(0, 0) + at(1, 1) + at(2, 2);
    std::array<double, 4> q{};
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        q = {(at(2, 1) - at(1, 2)) / s, (at(0, 2) - at(2, 0)) / s, (at(1, 0) - at(0, 1)) / s,
             0.25 * s};
    } else if (at(0, 0) > at(1, 1) && at(0, 0) > at(2, 2)) {
        const double s = std::sqrt(1.0 + at(0, 0) - at(1, 1) - at(2, 2)) * 2;
        q = {0.25 * s, (at(0, 1) + at(1, 0)) / s, (at(0, 2) + at(2, 0)) / s,
             (at(2, 1) - at(1, 2)) / s};
    } else if (at(1, 1) > at(2, 2)) {
        const double s = std::sqrt(1.0 + at(1, 1) - at(0, 0) - at(2, 2)) * 2;
        q = {(at(0, 1) + at(1, 0)) / s, 0.25 * s, (at(1, 2) + at(2, 1)) / s,
             (at(0, 2) - at(2, 0)) / s};
    } else {
        const double s = std::sqrt(1.0 + at(2, 2) - at(0, 0) - at(1, 1)) * 2;
        q = {(at(0, 2) + at(2, 0)) / s, (at(1, 2) + at(2, 1)) / s, 0.25 * s,
             (at(1, 0) - at(0, 1)) / s};
    }
    return q;
}

// a ⊗ b: b's rotation first.
void quaternion_product(const std::array<double, 4> &a, const float *b, float *out) {
    const double x = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
    const double y = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
    const double z = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
    const double w = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
    out[0] = float(x), out[1] = float(y), out[2] = float(z), out[3] = float(w);
}

bool is_identity(const mat4d &m) {
    const mat4d one = identity();
    for (size_t i = 0; i < 16; i++)
        if (std::fabs(m[i] - one[i]) > 1e-12) return false;
    return true;
}

// The transform from the space of node's glTF parent to the space of its scene parent joint.
int fixed_transform(const tinygltf::Model &model, const scene_skeleton &skeleton, int node,
                    mat4d *out, std::string *why) {
    const int parent_node = skeleton.node_parent[size_t(node)];
    mat4d parent_world = identity();
    if (parent_node >= 0)
        if (int code = node_world(model, skeleton.node_parent, parent_node, &parent_world, why))
            return code;
    int parent_joint = -1;
    for (int at = parent_node; at >= 0 && parent_joint < 0; at = skeleton.node_parent[size_t(at)])
        parent_joint = skeleton.joint_of_node[size_t(at)];
    const mat4d frame = parent_joint < 0
                            ? identity()
                            : skeleton.frames[size_t(skeleton.bone_of_joint[size_t(parent_joint)])];
    *out = multiply(rigid_inverse(frame), parent_world);
    return 0;
}

// Carries a track's keys (and cubic tangents) through the fixed transform.
void fold(const mat4d &fixed, channel_path path, scene_key_track *track) {
    if (path == channel_path::scale || is_identity(fixed)) return;
    const size_t per_key = track->interpolation == scene_interpolation::cubic_spline ? 3 : 1;
    if (path == channel_path::rotation) {
        const std::array<double, 4> turn = rotation_of(rigid_frame(fixed));
        for (size_t v = 0; v + 4 <= track->values.size(); v += 4) {
            float key[4];
            quaternion_product(turn, &track->values[v], key);
            std::copy(key, key + 4, &track->values[v]);
        }
        return;
    }
    for (size_t v = 0, n = 0; v + 3 <= track->values.size(); v += 3, n++) {
        const bool tangent = per_key == 3 && n % 3 != 1; // tangents move, never shift
        const double p[3] = {track->values[v], track->values[v + 1], track->values[v + 2]};
        for (size_t row = 0; row < 3; row++)
            track->values[v + row] =
                float(fixed[row] * p[0] + fixed[4 + row] * p[1] + fixed[8 + row] * p[2] +
                      (tangent ? 0.0 : fixed[12 + row]));
    }
}

// ---- samplers

// Reads sampler into track after checking it; what names the channel in messages.
int read_sampler(const tinygltf::Model &model, const tinygltf::AnimationSampler &sampler,
                 const path_rule &rule, const std::string &what, scene_key_track *track,
                 std::string *why) {
    const interpolation_rule *kind = nullptr;
    for (const interpolation_rule &r : interpolation_rules)
        if (sampler.interpolation == r.name) kind = &r;
    if (!kind) {
        *why = format("%s has the interpolation \"%s\", which glTF does not define", what.c_str(),
                      sampler.interpolation.c_str());
        return gltf_bad_animation;
    }
    accessor_data times, values;
    std::string detail;
    if (read_accessor(model, sampler.input, accessor_use::times, &times, &detail) ||
        read_accessor(model, sampler.output, rule.use, &values, &detail)) {
        *why = what + ": " + detail;
        return gltf_bad_animation;
    }
    if (times.count == 0) {
        *why = format("%s has no keys", what.c_str());
        return gltf_bad_animation;
    }
    if (values.count != times.count * kind->values_per_key) {
        *why = format("%s has %zu key times but %zu values (%zu expected)", what.c_str(),
                      times.count, values.count, times.count * kind->values_per_key);
        return gltf_bad_animation;
    }
    for (size_t k = 1; k < times.count; k++)
        if (!(times.values[k] > times.values[k - 1])) {
            *why = format("%s has key times that do not increase (key %zu at %g s, key %zu at "
                          "%g s)",
                          what.c_str(), k - 1, times.values[k - 1], k, times.values[k]);
            return gltf_bad_animation;
        }
    track->interpolation = kind->interpolation;
    track->times.assign(times.values.begin(), times.values.end());
    track->values.assign(values.values.begin(), values.values.end());
    return 0;
}

} // namespace

// ---- read_scene_animations

int read_scene_animations(const tinygltf::Model &model, const scene_skeleton &skeleton,
                          scene_model *scene, std::string *why) {
    for (size_t a = 0; a < model.animations.size(); a++) {
        const tinygltf::Animation &source = model.animations[a];
        scene_animation animation;
        const std::string name = source.name.substr(0, source.name.find('\0'));
        animation.name = name.empty() ? format("animation%zu", a) : name;
        const std::string title = format("animation %zu ('%s')", a, animation.name.c_str());
        std::vector<int> track_of(scene->joints.size(), -1);
        for (size_t c = 0; c < source.channels.size(); c++) {
            const tinygltf::AnimationChannel &channel = source.channels[c];
            const std::string what = format("channel %zu of %s", c, title.c_str());
            if (channel.target_path == "weights") {
                real_meow("glTF %s moves morph target weights: left out\n", what.c_str());
                continue;
            }
            const path_rule *rule = nullptr;
            for (const path_rule &r : path_rules)
                if (channel.target_path == r.name) rule = &r;
            if (!rule) {
                *why = format("%s targets \"%s\", which glTF does not define", what.c_str(),
                              channel.target_path.c_str());
                return gltf_bad_animation;
            }
            const int node = channel.target_node;
            if (node < 0 || size_t(node) >= model.nodes.size()) {
                *why = format("%s targets node %d, which does not exist", what.c_str(), node);
                return gltf_bad_animation;
            }
            const int joint = skeleton.joint_of_node[size_t(node)];
            if (joint < 0) {
                *why = format("%s moves node %d ('%s'), which is not a joint of the skin",
                              what.c_str(), node, model.nodes[size_t(node)].name.c_str());
                return gltf_bad_animation;
            }
            if (channel.sampler < 0 || size_t(channel.sampler) >= source.samplers.size()) {
                *why = format("%s names sampler %d, which does not exist", what.c_str(),
                              channel.sampler);
                return gltf_bad_animation;
            }
            const uint32_t bone = uint32_t(skeleton.bone_of_joint[size_t(joint)]);
            if (track_of[bone] < 0) {
                track_of[bone] = int(animation.tracks.size());
                animation.tracks.push_back({});
                animation.tracks.back().joint = bone;
            }
            scene_track &track = animation.tracks[size_t(track_of[bone])];
            scene_key_track *keys = rule->path == channel_path::rotation      ? &track.rotation
                                    : rule->path == channel_path::translation ? &track.translation
                                                                              : &track.scale;
            if (!keys->times.empty()) {
                *why = format("%s moves the %s of node %d a second time", what.c_str(), rule->name,
                              node);
                return gltf_bad_animation;
            }
            if (int code = read_sampler(model, source.samplers[size_t(channel.sampler)], *rule,
                                        what, keys, why))
                return code;
            mat4d fixed;
            if (int code = fixed_transform(model, skeleton, node, &fixed, why)) return code;
            fold(fixed, rule->path, keys);
        }
        // Which bones the TKA animated, where tkmtool's export said: a bone without motion of its
        // own still counts as animated in the game, which plays animations over each other.
        if (source.extras.IsObject() && source.extras.Has("tarvik_animated_bones")) {
            const tinygltf::Value &names = source.extras.Get("tarvik_animated_bones");
            for (size_t i = 0; names.IsArray() && i < names.ArrayLen(); i++)
                if (names.Get(int(i)).IsString())
                    animation.animated_joints.push_back(names.Get(int(i)).Get<std::string>());
        }
        scene->animations.push_back(std::move(animation));
    }
    return 0;
}

} // namespace gltf_import
