// SPDX-License-Identifier: MIT
// What the Win32 backend offers beyond the window layer: the hook by which modeless dialogs get
// their keyboard messages (Tab, access keys) from the one message loop.
#pragma once

#include <windows.h>

// Gives message to the modeless dialog it belongs to; true when a dialog took it. Tool windows
// install their own; without them no dialog takes anything.
using window_dialog_filter = bool (*)(MSG *message);
void set_window_dialog_filter(window_dialog_filter filter);
bool window_dialog_message(MSG *message);
