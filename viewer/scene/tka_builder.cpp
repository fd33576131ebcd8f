// SPDX-License-Identifier: MIT
// The TKA builder: checks an animation's keys, samples them at the viewer's frame rate and fills
// the frames of a tka_animation for a TKM skeleton.
//
// Sections: checks, sampling, skeleton and frames, build_tka.
#include "viewer/scene/tka_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/messages.h"
#include "viewer/anim/animation.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/scene_math.h"
#include "viewer/scene/tka_report.h"

namespace {

// ---- checks

const char *const property_names[3] = {"rotation", "translation", "scale"};

int check_track(const scene_animation &animation, const scene_model &scene,
                const scene_key_track &track, int property, uint32_t joint) {
    const char *joint_name = joint < scene.joints.size() ? scene.joints[joint].name.c_str() : "?";
    auto refuse = [&](const char *why) {
        real_meow("Animation '%s': the %s keys of joint '%s' %s.  Can't convert this animation!\n",
                  animation.name.c_str(), property_names[property], joint_name, why);
        return int{tka_build_bad_keys};
    };
    const size_t width = property == 0 ? 4 : 3;
    const size_t per_key =
        track.interpolation == scene_interpolation::cubic_spline ? 3 * width : width;
    if (track.values.size() != track.times.size() * per_key)
        return refuse("have as many values as the times do not ask for");
    for (size_t k = 0; k < track.times.size(); k++) {
        if (!std::isfinite(track.times[k])) return refuse("have a time that is not a number");
        if (k && !(track.times[k] > track.times[k - 1])) return refuse("have times not increasing");
    }
    for (float value : track.values)
        if (!std::isfinite(value)) return refuse("have a value that is not a finite number");
    return 0;
}

int check_animation(const scene_animation &animation, const scene_model &scene) {
    std::vector<bool> seen(scene.joints.size());
    for (const scene_track &track : animation.tracks) {
        if (track.joint >= scene.joints.size()) {
            real_meow("Animation '%s' moves joint %u, but the model has only %zu joints.  Can't "
                      "convert this animation!\n",
                      animation.name.c_str(), unsigned{track.joint}, scene.joints.size());
            return tka_build_bad_keys;
        }
        if (seen[track.joint]) {
            real_meow("Animation '%s' moves joint '%s' twice.  Can't convert this animation!\n",
                      animation.name.c_str(), scene.joints[track.joint].name.c_str());
            return tka_build_bad_keys;
        }
        seen[track.joint] = true;
        const scene_key_track *keys[3] = {&track.rotation, &track.translation, &track.scale};
        for (int p = 0; p < 3; p++)
            if (int code = check_track(animation, scene, *keys[p], p, track.joint)) return code;
    }
    return 0;
}

// ---- sampling

void hermite(float *out, const float *v0, const float *out_tangent, const float *v1,
             const float *in_tangent, float d, float u, size_t width) {
    const float u2 = u * u, u3 = u2 * u;
    const float a = 2 * u3 - 3 * u2 + 1, b = u3 - 2 * u2 + u, c = -2 * u3 + 3 * u2, e = u3 - u2;
    for (size_t i = 0; i < width; i++)
        out[i] = a * v0[i] + b * d * out_tangent[i] + c * v1[i] + e * d * in_tangent[i];
}

} // namespace

void sample_key_track(const scene_key_track &track, bool rotation, float t, float *out) {
    const size_t width = rotation ? 4 : 3;
    const bool cubic = track.interpolation == scene_interpolation::cubic_spline;
    const size_t stride = cubic ? 3 * width : width;
    const size_t offset = cubic ? width : 0; // the value between the tangents
    const size_t count = track.times.size();
    auto key_value = [&](size_t k) { return &track.values[k * stride + offset]; };
    size_t k = 0;
    if (t <= track.times[0]) {
        std::memcpy(out, key_value(0), width * sizeof(float));
    } else if (t >= track.times[count - 1]) {
        std::memcpy(out, key_value(count - 1), width * sizeof(float));
    } else {
        while (k + 1 < count && track.times[k + 1] <= t)
            k++;
        const float d = track.times[k + 1] - track.times[k];
        const float u = (t - track.times[k]) / d;
        if (track.interpolation == scene_interpolation::step) {
            std::memcpy(out, key_value(k), width * sizeof(float));
        } else if (cubic) {
            hermite(out, key_value(k), key_value(k) + width, key_value(k + 1),
                    key_value(k + 1) - width, d, u, width);
        } else if (rotation) {
            scene_quat_slerp(out, key_value(k), key_value(k + 1), u);
        } else {
            for (size_t i = 0; i < width; i++)
                out[i] = key_value(k)[i] + u * (key_value(k + 1)[i] - key_value(k)[i]);
        }
    }
    if (rotation) {
        float normalised[4];
        quat_normalize(normalised, out);
        std::memcpy(out, normalised, sizeof normalised);
    }
}

