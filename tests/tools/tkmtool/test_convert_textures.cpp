// SPDX-License-Identifier: MIT
// A converted model's texture images never replace a file of the user's unasked: a different file
// under an image's name is kept and the image takes the first free "stem_N" name, which the
// written TKM names; --overwrite-textures replaces instead. A write-protected target is refused.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/fixtures/gltf_import_builder.h"
#include "tests/tools/tkmtool/tkmtool_run.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

namespace gf = gltf_fixture;

// What a file beside the model holds before the conversion.
enum class held { other, image };

struct existing_file {
    std::string name;
    held content;
};

// The texture base names the TKM at path carries, in its order; empty when it cannot be read.
std::vector<std::string> texture_names_of(const std::string &path) {
    std::vector<std::string> names;
    tkm_mesh *mesh = create_mesh();
    if (mesh && read_tkm(mesh, path.c_str()) == 0)
        for (uint32_t i = 0; i < mesh->num_texture_names; i++)
            names.emplace_back(mesh->texture_names[i].base);
    release_mesh(mesh);
    return names;
}

// A one-material model whose base colour is the image named name with the given bytes.
std::vector<uint8_t> model_with_image(const std::string &name, const std::vector<uint8_t> &png) {
    gf::model m = gf::chain_model(2);
    m.images = {{name, png, "", "image/png"}};
    m.materials[0].image = 0;
    return gf::glb(gf::build(m));
}

const std::vector<uint8_t> users_file = {'m', 'i', 'n', 'e'};

TEST_F(Tkmtool, ConvertKeepsADifferentFileUnderAnImagesNameAndNamesTheNewOne) {
    struct texture_case {
        const char *label;
        std::string image;                   // the glTF image's name
        std::vector<existing_file> existing; // beside the output before the conversion
        bool overwrite;                      // --overwrite-textures
        std::string named;                   // the texture the TKM names
        std::string kept;                    // the user's file the note names; "" for no note
        bool written;                        // "Wrote texture" for the named file
        bool onto_skeleton = false; // convert --skeleton, onto the model's own bones as a TKM
    };
    const texture_case cases[] = {
        {"a free name", "skin.png", {}, false, "skin.png", "", true},
        {"a different file",
         "skin.png",
         {{"skin.png", held::other}},
         false,
         "skin_2.png",
         "skin.png",
         true},
        {"a file holding the image",
         "skin.png",
         {{"skin.png", held::image}},
         false,
         "skin.png",
         "",
         false},
        {"the first free number",
         "skin.png",
         {{"skin.png", held::other}, {"skin_2.png", held::other}},
         false,
         "skin_3.png",
         "skin.png",
         true},
        {"a numbered file holding the image",
         "skin.png",
         {{"skin.png", held::other}, {"skin_2.png", held::image}},
         false,
         "skin_2.png",
         "skin.png",
         false},
        {"--overwrite-textures",
         "skin.png",
         {{"skin.png", held::other}},
         true,
         "skin.png",
         "",
         true},
        {"a PNG the model names as a BMP",
         "swat_uniform.bmp",
         {{"swat_uniform.bmp", held::other}},
         false,
         "swat_uniform_2.bmp",
         "swat_uniform.bmp",
         true},
        {"a different file, onto a skeleton",
         "skin.png",
         {{"skin.png", held::other}},
         false,
         "skin_2.png",
         "skin.png",
         true,
         true},
        {"--overwrite-textures, onto a skeleton",
         "skin.png",
         {{"skin.png", held::other}},
         true,
         "skin.png",
         "",
         true,
         true},
        {"a name made from the output's",
         "skin",
         {{"back_skin.png", held::other}},
         false,
         "back_skin_2.png",
         "back_skin.png",
         true},
    };
    const std::vector<uint8_t> png = gf::png(2, 2, {200, 10, 30});
    for (const texture_case &c : cases) {
        SCOPED_TRACE(c.label);
        temp_dir work;
        const std::string model = work / "officer.glb";
        ASSERT_TRUE(write_fixture(model, model_with_image(c.image, png)));
        for (const existing_file &file : c.existing)
            ASSERT_TRUE(
                write_fixture(work / file.name, file.content == held::image ? png : users_file));
        std::vector<std::string> args = {"convert"};
        if (c.onto_skeleton) {
            // The game's mesh elsewhere, so that its images stay out of the way.
            std::filesystem::create_directory(work / "game");
            ASSERT_EQ(run({"convert", model, work / "game/game.tkm"}).status, 0);
            args.insert(args.end(), {"--skeleton", work / "game/game.tkm"});
        }
        if (c.overwrite) args.push_back("--overwrite-textures");
        args.insert(args.end(), {model, work / "back.tkm"});
        const run_result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;

        EXPECT_EQ(texture_names_of(work / "back.tkm"), std::vector<std::string>{c.named});
        const std::vector<unsigned char> image = read_all(work / c.named);
        if (c.image == "swat_uniform.bmp") {
            ASSERT_GE(image.size(), 2u);
            EXPECT_EQ(std::string(image.begin(), image.begin() + 2), "BM");
        } else {
            EXPECT_EQ(image, png);
        }
        for (const existing_file &file : c.existing) {
            if (file.name == c.named) continue;
            EXPECT_EQ(read_all(work / file.name), file.content == held::image ? png : users_file)
                << file.name;
        }
        const std::string note = "Kept " + work / c.kept +
                                 ", a different file: the model's image is written as " +
                                 work / c.named + "\n";
        EXPECT_EQ(r.err.find(note) != std::string::npos, !c.kept.empty()) << r.err;
        EXPECT_EQ(r.err.find("Kept "), c.kept.empty() ? std::string::npos : r.err.find(note));
        EXPECT_EQ(r.out.find("Wrote texture " + work / c.named + "\n") != std::string::npos,
                  c.written)
            << r.out;
    }
}

