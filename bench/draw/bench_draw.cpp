// SPDX-License-Identifier: MIT
// How fast a frame of the largest mesh is drawn, against the same triangles from a display list
// (the fastest the fixed-function pipeline goes): draw_frame with the animation paused, playing (a
// new frame posed on every draw) and with bones and grippers shown, each also by the immediate
// path of one glBegin/glEnd per triangle for comparison; and posing alone. Each frame ends with
// the swap and glFinish, so the figures include the rasterising.
//
// A case times its draw_frame frames and display-list frames in turn, one of each per iteration,
// so that a change in the machine's load falls on both alike; its "ratio" counter is the display
// list's frame time over draw_frame's (1 is as fast as the list), and a table of the ratios
// follows the run.
//
// Index: window - test mesh and animation - reference frames - benchmarks - main
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/viewer/render/scene_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/render/gl_window.h"
#include "viewer/math/math3d.h"
#include "viewer/render/mesh_arrays.h"
#include "viewer/textures/image_loading.h"
#include "viewer/textures/texture_loading.h"
#include "viewer/window/window_sdl.h"

namespace {

constexpr int grid = 182;                   // vertices per side of the sheet
constexpr uint32_t triangle_target = 65535; // the largest count a mesh can hold
constexpr uint16_t num_frames = 30;         // frames of the test animation
constexpr uint16_t num_markers = 8;         // grippers, and as many grips

// ---- window

bool open_window() {
    if (window_system_init() != window_ok) return false;
    std::FILE *quiet = std::fopen("/dev/null", "w");
    int saved = dup(fileno(stdout));
    std::fflush(stdout);
    if (quiet) dup2(fileno(quiet), fileno(stdout));
    window_attributes attributes;
    attributes.swap_control = 0; // frames as fast as they are drawn
    app_state.window = create_gl_window(attributes);
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    if (quiet) std::fclose(quiet);
    if (!app_state.window) return false;
    init_image_loading();
    return true;
}

// A 256 x 256 checked texture, written as a BMP and loaded the way the viewer loads textures.
uint32_t make_texture() {
    const int side = 256;
    const uint32_t row = side * 3;
    std::vector<uint8_t> file = {'B', 'M'};
    auto u16 = [&](uint32_t v) {
        file.push_back(static_cast<uint8_t>(v));
        file.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u32(54 + row * side), u32(0), u32(54), u32(40), u32(side), u32(side), u16(1), u16(24);
    u32(0), u32(row * side), u32(2835), u32(2835), u32(0), u32(0);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            bool light = ((x / 16) + (y / 16)) % 2 == 0;
            file.insert(file.end(), {static_cast<uint8_t>(light ? 200 : 40),
                                     static_cast<uint8_t>(light ? 180 : 60), 90});
        }
    std::string path = "/tmp/tarvik-bench-" + std::to_string(getpid()) + ".bmp";
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    uint32_t texture = 0;
    load_image_texture(&texture, path.c_str());
    std::remove(path.c_str());
    return texture;
}

// ---- test mesh and animation: a rippled sheet of 65,535 triangles on two bones, textured, facing
// the camera, with grippers and grips; the second bone swings the upper half of the sheet

void translation(float *m, float x, float y, float z) {
    mat4_identity(m);
    m[12] = x, m[13] = y, m[14] = z;
}

tkm_mesh *make_mesh() {
    tkm_mesh *mesh = create_mesh();
    mesh->name_length = 5;
    mesh->name = alloc_counted_string("Bench", 5);
    mesh->num_bones = 2;
    mesh->bones = alloc_elements<tkm_bone>(2);
    for (int b = 0; b < 2; b++) {
        mesh->bones[b].parent = b == 0 ? no_parent : 0;
        mesh->bones[b].rotation[3] = 1.0f;
        translation(mesh->bones[b].local, 0, 0, 0);
        translation(mesh->bones[b].world, 0, 0, 0);
    }
    const uint32_t vertices = grid * grid;
    mesh->num_vertices = static_cast<uint16_t>(vertices);
    mesh->vertices = alloc_elements<tkm_vertex>(vertices);
    mesh->num_runs = 2;
    mesh->runs = alloc_elements<bone_run>(2);
    mesh->runs[0] = {0, 0, static_cast<uint16_t>(vertices / 2)};
    mesh->runs[1] = {1, static_cast<uint16_t>(vertices / 2),
                     static_cast<uint16_t>(vertices - vertices / 2)};
    mesh->num_corners = mesh->num_texcoords = static_cast<uint16_t>(vertices);
    mesh->corners = alloc_elements<tkm_corner>(vertices);
    mesh->texcoords = alloc_elements<tkm_texcoord>(vertices);
    for (int y = 0; y < grid; y++)
        for (int x = 0; x < grid; x++) {
            const uint32_t i = static_cast<uint32_t>(y * grid + x);
            mesh->vertices[i].bone = i < vertices / 2 ? 0 : 1;
            float fx = (x - grid / 2) * 0.3f, fy = (y - grid / 2) * 0.3f;
            translation(mesh->vertices[i].local, fx, fy, 0.5f * std::sin(fx) * std::cos(fy));
            mesh->corners[i] = {static_cast<uint16_t>(i), static_cast<uint16_t>(i), 0,
                                static_cast<uint16_t>(i & 0x7FFF)};
            mesh->texcoords[i] = {x / 16.0f, y / 16.0f};
        }
    mesh->num_triangles = static_cast<uint16_t>(triangle_target);
    mesh->triangles = alloc_elements<tkm_triangle>(triangle_target);
    uint32_t made = 0;
    for (int y = 0; y + 1 < grid && made < triangle_target; y++)
        for (int x = 0; x + 1 < grid && made < triangle_target; x++) {
            uint16_t a = static_cast<uint16_t>(y * grid + x), b = static_cast<uint16_t>(a + 1);
            uint16_t c = static_cast<uint16_t>(a + grid), d = static_cast<uint16_t>(c + 1);
            mesh->triangles[made++] = {{a, c, b}};
            if (made < triangle_target) mesh->triangles[made++] = {{b, c, d}};
        }
    // The sheet has 65,522 quad triangles; the last few repeat the first ones.
    for (uint32_t i = 0; made < triangle_target; i++)
        mesh->triangles[made++] = mesh->triangles[i];

    mesh->num_texture_names = 1;
    mesh->texture_names = alloc_elements<texture_name>(1);
    mesh->texture_names[0].length = 8;
    mesh->texture_names[0].path = alloc_counted_string("skin.bmp", 8);
    mesh->texture_names[0].base = mesh->texture_names[0].path;
    mesh->texture_names[0].base_length = 8;
    mesh->num_materials = 1;
    mesh->materials = alloc_elements<tkm_material>(1);
    tkm_material &m = mesh->materials[0];
    m.name_length = 4;
    m.name = alloc_counted_string("Skin", 4);
    m.num_texture_refs = 1;
    m.texture_refs = alloc_elements<texture_ref>(1);
    m.opacity = 1.0f;
    m.gl_face = gl_front_face;
    mesh->num_material_runs = 1;
    mesh->material_runs = alloc_elements<material_run>(1);
    mesh->material_runs[0] = {0, 0, static_cast<uint16_t>(triangle_target)};
    mesh->gl_textures.num_textures = 1;
    mesh->gl_textures.textures = alloc_elements<uint32_t>(1);
    mesh->gl_textures.loaded = alloc_elements<uint32_t>(1);
    mesh->gl_textures.textures[0] = make_texture();
    mesh->gl_textures.loaded[0] = mesh->gl_textures.textures[0] != 0;

    // A character's worth of grippers and grips, half on each bone, in a ring over the sheet.
    auto place = [](gripper *list, int offset) {
        for (uint16_t i = 0; i < num_markers; i++) {
            gripper &g = list[i];
            g.name_length = 5;
            g.name = alloc_counted_string(i % 2 ? "Grip1" : "Grip2", 5);
            g.bone = static_cast<uint16_t>(i % 2);
            float angle = static_cast<float>(i + offset) * 0.4f;
            translation(g.local, 20.0f * std::cos(angle), 20.0f * std::sin(angle), 2.0f);
        }
    };
    mesh->num_grippers = mesh->num_grips = num_markers;
    mesh->grippers = alloc_elements<gripper>(num_markers);
    mesh->grips = alloc_elements<gripper>(num_markers);
    place(mesh->grippers, 0);
    place(mesh->grips, num_markers);
    return mesh;
}

// Bone 0 stands still; bone 1 turns about the sheet's middle line, a little more each frame.
tka_animation *make_animation(const tkm_mesh *mesh) {
    tka_animation *animation = scene::shifted_animation(mesh, num_frames, 0.0f);
    for (uint16_t f = 0; f < num_frames; f++)
        euler_matrix(animation->bones[1].frame_worlds + 16 * f, 0.0f, 0.0f, 0.0f, 0.0f, 1.5f * f,
                     0.0f);
    return animation;
}

// ---- reference frames

void end_frame() {
    SDL_GL_SwapBuffers();
    glFinish();
}

void set_camera() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(app_state.camera_x, app_state.camera_y, app_state.camera_z);
}

