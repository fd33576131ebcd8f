// SPDX-License-Identifier: MIT
// tkmtool convert --skeleton: a model whose bones were turned as Blender turns them (each bone
// pointed along its own y axis, rolled about it, joints and vertices left where they stand) goes
// back onto the game's own bones, so that the game's walk poses it as it poses the original; and
// every bad input is refused with the target left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include <nlohmann/json.hpp>

#include "tests/common/linux_only.h"
#include "tests/fixtures/gltf_import_builder.h"
#include "tests/fixtures/mesh_loading.h"
#include "tests/fixtures/ms3d_builder.h"
#include "tests/tools/tkmtool/posed_corners.h"
#include "tests/tools/tkmtool/tool_runner.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/tka_loader.h"
#include "viewer/anim/pose.h"

namespace {

using json = nlohmann::json;
using mat4 = std::array<double, 16>; // column-major, translation in 12..14
using namespace posed_corners;
using tkm_fixture::mesh_ptr;

const std::string samples = TARVIK_SAMPLES_DIR;
constexpr double pi = 3.14159265358979323846;

// ---- a rigid-transform toolkit of the test's own, in double precision

mat4 identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

using gltf_fixture::multiply;
using gltf_fixture::rigid_inverse;

// glTF's node transform: translation × rotation (x y z w, p' = R p) × scale 1.
mat4 node_matrix(const json &node) {
    if (node.contains("matrix")) {
        mat4 m{};
        for (int i = 0; i < 16; i++)
            m[size_t(i)] = node["matrix"][size_t(i)].get<double>();
        return m;
    }
    const json r = node.value("rotation", json::array({0, 0, 0, 1}));
    const json t = node.value("translation", json::array({0, 0, 0}));
    const double x = r[0], y = r[1], z = r[2], w = r[3];
    mat4 m = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),     0,
              2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),     0,
              2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y), 0,
              t[0].get<double>(),      t[1].get<double>(),      t[2].get<double>(),      1};
    return m;
}

// The node's rotation and translation written back as glTF stores them.
void set_node_matrix(json &node, const mat4 &m) {
    auto at = [&](int row, int column) { return m[size_t(4 * column + row)]; };
    double x, y, z, w;
    const double trace = at(0, 0) + at(1, 1) + at(2, 2);
    if (trace > 0) {
        const double s = std::sqrt(trace + 1) * 2;
        w = s / 4, x = (at(2, 1) - at(1, 2)) / s, y = (at(0, 2) - at(2, 0)) / s,
        z = (at(1, 0) - at(0, 1)) / s;
    } else if (at(0, 0) > at(1, 1) && at(0, 0) > at(2, 2)) {
        const double s = std::sqrt(1 + at(0, 0) - at(1, 1) - at(2, 2)) * 2;
        w = (at(2, 1) - at(1, 2)) / s, x = s / 4, y = (at(0, 1) + at(1, 0)) / s,
        z = (at(0, 2) + at(2, 0)) / s;
    } else if (at(1, 1) > at(2, 2)) {
        const double s = std::sqrt(1 + at(1, 1) - at(0, 0) - at(2, 2)) * 2;
        w = (at(0, 2) - at(2, 0)) / s, x = (at(0, 1) + at(1, 0)) / s, y = s / 4,
        z = (at(1, 2) + at(2, 1)) / s;
    } else {
        const double s = std::sqrt(1 + at(2, 2) - at(0, 0) - at(1, 1)) * 2;
        w = (at(1, 0) - at(0, 1)) / s, x = (at(0, 2) + at(2, 0)) / s, y = (at(1, 2) + at(2, 1)) / s,
        z = s / 4;
    }
    node.erase("matrix");
    node["rotation"] = {x, y, z, w};
    node["translation"] = {m[12], m[13], m[14]};
}

vec3 normalized(const vec3 &v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / length, v[1] / length, v[2] / length};
}

// The rotation by angle (radians) about the unit axis, as a matrix.
mat4 axis_rotation(const vec3 &a, double angle) {
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    return {t * a[0] * a[0] + c,
            t * a[0] * a[1] + s * a[2],
            t * a[0] * a[2] - s * a[1],
            0,
            t * a[0] * a[1] - s * a[2],
            t * a[1] * a[1] + c,
            t * a[1] * a[2] + s * a[0],
            0,
            t * a[0] * a[2] + s * a[1],
            t * a[1] * a[2] - s * a[0],
            t * a[2] * a[2] + c,
            0,
            0,
            0,
            0,
            1};
}

