// SPDX-License-Identifier: MIT
// The commands that bring meshes and animations into the viewer and save the character mesh.
#pragma once

#include <cstdint>
#include <string>

struct tkm_mesh;

// Mesh window "Load" and key m: chooses a TKM or Milkshape file and makes it the character mesh,
// or the weapon mesh when it has grips. A failed load keeps every mesh and animation as they were.
void load_mesh_command();
// Loads the model file at path as the mesh command loads a chosen one (name_offset: where the
// file name starts within path). 0 when it became the character or weapon mesh; otherwise
// non-zero, with the reason printed and every mesh and animation kept.
int load_mesh_file(const char *path, uint16_t name_offset);
// Animation window "Load" and key n: chooses a TKA file and makes it the character's animation.
// Without a character mesh only the chooser's directory is remembered.
void load_animation_command();
// Loads the TKA file at path against the character mesh as the animation command loads a chosen
// one. 0 when it became the animation; otherwise non-zero (the loader's code where it failed)
// and the current animation stays.
int load_animation_file(const char *path, uint16_t name_offset);
// Mesh window "Save": the character mesh, or the weapon when no character is loaded ("No mesh
// loaded!" without either), is written under a chosen name by save_mesh_file. Refused with a
// message when that mesh was removed or replaced while the chooser was open.
void save_mesh_command();
// Writes mesh as a TKM file through a scratch file that replaces path in one step once complete,
// so the old file stays whole until then. A target that is write-protected is kept and refused
// with the failure notice. 0 when written; otherwise non-zero, reported with the system's reason
// where there is one, with the target as it was and nothing else left beside it.
int save_mesh_file(const tkm_mesh *mesh, const char *path);

// Releases the character and weapon meshes and their animations that app_state owns and clears
// those fields. The viewer keeps them to the end of the process; tools and tests that load models
// through the commands call this, with the GL context that holds the textures still current.
void release_models();

// ---- test seam: the modal notice of a failed write

// Shows text in a modal notice titled caption.
using notice_fn = void (*)(const char *text, const char *caption);
// Replaces the message box of a failed save with notice (null restores the message box).
void set_save_notice_hook(notice_fn notice);
