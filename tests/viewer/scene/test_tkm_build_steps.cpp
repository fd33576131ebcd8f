// SPDX-License-Identifier: MIT
// The TKM build's steps apart: the merge is the only step that changes the scene, a build leaves
// the scene as it found it (so one scene serves many builds), and the bones alone need none of
// the geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/fixtures/mesh_loading.h"
#include "tests/fixtures/scene_builder.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/tkm_builder.h"

namespace {

namespace fx = scene_fixture;
using tkm_fixture::mesh_ptr;

// Two joints, a vertex given twice at one place, a blended vertex with a share too small to keep,
// two triangles and an attachment.
scene_model busy_scene() {
    scene_model m = fx::chain("gun", 2);
    m.vertices = {fx::vertex(0, 0, 0), fx::vertex(1, 0, 0, {{1, 1.0f}}), fx::vertex(0, 0, 0),
                  fx::vertex(0, 1, 0, {{0, 0.6f}, {1, 0.399f}, {0, 0.001f}})};
    fx::add(m, fx::triangle(0, 1, 3));
    fx::add(m, fx::triangle(2, 3, 1, 0x1234));
    m.attachments.push_back(fx::attachment("grip", 1, attachment_kind::grip));
    return m;
}

// Every field of the two scenes, compared one by one (floats by their bits).
void expect_same_scene(const scene_model &a, const scene_model &b) {
    EXPECT_EQ(a.name, b.name);
    ASSERT_EQ(a.joints.size(), b.joints.size());
    for (size_t i = 0; i < a.joints.size(); i++) {
        EXPECT_EQ(a.joints[i].name, b.joints[i].name);
        EXPECT_EQ(a.joints[i].parent, b.joints[i].parent);
        EXPECT_EQ(std::memcmp(a.joints[i].local, b.joints[i].local, sizeof a.joints[i].local), 0);
    }
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (size_t i = 0; i < a.vertices.size(); i++) {
        const scene_vertex &x = a.vertices[i], &y = b.vertices[i];
        EXPECT_EQ(std::memcmp(x.position, y.position, sizeof x.position), 0) << i;
        ASSERT_EQ(x.num_weights, y.num_weights) << i;
        for (uint8_t k = 0; k < x.num_weights; k++) {
            EXPECT_EQ(x.weights[k].joint, y.weights[k].joint) << i;
            EXPECT_EQ(x.weights[k].weight, y.weights[k].weight) << i;
        }
    }
    ASSERT_EQ(a.triangles.size(), b.triangles.size());
    for (size_t t = 0; t < a.triangles.size(); t++)
        for (int k = 0; k < 3; k++) {
            const scene_corner &x = a.triangles[t].corners[k], &y = b.triangles[t].corners[k];
            EXPECT_EQ(x.vertex, y.vertex) << t;
            EXPECT_EQ(std::memcmp(x.uv, y.uv, sizeof x.uv), 0) << t;
            EXPECT_EQ(x.hit_color, y.hit_color) << t;
        }
    ASSERT_EQ(a.groups.size(), b.groups.size());
    for (size_t g = 0; g < a.groups.size(); g++) {
        EXPECT_EQ(a.groups[g].name, b.groups[g].name);
        EXPECT_EQ(a.groups[g].material, b.groups[g].material);
        EXPECT_EQ(a.groups[g].triangles, b.groups[g].triangles);
    }
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (size_t i = 0; i < a.materials.size(); i++) {
        EXPECT_EQ(a.materials[i].name, b.materials[i].name);
        EXPECT_EQ(a.materials[i].texture, b.materials[i].texture);
        EXPECT_EQ(a.materials[i].image, b.materials[i].image);
    }
    ASSERT_EQ(a.attachments.size(), b.attachments.size());
    for (size_t i = 0; i < a.attachments.size(); i++) {
        EXPECT_EQ(a.attachments[i].name, b.attachments[i].name);
        EXPECT_EQ(a.attachments[i].joint, b.attachments[i].joint);
        EXPECT_EQ(std::memcmp(a.attachments[i].local, b.attachments[i].local,
                              sizeof a.attachments[i].local),
                  0);
    }
    EXPECT_EQ(a.images.size(), b.images.size());
    EXPECT_EQ(a.animations.size(), b.animations.size());
    EXPECT_EQ(a.has_hit_colors, b.has_hit_colors);
}

// The parts of two meshes a build writes, compared one by one.
void expect_same_mesh(const tkm_mesh &a, const tkm_mesh &b) {
    ASSERT_EQ(a.num_bones, b.num_bones);
    ASSERT_EQ(a.num_vertices, b.num_vertices);
    ASSERT_EQ(a.num_blends, b.num_blends);
    ASSERT_EQ(a.num_corners, b.num_corners);
    ASSERT_EQ(a.num_texcoords, b.num_texcoords);
    ASSERT_EQ(a.num_grips, b.num_grips);
    for (uint16_t v = 0; v < a.num_vertices; v++) {
        EXPECT_EQ(a.vertices[v].bone, b.vertices[v].bone) << v;
        EXPECT_EQ(std::memcmp(a.vertices[v].world, b.vertices[v].world, sizeof a.vertices[v].world),
                  0)
            << v;
    }
    for (uint16_t c = 0; c < a.num_corners; c++) {
        EXPECT_EQ(a.corners[c].vertex, b.corners[c].vertex) << c;
        EXPECT_EQ(a.corners[c].texcoord, b.corners[c].texcoord) << c;
    }
}

struct quiet {
    quiet() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
    }
    ~quiet() {
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
    }
};

