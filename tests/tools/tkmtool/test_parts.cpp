// SPDX-License-Identifier: MIT
// tkmtool's layering: the program loads no display, GUI or image library at start-up, the model
// code includes no header of the layers above it, and a command whose part cannot be loaded says
// which Debian package brings it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "tests/fixtures/gltf_import_builder.h"
#include "tests/tools/tkmtool/tkmtool_run.h"

namespace fs = std::filesystem;

TEST_F(Tkmtool, LoadsNoDisplayGuiOrImageLibraryAtStartUp) {
    run_result r = run_tool(dir, "ldd", {TKMTOOL_PATH});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_NE(r.out.find("libc.so"), std::string::npos) << r.out;
    const std::regex display(R"(lib(gtk-3|gdk-3|SDL|OSMesa|GL|IL|X11|xcb)[^ ]*\.so)");
    std::smatch found;
    EXPECT_FALSE(std::regex_search(r.out, found, display)) << found.str() << " in\n" << r.out;
}

TEST(ModelCode, IncludesNoHeaderOfTheLayersAbove) {
    const std::regex upward(
        R"re(#\s*include\s*["<](viewer/(app|render|textures|gui)/|GL/|SDL|gtk/|IL/|X11/))re");
    int files = 0;
    for (const char *part : {"mesh", "anim", "ms3d", "gltf", "scene", "formats", "math", "files"}) {
        const fs::path directory = fs::path(TARVIK_SOURCE_DIR) / "viewer" / part;
        ASSERT_TRUE(fs::is_directory(directory)) << directory;
        for (const auto &entry : fs::recursive_directory_iterator(directory)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number)
                EXPECT_FALSE(std::regex_search(line, upward))
                    << entry.path().string() << ":" << number << ": " << line;
            ++files;
        }
    }
    EXPECT_GT(files, 20);
}

// tkmtool copied into a directory of its own, where its parts are not beside it.
struct TkmtoolWithoutParts : Tkmtool {
    std::string alone;
    void SetUp() override {
        Tkmtool::SetUp();
        if (fs::exists(fs::path(TARVIK_PARTS_DIR) / "tarvik_drawing.so"))
            GTEST_SKIP() << "tkmtool's parts are installed in " << TARVIK_PARTS_DIR;
        fs::create_directory(dir / "alone");
        alone = dir / "alone/tkmtool";
        fs::copy_file(TKMTOOL_PATH, alone);
    }
};

TEST_F(TkmtoolWithoutParts, ACommandNeedingAPartNamesThePackageAndFails) {
    struct case_ {
        std::vector<std::string> args;
        const char *message;
        const char *out;
    } cases[] = {
        {{"render", gun, dir / "gun.png"},
         "tkmtool: render needs OSMesa to draw without a "
         "display: install the Debian package libosmesa6 (",
         "gun.png"},
        {{"thumbnail", gun, dir / "thumb.png"},
         "tkmtool: thumbnail needs OSMesa to draw without "
         "a display: install the Debian package libosmesa6 (",
         "thumb.png"},
    };
    for (const case_ &c : cases) {
        run_result r = run_tool(dir, alone, c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
        EXPECT_FALSE(fs::exists(dir / c.out)) << c.out;
    }
}

TEST_F(TkmtoolWithoutParts, CommandsOfTheModelAloneNeedNoPart) {
    EXPECT_EQ(run_tool(dir, alone, {"info", gun}).status, 0);
    EXPECT_EQ(run_tool(dir, alone, {"convert", gun, dir / "copy.tkm"}).status, 0);
    EXPECT_EQ(run_tool(dir, alone, {"export-obj", "--anim", swing, gun, dir / "gun.obj"}).status,
              0);
    EXPECT_TRUE(fs::exists(dir / "gun.obj"));
    // The gun names a texture: its export reads it with the image code compiled in.
    const run_result r = run_tool(dir, alone, {"export-gltf", gun, dir / "gun.glb"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "gun.glb"));
}

// A glTF model's images go beside the converted mesh without any part: as they are when they
// already are what their names say, and a PNG the mesh names "skin.bmp" encoded as a BMP.
TEST_F(TkmtoolWithoutParts, ConvertWritesEveryImageInItsNamedFormatWithoutAPart) {
    namespace gf = gltf_fixture;
    for (const char *name : {"skin", "skin.bmp"}) {
        SCOPED_TRACE(name);
        gf::model m = gf::chain_model(2);
        m.images = {{name, gf::png(1, 1, {9, 8, 7}), "", "image/png"}};
        m.materials[0].image = 0;
        const std::vector<uint8_t> glb = gf::glb(gf::build(m));
        ASSERT_TRUE(write_fixture(dir / "model.glb", glb));
        const bool changes_format = std::string(name) == "skin.bmp";
        const std::string image = dir / (changes_format ? "skin.bmp" : "back_skin.png");
        run_result r = run_tool(dir, alone, {"convert", dir / "model.glb", dir / "back.tkm"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::exists(dir / "back.tkm"));
        const std::vector<unsigned char> bytes = read_all(image);
        // The signatures of the formats (BMP "BM", PNG "\x89PNG").
        const std::string magic = changes_format ? "BM" : "\x89PNG";
        ASSERT_GE(bytes.size(), magic.size()) << image;
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + long(magic.size())), magic) << image;
        EXPECT_EQ(r.err.find("cannot be converted"), std::string::npos) << r.err;
        fs::remove(dir / "back.tkm");
    }
}
