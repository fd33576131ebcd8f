// SPDX-License-Identifier: MIT
// Files named on the viewer's command line, opened through the load commands' path-taking cores.
#include "viewer/app/open_files.h"

#include <cstring>

#include "support/memory.h"
#include "support/messages.h"
#include "viewer/app/commands.h"
#include "viewer/files/file_status.h"
#include "viewer/files/path_names.h"
#include "viewer/files/paths.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/app/command_line.h"

namespace {

bool names_a_file(const char *argument) {
    return argument[0] != '\0' && file_exists(argument) && !file_is_directory(argument);
}

// The text after the last dot of the file name (not of a directory), or "".
const char *name_extension(const command_line_file &file) {
    const char *dot = std::strrchr(file.path.c_str() + file.name_offset, '.');
    return dot ? dot + 1 : "";
}

} // namespace

std::string absolute_path(const std::string &path) {
    if (path.empty() || is_absolute_on_this_system(path))
        return path.size() < path_capacity ? path : std::string();
    const std::string here = current_directory();
    if (here.empty()) return std::string();
    std::string full = joined_path(here, path);
    return full.size() < path_capacity ? full : std::string();
}

uint16_t file_name_offset(const std::string &path) {
    const std::size_t separator = last_folder_separator(path);
    return separator == std::string::npos ? 0 : static_cast<uint16_t>(separator + 1);
}

std::vector<command_line_file> command_line_files(int argc, char **argv) {
    std::vector<command_line_file> files;
    for (int i = 1; i < argc; i++) {
        if (is_command_line_option(argv[i]) || !names_a_file(argv[i])) continue;
        std::string path = absolute_path(argv[i]);
        if (path.empty()) {
            // A file the viewer cannot name in full is told, not passed over in silence.
            real_meow("Path is too long to be loaded (at most %zu characters): %s\n",
                      path_capacity - 1, argv[i]);
            continue;
        }
        const uint16_t offset = file_name_offset(path);
        files.push_back({std::move(path), offset});
    }
    return files;
}

int32_t open_command_line_files(const std::vector<command_line_file> &files) {
    int32_t failed = 0;
    for (const command_line_file &file : files) {
        // The content decides, as for every model the viewer opens; a file whose first octets
        // tell nothing known is loaded as its name says, so that its reader explains why.
        const model_content content = sniff_model_file(file.path.c_str());
        const bool animation =
            content.animation || (!content.format && str_equiv(name_extension(file), "tka") != 0);
        const int code = animation ? load_animation_file(file.path.c_str(), file.name_offset)
                                   : load_mesh_file(file.path.c_str(), file.name_offset);
        if (code != 0) failed++;
    }
    return failed;
}
