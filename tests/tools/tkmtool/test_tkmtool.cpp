// SPDX-License-Identifier: MIT
// tkmtool run as a program on good and bad files, and its JSON number and string forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "tarvik_version.h"
#include "json_output.h"
#include "tests/fixtures/ms3d_builder.h"
#include "tests/tools/tkmtool/tkmtool_run.h"

namespace {

TEST_F(Tkmtool, HelpAndUsageErrors) {
    run_result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("export-obj"), std::string::npos);
    EXPECT_EQ(run({}).status, 1);
    EXPECT_EQ(run({"frobnicate"}).status, 1);
    EXPECT_EQ(run({"info"}).status, 1);
    EXPECT_EQ(run({"info", "--bogus", gun}).status, 1);
    EXPECT_EQ(run({"export-obj", "--frame", "x", gun, dir / "a.obj"}).status, 1);
    EXPECT_EQ(run({"convert", gun}).status, 1);
}

TEST_F(Tkmtool, VersionAndOneCommandsUsage) {
    run_result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tkmtool ") + TARVIK_VERSION + "\n");
    // help COMMAND and COMMAND --help: that command's lines only.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"help", "render"}, {"render", "--size", "9x9", "--help"}}) {
        run_result help = run(args);
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("Usage: tkmtool render ", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--camera viewer|fit"), std::string::npos) << help.out;
        EXPECT_EQ(help.out.find("export-obj"), std::string::npos) << help.out;
    }
    run_result all = run({"help"});
    EXPECT_EQ(all.status, 0);
    for (const char *name : {"info", "convert", "export-obj", "export-gltf", "render", "thumbnail",
                             "help [COMMAND]", "--version"})
        EXPECT_NE(all.out.find(name), std::string::npos) << name;
    run_result unknown = run({"help", "frobnicate"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "tkmtool: unknown command frobnicate\nTry 'tkmtool --help'.\n");
}

TEST_F(Tkmtool, InfoSummarisesAMesh) {
    run_result r = run({"info", gun});
    EXPECT_EQ(r.status, 0);
    for (const char *line :
         {"name: gun\n", "class: weapon\n", "bones: 2\n", "vertices: 4\n", "blend vertices: 1\n",
          "triangles: 2\n", "grips: 1\n", "grippers: 0\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    run_result anim = run({"info", "--mesh", gun, swing});
    EXPECT_EQ(anim.status, 0);
    EXPECT_NE(anim.out.find("frames: 3\n"), std::string::npos);
}

TEST_F(Tkmtool, InfoJsonHoldsTheWholeMesh) {
    run_result r = run({"info", "--json", gun});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        R"({"format":"tkm","class_name":"weapon","header_word":1029,"name":"gun","declared_run_count":3,)"
        R"("bones":[{"name":"root","parent":65535,"position":[2,0,0],"rotation":[0,0,0,1]},)"
        R"({"name":"barrel","parent":0,"position":[0,1,0],"rotation":[0,0,0.70710677,0.70710677]}],)"
        R"("runs":[[0,0,2],[1,2,2]],"vertices":[[1,0,0],[0,1,0],[1,0,0],[0,0,1]],"blend_aux":1.5,)"
        R"("blends":[{"vertices":[0,1],"weights":[0.5,0.5]}],"texcoords":[[0,0],[1,0],[0,1],[1,1]],)"
        R"("corners":[[0,0,7,31744],[1,1,0,992],[2,2,0,31],[3,4,9,32767]],)"
        R"("triangles":[[0,1,2],[1,3,2]],"material_runs":[[0,0,2]],"list_aux":4,)"
        R"("triangle_lists":[[0,1]],"texture_names":[{"path":"textures\\skin.bmp","base":"skin.bmp"}],)"
        R"("materials":[{"name":"body","aux_word":3,"texture_refs":[[1,0]],"diffuse":[255,128,0],)"
        R"("ambient":[64,64,64],"specular":[10,20,30],"aux_float1":0.5,"transparency":0.25,)"
        R"("two_sided":1,"emission":50,"shininess":20,"aux_float2":0.05}],)"
        R"("grips":[{"name":"Grip1","bone":1,"local":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,5,1]}],"grippers":[]})"
        "\n");
}

TEST_F(Tkmtool, InfoJsonOfAnAnimation) {
    tka_description d = small_tka(1);
    d.header_word = 0x12;
    d.frames[0].strings = {std::string("go\0", 3)};
    write_fixture(swing, tka_bytes(d));
    run_result r = run({"info", "--json", "--mesh", gun, swing});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              R"({"format":"tka","header_word":18,"name":"swing","bones":[{"name":"root",)"
              R"("parent":65535,"animated":1},{"name":"barrel","parent":0,"animated":1}],)"
              R"("animated_bones":[0,1],"frames":[{"aux_vector1":[0,0,0],"aux_rotation":[0,0,0,1],)"
              R"("aux_vector2":[0,0,0],"strings":["go"],"rotations":[[0,0,0,1],[0,0,0,1]]}]})"
              "\n");
}

TEST_F(Tkmtool, FailuresNameTheirStage) {
    const std::string broken = broken_mesh();
    // The fixture cuts small_tkm five octets into the first vertex's position.
    const labelled_bytes whole = tkm_bytes_labelled(small_tkm());
    const long first_position = nth_octet_labelled(whole, 19, 0);
    const std::string offset = std::to_string(first_position + 5);
    const std::string explanation =
        broken + ": the file ends at octet " + offset + ", inside vertex 0 of 4, at its position";
    run_result r = run({"info", "--json", broken});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"error\": {\"stage\": \"read_tkm\", \"code\": 19, \"field\": \"position\", "
                     "\"offset\": " +
                         offset + ", \"message\": \"" + explanation + "\"}}\n");
    EXPECT_NE(r.err.find("Error loading TarvikMesh: 19\n" + explanation + "\n"), std::string::npos)
        << r.err;

    r = run({"info", broken});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Error loading TarvikMesh: 19\n" + explanation + "\n"), std::string::npos);

    r = run({"info", "--json", "--mesh", gun, gun}); // a mesh is no animation
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"error\": {\"stage\": \"load_tka\", \"code\": 1, \"field\": null, "
                     "\"offset\": null, \"message\": null}}\n");
    EXPECT_NE(r.err.find("Error loading TarvikAnimation: 1\n"), std::string::npos);

    // Messages the loader prints on standard output move aside for the JSON document.
    tka_description wider = small_tka(1);
    wider.bones.push_back(bone_description{});
    write_fixture(swing, tka_bytes(wider));
    r = run({"info", "--json", "--mesh", gun, swing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"error\": {\"stage\": \"load_tka\", \"code\": 1, \"field\": null, "
                     "\"offset\": null, \"message\": null}}\n");
    EXPECT_NE(r.err.find("Number of bones in animation (3) doesn't match mesh (2)\n"),
              std::string::npos);
    r = run({"info", "--mesh", gun, swing});
    EXPECT_NE(r.err.find("Number of bones in animation (3) doesn't match mesh (2)\n"),
              std::string::npos);

    r = run({"info", "--json", dir / "missing.MS3D"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("{\"error\": {\"stage\": \"read_ms3d\", \"code\": ", 0), 0u) << r.out;
}

// A game animation given with another mesh: every command that loads one against a mesh (those
// the Blender add-on runs, which shows standard error alone) tells the loader's sentence on
// standard error, just before the code line, and leaves standard output empty.
TEST_F(Tkmtool, BoneCountMismatchIsToldOnStandardErrorBeforeTheCode) {
    tka_description game = small_tka(1);
    game.bones.resize(52);
    const std::string walk = dir / "walk.tka";
    write_fixture(walk, tka_bytes(game));
    const std::string said = "Number of bones in animation (52) doesn't match mesh (2)\n"
                             "Error loading TarvikAnimation: 1\n";
    const std::vector<std::vector<std::string>> commands = {
        {"info", "--mesh", gun, walk},
        {"info", "--json", "--mesh", gun, walk},
        {"export-gltf", "--anim", walk, gun, dir / "out.glb"},
        {"export-obj", "--anim", walk, gun, dir / "out.obj"},
    };
    for (const auto &command : commands) {
        const run_result r = run(command);
        EXPECT_EQ(r.status, 1) << command[0];
        EXPECT_NE(r.err.find(said), std::string::npos) << command[0] << ": " << r.err;
        EXPECT_EQ(r.out.find("doesn't match"), std::string::npos) << command[0] << ": " << r.out;
        if (command[1] != "--json") {
            EXPECT_EQ(r.out, "") << command[0];
        }
    }
}

TEST_F(Tkmtool, ConvertWritesTheSameBytesAndNeverLosesTheTarget) {
    std::string out = dir / "copy.tkm";
    run_result r = run({"convert", gun, out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_all(out), read_all(gun));

    write_all(out, {'k', 'e', 'e', 'p'});
    r = run({"convert", broken_mesh(), out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(text_of_file(out), "keep");

    r = run({"convert", gun, dir / "no/such/dir/x.tkm"});
    EXPECT_EQ(r.status, 1);
    // Nothing but the files this test made is left behind.
    size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 6u); // gun, swing, broken, copy, stdout, stderr
}

TEST_F(Tkmtool, ExportObjWritesThePosedMeshAndItsMaterials) {
    std::string obj = dir / "gun.obj";
    run_result r = run({"export-obj", gun, obj});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = text_of_file(obj);
    // Rest pose: (3,0,0), (2,1,0), (2,0,0) within float rounding, then the blend vertex.
    EXPECT_NE(text.find("mtllib gun.mtl\n"), std::string::npos);
    EXPECT_NE(text.find("\nv 3 0 0\nv 2 1 0\nv 2 "), std::string::npos) << text;
    EXPECT_NE(text.find("\nv 2.5 0.5 0\nvt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\n"), std::string::npos)
        << text;
    // Only the points the faces use: stored vertex 3 (on the barrel) is drawn by no corner, and
    // the blend vertex follows as the fourth point.
    EXPECT_NE(text.find("usemtl body\nf 1/1 2/2 3/3\nf 2/2 4/4 3/3\n"), std::string::npos) << text;
    size_t points = 0;
    for (size_t at = text.find("\nv "); at != std::string::npos; at = text.find("\nv ", at + 1))
        points++;
    EXPECT_EQ(points, 4u) << text;
    std::string mtl = text_of_file(dir / "gun.mtl");
    EXPECT_NE(mtl.find("newmtl body\nKd 1 0.5019608 0\n"), std::string::npos) << mtl;
    EXPECT_NE(mtl.find("\nd 0.75\n"), std::string::npos);
    EXPECT_NE(mtl.find("\nmap_Kd skin.bmp\n"), std::string::npos);

    r = run({"export-obj", "--anim", swing, "--frame", "1", gun, obj});
    ASSERT_EQ(r.status, 0) << r.err;
    text = text_of_file(obj);
    // Frame 1 turns the root: its (1,0,0) vertex lands on (2,-1,0).
    EXPECT_NE(text.find("\nv 2 -0.99999994 0\n"), std::string::npos) << text;

    EXPECT_EQ(run({"export-obj", "--anim", swing, "--frame", "3", gun, obj}).status, 1);
    EXPECT_EQ(run({"export-obj", "--frame", "1", gun, obj}).status, 1);
    EXPECT_EQ(run({"export-obj", broken_mesh(), obj}).status, 1);
}

TEST_F(Tkmtool, MilkshapeModelsAreConvertedByTheirExtension) {
    std::string model = dir / "tri.MS3D";
    ASSERT_TRUE(write_fixture(model, ms3d_fixture::bytes(ms3d_fixture::triangle_model())));
    run_result r = run({"info", "--json", model});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(R"({"format":"tkm","class_name":"unknown","header_word":1029,)"
                          R"("name":"Milkshape",)",
                          0),
              0u)
        << r.out;
    std::string out = dir / "tri.tkm";
    r = run({"convert", model, out});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"info", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("name: Milkshape\n"), std::string::npos);
    EXPECT_NE(r.out.find("triangles: 1\n"), std::string::npos);

    // A joint hanging from a later joint cannot be converted.
    ms3d_fixture::model bad = ms3d_fixture::triangle_model();
    bad.joints.resize(2);
    bad.joints[1].name = "later";
    bad.joints[0].parent = "later";
    ASSERT_TRUE(write_fixture(model, ms3d_fixture::bytes(bad)));
    r = run({"info", "--json", model});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"error\": {\"stage\": \"convert_ms3d\", \"code\": 1, \"field\": null, "
                     "\"offset\": null, \"message\": null}}\n");

    std::vector<uint8_t> cut = ms3d_fixture::bytes(ms3d_fixture::triangle_model());
    cut.resize(20);
    ASSERT_TRUE(write_fixture(model, cut));
    r = run({"info", "--json", model});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("{\"error\": {\"stage\": \"read_ms3d\", \"code\": ", 0), 0u) << r.out;
}

