// SPDX-License-Identifier: MIT
// Start-up of the image library.
#include "viewer/textures/image_loading.h"

#include "viewer/textures/image_io.h"

void init_image_loading() {
    current_image_backend().start();
}
