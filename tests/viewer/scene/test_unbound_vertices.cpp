// SPDX-License-Identifier: MIT
// Binding vertices without a joint: onto the nearest joint of the bind pose, or onto a root joint
// made for a model without joints; and the conversions that then go through.
#include "viewer/ms3d/ms3d_test.h"

#include <algorithm>
#include <array>
#include <vector>

#include "fixtures/scene_builder.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/scene/tkm_builder.h"
#include "viewer/scene/unbound_vertices.h"

namespace fx = ms3d_fixture;
namespace sf = scene_fixture;

namespace {

// A rig whose joints stand at places worked out by hand below.
scene_model rig() {
    scene_model m;
    m.name = "rig";
    m.joints.push_back(sf::joint("hip", -1, 0, 0, 0));
    // A quarter turn about z: its children's x runs along the model's y, their y along -x.
    m.joints.push_back(sf::joint("spine", 0, 10, 0, 0, 90));
    m.joints.push_back(sf::joint("neck", 1, 5, 0, 0));
    m.joints.push_back(sf::joint("head", 2, 0, 4, 0));
    m.joints.push_back(sf::joint("foot", -1, 0, 0, -20));
    return m;
}

// hip at the origin; spine 10 along x; neck 5 along spine's x, the model's y: (10, 5, 0); head 4
// along neck's y, the model's -x: (6, 5, 0); foot, a second root, at (0, 0, -20).
const std::array<std::array<double, 3>, 5> rig_joint_places = {
    {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {6, 5, 0}, {0, 0, -20}}};

// The nearest of the rig's joints, the first among equally near ones.
uint32_t expected_nearest(const float *p) {
    uint32_t best = 0;
    double best_distance = -1;
    for (uint32_t j = 0; j < rig_joint_places.size(); j++) {
        double d = 0;
        for (int k = 0; k < 3; k++)
            d += (p[k] - rig_joint_places[j][k]) * (p[k] - rig_joint_places[j][k]);
        if (best_distance < 0 || d < best_distance) best = j, best_distance = d;
    }
    return best;
}

TEST(bind_unbound_vertices, each_goes_onto_its_nearest_joint_and_ties_take_the_first) {
    scene_model m = rig();
    const std::vector<std::array<float, 3>> places = {{1, 1, 0},    {9, 1, 0},   {10, 6, 0},
                                                      {6, 4.5f, 0}, {0, 0, -15}, {11, 5, 1},
                                                      {5, 0, 0},    // as near the hip as the spine
                                                      {0, 0, -10},  // as near the hip as the foot
                                                      {7.5f, 5, 0}, // nearer the head than the neck
                                                      {2, 3, -9}};
    for (const auto &p : places)
        m.vertices.push_back(sf::vertex(p[0], p[1], p[2], {}));
    // A vertex with a joint keeps it, however far that joint is.
    m.vertices.push_back(sf::vertex(0, 0, -20, {{2, 1.0f}}));
    testing::internal::CaptureStderr();
    const unbound_binding_report report = bind_unbound_vertices(&m);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(report.num_bound, places.size());
    EXPECT_FALSE(report.made_root);
    EXPECT_EQ(m.joints.size(), 5u);
    EXPECT_EQ(err, "Bound 10 vertices without a bone to the nearest joint of each.\n");
    for (size_t i = 0; i < places.size(); i++) {
        ASSERT_EQ(m.vertices[i].num_weights, 1) << i;
        EXPECT_EQ(m.vertices[i].weights[0].joint, expected_nearest(places[i].data())) << i;
        EXPECT_EQ(m.vertices[i].weights[0].weight, 1.0f) << i;
    }
    // The rows above cover every joint, so a binding to the wrong chain cannot pass unseen.
    std::vector<bool> used(rig_joint_places.size());
    for (const auto &p : places)
        used[expected_nearest(p.data())] = true;
    EXPECT_EQ(std::count(used.begin(), used.end(), true), 5);
    EXPECT_EQ(m.vertices.back().weights[0].joint, 2u);
}

TEST(bind_unbound_vertices, a_model_with_every_vertex_bound_is_left_alone) {
    scene_model m = rig();
    m.vertices.push_back(sf::vertex(10, 5, 0, {{4, 1.0f}}));
    testing::internal::CaptureStderr();
    const unbound_binding_report report = bind_unbound_vertices(&m);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(report.num_bound, 0u);
    EXPECT_EQ(m.vertices[0].weights[0].joint, 4u);
}

// A prop without joints: four vertices, none bound, two triangles.
fx::model jointless_prop() {
    fx::model m;
    m.materials = {fx::material{}};
    m.vertices = {{0, 0, 0, -1}, {1, 0, 0, -1}, {0, 1, 0, -1}, {1, 1, 0, -1}};
    fx::triangle a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2;
    b.v[0] = 1, b.v[1] = 3, b.v[2] = 2;
    m.triangles = {a, b};
    m.groups = {{"prop", {0, 1}, 0}};
    return m;
}

// The fixture read and converted with the build options Milkshape files take, binding or not.
conversion convert_binding(const fx::model &fixture, unbound_binding binding) {
    conversion c;
    model_ptr model = read_fixture(fixture);
    scene_model scene;
    c.mesh.reset(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    c.result = ms3d_to_scene(model.get(), &scene, false);
    if (c.result == 0) {
        tkm_build_options options;
        options.reference_skeletons = true;
        options.bind_unbound = binding;
        c.result = convert_scene_to_tkm(c.mesh.get(), &scene, options);
    }
    c.out = testing::internal::GetCapturedStdout();
    c.err = testing::internal::GetCapturedStderr();
    return c;
}

TEST(bind_unbound_vertices, a_jointless_prop_gets_one_root_bone_and_reads_back) {
    conversion refused = convert_binding(jointless_prop(), unbound_binding::refuse);
    EXPECT_EQ(refused.result, tkm_build_failed_vertices);
    EXPECT_NE(refused.err.find("'tkmtool convert --bind-unbound nearest'"), std::string::npos)
        << refused.err;

    conversion c = convert_binding(jointless_prop(), unbound_binding::nearest);
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_NE(c.err.find("The model has no joints: made the root joint 'root' at the origin and "
                         "bound the 4 vertices without a bone to it.\n"),
              std::string::npos)
        << c.err;
    EXPECT_EQ(c.err.find("Can't use this model"), std::string::npos) << c.err;
    fx::temp_file file({}, ".tkm");
    ASSERT_EQ(write_tkm(c.mesh.get(), file.path.c_str()), 0);
    mesh_ptr read(create_mesh());
    ASSERT_EQ(read_tkm(read.get(), file.path.c_str()), 0);
    ASSERT_EQ(read->num_bones, 1);
    EXPECT_STREQ(read->bones[0].name, "root");
    EXPECT_EQ(read->bones[0].parent, no_parent);
    for (int k = 12; k < 15; k++)
        EXPECT_EQ(read->bones[0].world[k], 0.0f) << "the root stands at the origin";
    ASSERT_EQ(read->num_vertices, 4);
    for (uint16_t v = 0; v < 4; v++)
        EXPECT_EQ(read->vertices[v].bone, 0) << v;
    EXPECT_EQ(read->num_triangles, 2);
}

TEST(bind_unbound_vertices, a_milkshape_model_with_some_unbound_converts_onto_the_nearest) {
    // Joint j1 stands at x = 1 (the chain's step); vertex 0 (at x = 0) loses its bone and is
    // nearer j0, vertex 3 (at x = 1) is nearer j1 once it has lost its own.
    fx::model m = fx::chain_model(2);
    m.vertices[0].bone = -1;
    m.vertices[3].bone = -1;
    m.vertices[3].x = 0.9f;
    conversion c = convert_binding(m, unbound_binding::nearest);
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_NE(c.err.find("Bound 2 vertices without a bone to the nearest joint of each.\n"),
              std::string::npos)
        << c.err;
    // Each triangle's corners stay on their own bone: triangle t belongs to joint t.
    for (uint16_t t = 0; t < c.mesh->num_triangles; t++)
        for (int slot = 0; slot < 3; slot++) {
            const tkm_corner &corner = c.mesh->corners[c.mesh->triangles[t].corners[slot]];
            EXPECT_EQ(c.mesh->vertices[corner.vertex].bone, t) << t << " " << slot;
        }
}

} // namespace
