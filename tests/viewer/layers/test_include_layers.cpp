// SPDX-License-Identifier: MIT
// The viewer's folders form a stack: no include goes up it, in the real tree, and a tree with an
// include planted the wrong way is caught.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/temp_dir.h"
#include "tests/viewer/layers/include_circles.h"
#include "tests/viewer/layers/include_layers.h"

namespace fs = std::filesystem;

namespace {

std::string listed(const std::vector<include_layers::finding> &findings) {
    std::string text;
    for (const auto &f : findings)
        text += f.file + ":" + std::to_string(f.line) + ": " + f.text + " (" + f.reason + ")\n";
    return text;
}

// A tree whose every folder of the stack holds one harmless file, plus one planted line.
void write_tree(const fs::path &root, const std::string &folder, const std::string &line) {
    for (const include_layers::layer &l : include_layers::stack) {
        fs::create_directories(root / "viewer" / l.folder);
        std::ofstream(root / "viewer" / l.folder / "plain.h")
            << "#pragma once\n#include <cstdint>\n";
    }
    std::ofstream(root / "viewer" / folder / "planted.cpp")
        << "// planted\n#include \"viewer/" << folder << "/plain.h\"\n"
        << line << "\n";
}

} // namespace

TEST(ViewerLayers, NoIncludeGoesUpTheStack) {
    const auto findings = include_layers::scan(TARVIK_SOURCE_DIR);
    EXPECT_TRUE(findings.empty()) << listed(findings);
}

TEST(ViewerLayers, TheRealTreeIsScanned) {
    // A scan that read nothing would pass the test above: each layer must hold viewer includes.
    for (const include_layers::layer &l : include_layers::stack) {
        const fs::path folder = fs::path(TARVIK_SOURCE_DIR) / "viewer" / l.folder;
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        int includes = 0;
        for (const auto &entry : fs::recursive_directory_iterator(folder)) {
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line))
                if (!include_layers::viewer_include(line).empty()) ++includes;
        }
        EXPECT_GT(includes, 0) << l.folder;
    }
}

// The order is window, textures, render, gui, app above the core; the shared record alone is open
// to every upper layer, and the core includes no header of the viewer's layers at all.
TEST(ViewerLayers, APlantedUpwardIncludeIsFound) {
    struct case_ {
        const char *folder;
        const char *line;
        bool upward;
    } cases[] = {
        {"render", "#include \"viewer/app/posing.h\"", true},
        {"render", "#include \"viewer/gui/dialog.h\"", true},
        {"render", "#  include <viewer/app/commands.h>", true},
        {"render", "#include \"viewer/app/app_state.h\"", false},
        {"render", "#include \"viewer/textures/texture_loading.h\"", false},
        {"textures", "#include \"viewer/render/redraw.h\"", true},
        {"textures", "#include \"viewer/app/app_state.h\"", false},
        {"textures", "#include \"viewer/gltf/gltf_import.h\"", false},
        {"gui", "#include \"viewer/app/commands.h\"", true},
        {"gui", "#include \"viewer/app/app_state.h\"", false},
        {"gui", "#include \"viewer/render/draw.h\"", false},
        {"app", "#include \"viewer/gui/dialog.h\"", false},
        {"app", "#include \"viewer/mesh/mesh.h\"", false},
        {"mesh", "#include \"viewer/textures/texture_list.h\"", true},
        {"scene", "#include \"viewer/gui/control_ids.h\"", true},
        {"math", "#include \"viewer/app/app_state.h\"", true},
        {"gltf", "#include \"viewer/render/draw.h\"", true},
        {"anim", "#include \"viewer/mesh/mesh.h\"", false},
        {"render", "// #include \"viewer/app/posing.h\" was here", false},
        {"gui", "#include \"viewer/tools/x.h\"", true}, // no such layer
        {"window", "#include \"viewer/textures/texture_loading.h\"", true},
        {"window", "#include \"viewer/render/draw.h\"", true},
        {"window", "#include \"viewer/gui/gui_loop.h\"", true},
        {"window", "#include \"viewer/app/input.h\"", true},
        {"window", "#include \"viewer/mesh/mesh.h\"", false},
        {"window", "#include \"viewer/math/math3d.h\"", false},
        {"textures", "#include \"viewer/window/window.h\"", false},
        {"app", "#include \"viewer/window/window_sdl.h\"", false},
        {"files", "#include \"viewer/window/window.h\"", true},
        {"ms3d", "#include \"viewer/window/keys.h\"", true},
    };
    for (const case_ &c : cases) {
        SCOPED_TRACE(std::string(c.folder) + ": " + c.line);
        temp_dir dir;
        write_tree(dir.path, c.folder, c.line);
        const auto findings = include_layers::scan(dir.path);
        ASSERT_EQ(findings.size(), c.upward ? 1u : 0u) << listed(findings);
        if (c.upward) {
            EXPECT_EQ(findings[0].file, std::string("viewer/") + c.folder + "/planted.cpp");
            EXPECT_EQ(findings[0].line, 3);
        }
    }
}

