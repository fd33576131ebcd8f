// SPDX-License-Identifier: MIT
// One frame of the scene in the fixed render state set at start-up: the mesh pass from vertex
// arrays kept between frames (mesh_arrays), or immediately, one glBegin/glEnd per triangle, for
// what the arrays do not draw and as their reference; the bones pass immediately.
//
// Index: helpers - mesh pass, immediately - bones pass - hit_colour, is_marker_material -
//        draw_mesh - draw_scene, draw_frame
#include "viewer/render/draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "support/memory.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/background.h"
#include "viewer/render/bone_frames.h"
#include "viewer/math/math3d.h"
#include "viewer/render/mesh_arrays.h"
#include "viewer/render/run_state.h"
#include "viewer/window/window.h"

namespace {

// ---- helpers

constexpr float bone_yellow[4] = {1.0f, 1.0f, 0.0f, 0.5f};

void draw_normal_line(const float *p0, const float *p1, const float *p2, const float *normal,
                      bool textured) {
    float from[3];
    triangle_centroid(from, p0, p1, p2);
    const float to[3] = {from[0] + normal[0], from[1] + normal[1], from[2] + normal[2]};
    // Opaque: with source-alpha blending on, the zero alpha of old left only the line's depth.
    glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    glVertex3fv(from);
    glVertex3fv(to);
    glEnd();
    // Only a run that is textured gets texturing back: an untextured run would otherwise be
    // painted with whatever texture happens to be bound.
    if (textured) glEnable(GL_TEXTURE_2D);
    if (!app_state.show_hit_detection) glEnable(GL_LIGHTING);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// ---- mesh pass, immediately: one glBegin/glEnd per triangle, the reference for the arrays

void draw_run(const tkm_mesh &mesh, const material_run &run) {
    bool textured = false;
    if (!begin_run(mesh, run, &textured)) return;
    if (!mesh.triangles || !mesh.corners) return;

    uint32_t end =
        std::min<uint32_t>(uint32_t{run.first_triangle} + run.triangle_count, mesh.num_triangles);
    const GLenum primitive = app_state.mesh_primitive;
    const bool hit_colours = app_state.show_hit_detection != 0;
    const bool normals = app_state.show_normals != 0;
    for (uint32_t i = run.first_triangle; i < end; i++) {
        const tkm_triangle &triangle = mesh.triangles[i];
        const tkm_corner *corners[3];
        float p[3][3];
        bool whole = true;
        for (int k = 0; k < 3; k++) {
            uint16_t c = triangle.corners[k];
            if (c >= mesh.num_corners) {
                whole = false;
                break;
            }
            corners[k] = &mesh.corners[c];
            corner_position(&mesh, corners[k]->vertex, p[k]);
        }
        if (!whole) continue;

        float normal[3];
        triangle_normal(normal, p[0], p[1], p[2]);
        // A zero-area triangle has no normal (normalising gives NaN, which would poison the
        // lighting); it keeps the previous triangle's normal and gets no normal line.
        bool has_normal =
            std::isfinite(normal[0]) && std::isfinite(normal[1]) && std::isfinite(normal[2]);
        if (has_normal) glNormal3fv(normal);
        if (normals && has_normal) draw_normal_line(p[0], p[1], p[2], normal, textured);

        glBegin(primitive);
        for (int k = 0; k < 3; k++) {
            if (textured) {
                uint16_t t = corners[k]->texcoord;
                if (t < mesh.num_texcoords && mesh.texcoords)
                    glTexCoord2f(mesh.texcoords[t].u, -mesh.texcoords[t].v);
            }
            if (hit_colours) hit_colour(corners[k]->aux2);
            glVertex3fv(p[k]);
        }
        glEnd();
    }
}

// ---- bones pass

void draw_bones(tkm_mesh &mesh, const tka_animation *animation, uint32_t frame) {
    glClear(GL_DEPTH_BUFFER_BIT); // bones and markers go over everything drawn so far
    glColor4fv(white_rgba);
    set_material(GL_FRONT_AND_BACK, bone_yellow, bone_yellow, bone_yellow, bone_yellow, 0.5f);
    // The last textured run would otherwise paint the bones with its last texel.
    glDisable(GL_TEXTURE_2D);

    glBegin(GL_POINTS);
    for (uint16_t b = 0; b < mesh.num_bones; b++)
        if (const float *world = bone_frame_world(&mesh, animation, frame, b))
            glVertex3fv(world + 12);
    glEnd();

    glBegin(GL_LINES);
    for (uint16_t b = 0; b < mesh.num_bones; b++) {
        uint16_t parent = bone_parent(&mesh, animation, b);
        if (parent == no_parent) continue;
        const float *from = bone_frame_world(&mesh, animation, frame, parent);
        const float *to = bone_frame_world(&mesh, animation, frame, b);
        if (!from || !to) continue;
        glVertex3fv(from + 12);
        glVertex3fv(to + 12);
    }
    glEnd();

    draw_grippers(&mesh, animation, frame);
}

} // namespace

// ---- hit_colour, is_marker_material

void hit_colour(uint16_t value) {
    glColor4f(static_cast<float>(((value >> 10) & 31) * 8) / 255.0f,
              static_cast<float>(((value >> 5) & 31) * 8) / 255.0f,
              static_cast<float>((value & 31) * 8) / 255.0f, 1.0f);
}

int32_t is_marker_material(const tkm_material *material) {
    if (!material || !material->name || material->name_length == 0) return not_a_marker;
    if (str_equiv(material->name, "FLASHLIGHT")) return flashlight_marker;
    if (str_equiv(material->name, "MUZZLE")) return muzzle_marker;
    return not_a_marker;
}

// ---- draw_mesh

int32_t draw_mesh(tkm_mesh *mesh, const tka_animation *animation, int32_t frame) {
    if (!mesh) return 0;
    if (animation && (frame < 0 || frame >= animation->num_frames)) {
        std::printf("PANIC! trying to draw %s frame %u but there are only %u!\n",
                    mesh->name ? mesh->name : "", static_cast<unsigned>(frame),
                    static_cast<unsigned>(animation->num_frames));
        frame = 0;
    }

    const int32_t pose = checked_frame(animation, frame);
    if (app_state.show_mesh &&
        (current_draw_path() == draw_immediately || draw_mesh_arrays(mesh, animation, pose) != 0)) {
        pose_mesh_in_frame(mesh, animation, pose, nullptr);
        if (mesh->material_runs)
            for (uint16_t r = 0; r < mesh->num_material_runs; r++)
                draw_run(*mesh, mesh->material_runs[r]);
    }

    if (app_state.show_bones) draw_bones(*mesh, animation, static_cast<uint32_t>(frame));
    return frame;
}

// ---- draw_scene, draw_frame

void draw_scene() {
    forget_stale_mesh_arrays();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_background();

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(app_state.camera_x, app_state.camera_y, app_state.camera_z);
    // Rounding can leave w a hair above 1, where the arc cosine is NaN and the whole view would
    // vanish; a turn that close to nothing is drawn as none.
    float orientation[4];
    std::copy(app_state.camera_orientation, app_state.camera_orientation + 4, orientation);
    orientation[3] = std::clamp(orientation[3], -1.0f, 1.0f);
    float angle = 0.0f, axis[3] = {0.0f, 0.0f, 1.0f};
    quat_to_axis_angle(&angle, axis, orientation);
    if (std::isfinite(angle) && std::isfinite(axis[0]) && std::isfinite(axis[1]) &&
        std::isfinite(axis[2]))
        glRotatef(angle, axis[0], axis[1], axis[2]);
    glColor4fv(white_rgba);

    // The weapon is always drawn in frame 0. A character frame out of range is reset: the frame
    // stepping starts again from the first.
    if (app_state.mesh) {
        const int32_t frame = app_state.current_frame;
        if (draw_mesh(app_state.mesh, app_state.animation, frame) != frame)
            app_state.current_frame = 0;
    }
    if (app_state.weapon_mesh) draw_mesh(app_state.weapon_mesh, app_state.weapon_animation, 0);
}

void draw_frame() {
    draw_scene();
    window_swap_buffers(app_state.window);
}
