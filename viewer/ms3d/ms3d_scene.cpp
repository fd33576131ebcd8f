// SPDX-License-Identifier: MIT
// A read Milkshape model as the neutral model: what the TKM and TKA builders read.
//
// Sections: names, joints and keyframes, geometry, ms3d_to_scene.
#include "viewer/ms3d/ms3d_scene.h"

#include <cmath>
#include <cstring>
#include <string>

#include "support/messages.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_extras.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/scene_math.h"

namespace {

// ---- names

bool ends_inside(const char *field, size_t size) {
    return std::memchr(field, 0, size) != nullptr;
}

// Fixed-width names are zero-terminated text: each must end inside its field.
int check_names(const ms3d_model *model) {
    for (uint16_t i = 0; i < model->num_joints; i++) {
        const ms3d_joint &joint = model->joints[i];
        if (!ends_inside(joint.name, ms3d_name_size) ||
            !ends_inside(joint.parent_name, ms3d_name_size)) {
            real_meow("Joint %u has a name longer than its field.  Can't use this model!\n",
                      unsigned{i});
            return 1;
        }
    }
    for (uint16_t g = 0; g < model->num_groups; g++)
        if (!ends_inside(model->groups[g].name, ms3d_name_size)) {
            real_meow("Group %u has a name longer than its field.  Can't use this model!\n",
                      unsigned{g});
            return 3;
        }
    for (uint16_t i = 0; i < model->num_materials; i++) {
        const ms3d_material &material = model->materials[i];
        if (!ends_inside(material.name, ms3d_name_size) ||
            !ends_inside(material.texture, ms3d_texture_size)) {
            real_meow("Material %u has a name longer than its field.  Can't use this model!\n",
                      unsigned{i});
            return 4;
        }
    }
    return 0;
}

// ---- joints and keyframes

// Milkshape's placement of three angles in radians and a translation: about x first, then y, then
// z (R = Rz Ry Rx), as it turns a joint's bind pose and its rotation keys alike. Worked out in
// double so that long chains of joints keep float accuracy. All angles zero give exactly the
// matrix the viewer has always made for them (signed zeros included), so that unrotated models
// keep their bytes.
void milkshape_placement(float *out, const float *position, const float *angles) {
    if (angles[0] == 0.0f && angles[1] == 0.0f && angles[2] == 0.0f) {
        euler_matrix(out, position[0], position[1], position[2], 0, 0, 0);
        return;
    }
    const double sx = std::sin(double{angles[0]}), cx = std::cos(double{angles[0]});
    const double sy = std::sin(double{angles[1]}), cy = std::cos(double{angles[1]});
    const double sz = std::sin(double{angles[2]}), cz = std::cos(double{angles[2]});
    // Column-major: element 4 * column + row.
    const double r[16] = {cz * cy,
                          sz * cy,
                          -sy,
                          0,
                          cz * sy * sx - sz * cx,
                          sz * sy * sx + cz * cx,
                          cy * sx,
                          0,
                          cz * sy * cx + sz * sx,
                          sz * sy * cx - cz * sx,
                          cy * cx,
                          0,
                          position[0],
                          position[1],
                          position[2],
                          1};
    for (int i = 0; i < 16; i++)
        out[i] = static_cast<float>(r[i]);
}

// A joint's keys move it from its bind placement: at time t its placement relative to the parent
// is bind x key, the key being the rotation keys' turn and the position keys' translation. The
// track holds that product's rotation and translation. Interpolating these (slerp, linear) is the
// same as interpolating the keys themselves, since the bind placement is one fixed factor.
void fill_keyframes(const ms3d_joint &joint, const float *bind, scene_track *track) {
    const float origin[3] = {0, 0, 0};
    track->rotation.interpolation = scene_interpolation::linear;
    for (uint16_t k = 0; k < joint.num_rotation_keys; k++) {
        const ms3d_keyframe &key = joint.rotation_keys[k];
        float turn[16], placed[16], q[4];
        milkshape_placement(turn, origin, key.value);
        mat4_multiply(placed, bind, turn);
        matrix_to_scene_quat(q, placed);
        track->rotation.times.push_back(key.time);
        track->rotation.values.insert(track->rotation.values.end(), q, q + 4);
    }
    track->translation.interpolation = scene_interpolation::linear;
    for (uint16_t k = 0; k < joint.num_position_keys; k++) {
        const ms3d_keyframe &key = joint.position_keys[k];
        float moved[3];
        mat4_transform_point(moved, key.value, bind);
        track->translation.times.push_back(key.time);
        track->translation.values.insert(track->translation.values.end(), moved, moved + 3);
    }
}

void fill_joints(const ms3d_model *model, scene_model *scene) {
    scene_animation animation;
    animation.name = "Milkshape";
    for (uint16_t i = 0; i < model->num_joints; i++) {
        const ms3d_joint &source = model->joints[i];
        scene_joint joint;
        joint.name = source.name;
        joint.parent = find_parent_joint(model, i);
        milkshape_placement(joint.local, source.position, source.rotation);
        if (source.num_rotation_keys || source.num_position_keys) {
            scene_track track;
            track.joint = i;
            fill_keyframes(source, joint.local, &track);
            animation.tracks.push_back(std::move(track));
        }
        scene->joints.push_back(std::move(joint));
    }
    if (!animation.tracks.empty()) scene->animations.push_back(std::move(animation));
}

// ---- geometry

// The vertex's Milkshape 1.8 weights (checked before), heaviest first, as shares of 1.
void fill_weights(const ms3d_model *model, uint16_t i, scene_vertex *vertex) {
    ms3d_vertex_weights w;
    ms3d_vertex_weights_of(model, i, &w);
    int sum = 0;
    for (int k = 0; k < w.num; k++)
        sum += w.weights[k];
    vertex->num_weights = 0;
    for (int k = 0; k < w.num && sum > 0; k++) {
        scene_weight weight{static_cast<uint32_t>(w.bones[k]), float(w.weights[k]) / float(sum)};
        int at = vertex->num_weights++;
        while (at > 0 && vertex->weights[at - 1].weight < weight.weight) {
            vertex->weights[at] = vertex->weights[at - 1];
            at--;
        }
        vertex->weights[at] = weight;
    }
}

void fill_geometry(const ms3d_model *model, scene_model *scene, bool weights) {
    scene->vertices.resize(model->num_vertices);
    for (uint16_t i = 0; i < model->num_vertices; i++) {
        const ms3d_vertex &source = model->vertices[i];
        scene_vertex &vertex = scene->vertices[i];
        std::memcpy(vertex.position, source.position, sizeof vertex.position);
        if (weights && source.bone >= 0) {
            fill_weights(model, i, &vertex);
        } else if (source.bone >= 0) {
            vertex.num_weights = 1;
            vertex.weights[0] = {static_cast<uint32_t>(source.bone), 1.0f};
        }
    }
    scene->triangles.resize(model->num_triangles);
    for (uint16_t t = 0; t < model->num_triangles; t++) {
        const ms3d_triangle &source = model->triangles[t];
        // Milkshape winds the other way round.
        for (int c = 0; c < 3; c++) {
            scene_corner &corner = scene->triangles[t].corners[2 - c];
            corner.vertex = source.vertex_indices[c];
            corner.uv[0] = source.s[c];
            corner.uv[1] = source.t[c];
        }
    }
    for (uint16_t g = 0; g < model->num_groups; g++) {
        const ms3d_group &source = model->groups[g];
        scene_group group;
        group.name = source.name;
        group.material = source.material_index < 0 ? -1 : source.material_index;
        group.triangles.assign(source.triangle_indices,
                               source.triangle_indices + source.num_triangles);
        scene->groups.push_back(std::move(group));
    }
    for (uint16_t i = 0; i < model->num_materials; i++) {
        const ms3d_material &source = model->materials[i];
        scene_material material;
        material.name = source.name;
        // Milkshape lets a material go without a name, which a TKM cannot store: it is named
        // after its number, as the glTF reader names its unnamed ones.
        if (material.name.empty()) {
            material.name = "material" + std::to_string(i);
            real_meow("Material %u has no name; it is named %s.\n", unsigned{i},
                      material.name.c_str());
        }
        std::memcpy(material.ambient, source.ambient, sizeof material.ambient);
        std::memcpy(material.diffuse, source.diffuse, sizeof material.diffuse);
        std::memcpy(material.specular, source.specular, sizeof material.specular);
        std::memcpy(material.emissive, source.emissive, sizeof material.emissive);
        material.shininess = source.shininess;
        material.transparency = source.transparency;
        material.texture = source.texture;
        scene->materials.push_back(std::move(material));
    }
}

} // namespace

int find_parent_joint(const ms3d_model *model, int i) {
    if (i < 0 || i >= model->num_joints) return -1;
    const char *parent_name = model->joints[i].parent_name;
    if (parent_name[0] == 0) return -1;
    for (int j = 0; j < model->num_joints; j++)
        if (std::strncmp(parent_name, model->joints[j].name, ms3d_name_size) == 0) return j;
    return -1;
}

// ---- ms3d_to_scene

int ms3d_to_scene(const ms3d_model *model, scene_model *scene, bool weights) {
    const int names = check_names(model);
    if (names) return names;
    if (weights && check_ms3d_weights(model)) return 2;
    scene->name = "Milkshape";
    fill_joints(model, scene);
    fill_geometry(model, scene, weights);
    return 0;
}