// The shortest rotation that carries the unit vector from onto the unit vector to.
mat4 rotation_between(const vec3 &from, const vec3 &to) {
    const vec3 cross = {from[1] * to[2] - from[2] * to[1], from[2] * to[0] - from[0] * to[2],
                        from[0] * to[1] - from[1] * to[0]};
    const double dot = from[0] * to[0] + from[1] * to[1] + from[2] * to[2];
    const double sine = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
    if (sine < 1e-9) {
        if (dot > 0) return identity();
        const vec3 side = std::fabs(from[0]) < 0.9 ? vec3{1, 0, 0} : vec3{0, 1, 0};
        const vec3 axis = normalized({from[1] * side[2] - from[2] * side[1],
                                      from[2] * side[0] - from[0] * side[2],
                                      from[0] * side[1] - from[1] * side[0]});
        return axis_rotation(axis, pi);
    }
    return axis_rotation(normalized(cross), std::atan2(sine, dot));
}

// ---- Blender's turn of the bones, done to a .gltf that export-gltf wrote

// Every joint of the skin turned so that its y axis points at its children (at its parent's y
// axis for an end bone) and rolled about that axis by a different angle each, its position kept;
// every other node (grippers, the mesh, the skeleton's root) kept where it stands in the model;
// the inverse bind matrices follow; the animations and the nodes' extras dropped, as Blender's
// default export does.
void turn_bones_as_blender_does(const std::string &gltf_path) {
    json doc;
    std::ifstream(gltf_path) >> doc;
    json &nodes = doc["nodes"];
    const size_t count = nodes.size();
    std::vector<int> parent(count, -1);
    for (size_t n = 0; n < count; n++)
        for (const json &child : nodes[n].value("children", json::array()))
            parent[child.get<size_t>()] = int(n);
    std::vector<mat4> world(count);
    std::vector<bool> done(count, false);
    std::function<const mat4 &(size_t)> world_of = [&](size_t n) -> const mat4 & {
        if (!done[n]) {
            const mat4 local = node_matrix(nodes[n]);
            world[n] = parent[n] < 0 ? local : multiply(world_of(size_t(parent[n])), local);
            done[n] = true;
        }
        return world[n];
    };
    for (size_t n = 0; n < count; n++)
        world_of(n);
    const json &skin = doc["skins"][0];
    std::vector<int> joint_of_node(count, -1);
    for (size_t j = 0; j < skin["joints"].size(); j++)
        joint_of_node[skin["joints"][j].get<size_t>()] = int(j);

    // Joints in parent-first order: each turned after its parent.
    std::vector<mat4> turned = world;
    std::vector<bool> turned_done(count, false);
    std::function<void(size_t)> turn = [&](size_t n) {
        if (turned_done[n]) return;
        turned_done[n] = true;
        if (parent[n] >= 0) turn(size_t(parent[n]));
        if (joint_of_node[n] < 0) return;
        vec3 head = {world[n][12], world[n][13], world[n][14]}, sum = {0, 0, 0};
        int children = 0;
        for (const json &child : nodes[n].value("children", json::array())) {
            const size_t c = child.get<size_t>();
            if (joint_of_node[c] < 0) continue;
            for (int k = 0; k < 3; k++)
                sum[size_t(k)] += world[c][size_t(12 + k)] - head[size_t(k)];
            children++;
        }
        vec3 direction;
        if (children && std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) > 1e-6)
            direction = normalized(sum);
        else if (parent[n] >= 0 && joint_of_node[size_t(parent[n])] >= 0)
            direction = {turned[size_t(parent[n])][4], turned[size_t(parent[n])][5],
                         turned[size_t(parent[n])][6]};
        else
            direction = {world[n][4], world[n][5], world[n][6]};
        const vec3 y_axis = {world[n][4], world[n][5], world[n][6]};
        const double roll = 0.3 + 0.07 * joint_of_node[n];
        mat4 rotation =
            multiply(axis_rotation(direction, roll), rotation_between(y_axis, direction));
        rotation[12] = rotation[13] = rotation[14] = 0;
        mat4 now = multiply(rotation, world[n]);
        now[12] = world[n][12], now[13] = world[n][13], now[14] = world[n][14];
        turned[n] = now;
    };
    for (size_t n = 0; n < count; n++)
        turn(n);
    for (size_t n = 0; n < count; n++) {
        const mat4 local = parent[n] < 0
                               ? turned[n]
                               : multiply(rigid_inverse(turned[size_t(parent[n])]), turned[n]);
        set_node_matrix(nodes[n], local);
        nodes[n].erase("extras");
    }

    // Inverse bind matrices: the new joint's inverse, times what the old one carried.
    const json &accessor = doc["accessors"][skin["inverseBindMatrices"].get<size_t>()];
    const json &view = doc["bufferViews"][accessor["bufferView"].get<size_t>()];
    const std::string bin_path = (std::filesystem::path(gltf_path).parent_path() /
                                  doc["buffers"][0]["uri"].get<std::string>())
                                     .string();
    std::vector<unsigned char> bin = read_all(bin_path);
    const size_t offset =
        view.value("byteOffset", size_t{0}) + accessor.value("byteOffset", size_t{0});
    for (size_t j = 0; j < skin["joints"].size(); j++) {
        const size_t n = skin["joints"][j].get<size_t>();
        float stored[16];
        std::memcpy(stored, &bin[offset + 64 * j], sizeof stored);
        mat4 inverse_bind;
        for (int i = 0; i < 16; i++)
            inverse_bind[size_t(i)] = stored[i];
        const mat4 again = multiply(rigid_inverse(turned[n]), multiply(world[n], inverse_bind));
        for (int i = 0; i < 16; i++)
            stored[i] = float(again[size_t(i)]);
        std::memcpy(&bin[offset + 64 * j], stored, sizeof stored);
    }
    write_all(bin_path, bin);
    doc.erase("animations");
    std::ofstream(gltf_path) << doc.dump(1);
}

