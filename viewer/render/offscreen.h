// SPDX-License-Identifier: MIT
// Drawing without a display: an OpenGL context in memory (Mesa's OSMesa) in the viewer's render
// state, whose picture is read back or saved as a PNG file.
//
// The program that uses this module must link libOSMesa before libGL: both define the gl*
// entry points, and the first one loaded wins (libGL's would draw into no context at all).
#pragma once

#include <cstdint>
#include <vector>

// Result codes of the calls below.
enum offscreen_result : int32_t {
    offscreen_ok = 0,
    offscreen_bad_size = 1,   // width or height outside 1 to offscreen_max_side
    offscreen_no_context = 2, // the system could not make the context or make it current
    offscreen_no_image = 3,   // no picture to save (the target is closed or channels wrong)
    offscreen_not_saved = 4,  // the file could not be written (an existing file is kept)
};

// The largest width or height a picture may have, in pixels.
inline constexpr int32_t offscreen_max_side = 8192;

// An OpenGL context drawing into memory; owned by the caller from open_offscreen to
// close_offscreen.
struct offscreen_target {
    void *context = nullptr;     // the system's context (OSMesa's, or WGL's with its buffers)
    std::vector<uint8_t> colour; // width x height RGBA pixels that OpenGL draws into
    int32_t width = 0;           // pixels
    int32_t height = 0;          // pixels
};

// Makes a width x height RGBA context with a depth buffer current and puts OpenGL into the
// viewer's render state (init_gl_state, whose progress lines are not printed). Needs no display.
// Returns an offscreen_result; on failure target is left closed and the reason printed.
int32_t open_offscreen(offscreen_target *target, int32_t width, int32_t height);

// The system's context, current and drawing into a width x height picture, taken into target
// and put into the viewer's render state; offscreen_ok.
int32_t start_offscreen(offscreen_target *target, void *context, int32_t width, int32_t height);

// Whether a width x height picture can be made; false with the reason printed.
bool offscreen_size_is_possible(int32_t width, int32_t height);

// Releases the context and the pixels; a closed target is left as it is.
void close_offscreen(offscreen_target *target);

// The picture drawn so far: width x height pixels of 4 (RGBA) or 3 (RGB) bytes, bottom row first,
// rows packed. Empty when the target is closed.
std::vector<uint8_t> read_offscreen_pixels(const offscreen_target *target, int32_t channels);

// Saves the picture as a PNG file at path, with its alpha channel when channels is 4, opaque when
// it is 3, through the image library (DevIL is started by init_image_loading). The file is written
// beside path and renamed over it only when complete. Returns an offscreen_result; after
// offscreen_not_saved errno holds the system's reason (0 when the failure was not the system's).
int32_t save_offscreen_png(const offscreen_target *target, const char *path, int32_t channels);