TEST(JsonForms, FloatsAreShortestRoundTrips) {
    EXPECT_EQ(json_float(0.1f), "0.1");
    EXPECT_EQ(json_float(1.0f / 3.0f), "0.33333334");
    EXPECT_EQ(json_float(-2.0f), "-2");
    EXPECT_EQ(json_float(1e-45f), "1e-45");
    EXPECT_EQ(json_float(16777216.0f), "16777216");
    EXPECT_EQ(json_float(3.4028235e38f), "3.4028235e+38");
    EXPECT_EQ(json_float(std::numeric_limits<float>::quiet_NaN()), "\"nan\"");
    EXPECT_EQ(json_float(std::numeric_limits<float>::infinity()), "\"inf\"");
    EXPECT_EQ(json_float(-std::numeric_limits<float>::infinity()), "\"-inf\"");
    for (float value : {0.05f, 123.456f, 7e-20f, -0.7071068f})
        EXPECT_EQ(std::strtof(json_float(value).c_str(), nullptr), value);
}

TEST(JsonForms, StringsStopAtZeroAndEscapeOddBytes) {
    EXPECT_EQ(json_string("plain"), "\"plain\"");
    EXPECT_EQ(json_string("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(json_string("\x01\x7f\xff~ "), "\"\\u0001\\u007F\\u00FF~ \"");
    EXPECT_EQ(json_string("cut\0hidden"), "\"cut\"");
    EXPECT_EQ(json_string(nullptr), "\"\"");
}

// JSON is UTF-8 text, so names in other scripts go through as they are; octets that form no
// character (RFC 3629's ill-formed sequences) are told as the Latin-1 characters of their values.
TEST(JsonForms, WellFormedUtf8PassesAndIllFormedOctetsAreEscaped) {
    const struct {
        const char *text;
        const char *json;
    } cases[] = {
        {"J\xC3\xBCrgen", "\"J\xC3\xBCrgen\""},                       // U+00FC
        {"\xD0\x9C\xD0\xB8\xD1\x80", "\"\xD0\x9C\xD0\xB8\xD1\x80\""}, // Cyrillic
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\"\xE6\x97\xA5\xE6\x9C\xAC\""}, // Japanese
        {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},                 // U+1F600
        {"\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""},                 // U+10FFFF
        {"\xC3", "\"\\u00C3\""},                                      // cut at the end
        {"\xC3(", "\"\\u00C3(\""},                                    // no continuation
        {"\xBC", "\"\\u00BC\""},                                      // stray continuation
        {"\xC0\xAF", "\"\\u00C0\\u00AF\""},                           // overlong '/'
        {"\xE0\x80\xAF", "\"\\u00E0\\u0080\\u00AF\""},                // overlong, 3 octets
        {"\xED\xA0\x80", "\"\\u00ED\\u00A0\\u0080\""},                // a surrogate
        {"\xF4\x90\x80\x80", "\"\\u00F4\\u0090\\u0080\\u0080\""},     // past U+10FFFF
        {"\xE6\x97", "\"\\u00E6\\u0097\""},                           // cut 3-octet form
    };
    for (const auto &c : cases)
        EXPECT_EQ(json_string(c.text), c.json) << c.json;
}

} // namespace