// ---- reading the results

// The bone records of a TKM file as they stand in it (from the bone count to the last rotation).
std::vector<unsigned char> bone_bytes(const std::vector<unsigned char> &file) {
    auto u16 = [&](size_t at) {
        return at + 2 <= file.size() ? size_t(file[at] | file[at + 1] << 8) : 0;
    };
    const size_t start = 24 + u16(22);
    size_t at = start + 2;
    for (size_t b = 0, count = u16(start); b < count && at < file.size(); b++)
        at += 4 + u16(at + 2) + 2 + 12 + 16;
    at = std::min(at, file.size());
    return std::vector<unsigned char>(file.begin() + long(std::min(start, at)),
                                      file.begin() + long(at));
}

struct SkeletonConvert : testing::Test {
    temp_dir dir, logs;

    tool_result run(const std::vector<std::string> &args) {
        return run_tool(logs, TKMTOOL_PATH, args);
    }

    mesh_ptr read(const std::string &path) {
        mesh_ptr mesh(create_mesh());
        EXPECT_EQ(read_tkm(mesh.get(), path.c_str()), 0) << path;
        return mesh;
    }

    // A three-joint chain (glTF or Milkshape, by model's extension) onto a skeleton whose bones
    // stand where its joints do but are turned.
    void expect_chain_on_skeleton(const std::string &model);

    tkm_fixture::animation_ptr walk_for(const tkm_mesh *mesh) {
        tkm_fixture::animation_ptr animation(create_animation());
        EXPECT_EQ(load_tka(animation.get(), mesh, (samples + "/SWT_Walk.tka").c_str()), 0);
        return animation;
    }

