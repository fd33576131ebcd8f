// SPDX-License-Identifier: MIT
// A file's own joints against the class skeleton that replaces them: one note, with the distance
// an independent Milkshape evaluator finds, when they differ; none when they are the class's. And
// the bone axes Blender's importer gives a class's hierarchy.
#include "viewer/ms3d/ms3d_test.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "viewer/math/math3d.h"
#include "viewer/scene/class_skeleton_checks.h"
#include "viewer/scene/reference_skeletons.h"
#include "fixtures/ms3d_evaluator.h"

namespace fx = ms3d_fixture;
using ms3d_evaluator::distance;
using ms3d_evaluator::foreign_rig;
using ms3d_evaluator::joint_places;
using ms3d_evaluator::vec3d;

namespace {

// ---- fixtures

const char *class_of(uint16_t count) {
    switch (count) {
    case 34:
        return "female badguy";
    case 37:
        return "male badguy";
    case 40:
        return "child";
    default:
        return "officer";
    }
}

// The class skeleton itself as a Milkshape file: each row's parent, position and rotation turned
// into Milkshape's angles (R = Rz Ry Rx solved for its three angles).
fx::model class_rig(uint16_t count) {
    const reference_skeleton &s = *find_reference_skeleton(count);
    fx::model m = fx::chain_model(count); // its triangles and vertices; joints replaced below
    for (uint16_t i = 0; i < count; i++) {
        const reference_row &row = s.rows[i];
        fx::joint &j = m.joints[i];
        j.name = "bone " + std::to_string(i);
        j.parent = row.parent == 0xFFFF ? "" : "bone " + std::to_string(row.parent);
        float r[16];
        quat_to_mat4(r, row.rotation); // the class's own rotation, as the game applies it
        auto at = [&r](int row_index, int column) { return double(r[4 * column + row_index]); };
        j.rotation[1] = float(std::asin(-at(2, 0)));
        j.rotation[0] = float(std::atan2(at(2, 1), at(2, 2)));
        j.rotation[2] = float(std::atan2(at(1, 0), at(0, 0)));
        std::memcpy(j.position, row.position, sizeof j.position);
    }
    return m;
}

// The lines of text that contain needle.
std::vector<std::string> lines_with(const std::string &text, const std::string &needle) {
    std::vector<std::string> found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.find(needle) != std::string::npos) found.push_back(line);
        start = end + 1;
    }
    return found;
}

// The number after "by up to " in the note.
double largest_move_in(const std::string &note) {
    const size_t at = note.find("by up to ");
    return at == std::string::npos ? -1 : std::strtod(note.c_str() + at + 9, nullptr);
}

constexpr uint16_t class_counts[] = {34, 37, 40, 52};

} // namespace

TEST(class_skeleton, a_foreign_rig_of_a_class_count_is_named_once_with_how_far_its_joints_move) {
    for (uint16_t count : class_counts) {
        SCOPED_TRACE(count);
        const fx::model m = foreign_rig(count);
        conversion c = convert_fixture(m);
        ASSERT_EQ(c.result, 0) << c.err;
        const std::vector<std::string> notes = lines_with(c.err, "were replaced");
        ASSERT_EQ(notes.size(), 1u) << c.err;
        const std::string &note = notes[0];
        const std::string n = std::to_string(count);
        EXPECT_NE(note.find("Milkshape model: its " + n + " joints were replaced by the " +
                            class_of(count) + " class skeleton of " + n + " bones"),
                  std::string::npos)
            << note;
        EXPECT_NE(note.find("--own-skeleton"), std::string::npos) << note;

        // A chain: every joint but the root has the joint before it as its parent.
        const reference_skeleton &s = *find_reference_skeleton(count);
        unsigned other_parents = 0;
        for (uint16_t i = 1; i < count; i++)
            other_parents += s.rows[i].parent != i - 1;
        EXPECT_NE(note.find(std::to_string(other_parents) + " joints get another parent there"),
                  std::string::npos)
            << note;

        const std::vector<vec3d> file = joint_places(m);
        double largest = 0;
        for (uint16_t i = 0; i < count; i++)
            largest = std::fmax(largest, distance(file[i], &c.mesh->bones[i].world[12]));
        EXPECT_NEAR(largest_move_in(note), largest, 1e-3 * largest) << note;
    }
}

