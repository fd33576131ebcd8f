// SPDX-License-Identifier: MIT
// tkmtool export-gltf run as a program: the samples, a converted Milkshape model and a character
// with blend vertices, read back and posed at every frame against export-obj at that frame; the
// Khronos validator on every kind of output; usage errors and failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/fixtures/mesh_loading.h"
#include "tests/fixtures/ms3d_builder.h"
#include "tests/tools/tkmtool/obj_files.h"
#include "tests/tools/tkmtool/tool_runner.h"
#include "tests/viewer/gltf/export/character_fixture.h"
#include "tests/viewer/gltf/export/gltf_read_back.h"

namespace {

namespace rb = gltf_read_back;
using namespace character_fixture;

const std::string samples = TARVIK_SAMPLES_DIR;

double distance(const rb::vec3 &a, const rb::vec3 &b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

struct ExportGltf : testing::Test {
    temp_dir dir, logs;

    tool_result run(const std::vector<std::string> &args) {
        return run_tool(logs, TKMTOOL_PATH, args);
    }

    // The mesh as the tool reads it: a TKM file, or a Milkshape model converted.
    tkm_fixture::mesh_ptr read_mesh(const std::string &path) {
        std::string tkm = path;
        if (path.size() > 5 && path.compare(path.size() - 5, 5, ".ms3d") == 0) {
            tkm = dir / "converted.tkm";
            EXPECT_EQ(run({"convert", path, tkm}).status, 0);
        }
        tkm_fixture::mesh_ptr mesh(create_mesh());
        EXPECT_EQ(read_tkm(mesh.get(), tkm.c_str()), 0) << tkm;
        return mesh;
    }

    // Exports mesh_path with the animation (if any) to out, reads it back, and checks that the
    // skin posed at every frame puts every stored vertex, and every blend vertex not listed in
    // unmatched, where export-obj puts it in that frame. Returns the read-back document.
    tinygltf::Model export_and_follow(const std::string &mesh_path, const std::string &animation,
                                      const std::string &out,
                                      const std::vector<int> &unmatched = {}) {
        std::vector<std::string> args = {"export-gltf"};
        if (!animation.empty()) args.insert(args.end(), {"--anim", animation});
        args.insert(args.end(), {mesh_path, out});
        tool_result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        // The last line; a converter's progress lines may come before it.
        std::string wrote = "Wrote glTF " + out + "\n";
        EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), wrote.size())), wrote);
        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string error, warning;
        bool binary = out.compare(out.size() - 4, 4, ".glb") == 0;
        bool loaded = binary ? loader.LoadBinaryFromFile(&model, &error, &warning, out)
                             : loader.LoadASCIIFromFile(&model, &error, &warning, out);
        EXPECT_TRUE(loaded) << error;
        if (!loaded) return model;
        tkm_fixture::mesh_ptr mesh = read_mesh(mesh_path);
        std::vector<int> source = rb::tkm_vertex_of(model, *mesh);
        int frames = 1;
        if (!animation.empty()) {
            const tinygltf::AnimationSampler &sampler = model.animations[0].samplers.at(0);
            frames = int(model.accessors.at(size_t(sampler.input)).count);
        }
        for (int k = 0; k < frames; ++k) {
            std::string obj = dir / "frame.obj";
            std::vector<std::string> obj_args = {"export-obj", "--frame", std::to_string(k)};
            if (!animation.empty()) obj_args.insert(obj_args.end(), {"--anim", animation});
            obj_args.insert(obj_args.end(), {mesh_path, obj});
            const tool_result posed = run(obj_args);
            EXPECT_EQ(posed.status, 0) << posed.err;
            if (posed.status != 0) continue; // no frame to compare with
            std::vector<rb::vec3> expected = obj_vertices(obj);
            const std::vector<long> point = obj_points_of_vertices(obj, *mesh);
            // Every point is one the faces use, each once.
            EXPECT_EQ(expected.size(), size_t(std::count_if(point.begin(), point.end(),
                                                            [](long p) { return p >= 0; })));
            std::vector<rb::vec3> skinned = rb::skinned_positions(
                model, animation.empty() ? nullptr : &model.animations[0], size_t(k));
            for (size_t g = 0; g < skinned.size(); ++g) {
                int vertex = source[g];
                if (vertex >= mesh->num_vertices &&
                    std::find(unmatched.begin(), unmatched.end(), vertex - mesh->num_vertices) !=
                        unmatched.end())
                    continue;
                // A stored vertex that only makes up blend vertices is drawn by no face: it is
                // followed through the blend vertices it makes up.
                if (point.at(size_t(vertex)) < 0) continue;
                EXPECT_LT(distance(skinned[g], expected.at(size_t(point[size_t(vertex)]))), 1e-4)
                    << out << " vertex " << vertex << " frame " << k;
            }
        }
        std::remove((dir / "frame.obj").c_str());
        std::remove((dir / "frame.mtl").c_str());
        return model;
    }

    std::string write_character(const character &c) {
        std::string path = dir / "trooper.tkm";
        EXPECT_TRUE(tkm_fixture::write_fixture(path, tkm_fixture::tkm_bytes(c.mesh)));
        EXPECT_TRUE(tkm_fixture::write_fixture(dir / "walk.tka",
                                               tkm_fixture::tka_bytes(character_animation(c, 6))));
        return path;
    }

    std::string write_milkshape() {
        std::string path = dir / "chain.ms3d";
        EXPECT_TRUE(
            tkm_fixture::write_fixture(path, ms3d_fixture::bytes(ms3d_fixture::chain_model(52))));
        return path;
    }
};

