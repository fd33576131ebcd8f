// SPDX-License-Identifier: MIT
// Shared helpers of the glTF import tests: loading a built glTF through the load branch, the
// Milkshape twin of a glTF description, and the rest-pose positions of a converted mesh.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "fixtures/gltf_import_builder.h"
#include "fixtures/ms3d_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/files/path_names.h"
#include "viewer/formats/model_load.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/ms3d/ms3d_load.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tkm_builder.h"
#include "viewer/scene/image_files.h"
#include "tools/tkmtool/stb_images.h"

namespace gltf_import_test {

struct mesh_releaser {
    void operator()(tkm_mesh *mesh) const { release_mesh(mesh); }
};
using mesh_ptr = std::unique_ptr<tkm_mesh, mesh_releaser>;

// What one load through the glTF branch gave.
struct loaded {
    mesh_ptr mesh; // null when the load failed
    int code = 0;
    std::string stage;
    model_read_notes notes;
    scene_model scene;    // the model as read, with the images to write beside the mesh
    std::string out, err; // what it printed
};

// Writes bytes as dir/name and loads it, writing the images beside dir/output (as tkmtool
// convert does) when output is not empty.
inline loaded load_file(const temp_dir &dir, const std::string &name,
                        const std::vector<uint8_t> &bytes, const std::string &output = "") {
    write_all(dir / name, bytes);
    loaded result;
    result.mesh.reset(create_mesh());
    const std::string output_path = output.empty() ? std::string() : dir / output;
    scene_image_placing images;
    images.beside = output_path;
    images.encode = encode_image_with_stb;
    if (!output.empty()) {
        result.notes.image_prefix = stem_of(output_path);
        result.notes.images = &images;
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    result.code =
        load_model_mesh((dir / name).c_str(), result.mesh.get(), &result.scene, &result.notes);
    if (result.code == 0) write_placed_images(images);
    result.notes.images = nullptr;
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    result.stage = result.notes.stage ? result.notes.stage : "";
    if (result.code) result.mesh.reset();
    return result;
}

// The TKM bytes of a mesh.
inline std::vector<uint8_t> tkm_bytes(const temp_dir &dir, const tkm_mesh *mesh) {
    const std::string path = dir / "written.tkm";
    EXPECT_EQ(write_tkm(mesh, path.c_str()), 0);
    return read_all(path);
}

// The Milkshape model that describes the same as m: translation-only joints, the vertices of
// each primitive in order (none shared between primitives), one group per primitive, the
// materials as the import maps them, with the given texture file names.
inline ms3d_fixture::model milkshape_twin(const gltf_fixture::model &m,
                                          const std::vector<std::string> &textures = {}) {
    ms3d_fixture::model out;
    for (const gltf_fixture::joint &j : m.joints) {
        ms3d_fixture::joint joint;
        joint.name = j.name;
        if (j.parent >= 0) joint.parent = m.joints[size_t(j.parent)].name;
        for (size_t k = 0; k < 3; k++)
            joint.position[k] = float(j.translation[k]);
        out.joints.push_back(joint);
    }
    for (size_t p = 0; p < m.primitives.size(); p++) {
        const gltf_fixture::primitive &primitive = m.primitives[p];
        const uint16_t first = uint16_t(out.vertices.size());
        for (const gltf_fixture::vertex &v : primitive.vertices)
            out.vertices.push_back({v.x, v.y, v.z, int8_t(v.joints[0])});
        ms3d_fixture::group group{"part" + std::to_string(p), {}, int8_t(primitive.material)};
        for (size_t c = 0; c + 2 < primitive.vertices.size(); c += 3) {
            ms3d_fixture::triangle t;
            for (size_t k = 0; k < 3; k++) {
                const gltf_fixture::vertex &v = primitive.vertices[c + k];
                t.v[k] = uint16_t(first + c + k);
                t.s[k] = v.u;
                t.t[k] = v.v;
            }
            group.triangles.push_back(uint16_t(out.triangles.size()));
            out.triangles.push_back(t);
        }
        out.groups.push_back(group);
    }
    for (size_t i = 0; i < m.materials.size(); i++) {
        const gltf_fixture::material &from = m.materials[i];
        ms3d_fixture::material material;
        material.name = from.name;
        for (size_t k = 0; k < 3; k++)
            material.ambient[k] = material.diffuse[k] = float(from.colour[k]);
        material.ambient[3] = material.diffuse[3] = 1;
        material.emissive[3] = 0;
        material.transparency = from.blend ? float(from.colour[3]) : 1.0f;
        if (i < textures.size()) material.texture = textures[i];
        out.materials.push_back(material);
    }
    return out;
}

// Converts the Milkshape model m written as dir/name.
inline mesh_ptr convert_milkshape(const temp_dir &dir, const ms3d_fixture::model &m,
                                  const std::string &name = "twin.ms3d") {
    write_all(dir / name, ms3d_fixture::bytes(m));
    mesh_ptr mesh(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    scene_model scene;
    model_read_notes notes;
    const int code = load_model_mesh((dir / name).c_str(), mesh.get(), &scene, &notes);
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 0) << err;
    return code ? nullptr : std::move(mesh);
}

// The Milkshape model m written as dir/name and built keeping its own joint placements, as a glTF
// file's are kept, where the Milkshape conversion gives the game's known skeletons their
// reference pose.
inline mesh_ptr convert_milkshape_own_pose(const temp_dir &dir, const ms3d_fixture::model &m,
                                           const std::string &name = "twin.ms3d") {
    write_all(dir / name, ms3d_fixture::bytes(m));
    scene_model scene;
    const char *stage = nullptr;
    EXPECT_EQ(load_ms3d_scene((dir / name).c_str(), &scene, &stage), 0) << stage;
    mesh_ptr mesh(create_mesh());
    const int code = convert_scene_to_tkm(mesh.get(), &scene);
    EXPECT_EQ(code, 0);
    return code ? nullptr : std::move(mesh);
}

// Every corner's position in the mesh's rest pose, in triangle order.
inline std::vector<std::array<float, 3>> rest_corners(tkm_mesh *mesh) {
    tka_animation *pose = create_animation();
    EXPECT_EQ(fill_rest_pose(mesh, pose), 0);
    pose_mesh_in_frame(mesh, pose, 0, nullptr);
    std::vector<std::array<float, 3>> out;
    for (uint32_t t = 0; t < mesh->num_triangles; t++)
        for (uint16_t corner : mesh->triangles[t].corners) {
            // A corner names a stored vertex or, past them, a blend vertex.
            std::array<float, 3> p{};
            corner_position(mesh, mesh->corners[corner].vertex, p.data());
            out.push_back(p);
        }
    release_animation(pose);
    return out;
}

} // namespace gltf_import_test
