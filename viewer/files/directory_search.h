// SPDX-License-Identifier: MIT
// The platform's directory services behind texture discovery: entering a directory and finding
// a file name in a directory without regard to letter case. Paths and names are UTF-8.
#pragma once

#include <string>
#include <vector>

// Makes path the process's current directory; 0, or the system error number.
int enter_directory(const char *path);

// 1 when errno value means the directory does not exist (no such path, or a file in the way).
int is_missing_directory_error(int error);

// Looks in directory for an entry named name in any letter case: a file, or with want_directory
// a directory. An exact match wins; otherwise the match that sorts first, so the choice does not
// depend on the listing order. On success found holds the name as spelt on disk and the result is
// 1; otherwise 0.
int find_name_case_blind(const char *directory, const char *name, std::string &found,
                         int want_directory = 0);

// 1 when path names an existing file that is not a directory.
int is_plain_file(const char *path);
// 1 when path names an existing directory.
int is_directory(const char *path);

// ---- the system's part, behind find_name_case_blind

// Appends the names in directory, but "." and "..", to names; 0 when it cannot be listed.
int list_directory(const char *directory, std::vector<std::string> &names);
// 1 when a and b name one file to the system without regard to letter case.
int same_name_any_case(const char *a, const char *b);
// 1 when a name that opens is known to be spelt as on disk (the system's names keep their case).
int opening_tells_the_spelling();
