// SPDX-License-Identifier: MIT
// draw_rate MODEL [SECONDS]: how long the viewer takes to draw a frame of MODEL in its own OpenGL
// window, through the window layer, so that one source times the Linux viewer (SDL and GLX) and
// the Windows one (WGL, under Wine) alike; draw_rate_side_by_side.sh runs both in one go. Each
// frame is drawn, swapped and finished; the best of five rounds is printed, in milliseconds.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/render/draw.h"
#include "viewer/render/gl_window.h"
#include "viewer/textures/image_loading.h"
#include "viewer/window/window.h"

namespace {

constexpr int num_rounds = 5;

// Milliseconds a frame, over as many frames as fit in seconds.
double frame_time(double seconds) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    int frames = 0;
    double elapsed = 0;
    do {
        draw_frame();
        glFinish();
        frames++;
        elapsed = std::chrono::duration<double>(clock::now() - start).count();
    } while (elapsed < seconds);
    return elapsed * 1000.0 / frames;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: draw_rate MODEL [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.0;
    if (window_system_init() != window_ok) return 1;
    app_state.window = create_gl_window(app_state.window_width, app_state.window_height);
    if (!app_state.window) {
        std::fprintf(stderr, "draw_rate: no OpenGL window\n");
        return 1;
    }
    init_image_loading();
    if (load_mesh_file(argv[1], 0) != 0) return 1;
    app_state.camera_x = 0.0f;
    app_state.camera_y = 0.0f;
    app_state.camera_z = -120.0f; // about the share of the window a character takes
    frame_time(0.2);              // textures uploaded, caches warm
    double best = frame_time(seconds);
    for (int round = 1; round < num_rounds; round++)
        best = std::min(best, frame_time(seconds));
    std::printf("draw_frame: %.3f ms\n", best);
    return 0;
}