namespace {

// A command that must fail with message on standard error and leave the target as it was.
struct failing {
    std::vector<std::string> args;
    const char *message;
};

template <class Run>
void expect_each_fails_leaving(const std::vector<failing> &cases, const std::string &target,
                               const std::vector<uint8_t> &old, Run run) {
    for (const failing &c : cases) {
        run_result r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << ": " << r.err;
        EXPECT_EQ(read_all(target), std::vector<unsigned char>(old.begin(), old.end()))
            << c.message;
    }
}

// A Milkshape chain of three joints whose middle one turns a quarter turn about z over 1.5 s;
// bad() may spoil its keys.
std::string keyed_model(const temp_dir &dir, const char *name = "arm.ms3d",
                        void (*bad)(ms3d_fixture::model &) = nullptr) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(3);
    m.joints[1].rotation_keys = {{0, {0, 0, 0}}, {1.5f, {0, 0, 1.5707964f}}};
    if (bad) bad(m);
    std::string path = dir / name;
    write_fixture(path, ms3d_fixture::bytes(m));
    return path;
}

TEST_F(Tkmtool, ConvertWritesAnAnimationAsTka) {
    const std::string model = keyed_model(dir);
    const std::string mesh = dir / "arm.tkm", tka = dir / "arm.tka";
    ASSERT_EQ(run({"convert", model, mesh}).status, 0);
    run_result r = run({"convert", model, tka});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Wrote TKA " + tka + " (16 frames)\n"), std::string::npos) << r.out;
    r = run({"info", "--mesh", mesh, tka});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("frames: 16\n"), std::string::npos);
    // The model's own skeleton and the TKM built from it are one: --mesh gives the same bytes.
    const std::string again = dir / "again.tka";
    // A Milkshape file's one animation is named after the file.
    ASSERT_EQ(run({"convert", "--mesh", mesh, "--animation", "arm", model, again}).status, 0);
    EXPECT_EQ(read_all(again), read_all(tka));
    r = run({"info", model});
    EXPECT_NE(r.out.find("animation: arm (1.50 s)\n"), std::string::npos) << r.out;
}