TEST_F(ExportGltf, TheOfficerWalksAsExportObjPosesHimInEveryFrame) {
    tinygltf::Model model = export_and_follow(samples + "/SWT_Officer.tkm",
                                              samples + "/SWT_Walk.tka", dir / "officer.glb");
    ASSERT_EQ(model.animations.size(), 1u);
    EXPECT_EQ(model.animations[0].name, "SWT_Walk");
    EXPECT_EQ(model.skins.at(0).joints.size(), 52u);
    EXPECT_EQ(model.images.size(), 2u) << "the uniform (BMP) and the face (TGA), embedded";
    for (const tinygltf::Image &image : model.images) {
        EXPECT_EQ(image.mimeType, "image/png");
        EXPECT_GT(image.width, 0);
    }
    size_t grippers = 0;
    for (const tinygltf::Node &node : model.nodes)
        grippers += node.extras.Has("tarvik_attachment");
    EXPECT_EQ(grippers, 3u);
}

TEST_F(ExportGltf, TheRifleGoesOutAsTextWithItsBinaryAndTextureBeside) {
    tinygltf::Model model = export_and_follow(samples + "/Rifle.tkm", "", dir / "rifle.gltf");
    EXPECT_TRUE(std::filesystem::exists(dir / "rifle.bin"));
    EXPECT_TRUE(std::filesystem::exists(dir / "swat_rifle.png"));
    ASSERT_EQ(model.images.size(), 1u);
    EXPECT_EQ(model.images[0].uri, "swat_rifle.png");
    size_t grips = 0;
    for (const tinygltf::Node &node : model.nodes)
        grips += node.extras.Has("tarvik_attachment") &&
                 node.extras.Get("tarvik_attachment").Get<std::string>() == "grip";
    EXPECT_EQ(grips, 2u);
}

