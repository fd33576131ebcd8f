// Pictures of a model without a display: the viewer's load commands fill app_state as they do in
// the viewer, the camera is placed, and the viewer's draw_scene draws into an OSMesa context.
//
// Index: helpers - the frame - camera fit - make_picture
#include "picture.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "tool_common.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/app/open_files.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/bone_frames.h"
#include "viewer/render/draw.h"
#include "viewer/render/offscreen.h"
#include "viewer/textures/image_loading.h"

namespace {

// ---- helpers

// The viewer's field of view, up and down, in degrees (its projection is fixed at start-up).
constexpr double field_of_view = 60.0;
// The share of the picture's width or height that a fitted model fills.
constexpr double fill = 0.9;

// Releases what the load commands put into app_state, while the context that owns the textures
// is still current.
void release_models() {
    release_mesh(app_state.mesh);
    release_mesh(app_state.weapon_mesh);
    release_animation(app_state.animation);
    release_animation(app_state.weapon_animation);
    app_state.mesh = app_state.weapon_mesh = nullptr;
    app_state.animation = app_state.weapon_animation = nullptr;
}

// Opens the context; the render-state lines name a window that does not exist here, so they are
// not printed.
int32_t open_quietly(offscreen_target *target, int32_t width, int32_t height) {
    const int null_out = open("/dev/null", O_WRONLY | O_CLOEXEC);
    int32_t result;
    {
        progress_to_stderr quiet(true, null_out);
        result = open_offscreen(target, width, height);
    }
    if (null_out >= 0) close(null_out);
    return result;
}

// ---- the frame

// Puts the frame on show: the character's current_frame, or frame 0 of a weapon (the viewer draws
// weapons in frame 0 only). False, with the reason printed, when the frame is not in the animation.
bool show_frame(long frame) {
    const tka_animation *animation =
        app_state.mesh ? app_state.animation : app_state.weapon_animation;
    const long frames = animation ? animation->num_frames : 1;
    if (frame >= frames) {
        std::fprintf(stderr, "tkmtool: frame %ld is out of range: the animation has %ld frames\n",
                     frame, frames);
        return false;
    }
    app_state.current_frame = static_cast<int32_t>(frame);
    return true;
}

// ---- camera fit

// Every point the picture shows of mesh posed by animation: the corners of the runs drawn and,
// with the bones on, the bones and the posed grips and grippers. Points that are not finite
// (a broken file) are left out.
void add_shown_points(tkm_mesh *mesh, const tka_animation *animation, std::vector<float> *points) {
    auto add = [points](const float *p) {
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))
            points->insert(points->end(), p, p + 3);
    };
    pose_mesh(mesh, animation);
    for (uint16_t r = 0; mesh->material_runs && r < mesh->num_material_runs; r++) {
        const material_run &run = mesh->material_runs[r];
        if (run.material < mesh->num_materials && mesh->materials &&
            is_marker_material(&mesh->materials[run.material]))
            continue;
        const uint32_t end = std::min<uint32_t>(uint32_t{run.first_triangle} + run.triangle_count,
                                                mesh->num_triangles);
        for (uint32_t t = run.first_triangle; mesh->triangles && t < end; t++)
            for (uint16_t c : mesh->triangles[t].corners) {
                if (c >= mesh->num_corners || !mesh->corners) continue;
                float p[3];
                corner_position(mesh, mesh->corners[c].vertex, p);
                add(p);
            }
    }
    if (!app_state.show_bones) return;
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

// The camera offset along one picture axis and the least distance at which every point fits
// within tan_half of it, for points at offsets across[i] and heights toward the eye toward[i]:
// a point fits when |across + offset| <= tan_half * (distance - toward), which for all points
// holds from (max(across + tan_half toward) - min(across - tan_half toward)) / (2 tan_half) on,
// centred by the offset below.
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