TEST_F(Tkmtool, AnAnimationThatCannotBeConvertedLeavesTheTarget) {
    const std::string model = keyed_model(dir);
    const std::string target = dir / "old.tka";
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    ASSERT_TRUE(write_fixture(target, old));
    std::string still = dir / "still.ms3d";
    ASSERT_TRUE(write_fixture(still, ms3d_fixture::bytes(ms3d_fixture::chain_model(3))));
    // Keys a Milkshape file may hold but no animation can play: the joint is named.
    const std::string backwards = keyed_model(dir, "backwards.ms3d", [](ms3d_fixture::model &m) {
        m.joints[1].rotation_keys[1].time = -1;
    });
    const std::string nan = keyed_model(dir, "nan.ms3d", [](ms3d_fixture::model &m) {
        m.joints[1].rotation_keys[1].value[1] = std::numeric_limits<float>::quiet_NaN();
    });
    const std::string infinite = keyed_model(dir, "inf.ms3d", [](ms3d_fixture::model &m) {
        m.joints[2].position_keys = {{0, {0, std::numeric_limits<float>::infinity(), 0}}};
    });
    const std::string late = keyed_model(dir, "late.ms3d", [](ms3d_fixture::model &m) {
        m.joints[1].rotation_keys[0].time = std::numeric_limits<float>::infinity();
    });
    const std::vector<failing> cases = {
        {{"convert", "--mesh", gun, model, target}, "No bone of the skeleton is named"},
        {{"convert", "--animation", "run", model, target}, "has no animation named 'run'"},
        {{"convert", still, target}, "has no animations"},
        {{"convert", gun, target}, "is not a model with animations"},
        {{"convert", "--mesh", gun, model, dir / "x.tkm"}, "are for an animation"},
        {{"convert", "--weights", model, target}, "--weights is for a mesh (OUT.tkm)"},
        {{"convert", backwards, target}, "rotation keys of joint 'j1' have times not increasing"},
        {{"convert", nan, target}, "rotation keys of joint 'j1' have a value that is not a finite"},
        {{"convert", infinite, target},
         "translation keys of joint 'j2' have a value that is not a finite"},
        {{"convert", late, target}, "rotation keys of joint 'j1' have a time that is not a number"},
    };
    expect_each_fails_leaving(cases, target, old, [&](const auto &args) { return run(args); });
}

} // namespace

