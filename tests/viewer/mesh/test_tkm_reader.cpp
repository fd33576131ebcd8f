// SPDX-License-Identifier: MIT
// Reading TKM files: valid files, every range check, and files that end anywhere.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/fixtures/mesh_loading.h"
#include "viewer/mesh/tkm_format.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

using namespace tkm_fixture;

struct TkmReader : testing::Test {
    temp_dir dir;
    int code = -1;
    mesh_ptr read(const tkm_description &d) { return read_mesh_bytes(dir, tkm_bytes(d), &code); }
    int code_of(const tkm_description &d) {
        read(d);
        return code;
    }
    // One change to small_tkm and the code its read must give.
    struct mutation {
        const char *what;
        void (*change)(tkm_description &d);
        int expected;
    };
    template <size_t N> void expect_codes(const mutation (&cases)[N]) {
        for (const mutation &c : cases) {
            tkm_description d = small_tkm();
            c.change(d);
            EXPECT_EQ(code_of(d), c.expected) << c.what;
        }
    }
};

void expect_translation(const float *m, float x, float y, float z) {
    EXPECT_NEAR(m[12], x, 1e-6);
    EXPECT_NEAR(m[13], y, 1e-6);
    EXPECT_NEAR(m[14], z, 1e-6);
}

TEST_F(TkmReader, SmallestFileIsAnEmptyMeshOfUnknownClass) {
    std::vector<uint8_t> bytes = tkm_bytes(minimal_tkm());
    ASSERT_EQ(bytes.size(), 59u);
    mesh_ptr mesh = read_mesh_bytes(dir, bytes, &code);
    ASSERT_EQ(code, 0);
    EXPECT_STREQ(mesh->name, "m");
    EXPECT_EQ(mesh->name_length, 1);
    EXPECT_EQ(mesh->header_word, 1029);
    EXPECT_EQ(mesh->num_bones + mesh->num_runs + mesh->num_vertices + mesh->num_blends +
                  mesh->num_texcoords + mesh->num_corners + mesh->num_triangles +
                  mesh->num_material_runs + mesh->num_triangle_lists + mesh->num_texture_names +
                  mesh->num_materials + mesh->num_grips + mesh->num_grippers,
              0);
    EXPECT_EQ(mesh->blends, nullptr);
    EXPECT_EQ(mesh->texture_names, nullptr);
    EXPECT_EQ(mesh->grips, nullptr);
    EXPECT_EQ(mesh->grippers, nullptr);
    EXPECT_STREQ(mesh->class_name, "unknown");
}

