// SPDX-License-Identifier: MIT
// Which meshes each animation tkmtool check found can play on: those in its own folder whose
// skeleton it carries (a TKA file holds its bones with their names).
#pragma once

#include <vector>

#include "check_models.h"

// Adds to each animation of files an ANIMATION_FITS naming the meshes in its own folder whose
// skeleton it fits (same bone count, same names in order), or an ANIMATION_FITS_NO_MESH that says
// why the nearest does not.
void pair_animations(std::vector<checked_file> &files);
