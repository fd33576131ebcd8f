// SPDX-License-Identifier: MIT
// A camera for pictures that frames the posed model instead of the viewer's fixed start camera.
#pragma once

#include <cstdint>

// Places app_state's camera and sets the projection so that what the next draw_scene shows of the
// character and weapon meshes fills a width x height picture, centred. The view is the viewer's
// (looking down -z); with turn a model deeper than it is wide is first given a quarter turn about
// y, so that its broad side faces the camera. Without anything to show (or with coordinates too
// large to frame), the camera and the projection stay the viewer's. The GL context must be
// current.
void fit_camera(int32_t width, int32_t height, bool turn);
