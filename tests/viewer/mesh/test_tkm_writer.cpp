// SPDX-License-Identifier: MIT
// Writing TKM files: exact bytes of canonical files, round trips, and write failures.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/fixtures/mesh_loading.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/tkm_format.h"
#include "viewer/mesh/tkm_writer.h"

namespace {

using namespace tkm_fixture;

struct TkmWriter : testing::Test {
    temp_dir dir;
    int code = -1;
    std::string out = dir / "out.tkm";
};

// Equal stored fields (the ones a file carries), field by field.
void expect_same_stored_fields(const tkm_mesh &a, const tkm_mesh &b) {
    EXPECT_EQ(a.header_word, b.header_word);
    EXPECT_EQ(a.declared_run_count, b.declared_run_count);
    EXPECT_EQ(std::string(a.name, a.name_length), std::string(b.name, b.name_length));
    ASSERT_EQ(a.num_bones, b.num_bones);
    for (int i = 0; i < a.num_bones; ++i) {
        EXPECT_STREQ(a.bones[i].name, b.bones[i].name);
        EXPECT_EQ(a.bones[i].parent, b.bones[i].parent);
        EXPECT_EQ(0, std::memcmp(a.bones[i].position, b.bones[i].position, 12));
        EXPECT_EQ(0, std::memcmp(a.bones[i].rotation, b.bones[i].rotation, 16));
    }
    ASSERT_EQ(a.num_runs, b.num_runs);
    EXPECT_EQ(0, std::memcmp(a.runs, b.runs, a.num_runs * sizeof(bone_run)));
    ASSERT_EQ(a.num_vertices, b.num_vertices);
    for (int i = 0; i < a.num_vertices; ++i)
        EXPECT_EQ(0, std::memcmp(a.vertices[i].local + 12, b.vertices[i].local + 12, 12));
    EXPECT_EQ(0, std::memcmp(&a.blend_aux, &b.blend_aux, 4));
    ASSERT_EQ(a.num_blends, b.num_blends);
    for (int i = 0; i < a.num_blends; ++i) {
        ASSERT_EQ(a.blends[i].count, b.blends[i].count);
        EXPECT_EQ(0,
                  std::memcmp(a.blends[i].vertices, b.blends[i].vertices, 2 * a.blends[i].count));
        EXPECT_EQ(0, std::memcmp(a.blends[i].weights, b.blends[i].weights, 4 * a.blends[i].count));
    }
    ASSERT_EQ(a.num_texcoords, b.num_texcoords);
    EXPECT_EQ(0, std::memcmp(a.texcoords, b.texcoords, a.num_texcoords * sizeof(tkm_texcoord)));
    ASSERT_EQ(a.num_corners, b.num_corners);
    EXPECT_EQ(0, std::memcmp(a.corners, b.corners, a.num_corners * sizeof(tkm_corner)));
    ASSERT_EQ(a.num_triangles, b.num_triangles);
    EXPECT_EQ(0, std::memcmp(a.triangles, b.triangles, a.num_triangles * sizeof(tkm_triangle)));
    ASSERT_EQ(a.num_material_runs, b.num_material_runs);
    EXPECT_EQ(0, std::memcmp(a.material_runs, b.material_runs,
                             a.num_material_runs * sizeof(material_run)));
    EXPECT_EQ(a.list_aux, b.list_aux);
    ASSERT_EQ(a.num_triangle_lists, b.num_triangle_lists);
    for (int i = 0; i < a.num_triangle_lists; ++i) {
        ASSERT_EQ(a.triangle_lists[i].count, b.triangle_lists[i].count);
        EXPECT_EQ(0, std::memcmp(a.triangle_lists[i].triangles, b.triangle_lists[i].triangles,
                                 2 * a.triangle_lists[i].count));
    }
    ASSERT_EQ(a.num_texture_names, b.num_texture_names);
    for (int i = 0; i < a.num_texture_names; ++i)
        EXPECT_STREQ(a.texture_names[i].path, b.texture_names[i].path);
    ASSERT_EQ(a.num_materials, b.num_materials);
    for (int i = 0; i < a.num_materials; ++i) {
        const tkm_material &x = a.materials[i], &y = b.materials[i];
        EXPECT_STREQ(x.name, y.name);
        EXPECT_EQ(x.aux_word, y.aux_word);
        ASSERT_EQ(x.num_texture_refs, y.num_texture_refs);
        EXPECT_EQ(0, std::memcmp(x.texture_refs, y.texture_refs, 4 * x.num_texture_refs));
        EXPECT_EQ(0, std::memcmp(x.diffuse, y.diffuse, 12));
        EXPECT_EQ(0, std::memcmp(x.ambient, y.ambient, 12));
        EXPECT_EQ(0, std::memcmp(x.specular, y.specular, 12));
        EXPECT_EQ(0, std::memcmp(&x.aux_float1, &y.aux_float1, 4));
        EXPECT_EQ(0, std::memcmp(&x.transparency, &y.transparency, 4));
        EXPECT_EQ(x.two_sided, y.two_sided);
        EXPECT_EQ(0, std::memcmp(&x.emission, &y.emission, 4));
        EXPECT_EQ(0, std::memcmp(&x.shininess, &y.shininess, 4));
        EXPECT_EQ(0, std::memcmp(&x.aux_float2, &y.aux_float2, 4));
    }
    for (auto lists : {std::pair{&tkm_mesh::num_grips, &tkm_mesh::grips},
                       std::pair{&tkm_mesh::num_grippers, &tkm_mesh::grippers}}) {
        ASSERT_EQ(a.*lists.first, b.*lists.first);
        for (int i = 0; i < a.*lists.first; ++i) {
            const gripper &x = (a.*lists.second)[i], &y = (b.*lists.second)[i];
            EXPECT_STREQ(x.name, y.name);
            EXPECT_EQ(x.bone, y.bone);
            EXPECT_EQ(0, std::memcmp(x.local, y.local, sizeof x.local));
        }
    }
}

// small_tkm with something in every list and odd values in the fields the reader keeps.
tkm_description busy_tkm() {
    tkm_description d = small_tkm();
    d.header_word = 0xBEEF;
    d.blend_aux = -0.0f;
    d.list_aux = 0x7FC00001; // a NaN pattern as a float: must survive as bytes
    d.corners[1].aux1 = 0xFFFF;
    d.materials[0].aux_word = 77;
    d.materials[0].refs = {{9, 0}};
    d.materials[0].aux_float1 = -3.5f;
    d.materials[0].aux_float2 = 1e-30f;
    d.grippers = {gripper_description{}};
    d.grippers[0].name = "Holster";
    d.grippers[0].columns[1] = {0.5f, 0.25f, 0.125f};
    d.triangle_lists = {{1, 0}, {}, {7}};
    return d;
}

TEST_F(TkmWriter, CanonicalFilesAreWrittenBackByteForByte) {
    for (const tkm_description &d : {minimal_tkm(), small_tkm(), busy_tkm()}) {
        std::vector<uint8_t> bytes = tkm_bytes(d);
        mesh_ptr mesh = read_mesh_bytes(dir, bytes, &code);
        ASSERT_EQ(code, 0);
        ASSERT_EQ(write_tkm(mesh.get(), out.c_str()), 0);
        std::vector<unsigned char> written = read_all(out);
        EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), bytes);
    }
    EXPECT_EQ(read_all(out).size() > 59u, true);
}

