// SPDX-License-Identifier: MIT
// Start-up of the image library; the renderer must be chosen once the GL context exists, or ILUT
// takes the maximum texture size as 256 and scales every image down.
#include "viewer/textures/image_loading.h"

#define ILUT_USE_OPENGL
#include <IL/il.h>
#include <IL/ilut.h>

void init_image_loading() {
    ilInit();
    ilutRenderer(ILUT_OPENGL);
}
