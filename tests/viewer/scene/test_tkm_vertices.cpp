// SPDX-License-Identifier: MIT
// The vertex step: bone checks, merging, sorting by bone, runs, vertices relative to their bones.
#include "viewer/ms3d/ms3d_test.h"

#include <array>
#include <cmath>
#include <limits>

#include "viewer/math/math3d.h"
#include "viewer/scene/point_merge.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/scene/tkm_builder.h"

namespace fx = ms3d_fixture;

namespace {

// One joint per name, all roots unless the parent is given, and one material.
fx::model skeleton_model(uint16_t joints) {
    fx::model m;
    m.materials = {fx::material{}};
    for (uint16_t i = 0; i < joints; i++) {
        fx::joint j;
        j.name = "j" + std::to_string(i);
        m.joints.push_back(j);
    }
    return m;
}

// Adds a triangle over three vertices, listed by the last group (made when there is none).
void add_triangle(fx::model &m, uint16_t a, uint16_t b, uint16_t c) {
    fx::triangle t;
    t.v[0] = a, t.v[1] = b, t.v[2] = c;
    if (m.groups.empty()) m.groups.push_back({"body", {}, 0});
    m.groups.back().triangles.push_back(uint16_t(m.triangles.size()));
    m.triangles.push_back(t);
}

// The drawn position of the vertex a corner names.
std::array<float, 3> corner_position(const tkm_mesh &mesh, uint16_t triangle, int slot) {
    const tkm_corner &corner = mesh.corners[mesh.triangles[triangle].corners[slot]];
    const float *world = mesh.vertices[corner.vertex].world;
    return {world[12], world[13], world[14]};
}

TEST(vec3_nearly_equal, tolerance_and_odd_values) {
    const float a[3] = {1, 2, 3};
    const float close[3] = {1, 2, 3.00005f};
    const float far[3] = {1, 2, 3.001f};
    EXPECT_TRUE(vec3_nearly_equal(a, close));
    EXPECT_FALSE(vec3_nearly_equal(a, far));
    const float zero[3] = {0, 0, 0};
    const float edge[3] = {0.0001f, 0, 0};
    EXPECT_TRUE(vec3_nearly_equal(edge, zero)) << "0.0001f is a little below the double 0.0001";
    const float beyond[3] = {0, -0.00010001f, 0};
    EXPECT_FALSE(vec3_nearly_equal(zero, beyond));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float with_nan[3] = {nan, 2, 3};
    EXPECT_TRUE(vec3_nearly_equal(with_nan, a)) << "a difference that is not a number matches";
    const float both_inf[3] = {inf, 2, 3};
    EXPECT_TRUE(vec3_nearly_equal(both_inf, both_inf)) << "inf - inf is not a number";
    EXPECT_FALSE(vec3_nearly_equal(both_inf, a));
}

TEST(assign_vertices, merges_within_the_tolerance_keeping_the_first) {
    fx::model m = skeleton_model(2);
    m.vertices = {{1, 2, 3, 1}, {1, 2, 3.00005f, 0}, {1, 2, 3.001f, 0}, {5, 5, 5, 0}};
    add_triangle(m, 1, 2, 3);
    add_triangle(m, 0, 3, 2);
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    ASSERT_EQ(c.mesh->num_vertices, 3);
    // The kept vertex has its own bone, 1, so it sorts last.
    EXPECT_EQ(c.mesh->vertices[2].bone, 1);
    EXPECT_EQ(c.mesh->vertices[2].world[14], 3.0f);
    // Triangle 0 named vertex 1 (merged into 0): its corner now names the kept vertex. The corner
    // order is reversed, so Milkshape corner 0 is slot 2.
    EXPECT_EQ(corner_position(*c.mesh, 0, 2), (std::array<float, 3>{1, 2, 3}));
    EXPECT_EQ(corner_position(*c.mesh, 0, 1), (std::array<float, 3>{1, 2, 3.001f}));
    EXPECT_EQ(corner_position(*c.mesh, 1, 1), (std::array<float, 3>{5, 5, 5}));
}

TEST(assign_vertices, sorts_by_bone_and_builds_runs) {
    fx::model m = skeleton_model(4);
    m.vertices = {{0, 0, 0, 3}, {1, 0, 0, 0}, {2, 0, 0, 3}, {3, 0, 0, 1}};
    add_triangle(m, 0, 1, 2);
    add_triangle(m, 3, 2, 1);
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    const tkm_mesh &mesh = *c.mesh;
    ASSERT_EQ(mesh.num_vertices, 4);
    const uint16_t bones[] = {0, 1, 3, 3};
    for (int p = 0; p < 4; p++)
        EXPECT_EQ(mesh.vertices[p].bone, bones[p]);
    ASSERT_EQ(mesh.num_runs, 3) << "4 joints, 3 used: the run array is cut";
    const bone_run runs[] = {{0, 0, 1}, {1, 1, 1}, {3, 2, 2}};
    for (int r = 0; r < 3; r++) {
        EXPECT_EQ(mesh.runs[r].bone, runs[r].bone);
        EXPECT_EQ(mesh.runs[r].first_vertex, runs[r].first_vertex);
        EXPECT_EQ(mesh.runs[r].vertex_count, runs[r].vertex_count);
    }
    EXPECT_EQ(mesh.declared_run_count, 0);
    // Renumbered triangles still name the same places.
    EXPECT_EQ(corner_position(mesh, 0, 2), (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(corner_position(mesh, 0, 1), (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(corner_position(mesh, 1, 2), (std::array<float, 3>{3, 0, 0}));
    EXPECT_EQ(corner_position(mesh, 1, 0), (std::array<float, 3>{1, 0, 0}));
}

TEST(assign_vertices, vertices_are_stored_relative_to_their_bones) {
    fx::model m = skeleton_model(2);
    m.joints[1].position[0] = 10;
    m.joints[1].rotation[2] = 1.5707964f;
    m.vertices = {{1, 2, 3, 0}, {10, 1, 0, 1}, {4, 4, 4, 1}};
    add_triangle(m, 0, 1, 2);
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    const tkm_mesh &mesh = *c.mesh;
    // Bone 0 is the identity: local is the vertex's own world.
    for (int k = 0; k < 16; k++)
        EXPECT_EQ(mesh.vertices[0].local[k], mesh.vertices[0].world[k]);
    // Bone 1 is turned a quarter turn (radians) about z and moved to x = 10: (10, 1, 0) is (1, 0,
    // 0) to it.
    EXPECT_NEAR(mesh.vertices[1].local[12], 1.0f, 1e-5f);
    EXPECT_NEAR(mesh.vertices[1].local[13], 0.0f, 1e-5f);
    float back[3];
    const float local_point[3] = {mesh.vertices[2].local[12], mesh.vertices[2].local[13],
                                  mesh.vertices[2].local[14]};
    mat4_transform_point(back, local_point, mesh.bones[1].world);
    EXPECT_NEAR(back[0], 4.0f, 1e-5f);
    EXPECT_NEAR(back[1], 4.0f, 1e-5f);
    EXPECT_NEAR(back[2], 4.0f, 1e-5f);
    // The rotation part is the bone's transposed rotation, not the identity.
    EXPECT_NEAR(mesh.vertices[1].local[1], mesh.bones[1].world[4], 1e-6f);
}

TEST(assign_vertices, bone_assignment_messages) {
    fx::model some = skeleton_model(2);
    some.vertices = {{0, 0, 0, 0}, {1, 0, 0, -1}, {2, 0, 0, 0}};
    add_triangle(some, 0, 1, 2);
    conversion c = convert_fixture(some);
    EXPECT_EQ(c.result, tkm_build_failed_vertices);
    EXPECT_EQ(c.err.rfind("Not all vertices are assigned to a bone.  Can't use this model!\n", 0),
              0u)
        << c.err;

    fx::model none = skeleton_model(2);
    none.vertices = {{0, 0, 0, -1}, {1, 0, 0, -1}, {2, 0, 0, -1}};
    add_triangle(none, 0, 1, 2);
    c = convert_fixture(none);
    EXPECT_EQ(c.result, 0);
    EXPECT_NE(c.err.find("Milkshape model has no vertices assigned to bones.\n"
                         "Assuming all vertices assigned to root.\n"),
              std::string::npos);
    for (int p = 0; p < 3; p++)
        EXPECT_EQ(c.mesh->vertices[p].bone, 0);
    ASSERT_EQ(c.mesh->num_runs, 1);
    EXPECT_EQ(c.mesh->runs[0].vertex_count, 3);

    fx::model no_joints = none;
    no_joints.joints.clear();
    c = convert_fixture(no_joints);
    EXPECT_EQ(c.result, tkm_build_failed_vertices);
    EXPECT_EQ(c.err, "Milkshape model has no vertices assigned to bones.\nCan't use this model!\n"
                     "The model has no joints: converting with 'tkmtool convert --bind-unbound "
                     "nearest' gives it a root joint at the origin that carries every vertex.\n");
}

// A refusal of some unbound vertices: what the fixture leaves unbound and what the user reads.
struct unbound_refusal {
    const char *what;
    fx::model model;
    const char *says; // everything after the first line
};

std::vector<unbound_refusal> unbound_refusals() {
    std::vector<unbound_refusal> rows;
    // Vertices 3 and 7 have no bone; 3 is in two triangles, 7 in one.
    fx::model two = skeleton_model(2);
    for (uint16_t i = 0; i < 9; i++)
        two.vertices.push_back({float(i), float(i % 2), 0, int8_t(i % 2)});
    two.vertices[3] = {1.5f, -2, 0.25f, -1};
    two.vertices[7] = {4, 0, -8, -1};
    add_triangle(two, 0, 1, 3);
    add_triangle(two, 3, 4, 5);
    add_triangle(two, 6, 7, 8);
    add_triangle(two, 0, 1, 2);
    rows.push_back({"two unbound vertices", two,
                    "2 of 9 vertices have no bone:\n"
                    "  vertex 3 at (1.5, -2, 0.25), used by 2 triangles\n"
                    "  vertex 7 at (4, 0, -8), used by 1 triangle\n"});

    // Seven of ten unbound: the first five are listed, one of them in no triangle, and a triangle
    // naming a vertex twice counts once.
    fx::model seven = skeleton_model(2); // two joints: a count that draws no warning
    for (uint16_t i = 0; i < 10; i++)
        seven.vertices.push_back({0, float(i), 0, -1});
    for (uint16_t bound : {0, 3, 7})
        seven.vertices[bound].bone = 0;
    add_triangle(seven, 0, 1, 2);
    add_triangle(seven, 1, 1, 3);
    add_triangle(seven, 5, 6, 7);
    add_triangle(seven, 7, 8, 9);
    rows.push_back({"more unbound vertices than are listed", seven,
                    "7 of 10 vertices have no bone:\n"
                    "  vertex 1 at (0, 1, 0), used by 2 triangles\n"
                    "  vertex 2 at (0, 2, 0), used by 1 triangle\n"
                    "  vertex 4 at (0, 4, 0), used by 0 triangles\n"
                    "  vertex 5 at (0, 5, 0), used by 1 triangle\n"
                    "  vertex 6 at (0, 6, 0), used by 1 triangle\n"
                    "  and 2 more\n"});

    fx::model one = skeleton_model(2);
    one.vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, -1}};
    add_triangle(one, 0, 1, 2);
    rows.push_back({"one unbound vertex", one,
                    "1 of 3 vertices has no bone:\n"
                    "  vertex 2 at (2, 0, 0), used by 1 triangle\n"});
    return rows;
}

TEST(assign_vertices, a_refusal_of_unbound_vertices_names_them_and_the_way_through) {
    const std::string first = "Not all vertices are assigned to a bone.  Can't use this model!\n";
    const std::string way = "Give them a bone in Milkshape, or convert with 'tkmtool convert "
                            "--bind-unbound nearest', which binds each to its nearest joint.\n";
    for (const unbound_refusal &row : unbound_refusals()) {
        conversion c = convert_fixture(row.model);
        EXPECT_EQ(c.result, tkm_build_failed_vertices) << row.what;
        EXPECT_EQ(c.err, first + row.says + way) << row.what;
    }
}

// Models the vertex step refuses: the step the conversion stops at and what it says.
struct vertex_refusal {
    const char *what;
    fx::model model;
    int step;
    const char *says;
};

std::vector<vertex_refusal> vertex_refusals() {
    std::vector<vertex_refusal> rows;
    fx::model more_values = skeleton_model(3);
    more_values.vertices = {{0, 0, 0, 0}, {1, 0, 0, 1}, {2, 0, 0, 2}, {3, 0, 0, 3}};
    add_triangle(more_values, 0, 1, 2);
    add_triangle(more_values, 1, 2, 3);
    rows.push_back({"more bone values than joints", more_values, tkm_build_failed_vertices,
                    "PANIC: Assignment ID out of range!\n"});

    fx::model no_joints;
    no_joints.materials = {fx::material{}};
    no_joints.vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}};
    add_triangle(no_joints, 0, 1, 2);
    rows.push_back({"a bone value with no joints at all", no_joints, tkm_build_failed_vertices,
                    "PANIC: Assignment ID out of range!\n"});

    fx::model missing_bone = skeleton_model(3);
    missing_bone.vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 100}};
    add_triangle(missing_bone, 0, 1, 2);
    rows.push_back({"a bone that does not exist", missing_bone, tkm_build_failed_vertices,
                    "Vertex 2 is assigned to bone 100, but the model has only 3 bones."});

    fx::model missing_vertex = skeleton_model(1);
    missing_vertex.vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}};
    add_triangle(missing_vertex, 0, 1, 2);
    add_triangle(missing_vertex, 0, 7, 2);
    rows.push_back({"a triangle naming a missing vertex", missing_vertex, tkm_build_failed_vertices,
                    "\nPANIC: g0/1 t1/2 v1: 7 > 3\n"});

    // Without vertices the step does nothing, and the triangle step refuses the corners.
    fx::model empty = skeleton_model(1);
    add_triangle(empty, 0, 1, 2);
    rows.push_back({"a triangle in a model without vertices", empty, tkm_build_failed_triangles,
                    "Triangle 0 uses vertex 0, but the model has only 0 vertices."});

    fx::model missing_triangle = skeleton_model(1);
    missing_triangle.vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}};
    add_triangle(missing_triangle, 0, 1, 2);
    missing_triangle.groups[0].triangles.push_back(5);
    rows.push_back({"a group listing a missing triangle", missing_triangle,
                    tkm_build_failed_vertices,
                    "Group 'body' lists triangle 5, but the model has only 1 triangles."});
    return rows;
}