TEST_F(TkmWriter, ReadWriteReadKeepsEveryStoredField) {
    tkm_description d = busy_tkm();
    d.runs = {{0, 0, 4}};
    d.declared_run_count = 5; // marker second of five declared records
    mesh_ptr first = read_mesh_bytes(dir, tkm_bytes(d), &code);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(write_tkm(first.get(), out.c_str()), 0);
    mesh_ptr second(create_mesh());
    ASSERT_EQ(read_tkm(second.get(), out.c_str()), 0);
    expect_same_stored_fields(*first, *second);
    EXPECT_EQ(second->num_runs, 1);
    EXPECT_EQ(second->declared_run_count, 5);
}

TEST_F(TkmWriter, SkippedBytesComeOutAsTheWriterDefinesThem) {
    tkm_description odd = small_tkm();
    odd.header_one = 7;
    odd.header_zero = 9;
    odd.bones[0].own_index = 40;
    odd.marker_second = 3; // still wide enough for the runs
    odd.marker_third = 0x1234;
    const std::vector<uint8_t> bytes = tkm_bytes(odd);
    mesh_ptr mesh = read_mesh_bytes(dir, bytes, &code);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(write_tkm(mesh.get(), out.c_str()), 0);
    std::vector<unsigned char> written = read_all(out);
    std::vector<uint8_t> canonical = tkm_bytes(small_tkm());
    EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), canonical);
}

TEST_F(TkmWriter, MeshWithoutMarkerIsWrittenWithItsRunCountOnly) {
    tkm_description d = small_tkm();
    d.end_marker = false;
    mesh_ptr mesh = read_mesh_bytes(dir, tkm_bytes(d), &code);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(write_tkm(mesh.get(), out.c_str()), 0);
    std::vector<unsigned char> written = read_all(out);
    std::vector<uint8_t> expected = tkm_bytes(d);
    EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), expected);
    EXPECT_EQ(written.size() + 8, tkm_bytes(small_tkm()).size());
}

TEST_F(TkmWriter, DeclaredCountTooSmallForTheRunsIsCountedAfresh) {
    mesh_ptr mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code);
    ASSERT_EQ(code, 0);
    mesh->declared_run_count = 2; // would make the reader take the marker for nothing
    ASSERT_EQ(write_tkm(mesh.get(), out.c_str()), 0);
    mesh_ptr again(create_mesh());
    ASSERT_EQ(read_tkm(again.get(), out.c_str()), 0);
    EXPECT_EQ(again->num_runs, 2);
    EXPECT_EQ(again->declared_run_count, 3);
}

