// SPDX-License-Identifier: MIT
// What the picture shows, kept from the last frame: a frame is drawn only when it would differ.
#include "viewer/render/redraw.h"

#include <cstring>

#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"

namespace {

// Everything in app_state that the drawing reads, plus the generations of the models and of the
// changes noted by hand. Compared byte for byte: a field that changes and changes back before
// the next frame draws nothing, as nothing would be seen.
struct shown {
    const void *models[4];
    float camera[7];
    int32_t window[2];
    int32_t toggles[9];
    uint32_t mesh_primitive;
    int32_t current_frame;
    uint32_t mesh_changes;
    uint32_t model_generation;
    uint32_t background_texture;
    int32_t background_loaded;
};
// No padding, whose bytes a copy need not keep.
static_assert(sizeof(shown) == 4 * sizeof(void *) + 24 * 4);

shown now() {
    shown s{};
    const app_state_record &a = app_state;
    const float camera[7] = {a.camera_x,
                             a.camera_y,
                             a.camera_z,
                             a.camera_orientation[0],
                             a.camera_orientation[1],
                             a.camera_orientation[2],
                             a.camera_orientation[3]};
    std::memcpy(s.camera, camera, sizeof camera);
    s.window[0] = a.window_width;
    s.window[1] = a.window_height;
    const int32_t toggles[9] = {a.show_mesh,          a.show_textures,   a.white_materials,
                                a.show_bones,         a.show_background, a.show_normals,
                                a.show_hit_detection, a.line_smoothing,  a.cull_back_faces};
    std::memcpy(s.toggles, toggles, sizeof toggles);
    s.mesh_primitive = a.mesh_primitive;
    s.models[0] = a.mesh;
    s.models[1] = a.animation;
    s.models[2] = a.weapon_mesh;
    s.models[3] = a.weapon_animation;
    s.current_frame = a.current_frame;
    s.mesh_changes = a.mesh_changes;
    s.model_generation = model_generation();
    s.background_texture = a.background_texture;
    s.background_loaded = a.background_loaded;
    return s;
}

shown last{};
bool drawn_once = false;
bool change_noted = false;
uint64_t frame_count = 0;

} // namespace

void note_picture_change() {
    change_noted = true;
}

int32_t picture_needs_drawing() {
    if (!drawn_once || change_noted) return 1;
    const shown current = now();
    return std::memcmp(&current, &last, sizeof current) != 0 ? 1 : 0;
}

void note_picture_drawn() {
    last = now();
    drawn_once = true;
    change_noted = false;
    ++frame_count;
}

uint64_t frames_drawn() {
    return frame_count;
}
