// SPDX-License-Identifier: MIT
// The commands that take models off the screen: remove a mesh, clear the animation, and put the
// character back into its rest pose.
#pragma once

struct tkm_mesh;
struct tka_animation;

// Releases mesh (may be null) and empties the mesh window's fields; the caller clears its pointer.
void remove_mesh(tkm_mesh *mesh);
// Mesh window "Remove": takes the character mesh off the screen, or the weapon (with its rest
// pose) when no character is loaded; the window then shows what is left.
void remove_mesh_command();
// Releases animation (may be null), sets current_frame to 0, forgets its file name and empties
// the animation fields; the caller clears its pointer.
void clear_animation(tka_animation *animation);
// Animation window "Reset": the character's animation gives way to its rest pose; nothing
// without a character mesh, and the animation stays when the pose cannot be built.
void reset_animation_command();
