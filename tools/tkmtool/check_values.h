// SPDX-License-Identifier: MIT
// tkmtool check's look at the values of a mesh or an animation that was read whole: numbers that
// are not finite, rotations that are not unit quaternions, vertices no bone carries, counts at
// the format's limit, the class the bone count gives, and textures missing beside a TKM.
#pragma once

#include <string>

#include "check_findings.h"

struct tkm_mesh;
struct tka_animation;

// The values and structure of mesh (read from a TKM file or converted).
void check_mesh_values(const tkm_mesh &mesh, file_report *report);
// The class the mesh's bone count and attachments give (mesh.class_name set by the read).
void check_mesh_class(const tkm_mesh &mesh, file_report *report);
// Each texture name of the TKM at path that no file in its folder matches, in any letter case.
void check_textures(const tkm_mesh &mesh, const std::string &path, file_report *report);
// The bones and key rotations of animation.
void check_animation_values(const tka_animation &animation, file_report *report);
