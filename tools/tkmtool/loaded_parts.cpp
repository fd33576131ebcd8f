// SPDX-License-Identifier: MIT
// tkmtool's optional parts as modules, loaded on first use: found beside the program (the build
// tree) or in the installed parts directory. A part that cannot be loaded names the Debian
// package that brings its library.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "parts.h"
#include "support/library.h"
#include "viewer/files/directory_search.h"

namespace {

// One loadable part: its file, the library it exists for, and where that library comes from.
struct part {
    const char *file;
    const char *need;    // what a user is told the command needs
    const char *package; // the Debian package to install
};

constexpr part drawing_part = {"tarvik_drawing.so", "OSMesa to draw without a display",
                               "libosmesa6"};
constexpr part image_part = {"tarvik_images.so", "DevIL to read textures", "libdevil1c2"};

// The directory this program lies in, or "" when the system does not say.
std::string program_directory() {
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0 || static_cast<size_t>(length) >= path.size() - 1) return {};
    std::string whole(path.data(), static_cast<size_t>(length));
    return whole.substr(0, whole.find_last_of('/'));
}

// The part's entry point, loading it on first use; null with the reason printed when it cannot
// be loaded. command names the command for the message.
void *entry_point(const part &wanted, const char *entry, const char *command) {
    // Beside the program in the build tree; in an installed tree, the parts directory relative
    // to the program (any prefix), then where this build was to be installed.
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
        const char *reason = dlerror();
        std::fprintf(stderr, "tkmtool: %s needs %s: install the Debian package %s (%s)\n", command,
                     wanted.need, wanted.package,
                     reason ? reason : ("cannot load " + path).c_str());
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

gltf_image_reader image_reader() {
    auto source = reinterpret_cast<image_reader_source>(
        entry_point(image_part, image_entry_point, "export-gltf"));
    return source ? source() : nullptr;
}

scene_image_encoder image_encoder(const char *command) {
    auto source = reinterpret_cast<image_encoder_source>(
        entry_point(image_part, encoder_entry_point, command));
    return source ? source() : nullptr;
}