bool animation_time_span(const scene_animation &animation, float *first, float *last) {
    bool any = false;
    for (const scene_track &track : animation.tracks)
        for (const scene_key_track *keys : {&track.rotation, &track.translation, &track.scale}) {
            if (keys->times.empty()) continue;
            if (!any || keys->times.front() < *first) *first = keys->times.front();
            if (!any || keys->times.back() > *last) *last = keys->times.back();
            any = true;
        }
    return any;
}

namespace {

// ---- skeleton and frames

// The scene joint of each mesh bone, by name; -1 where the scene has none (warned).
std::vector<int64_t> match_bones(const tkm_mesh *mesh, const scene_model &scene, size_t *matched) {
    std::unordered_map<std::string, size_t> joints;
    for (size_t j = scene.joints.size(); j-- > 0;)
        joints[scene.joints[j].name] = j; // the first joint of a name wins
    std::vector<int64_t> joint_of(mesh->num_bones, -1);
    *matched = 0;
    for (uint16_t i = 0; i < mesh->num_bones; i++) {
        auto found = joints.find(std::string(mesh->bones[i].name, mesh->bones[i].name_length));
        if (found != joints.end()) {
            joint_of[i] = int64_t(found->second);
            ++*matched;
        }
    }
    if (*matched == 0) return joint_of;
    for (uint16_t i = 0; i < mesh->num_bones; i++)
        if (joint_of[i] < 0)
            real_meow("Bone '%s' is not in the animation's model: it keeps its bind rotation\n",
                      mesh->bones[i].name);
    return joint_of;
}

// How a scene joint's sampled rotation becomes its bone's: the two skeletons may place the same
// joint with other axes (Blender turns every bone to point along its y axis), so the rotation is
// carried over as the motion it gives the joint's children in the world, not as numbers:
// bone = before * joint * after, with before and after made of the bind poses' world rotations.
// Where the axes agree (the model's own skeleton, or one exported by tarvik), the joint's
// rotation is taken as it is.
struct bone_retarget {
    bool as_it_is = true;
    float before[16]; // the mesh parent's world rotation undone, the joint parent's done
    float after[16];  // the joint's world rotation undone, the bone's done
};

// The rotation part of m (no translation).
void rotation_of(float *out, const float *m) {
    std::memcpy(out, m, 16 * sizeof(float));
    out[12] = out[13] = out[14] = 0;
}

// inverse(a) * b for rotations a and b.
void undo_then(float *out, const float *a, const float *b) {
    float inverse[16];
    mat4_rigid_inverse(inverse, a);
    mat4_multiply(out, inverse, b);
}

bool near_identity(const float *m) {
    float identity[16];
    mat4_identity(identity);
    for (int i = 0; i < 16; i++)
        if (std::fabs(m[i] - identity[i]) > 1e-6f) return false;
    return true;
}

std::vector<bone_retarget> retarget_bones(const tkm_mesh *mesh, const scene_model &scene,
                                          const std::vector<int64_t> &joint_of) {
    std::vector<float> joint_world(16 * scene.joints.size());
    for (size_t j = 0; j < scene.joints.size(); j++) {
        float local[16];
        rotation_of(local, scene.joints[j].local);
        const int32_t parent = scene.joints[j].parent;
        if (parent >= 0 && size_t(parent) < j)
            mat4_multiply(&joint_world[16 * j], &joint_world[16 * size_t(parent)], local);
        else
            std::memcpy(&joint_world[16 * j], local, sizeof local);
    }
    float identity[16];
    mat4_identity(identity);
    std::vector<bone_retarget> out(mesh->num_bones);
    for (uint16_t i = 0; i < mesh->num_bones; i++) {
        if (joint_of[i] < 0) continue;
        const size_t j = size_t(joint_of[i]);
        const int32_t joint_parent = scene.joints[j].parent;
        const uint16_t bone_parent = mesh->bones[i].parent;
        float bone_world[16], bone_parent_world[16];
        rotation_of(bone_world, mesh->bones[i].world);
        if (has_parent(bone_parent, i))
            rotation_of(bone_parent_world, mesh->bones[bone_parent].world);
        else
            mat4_identity(bone_parent_world);
        const float *joint_parent_world = joint_parent >= 0 && size_t(joint_parent) < j
                                              ? &joint_world[16 * size_t(joint_parent)]
                                              : identity;
        bone_retarget &r = out[i];
        undo_then(r.before, bone_parent_world, joint_parent_world);
        undo_then(r.after, &joint_world[16 * j], bone_world);
        r.as_it_is = near_identity(r.before) && near_identity(r.after);
    }
    return out;
}

// Which bones the TKA animates: those the file names when it does, else those whose joint's
// rotation is keyed; all of them when that leaves none (a TKA's empty list means every bone).
std::vector<bool> animated_bones(const tkm_mesh *mesh, const scene_model &scene,
                                 const scene_animation &source,
                                 const std::vector<const scene_track *> &track_of_joint,
                                 const std::vector<int64_t> &joint_of) {
    std::vector<bool> animated(mesh->num_bones, false);
    bool any = false;
    for (uint16_t i = 0; i < mesh->num_bones; i++) {
        if (joint_of[i] < 0) continue;
        const size_t j = size_t(joint_of[i]);
        const scene_track *track = track_of_joint[j];
        const auto &named = source.animated_joints;
        animated[i] = named.empty() ? track && !track->rotation.times.empty()
                                    : std::find(named.begin(), named.end(), scene.joints[j].name) !=
                                          named.end();
        any = any || animated[i];
    }
    if (!any) animated.assign(mesh->num_bones, true);
    return animated;
}

int copy_skeleton(tka_animation *animation, const tkm_mesh *mesh, uint16_t num_frames,
                  const std::vector<bool> &animated) {
    animation->bones = alloc_elements<tkm_bone>(mesh->num_bones);
    animation->animated_bones = alloc_elements<uint16_t>(mesh->num_bones);
    animation->frames = alloc_elements<tka_frame>(num_frames);
    if (!animation->bones || !animation->animated_bones || !animation->frames) return 1;
    animation->num_bones = mesh->num_bones;
    animation->num_animated = 0;
    animation->num_frames = num_frames;
    for (uint16_t i = 0; i < mesh->num_bones; i++) {
        const tkm_bone &source = mesh->bones[i];
        tkm_bone &bone = animation->bones[i];
        bone.name = alloc_counted_string(source.name, source.name_length);
        bone.frame_rotations = alloc_elements<float>(4 * uint32_t{num_frames});
        bone.frame_locals = alloc_elements<float>(16 * uint32_t{num_frames});
        bone.frame_worlds = alloc_elements<float>(16 * uint32_t{num_frames});
        if (!bone.name || !bone.frame_rotations || !bone.frame_locals || !bone.frame_worlds)
            return 1;
        bone.name_length = source.name_length;
        bone.parent = source.parent;
        std::memcpy(bone.position, source.position, sizeof bone.position);
        std::memcpy(bone.rotation, source.rotation, sizeof bone.rotation);
        std::memcpy(bone.local, source.local, sizeof bone.local);
        std::memcpy(bone.world, source.world, sizeof bone.world);
        bone.animated = animated[i] ? 1 : 0;
        if (animated[i]) animation->animated_bones[animation->num_animated++] = i;
    }
    for (uint16_t f = 0; f < num_frames; f++)
        animation->frames[f].aux_rotation[3] = 1.0f;
    return 0;
}

// Frame f: each bone's rotation (sampled, or the mesh's bind rotation), local and world matrices
// as the loader derives them.
void fill_frame(tka_animation *animation, const tkm_mesh *mesh,
                const std::vector<const scene_track *> &track_of_joint,
                const std::vector<int64_t> &joint_of, const std::vector<bone_retarget> &retarget,
                uint16_t f, float t) {
    for (uint16_t i = 0; i < animation->num_bones; i++) {
        tkm_bone &bone = animation->bones[i];
        float *rotation = bone.frame_rotations + 4 * uint32_t{f};
        // A bone the TKA does not animate keeps its bind rotation, as the loader gives it.
        const scene_track *track =
            joint_of[i] < 0 || !bone.animated ? nullptr : track_of_joint[size_t(joint_of[i])];
        if (track && !track->rotation.times.empty()) {
            float q[4];
            sample_key_track(track->rotation, true, t, q);
            if (!retarget[i].as_it_is) {
                float sampled[16], half[16], whole[16];
                scene_quat_to_matrix(sampled, q);
                mat4_multiply(half, retarget[i].before, sampled);
                mat4_multiply(whole, half, retarget[i].after);
                matrix_to_scene_quat(q, whole);
            }
            scene_quat_to_bone_rotation(rotation, q);
        } else {
            std::memcpy(rotation, mesh->bones[i].rotation, 4 * sizeof(float));
        }
        float *local = bone.frame_locals + 16 * uint32_t{f};
        float *world = bone.frame_worlds + 16 * uint32_t{f};
        quat_to_mat4(local, rotation);
        std::memcpy(&local[12], mesh->bones[i].position, 3 * sizeof(float));
        if (has_parent(bone.parent, i))
            mat4_multiply(world, animation->bones[bone.parent].frame_worlds + 16 * uint32_t{f},
                          local);
        else
            std::memcpy(world, local, 16 * sizeof(float));
    }
}

} // namespace

