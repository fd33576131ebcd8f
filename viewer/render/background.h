// SPDX-License-Identifier: MIT
// The background image behind the model and screenshots of the OpenGL window.
#pragma once

#include <cstdint>

// Result codes of load_background.
enum background_result : int32_t {
    background_loaded_ok = 0,
    background_not_loaded = 2, // the image could not be loaded; the previous background stays
};

// Result codes of take_screenshot.
enum screenshot_result : int32_t {
    screenshot_saved = 0,
    screenshot_no_image = 1,    // no DevIL image could be made for the capture
    screenshot_no_capture = 2,  // the window could not be read
    screenshot_save_failed = 4, // the file could not be written (the old file is kept; errno says
                                // why, 0 when the system did not refuse)
};

// Makes the image at path the background texture (app_state owns it) and deletes the old one;
// prints its progress on standard output. Returns a background_result.
int32_t load_background(const char *path);

// Draws the background over the whole window when it is switched on; the model is drawn over it.
// Called first in every frame, right after the buffers are cleared.
void draw_background();

// Saves what the window shows to path (format from its extension, an existing file replaced only
// once the new one is complete). The frame is drawn again for the capture, so the buffers need not
// hold it. Returns a screenshot_result.
int32_t take_screenshot(const char *path);