TEST(assign_vertices, refuses_what_it_cannot_assign) {
    for (const vertex_refusal &row : vertex_refusals()) {
        conversion c = convert_fixture(row.model);
        EXPECT_EQ(c.result, row.step) << row.what;
        EXPECT_NE(c.err.find(row.says), std::string::npos) << row.what << ": " << c.err;
    }
}

// The conversion refuses such a model later (a listed-twice triangle leaves another out or
// overruns the count), but the vertex step on its own must still renumber each triangle once.
TEST(assign_vertices, a_triangle_listed_twice_is_renumbered_once) {
    fx::model m = skeleton_model(2);
    // Vertex 1 merges into 0 and the bone sort moves vertex 2 first: a second renumbering
    // would send the shared triangle's corners to the wrong vertices.
    m.vertices = {{0, 0, 0, 1}, {0, 0, 0, 1}, {1, 0, 0, 0}, {0, 1, 0, 1}, {9, 9, 9, 1}};
    add_triangle(m, 1, 2, 3);
    add_triangle(m, 0, 2, 4);
    m.groups[0].triangles = {0};
    m.groups.push_back({"again", {0}, 0});
    for (merge_method method : {merge_method::grid, merge_method::scan}) {
        model_ptr model = read_fixture(m);
        scene_model scene;
        ASSERT_EQ(ms3d_to_scene(model.get(), &scene), 0);
        mesh_ptr mesh(create_mesh());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        ASSERT_EQ(convert_bones(mesh.get(), &scene), 0);
        ASSERT_EQ(merge_scene_vertices(&scene, method), 0);
        std::vector<uint32_t> tkm_index;
        ASSERT_EQ(assign_vertices(mesh.get(), &scene, &tkm_index), 0);
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        const float expected[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        for (int k = 0; k < 3; k++) {
            // The scene holds the corners in the TKM's winding, the reverse of Milkshape's.
            const uint32_t v = tkm_index.at(scene.triangles[0].corners[2 - k].vertex);
            ASSERT_LT(v, mesh->num_vertices);
            for (int axis = 0; axis < 3; axis++)
                EXPECT_EQ(mesh->vertices[v].world[12 + axis], expected[k][axis]) << k;
        }
    }
}

TEST(merge_vertex, renumbers_and_removes) {
    fx::model m = skeleton_model(1);
    m.vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 0, 0}};
    add_triangle(m, 0, 2, 3);
    add_triangle(m, 2, 1, 3);
    model_ptr model = read_fixture(m);
    scene_model scene;
    ASSERT_EQ(ms3d_to_scene(model.get(), &scene), 0);
    merge_vertex(&scene, 2, 1);
    ASSERT_EQ(scene.vertices.size(), 3u);
    EXPECT_EQ(scene.vertices[2].position[0], 3.0f);
    const uint32_t first[] = {0, 1, 2}, second[] = {1, 1, 2};
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(scene.triangles[0].corners[2 - k].vertex, first[k]);
        EXPECT_EQ(scene.triangles[1].corners[2 - k].vertex, second[k]);
    }
}

} // namespace
