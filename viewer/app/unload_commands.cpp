// SPDX-License-Identifier: MIT
// Removing meshes and animations, and the reset to the rest pose.
#include "viewer/app/unload_commands.h"

#include "support/messages.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/posing.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/mesh/mesh.h"

void remove_mesh(tkm_mesh *mesh) {
    if (mesh) release_mesh(mesh);
    show_mesh_fields(nullptr, nullptr);
}

void remove_mesh_command() {
    if (app_state.mesh) {
        remove_mesh(app_state.mesh);
        app_state.mesh = nullptr;
        app_state.mesh_file_name.clear();
    } else if (app_state.weapon_mesh) {
        // A weapon's rest pose belongs to it alone; a character's animation outlives its mesh.
        remove_mesh(app_state.weapon_mesh);
        app_state.weapon_mesh = nullptr;
        app_state.weapon_file_name.clear();
        release_animation(app_state.weapon_animation);
        app_state.weapon_animation = nullptr;
    } else {
        remove_mesh(nullptr);
        return;
    }
    app_state.mesh_changes++;
    show_current_mesh();
}

void clear_animation(tka_animation *animation) {
    if (animation) release_animation(animation);
    app_state.current_frame = 0;
    app_state.animation_file_name.clear();
    clear_animation_fields();
}

void reset_animation_command() {
    if (!app_state.mesh) return;
    tka_animation *rest = create_animation();
    if (!rest || build_rest_pose(app_state.mesh, rest) != 0) {
        // Keep what is there rather than leave the mesh without any pose.
        real_meow("Can't build the rest pose: out of memory!\n");
        release_animation(rest);
        return;
    }
    clear_animation(app_state.animation);
    app_state.animation = rest;
}
