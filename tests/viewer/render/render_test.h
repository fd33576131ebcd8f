// SPDX-License-Identifier: MIT
// Shared set-up of the drawing tests: the real window, a camera 10 units in front of the model's
// origin, and where a point of the plane z = 0 lands in the window.
#pragma once

#include <cmath>

#include "fixtures/gl_fixture.h"
#include "viewer/anim/animation.h"
#include "viewer/app/commands.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/textures/test_images.h"

namespace scene {

// The window pixel (x right, y up from the bottom) of the point (x, y, 0) seen by the camera at
// (0, 0, -10) through the fixed 60-degree, 4:3 perspective in a 640 x 480 window.
struct pixel {
    int x, y;
};

inline pixel pixel_of(float x, float y) {
    const double f = 1.0 / std::tan(30.0 * M_PI / 180.0);
    const double ndc_x = f / (4.0 / 3.0) * x / 10.0;
    const double ndc_y = f * y / 10.0;
    return {static_cast<int>(std::floor((ndc_x + 1.0) * 320.0)),
            static_cast<int>(std::floor((ndc_y + 1.0) * 240.0))};
}

inline gl_fixture::rgb at(float x, float y) {
    pixel p = pixel_of(x, y);
    return gl_fixture::read_pixel(p.x, p.y);
}

// The clear colour (0.2, 0, 0) as read back.
inline bool is_clear(const gl_fixture::rgb &c) {
    return gl_fixture::near(c, 51, 0, 0);
}

} // namespace scene

// The pixel is within tolerance of (r, g, b) in every channel; the failure shows what it was.
inline ::testing::AssertionResult rgb_near(const gl_fixture::rgb &got, int r, int g, int b,
                                           int tolerance) {
    if (gl_fixture::near(got, r, g, b, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b
                                         << "), expected (" << r << ", " << g << ", " << b << ")";
}
#define EXPECT_RGB_WITHIN(pixel, r, g, b, tolerance)                                               \
    EXPECT_TRUE(rgb_near(pixel, r, g, b, tolerance))
#define EXPECT_RGB(pixel, r, g, b) EXPECT_RGB_WITHIN(pixel, r, g, b, 2)

// Every drawing test starts with the camera straight in front of the origin and no meshes;
// whatever a test puts into app_state is released afterwards.
class scene_test : public gl_window_test {
  protected:
    void SetUp() override {
        gl_window_test::SetUp();
        app_state.camera_x = 0.0f;
        app_state.camera_y = 0.0f;
        app_state.camera_z = -10.0f;
    }
    void TearDown() override { release_models(); }
};
