// Loading TKA files (being filled in).
#include "viewer/anim/animation.h"

tka_animation *create_animation() {
    return alloc_elements<tka_animation>(1);
}
int load_tka(tka_animation *, const tkm_mesh *, const char *) {
    return 1;
}
void release_animation(tka_animation *animation) {
    cleanup_one(animation);
}
void release_frame_strings(uint16_t, frame_string *strings) {
    cleanup_one(strings);
}
