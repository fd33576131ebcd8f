// SPDX-License-Identifier: MIT
// The mesh model: classes, texture base names, derived material values, blend positions, release.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/fixtures/mesh_loading.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/mesh.h"

namespace {

std::string class_of(uint16_t bones, uint16_t grips, uint16_t grippers) {
    tkm_mesh mesh{};
    mesh.num_bones = bones;
    mesh.num_grips = grips;
    mesh.num_grippers = grippers;
    return model_class_name(&mesh);
}

TEST(ModelClass, FollowsBoneCountAndAttachments) {
    EXPECT_EQ(class_of(2, 0, 0), "unknown");
    EXPECT_EQ(class_of(2, 1, 0), "weapon");
    EXPECT_EQ(class_of(2, 0, 3), "unknown");
    EXPECT_EQ(class_of(34, 0, 0), "female hostage or priest");
    EXPECT_EQ(class_of(34, 0, 1), "female badguy");
    EXPECT_EQ(class_of(37, 0, 0), "male hostage");
    EXPECT_EQ(class_of(37, 0, 2), "male badguy");
    EXPECT_EQ(class_of(37, 5, 0), "male hostage");
    EXPECT_EQ(class_of(40, 0, 0), "child");
    EXPECT_EQ(class_of(40, 2, 2), "child");
    EXPECT_EQ(class_of(52, 0, 0), "officer");
    for (uint16_t other : {0, 1, 3, 36, 53, 65535})
        EXPECT_EQ(class_of(other, 1, 1), "unknown");
}

std::string base_of(const char *text, uint16_t length, uint16_t *base_length) {
    texture_name name{};
    name.length = length;
    name.path = const_cast<char *>(text);
    set_texture_base(&name);
    *base_length = name.base_length;
    EXPECT_GE(name.base, text);
    return std::string(name.base, name.base_length);
}

TEST(TextureBase, IsThePartAfterTheLastSeparator) {
    uint16_t length = 0;
    EXPECT_EQ(base_of("textures\\skin.bmp", 17, &length), "skin.bmp");
    EXPECT_EQ(length, 8);
    EXPECT_EQ(base_of("skin.bmp", 8, &length), "skin.bmp");
    EXPECT_EQ(base_of("/abc", 4, &length), "/abc");
    EXPECT_EQ(length, 4);
    EXPECT_EQ(base_of("a/b\\c.tga", 9, &length), "c.tga");
    EXPECT_EQ(base_of("d:\\x/y/", 7, &length), "");
    EXPECT_EQ(length, 0);
    // A length of 0 means the text's own length.
    EXPECT_EQ(base_of("dir/file.bmp", 0, &length), "file.bmp");
    EXPECT_EQ(length, 8);
}

TEST(MaterialValues, AreDerivedFromTheStoredOnes) {
    tkm_material material{};
    material.transparency = 0.25f;
    material.diffuse[0] = 255.0f;
    material.ambient[1] = 51.0f;
    material.specular[2] = 255.0f;
    material.emission = 50.0f;
    material.shininess = 20.0f;
    material.two_sided = 1;
    derive_material_values(&material);
    EXPECT_FLOAT_EQ(material.opacity, 0.75f);
    EXPECT_EQ(material.gl_face, 0x408u);
    const float diffuse[4] = {1, 0, 0, 0.75f};
    const float ambient[4] = {0, 0.2f, 0, 0.75f};
    const float specular[4] = {0, 0, 1, 0.75f};
    const float emission[4] = {0.5f, 0.5f, 0.5f, 0.75f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(material.gl_diffuse[i], diffuse[i]);
        EXPECT_FLOAT_EQ(material.gl_ambient[i], ambient[i]);
        EXPECT_FLOAT_EQ(material.gl_specular[i], specular[i]);
        EXPECT_FLOAT_EQ(material.gl_emission[i], emission[i]);
    }
    EXPECT_FLOAT_EQ(material.gl_shininess, 0.2f);
    material.two_sided = 0;
    derive_material_values(&material);
    EXPECT_EQ(material.gl_face, 0x404u);
}

// Two stored vertices posed at (0,0,0) and (2,0,0) and one blend vertex over them.
struct blend_mesh {
    tkm_vertex vertices[2]{};
    uint16_t indices[2] = {0, 1};
    float weights[2] = {0.5f, 0.5f};
    blend_vertex blend{2, indices, weights};
    tkm_mesh mesh{};
    blend_mesh() {
        vertices[1].world[12] = 2.0f;
        mesh.num_vertices = 2;
        mesh.vertices = vertices;
        mesh.num_blends = 1;
        mesh.blends = &blend;
    }
};

TEST(BlendPosition, IsTheWeightedSumWithoutNormalising) {
    blend_mesh b;
    float out[3] = {9, 9, 9};
    blend_position(&b.mesh, 0, out);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], 0.0f);
    EXPECT_FLOAT_EQ(out[2], 0.0f);
    b.weights[0] = b.weights[1] = 1.0f;
    blend_position(&b.mesh, 0, out);
    EXPECT_FLOAT_EQ(out[0], 2.0f);
    // A corner naming num_vertices names blend vertex 0; a stored index names the vertex.
    corner_position(&b.mesh, 2, out);
    EXPECT_FLOAT_EQ(out[0], 2.0f);
    corner_position(&b.mesh, 1, out);
    EXPECT_FLOAT_EQ(out[0], 2.0f);
    corner_position(&b.mesh, 0, out);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    // Indices that name nothing give the origin instead of reading past the arrays.
    blend_position(&b.mesh, 1, out);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    b.indices[1] = 7;
    blend_position(&b.mesh, 0, out);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
}

TEST(ReleaseMesh, FreesEveryPartOfAReadMeshAndToleratesAnEmptyOne) {
    // Leaks and double frees show up under the sanitizer build.
    release_mesh(nullptr);
    release_mesh(create_mesh());
    temp_dir dir;
    int code = -1;
    tkm_fixture::mesh_ptr mesh =
        tkm_fixture::read_mesh_bytes(dir, tkm_fixture::tkm_bytes(tkm_fixture::small_tkm()), &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(mesh->gl_textures.num_textures, 0u);
    mesh->directory = alloc_counted_string("/tmp", 4);
    mesh->directory_length = 4;
}

TEST(ReleaseMesh, ReleasesPartlyFilledMeshesAfterEveryFailure) {
    temp_dir dir;
    tkm_fixture::labelled_bytes file = tkm_fixture::tkm_bytes_labelled(tkm_fixture::small_tkm());
    for (size_t cut = 0; cut < file.bytes.size(); cut += 3) {
        std::vector<uint8_t> part(file.bytes.begin(), file.bytes.begin() + long(cut));
        int code = 0;
        tkm_fixture::mesh_ptr mesh = tkm_fixture::read_mesh_bytes(dir, part, &code);
        EXPECT_NE(code, 0);
    }
}

} // namespace