namespace {

// A Milkshape 1.8 chain of three joints (three vertices on each) in which vertex 1 gives 40 of
// its 100 to j1 and vertex 4 gives 75 to j2; spoil() may break the extras.
ms3d_fixture::model weighted_fixture(void (*spoil)(ms3d_fixture::model &) = nullptr) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(3);
    m.extra.blocks = 4;
    m.extra.vertex_sub_version = 2; // weights out of 100
    m.extra.vertices.resize(m.vertices.size());
    // The own bone takes weights[0]; what is left of 100 goes to the third id.
    m.extra.vertices[1] = {{-1, -1, 1}, {60, 0, 0}, {0, 0}};
    m.extra.vertices[4] = {{-1, -1, 2}, {25, 0, 0}, {0, 0}};
    if (spoil) spoil(m);
    return m;
}

std::string weighted_model(const temp_dir &dir, const char *name = "weighted.ms3d",
                           void (*spoil)(ms3d_fixture::model &) = nullptr) {
    std::string path = dir / name;
    write_fixture(path, ms3d_fixture::bytes(weighted_fixture(spoil)));
    return path;
}

// The numbers of the JSON array that follows key in text, in order.
std::vector<double> json_numbers_after(const std::string &text, const std::string &key) {
    std::vector<double> numbers;
    size_t at = text.find(key);
    if (at == std::string::npos) return numbers;
    at += key.size();
    int depth = 0;
    for (; at < text.size(); at++) {
        const char c = text[at];
        if (c == '[') depth++;
        if (c == ']' && --depth == 0) break;
        if ((c >= '0' && c <= '9') || c == '-') {
            char *end = nullptr;
            numbers.push_back(std::strtod(text.c_str() + at, &end));
            at = size_t(end - text.c_str()) - 1;
        }
    }
    return numbers;
}