// A new name never takes the name another image of the same model carries.
TEST_F(Tkmtool, ARenamedImageSkipsTheNamesOfTheModelsOtherImages) {
    gf::model m = gf::chain_model(2);
    const std::vector<uint8_t> red = gf::png(1, 1, {255, 0, 0}), blue = gf::png(1, 1, {0, 0, 255});
    m.images = {{"skin.png", red, "", "image/png"}, {"skin_2.png", blue, "", "image/png"}};
    m.materials = {gf::material{"red", {1, 1, 1, 1}, false, 0},
                   gf::material{"blue", {1, 1, 1, 1}, false, 1}};
    gf::primitive second = m.primitives[0];
    second.material = 1;
    m.primitives.push_back(second);
    ASSERT_TRUE(write_fixture(dir / "two.glb", gf::glb(gf::build(m))));
    ASSERT_TRUE(write_fixture(dir / "skin.png", users_file));
    const run_result r = run({"convert", dir / "two.glb", dir / "two.tkm"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> names = texture_names_of(dir / "two.tkm");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"skin_3.png", "skin_2.png"}));
    EXPECT_EQ(read_all(dir / "skin.png"), users_file);
    EXPECT_EQ(read_all(dir / "skin_3.png"), red);
    EXPECT_EQ(read_all(dir / "skin_2.png"), blue);
}

// Every target convert writes, a mesh, its image or an animation, is refused when it has no write
// bit for anyone, and stays as it was.
TEST_F(Tkmtool, ConvertRefusesAWriteProtectedTarget) {
    gf::model m = gf::chain_model(2);
    m.images = {{"skin.png", gf::png(1, 1, {1, 2, 3}), "", "image/png"}};
    m.materials[0].image = 0;
    m.animations = 1;
    ASSERT_TRUE(write_fixture(dir / "model.glb", gf::glb(gf::build(m))));
    struct protected_case {
        const char *target; // the output named on the command line
        const char *locked; // the file with no write bit
        std::vector<std::string> options;
        std::string message;
    };
    // The image is refused only where it would be replaced: otherwise it takes a new name.
    const protected_case cases[] = {
        {"out.tkm", "out.tkm", {}, "Error writing TarvikMesh: "},
        {"out.tka", "out.tka", {}, "Error writing TarvikAnimation: "},
        {"out.tkm",
         "skin.png",
         {"--overwrite-textures"},
         "Can't write texture " + dir / "skin.png" + ": "},
    };
    for (const protected_case &c : cases) {
        SCOPED_TRACE(std::string(c.target) + ", " + c.locked + " write-protected");
        const std::string locked = dir / c.locked;
        ASSERT_TRUE(write_fixture(locked, users_file));
        ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
        std::vector<std::string> args = {"convert"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {dir / "model.glb", dir / c.target});
        const run_result r = run(args);
        const bool mesh_refused = std::string(c.target) == c.locked;
        EXPECT_EQ(r.status, mesh_refused ? 1 : 0) << r.err;
        const std::string reason = std::strerror(EACCES);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(reason, r.err.find(c.message)), std::string::npos) << r.err;
        EXPECT_EQ(read_all(locked), users_file);
        struct stat info {};
        ASSERT_EQ(stat(locked.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0444u);
        // A refused mesh writes none of the images it would have named either.
        if (mesh_refused && std::string(c.target) == "out.tkm") {
            EXPECT_FALSE(std::filesystem::exists(dir / "skin.png"));
        }
        chmod(locked.c_str(), 0644);
        std::filesystem::remove(locked);
        std::filesystem::remove(dir / c.target);
    }
}

} // namespace
