// SPDX-License-Identifier: MIT
// The tkmtool commands, one per file; each takes the arguments after its name and returns the
// exit status (0 success, 1 failure).
#pragma once

#include <string>
#include <vector>

#include "viewer/scene/tkm_builder.h"

int command_info(const std::vector<std::string> &args);
// check's statuses: 0 no errors, 1 errors (warnings too with --werror), 2 a usage fault.
int command_check(const std::vector<std::string> &args);
int command_convert(const std::vector<std::string> &args);
// convert's TKA branch: animation name (empty: the first) of the model in, for the skeleton of the
// mesh at mesh_path (empty: the model's own, its own joints kept with own_skeleton), written to
// out.
int convert_animation(const std::string &in, const std::string &out, const std::string &mesh_path,
                      const std::string &name, bool own_skeleton = false);
// convert's --skeleton branch for a mesh: the glTF or Milkshape model in, on the bones of the TKM
// at skeleton_path (matched by name, kept byte for byte), written to out; with weights, a
// Milkshape model's extra bone weights are kept; bind_unbound as for a plain convert; with
// overwrite_textures, its images replace different files under their names.
int convert_onto_skeleton(const std::string &skeleton_path, const std::string &in,
                          const std::string &out, bool weights, unbound_binding bind_unbound,
                          bool overwrite_textures);
int command_export_obj(const std::vector<std::string> &args);
int command_export_gltf(const std::vector<std::string> &args);
int command_render(const std::vector<std::string> &args);
int command_thumbnail(const std::vector<std::string> &args);
