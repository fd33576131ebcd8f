// SPDX-License-Identifier: MIT
// Finding a top-level X window by its title, closing it as a window manager would, unmapping it.
#pragma once

#include <string>

// Looks for a window titled title, polling for up to timeout_ms (0: once); its id, or 0.
unsigned long find_window(const std::string &title, int timeout_ms);
// Sends WM_DELETE_WINDOW to window, as a window manager's close button does. True when sent.
bool close_window(unsigned long window);
// Unmaps window, as iconifying it does. True when the display could be reached.
bool unmap_window(unsigned long window);
