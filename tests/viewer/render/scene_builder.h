// SPDX-License-Identifier: MIT
// Small meshes and animations built in code for the drawing tests: a builder that lays out
// triangles, materials, textures and grippers, then makes a tkm_mesh that release_mesh frees.
#pragma once

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "viewer/anim/animation.h"
#include "viewer/mesh/mesh.h"

namespace scene {

using vec3 = std::array<float, 3>;

inline void translation(float *m, float x, float y, float z) {
    static constexpr float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::memcpy(m, identity, sizeof identity);
    m[12] = x;
    m[13] = y;
    m[14] = z;
}

inline char *counted(const std::string &text, uint16_t &length) {
    length = static_cast<uint16_t>(text.size());
    return alloc_counted_string(text.c_str(), length);
}

struct material_desc {
    std::string name = "Skin";
    std::array<float, 4> ambient = {0, 0, 0, 1};
    std::array<float, 4> diffuse = {0, 0, 0, 1};
    std::array<float, 4> specular = {0, 0, 0, 1};
    std::array<float, 4> emission = {0, 0, 0, 1};
    float opacity = 1.0f;
    int texture = -1; // index of the first texture reference, or none
};

struct gripper_spec {
    std::string name;
    std::array<float, 16> local;
    uint16_t bone = 0;
};

struct builder {
    struct bone_spec {
        vec3 position;
        uint16_t parent;
    };
    struct corner_spec {
        uint16_t vertex;
        float u, v;
        uint16_t aux2;
    };
    struct run_spec {
        uint16_t material, first, count;
    };

    std::string name = "TestMesh";
    std::vector<bone_spec> bones = {{{0, 0, 0}, no_parent}};
    std::vector<vec3> vertices; // all carried by bone 0, as bone-relative positions
    std::vector<corner_spec> corners;
    std::vector<std::array<uint16_t, 3>> triangles;
    std::vector<material_desc> materials;
    std::vector<run_spec> runs;
    std::vector<std::string> textures;
    std::vector<gripper_spec> grippers, grips;

    // One triangle with its own three vertices and corners; returns its index.
    uint16_t triangle(vec3 a, vec3 b, vec3 c, std::array<uint16_t, 3> aux2 = {0, 0, 0},
                      std::array<float, 3> u = {0, 0, 0}, float v = 0.5f) {
        const vec3 points[3] = {a, b, c};
        std::array<uint16_t, 3> made{};
        for (int k = 0; k < 3; k++) {
            vertices.push_back(points[k]);
            corners.push_back({static_cast<uint16_t>(vertices.size() - 1), u[k], v, aux2[k]});
            made[k] = static_cast<uint16_t>(corners.size() - 1);
        }
        triangles.push_back(made);
        return static_cast<uint16_t>(triangles.size() - 1);
    }

    // A material drawn on the triangles from first (count of them); returns the material index.
    uint16_t run(const material_desc &material, uint16_t first, uint16_t count = 1) {
        materials.push_back(material);
        uint16_t index = static_cast<uint16_t>(materials.size() - 1);
        runs.push_back({index, first, count});
        return index;
    }