// Places the camera so that the shown points fill the picture, centred, with a projection of the
// picture's own aspect and a depth range around the model. The view is the viewer's (looking down
// -z), or with turn the model is first turned a quarter about y when it is deeper than it is wide,
// so that its broad side faces the camera. Without any point the viewer's start camera stays.
void fit_camera(int32_t width, int32_t height, bool turn) {
    std::vector<float> points;
    if (app_state.mesh) add_shown_points(app_state.mesh, app_state.animation, &points);
    if (app_state.weapon_mesh)
        add_shown_points(app_state.weapon_mesh, app_state.weapon_animation, &points);
    if (points.empty()) return;

    float low[3], high[3];
    for (std::size_t k = 0; k < 3; k++)
        low[k] = high[k] = points[k];
    for (std::size_t i = 0; i < points.size(); i += 3)
        for (std::size_t k = 0; k < 3; k++) {
            low[k] = std::min(low[k], points[i + k]);
            high[k] = std::max(high[k], points[i + k]);
        }
    if (turn && high[2] - low[2] > high[0] - low[0]) {
        // A quarter turn about +y: what pointed at the eye (+z) points right (+x).
        const float half = static_cast<float>(M_SQRT1_2);
        const float quarter_turn[4] = {0.0f, half, 0.0f, half};
        std::copy(quarter_turn, quarter_turn + 4, app_state.camera_orientation);
        for (std::size_t i = 0; i < points.size(); i += 3) {
            const float x = points[i];
            points[i] = points[i + 2];
            points[i + 2] = -x;
        }
        std::swap(low[0], low[2]);
        std::swap(high[0], high[2]);
        std::tie(low[2], high[2]) = std::make_pair(-high[2], -low[2]);
    }

    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    const double tan_up = std::tan(field_of_view / 2.0 * M_PI / 180.0) * fill;
    double offset_x = 0.0, offset_y = 0.0, distance = 0.0;
    fit_axis(points, 0, tan_up * aspect, &offset_x, &distance);
    fit_axis(points, 1, tan_up, &offset_y, &distance);
    // Never closer than just in front of the nearest point (a model seen edge-on has no size).
    const double depth = std::max(double{high[2]} - low[2], 1e-3);
    distance = std::max(distance, double{high[2]} + depth * 0.05);

    app_state.camera_x = static_cast<float>(offset_x);
    app_state.camera_y = static_cast<float>(offset_y);
    app_state.camera_z = static_cast<float>(-distance);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(field_of_view, aspect, (distance - high[2]) * 0.5, (distance - low[2]) * 1.5);
}

} // namespace

bool parse_picture_side(const std::string &text, int32_t *side) {
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > offscreen_max_side)
        return false;
    *side = static_cast<int32_t>(value);
    return true;
}

// ---- make_picture

int make_picture(const picture_request &request) {
    // Loading a mesh's textures changes the working directory: every path is made whole first.
    const std::string mesh_path = absolute_path(request.mesh_path);
    const std::string animation_path = absolute_path(request.animation_path);
    const std::string out_path = absolute_path(request.out_path);
    if (mesh_path.empty() || out_path.empty() ||
        (animation_path.empty() && !request.animation_path.empty())) {
        std::fprintf(stderr, "tkmtool: the working directory cannot be found\n");
        return 1;
    }

    // The toggles are set before loading, as the viewer's options are.
    app_state.show_bones = request.bones ? 1 : 0;
    app_state.mesh_primitive = request.wire ? GL_LINE_STRIP : GL_TRIANGLES;
    app_state.show_textures = app_state.white_materials = request.textures ? 1 : 0;

    offscreen_target target;
    if (open_quietly(&target, request.width, request.height) != offscreen_ok) return 1;
    init_image_loading();

    bool drawn = load_mesh_file(mesh_path.c_str(), file_name_offset(mesh_path)) == 0;
    if (drawn && !animation_path.empty()) {
        if (!app_state.mesh) {
            std::fprintf(stderr,
                         "tkmtool: %s has grips (a weapon): only a character mesh takes "
                         "an animation\n",
                         request.mesh_path.c_str());
            drawn = false;
        } else {
            drawn =
                load_animation_file(animation_path.c_str(), file_name_offset(animation_path)) == 0;
        }
    }
    drawn = drawn && show_frame(request.frame);

    int status = 1;
    if (drawn) {
        if (request.camera == picture_camera::fit)
            fit_camera(request.width, request.height, request.turn_broadside);
        if (request.transparent) glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        draw_scene();
        const int32_t code =
            save_offscreen_png(&target, out_path.c_str(), request.transparent ? 4 : 3);
        if (code == offscreen_ok) {
            std::printf("Wrote PNG %s\n", request.out_path.c_str());
            status = 0;
        } else {
            std::fprintf(stderr, "Error writing PNG %s: %d\n", request.out_path.c_str(), code);
        }
    }
    release_models();
    close_offscreen(&target);
    return status;
}