// ---- build_tka

int build_tka(tka_animation *animation, const scene_model &scene, size_t index,
              const tkm_mesh *mesh) {
    const scene_animation &source = scene.animations[index];
    if (int code = check_animation(source, scene)) return code;
    float first = 0, last = 0;
    if (!animation_time_span(source, &first, &last)) {
        real_meow("Animation '%s' has no keys.  Can't convert this animation!\n",
                  source.name.c_str());
        return tka_build_bad_keys;
    }
    // Frames 1/10 s apart from the first key; the last one reaches the last key.
    const double span = (double{last} - first) * tka_frames_per_second;
    const double frames = std::ceil(span - 1e-3) + 1;
    if (!(frames <= 65535)) {
        real_meow("Animation '%s' lasts %.1f seconds: more than the 65535 frames a TKA holds at 10 "
                  "a second.  Can't convert this animation!\n",
                  source.name.c_str(), double{last} - first);
        return tka_build_too_many_frames;
    }
    const uint16_t num_frames = static_cast<uint16_t>(frames);
    size_t matched = 0;
    const std::vector<int64_t> joint_of = match_bones(mesh, scene, &matched);
    if (matched == 0) {
        real_meow("No bone of the skeleton is named in the animation's model.  Can't convert this "
                  "animation!\n");
        return tka_build_no_bones;
    }
    const std::string &name = source.name.empty() ? scene.name : source.name;
    const uint16_t name_length = static_cast<uint16_t>(std::min<size_t>(name.size(), 65535));
    animation->header_word = 0x0011;
    animation->name = alloc_counted_string(name.data(), name_length);
    if (!animation->name) return tka_build_out_of_memory;
    animation->name_length = name_length;
    std::vector<const scene_track *> track_of_joint(scene.joints.size(), nullptr);
    for (const scene_track &track : source.tracks)
        track_of_joint[track.joint] = &track;
    const std::vector<bool> animated =
        animated_bones(mesh, scene, source, track_of_joint, joint_of);
    if (copy_skeleton(animation, mesh, num_frames, animated)) return tka_build_out_of_memory;
    const std::vector<bone_retarget> retarget = retarget_bones(mesh, scene, joint_of);
    for (uint16_t f = 0; f < num_frames; f++) {
        const float t = std::min(last, first + float(f) / tka_frames_per_second);
        fill_frame(animation, mesh, track_of_joint, joint_of, retarget, f, t);
    }
    report_dropped_motion(scene, source, first, num_frames);
    return tka_build_ok;
}
