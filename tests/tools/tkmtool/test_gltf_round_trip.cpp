// SPDX-License-Identifier: MIT
// Models through glTF and back with tkmtool: the samples exported and converted again keep their
// name, bones, grips and grippers, texture names and hit colours; where Blender 3.4 is installed,
// the same through Blender's own import and export, and a rig made in Blender converts with its
// blend weights and its grip. The distances measured are printed for the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include "tests/common/linux_only.h"
#include "tests/fixtures/mesh_loading.h"
#include "tests/tools/tkmtool/obj_files.h"
#include "tests/tools/tkmtool/posed_corners.h"
#include "tests/tools/tkmtool/tool_runner.h"
#include "tests/viewer/gltf/export/gltf_read_back.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/tka_loader.h"
#include "viewer/anim/pose.h"

namespace {

using namespace tkm_fixture;
using namespace posed_corners;
using vec3 = std::array<double, 3>;

const std::string samples = TARVIK_SAMPLES_DIR;

// An animation loaded from path for mesh; null (a failure) when it does not load.
using animation_ptr = std::unique_ptr<tka_animation, void (*)(tka_animation *)>;
animation_ptr load_animation(const std::string &path, const tkm_mesh *mesh) {
    animation_ptr animation(create_animation(), release_animation);
    const int code = load_tka(animation.get(), mesh, path.c_str());
    EXPECT_EQ(code, 0) << path;
    if (code) animation.reset();
    return animation;
}

// The skinned vertices Blender posed (blender_gltf.py pose): their bind positions, and their
// positions at each time asked for, in order.
struct blender_poses {
    std::vector<vec3> rest;
    std::vector<std::vector<vec3>> frames;
};
blender_poses read_blender_poses(const std::string &path) {
    blender_poses out;
    std::ifstream in(path);
    double time = 0, last_time = -2;
    vec3 p{};
    while (in >> time >> p[0] >> p[1] >> p[2]) {
        if (time < 0) {
            out.rest.push_back(p);
            continue;
        }
        if (time != last_time) out.frames.emplace_back();
        last_time = time;
        out.frames.back().push_back(p);
    }
    return out;
}

// The largest distance, over every frame of animation, between a vertex Blender posed and the
// mesh's corner that was nearest to it at rest, posed in the same frame.
double largest_distance_from_blender(tkm_mesh *mesh, const tka_animation *animation,
                                     const blender_poses &blender) {
    const std::vector<vec3> rest = corners_of(posed_triangles(mesh));
    std::vector<size_t> match;
    for (const vec3 &r : blender.rest)
        match.push_back(size_t(std::min_element(rest.begin(), rest.end(),
                                                [&](const vec3 &a, const vec3 &b) {
                                                    return distance(a, r) < distance(b, r);
                                                }) -
                               rest.begin()));
    EXPECT_EQ(blender.frames.size(), animation->num_frames);
    double largest = 0;
    for (uint32_t f = 0; f < std::min<size_t>(animation->num_frames, blender.frames.size()); f++) {
        const std::vector<vec3> posed = corners_of(posed_triangles(mesh, animation, int32_t(f)));
        EXPECT_EQ(blender.frames[f].size(), match.size());
        for (size_t v = 0; v < std::min(match.size(), blender.frames[f].size()); v++)
            largest = std::max(largest, distance(posed[match[v]], blender.frames[f][v]));
    }
    return largest;
}

struct GltfRoundTrip : testing::Test {
    temp_dir dir, logs;

    tool_result run(const std::vector<std::string> &args) {
        return run_tool(logs, TKMTOOL_PATH, args);
    }

    void expect_same_walk(const std::string &glb, const std::string &back, const std::string &walk);

    mesh_ptr read(const std::string &path) {
        int code = -1;
        mesh_ptr mesh = read_mesh_bytes(dir, read_all(path), &code, "read.tkm");
        EXPECT_EQ(code, 0) << path;
        return mesh;
    }

