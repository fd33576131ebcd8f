// The image module's entry point: the glTF export's image reader, with DevIL.
#include "parts.h"
#include "viewer/textures/image_png.h"

extern "C" __attribute__((visibility("default"))) gltf_image_reader tkmtool_image_reader() {
    return read_image_with_devil;
}
