// SPDX-License-Identifier: MIT
// The skeleton a glTF file gives: joints reordered so that parents come first, vertices on several
// joints as blend vertices, rotations and scales of the node hierarchy carried into the rest pose,
// and joint names kept whole.
#include "gltf_import_test.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace {

using namespace gltf_import_test;
namespace gf = gltf_fixture;

gf::vertex at(float x, float y, float z, uint8_t joint = 0) {
    gf::vertex v;
    v.x = x, v.y = y, v.z = z;
    v.joints = {joint, 0, 0, 0};
    return v;
}

// Bone names in bone order.
std::vector<std::string> bone_names(const tkm_mesh *mesh) {
    std::vector<std::string> out;
    for (uint16_t b = 0; b < mesh->num_bones; b++)
        out.push_back(mesh->bones[b].name);
    return out;
}

TEST(gltf_import_skeleton, a_child_listed_before_its_parent_moves_behind_it) {
    temp_dir dir;
    gf::model m = gf::chain_model(3); // j0 <- j1 <- j2
    m.skin_order = {2, 0, 1};         // skin joint 0 is j2
    gf::primitive p;
    // Skin joint indices: 0 = j2, 1 = j0, 2 = j1.
    p.vertices = {at(2, 0, 0, 0), at(2, 1, 0, 0), at(0, 0, 0, 1),
                  at(0, 1, 0, 1), at(1, 0, 0, 2), at(1, 1, 0, 2)};
    p.indices = {0, 1, 2, 3, 4, 5};
    p.material = 0;
    m.primitives = {p};
    loaded got = load_file(dir, "m.glb", gf::glb(gf::build(m)));
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_EQ(bone_names(got.mesh.get()), (std::vector<std::string>{"j0", "j1", "j2"}));
    EXPECT_EQ(got.mesh->bones[1].parent, 0);
    EXPECT_EQ(got.mesh->bones[2].parent, 1);
    // Every vertex kept its joint under the new numbers: its x is its bone's place on the chain.
    rest_corners(got.mesh.get()); // poses the mesh
    for (uint16_t v = 0; v < got.mesh->num_vertices; v++)
        EXPECT_EQ(got.mesh->vertices[v].world[12], float(got.mesh->vertices[v].bone)) << v;
}

TEST(gltf_import_skeleton, a_vertex_on_several_joints_becomes_a_blend_vertex_with_their_weights) {
    temp_dir dir;
    gf::model m = gf::chain_model(3);
    gf::primitive p;
    gf::vertex heavy = at(0, 0, 0), tie = at(1, 0, 0), single = at(0, 1, 0);
    heavy.joints = {0, 2, 1, 0}, heavy.weights = {0.2f, 0.5f, 0.3f, 0};
    tie.joints = {2, 1, 0, 0}, tie.weights = {0.5f, 0.5f, 0, 0};
    single.joints = {1, 0, 0, 0};
    p.vertices = {heavy, tie, single};
    p.material = 0;
    m.primitives = {p};
    loaded got = load_file(dir, "m.glb", gf::glb(gf::build(m)));
    ASSERT_TRUE(got.mesh) << got.err;
    ASSERT_EQ(got.mesh->num_blends, 2);
    rest_corners(got.mesh.get()); // poses the mesh
    // Each blend vertex by its components' bones: their weights, and where it stands at rest.
    std::map<std::vector<uint16_t>, std::pair<std::map<uint16_t, float>, std::array<float, 3>>>
        blends;
    for (uint16_t b = 0; b < got.mesh->num_blends; b++) {
        const blend_vertex &blend = got.mesh->blends[b];
        std::map<uint16_t, float> weights;
        std::vector<uint16_t> bones;
        for (uint16_t k = 0; k < blend.count; k++) {
            const uint16_t bone = got.mesh->vertices[blend.vertices[k]].bone;
            weights[bone] += blend.weights[k];
            bones.push_back(bone);
        }
        std::sort(bones.begin(), bones.end());
        float p[3];
        blend_position(got.mesh.get(), b, p);
        blends[bones] = {weights, {p[0], p[1], p[2]}};
    }
    const auto &heavy_blend = blends[{0, 1, 2}], &tie_blend = blends[{1, 2}];
    EXPECT_NEAR(heavy_blend.first.at(0), 0.2f, 1e-6);
    EXPECT_NEAR(heavy_blend.first.at(1), 0.3f, 1e-6);
    EXPECT_NEAR(heavy_blend.first.at(2), 0.5f, 1e-6);
    EXPECT_NEAR(tie_blend.first.at(1), 0.5f, 1e-6);
    EXPECT_NEAR(tie_blend.first.at(2), 0.5f, 1e-6);
    for (size_t k = 0; k < 3; k++) {
        EXPECT_NEAR(heavy_blend.second[k], 0.0f, 1e-5);
        EXPECT_NEAR(tie_blend.second[k], k == 0 ? 1.0f : 0.0f, 1e-5);
    }
}

