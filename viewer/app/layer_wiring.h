// SPDX-License-Identifier: MIT
// What the lower layers call upward, handed to them by the application: the tool windows'
// command table and the notice that an image changed the picture.
#pragma once

// The commands the tool windows run, filled from the application's commands.
struct gui_commands;
const gui_commands &viewer_commands();

// Gives the tool windows viewer_commands and the texture code the redraw notice. Once at start-up,
// before any window or texture exists; tests that drive the windows or textures call it as well.
void wire_viewer_layers();
