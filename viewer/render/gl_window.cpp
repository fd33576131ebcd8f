// SPDX-License-Identifier: MIT
// The OpenGL window and the render state that never changes after start-up.
#include "viewer/render/gl_window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdio>

#include "viewer/app/app_state.h"
#include "viewer/window/window.h"

window_handle *create_gl_window(int32_t width, int32_t height) {
    window_attributes attributes;
    attributes.width = width;
    attributes.height = height;
    return create_gl_window(attributes);
}

window_handle *create_gl_window(const window_attributes &attributes) {
    app_state.window_width = attributes.width;
    app_state.window_height = attributes.height;
    std::printf("Creating surface: ");
    std::fflush(stdout);
    window_handle *window = window_open(attributes);
    if (!window) {
        std::printf("failed!\n");
        return nullptr;
    }
    std::printf("%d bpp window with handle 0x%x\n", window_bits_per_pixel(window),
                static_cast<unsigned>(window_native_handle(window)));
    if (init_gl_state(app_state.window_width, app_state.window_height) != 0) {
        std::printf("OpenGL initialisation failed!\n");
        window_close(window);
        return nullptr;
    }
    std::printf("OpenGL is ready.\n");
    return window;
}

int32_t init_gl_state(int32_t width, int32_t height) {
    std::printf("Initialising %dx%d OpenGL window:\n", width, height);

    std::printf("  Shading: flat\n");
    glShadeModel(GL_FLAT);

    std::printf("  Lighting: ambient, local, two sided\n");
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white_rgba);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glLightfv(GL_LIGHT0, GL_AMBIENT, white_rgba);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);

    std::printf("  Viewport: %dx%d\n", width, height);
    glClearColor(0.2f, 0.0f, 0.0f, 0.1f);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The aspect is fixed at 4:3 (as a float), whatever the window's size.
    gluPerspective(60.0, 1.3333333730697632, 1.0, 200.0);

    std::printf(
        "  Depth testing and culling etc: GL_LEQUAL depth testing, GL_CW/GL_BACK culling\n");
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);

    std::printf("  Polygon mode: filled front, line back\n");
    glPolygonMode(GL_FRONT, GL_FILL);
    glPolygonMode(GL_BACK, GL_LINE);

    std::printf("  Point size and line width\n");
    glPointSize(4.0f);
    glLineWidth(2.0f);

    std::printf("  Blending\n");
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    std::printf("  Texturing: decal\n");
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<float>(GL_DECAL));
    return 0;
}
