// SPDX-License-Identifier: MIT
// The background image: loaded into a texture that app_state owns and stretched over the window
// at the start of every frame, behind everything else.
#include "viewer/render/background.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

#include "viewer/app/app_state.h"
#include "viewer/textures/texture_loading.h"
#include "viewer/window/window.h"

int32_t load_background(const char *path) {
    std::printf("Loading background image '%s': ", path ? path : "");
    uint32_t texture = 0;
    int32_t code = load_image_texture(&texture, path);
    if (code != 0) {
        std::printf(" DevIL error code %u\n", static_cast<unsigned>(code));
        return background_not_loaded;
    }
    std::printf("%u\n", texture);
    std::printf("Freeing old background: ");
    if (app_state.background_loaded) {
        GLuint old = app_state.background_texture;
        glDeleteTextures(1, &old);
        std::printf("%u\n", old);
    } else {
        std::printf("no need\n");
    }
    app_state.background_texture = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
    app_state.background_loaded = 1;
    return background_loaded_ok;
}

void draw_background() {
    if (!app_state.show_background || app_state.quit_requested) return;
    const window_handle *window = app_state.window;
    if (!window) {
        std::fprintf(stderr, "Can't get screen to draw background!\n");
        return;
    }
    const int width = window_width(window);
    const int height = window_height(window);

    // Depth testing is off for the quad, so the background writes no depth and the model covers it.
    glPushAttrib(GL_VIEWPORT_BIT | GL_TRANSFORM_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glColor4fv(white_rgba);
    glBindTexture(GL_TEXTURE_2D, app_state.background_texture);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glColor4fv(white_rgba);

    // Whatever the image's own size, it fills the window, t = 0 along the bottom edge.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, static_cast<float>(height));
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(static_cast<float>(width), static_cast<float>(height));
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(static_cast<float>(width), 0.0f);
    glEnd();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
}
