// SPDX-License-Identifier: MIT
// Start-up of the image library (DevIL with its OpenGL utilities, or stb where there is no DevIL).
#pragma once

// Makes the image library ready for OpenGL; needs the GL context to exist.
void init_image_loading();
