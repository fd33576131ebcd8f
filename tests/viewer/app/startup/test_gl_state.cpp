// SPDX-License-Identifier: MIT
// The fixed render state read back from OpenGL after the window is created.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "viewer/app/app_state.h"
#include "viewer/render/gl_window.h"
#include "viewer/window/window_sdl.h"

namespace {

class gl_state : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(window_system_init(), window_ok) << SDL_GetError();
        testing::internal::CaptureStdout();
        surface = create_gl_window(640, 480);
        output = testing::internal::GetCapturedStdout();
        ASSERT_NE(surface, nullptr);
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    static window_handle *surface;
    static std::string output;
};

window_handle *gl_state::surface = nullptr;
std::string gl_state::output;

GLint integer(GLenum name) {
    GLint value[4] = {};
    glGetIntegerv(name, value);
    return value[0];
}

} // namespace

TEST_F(gl_state, window_creation_prints_its_steps) {
    EXPECT_EQ(app_state.window_width, 640);
    EXPECT_EQ(app_state.window_height, 480);
    EXPECT_EQ(output.rfind("Creating surface: ", 0), 0u) << output;
    EXPECT_NE(output.find(" bpp window with handle 0x"), std::string::npos);
    EXPECT_NE(output.find("Initialising 640x480 OpenGL window:\n  Shading: flat\n"),
              std::string::npos);
    EXPECT_NE(output.find("  Texturing: decal\nOpenGL is ready.\n"), std::string::npos);
}

TEST_F(gl_state, fixed_state_reads_back) {
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.2f);
    EXPECT_FLOAT_EQ(clear[1], 0.0f);
    EXPECT_FLOAT_EQ(clear[2], 0.0f);
    EXPECT_FLOAT_EQ(clear[3], 0.1f);
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_FRONT_FACE), GL_CW);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    EXPECT_EQ(modes[1], GL_LINE);
    GLfloat size;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 4.0f);
    glGetFloatv(GL_LINE_WIDTH, &size);
    EXPECT_EQ(size, 2.0f);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    GLint env;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_DECAL);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_EQ(integer(GL_LIGHT_MODEL_TWO_SIDE), 1);
    EXPECT_EQ(integer(GL_LIGHT_MODEL_LOCAL_VIEWER), 1);
    GLfloat ambient[4];
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    for (float c : ambient)
        EXPECT_EQ(c, 1.0f);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    for (float c : ambient)
        EXPECT_EQ(c, 1.0f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_PROJECTION);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(gl_state, projection_is_sixty_degrees_at_four_to_three_whatever_the_size) {
    // gluPerspective(60, 4/3, 1, 200): f = 1 / tan(30 degrees).
    GLfloat projection[16];
    EXPECT_EQ(init_gl_state(300, 300), 0);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const float f = 1.7320508f;
    EXPECT_NEAR(projection[5], f, 1e-5f);
    EXPECT_NEAR(projection[0], f / (4.0f / 3.0f), 1e-5f);
    EXPECT_NEAR(projection[10], -(201.0f / 199.0f), 1e-5f);
    EXPECT_NEAR(projection[14], -(400.0f / 199.0f), 1e-5f);
    EXPECT_EQ(projection[11], -1.0f);
}
