// SPDX-License-Identifier: MIT
// Only platform files include platform headers: none elsewhere in the real tree, and a planted
// include in the wrong file is caught.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/temp_dir.h"
#include "tests/viewer/layers/platform_headers.h"

namespace fs = std::filesystem;

namespace {

std::string listed(const std::vector<platform_headers::finding> &findings) {
    std::string text;
    for (const auto &f : findings)
        text += f.file + ":" + std::to_string(f.line) + ": " + f.text + " (" + f.family + ")\n";
    return text;
}

} // namespace

TEST(PlatformHeaders, OnlyPlatformFilesIncludeThem) {
    const auto findings = platform_headers::scan(TARVIK_SOURCE_DIR);
    EXPECT_TRUE(findings.empty()) << listed(findings);
}

TEST(PlatformHeaders, TheRealTreeHasPlatformFiles) {
    // A scan that recognised no platform header would pass the test above.
    int platform_includes = 0;
    for (const auto &entry :
         fs::recursive_directory_iterator(fs::path(TARVIK_SOURCE_DIR) / "viewer")) {
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line))
            if (!platform_headers::family_of(line).empty()) ++platform_includes;
    }
    EXPECT_GT(platform_includes, 10);
}

TEST(PlatformHeaders, APlantedIncludeIsFound) {
    struct case_ {
        const char *file; // under viewer/
        const char *line;
        bool found;
    } cases[] = {
        {"app/startup.cpp", "#include <SDL/SDL.h>", true},
        {"app/app_state.h", "#include <SDL/SDL_syswm.h>", true},
        {"render/draw.cpp", "#  include <GL/gl.h>", false},
        {"render/draw.cpp", "#include <gtk/gtk.h>", true},
        {"gui/tool_windows.h", "#include <gdk/gdkx.h>", true},
        {"gui/gui_loop.cpp", "#include <glib-unix.h>", true},
        {"window/window.h", "#include <X11/Xlib.h>", true},
        {"window/window_sdl.cpp", "#include <SDL/SDL.h>", false},
        {"window/window_sdl.cpp", "#include <X11/Xlib.h>", false},
        {"window/window_sdl.cpp", "#include <gtk/gtk.h>", true},
        {"window/window_win32.cpp", "#include <Windows.h>", false},
        {"window/window_wgl.cpp", "#include <windows.h>", false},
        {"window/window_win32.cpp", "#include <SDL/SDL.h>", true},
        {"gui/tool_windows_gtk.cpp", "#include <gtk/gtk.h>", false},
        {"gui/tool_windows_gtk.cpp", "#include <X11/Xatom.h>", false},
        {"textures/image_devil.cpp", "#include <IL/ilut.h>", false},
        {"textures/image_stb.cpp", "#include <IL/il.h>", true},
        {"files/file_status_posix.cpp", "#include <windows.h>", true},
        {"files/file_status.h", "#include \"windows.h\"", true},
        {"render/offscreen_osmesa.cpp", "#include <GL/osmesa.h>", false},
        {"render/draw.cpp", "#include <GL/osmesa.h>", true},
        {"window/window_win32.cpp", "#include <mmsystem.h>", false},
        {"app/input.cpp", "#include <mmsystem.h>", true},
        {"app/commands.cpp", "// #include <SDL/SDL.h> was here", false},
        {"gui/sdl.cpp", "#include <SDL/SDL.h>", true}, // the name ends in no suffix
    };
    for (const case_ &c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.line);
        temp_dir dir;
        const fs::path file = dir.path / "viewer" / c.file;
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "// planted\n#include <cstdint>\n" << c.line << "\n";
        const auto findings = platform_headers::scan(dir.path);
        ASSERT_EQ(findings.size(), c.found ? 1u : 0u) << listed(findings);
        if (c.found) {
            EXPECT_EQ(findings[0].file, std::string("viewer/") + c.file);
            EXPECT_EQ(findings[0].line, 3);
        }
    }
}