    // What a mesh put onto the officer's skeleton must keep: the officer's bone records byte for
    // byte, his grippers where they were, his texture names, and the walk must pose it as it
    // poses him, with the same hit colours.
    struct on_skeleton {
        double walked = 0, size = 0, gripper_error = 0;
    };
    on_skeleton expect_on_officer_skeleton(const std::string &path) {
        const std::string officer = samples + "/SWT_Officer.tkm";
        on_skeleton out;
        EXPECT_FALSE(bone_bytes(read_all(officer)).empty());
        EXPECT_EQ(bone_bytes(read_all(path)), bone_bytes(read_all(officer)));
        mesh_ptr before = read(officer), after = read(path);
        if (!before || !after) return out;
        EXPECT_EQ(after->num_grippers, before->num_grippers);
        EXPECT_GT(before->num_grippers, 0);
        for (uint16_t g = 0; g < before->num_grippers; g++) {
            const gripper &want = before->grippers[g];
            const gripper *got = nullptr;
            for (uint16_t h = 0; h < after->num_grippers; h++)
                if (text(after->grippers[h].name, after->grippers[h].name_length) ==
                    text(want.name, want.name_length))
                    got = &after->grippers[h];
            EXPECT_NE(got, nullptr) << want.name;
            if (!got) continue;
            EXPECT_EQ(got->bone, want.bone) << want.name;
            for (int i = 0; i < 16; i++)
                out.gripper_error =
                    std::max(out.gripper_error, double(std::fabs(got->local[i] - want.local[i])));
        }
        EXPECT_LT(out.gripper_error, 1e-4);
        EXPECT_EQ(after->num_texture_names, before->num_texture_names);
        for (uint16_t t = 0; t < std::min(before->num_texture_names, after->num_texture_names); t++)
            EXPECT_EQ(text(after->texture_names[t].base, after->texture_names[t].base_length),
                      text(before->texture_names[t].base, before->texture_names[t].base_length));
        size_t hit_misses = 0;
        out.walked = walk_distance(path, &out.size, &hit_misses);
        EXPECT_LT(out.walked, 1e-3 * out.size);
        EXPECT_EQ(hit_misses, 0u);
        return out;
    }

    // The largest angle (radians) between a bone's bind rotation in `path` and the bone of the
    // same name in `reference`; a bone missing from `path` counts as a half turn.
    double largest_bone_turn(const std::string &reference, const std::string &path) {
        mesh_ptr want = read(reference), got = read(path);
        if (!want || !got) return M_PI;
        double largest = 0;
        for (uint16_t b = 0; b < want->num_bones; b++) {
            const tkm_bone &bone = want->bones[b];
            double turn = M_PI;
            for (uint16_t c = 0; c < got->num_bones; c++) {
                const tkm_bone &other = got->bones[c];
                if (text(other.name, other.name_length) != text(bone.name, bone.name_length))
                    continue;
                double dot = 0;
                for (int i = 0; i < 4; i++)
                    dot += double(bone.rotation[i]) * other.rotation[i];
                turn = 2 * std::acos(std::min(1.0, std::fabs(dot)));
            }
            largest = std::max(largest, turn);
        }
        return largest;
    }

    // The farthest the walk poses the corners of mesh_path from where it poses the officer's, over
    // every frame; *size gets the officer's size at rest.
    double walk_distance(const std::string &mesh_path, double *size, size_t *hit_misses) {
        mesh_ptr officer = read(samples + "/SWT_Officer.tkm"), other = read(mesh_path);
        tkm_fixture::animation_ptr walk = walk_for(officer.get()), again = walk_for(other.get());
        *size = size_of(corners_of(posed_triangles(officer.get())));
        double largest = 0;
        for (uint32_t f = 0; f < walk->num_frames; f++)
            largest = std::max(
                largest, triangle_distance(posed_triangles(officer.get(), walk.get(), int32_t(f)),
                                           posed_triangles(other.get(), again.get(), int32_t(f)),
                                           hit_misses));
        return largest;
    }
};

// ---- the officer through turned bones and back