TEST(ViewerLayers, AFolderOutsideTheStackIsFound) {
    temp_dir dir;
    write_tree(dir.path, "app", "");
    fs::create_directories(dir.path / "viewer" / "sound");
    const auto findings = include_layers::scan(dir.path);
    ASSERT_EQ(findings.size(), 1u) << listed(findings);
    EXPECT_EQ(findings[0].file, "viewer/sound");
}

// The readers, the table of formats and tkmtool's loading include one another one way only.
// (viewer/scene and viewer/gltf are left out: their builders are not part of this promise.)
TEST(ViewerLayers, NoCircleAmongTheReadersFormatsAndTkmtool) {
    const std::vector<std::string> folders = {"viewer/math",  "viewer/files", "viewer/mesh",
                                              "viewer/anim",  "viewer/ms3d",  "viewer/formats",
                                              "tools/tkmtool"};
    const include_circles::unit_graph graph =
        include_circles::read_units(TARVIK_SOURCE_DIR, folders);
    EXPECT_GT(graph.with_code.size(), 40u); // the scan read the tree
    std::string circle;
    for (const std::string &unit : include_circles::find_circle(graph))
        circle += unit + " ";
    EXPECT_EQ(circle, "");
}

// Two files that include each other's headers are a circle; a file's own header is none.
TEST(ViewerLayers, APlantedCircleIsFound) {
    struct plant {
        const char *what;
        std::vector<std::pair<std::string, std::string>> files; // name, text
        bool circle;
    };
    const plant plants[] = {
        {"own header", {{"a.h", ""}, {"a.cpp", "#include \"a.h\"\n"}}, false},
        {"one way", {{"a.h", ""}, {"b.h", ""}, {"a.cpp", "#include \"b.h\"\n"}}, false},
        {"both ways",
         {{"a.h", ""},
          {"b.h", ""},
          {"a.cpp", "#include \"b.h\"\n"},
          {"b.cpp", "#include \"a.h\"\n"}},
         true},
        {"through a third",
         {{"a.cpp", "#include \"viewer/m/b.h\"\n"},
          {"b.cpp", "#include \"c.h\"\n"},
          {"c.cpp", "#include \"a.h\"\n"}},
         true},
        {"through a header without code",
         {{"a.cpp", "#include \"types.h\"\n"},
          {"types.h", "#include \"b.h\"\n"},
          {"b.cpp", "#include \"a.h\"\n"}},
         true},
        {"a header without code back to its user's header",
         {{"a.h", ""}, {"a.cpp", "#include \"types.h\"\n"}, {"types.h", "#include \"a.h\"\n"}},
         false},
    };
    for (const plant &p : plants) {
        temp_dir dir;
        fs::create_directories(dir.path / "viewer" / "m");
        for (const auto &[name, text] : p.files)
            std::ofstream(dir.path / "viewer" / "m" / name) << text;
        const auto graph = include_circles::read_units(dir.path, {"viewer/m"});
        EXPECT_EQ(!include_circles::find_circle(graph).empty(), p.circle) << p.what;
    }
}