    tkm_mesh *build() const {
        tkm_mesh *mesh = create_mesh();
        mesh->name = counted(name, mesh->name_length);

        mesh->num_bones = static_cast<uint16_t>(bones.size());
        mesh->bones = alloc_elements<tkm_bone>(mesh->num_bones);
        for (std::size_t i = 0; i < bones.size(); i++) {
            tkm_bone &bone = mesh->bones[i];
            bone.name = counted("Bone" + std::to_string(i), bone.name_length);
            bone.parent = bones[i].parent;
            std::memcpy(bone.position, bones[i].position.data(), sizeof bone.position);
            bone.rotation[3] = 1.0f;
            translation(bone.local, bone.position[0], bone.position[1], bone.position[2]);
            vec3 world = bones[i].position;
            if (bone.parent < i)
                for (int k = 0; k < 3; k++)
                    world[k] += mesh->bones[bone.parent].world[12 + k];
            translation(bone.world, world[0], world[1], world[2]);
        }

        mesh->num_vertices = static_cast<uint16_t>(vertices.size());
        mesh->vertices = alloc_elements<tkm_vertex>(mesh->num_vertices);
        for (std::size_t i = 0; i < vertices.size(); i++)
            translation(mesh->vertices[i].local, vertices[i][0], vertices[i][1], vertices[i][2]);
        mesh->num_runs = 1;
        mesh->runs = alloc_elements<bone_run>(1);
        mesh->runs[0] = {0, 0, mesh->num_vertices};

        mesh->num_corners = static_cast<uint16_t>(corners.size());
        mesh->corners = alloc_elements<tkm_corner>(mesh->num_corners);
        mesh->num_texcoords = mesh->num_corners;
        mesh->texcoords = alloc_elements<tkm_texcoord>(mesh->num_texcoords);
        for (std::size_t i = 0; i < corners.size(); i++) {
            mesh->corners[i] = {static_cast<uint16_t>(i), corners[i].vertex, 0, corners[i].aux2};
            mesh->texcoords[i] = {corners[i].u, corners[i].v};
        }
        mesh->num_triangles = static_cast<uint16_t>(triangles.size());
        mesh->triangles = alloc_elements<tkm_triangle>(mesh->num_triangles);
        for (std::size_t i = 0; i < triangles.size(); i++)
            std::memcpy(mesh->triangles[i].corners, triangles[i].data(), 6);

        mesh->num_texture_names = static_cast<uint16_t>(textures.size());
        if (!textures.empty())
            mesh->texture_names = alloc_elements<texture_name>(mesh->num_texture_names);
        for (std::size_t i = 0; i < textures.size(); i++) {
            texture_name &t = mesh->texture_names[i];
            t.path = counted(textures[i], t.length);
            t.base = t.path;
            t.base_length = t.length;
        }

        mesh->num_materials = static_cast<uint16_t>(materials.size());
        mesh->materials = alloc_elements<tkm_material>(mesh->num_materials);
        for (std::size_t i = 0; i < materials.size(); i++) {
            const material_desc &desc = materials[i];
            tkm_material &m = mesh->materials[i];
            m.name = counted(desc.name, m.name_length);
            if (desc.texture >= 0) {
                m.num_texture_refs = 1;
                m.texture_refs = alloc_elements<texture_ref>(1);
                m.texture_refs[0] = {1, static_cast<uint16_t>(desc.texture)};
            }
            m.opacity = desc.opacity;
            m.gl_face = gl_front_face;
            std::memcpy(m.gl_ambient, desc.ambient.data(), 16);
            std::memcpy(m.gl_diffuse, desc.diffuse.data(), 16);
            std::memcpy(m.gl_specular, desc.specular.data(), 16);
            std::memcpy(m.gl_emission, desc.emission.data(), 16);
        }
        mesh->num_material_runs = static_cast<uint16_t>(runs.size());
        mesh->material_runs = alloc_elements<material_run>(mesh->num_material_runs);
        for (std::size_t i = 0; i < runs.size(); i++)
            mesh->material_runs[i] = {runs[i].material, runs[i].first, runs[i].count};

        auto make_grippers = [](const std::vector<gripper_spec> &specs, uint16_t &count,
                                gripper *&list) {
            count = static_cast<uint16_t>(specs.size());
            if (specs.empty()) return;
            list = alloc_elements<gripper>(count);
            for (std::size_t i = 0; i < specs.size(); i++) {
                list[i].name = counted(specs[i].name, list[i].name_length);
                std::memcpy(list[i].local, specs[i].local.data(), sizeof list[i].local);
                list[i].bone = specs[i].bone;
            }
        };
        make_grippers(grippers, mesh->num_grippers, mesh->grippers);
        make_grippers(grips, mesh->num_grips, mesh->grips);
        mesh->class_name = model_class_name(mesh);
        return mesh;
    }
};

// An animation of mesh's skeleton with frames frames; in frame k every bone stands at its bind
// place moved by (k * shift, 0, 0). Release with release_animation.
inline tka_animation *shifted_animation(const tkm_mesh *mesh, uint16_t frames, float shift) {
    tka_animation *animation = create_animation();
    animation->name = counted("TestAnimation", animation->name_length);
    animation->num_frames = frames;
    animation->frames = alloc_elements<tka_frame>(frames);
    animation->num_bones = mesh->num_bones;
    animation->bones = alloc_elements<tkm_bone>(mesh->num_bones);
    for (uint16_t b = 0; b < mesh->num_bones; b++) {
        tkm_bone &bone = animation->bones[b];
        bone.parent = mesh->bones[b].parent;
        bone.animated = 1;
        bone.frame_rotations = alloc_elements<float>(4u * frames);
        bone.frame_locals = alloc_elements<float>(16u * frames);
        bone.frame_worlds = alloc_elements<float>(16u * frames);
        for (uint16_t k = 0; k < frames; k++) {
            std::memcpy(bone.frame_locals + 16 * k, mesh->bones[b].local, 64);
            float *world = bone.frame_worlds + 16 * k;
            std::memcpy(world, mesh->bones[b].world, 64);
            world[12] += k * shift;
        }
    }
    return animation;
}

} // namespace scene
