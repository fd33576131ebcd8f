// SPDX-License-Identifier: MIT
// The viewer's posing: app_state's frame in use, and frame stepping.
#include "viewer/app/posing.h"

#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/gui/tool_windows.h"

int build_rest_pose(const tkm_mesh *mesh, tka_animation *animation) {
    app_state.rest_pose_animation = 1;
    return fill_rest_pose(mesh, animation);
}

int32_t frame_in_use(const tkm_mesh *mesh, const tka_animation *animation) {
    return checked_frame(animation,
                         (mesh && mesh == app_state.weapon_mesh) ? 0 : app_state.current_frame);
}

void pose_mesh(tkm_mesh *mesh, const tka_animation *animation) {
    pose_mesh_positions(mesh, animation, nullptr);
}

void pose_mesh_positions(tkm_mesh *mesh, const tka_animation *animation, float *positions) {
    pose_mesh_in_frame(mesh, animation, frame_in_use(mesh, animation), positions);
}

void next_frame() {
    const tka_animation *animation = app_state.animation;
    if (!animation) return;
    // A frameless animation has nothing to step through; frame 0 keeps drawing in the bind pose.
    int32_t frame = app_state.current_frame + 1;
    if (frame >= animation->num_frames || frame < 0) frame = 0;
    app_state.current_frame = frame;
    show_current_frame();
}

void previous_frame() {
    const tka_animation *animation = app_state.animation;
    if (!animation) return;
    int32_t frame = app_state.current_frame - 1;
    if (frame < 0 || frame >= animation->num_frames) frame = animation->num_frames - 1;
    if (frame < 0) frame = 0;
    app_state.current_frame = frame;
    show_current_frame();
}