// The writer stores the vertex count in the end marker's second field; the reader lets runs reach
// that many vertices past the stored ones. Whatever the reader accepts, however wide a count the
// file's marker held, must save, read back to the same mesh and save again to the same octets.
TEST_F(TkmWriter, EveryRunListTheReaderAcceptsReadsBackAfterSaving) {
    int accepted = 0;
    for (uint16_t marker : {0, 1, 3, 4, 5, 9, 0xFFFE}) {
        for (uint16_t count = 0; count <= 10; ++count) {
            tkm_description d = small_tkm(); // 4 vertices; run 1 starts at vertex 2
            d.marker_second = marker;
            d.runs[1].vertex_count = count;
            const std::string at =
                "marker " + std::to_string(marker) + ", run of " + std::to_string(count);
            testing::internal::CaptureStderr();
            mesh_ptr first = read_mesh_bytes(dir, tkm_bytes(d), &code);
            const std::string err = testing::internal::GetCapturedStderr();
            if (2 + count > 4 + std::min<int>(marker, 4)) {
                EXPECT_EQ(code, tkm_code_run_vertex_count) << at;
                EXPECT_EQ(err, dir / "fixture.tkm" + ": bone run 1 reaches past the 4 vertices "
                                                     "of the file\n")
                    << at;
                continue;
            }
            ASSERT_EQ(code, 0) << at;
            ++accepted;
            ASSERT_EQ(write_tkm(first.get(), out.c_str()), 0) << at;
            const std::vector<unsigned char> saved = read_all(out);
            mesh_ptr again(create_mesh());
            ASSERT_EQ(read_tkm(again.get(), out.c_str()), 0) << at;
            expect_same_stored_fields(*first, *again);
            ASSERT_EQ(write_tkm(again.get(), out.c_str()), 0) << at;
            EXPECT_EQ(read_all(out), saved) << at;
        }
    }
    EXPECT_EQ(accepted, 3 + 4 + 6 + 7 + 7 + 7 + 7); // runs of up to 2 + min(marker, 4)
}

TEST_F(TkmWriter, PosedVerticesAreWrittenWithTheirBindPositions) {
    std::vector<uint8_t> bytes = tkm_bytes(small_tkm());
    mesh_ptr mesh = read_mesh_bytes(dir, bytes, &code);
    ASSERT_EQ(code, 0);
    pose_mesh_in_frame(mesh.get(), nullptr, -1, nullptr);
    ASSERT_NE(mesh->vertices[0].world[12], mesh->vertices[0].local[12]);
    ASSERT_EQ(write_tkm(mesh.get(), out.c_str()), 0);
    std::vector<unsigned char> written = read_all(out);
    EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), bytes);
}

TEST_F(TkmWriter, EmptyMeshEndsWithTwoZeroCounts) {
    tkm_mesh mesh{};
    mesh.name = alloc_counted_string("x", 1);
    mesh.name_length = 1;
    ASSERT_EQ(write_tkm(&mesh, out.c_str()), 0);
    std::vector<unsigned char> written = read_all(out);
    ASSERT_EQ(written.size(), 59u);
    EXPECT_EQ(written[55] | written[56] | written[57] | written[58], 0);
    cleanup_one(mesh.name);
}

TEST_F(TkmWriter, FailuresGiveTheirCodes) {
    mesh_ptr mesh = read_mesh_bytes(dir, tkm_bytes(busy_tkm()), &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(write_tkm(mesh.get(), (dir / "no/such/dir.tkm").c_str()), 1);
    // Empty names cannot be written (a zero-octet write fails).
    auto without = [&](uint16_t *length) {
        uint16_t kept = *length;
        *length = 0;
        testing::internal::CaptureStderr();
        int result = write_tkm(mesh.get(), out.c_str());
        testing::internal::GetCapturedStderr();
        *length = kept;
        return result;
    };
    const struct {
        uint16_t *length;
        int expected;
    } empty_names[] = {
        {&mesh->name_length, tkm_code_name},
        {&mesh->bones[1].name_length, tkm_code_bone_name},
        {&mesh->texture_names[0].length, tkm_code_texture_text},
        {&mesh->materials[0].name_length, tkm_code_material_name},
        {&mesh->grips[0].name_length, tkm_code_grips},
        {&mesh->grippers[0].name_length, tkm_code_grippers},
    };
    for (const auto &c : empty_names)
        EXPECT_EQ(without(c.length), c.expected) << c.expected;
    // An array the mesh claims but lacks is a failure, not a crash.
    blend_vertex *blends = mesh->blends;
    mesh->blends = nullptr;
    EXPECT_EQ(write_tkm(mesh.get(), out.c_str()), 22);
    mesh->blends = blends;
    EXPECT_EQ(write_tkm(mesh.get(), out.c_str()), 0);
}

TEST_F(TkmWriter, FullDiskIsReportedNotSwallowed) {
    mesh_ptr mesh = read_mesh_bytes(dir, tkm_bytes(small_tkm()), &code);
    ASSERT_EQ(code, 0);
    testing::internal::CaptureStderr();
    int result = write_tkm(mesh.get(), "/dev/full");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 67);
}

} // namespace