TEST_F(SkeletonConvert, TurnedBonesGoBackOntoTheGameSkeletonAndTheWalkPosesTheMeshAsTheOfficer) {
    const std::string officer = samples + "/SWT_Officer.tkm";
    const std::string turned = dir / "turned.gltf";
    tool_result r = run({"export-gltf", "--hit-colors=vertex-colors", officer, turned});
    ASSERT_EQ(r.status, 0) << r.err;
    turn_bones_as_blender_does(turned);

    // The fault this mends: the turned axes taken as the mesh's, the game's walk twists it, and
    // the conversion says so with the command that keeps the game's bones.
    r = run({"convert", turned, dir / "plain.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Warning: the 52 bones of " + turned + " are those of the officer class"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("the game's animations will twist this model"), std::string::npos);
    EXPECT_NE(r.err.find("tkmtool convert --skeleton GAME.tkm " + turned + " " +
                         std::string(dir / "plain.tkm") + "\n"),
              std::string::npos)
        << r.err;
    double size = 0;
    size_t plain_misses = 0;
    const double plain = walk_distance(dir / "plain.tkm", &size, &plain_misses);
    EXPECT_GT(plain, 1e-2 * size) << "the turn of the bones must matter to the walk";

    r = run({"convert", "--skeleton", officer, turned, dir / "back.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;

    // The officer's own axes through glTF and back: nothing to warn of.
    const std::string untouched = dir / "untouched.gltf";
    ASSERT_EQ(run({"export-gltf", officer, untouched}).status, 0);
    r = run({"convert", untouched, dir / "untouched.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("as Blender turns them"), std::string::npos) << r.err;

    const on_skeleton measured = expect_on_officer_skeleton(dir / "back.tkm");
    std::printf("[ measured ] turned bones: the walk poses the mesh converted onto the officer's "
                "skeleton within %g of the officer in every frame (model size %g; %g without "
                "--skeleton); grippers' local matrices within %g\n",
                measured.walked, measured.size, plain, measured.gripper_error);
}

// Blender's own glTF import and export with its default settings, then convert --skeleton.
TEST_F(SkeletonConvert, ThroughBlendersOwnGltfImportAndExportTheGameSkeletonComesBack) {
    SKIP_ON_WINDOWS("Blender is run as a Linux program");
    const std::string program = "/usr/bin/blender";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "Blender is not installed";
    const std::string officer = samples + "/SWT_Officer.tkm";
    tool_result r = run({"export-gltf", "--hit-colors=vertex-colors", "--anim",
                         samples + "/SWT_Walk.tka", officer, dir / "officer.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_tool(logs, program,
                 {"-b", "--factory-startup", "--python", TARVIK_BLENDER_SCRIPT, "--", "round-trip",
                  dir / "officer.glb", dir / "blender.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Blender 3.4 gives the bones back turned to point at their children, and its axes taken as
    // the mesh's make the game's walk twist it; Blender 4 gives back the bones' own axes, and then
    // the plain conversion must not twist it either.
    r = run({"convert", dir / "blender.glb", dir / "plain.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    const double turn = largest_bone_turn(samples + "/SWT_Officer.tkm", dir / "plain.tkm");
    double size = 0;
    size_t plain_misses = 0;
    const double plain = walk_distance(dir / "plain.tkm", &size, &plain_misses);
    // The warning goes with the twist: said where Blender turned the bones, not otherwise.
    const bool warned = r.err.find("as Blender turns them") != std::string::npos;
    if (turn > 1e-3) {
        EXPECT_GT(plain, 1e-2 * size) << "bones turned by up to " << turn << " rad";
        EXPECT_TRUE(warned) << r.err;
    } else {
        EXPECT_LT(plain, 1e-3 * size) << "bones turned by up to " << turn << " rad";
        EXPECT_FALSE(warned) << r.err;
    }
    r = run({"convert", "--skeleton", officer, dir / "blender.glb", dir / "back.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
    const on_skeleton measured = expect_on_officer_skeleton(dir / "back.tkm");
    std::printf("[ measured ] through Blender's own glTF import and export: the walk poses the "
                "mesh converted onto the officer's skeleton within %g of the officer in every "
                "frame (model size %g; %g without --skeleton, bones turned by up to %g rad); "
                "grippers' local matrices within %g\n",
                measured.walked, measured.size, plain, turn, measured.gripper_error);
}

TEST_F(SkeletonConvert, AnAnimationOutTakesTheSkeletonAsItsMesh) {
    const std::string officer = samples + "/SWT_Officer.tkm";
    ASSERT_EQ(
        run({"export-gltf", "--anim", samples + "/SWT_Walk.tka", officer, dir / "o.glb"}).status,
        0);
    tool_result a = run({"convert", "--skeleton", officer, dir / "o.glb", dir / "a.tka"});
    ASSERT_EQ(a.status, 0) << a.err;
    tool_result b = run({"convert", "--mesh", officer, dir / "o.glb", dir / "b.tka"});
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(read_all(dir / "a.tka"), read_all(dir / "b.tka"));
    EXPECT_EQ(
        run({"convert", "--mesh", officer, "--skeleton", officer, dir / "o.glb", dir / "c.tka"})
            .status,
        1);
}

// ---- small models built in code

// A chain of joints j0, j1, ... one unit apart along x, three vertices on each.
std::vector<uint8_t> chain_glb(const std::vector<std::string> &names) {
    gltf_fixture::model m = gltf_fixture::chain_model(int(names.size()));
    for (size_t i = 0; i < names.size(); i++)
        m.joints[i].name = names[i];
    return gltf_fixture::glb(gltf_fixture::build(m));
}

// A skeleton of bones named names, each turned half about z against its parent (so that its axes
// are not the chain's), placed one unit apart along x in the model like the chain's joints; the
// last one last_x from its parent instead.
std::vector<uint8_t> chain_skeleton(const std::vector<std::string> &names, float last_x = 1) {
    tkm_fixture::tkm_description d;
    d.name = "skeleton";
    for (size_t i = 0; i < names.size(); i++) {
        tkm_fixture::bone_description bone;
        bone.name = names[i];
        bone.parent = i ? uint16_t(i - 1) : uint16_t{0xFFFF};
        // Under a parent turned an odd number of halves, the model's +x is the bone's -x.
        const float step = i + 1 == names.size() ? last_x : 1.0f;
        bone.position = {i == 0 ? 0.0f : i % 2 ? -step : step, 0, 0};
        bone.rotation = {0, 0, 1, 0};
        d.bones.push_back(bone);
    }
    return tkm_fixture::tkm_bytes(d);
}

// The same chain as a Milkshape model.
std::vector<uint8_t> chain_ms3d(const std::vector<std::string> &names) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(uint16_t(names.size()));
    for (size_t i = 0; i < names.size(); i++) {
        m.joints[i].name = names[i];
        if (i) m.joints[i].parent = names[i - 1];
    }
    return ms3d_fixture::bytes(m);
}

TEST_F(SkeletonConvert, VerticesKeepTheirPlaceOnTheSkeletonsOwnAxes) {
    for (const char *model : {"chain.glb", "chain.ms3d"}) {
        SCOPED_TRACE(model);
        expect_chain_on_skeleton(model);
    }
}

void SkeletonConvert::expect_chain_on_skeleton(const std::string &model) {
    write_all(dir / "chain.glb", chain_glb({"j0", "j1", "j2"}));
    write_all(dir / "chain.ms3d", chain_ms3d({"j0", "j1", "j2"}));
    write_all(dir / "skeleton.tkm", chain_skeleton({"j0", "j1", "j2"}));
    tool_result r =
        run({"convert", "--skeleton", dir / "skeleton.tkm", dir / model, dir / "out.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Warning"), std::string::npos) << r.err;
    EXPECT_EQ(bone_bytes(read_all(dir / "out.tkm")), bone_bytes(read_all(dir / "skeleton.tkm")));
    // Each vertex stored relative to its bone: the bone's stored pose, rebuilt here from the
    // quarter turns, carries it back to where the glTF put it.
    mesh_ptr mesh = read(dir / "out.tkm");
    ASSERT_TRUE(mesh);
    const gltf_fixture::model m = gltf_fixture::chain_model(3);
    std::vector<mat4> bone_world;
    for (int i = 0; i < 3; i++) {
        mat4 local = axis_rotation({0, 0, 1}, pi);
        const tkm_bone &bone = mesh->bones[i];
        local[12] = bone.position[0], local[13] = bone.position[1], local[14] = bone.position[2];
        bone_world.push_back(i ? multiply(bone_world.back(), local) : local);
    }
    ASSERT_EQ(mesh->num_vertices, 9);
    std::vector<vec3> placed;
    for (uint16_t v = 0; v < mesh->num_vertices; v++) {
        const float *p = &mesh->vertices[v].local[12];
        const mat4 &w = bone_world[mesh->vertices[v].bone];
        placed.push_back({w[0] * p[0] + w[4] * p[1] + w[8] * p[2] + w[12],
                          w[1] * p[0] + w[5] * p[1] + w[9] * p[2] + w[13],
                          w[2] * p[0] + w[6] * p[1] + w[10] * p[2] + w[14]});
    }
    for (const gltf_fixture::vertex &v : m.primitives[0].vertices) {
        double nearest = INFINITY;
        for (const vec3 &p : placed)
            nearest = std::min(nearest, distance(p, {v.x, v.y, v.z}));
        EXPECT_LT(nearest, 1e-5) << v.x << " " << v.y << " " << v.z;
    }
}

TEST_F(SkeletonConvert, AJointAwayFromItsBoneIsReportedWithItsDistanceAndTheConversionGoesOn) {
    write_all(dir / "chain.glb", chain_glb({"j0", "j1", "j2"}));
    write_all(dir / "skeleton.tkm", chain_skeleton({"j0", "j1", "j2"}, 1.5f));
    tool_result r =
        run({"convert", "--skeleton", dir / "skeleton.tkm", dir / "chain.glb", dir / "out.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Warning: joint 'j2' stands 0.5 units"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("'j1'"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "out.tkm"));
}

// Each bad input: exit 1, a message that names the fault, and the target as it was.
TEST_F(SkeletonConvert, BadInputIsRefusedByNameAndTheTargetIsLeftAlone) {
    tkm_fixture::tkm_description broken = tkm_fixture::small_tkm();
    broken.runs[0].bone = 9; // a run on a bone the file does not have
    tkm_fixture::tkm_description repeated = tkm_fixture::small_tkm();
    repeated.bones[1].name = "root";
    const std::vector<uint8_t> not_a_tkm = {'h', 'e', 'l', 'l', 'o', '\n'};
    const struct {
        const char *what;
        std::vector<uint8_t> skeleton, model;
        const char *model_name;
        const char *message;
    } cases[] = {
        {"not a TKM", not_a_tkm, chain_glb({"j0", "j1"}), "m.glb", "is not a TKM"},
        {"a broken TKM", tkm_fixture::tkm_bytes(broken), chain_glb({"j0", "j1"}), "m.glb",
         "Error loading TarvikMesh: 13"},
        {"repeated bone names", tkm_fixture::tkm_bytes(repeated), chain_glb({"root", "barrel"}),
         "m.glb", "both named 'root'"},
        {"repeated joint names", chain_skeleton({"j0", "j1"}), chain_glb({"j0", "j0"}), "m.glb",
         "a repeated name"},
        {"an empty joint name", chain_skeleton({"j0", "j1"}), chain_glb({"j0", ""}), "m.glb",
         "no name"},
        {"repeated Milkshape joint names", chain_skeleton({"j0", "j1"}), chain_ms3d({"j0", "j0"}),
         "m.ms3d", "both named 'j0'"},
        {"a Milkshape joint the skeleton lacks", chain_skeleton({"j0", "j1"}),
         chain_ms3d({"j0", "j1", "j2"}), "m.ms3d", "Joint 'j2'"},
        {"a joint the skeleton lacks", chain_skeleton({"j0", "j1"}), chain_glb({"j0", "j1", "j2"}),
         "m.glb", "Joint 'j2'"},
        {"a bone the model lacks", chain_skeleton({"j0", "j1", "j2"}), chain_glb({"j0", "j1"}),
         "m.glb", "Bone 'j2'"},
        {"a TKM as the model", chain_skeleton({"j0", "j1"}), chain_skeleton({"j0", "j1"}), "m.tkm",
         "takes a glTF or Milkshape model"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        write_all(dir / "skeleton.tkm", c.skeleton);
        write_all(dir / c.model_name, c.model);
        const std::vector<unsigned char> kept = {'k', 'e', 'p', 't'};
        write_all(dir / "out.tkm", kept);
        tool_result r = run(
            {"convert", "--skeleton", dir / "skeleton.tkm", dir / c.model_name, dir / "out.tkm"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(read_all(dir / "out.tkm"), kept);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                                std::filesystem::directory_iterator()),
                  3);
        std::filesystem::remove(dir / c.model_name);
    }
}

} // namespace