TEST_F(ExportGltf, BlendVerticesFollowWhereASkinCanAndTheRestIsReported) {
    character trooper = build_character();
    std::string mesh = write_character(trooper);
    export_and_follow(mesh, dir / "walk.tka", dir / "trooper.glb", trooper.unmatched_blends);
    tool_result r = run({"export-gltf", "--anim", dir / "walk.tka", mesh, dir / "again.glb"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("tkmtool: 3 blend vertices cannot be followed exactly by a glTF skin"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("tkmtool: the glTF skin places vertices up to "), std::string::npos);
    EXPECT_NE(r.err.find(" of walk)\n"), std::string::npos) << r.err;
}

TEST_F(ExportGltf, ConvertedMilkshapeModelsExportWithTheirDefaultGrippers) {
    std::string model_path = write_milkshape();
    tinygltf::Model model = export_and_follow(model_path, "", dir / "chain.glb");
    EXPECT_EQ(model.skins.at(0).joints.size(), 52u);
    size_t grippers = 0;
    for (const tinygltf::Node &node : model.nodes)
        grippers += node.extras.Has("tarvik_attachment");
    EXPECT_GT(grippers, 0u) << "an officer's default grippers";
    // The officer's walk fits any 52-bone skeleton, whatever its hierarchy.
    export_and_follow(model_path, samples + "/SWT_Walk.tka", dir / "chain_walk.glb");
}

TEST_F(ExportGltf, UsageErrorsAndFailuresLeaveNoFiles) {
    character trooper = build_character();
    std::string mesh = write_character(trooper);
    const std::vector<std::vector<std::string>> usage = {
        {"export-gltf"},
        {"export-gltf", mesh},
        {"export-gltf", mesh, dir / "out.obj"},
        {"export-gltf", mesh, dir / ".glb"},
        {"export-gltf", "--anim"},
        {"export-gltf", "--frame", "1", mesh, dir / "out.glb"},
        {"export-gltf", "--hit-colors=rainbow", mesh, dir / "out.glb"},
        {"export-gltf", mesh, dir / "out.glb", "--hit-colors"},
    };
    for (const auto &args : usage) {
        tool_result r = run(args);
        EXPECT_EQ(r.status, 1) << args.size();
        EXPECT_NE(r.err.find("Try 'tkmtool --help'."), std::string::npos) << r.err;
    }
    tool_result r = run({"--help"});
    EXPECT_NE(r.out.find("  export-gltf [--anim ANIM]... [--hit-colors=attribute|vertex-colors] "
                         "MESH\n              OUT.glb|OUT.gltf\n"),
              std::string::npos)
        << r.out;
    r = run({"export-gltf", "--hit-colors=rainbow", mesh, dir / "out.glb"});
    EXPECT_NE(r.err.find("--hit-colors takes attribute or vertex-colors"), std::string::npos)
        << r.err;
    r = run({"export-gltf", dir / "none.tkm", dir / "out.glb"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error loading TarvikMesh: 1 (No such file or directory)\n"),
              std::string::npos)
        << r.err;
    r = run({"export-gltf", "--anim", mesh, mesh, dir / "out.glb"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error loading TarvikAnimation: 1\n"), std::string::npos) << r.err;
    tkm_fixture::write_fixture(dir / "still.tka",
                               tkm_fixture::tka_bytes(character_animation(trooper, 0)));
    r = run({"export-gltf", "--anim", dir / "still.tka", mesh, dir / "out.glb"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("still.tka has no frames\nError loading TarvikAnimation: 17\n"),
              std::string::npos)
        << r.err;
    r = run({"export-gltf", mesh, dir / "no/such/dir/out.glb"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tkmtool: cannot export " + dir / "no/such/dir/out.glb" + ": "),
              std::string::npos)
        << r.err;
    // A mesh the format cannot hold keeps the file it was to replace.
    write_all(dir / "kept.glb", {'o', 'l', 'd'});
    character broken = build_character();
    broken.mesh.vertices[0][0] = std::numeric_limits<float>::quiet_NaN();
    tkm_fixture::write_fixture(dir / "broken.tkm", tkm_fixture::tkm_bytes(broken.mesh));
    r = run({"export-gltf", dir / "broken.tkm", dir / "kept.glb"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the rest position of vertex 0 is not a finite number"), std::string::npos)
        << r.err;
    EXPECT_EQ(text_of_file(dir / "kept.glb"), "old");
    size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 5u); // trooper.tkm, walk.tka, still.tka, broken.tkm, kept.glb
}

TEST_F(ExportGltf, AMissingTextureIsReportedAndTheExportGoesOn) {
    character trooper = build_character(); // its texture is not beside it
    std::string mesh = write_character(trooper);
    tool_result r = run({"export-gltf", mesh, dir / "plain.gltf"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Can't load texture \"Skin.BMP\": its materials keep their colours\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "plain.gltf"));
    EXPECT_TRUE(std::filesystem::exists(dir / "plain.bin"));
}

// Hit colours go out as the custom attribute by default, and as COLOR_0 (the same colour on every
// corner) when asked for; then no corner shares its vertex, since Blender 3.4's exporter looks a
// corner's colour up by its vertex.
TEST_F(ExportGltf, HitColoursGoOutAsTheirAttributeOrAsVertexColours) {
    const std::string rifle = samples + "/Rifle.tkm";
    struct row {
        std::vector<std::string> options;
        const char *present, *absent;
    };
    const row rows[] = {{{}, "_HIT_COLOR", "COLOR_0"},
                        {{"--hit-colors=attribute"}, "_HIT_COLOR", "COLOR_0"},
                        {{"--hit-colors=vertex-colors"}, "COLOR_0", "_HIT_COLOR"}};
    std::vector<float> first; // every corner's colour, primitive by primitive
    for (const row &r : rows) {
        std::vector<std::string> args = {"export-gltf"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        args.insert(args.end(), {rifle, dir / "rifle.glb"});
        ASSERT_EQ(run(args).status, 0);
        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string error, warning;
        ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warning, dir / "rifle.glb"))
            << error;
        std::vector<float> corners;
        size_t shared = 0;
        for (const tinygltf::Primitive &primitive : model.meshes.at(0).primitives) {
            EXPECT_EQ(primitive.attributes.count(r.present), 1u) << r.present;
            EXPECT_EQ(primitive.attributes.count(r.absent), 0u) << r.absent;
            const std::vector<float> colours =
                rb::floats(model, primitive.attributes.at(r.present));
            const std::vector<uint32_t> indices = rb::integers(model, primitive.indices);
            for (uint32_t i : indices)
                corners.insert(corners.end(), colours.begin() + 3 * i, colours.begin() + 3 * i + 3);
            shared += indices.size() - std::set<uint32_t>(indices.begin(), indices.end()).size();
        }
        if (first.empty()) first = corners;
        EXPECT_EQ(corners, first) << r.present;
        EXPECT_TRUE(std::any_of(corners.begin(), corners.end(), [](float v) { return v > 0; }));
        if (std::string(r.present) == "COLOR_0") {
            EXPECT_EQ(shared, 0u);
        }
    }
}

// A model exported and converted back shows the same triangles, wound the same way, with the
// same texture coordinates on the same images.
TEST_F(ExportGltf, ExportedModelsConvertBackWithTheSameTrianglesAndTextures) {
    const std::string officer = samples + "/SWT_Officer.tkm";
    ASSERT_EQ(run({"export-gltf", officer, dir / "officer.glb"}).status, 0);
    ASSERT_EQ(run({"convert", dir / "officer.glb", dir / "back.tkm"}).status, 0);
    ASSERT_EQ(run({"export-obj", officer, dir / "before.obj"}).status, 0);
    ASSERT_EQ(run({"export-obj", dir / "back.tkm", dir / "after.obj"}).status, 0);
    std::vector<std::array<obj_corner, 3>> before = obj_triangles(dir / "before.obj");
    std::vector<std::array<obj_corner, 3>> after = obj_triangles(dir / "after.obj");
    ASSERT_EQ(before.size(), after.size());
    auto same = [](const std::array<obj_corner, 3> &a, const std::array<obj_corner, 3> &b) {
        for (int turn = 0; turn < 3; ++turn) {
            bool all = true;
            for (int k = 0; k < 3 && all; ++k)
                for (int c = 0; c < 5 && all; ++c)
                    all = std::fabs(a[size_t(k)][size_t(c)] -
                                    b[size_t((k + turn) % 3)][size_t(c)]) < 1e-4;
            if (all) return true;
        }
        return false;
    };
    for (const auto &triangle : before)
        EXPECT_TRUE(std::any_of(after.begin(), after.end(),
                                [&](const auto &other) { return same(triangle, other); }))
            << "a triangle at " << triangle[0][0] << " " << triangle[0][1] << " " << triangle[0][2];
}

// Bones come back by name and parent; their bind pose too, except where the bone count is a
// character class's, whose conversion puts in the game's reference skeleton instead.
TEST_F(ExportGltf, ExportedSkeletonsConvertBack) {
    character trooper = build_character();
    struct row {
        std::string mesh;
        bool same_pose;
    };
    const row rows[] = {{write_character(trooper), true},
                        {samples + "/Rifle.tkm", true},
                        {samples + "/SWT_Officer.tkm", false}};
    for (const row &r : rows) {
        SCOPED_TRACE(r.mesh);
        ASSERT_EQ(run({"export-gltf", r.mesh, dir / "out.glb"}).status, 0);
        ASSERT_EQ(run({"convert", dir / "out.glb", dir / "back.tkm"}).status, 0);
        int code = -1;
        mesh_ptr before = read_mesh_bytes(dir, read_all(r.mesh), &code, "before.tkm");
        ASSERT_EQ(code, 0);
        mesh_ptr after = read_mesh_bytes(dir, read_all(dir / "back.tkm"), &code, "after.tkm");
        ASSERT_EQ(code, 0);
        ASSERT_EQ(before->num_bones, after->num_bones);
        for (uint16_t i = 0; i < before->num_bones; ++i) {
            const tkm_bone &a = before->bones[i], &b = after->bones[i];
            EXPECT_STREQ(a.name, b.name) << "bone " << i;
            EXPECT_EQ(a.parent, b.parent) << "bone " << i;
            if (!r.same_pose) continue;
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(a.position[k], b.position[k], 1e-4) << "bone " << i;
            // q and -q are one rotation.
            float sign = a.rotation[0] * b.rotation[0] + a.rotation[1] * b.rotation[1] +
                                     a.rotation[2] * b.rotation[2] + a.rotation[3] * b.rotation[3] <
                                 0
                             ? -1.0f
                             : 1.0f;
            for (int k = 0; k < 4; ++k)
                EXPECT_NEAR(a.rotation[k], sign * b.rotation[k], 1e-4) << "bone " << i;
        }
    }
}

// The Khronos glTF Validator (npm package gltf-validator, run with node) finds no errors in any
// kind of output. Skipped where node or the package is missing, unless the environment asks
// for it (the Makefile does once it has installed the package).
TEST_F(ExportGltf, TheKhronosValidatorFindsNoErrors) {
    std::string node = TARVIK_NODE;
    std::string validator = std::string(TARVIK_GLTF_VALIDATOR_DIR) + "/validate.js";
    bool installed = std::filesystem::exists(std::string(TARVIK_GLTF_VALIDATOR_DIR) +
                                             "/node_modules/gltf-validator/package.json");
    if (node.empty() || !installed) {
        const char *required = std::getenv("TARVIK_REQUIRE_GLTF_VALIDATOR");
        if (required && *required && std::string(required) != "0")
            FAIL() << "the glTF validator is missing: run npm ci in " TARVIK_GLTF_VALIDATOR_DIR;
        GTEST_SKIP() << "node or the gltf-validator package is missing";
    }
    character trooper = build_character();
    std::string trooper_mesh = write_character(trooper);
    std::string chain = write_milkshape();
    const std::vector<std::vector<std::string>> exports = {
        {"--anim", samples + "/SWT_Walk.tka", samples + "/SWT_Officer.tkm", dir / "officer.glb"},
        {"--anim", samples + "/SWT_Walk.tka", samples + "/SWT_Officer.tkm", dir / "officer.gltf"},
        {samples + "/Rifle.tkm", dir / "rifle.glb"},
        {samples + "/Rifle.tkm", dir / "rifle.gltf"},
        {"--anim", dir / "walk.tka", trooper_mesh, dir / "trooper.glb"},
        {chain, dir / "chain.gltf"},
        {"--anim", samples + "/SWT_Walk.tka", chain, dir / "chain.glb"},
        {"--hit-colors=vertex-colors", "--anim", samples + "/SWT_Walk.tka",
         samples + "/SWT_Officer.tkm", dir / "officer-colours.glb"},
        {"--hit-colors", "vertex-colors", samples + "/Rifle.tkm", dir / "rifle-colours.gltf"},
    };
    std::vector<std::string> outputs;
    for (std::vector<std::string> args : exports) {
        outputs.push_back(args.back());
        args.insert(args.begin(), "export-gltf");
        tool_result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::vector<std::string> command = {validator};
    command.insert(command.end(), outputs.begin(), outputs.end());
    tool_result r = run_tool(logs, node, command);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const std::string &output : outputs)
        EXPECT_NE(r.out.find(output + ": 0 errors, 0 warnings"), std::string::npos) << r.out;
}

} // namespace