TEST(class_skeleton, a_file_whose_joints_are_the_class_s_gets_no_note) {
    for (uint16_t count : class_counts) {
        SCOPED_TRACE(count);
        const fx::model m = class_rig(count);
        const std::vector<vec3d> file = joint_places(m);
        conversion c = convert_fixture(m);
        ASSERT_EQ(c.result, 0) << c.err;
        EXPECT_TRUE(lines_with(c.err, "were replaced").empty()) << c.err;
        // The evaluator agrees that nothing moved: the fixture is what it claims to be.
        for (uint16_t i = 0; i < count; i++)
            EXPECT_LT(distance(file[i], &c.mesh->bones[i].world[12]), 1e-3) << i;
    }
}

TEST(class_skeleton, a_moved_joint_of_the_class_hierarchy_is_named_with_its_descendants) {
    // Bone 9 (the left hand of the officer) pulled away: it and every bone below it move.
    const uint16_t count = 52, moved = 9;
    fx::model m = class_rig(count);
    m.joints[moved].position[1] += 2.0f;
    const reference_skeleton &s = *find_reference_skeleton(count);
    std::vector<bool> below(count, false);
    below[moved] = true;
    unsigned num_moved = 1;
    for (uint16_t i = moved + 1; i < count; i++)
        if (s.rows[i].parent != 0xFFFF && below[s.rows[i].parent]) below[i] = true, num_moved++;
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    const std::vector<std::string> notes = lines_with(c.err, "were replaced");
    ASSERT_EQ(notes.size(), 1u) << c.err;
    EXPECT_NE(notes[0].find("every joint keeps its parent, and " + std::to_string(num_moved) +
                            " joints move"),
              std::string::npos)
        << notes[0];
    EXPECT_NEAR(largest_move_in(notes[0]), 2.0, 2e-3) << notes[0];
}

TEST(class_skeleton, counts_without_a_class_keep_their_joints_and_get_no_note) {
    for (uint16_t count : {uint16_t{2}, uint16_t{41}}) {
        conversion c = convert_fixture(foreign_rig(count));
        ASSERT_EQ(c.result, 0) << c.err;
        EXPECT_TRUE(lines_with(c.err, "were replaced").empty()) << count << c.err;
    }
}

// ---- Blender's axes

namespace {

// Bones on hierarchy parents, each child offset from its parent by step in the parent's frame.
mesh_ptr skeleton_of(const std::vector<uint16_t> &parents, const float *step) {
    scene_model scene;
    scene.name = "rig";
    for (size_t i = 0; i < parents.size(); i++) {
        scene_joint joint;
        joint.name = "b" + std::to_string(i);
        joint.parent = parents[i] == 0xFFFF ? -1 : int32_t(parents[i]);
        euler_matrix(joint.local, i ? step[0] : 0, i ? step[1] : 0, i ? step[2] : 0, 0, 0, 0);
        scene.joints.push_back(joint);
    }
    mesh_ptr mesh(create_mesh());
    testing::internal::CaptureStdout();
    const int code = build_tkm_bones(mesh.get(), scene, {merge_method::grid, "glTF", false});
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, 0);
    return mesh;
}

std::vector<uint16_t> class_parents(uint16_t count) {
    const reference_skeleton &s = *find_reference_skeleton(count);
    std::vector<uint16_t> parents;
    for (uint16_t i = 0; i < count; i++)
        parents.push_back(s.rows[i].parent);
    return parents;
}

} // namespace

TEST(class_skeleton, bones_along_their_own_y_axes_on_a_class_hierarchy_are_blenders) {
    const float along_y[3] = {0, 3, 0}, along_x[3] = {3, 0, 0}, almost_y[3] = {0.02f, 3, 0},
                off_y[3] = {0.2f, 3, 0};
    std::vector<uint16_t> chain = {0xFFFF};
    for (uint16_t i = 1; i < 52; i++)
        chain.push_back(uint16_t(i - 1));
    struct row {
        const char *what;
        std::vector<uint16_t> parents;
        const float *step;
        bool blender;
    };
    const row rows[] = {
        {"officer hierarchy along y", class_parents(52), along_y, true},
        {"female hierarchy along y", class_parents(34), along_y, true},
        {"child hierarchy along y", class_parents(40), along_y, true},
        {"within a degree of y", class_parents(37), almost_y, true}, // 0.38 degrees off
        {"four degrees off y", class_parents(37), off_y, false},     // 3.8 degrees off
        {"officer hierarchy along x (the game's axes)", class_parents(52), along_x, false},
        {"a chain of 52 along y (no class hierarchy)", chain, along_y, false},
    };
    for (const row &r : rows) {
        mesh_ptr mesh = skeleton_of(r.parents, r.step);
        EXPECT_EQ(bones_carry_blender_axes(*mesh), r.blender) << r.what;
    }
}