// The display list of the mesh pass in the frame posed now, compiled once: the run's plain white
// material and its texture, then every triangle with its normal, texture coordinates and corners
// inside one glBegin (what a list wants). The reference every case is held to.
GLuint reference_list() {
    static GLuint list = 0;
    if (list) return list;
    const tkm_mesh &mesh = *app_state.mesh;
    pose_mesh(app_state.mesh, app_state.animation);
    list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    for (GLenum colour : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION})
        glMaterialfv(GL_FRONT, colour, white);
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
    glBindTexture(GL_TEXTURE_2D, mesh.gl_textures.textures[0]);
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_TRIANGLES);
    for (uint32_t t = 0; t < mesh.num_triangles; t++) {
        float p[3][3];
        for (int k = 0; k < 3; k++)
            corner_position(&mesh, mesh.corners[mesh.triangles[t].corners[k]].vertex, p[k]);
        float n[3];
        triangle_normal(n, p[0], p[1], p[2]);
        glNormal3fv(n);
        for (int k = 0; k < 3; k++) {
            const tkm_texcoord &uv =
                mesh.texcoords[mesh.corners[mesh.triangles[t].corners[k]].texcoord];
            glTexCoord2f(uv.u, -uv.v);
            glVertex3fv(p[k]);
        }
    }
    glEnd();
    glEndList();
    return list;
}

