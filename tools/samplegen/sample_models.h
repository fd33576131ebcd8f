// SPDX-License-Identifier: MIT
// The sample officer, its walk, and a rifle: a plausible humanoid built from boxes, so a new
// user has something to load, animate and save.
#pragma once

#include <string>

#include "tools/samplegen/tka_writer.h"

struct tkm_mesh;

// A 52-bone officer (class "officer") with three grippers, textured with the uniform (BMP) and
// face (TGA) pictures. Release with release_mesh.
tkm_mesh *build_officer_mesh();
// A 2-bone rifle (class "weapon") with the grips "Grip1" and "Grip3", textured with a TGA.
tkm_mesh *build_rifle_mesh();
// frames frames of a walk for the officer's skeleton, carrying only the bones that move.
tka_file_record build_walk_animation(int frames);

// File names of the sample set, as the models' texture names refer to them.
inline constexpr const char *uniform_texture_file = "swat_uniform.bmp";
inline constexpr const char *face_texture_file = "swat_face.tga";
inline constexpr const char *rifle_texture_file = "swat_rifle.tga";
inline constexpr const char *background_file = "background.bmp";
inline constexpr const char *officer_file = "SWT_Officer.tkm";
inline constexpr const char *walk_file = "SWT_Walk.tka";
inline constexpr const char *rifle_file = "Rifle.tkm";