    // Checks that after holds what a TKM holds of before: name, bones, grips and grippers,
    // texture names, and the same triangles at rest with the same hit colours.
    void expect_same_model(const std::string &before_path, const std::string &after_path,
                           bool same_bone_axes) {
        mesh_ptr before = read(before_path), after = read(after_path);
        ASSERT_TRUE(before && after);
        EXPECT_EQ(text(after->name, after->name_length), text(before->name, before->name_length));
        EXPECT_STREQ(after->class_name, before->class_name);
        ASSERT_EQ(after->num_bones, before->num_bones);
        for (uint16_t b = 0; b < before->num_bones; b++) {
            EXPECT_STREQ(after->bones[b].name, before->bones[b].name) << "bone " << b;
            EXPECT_EQ(after->bones[b].parent, before->bones[b].parent) << "bone " << b;
        }
        const struct {
            const char *what;
            uint16_t before_count, after_count;
            const gripper *before_list, *after_list;
        } lists[] = {{"grip", before->num_grips, after->num_grips, before->grips, after->grips},
                     {"gripper", before->num_grippers, after->num_grippers, before->grippers,
                      after->grippers}};
        for (const auto &list : lists) {
            ASSERT_EQ(list.after_count, list.before_count) << list.what;
            for (uint16_t g = 0; g < list.before_count; g++) {
                const gripper &a = list.before_list[g], &b = list.after_list[g];
                EXPECT_EQ(text(b.name, b.name_length), text(a.name, a.name_length))
                    << list.what << " " << g;
                EXPECT_EQ(b.bone, a.bone) << list.what << " " << g;
                if (!same_bone_axes) continue;
                for (int i = 0; i < 16; i++)
                    EXPECT_NEAR(b.local[i], a.local[i], 1e-4) << list.what << " " << g << " " << i;
            }
        }
        ASSERT_EQ(after->num_texture_names, before->num_texture_names);
        for (uint16_t t = 0; t < before->num_texture_names; t++) {
            const texture_name &a = before->texture_names[t], &b = after->texture_names[t];
            EXPECT_EQ(text(b.base, b.base_length), text(a.base, a.base_length));
        }
        const auto rest_before = posed_triangles(before.get());
        const auto rest_after = posed_triangles(after.get());
        const std::vector<vec3> points = corners_of(rest_before);
        size_t hit_misses = 0;
        const double moved = triangle_distance(rest_before, rest_after, &hit_misses);
        EXPECT_LT(moved, 1e-4 * size_of(points));
        EXPECT_EQ(hit_misses, 0u);
        std::printf("[ measured ] %s: rest corners within %g (model size %g), %zu of %zu hit "
                    "colours differ\n",
                    after_path.c_str(), moved, size_of(points), hit_misses, 3 * rest_before.size());
    }
};

// ---- through glTF and back

// The walk converted from glb for the mesh back poses it as the sample walk poses the officer, in
// every frame.
void GltfRoundTrip::expect_same_walk(const std::string &glb, const std::string &back,
                                     const std::string &walk) {
    tool_result converted = run({"convert", "--mesh", back, glb, walk});
    ASSERT_EQ(converted.status, 0) << converted.err;
    mesh_ptr before = read(samples + "/SWT_Officer.tkm"), after = read(back);
    ASSERT_TRUE(before && after);
    animation_ptr original = load_animation(samples + "/SWT_Walk.tka", before.get());
    animation_ptr again = load_animation(walk, after.get());
    ASSERT_TRUE(original && again);
    ASSERT_EQ(again->num_frames, original->num_frames);
    // The same bones animated: the game plays animations over each other by that list.
    EXPECT_EQ(
        std::vector<uint16_t>(again->animated_bones, again->animated_bones + again->num_animated),
        std::vector<uint16_t>(original->animated_bones,
                              original->animated_bones + original->num_animated));
    const double size = size_of(corners_of(posed_triangles(before.get())));
    double largest = 0;
    for (uint32_t f = 0; f < original->num_frames; f++) {
        size_t hit_misses = 0;
        largest = std::max(
            largest,
            triangle_distance(posed_triangles(before.get(), original.get(), int32_t(f)),
                              posed_triangles(after.get(), again.get(), int32_t(f)), &hit_misses));
    }
    EXPECT_LT(largest, 1e-4 * size);
    std::printf("[ measured ] %s: walk posed within %g in every frame (model size %g)\n",
                walk.c_str(), largest, size);
}

TEST_F(GltfRoundTrip, ExportedSamplesConvertBackWithWhatATkmHolds) {
    const std::string officer = samples + "/SWT_Officer.tkm", rifle = samples + "/Rifle.tkm";
    const std::string walk = samples + "/SWT_Walk.tka";
    for (const std::string mode : {"attribute", "vertex-colors"})
        for (const std::string &mesh : {officer, rifle}) {
            SCOPED_TRACE(mesh + " " + mode);
            std::filesystem::create_directories(dir / mode);
            const std::string folder = dir / mode;
            const std::string glb = folder + "/model.glb", back = folder + "/back.tkm";
            std::vector<std::string> export_args = {"export-gltf", "--hit-colors=" + mode};
            if (mesh == officer) export_args.insert(export_args.end(), {"--anim", walk});
            export_args.insert(export_args.end(), {mesh, glb});
            ASSERT_EQ(run(export_args).status, 0);
            tool_result converted = run({"convert", glb, back});
            ASSERT_EQ(converted.status, 0) << converted.err;
            expect_same_model(mesh, back, true);
            if (mesh == officer) expect_same_walk(glb, back, folder + "/walk.tka");
            // The textures come back under their names, as the files their names say.
            mesh_ptr model = read(back);
            for (uint16_t t = 0; t < model->num_texture_names; t++) {
                const std::string name =
                    text(model->texture_names[t].base, model->texture_names[t].base_length);
                const std::vector<unsigned char> bytes = read_all(folder + "/" + name);
                ASSERT_GE(bytes.size(), 18u) << name;
                if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0)
                    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), "BM") << name;
                else
                    EXPECT_EQ(bytes[2], 2) << name; // an uncompressed true-colour TGA
            }
        }
}

