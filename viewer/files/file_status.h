// SPDX-License-Identifier: MIT
// What the file system says about a path, for the viewer's commands: whether something is there,
// whether it is a folder, whether it may be replaced, and the working directory. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <string>

// 1 when something (a file, a folder) exists at path, else 0.
int32_t file_exists(const char *path);
// 1 when path names a folder, else 0.
int32_t file_is_directory(const char *path);
// 0 when nothing is at path or it may be written; else why it may not be, as an errno value
// (EACCES for a file marked read-only for everyone, which counts as protected even for an
// administrator).
int32_t file_write_refusal(const char *path);
// The working directory, or "" when it cannot be told.
std::string current_directory();
