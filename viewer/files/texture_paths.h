// SPDX-License-Identifier: MIT
// Path pieces for finding texture images: absolute-path test, bounded joining, the case-blind
// search of a directory, and stored game paths (written with '\') turned into paths that open here.
#pragma once

#include <cstddef>
#include <cstdint>

// Result codes of find_texture_file.
enum find_texture_result : int32_t {
    texture_found = 0,
    texture_null_directory = 1,
    texture_null_name = 2,
    texture_directory_unusable = 3,
    texture_not_there = 4,
    texture_path_too_long = 5, // directory and found name do not fit the buffer (reported)
};

// 1 when path starts with '\' or '/', or with a drive letter, ':' and a separator; else 0
// (also for null and empty).
int32_t is_absolute_path(const char *path);

// buffer (capacity characters with the terminator) = directory + '/' + name, or name alone when it
// is absolute or directory is null or empty; "" for a null name. Returns buffer, or null when the
// result does not fit (buffer then holds "" and the refusal is reported on standard error).
char *join_path(char *buffer, std::size_t capacity, const char *directory, const char *name);

// Makes directory ("." when empty) current, then looks there for name regardless of letter case.
// On texture_found, buffer (capacity characters) holds directory (or ".") joined with the name as
// it is spelt on disk. The current directory stays changed once entered.
int32_t find_texture_file(const char *directory, const char *name, char *buffer,
                          std::size_t capacity);

// A path stored in a game file ('\' separators, any letter case) as a path for this system:
// separators become '/', and when that does not name an existing file each component is looked
// up regardless of letter case, from the current directory or from '/'. buffer receives the
// resolved path, or the path with its separators converted when nothing matched. 0, or 1 when the
// path does not fit the buffer (buffer then holds "").
int32_t resolve_stored_path(const char *stored, char *buffer, std::size_t capacity);
