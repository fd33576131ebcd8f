// tkmtool's optional parts linked in: what the tests and the drawing module itself use.
#include "parts.h"
#include "viewer/textures/image_png.h"

gltf_image_reader image_reader() {
    return read_image_with_devil;
}
