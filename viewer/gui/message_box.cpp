// SPDX-License-Identifier: MIT
// The modal notice, the same on every system up to the system's own box (and a test's stand-in).
#include "viewer/gui/dialog.h"

namespace {
message_box_fn message_box_hook = nullptr;
}

void set_message_box_hook(message_box_fn box) {
    message_box_hook = box;
}

void show_message_box(const char *text, const char *caption) {
    if (!text) text = "";
    if (!caption) caption = "";
    if (message_box_hook)
        message_box_hook(text, caption);
    else
        show_system_message_box(text, caption);
}
