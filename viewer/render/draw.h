// Drawing one frame of the scene.
#pragma once

// Clears, draws background, meshes, bones and grippers, and swaps the buffers.
void draw_frame();
