// SPDX-License-Identifier: MIT
// Framing the posed model: gather what will be drawn, turn it, keep what faces the camera, and
// solve for the nearest camera from which every kept point is inside the picture.
//
// Index: gathering - turning and culling - solving - fit_camera
#include "camera_fit.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/bone_frames.h"
#include "viewer/render/draw.h"

namespace {

// The viewer's field of view, up and down, in degrees (its projection is fixed at start-up).
constexpr double field_of_view = 60.0;
// The share of the picture's width or height that the model fills along its binding side.
constexpr double fill = 0.9;

// What a frame shows, posed: filled triangles (three points each) that back-face culling may drop,
// and points that are always drawn (wire edges, bones, grips and grippers).
struct shown_geometry {
    std::vector<float> faces;
    std::vector<float> points;
};

bool finite(const float *p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// ---- gathering

// Adds the triangles of the runs that draw_mesh draws; corners naming nothing and points that are
// not finite (a broken file) are left out.
void gather_triangles(const tkm_mesh &mesh, shown_geometry *shown) {
    const bool culled = app_state.mesh_primitive == GL_TRIANGLES && app_state.cull_back_faces;
    for (uint16_t r = 0; mesh.material_runs && r < mesh.num_material_runs; r++) {
        const material_run &run = mesh.material_runs[r];
        if (run.material < mesh.num_materials && mesh.materials &&
            is_marker_material(&mesh.materials[run.material]))
            continue;
        const uint32_t end = std::min<uint32_t>(uint32_t{run.first_triangle} + run.triangle_count,
                                                mesh.num_triangles);
        for (uint32_t t = run.first_triangle; mesh.triangles && mesh.corners && t < end; t++) {
            float p[9];
            bool whole = true;
            for (int k = 0; k < 3 && whole; k++) {
                const uint16_t c = mesh.triangles[t].corners[k];
                whole = c < mesh.num_corners;
                if (whole) corner_position(&mesh, mesh.corners[c].vertex, p + 3 * k);
                whole = whole && finite(p + 3 * k);
            }
            if (!whole) continue;
            std::vector<float> &into = culled ? shown->faces : shown->points;
            into.insert(into.end(), p, p + 9);
        }
    }
}

// Adds what mesh shows posed by animation: its triangles, and with the bones on its bones and its
// posed grips and grippers.
void gather(tkm_mesh *mesh, const tka_animation *animation, shown_geometry *shown) {
    if (app_state.show_mesh) {
        pose_mesh(mesh, animation);
        gather_triangles(*mesh, shown);
    }
    if (!app_state.show_bones) return;
    auto add = [shown](const float *p) {
        if (finite(p)) shown->points.insert(shown->points.end(), p, p + 3);
    };
    const int32_t in_use = frame_in_use(mesh, animation);
    const uint32_t frame = in_use < 0 ? 0 : static_cast<uint32_t>(in_use);
    for (uint16_t b = 0; b < mesh->num_bones; b++)
        if (const float *world = bone_frame_world(mesh, animation, frame, b)) add(world + 12);
    pose_grippers(mesh->num_grippers, mesh->grippers, animation, frame, 0);
    pose_grippers(mesh->num_grips, mesh->grips, animation, frame, 1);
    for (uint16_t g = 0; mesh->grippers && g < mesh->num_grippers; g++)
        add(mesh->grippers[g].world + 12);
    for (uint16_t g = 0; mesh->grips && g < mesh->num_grips; g++)
        add(mesh->grips[g].world + 12);
}

// ---- turning and culling

// The extent along axis (0 x, 1 y, 2 z) of everything shown.
float extent(const shown_geometry &shown, std::size_t axis) {
    float low = HUGE_VALF, high = -HUGE_VALF;
    for (const std::vector<float> *points : {&shown.faces, &shown.points})
        for (std::size_t i = axis; i < points->size(); i += 3) {
            low = std::min(low, (*points)[i]);
            high = std::max(high, (*points)[i]);
        }
    return high - low;
}

// A quarter turn about +y, as glRotatef(90, 0, 1, 0) turns: +z goes to +x.
void quarter_turn(std::vector<float> *points) {
    for (std::size_t i = 0; i < points->size(); i += 3) {
        const float x = (*points)[i];
        (*points)[i] = (*points)[i + 2];
        (*points)[i + 2] = -x;
    }
}

// The points that stay in view from the eye: the always-drawn points and the corners of the faces
// that the viewer's render state does not cull, those wound clockwise as seen from the eye.
// When none is, every face counts, so that something is framed.
std::vector<float> kept_points(const shown_geometry &shown, const double eye[3]) {
    std::vector<float> kept = shown.points;
    for (int pass = 0; pass < 2 && kept.size() == shown.points.size(); pass++)
        for (std::size_t i = 0; i + 9 <= shown.faces.size(); i += 9) {
            const float *p = &shown.faces[i];
            const double u[3] = {p[3] - p[0], p[4] - p[1], p[5] - p[2]};
            const double v[3] = {p[6] - p[0], p[7] - p[1], p[8] - p[2]};
            const double normal[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                      u[0] * v[1] - u[1] * v[0]};
            const double facing = (eye[0] - p[0]) * normal[0] + (eye[1] - p[1]) * normal[1] +
                                  (eye[2] - p[2]) * normal[2];
            if (pass == 0 && !(facing < 0.0)) continue;
            kept.insert(kept.end(), p, p + 9);
        }
    return kept;
}

// ---- solving

// The camera offset along one picture axis and the least distance at which every point fits
// within tan_half of the view: a point at offset a and height h toward the eye fits when
// |a + offset| <= tan_half (distance - h), which holds for all points from
// (max(a + tan_half h) - min(a - tan_half h)) / (2 tan_half) on, centred by the offset below.
void fit_axis(const std::vector<float> &points, std::size_t axis, double tan_half, double *offset,
              double *distance) {
    double high = -HUGE_VAL, low = HUGE_VAL;
    for (std::size_t i = 0; i < points.size(); i += 3) {
        high = std::max(high, points[i + axis] + tan_half * points[i + 2]);
        low = std::min(low, points[i + axis] - tan_half * points[i + 2]);
    }
    *offset = -(high + low) / 2.0;
    *distance = std::max(*distance, (high - low) / (2.0 * tan_half));
}

// Where the camera goes for points: the offsets and distance, and the depth range in front of it.
struct fitted_camera {
    double offset_x = 0.0, offset_y = 0.0, distance = 0.0;
    double nearest = 0.0, farthest = 0.0; // the largest and smallest z of the points
};

fitted_camera solve(const std::vector<float> &points, double aspect) {
    fitted_camera camera;
    const double tan_up = std::tan(field_of_view / 2.0 * M_PI / 180.0) * fill;
    fit_axis(points, 0, tan_up * aspect, &camera.offset_x, &camera.distance);
    fit_axis(points, 1, tan_up, &camera.offset_y, &camera.distance);
    camera.nearest = -HUGE_VAL, camera.farthest = HUGE_VAL;
    for (std::size_t i = 2; i < points.size(); i += 3) {
        camera.nearest = std::max(camera.nearest, double{points[i]});
        camera.farthest = std::min(camera.farthest, double{points[i]});
    }
    // Never closer than just in front of the nearest point (a model seen edge-on has no size).
    const double depth = std::max(camera.nearest - camera.farthest, 1e-3);
    camera.distance = std::max(camera.distance, camera.nearest + depth * 0.05);
    return camera;
}

} // namespace

// ---- fit_camera

void fit_camera(int32_t width, int32_t height, bool turn) {
    shown_geometry shown;
    if (app_state.mesh) gather(app_state.mesh, app_state.animation, &shown);
    if (app_state.weapon_mesh) gather(app_state.weapon_mesh, app_state.weapon_animation, &shown);
    if (shown.faces.empty() && shown.points.empty()) return;

    const bool turned = turn && extent(shown, 2) > extent(shown, 0);
    if (turned) {
        quarter_turn(&shown.faces);
        quarter_turn(&shown.points);
    }
    // Which faces the culling drops depends on where the eye is: start from every point (exact
    // for a closed model, whose outline hides the rest), then keep what that eye would see and
    // place the camera again, until it settles.
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    std::vector<float> points = shown.points;
    points.insert(points.end(), shown.faces.begin(), shown.faces.end());
    fitted_camera camera = solve(points, aspect);
    for (int round = 0; round < 3 && !shown.faces.empty(); round++) {
        const double eye[3] = {-camera.offset_x, -camera.offset_y, camera.distance};
        camera = solve(kept_points(shown, eye), aspect);
    }

    // Coordinates near the float limit leave nothing a camera could be placed by.
    const double settings[4] = {camera.offset_x, camera.offset_y, camera.distance,
                                camera.distance - camera.farthest};
    if (!std::all_of(settings, settings + 4, [](double v) { return std::fabs(v) < 1e30; })) return;
    if (turned) {
        const float half = static_cast<float>(M_SQRT1_2);
        const float orientation[4] = {0.0f, half, 0.0f, half};
        std::copy(orientation, orientation + 4, app_state.camera_orientation);
    }
    app_state.camera_x = static_cast<float>(camera.offset_x);
    app_state.camera_y = static_cast<float>(camera.offset_y);
    app_state.camera_z = static_cast<float>(-camera.distance);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(field_of_view, aspect, (camera.distance - camera.nearest) * 0.5,
                   (camera.distance - camera.farthest) * 1.5);
}