TEST(build_tkm, leaves_the_scene_as_it_found_it) {
    scene_model scene = busy_scene();
    quiet hush;
    ASSERT_EQ(merge_scene_vertices(&scene), 0);
    const scene_model before = scene; // a deep copy
    mesh_ptr first(create_mesh()), second(create_mesh());
    ASSERT_EQ(build_tkm(first.get(), scene), 0);
    expect_same_scene(scene, before);
    // So the same scene builds the same mesh again.
    ASSERT_EQ(build_tkm(second.get(), scene), 0);
    expect_same_mesh(*first, *second);
}

TEST(build_tkm, merged_then_built_is_the_conversion) {
    scene_model converted = busy_scene(), merged = busy_scene();
    quiet hush;
    mesh_ptr whole(create_mesh()), steps(create_mesh());
    ASSERT_EQ(convert_scene_to_tkm(whole.get(), &converted), 0);
    ASSERT_EQ(merge_scene_vertices(&merged), 0);
    ASSERT_EQ(build_tkm(steps.get(), merged), 0);
    expect_same_mesh(*whole, *steps);
}

TEST(merge_scene_vertices, merges_the_scene_and_keeps_the_triangles_whole) {
    scene_model scene = busy_scene();
    quiet hush;
    ASSERT_EQ(merge_scene_vertices(&scene), 0);
    // Vertex 2 lies on vertex 0 with the same single joint: one vertex is left of the two.
    ASSERT_EQ(scene.vertices.size(), 3u);
    const uint32_t corners[2][3] = {{0, 1, 2}, {0, 2, 1}};
    for (int t = 0; t < 2; t++)
        for (int k = 0; k < 3; k++)
            EXPECT_EQ(scene.triangles[t].corners[k].vertex, corners[t][k]) << t << " " << k;
    // The share under 1/255 is dropped, joint 0's two shares joined, the rest summing to 1.
    const scene_vertex &blended = scene.vertices[2];
    ASSERT_EQ(blended.num_weights, 2);
    EXPECT_EQ(blended.weights[0].joint, 0u);
    EXPECT_NEAR(blended.weights[0].weight + blended.weights[1].weight, 1.0f, 1e-6f);
}

TEST(build_tkm_bones, builds_the_skeleton_without_geometry) {
    // Geometry the build would refuse (a group without material) is no concern of the bones.
    scene_model scene = busy_scene();
    scene.groups[0].material = -1;
    const scene_model before = scene;
    mesh_ptr bones(create_mesh()), whole(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_EQ(build_tkm_bones(bones.get(), scene), 0);
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "");
    expect_same_scene(scene, before);
    EXPECT_EQ(bones->num_bones, 2);
    EXPECT_EQ(bones->num_grips, 1);
    EXPECT_EQ(bones->num_vertices, 0);
    EXPECT_EQ(bones->num_triangles, 0);
    EXPECT_EQ(bones->num_corners, 0);
    EXPECT_STREQ(std::string(bones->name, bones->name_length).c_str(), "gun");
}

} // namespace
