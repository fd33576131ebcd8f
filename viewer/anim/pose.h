// Posing a mesh in an animation frame, the rest pose, and stepping frames.
#pragma once

// current_frame + 1 with wrap-around; nothing without an animation.
void next_frame();
