// SPDX-License-Identifier: MIT
// tkmtool's optional part as a module, loaded on first use: found beside the program (the build
// tree) or in the installed parts directory. A part that cannot be loaded names the Debian
// package that brings its library.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "parts.h"
#include "support/library.h"
#include "support/memory.h"
#include "support/platform_library.h"
#include "viewer/files/directory_search.h"

namespace {

// One loadable part: its file, the library it exists for, and where that library comes from.
struct part {
    const char *file;
    const char *need;    // what a user is told the command needs
    const char *package; // the Debian package to install
};

#ifdef _WIN32
// Beside tkmtool.exe; the system's opengl32 draws.
constexpr part drawing_part = {"tarvik_drawing.dll", "its drawing part", nullptr};
#else
constexpr part drawing_part = {"tarvik_drawing.so", "OSMesa to draw without a display",
                               "libosmesa6"};
#endif

// The directory this program lies in, or "" when the system does not say.
std::string program_directory() {
    char *directory = platform_program_directory();
    std::string found = directory ? directory : "";
    cleanup_one(directory);
    return found;
}

// The part's entry point, loading it on first use; null with the reason printed when it cannot
// be loaded. command names the command for the message.
void *entry_point(const part &wanted, const char *entry, const char *command) {
    // Beside the program in the build tree (and on Windows when installed); in an installed tree,
    // the parts directory relative to the program (any prefix), then where this build was to be
    // installed.
    const std::string program = program_directory();
    std::string path;
    for (const std::string &directory :
         {program, program + "/" TARVIK_PARTS_FROM_PROGRAM, std::string(TARVIK_PARTS_DIR)}) {
        path = directory + "/" + wanted.file;
        if (is_plain_file(path.c_str())) break;
    }
    library_handle library = load_library(path.c_str(), nullptr);
    void *function = library ? get_function(entry, library) : nullptr;
    if (!function) {
        const char *reason = platform_library_error();
        const std::string why = reason[0] ? reason : "cannot load " + path;
        if (wanted.package)
            std::fprintf(stderr, "tkmtool: %s needs %s: install the Debian package %s (%s)\n",
                         command, wanted.need, wanted.package, why.c_str());
        else
            std::fprintf(stderr, "tkmtool: %s needs %s, %s, beside the program (%s)\n", command,
                         wanted.need, wanted.file, why.c_str());
    }
    return function;
}

int run_drawing(const char *name, const std::vector<std::string> &args) {
    auto run =
        reinterpret_cast<drawing_command>(entry_point(drawing_part, drawing_entry_point, name));
    return run ? run(name, &args) : 1;
}

} // namespace

int command_render(const std::vector<std::string> &args) {
    return run_drawing("render", args);
}

int command_thumbnail(const std::vector<std::string> &args) {
    return run_drawing("thumbnail", args);
}
