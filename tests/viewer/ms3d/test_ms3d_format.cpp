// SPDX-License-Identifier: MIT
// The line that explains a failed Milkshape read: where the file ends, by section and record.
#include "ms3d_test.h"

#include <string>

#include "viewer/ms3d/ms3d_format.h"
#include "viewer/ms3d/ms3d_reader.h"

namespace fx = ms3d_fixture;

namespace {

// Where the nth field (from 0) that the writer marked with code starts; -1 when there is none.
long nth_field(const fx::writer &file, int code, int n) {
    for (const fx::field &f : file.fields)
        if (f.code == code && n-- == 0) return static_cast<long>(f.offset);
    return -1;
}

struct cut_case {
    int code;
    int nth;
    const char *where;
};

// triangle_model: three vertices, one triangle, group "body", material "material", joint "root".
const cut_case cut_cases[] = {
    {ms3d_code_version, 0, ", at the version"},
    {ms3d_code_num_vertices, 0, ", at the vertex count"},
    {ms3d_code_vertex_position, 2, ", inside vertex 2 of 3, at its position"},
    {ms3d_code_vertex_reference_count, 0, ", inside vertex 0 of 3, at its reference count"},
    {ms3d_code_triangle_s + 1, 0, ", inside triangle 0 of 1, at its second s"},
    {ms3d_code_group_index, 0, ", inside triangle 0 of 1, at its group index"},
    {ms3d_code_group_name, 0, ", inside group 0 of 1, at its name"},
    {ms3d_code_group_material_index, 0, ", inside group 0 of 1 (body), at its material index"},
    {ms3d_code_material_texture, 0, ", inside material 0 of 1 (material), at its texture"},
    {ms3d_code_animation_fps, 0, ", at the animation fps"},
    {ms3d_code_num_joints, 0, ", at the joint count"},
    {ms3d_code_joint_position, 0, ", inside joint 0 of 1 (root), at its position"},
};

TEST(ms3d_format, a_cut_in_every_section_says_where_the_file_ends) {
    const fx::writer file = fx::write(fx::triangle_model());
    for (const cut_case &c : cut_cases) {
        // The file ends where the field starts: the fields before it are whole.
        const long offset = nth_field(file, c.code, c.nth);
        ASSERT_GT(offset, 0) << c.code;
        SCOPED_TRACE("code " + std::to_string(c.code) + ", cut at " + std::to_string(offset));
        const fx::temp_file cut({file.bytes.begin(), file.bytes.begin() + offset});
        model_ptr model(create_ms3d());
        read_failure failure;
        EXPECT_EQ(read_ms3d_explained(model.get(), cut.path.c_str(), &failure), c.code);
        EXPECT_EQ(failure.offset, offset);
        EXPECT_EQ(failure.message,
                  cut.path + ": the file ends at octet " + std::to_string(offset) + c.where);
    }
}

TEST(ms3d_format, codes_without_a_place_explain_nothing) {
    fx::model wrong = fx::triangle_model();
    wrong.magic[0] = 'X';
    fx::model newer = fx::triangle_model();
    newer.version = 5;
    for (const fx::model &m : {wrong, newer}) {
        const fx::temp_file file(fx::bytes(m));
        model_ptr model(create_ms3d());
        read_failure failure;
        EXPECT_LT(read_ms3d_explained(model.get(), file.path.c_str(), &failure), 0);
        EXPECT_TRUE(failure.message.empty()) << failure.message;
    }
    for (int code = ms3d_code_id; code <= ms3d_code_position_key_value; ++code)
        EXPECT_NE(ms3d_code_field(code), nullptr) << code;
    EXPECT_EQ(ms3d_code_field(ms3d_code_comments), nullptr);
}

} // namespace