TEST_F(TkmReader, ReadsEveryFieldOfASmallWeapon) {
    mesh_ptr mesh = read(small_tkm());
    ASSERT_EQ(code, 0);
    EXPECT_STREQ(mesh->name, "gun");
    EXPECT_STREQ(mesh->class_name, "weapon");
    ASSERT_EQ(mesh->num_bones, 2);
    EXPECT_STREQ(mesh->bones[1].name, "barrel");
    EXPECT_EQ(mesh->bones[0].parent, 0xFFFF);
    EXPECT_EQ(mesh->bones[1].parent, 0);
    // The child turns -90 degrees about z (x axis onto -y) at (0,1,0) from a root at (2,0,0).
    expect_translation(mesh->bones[0].world, 2, 0, 0);
    expect_translation(mesh->bones[1].local, 0, 1, 0);
    expect_translation(mesh->bones[1].world, 2, 1, 0);
    EXPECT_NEAR(mesh->bones[1].world[1], -1.0f, 1e-6);
    EXPECT_NEAR(mesh->bones[1].world[4], 1.0f, 1e-6);

    EXPECT_EQ(mesh->num_runs, 2);
    EXPECT_EQ(mesh->declared_run_count, 3);
    ASSERT_EQ(mesh->num_vertices, 4);
    const uint16_t bones[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(mesh->vertices[i].bone, bones[i]) << i;
    expect_translation(mesh->vertices[3].local, 0, 0, 1);
    EXPECT_EQ(mesh->vertices[3].local[0], 1.0f);
    EXPECT_EQ(mesh->vertices[3].local[15], 1.0f);

    ASSERT_EQ(mesh->num_blends, 1);
    EXPECT_EQ(mesh->blend_aux, 1.5f);
    ASSERT_EQ(mesh->blends[0].count, 2);
    EXPECT_EQ(mesh->blends[0].vertices[1], 1);
    EXPECT_EQ(mesh->blends[0].weights[0], 0.5f);
    EXPECT_EQ(mesh->num_texcoords, 4);
    EXPECT_EQ(mesh->texcoords[3].v, 1.0f);
    ASSERT_EQ(mesh->num_corners, 4);
    EXPECT_EQ(mesh->corners[3].vertex, 4);
    EXPECT_EQ(mesh->corners[3].aux1, 9);
    EXPECT_EQ(mesh->corners[0].aux2, 0x7C00);
    ASSERT_EQ(mesh->num_triangles, 2);
    EXPECT_EQ(mesh->triangles[1].corners[1], 3);
    ASSERT_EQ(mesh->num_material_runs, 1);
    EXPECT_EQ(mesh->material_runs[0].triangle_count, 2);
    EXPECT_EQ(mesh->list_aux, 4u);
    ASSERT_EQ(mesh->num_triangle_lists, 1);
    EXPECT_EQ(mesh->triangle_lists[0].triangles[1], 1);

    ASSERT_EQ(mesh->num_texture_names, 1);
    EXPECT_STREQ(mesh->texture_names[0].path, "textures\\skin.bmp");
    EXPECT_STREQ(mesh->texture_names[0].base, "skin.bmp");
    EXPECT_EQ(mesh->texture_names[0].base_length, 8);
    EXPECT_EQ(mesh->texture_names[0].hidden, 0u);

    ASSERT_EQ(mesh->num_materials, 1);
    const tkm_material &m = mesh->materials[0];
    EXPECT_STREQ(m.name, "body");
    ASSERT_EQ(m.num_texture_refs, 1);
    EXPECT_EQ(m.texture_refs[0].aux, 1);
    EXPECT_EQ(m.aux_word, 3);
    EXPECT_EQ(m.diffuse[1], 128.0f);
    EXPECT_EQ(m.aux_float1, 0.5f);
    EXPECT_EQ(m.transparency, 0.25f);
    EXPECT_EQ(m.two_sided, 1);
    EXPECT_EQ(m.aux_float2, 0.05f);
    EXPECT_FLOAT_EQ(m.gl_diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(m.gl_diffuse[3], 0.75f);
    EXPECT_EQ(m.gl_face, 0x408u);

    ASSERT_EQ(mesh->num_grips, 1);
    EXPECT_STREQ(mesh->grips[0].name, "Grip1");
    EXPECT_EQ(mesh->grips[0].bone, 1);
    EXPECT_EQ(mesh->grips[0].local[14], 5.0f);
    EXPECT_EQ(mesh->grips[0].local[15], 1.0f);
    EXPECT_EQ(mesh->grips[0].local[3], 0.0f);
    EXPECT_EQ(mesh->num_grippers, 0);
}

TEST_F(TkmReader, ComparesOnlyTheMagicUpToItsZeroByte) {
    tkm_description d = minimal_tkm();
    for (int i = 11; i < 16; ++i)
        d.magic[i] = 0x55;
    EXPECT_EQ(code_of(d), 0);

    d = minimal_tkm();
    d.magic[3] ^= 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(code_of(d), tkm_code_not_a_tkm);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), dir / "fixture.tkm" + " is not a TKM\n");
}

// An empty file, or one shorter than the magic, is not a TKM, even when it holds the magic's
// first eleven octets (the part that is compared).
TEST_F(TkmReader, EmptyAndShortFilesAreNotATkm) {
    const std::vector<uint8_t> whole = tkm_bytes(minimal_tkm());
    for (size_t size : {0, 1, 10, 11, 15}) {
        testing::internal::CaptureStderr();
        read_mesh_bytes(dir, std::vector<uint8_t>(whole.begin(), whole.begin() + long(size)),
                        &code);
        EXPECT_EQ(code, tkm_code_not_a_tkm) << size << " octets";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), dir / "fixture.tkm" + " is not a TKM\n")
            << size << " octets";
    }
    // Sixteen octets that hold the magic are one: the file then ends in the header word.
    read_mesh_bytes(dir, std::vector<uint8_t>(whole.begin(), whole.begin() + 16), &code);
    EXPECT_EQ(code, tkm_code_header_word);
}

TEST_F(TkmReader, MissingFileGivesOne) {
    mesh_ptr mesh(create_mesh());
    EXPECT_EQ(read_tkm(mesh.get(), (dir / "absent.tkm").c_str()), tkm_code_not_a_tkm);
}

