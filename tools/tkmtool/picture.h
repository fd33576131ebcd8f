// SPDX-License-Identifier: MIT
// What tkmtool render and thumbnail share: a model drawn by the viewer's own code into an
// offscreen OpenGL context and saved as a PNG file, with no display needed.
#pragma once

#include <cstdint>
#include <string>

// Where the picture is taken from.
enum class picture_camera {
    viewer, // the viewer's start camera and its fixed 4:3 projection, as its window shows
    fit,    // looking as the viewer does, near enough that the posed model fills the picture
};

// One picture to make; paths as the user gave them.
struct picture_request {
    std::string mesh_path;
    std::string animation_path; // "" for the mesh's rest pose
    long frame = 0;             // 0-based frame of the animation
    int32_t width = 640;        // pixels
    int32_t height = 480;       // pixels
    bool bones = false;         // bones, grips and grippers over the model
    bool wire = false;          // the wire view
    bool textures = true;       // false: every material in its own colours, untextured
    picture_camera camera = picture_camera::fit;
    bool turn_broadside = false; // fit only: a model deeper than wide is turned to show its side
    bool transparent = false;    // alpha 0 where no model is drawn, instead of the viewer's colour
    std::string out_path;        // the PNG file to write
};

// Draws the request and writes the PNG file. Loading prints what the viewer prints; failures are
// reported on standard error. Returns the exit status: 0 written, 1 failed.
int make_picture(const picture_request &request);

// A size in pixels from 1 to the largest picture, written in decimal and nothing else.
bool parse_picture_side(const std::string &text, int32_t *side);
