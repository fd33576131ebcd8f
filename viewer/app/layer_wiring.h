// SPDX-License-Identifier: MIT
// What the lower layers call upward, handed to them by the application: the tool windows'
// command table, the notice that an image changed the picture, and the GUI's wait for the window
// layer.
#pragma once

// The commands the tool windows run, filled from the application's commands.
struct gui_commands;
const gui_commands &viewer_commands();

// Gives the window layer the GUI's wait and timers, the tool windows viewer_commands and the
// texture code the redraw notice. Once at start-up,
// before any window or texture exists; tests that drive the windows or textures call it as well.
void wire_viewer_layers();