TEST_F(Tkmtool, MilkshapeWeightsAreKeptOnlyWithTheFlagAndCountedOtherwise) {
    const std::string model = weighted_model(dir);
    const std::string plain = dir / "plain.tkm", weighted = dir / "weighted.tkm";

    run_result r = run({"convert", model, plain});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string notice = "tkmtool: 2 vertices of " + model +
                               " have Milkshape 1.8 extra bone weights, left out (each stays on "
                               "its own bone); convert --weights keeps them\n";
    const size_t first = r.err.find(notice);
    EXPECT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(notice, first + 1), std::string::npos) << "said once: " << r.err;
    r = run({"info", plain});
    EXPECT_NE(r.out.find("blend vertices: 0\n"), std::string::npos) << r.out;

    r = run({"convert", "--weights", model, weighted});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("extra bone weights"), std::string::npos) << r.err;
    r = run({"info", weighted});
    EXPECT_NE(r.out.find("blend vertices: 2\n"), std::string::npos) << r.out;
    // The shares the file gives, heaviest first: 0.6 and 0.4, then 0.75 and 0.25 in some order.
    r = run({"info", "--json", weighted});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> shares;
    for (size_t at = r.out.find("\"weights\":"); at != std::string::npos;
         at = r.out.find("\"weights\":", at + 1)) {
        const std::vector<double> these = json_numbers_after(r.out.substr(at), "\"weights\":");
        shares.insert(shares.end(), these.begin(), these.end());
    }
    std::sort(shares.begin(), shares.end());
    const std::vector<double> expected = {0.25, 0.4, 0.6, 0.75};
    ASSERT_EQ(shares.size(), expected.size()) << r.out;
    for (size_t k = 0; k < expected.size(); k++)
        EXPECT_NEAR(shares[k], expected[k], 1.0 / 255) << k;

    // info counts them for the file itself, whichever way it would be converted.
    r = run({"info", model});
    EXPECT_NE(r.out.find("vertices with extra bone weights: 2\n"), std::string::npos) << r.out;
    // A file without extras has none, and a conversion says nothing of them.
    const std::string arm = keyed_model(dir);
    r = run({"info", arm});
    EXPECT_NE(r.out.find("vertices with extra bone weights: 0\n"), std::string::npos) << r.out;
    r = run({"convert", arm, dir / "arm.tkm"});
    EXPECT_EQ(r.err.find("extra bone weights"), std::string::npos) << r.err;
    // Every other format keeps its weights anyway: the flag is refused there.
    r = run({"convert", "--weights", gun, dir / "gun2.tkm"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--weights is for a Milkshape model (IN.ms3d)"), std::string::npos);
}

// The note a conversion gives for a Milkshape model whose optional block makes no sense.
std::string block_note(const std::string &path, const char *block, size_t octet) {
    return "Milkshape model " + path + ": its " + block +
           " block is truncated or inconsistent at octet " + std::to_string(octet) +
           "; it and the rest of the file are ignored\n";
}

// The note is on standard error, and no other line about a block.
void expect_noted_once(const std::string &err, const std::string &note) {
    EXPECT_NE(err.find(note), std::string::npos) << err;
    int lines = 0;
    for (size_t at = err.find("block is truncated"); at != std::string::npos;
         at = err.find("block is truncated", at + 1))
        lines++;
    EXPECT_EQ(lines, 1) << err;
}

// Where the writer's block (or field) marked code starts, the nth time.
size_t marked(const ms3d_fixture::writer &w, int code, int n = 0) {
    for (const ms3d_fixture::field &f : w.fields)
        if (f.code == code && n-- == 0) return f.offset;
    return 0;
}

TEST_F(Tkmtool, BadMilkshapeWeightsFailOnlyWithTheFlagAndLeaveTheTarget) {
    const std::string target = dir / "old.tkm";
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    ASSERT_TRUE(write_fixture(target, old));
    const std::string beyond = weighted_model(dir, "beyond.ms3d", [](ms3d_fixture::model &m) {
        m.extra.vertices[4].bone_ids[2] = 3; // the chain has joints 0 to 2
    });
    const std::string heavy = weighted_model(dir, "heavy.ms3d", [](ms3d_fixture::model &m) {
        m.extra.vertices[1].weights[0] = 60;
        m.extra.vertices[1].weights[1] = 41; // 101 of 100
    });
    ms3d_fixture::model two_blocks = ms3d_fixture::chain_model(3);
    two_blocks.extra.blocks = 2;
    const ms3d_fixture::writer w = ms3d_fixture::write(two_blocks);
    std::vector<uint8_t> cut = w.bytes;
    cut.resize(cut.size() - 1); // inside the last vertex's extra number
    const std::string truncated = dir / "truncated.ms3d";
    ASSERT_TRUE(write_fixture(truncated, cut));
    const std::vector<failing> cases = {
        {{"convert", "--weights", beyond, target},
         "Milkshape vertex extras: vertex 4 names a bone beyond the 3 joints"},
        {{"convert", "--weights", heavy, target},
         "Milkshape vertex extras: the weights of vertex 1 sum to more than 100"},
        {{"convert", "--weights", truncated, target},
         "Error loading Milkshape model: 58 (its vertex extras block is truncated or "
         "inconsistent)\n"},
        {{"convert", "--weights", "--skeleton", gun, heavy, target}, "sum to more than 100"},
    };
    expect_each_fails_leaving(cases, target, old, [&](const auto &args) { return run(args); });
    // Without --weights the extras are not used, so bad weights do not stop the conversion.
    run_result r = run({"convert", beyond, dir / "beyond.tkm"});
    EXPECT_EQ(r.status, 0) << r.err;
    // A cut block is left out, with one note: the last vertex's extra number starts 4 octets
    // before the block's (and the file's) end.
    r = run({"convert", truncated, dir / "truncated.tkm"});
    EXPECT_EQ(r.status, 0) << r.err;
    expect_noted_once(r.err, block_note(truncated, "vertex extras", w.bytes.size() - 4));
}

TEST_F(Tkmtool, MilkshapeBlocksAfterTheVertexExtrasDoNotStopTheWeights) {
    const auto spoil = [](ms3d_fixture::model &m) {
        m.extra.joint_sub_version = 3; // no such sub-version
    };
    const std::string odd = weighted_model(dir, "odd.ms3d", spoil);
    const ms3d_fixture::writer w = ms3d_fixture::write(weighted_fixture(spoil));
    const std::string note = block_note(odd, "joint extras", marked(w, ms3d_code_joint_extras));
    for (bool weights : {false, true}) {
        std::vector<std::string> args = {"convert", odd, dir / "odd.tkm"};
        if (weights) args.insert(args.begin() + 1, "--weights");
        const run_result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        expect_noted_once(r.err, note);
    }
    // The weights of the vertex extras before the bad block are kept.
    EXPECT_NE(run({"info", dir / "odd.tkm"}).out.find("blend vertices: 2\n"), std::string::npos);
}

// A Milkshape 1.8 file whose joint count was lowered by one, its trailer left: the last joint's
// octets are taken for a comments block, which makes no sense from where that joint starts.
TEST_F(Tkmtool, AMilkshapeJointCountLoweredUnderItsTrailerConvertsWithoutWeights) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(4);
    m.extra.blocks = 4;
    m.extra.vertices.resize(m.vertices.size());
    for (ms3d_fixture::vertex &v : m.vertices)
        if (v.bone == 3) v.bone = 2;
    ms3d_fixture::writer w = ms3d_fixture::write(m);
    const uint16_t three = 3;
    std::memcpy(&w.bytes[marked(w, ms3d_code_num_joints)], &three, 2);
    const std::string model = dir / "edited.ms3d", target = dir / "edited.tkm";
    ASSERT_TRUE(write_fixture(model, w.bytes));
    run_result r = run({"convert", model, target});
    ASSERT_EQ(r.status, 0) << r.err;
    expect_noted_once(r.err, block_note(model, "comments", marked(w, ms3d_code_joint_flags, 3)));
    r = run({"info", model});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("bones: 3\n"), std::string::npos) << r.out;
    const std::vector<uint8_t> converted = read_all(target);
    const std::vector<failing> cases = {
        {{"convert", "--weights", model, target},
         "Error loading Milkshape model: 57 (its comments block is truncated or inconsistent)\n"},
    };
    expect_each_fails_leaving(cases, target, converted,
                              [&](const auto &args) { return run(args); });
}

