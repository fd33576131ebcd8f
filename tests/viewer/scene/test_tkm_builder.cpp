// SPDX-License-Identifier: MIT
// The TKM builder on neutral models of any source: blend vertices, attachments, names, limits.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "tests/fixtures/mesh_loading.h"
#include "tests/fixtures/scene_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/mesh.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/tkm_builder.h"

namespace {

namespace fx = scene_fixture;

using tkm_fixture::animation_ptr;
using tkm_fixture::mesh_ptr;

struct built {
    int result = -100;
    mesh_ptr mesh;
    std::string out;
    std::string err;
};

built build(scene_model model) {
    built b;
    b.mesh.reset(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    b.result = convert_scene_to_tkm(b.mesh.get(), &model, {merge_method::grid, "glTF"});
    b.out = testing::internal::GetCapturedStdout();
    b.err = testing::internal::GetCapturedStderr();
    return b;
}

// The joint of each component of a blend vertex.
std::vector<uint16_t> blend_bones(const tkm_mesh &mesh, uint16_t b) {
    std::vector<uint16_t> bones;
    for (uint16_t k = 0; k < mesh.blends[b].count; k++)
        bones.push_back(mesh.vertices[mesh.blends[b].vertices[k]].bone);
    return bones;
}

TEST(build_tkm, weights_become_blend_vertices) {
    struct weight_case {
        const char *what;
        std::vector<scene_weight> in;
        std::vector<uint16_t> bones; // of the blend's components; empty: no blend vertex
        std::vector<float> weights;
    };
    const weight_case cases[] = {
        {"halves", {{0, 0.5f}, {1, 0.5f}}, {0, 1}, {0.5f, 0.5f}},
        {"a share under 1/255 is dropped and the rest renormalised",
         {{0, 0.6f}, {1, 0.3f}, {2, 0.002f}},
         {0, 1},
         {2.0f / 3, 1.0f / 3}},
        {"one share left makes an ordinary vertex", {{1, 0.999f}, {2, 0.001f}}, {}, {}},
        {"heaviest first", {{0, 0.2f}, {1, 0.6f}, {2, 0.2f}}, {1, 0, 2}, {0.6f, 0.2f, 0.2f}},
        {"a joint named twice is one share",
         {{0, 0.3f}, {1, 0.4f}, {0, 0.3f}},
         {0, 1},
         {0.6f, 0.4f}},
    };
    for (const weight_case &c : cases) {
        scene_model m = fx::chain("tube", 3);
        m.vertices = {fx::vertex(0, 0, 0), fx::vertex(1, 0, 0), fx::vertex(1, 1, 0)};
        m.vertices[2].num_weights = 0;
        for (const scene_weight &w : c.in)
            m.vertices[2].weights[m.vertices[2].num_weights++] = w;
        fx::add(m, fx::triangle(0, 1, 2));
        built b = build(m);
        ASSERT_EQ(b.result, 0) << c.what << b.err;
        const tkm_mesh &mesh = *b.mesh;
        if (c.bones.empty()) {
            EXPECT_EQ(mesh.num_blends, 0) << c.what;
            EXPECT_EQ(mesh.num_vertices, 3) << c.what;
            continue;
        }
        ASSERT_EQ(mesh.num_blends, 1) << c.what;
        EXPECT_EQ(mesh.num_vertices, 2 + c.bones.size()) << c.what;
        EXPECT_EQ(blend_bones(mesh, 0), c.bones) << c.what;
        for (size_t k = 0; k < c.weights.size(); k++)
            EXPECT_NEAR(mesh.blends[0].weights[k], c.weights[k], 1e-6f) << c.what << k;
        // The blended vertex is the scene's third corner, the TKM's too.
        const tkm_corner &corner = mesh.corners[mesh.triangles[0].corners[2]];
        EXPECT_EQ(corner.vertex, mesh.num_vertices) << c.what;
    }
}

// A blend vertex lies where the linear blend of its joints puts it, in any pose.
TEST(build_tkm, blend_vertices_pose_as_the_linear_blend) {
    scene_model m = fx::chain("tube", 2);
    const float p[3] = {0.5f, 1.5f, 0.25f};
    m.vertices = {fx::vertex(p[0], p[1], p[2], {{0, 0.3f}, {1, 0.7f}}), fx::vertex(0, 0, 0),
                  fx::vertex(0, 2, 0, {{1, 1}})};
    fx::add(m, fx::triangle(0, 1, 2));
    built b = build(m);
    ASSERT_EQ(b.result, 0) << b.err;
    tkm_mesh &mesh = *b.mesh;
    ASSERT_EQ(mesh.num_blends, 1);

    animation_ptr pose(create_animation());
    ASSERT_EQ(fill_rest_pose(&mesh, pose.get()), 0);
    // Bend the second joint by 60 degrees about x at its own place.
    float turn[16], bent[16];
    euler_matrix(turn, 0, 0, 0, 0, 60, 0);
    mat4_multiply(bent, mesh.bones[1].world, turn);
    std::memcpy(pose->bones[1].frame_worlds, bent, sizeof bent);
    pose_mesh_in_frame(&mesh, pose.get(), 0, nullptr);
    float blended[3];
    blend_position(&mesh, 0, blended);

    float expected[3] = {0, 0, 0};
    const float weights[2] = {0.3f, 0.7f};
    for (int j = 0; j < 2; j++) {
        float to_bone[16], skin[16], moved[3];
        mat4_rigid_inverse(to_bone, mesh.bones[j].world);
        mat4_multiply(skin, pose->bones[j].frame_worlds, to_bone);
        mat4_transform_point(moved, p, skin);
        for (int k = 0; k < 3; k++)
            expected[k] += weights[j] * moved[k];
    }
    for (int k = 0; k < 3; k++)
        EXPECT_NEAR(blended[k], expected[k], 1e-5f) << k;
    EXPECT_GT(std::fabs(blended[2] - p[2]), 0.1f) << "the pose moved the vertex";
}

TEST(build_tkm, blended_vertices_merge_only_with_the_same_weights) {
    scene_model m = fx::chain("tube", 2);
    m.vertices = {fx::vertex(1, 1, 0, {{0, 0.5f}, {1, 0.5f}}),
                  fx::vertex(1, 1, 0, {{0, 0.5f}, {1, 0.5f}}),
                  fx::vertex(1, 1, 0.00005f, {{0, 0.25f}, {1, 0.75f}}), fx::vertex(1, 1, 0),
                  fx::vertex(1, 1, 0.00001f, {{1, 1}})};
    fx::add(m, fx::triangle(0, 1, 2));
    fx::add(m, fx::triangle(3, 4, 0));
    for (merge_method method : {merge_method::grid, merge_method::scan}) {
        scene_model copy = m;
        mesh_ptr mesh(create_mesh());
        testing::internal::CaptureStdout();
        ASSERT_EQ(convert_scene_to_tkm(mesh.get(), &copy, {method, "glTF"}), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(mesh->num_blends, 2);
        // The two vertices on one joint merge by place alone, whatever their joints.
        EXPECT_EQ(mesh->num_vertices, 1 + 2 * 2);
        const uint16_t first = mesh->num_vertices;
        EXPECT_EQ(mesh->corners[mesh->triangles[0].corners[0]].vertex, first);
        EXPECT_EQ(mesh->corners[mesh->triangles[0].corners[1]].vertex, first);
        EXPECT_EQ(mesh->corners[mesh->triangles[0].corners[2]].vertex, first + 1);
        EXPECT_EQ(mesh->corners[mesh->triangles[1].corners[0]].vertex,
                  mesh->corners[mesh->triangles[1].corners[1]].vertex);
    }
}

TEST(build_tkm, attachments_become_grips_or_grippers) {
    struct attachment_case {
        const char *what;
        uint32_t joints;
        std::vector<attachment_kind> kinds;
        uint16_t grips;
        uint16_t grippers;
        const char *class_name;
    };
    using k = attachment_kind;
    const attachment_case cases[] = {
        {"a weapon's are grips", 2, {k::unknown, k::unknown}, 2, 0, "weapon"},
        {"a character's are grippers", 52, {k::unknown}, 0, 1, "officer"},
        {"37 bones get their three defaults", 37, {}, 0, 3, "male badguy"},
        {"the kind given wins", 2, {k::gripper, k::grip}, 1, 1, "weapon"},
        {"no default grips beside the model's own", 2, {k::gripper}, 0, 1, "unknown"},
        {"defaults where there are none", 52, {}, 0, 3, "officer"},
    };
    for (const attachment_case &c : cases) {
        scene_model m = fx::chain("model", c.joints);
        for (size_t i = 0; i < c.kinds.size(); i++)
            m.attachments.push_back(fx::attachment("Hold" + std::to_string(i), uint32_t(i) % 2,
                                                   c.kinds[i], 1, 2, float(i)));
        built b = build(m);
        ASSERT_EQ(b.result, 0) << c.what << b.err;
        EXPECT_EQ(b.mesh->num_grips, c.grips) << c.what;
        EXPECT_EQ(b.mesh->num_grippers, c.grippers) << c.what;
        EXPECT_STREQ(b.mesh->class_name, c.class_name) << c.what;
        if (c.kinds.empty()) continue;
        // The first attachment's record: its name, joint and placement as the scene had them,
        // a grip's inverted (the scene places it where it is drawn).
        const bool grip = c.kinds[0] == k::grip || (c.kinds[0] == k::unknown && c.joints == 2);
        const gripper &first = grip ? b.mesh->grips[0] : b.mesh->grippers[0];
        EXPECT_STREQ(first.name, "Hold0") << c.what;
        EXPECT_EQ(first.name_length, 5) << c.what;
        EXPECT_EQ(first.bone, 0) << c.what;
        float expected[16];
        if (grip)
            mat4_rigid_inverse(expected, m.attachments[0].local);
        else
            std::memcpy(expected, m.attachments[0].local, sizeof expected);
        for (int e = 0; e < 16; e++)
            EXPECT_EQ(first.local[e], expected[e]) << c.what << " element " << e;
        if (grip) {
            EXPECT_NE(first.local[12], m.attachments[0].local[12]) << c.what;
        }
    }
}

TEST(build_tkm, names_hit_colours_and_no_milkshape_words) {
    scene_model m = fx::chain("SWT_Officer", 2);
    m.joints[1].name = std::string(40, 'n'); // longer than Milkshape's fields
    m.materials[0].name = std::string(300, 'm');
    m.vertices = {fx::vertex(0, 0, 0), fx::vertex(1, 0, 0), fx::vertex(0, 1, 0, {{1, 1}})};
    fx::add(m, fx::triangle(0, 1, 2, 0x7C1F));
    fx::add(m, fx::triangle(0, 2, 1, 0xFFFF));
    built b = build(m);
    ASSERT_EQ(b.result, 0) << b.err;
    EXPECT_STREQ(b.mesh->name, "SWT_Officer");
    EXPECT_EQ(b.mesh->bones[1].name_length, 40);
    EXPECT_EQ(b.mesh->materials[0].name_length, 300);
    for (uint16_t c = 0; c < 3; c++) {
        EXPECT_EQ(b.mesh->corners[c].aux2, 0x7C1F);
        EXPECT_EQ(b.mesh->corners[3 + c].aux2, 0x7FFF) << "15 bits";
    }
    EXPECT_EQ(b.out.find("Milkshape"), std::string::npos) << b.out;
    EXPECT_EQ(b.out.find("Converted"), std::string::npos) << "the caller says what it converted";
}

TEST(build_tkm, limits_are_the_tkm_ones) {
    auto spaced = [](uint32_t count, std::initializer_list<scene_weight> weights) {
        scene_model m = fx::chain("big", 3);
        for (uint32_t i = 0; i < count; i++)
            m.vertices.push_back(
                fx::vertex(0.01f * float(i % 1000), 0.01f * float(i / 1000), 0, weights));
        return m;
    };
    built fits = build(spaced(65535, {{0, 1}}));
    EXPECT_EQ(fits.result, 0) << fits.err;
    EXPECT_EQ(fits.mesh->num_vertices, 65535);

    struct limit_case {
        const char *what;
        scene_model model;
        int step;
        const char *message;
    };
    limit_case cases[] = {
        {"one vertex too many", spaced(65536, {{0, 1}}), 2,
         "The model needs 65536 stored and 0 blend vertices, more than the 65535"},
        {"blend vertices count too", spaced(30000, {{0, 0.5f}, {1, 0.5f}}), 2,
         "The model needs 60000 stored and 30000 blend vertices"},
        {"joints", fx::chain("many", 65536), 1, "The model has 65536 joints, more than the 65535"},
        {"a weight on a joint that does not exist", spaced(3, {{0, 0.5f}, {7, 0.5f}}), 2,
         "Vertex 0 is weighted to joint 7, but the model has only 3 joints."},
        {"no name", fx::chain("", 2), 1, "The model's name is empty"},
        {"an attachment on no joint", fx::chain("gun", 2), 1,
         "Attachment 'Grip' is carried by joint 5, but the model has only 2 joints."},
    };
    cases[5].model.attachments.push_back(fx::attachment("Grip", 5, attachment_kind::grip));
    for (limit_case &c : cases) {
        built b = build(std::move(c.model));
        EXPECT_EQ(b.result, c.step) << c.what;
        EXPECT_NE(b.err.find(c.message), std::string::npos) << c.what << ": " << b.err;
    }
}

} // namespace

namespace {

// A true bind pose comes back as it was; Milkshape's joint placements give way to the game's.
TEST(build_tkm, reference_skeletons_only_when_asked) {
    for (bool reference : {false, true}) {
        scene_model m = fx::chain("officer", 52);
        mesh_ptr mesh(create_mesh());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        ASSERT_EQ(convert_scene_to_tkm(mesh.get(), &m, {merge_method::grid, "glTF", reference}), 0);
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        const tkm_bone &bone = mesh->bones[5];
        if (reference) {
            EXPECT_NE(bone.position[1], 1.0f);
        } else {
            EXPECT_EQ(bone.parent, 4);
            EXPECT_EQ(bone.position[1], 1.0f) << "the chain's own placement";
            EXPECT_EQ(bone.world[13], 5.0f);
        }
    }
}

} // namespace
