// SPDX-License-Identifier: MIT
// Files named on the viewer's command line: which arguments they are, and loading them in order
// as the load commands load a chosen file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One file to open: its path as a chooser would give it, and where the file name starts in it.
struct command_line_file {
    std::string path;         // absolute, since loading textures changes the working directory
    uint16_t name_offset = 0; // offset of the file name within path
};

// The arguments after the program name that are files, in the order given: not one of the
// viewer's options, and naming something that exists and is not a directory. Every other argument
// is ignored, as before.
std::vector<command_line_file> command_line_files(int argc, char **argv);

// Loads each file as the load commands load a chosen one: a name ending in .tka (any capitals) as
// the character's animation (nothing without a character mesh), anything else as a mesh, the
// weapon when it has grips. Each failure is reported as the commands report it and the rest still
// load. Returns the number of files that did not load.
int32_t open_command_line_files(const std::vector<command_line_file> &files);

// path made absolute against the working directory, without resolving links or "..", so the
// textures are looked for beside the file as the user named it; "" when the working directory
// is unknown or the result would not fit a path buffer.
std::string absolute_path(const std::string &path);

// Where the file name starts in path: just after its last '/'.
uint16_t file_name_offset(const std::string &path);