TEST_F(TkmReader, EmptyNamesFailAsZeroLengthReads) {
    const mutation cases[] = {
        {"model name", [](tkm_description &d) { d.name = ""; }, tkm_code_name},
        {"bone name", [](tkm_description &d) { d.bones[1].name = ""; }, tkm_code_bone_name},
        {"texture name", [](tkm_description &d) { d.texture_names[0] = ""; },
         tkm_code_texture_text},
        {"material name", [](tkm_description &d) { d.materials[0].name = ""; },
         tkm_code_material_name},
        {"grip name", [](tkm_description &d) { d.grips[0].name = ""; }, tkm_code_grips},
        {"gripper name",
         [](tkm_description &d) {
             d.grippers = {gripper_description{}};
             d.grippers[0].name = "";
         },
         tkm_code_grippers},
    };
    expect_codes(cases);
}

TEST_F(TkmReader, EndMarkerEndsTheRunListWhereverItIs) {
    tkm_description d = small_tkm();
    d.runs = {{0, 0, 4}};
    d.declared_run_count = 3; // the marker is the second of three declared records
    mesh_ptr mesh = read(d);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(mesh->num_runs, 1);
    EXPECT_EQ(mesh->declared_run_count, 3);
    EXPECT_EQ(mesh->vertices[3].bone, 0);

    d = small_tkm();
    d.end_marker = false;
    mesh = read(d);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(mesh->num_runs, 2);
    EXPECT_EQ(mesh->declared_run_count, 0);
}

TEST_F(TkmReader, RunsAreCheckedAgainstBonesAndVertices) {
    tkm_description d = small_tkm();
    d.runs[1].bone = 2;
    EXPECT_EQ(code_of(d), tkm_code_run_bone);
    // Without a marker the limit is the vertex count itself.
    d = small_tkm();
    d.end_marker = false;
    d.runs[1].vertex_count = 3;
    EXPECT_EQ(code_of(d), tkm_code_run_vertex_count);
    d.runs[1] = {1, 4, 0};
    EXPECT_EQ(code_of(d), tkm_code_run_vertex_count);
    // With a marker its second field widens the limit; vertices past the stored ones are left
    // alone (the sanitizer build catches a write outside the array).
    d = small_tkm();
    d.runs[1].vertex_count = 6;
    mesh_ptr mesh = read(d);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(mesh->vertices[3].bone, 1);
    d.runs[1].vertex_count = 7;
    EXPECT_EQ(code_of(d), tkm_code_run_vertex_count);
    // A second field above the vertex count widens no further: a saved copy carries the vertex
    // count there, and could not be read back.
    d.marker_second = 9;
    testing::internal::CaptureStderr();
    EXPECT_EQ(code_of(d), tkm_code_run_vertex_count);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              dir / "fixture.tkm" + ": bone run 1 reaches past the 4 vertices of the file\n");
    d.runs[1].vertex_count = 6;
    EXPECT_EQ(code_of(d), 0);
}

TEST_F(TkmReader, IndicesAreCheckedAgainstTheCountsReadSoFar) {
    const mutation cases[] = {
        {"blend component past the vertices",
         [](tkm_description &d) { d.blends[0].vertices[1] = 4; }, tkm_code_blend_weight},
        {"corner texture coordinate past the texture coordinates",
         [](tkm_description &d) { d.corners[2].texcoord = 4; }, tkm_code_corner_texcoord},
        // num_vertices + num_blends - 1: the last blend vertex.
        {"corner on the last blend vertex", [](tkm_description &d) { d.corners[2].vertex = 4; },
         tkm_code_ok},
        {"corner past the blend vertices", [](tkm_description &d) { d.corners[2].vertex = 5; },
         tkm_code_corner_vertex},
        {"triangle corner past the corners", [](tkm_description &d) { d.triangles[1][2] = 4; },
         tkm_code_triangle_corners},
        {"material run of no triangles",
         [](tkm_description &d) {
             d.material_runs[0] = {0, 2, 0};
         },
         tkm_code_material_run_triangles},
        {"material run past the triangles",
         [](tkm_description &d) {
             d.material_runs[0] = {0, 1, 2};
         },
         tkm_code_material_run_triangles},
        {"material run past the materials",
         [](tkm_description &d) {
             d.material_runs[0] = {1, 0, 2};
         },
         tkm_code_material_run_material},
        {"texture reference past the texture names",
         [](tkm_description &d) {
             d.materials[0].refs = {{1, 0}, {1, 1}};
         },
         tkm_code_material_ref_texture},
        {"grip bone past the bones", [](tkm_description &d) { d.grips[0].bone = 2; },
         tkm_code_material_run_material},
        {"gripper bone past the bones",
         [](tkm_description &d) {
             d.grippers = {gripper_description{}};
             d.grippers[0].bone = 2;
         },
         tkm_code_material_run_material},
    };
    expect_codes(cases);
}