// Wall-clock and processor seconds (every thread of the process: the rasterising threads too).
struct stopwatch {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = cpu_seconds();
    static double cpu_seconds() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
    double wall_seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpu_elapsed() const { return cpu_seconds() - cpu; }
};

// ---- benchmarks

// The ratios of each case as last measured (by the clock, by processor time), for the table.
std::map<std::string, std::pair<double, double>> ratios;

struct frame_case {
    const char *name;
    int32_t path;  // draw_by_arrays or draw_immediately
    bool playing;  // a new frame on every draw
    bool bones;    // bones and grippers shown
    bool required; // one of the cases held to 0.9 of the list
};

// Frames of draw_frame in the case's settings, each followed by a frame of the reference list.
void draw_against_list(benchmark::State &state, frame_case c) {
    const GLuint list = reference_list();
    set_draw_path(c.path);
    app_state.show_bones = c.bones ? 1 : 0;
    app_state.current_frame = 0;
    double draw_time = 0.0, list_time = 0.0, draw_cpu = 0.0, list_cpu = 0.0;
    for (auto _ : state) {
        if (c.playing) app_state.current_frame = (app_state.current_frame + 1) % num_frames;
        stopwatch draw;
        draw_frame();
        glFinish();
        const double frame = draw.wall_seconds();
        draw_cpu += draw.cpu_elapsed();
        state.SetIterationTime(frame);
        draw_time += frame;

        stopwatch reference;
        set_camera();
        glCallList(list);
        end_frame();
        list_time += reference.wall_seconds();
        list_cpu += reference.cpu_elapsed();
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["fps"] = frames / draw_time;
    state.counters["list_fps"] = frames / list_time;
    state.counters["ratio"] = list_time / draw_time;
    state.counters["cpu_ratio"] = list_cpu / draw_cpu;
    state.counters["triangles"] = triangle_target;
    ratios[c.name] = {list_time / draw_time, list_cpu / draw_cpu};
    set_draw_path(draw_by_arrays);
    app_state.show_bones = 0;
    app_state.current_frame = 0;
}

void posing_only(benchmark::State &state) {
    for (auto _ : state) {
        app_state.current_frame = (app_state.current_frame + 1) % num_frames;
        pose_mesh(app_state.mesh, app_state.animation);
        benchmark::ClobberMemory();
    }
    app_state.current_frame = 0;
    state.counters["poses_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

constexpr frame_case cases[] = {
    {"paused", draw_by_arrays, false, false, true},
    {"playing", draw_by_arrays, true, false, true},
    {"bones_and_grippers", draw_by_arrays, false, true, true},
    {"playing_with_bones", draw_by_arrays, true, true, false},
    // The immediate path of one glBegin/glEnd per triangle, as the viewer drew before the arrays.
    {"immediate_paused", draw_immediately, false, false, false},
    {"immediate_playing", draw_immediately, true, false, false},
    {"immediate_bones_and_grippers", draw_immediately, false, true, false},
};

void print_ratios() {
    if (ratios.empty()) return;
    std::printf("\ndraw_frame against the display list: its frame rate over the list's (0.9 or "
                "more wanted),\nand the list's processor time over its own (all threads; steadier "
                "on a loaded machine):\n");
    for (const frame_case &c : cases) {
        auto found = ratios.find(c.name);
        if (found == ratios.end()) continue;
        const double ratio = found->second.first;
        std::printf("  %-30s %5.2f  %5.2f%s\n", c.name, ratio, found->second.second,
                    !c.required    ? ""
                    : ratio >= 0.9 ? "  ok"
                                   : "  BELOW 0.9");
    }
}

} // namespace

int main(int argc, char **argv) {
    if (!open_window()) {
        std::fprintf(stderr, "bench_draw: no OpenGL window (run under xvfb-run)\n");
        return 1;
    }
    app_state.mesh = make_mesh();
    app_state.animation = make_animation(app_state.mesh);
    app_state.camera_x = 0.0f;
    app_state.camera_y = 0.0f;
    app_state.camera_z = -120.0f; // about the share of the window a character takes

    for (const frame_case &c : cases)
        benchmark::RegisterBenchmark(c.name, draw_against_list, c)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0)
            ->UseManualTime();
    benchmark::RegisterBenchmark("posing_only", posing_only)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    print_ratios();
    return 0;
}
