// GTK inside the SDL main loop: early initialisation and pumping of pending GUI events.
#pragma once

// Initialises GTK for X11 without touching the process locale; returns 1 when GTK is usable.
// Must run before SDL_Init.
int gui_platform_init();
// 1 once gui_platform_init succeeded.
int gui_available();
// Runs every pending GTK event; tool-window commands execute inside this call.
void pump_gui_events();
