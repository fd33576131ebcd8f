// SPDX-License-Identifier: MIT
// Wavefront OBJ export of a posed mesh, with its MTL file beside it.
#pragma once

#include <string>

struct tkm_mesh;

// The MTL path that goes with obj_path: its extension replaced by "mtl" (or ".mtl" appended).
std::string mtl_path_for(const std::string &obj_path);

// Writes the posed mesh (vertices' world matrices must be set) to obj_path and its materials to
// mtl_path_for(obj_path), each through a scratch file that replaces the target only when
// complete. 0 on success; otherwise 1 and *error says what failed.
int export_obj(const tkm_mesh &mesh, const std::string &obj_path, std::string *error);
