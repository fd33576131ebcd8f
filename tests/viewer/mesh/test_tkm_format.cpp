// SPDX-License-Identifier: MIT
// The line that explains a failed TKM read: where the file ends or what was refused, by section.
#include <gtest/gtest.h>

#include <string>

#include "tests/fixtures/mesh_loading.h"
#include "viewer/mesh/tkm_format.h"

namespace {

using namespace tkm_fixture;

struct read_result {
    int code = -1;
    read_failure failure;
};

read_result read_explained(const temp_dir &dir, const std::vector<uint8_t> &bytes) {
    const std::string path = dir / "cut.tkm";
    write_fixture(path, bytes);
    read_result result;
    mesh_ptr mesh(create_mesh());
    result.code = read_tkm_explained(mesh.get(), path.c_str(), &result.failure);
    return result;
}

// A cut of small_tkm just before its n-th octet labelled code: the record it lies in, as the
// description of small_tkm places it (two bones "root" and "barrel", three declared runs, four
// vertices, one blend vertex, four corners, two triangles, one of each list, material "body",
// grip "Grip1").
struct cut_case {
    int code;
    int nth;
    const char *where;
};

const cut_case cut_cases[] = {
    {tkm_code_header_word, 1, ", at the header word"},
    {tkm_code_name_length, 0, ", at the model name length"},
    {tkm_code_bone_count, 1, ", at the bone count"},
    {tkm_code_bone_index, 2, ", inside bone 1 of 2, at its index"},
    {tkm_code_bone_name, 0, ", inside bone 0 of 2, at its name"},
    {tkm_code_bone_parent, 0, ", inside bone 0 of 2 (root), at its parent"},
    {tkm_code_bone_rotation, 16 + 3, ", inside bone 1 of 2 (barrel), at its rotation"},
    {tkm_code_run_first_vertex, 2, ", inside bone run 1 of 3, at its first vertex"},
    {tkm_code_run_end_fields, 0, ", at the end marker"},
    {tkm_code_vertex_position, 2 * 12 + 5, ", inside vertex 2 of 4, at its position"},
    {tkm_code_blend_aux, 0, ", at the blend_aux"},
    {tkm_code_blend_weight, 4, ", inside blend vertex 0 of 1, at its component weight"},
    {tkm_code_texcoord, 3 * 8, ", inside texture coordinate 3 of 4, at its u and v"},
    {tkm_code_corner_vertex, 3 * 2 + 1, ", inside corner 3 of 4, at its vertex"},
    {tkm_code_triangle_corners, 6 + 2, ", inside triangle 1 of 2, at its corners"},
    {tkm_code_material_run_pad, 1, ", inside material run 0 of 1, at its pad"},
    {tkm_code_list_aux, 3, ", at the list_aux"},
    {tkm_code_list_entry, 2, ", inside triangle list 0 of 1, at its entries"},
    {tkm_code_texture_text, 4, ", inside texture name 0 of 1, at its text"},
    {tkm_code_texture_pad, 0, ", inside texture name 0 of 1 (textures\\skin.bmp), at its pad"},
    {tkm_code_material_name, 0, ", inside material 0 of 1, at its name"},
    {tkm_code_material_shininess, 2, ", inside material 0 of 1 (body), at its shininess"},
    {tkm_code_material_aux_float2, 3, ", inside material 0 of 1 (body), at its aux_float2"},
    {tkm_code_grips, 0, ", at the grip list"},
    {tkm_code_grips, 2 + 5 + 20, ", inside grip 0 of 1 (Grip1)"},
    {tkm_code_grippers, 1, ", at the gripper list"},
};

TEST(TkmExplanation, ACutInEverySectionSaysWhereTheFileEnds) {
    temp_dir dir;
    const labelled_bytes file = tkm_bytes_labelled(small_tkm());
    for (const cut_case &c : cut_cases) {
        const long offset = nth_octet_labelled(file, c.code, c.nth);
        ASSERT_GE(offset, 0) << "no octet " << c.nth << " of code " << c.code;
        std::vector<uint8_t> cut(file.bytes.begin(), file.bytes.begin() + offset);
        const read_result result = read_explained(dir, cut);
        SCOPED_TRACE("code " + std::to_string(c.code) + ", cut at " + std::to_string(offset));
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.failure.code, c.code);
        EXPECT_EQ(result.failure.offset, offset);
        EXPECT_TRUE(result.failure.at_end);
        EXPECT_EQ(result.failure.message,
                  dir / "cut.tkm" + ": the file ends at octet " + std::to_string(offset) + c.where);
    }
}

