// Finding a top-level X window by its title and closing it as a window manager would.
#pragma once

#include <string>

// Polls the display for up to timeout_ms for a window titled title; its id, or 0.
unsigned long find_window(const std::string &title, int timeout_ms);
// Sends WM_DELETE_WINDOW to window, as a window manager's close button does. True when sent.
bool close_window(unsigned long window);
