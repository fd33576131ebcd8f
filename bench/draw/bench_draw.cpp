// How fast a frame of the largest mesh is drawn: draw_frame with posing, posing alone, the
// immediate-mode GL calls alone, and the same triangles from a display list (the fastest
// fixed-function path) for comparison. Each frame ends with the swap and glFinish, so the
// figures include the rasterising.
//
// Index: window - test mesh - benchmarks - main
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/render/gl_window.h"
#include "viewer/render/math3d.h"
#include "viewer/textures/image_loading.h"
#include "viewer/textures/texture_loading.h"

namespace {

constexpr int grid = 182;                   // vertices per side of the sheet
constexpr uint32_t triangle_target = 65535; // the largest count a mesh can hold

// ---- window

bool open_window() {
    SDL_VERSION(&app_state.wm_info.version);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) return false;
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    std::FILE *quiet = std::fopen("/dev/null", "w");
    int saved = dup(fileno(stdout));
    std::fflush(stdout);
    if (quiet) dup2(fileno(quiet), fileno(stdout));
    app_state.surface = create_gl_window(640, 480);
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    if (quiet) std::fclose(quiet);
    if (!app_state.surface) return false;
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

// ---- test mesh: a rippled sheet of 65,535 triangles on two bones, textured, facing the camera

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
    return mesh;
}

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

// The mesh pass's GL calls alone, on positions posed beforehand: one glBegin/glEnd per triangle
// as the viewer draws, or with one_begin a single glBegin for all (what a display list wants).
void immediate_triangles(const tkm_mesh &mesh, bool one_begin = false) {
    glBindTexture(GL_TEXTURE_2D, mesh.gl_textures.textures[0]);
    glEnable(GL_TEXTURE_2D);
    if (one_begin) glBegin(GL_TRIANGLES);
    for (uint32_t t = 0; t < mesh.num_triangles; t++) {
        float p[3][3];
        for (int k = 0; k < 3; k++)
            corner_position(&mesh, mesh.corners[mesh.triangles[t].corners[k]].vertex, p[k]);
        float n[3];
        triangle_normal(n, p[0], p[1], p[2]);
        glNormal3fv(n);
        if (!one_begin) glBegin(GL_TRIANGLES);
        for (int k = 0; k < 3; k++) {
            const tkm_texcoord &uv =
                mesh.texcoords[mesh.corners[mesh.triangles[t].corners[k]].texcoord];
            glTexCoord2f(uv.u, -uv.v);
            glVertex3fv(p[k]);
        }
        if (!one_begin) glEnd();
    }
    if (one_begin) glEnd();
}

// ---- benchmarks

void set_frame_counters(benchmark::State &state) {
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["triangles"] = triangle_target;
}

void draw_frame_with_posing(benchmark::State &state) {
    for (auto _ : state) {
        draw_frame();
        glFinish();
    }
    set_frame_counters(state);
}

void posing_only(benchmark::State &state) {
    for (auto _ : state) {
        pose_mesh(app_state.mesh, app_state.animation);
        benchmark::ClobberMemory();
    }
    state.counters["poses_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void gl_calls_only(benchmark::State &state) {
    pose_mesh(app_state.mesh, app_state.animation);
    for (auto _ : state) {
        set_camera();
        immediate_triangles(*app_state.mesh);
        end_frame();
    }
    set_frame_counters(state);
}

void display_list(benchmark::State &state) {
    pose_mesh(app_state.mesh, app_state.animation);
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    immediate_triangles(*app_state.mesh, true);
    glEndList();
    for (auto _ : state) {
        set_camera();
        glCallList(list);
        end_frame();
    }
    glDeleteLists(list, 1);
    set_frame_counters(state);
}

} // namespace

int main(int argc, char **argv) {
    if (!open_window()) {
        std::fprintf(stderr, "bench_draw: no OpenGL window (run under xvfb-run)\n");
        return 1;
    }
    app_state.mesh = make_mesh();
    app_state.animation = create_animation();
    build_rest_pose(app_state.mesh, app_state.animation);
    app_state.camera_x = 0.0f;
    app_state.camera_y = 0.0f;
    app_state.camera_z = -120.0f; // about the share of the window a character takes

    benchmark::RegisterBenchmark("draw_frame_with_posing", draw_frame_with_posing)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0)
        ->UseRealTime();
    benchmark::RegisterBenchmark("posing_only", posing_only)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0)
        ->UseRealTime();
    benchmark::RegisterBenchmark("gl_calls_only", gl_calls_only)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0)
        ->UseRealTime();
    benchmark::RegisterBenchmark("display_list", display_list)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
