// Placeholder input handlers.
#include "viewer/app/input.h"

int32_t on_key_down(const SDL_Event *) { return 0; }
int32_t on_key_up(const SDL_Event *) { return 0; }
void on_mouse_motion(uint8_t, int16_t, int16_t) {}
void poll_joysticks() {}
