// GTK on the main thread beside SDL: GTK is initialised before SDL, and its events are pumped
// before each SDL poll so that tool-window commands run on the main thread between frames.
#include "viewer/gui/gui_loop.h"

#include <gtk/gtk.h>

namespace {
int gtk_ready = 0;
}

int gui_platform_init() {
    if (gtk_ready) return 1;
    gdk_set_allowed_backends("x11");
    // Without this GTK switches the process to the user's locale and numbers print with commas.
    gtk_disable_setlocale();
    gtk_ready = gtk_init_check(nullptr, nullptr) ? 1 : 0;
    return gtk_ready;
}

int gui_available() {
    return gtk_ready;
}

void pump_gui_events() {
    if (!gtk_ready) return;
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}
