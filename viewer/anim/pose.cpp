// Placeholder frame stepping.
#include "viewer/anim/pose.h"

void next_frame() {}