TEST_F(TkmReader, MaterialRunOfNoTrianglesAtTheEndIsRefused) {
    tkm_description d = minimal_tkm();
    d.texcoords = {{0, 0}};
    d.vertices = {{0, 0, 0}};
    d.bones = {bone_description{}};
    d.runs = {{0, 0, 1}};
    d.corners = {{0, 0, 0, 0}};
    d.triangles.assign(10, {0, 0, 0});
    d.materials = {material_description{}};
    d.material_runs = {{0, 10, 0}};
    EXPECT_EQ(code_of(d), tkm_code_material_run_triangles);
    d.material_runs = {{0, 9, 1}};
    EXPECT_EQ(code_of(d), 0);
}

TEST_F(TkmReader, BonesWithoutAParentBeforeThemArePlacedAsRoots) {
    tkm_description d = small_tkm();
    for (uint16_t parent : {0xFFFE, 1, 7, 0x8000}) {
        d.bones[1].parent = parent;
        mesh_ptr mesh = read(d);
        ASSERT_EQ(code, 0) << parent;
        EXPECT_EQ(mesh->bones[1].parent, parent); // kept for writing back
        expect_translation(mesh->bones[1].world, 0, 1, 0);
    }
    d.bones[1].parent = 0;
    mesh_ptr mesh = read(d);
    expect_translation(mesh->bones[1].world, 2, 1, 0);
}

TEST_F(TkmReader, ClassNeedsNoAttachmentsForAChild) {
    tkm_description d = minimal_tkm();
    d.bones.resize(40);
    mesh_ptr mesh = read(d);
    ASSERT_EQ(code, 0);
    EXPECT_STREQ(mesh->class_name, "child");
}

// Cutting a file anywhere gives the code of the field the cut falls in; nothing is read or
// written outside the arrays (checked by the sanitizer build).
void expect_cut_codes(TkmReader &t, const tkm_description &d) {
    labelled_bytes file = tkm_bytes_labelled(d);
    for (size_t cut = 0; cut < file.bytes.size(); ++cut) {
        std::vector<uint8_t> part(file.bytes.begin(), file.bytes.begin() + long(cut));
        testing::internal::CaptureStderr();
        read_mesh_bytes(t.dir, part, &t.code);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(t.code, file.codes[cut]) << "file cut after " << cut << " octets";
    }
    read_mesh_bytes(t.dir, file.bytes, &t.code);
    EXPECT_EQ(t.code, 0);
}

TEST_F(TkmReader, FileEndingEarlyFailsWithTheCodeOfTheShortField) {
    expect_cut_codes(*this, small_tkm());
    tkm_description d = small_tkm();
    d.end_marker = false;
    d.grippers = {gripper_description{}, gripper_description{}};
    d.grippers[1].bone = 1;
    d.materials.push_back(material_description{});
    d.materials[1].refs = {{2, 0}, {3, 0}};
    expect_cut_codes(*this, d);
}

TEST_F(TkmReader, HugeCountsInAShortFileFailWithoutHugeAllocations) {
    // A blend vertex, a triangle list and a material claiming 65535 entries each.
    tkm_description d = small_tkm();
    labelled_bytes file = tkm_bytes_labelled(d);
    auto patch = [&](int code, size_t nth, uint16_t value) {
        std::vector<uint8_t> bytes = file.bytes;
        size_t seen = 0;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (file.codes[i] == code && seen++ == nth * 2) {
                bytes[i] = uint8_t(value);
                bytes[i + 1] = uint8_t(value >> 8);
                break;
            }
        read_mesh_bytes(dir, bytes, &this->code);
        return this->code;
    };
    // The blend's third component takes its index from the texture coordinate count, 4: too big.
    EXPECT_EQ(patch(22, 0, 0xFFFF), 24);
    EXPECT_EQ(patch(42, 0, 0xFFFF), 43);
    int refs = patch(52, 0, 0xFFFF);
    EXPECT_TRUE(refs == 53 || refs == 54) << refs;
    EXPECT_EQ(patch(18, 0, 0xFFFF), 19);
}

} // namespace