// ---- through Blender

// The blender program, or "" when it is not installed.
std::string blender() {
    for (const char *dir : {"/usr/bin", "/usr/local/bin"}) {
        const std::string path = std::string(dir) + "/blender";
        if (std::filesystem::exists(path)) return path;
    }
    return "";
}

struct BlenderRoundTrip : GltfRoundTrip {
    std::string program = blender();

    void SetUp() override {
        // A Blender seen through Wine's view of the Linux side is no Windows program to run.
        SKIP_ON_WINDOWS("Blender is run as a Linux program");
        if (program.empty()) GTEST_SKIP() << "Blender is not installed";
    }

    // The first animation of glb converted to the TKA walk for mesh (converted from glb) poses
    // mesh within 1e-3 of the model's size of where Blender's own import of glb poses it at the
    // same times.
    void expect_poses_as_blender(const std::string &glb, const std::string &mesh_path,
                                 const std::string &walk) {
        tool_result r = run({"convert", glb, walk});
        ASSERT_EQ(r.status, 0) << r.err;
        mesh_ptr mesh = read(mesh_path);
        ASSERT_TRUE(mesh);
        animation_ptr animation = load_animation(walk, mesh.get());
        ASSERT_TRUE(animation);
        r = run_blender(
            {"pose", glb, dir / "blender_poses.txt", std::to_string(animation->num_frames)});
        ASSERT_EQ(r.status, 0) << r.err;
        const blender_poses blender = read_blender_poses(dir / "blender_poses.txt");
        ASSERT_FALSE(blender.rest.empty());
        const double size = size_of(corners_of(posed_triangles(mesh.get())));
        const double largest = largest_distance_from_blender(mesh.get(), animation.get(), blender);
        EXPECT_LT(largest, 1e-3 * size);
        std::printf("[ measured ] %s: %u frames posed within %g of Blender's (model size %g)\n",
                    walk.c_str(), unsigned{animation->num_frames}, largest, size);
    }

    tool_result run_blender(const std::vector<std::string> &args) {
        std::vector<std::string> all = {"-b", "--factory-startup", "--python",
                                        TARVIK_BLENDER_SCRIPT, "--"};
        all.insert(all.end(), args.begin(), args.end());
        return run_tool(logs, program, all);
    }
};

TEST_F(BlenderRoundTrip, AnExportWithVertexColoursComesBackFromBlender) {
    const std::string officer = samples + "/SWT_Officer.tkm", walk = samples + "/SWT_Walk.tka";
    ASSERT_EQ(run({"export-gltf", "--hit-colors=vertex-colors", "--anim", walk, officer,
                   dir / "officer.glb"})
                  .status,
              0);
    tool_result r = run_blender({"round-trip", dir / "officer.glb", dir / "blender.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"convert", dir / "blender.glb", dir / "back.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Blender turns every bone to point along its y axis: the attachments' matrices on the
    // bones change with them, and only their names and bones are compared.
    expect_same_model(officer, dir / "back.tkm", false);
    expect_poses_as_blender(dir / "blender.glb", dir / "back.tkm", dir / "walk.tka");
}

TEST_F(BlenderRoundTrip, ARigMadeInBlenderConvertsWithBlendWeightsAndItsGrip) {
    tool_result r = run_blender({"rig", dir / "rig.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"convert", dir / "rig.glb", dir / "rig.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    mesh_ptr mesh = read(dir / "rig.tkm");
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->num_bones, 2);
    EXPECT_GT(mesh->num_blends, 0);
    ASSERT_EQ(mesh->num_grips + mesh->num_grippers, 1);
    const gripper &grip = mesh->num_grips ? mesh->grips[0] : mesh->grippers[0];
    EXPECT_EQ(text(grip.name, grip.name_length), "Grip1");
    EXPECT_EQ(grip.bone, 1);
    expect_poses_as_blender(dir / "rig.glb", dir / "rig.tkm", dir / "rig.tka");
}

} // namespace
