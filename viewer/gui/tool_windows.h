// The four modeless tool windows (menu, mesh, animation, textures).
#pragma once

// Builds and shows the menu window, parented to the OpenGL window.
void create_tool_windows();
