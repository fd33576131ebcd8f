// SPDX-License-Identifier: MIT
// Names made from a path for the user to read: an animation named after its file, images named
// after the mesh they are written beside.
#pragma once

#include <string>

// The file name of path without its directory ('/' or '\\') and its last extension; a name
// whose only dot leads it (".hidden") keeps it. "" for a path that ends in a separator.
std::string stem_of(const std::string &path);
