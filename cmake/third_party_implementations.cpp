// SPDX-License-Identifier: MIT
// The implementations of the header-only libraries, compiled once: stb's image reader and writer
// for tkmtool's images, and tinygltf's (not Debian's shared libtinygltf: loading and binding it
// and the libstb it needs was a sixth of what tkmtool info of a mesh did).
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
// File names are UTF-8 on Windows too.
#define STBI_WINDOWS_UTF8
#define STBIW_WINDOWS_UTF8
#include <stb_image.h>
#include <stb_image_write.h>
#ifdef TARVIK_TINYGLTF_IMPLEMENTATION
#define TINYGLTF_IMPLEMENTATION
// stb is already here, implementation and all.
#define TINYGLTF_NO_INCLUDE_STB_IMAGE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE_WRITE
#include <tiny_gltf.h>
#endif
