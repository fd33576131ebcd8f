// SPDX-License-Identifier: MIT
// Names made from a path for the user to read: an animation named after its file, images named
// after the mesh they are written beside; and the folder a path names, for files beside it.
#pragma once

#include <string>

// The file name of path without its directory ('/' or '\\') and its last extension; a name
// whose only dot leads it (".hidden") keeps it. "" for a path that ends in a separator.
std::string stem_of(const std::string &path);

// The folder a file is in: path's text before the file name without the separator that ends it;
// "" for a bare name (the current directory), the separator alone for a file in the root ("/").
// The name starts at name_offset when the caller knows it (a file chooser tells it), else after
// last_folder_separator; an offset beyond the path is a bare name.
std::string directory_of(const std::string &path, std::size_t name_offset = std::string::npos);

// Where the folder part of a path given on this system ends: its last '/', and on Windows its
// last '\\' too (on Linux a backslash is a letter of a file name); npos when there is none.
std::size_t last_folder_separator(const std::string &path);

// Whether path, given on this system (a command line), names its file without the current
// directory: it begins with '/' or, on Windows,
// with a drive and a separator ("C:\\"), a '\\' (a UNC share, a drive's root) or a '/'.
// (A path stored in a model file is read alike on every system: texture_paths.h's
// is_absolute_path.)
bool is_absolute_on_this_system(const std::string &path);

// name in folder, joined by one '/': none when folder is empty (the current directory) or already
// ends in a separator of this system (a root such as "/" or, on Windows, "C:\\"), so that a
// message never shows "C:\\t4\\/model.glb".
std::string joined_path(const std::string &folder, const std::string &name);