// A rotation of angle radians about a unit axis, as a glTF quaternion (x, y, z, w).
std::array<double, 4> turn(double angle, double x, double y, double z) {
    const double s = std::sin(angle / 2);
    return {x * s, y * s, z * s, std::cos(angle / 2)};
}

TEST(gltf_import_skeleton, node_rotations_and_scales_pose_bones_and_vertices_as_in_the_file) {
    std::mt19937 random(12);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int trial = 0; trial < 20; trial++) {
        temp_dir dir;
        gf::model m;
        for (int j = 0; j < 4; j++) {
            gf::joint joint;
            joint.name = "b" + std::to_string(j);
            joint.parent = j - 1;
            joint.translation = {unit(random) * 10, unit(random) * 10, unit(random) * 10};
            double x = unit(random), y = unit(random), z = unit(random);
            double angle = unit(random) * M_PI;
            const double length = std::sqrt(x * x + y * y + z * z);
            x /= length, y /= length, z /= length;
            // A quarter turn about x now and then: the pose where two of the angles merge.
            if (trial % 5 == 0 && j == 1) x = 1, y = z = 0, angle = M_PI / 2;
            joint.rotation = turn(angle, x, y, z);
            m.joints.push_back(joint);
        }
        gf::primitive p;
        for (int v = 0; v < 12; v++)
            p.vertices.push_back(at(float(unit(random) * 20), float(unit(random) * 20),
                                    float(unit(random) * 20), uint8_t(v % 4)));
        m.primitives = {p};
        gf::document d = gf::build(m);
        // An armature node above the root that scales everything by 2 and turns it.
        d.doc["nodes"].push_back({{"name", "Armature"},
                                  {"children", {0}},
                                  {"scale", {2, 2, 2}},
                                  {"rotation", turn(0.7, 0, 0, 1)}});
        d.doc["scenes"][0]["nodes"] = {5, 4};
        loaded got = load_file(dir, "m.glb", gf::glb(d));
        ASSERT_TRUE(got.mesh) << got.err;
        // Where the file puts the joints: the armature (scale 2, turned 0.7 about z) above them.
        const double c = std::cos(0.7), s = std::sin(0.7);
        const std::array<double, 16> armature = {2 * c, 2 * s, 0, 0, -2 * s, 2 * c, 0, 0,
                                                 0,     0,     2, 0, 0,      0,     0, 1};
        for (int j = 0; j < 4; j++) {
            const auto world = gf::multiply(armature, gf::joint_world(m, j));
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(got.mesh->bones[j].world[12 + k], world[size_t(12 + k)], 1e-4)
                    << trial << " bone " << j;
            // The bone's axes are the joint's, without the scale.
            for (int column = 0; column < 3; column++)
                for (int k = 0; k < 3; k++)
                    EXPECT_NEAR(got.mesh->bones[j].world[4 * column + k],
                                world[size_t(4 * column + k)] / 2, 1e-5)
                        << trial << " bone " << j;
        }
        // The vertices were given in the bind pose, which is the rest pose without the armature:
        // the rest pose puts them where the armature takes them.
        const auto corners = rest_corners(got.mesh.get());
        for (size_t t = 0; t < 4; t++)
            for (size_t k = 0; k < 3; k++) {
                const gf::vertex &v = p.vertices[3 * t + 2 - k];
                const double point[3] = {v.x, v.y, v.z};
                for (size_t axis = 0; axis < 3; axis++) {
                    double expected = armature[12 + axis];
                    for (size_t i = 0; i < 3; i++)
                        expected += armature[4 * i + axis] * point[i];
                    EXPECT_NEAR(corners[3 * t + k][axis], expected, 1e-4) << trial;
                }
            }
    }
}

TEST(gltf_import_skeleton, joint_names_are_kept_whole_and_made_unique) {
    temp_dir dir;
    gf::model m = gf::chain_model(5);
    m.joints[0].name = "";
    m.joints[1].name = std::string(40, 'a');
    m.joints[2].name = std::string(40, 'a');
    m.joints[3].name = "same";
    m.joints[4].name = "same";
    loaded got = load_file(dir, "m.glb", gf::glb(gf::build(m)));
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_EQ(bone_names(got.mesh.get()),
              (std::vector<std::string>{"joint0", std::string(40, 'a'), std::string(40, 'a') + "_2",
                                        "same", "same_2"}));
    // Parents follow the joints, not the names.
    for (uint16_t b = 1; b < 5; b++)
        EXPECT_EQ(got.mesh->bones[b].parent, b - 1);
}

} // namespace