// Extras whose weights all fall on ids of no joint leave the vertex wholly on its own bone, as
// Milkshape shows it: --weights takes the file, and info counts only the vertices whose weights
// differ from that.
TEST_F(Tkmtool, MilkshapeWeightsOnNoJointKeepTheOwnBone) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(3);
    m.extra.blocks = 4;
    m.extra.vertex_sub_version = 2;
    m.extra.vertices.resize(m.vertices.size());
    for (ms3d_fixture::vertex_extra &x : m.extra.vertices)
        x = {{-1, -1, -1}, {0, 0, 100}, {0, 0}};              // wholly on the own bone
    m.extra.vertices[4] = {{2, -1, -1}, {0, 100, 0}, {0, 0}}; // wholly on j2 instead of j1
    m.extra.vertices[7] = {{-1, -1, 0}, {50, 0, 0}, {0, 0}};  // half on j2, half on j0
    const std::string model = dir / "ids.ms3d", weighted = dir / "ids.tkm";
    ASSERT_TRUE(write_fixture(model, ms3d_fixture::bytes(m)));
    run_result r = run({"convert", "--weights", model, weighted});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run({"info", weighted});
    EXPECT_NE(r.out.find("blend vertices: 1\n"), std::string::npos) << r.out;
    r = run({"info", model});
    EXPECT_NE(r.out.find("vertices with extra bone weights: 2\n"), std::string::npos) << r.out;
    r = run({"convert", model, dir / "plain.tkm"});
    EXPECT_NE(r.err.find("tkmtool: 2 vertices of " + model + " have Milkshape 1.8 extra bone"),
              std::string::npos)
        << r.err;
}

} // namespace

namespace {

// A Milkshape chain of two joints (j1 one unit along x) in which vertex 4, at (1, 1, 0), has lost
// its bone.
std::string loose_model(const temp_dir &dir) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(2);
    m.vertices[4].bone = -1;
    std::string path = dir / "loose.ms3d";
    write_fixture(path, ms3d_fixture::bytes(m));
    return path;
}

// A one-triangle prop without joints, none of its vertices bound.
std::string jointless_model(const temp_dir &dir) {
    ms3d_fixture::model m = ms3d_fixture::triangle_model();
    m.joints.clear();
    for (ms3d_fixture::vertex &v : m.vertices)
        v.bone = -1;
    std::string path = dir / "prop.ms3d";
    write_fixture(path, ms3d_fixture::bytes(m));
    return path;
}

TEST_F(Tkmtool, UnboundVerticesAreRefusedNamingTheOptionThatBindsThem) {
    const std::string loose = loose_model(dir), prop = jointless_model(dir);
    const std::string chain = dir / "chain.ms3d", skeleton = dir / "chain.tkm";
    ASSERT_TRUE(write_fixture(chain, ms3d_fixture::bytes(ms3d_fixture::chain_model(2))));
    ASSERT_EQ(run({"convert", chain, skeleton}).status, 0);
    const std::string target = dir / "old.tkm";
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    ASSERT_TRUE(write_fixture(target, old));
    const std::vector<failing> cases = {
        {{"convert", loose, target},
         "Not all vertices are assigned to a bone.  Can't use this model!\n"
         "1 of 6 vertices has no bone:\n"
         "  vertex 4 at (1, 1, 0), used by 1 triangle\n"
         "Give them a bone in Milkshape, or convert with 'tkmtool convert --bind-unbound "
         "nearest', which binds each to its nearest joint.\n"},
        {{"convert", prop, target},
         "Can't use this model!\nThe model has no joints: converting with 'tkmtool convert "
         "--bind-unbound nearest' gives it a root joint at the origin"},
        {{"convert", "--skeleton", skeleton, loose, target}, "--bind-unbound nearest"},
        {{"convert", "--bind-unbound", "sideways", loose, target},
         "tkmtool: --bind-unbound takes nearest, not 'sideways'\n"},
        {{"convert", "--bind-unbound", "", loose, target},
         "tkmtool: --bind-unbound takes nearest, not ''\n"},
        {{"convert", loose, target, "--bind-unbound"},
         "tkmtool: --bind-unbound needs a way to bind (nearest)\n"},
        {{"convert", "--bind-unbound", "nearest", gun, target},
         "tkmtool: --bind-unbound is for a model to convert (IN.ms3d, .gltf or .glb)\n"},
        {{"convert", "--bind-unbound", "nearest", loose, dir / "loose.tka"},
         "tkmtool: --bind-unbound is for a mesh (OUT.tkm): an animation has no vertices\n"},
    };
    expect_each_fails_leaving(cases, target, old, [&](const auto &args) { return run(args); });

    const std::string bound = dir / "bound.tkm";
    run_result r = run({"convert", "--bind-unbound", "nearest", loose, bound});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Bound 1 vertex without a bone to the nearest joint of each.\n"),
              std::string::npos)
        << r.err;
    // Vertex 4 joins its triangle's other corners on j1, nearer to it than j0: j1 carries all
    // three vertices of its triangle again, and the file reads back.
    r = run({"info", "--json", bound});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"runs\":[[0,0,3],[1,3,3]]"), std::string::npos) << r.out;

    r = run({"convert", "--bind-unbound", "nearest", prop, bound});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("made the root joint 'root' at the origin and bound the 3 vertices"),
              std::string::npos)
        << r.err;
    r = run({"info", bound});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("bones: 1\n"), std::string::npos) << r.out;

    r = run({"convert", "--bind-unbound", "nearest", "--skeleton", skeleton, loose, bound});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Bound 1 vertex"), std::string::npos) << r.err;
}

} // namespace

