// SPDX-License-Identifier: MIT
// The checks tkmtool check makes of one file, by what its content is (TKM, TKA, Milkshape,
// glTF). Nothing is written: a
// Milkshape or glTF model is converted in memory only, its images named but not written.
#pragma once

#include <string>
#include <vector>

#include "check_findings.h"
#include "check_walk.h"

enum checked_kind : int {
    checked_nothing,   // skipped, unreadable or refused
    checked_mesh,      // a TKM, or a model converted into one
    checked_animation, // a TKA
};

// One file's findings, and the skeleton it offers the pairing of animations with meshes.
struct checked_file {
    file_report report;
    int kind = checked_nothing;
    std::vector<std::string> bone_names;
};

// Checks the file (or reports the folder) of item. Safe to run on several threads at once.
checked_file check_item_file(const check_item &item);