// A value read whole but refused: the record, what is wrong, and the octet after the value.
struct refusal_case {
    const char *name;
    void (*damage)(tkm_description &d);
    int code;
    int after; // the refused field's code: reading stopped at the end of its octets
    int nth;   // which of the octets labelled after is the field's last
    const char *text;
};

const refusal_case refusal_cases[] = {
    {"run bone past the skeleton", [](tkm_description &d) { d.runs[1].bone = 7; },
     tkm_code_run_bone, tkm_code_run_bone, 3, "in bone run 1 of 3, the bone is out of range"},
    {"corner vertex past the vertices", [](tkm_description &d) { d.corners[2].vertex = 5; },
     tkm_code_corner_vertex, tkm_code_corner_vertex, 5,
     "in corner 2 of 4, the vertex is out of range"},
    {"empty bone name", [](tkm_description &d) { d.bones[1].name.clear(); },
     tkm_code_bone_name_length, tkm_code_bone_name_length, 3, "in bone 1 of 2, the name is empty"},
    {"texture reference past the names", [](tkm_description &d) { d.materials[0].refs[0][1] = 4; },
     tkm_code_material_ref_texture, tkm_code_material_ref_texture, 1,
     "in material 0 of 1 (body), the reference texture is out of range"},
};

TEST(TkmExplanation, ARefusedValueSaysWhatIsWrongAndWhereReadingStopped) {
    temp_dir dir;
    for (const refusal_case &c : refusal_cases) {
        SCOPED_TRACE(c.name);
        tkm_description d = small_tkm();
        c.damage(d);
        const labelled_bytes file = tkm_bytes_labelled(d);
        const long stop = nth_octet_labelled(file, c.after, c.nth) + 1;
        const read_result result = read_explained(dir, file.bytes);
        EXPECT_FALSE(result.failure.at_end);
        // An empty name fails in reading zero octets, right after its length.
        const int expected = c.code == tkm_code_bone_name_length ? tkm_code_bone_name : c.code;
        EXPECT_EQ(result.code, expected);
        EXPECT_EQ(result.failure.message, dir / "cut.tkm" + ": " + c.text +
                                              "; reading stopped at octet " + std::to_string(stop));
    }
}

TEST(TkmExplanation, EveryCodeHasADescriptionAndNoneOutsideThem) {
    for (int code = 1; code <= tkm_code_grippers; ++code) {
        const char *field = tkm_code_field(code);
        ASSERT_NE(field, nullptr) << code;
        EXPECT_GT(std::string(field).size(), 2u) << code;
    }
    EXPECT_EQ(tkm_code_field(0), nullptr);
    EXPECT_EQ(tkm_code_field(67), nullptr);
    EXPECT_EQ(tkm_code_field(-1), nullptr);
}

TEST(TkmExplanation, ASoundFileAndAMissingOneExplainNothing) {
    temp_dir dir;
    read_result sound = read_explained(dir, tkm_bytes(small_tkm()));
    EXPECT_EQ(sound.code, 0);
    EXPECT_TRUE(sound.failure.message.empty());
    read_failure failure;
    mesh_ptr mesh(create_mesh());
    EXPECT_EQ(read_tkm_explained(mesh.get(), (dir / "absent.tkm").c_str(), &failure), 1);
    EXPECT_TRUE(failure.message.empty());
}

} // namespace