namespace {

// A file that cannot be opened: the system's reason after the reader's code, for every reader.
TEST_F(Tkmtool, AFileThatCannotBeOpenedSaysWhy) {
    for (const char *folder : {"folder.tkm", "folder.ms3d", "folder.tka", "folder.glb"})
        std::filesystem::create_directory(dir.path / folder);
    struct open_case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string missing = "No such file or directory", folder = "Is a directory";
    const std::vector<open_case> cases = {
        {{"info", dir / "missing.tkm"}, "Error loading TarvikMesh: 1 (" + missing + ")\n"},
        {{"info", dir / "folder.tkm"}, "Error loading TarvikMesh: 1 (" + folder + ")\n"},
        {{"info", dir / "missing.ms3d"}, "Error loading Milkshape model: 1 (" + missing + ")\n"},
        {{"info", dir / "folder.ms3d"}, "Error loading Milkshape model: 1 (" + folder + ")\n"},
        {{"info", "--mesh", gun, dir / "missing.tka"},
         "Error loading TarvikAnimation: 1 (" + missing + ")\n"},
        {{"info", "--mesh", gun, dir / "folder.tka"},
         "Error loading TarvikAnimation: 1 (" + folder + ")\n"},
        {{"info", dir / "missing.glb"},
         "Error loading glTF model: cannot open " + dir / "missing.glb" + ": " + missing + "\n"},
        {{"info", dir / "folder.glb"},
         "Error loading glTF model: cannot open " + dir / "folder.glb" + ": " + folder + "\n"},
    };
    for (const open_case &c : cases) {
        run_result r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args.back();
        EXPECT_EQ(r.err, c.err) << c.args.back();
    }
}

// The content, not the name, chooses the reader; a name that says otherwise gets a warning, and
// a file of no known format is refused before any reader sees it.
TEST_F(Tkmtool, AModelIsReadAsWhatItsBytesAre) {
    const std::string renamed = dir / "officer.dat";
    ASSERT_TRUE(write_fixture(renamed, ms3d_fixture::bytes(ms3d_fixture::chain_model(52))));
    run_result r = run({"convert", renamed, dir / "officer.tkm"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.err.rfind("Warning: " + renamed + " is a Milkshape model; its name does not say so\n", 0),
        0u)
        << r.err;

    const std::string tkm_as_glb = dir / "gun.glb";
    ASSERT_TRUE(write_fixture(tkm_as_glb, tkm_bytes(small_tkm())));
    r = run({"info", tkm_as_glb});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Warning: " + tkm_as_glb + " is a TKM model, though its name says glTF\n");

    const std::string notes = dir / "notes.txt";
    write_all(notes, {'s', 'h', 'o', 'p', 'p', 'i', 'n', 'g', ':', ' ', 'm', 'i', 'l', 'k'});
    r = run({"info", "--json", notes});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error loading model: " + notes + " is not a TKM, Milkshape or glTF model\n");
    EXPECT_EQ(r.out, "{\"error\": {\"stage\": \"read_model\", \"code\": 1, \"field\": null, "
                     "\"offset\": null, \"message\": null}}\n");
}

// The options that only a format's own content can use follow the content too, not the name.
TEST_F(Tkmtool, OptionsForOneFormatFollowTheFilesContent) {
    const std::string weighted = weighted_model(dir, "weighted.bin");
    run_result r = run({"info", weighted});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("vertices with extra bone weights: 2\n"), std::string::npos) << r.out;
    r = run({"convert", "--weights", weighted, dir / "weighted.tkm"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("--weights is for"), std::string::npos) << r.err;

    const std::string loose = loose_model(dir), loose_as_tkm = dir / "loose_model.tkm";
    std::filesystem::rename(loose, loose_as_tkm);
    r = run({"convert", "--bind-unbound", "nearest", loose_as_tkm, dir / "bound.tkm"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Bound 1 vertex without a bone"), std::string::npos) << r.err;

    const std::string tkm_as_ms3d = dir / "gun.ms3d";
    ASSERT_TRUE(write_fixture(tkm_as_ms3d, tkm_bytes(small_tkm())));
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"convert", "--weights", tkm_as_ms3d, dir / "a.tkm"},
         "tkmtool: --weights is for a Milkshape model (IN.ms3d)\n"},
        {{"convert", "--bind-unbound", "nearest", tkm_as_ms3d, dir / "b.tkm"},
         "tkmtool: --bind-unbound is for a model to convert (IN.ms3d, .gltf or .glb)\n"},
    };
    for (const auto &[args, words] : refused) {
        r = run(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_EQ(r.err.rfind(words, 0), 0u) << r.err;
    }
    r = run({"info", tkm_as_ms3d});
    EXPECT_EQ(r.out.find("extra bone weights"), std::string::npos) << r.out;
}

} // namespace
