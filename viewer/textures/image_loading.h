// SPDX-License-Identifier: MIT
// Start-up of the image library (DevIL with its OpenGL utilities).
#pragma once

// ilInit, then ilutRenderer(ILUT_OPENGL); needs the GL context to exist.
void init_image_loading();
