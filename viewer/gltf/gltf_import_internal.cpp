// SPDX-License-Identifier: MIT
// The glTF reader's helpers shared by its files: messages, the file, primitives.
#include "viewer/gltf/gltf_import_internal.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fstream>

#include "support/messages.h"

namespace gltf_import {

std::string format(const char *pattern, ...) {
    va_list args, again;
    va_start(args, pattern);
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string out(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(out.data(), out.size() + 1, pattern, again);
    va_end(again);
    return out;
}

namespace {

// Largest glTF file read (the GLB or the JSON; external buffers have their own limit).
constexpr uint64_t largest_gltf_file = 1ull << 30;

} // namespace

int read_gltf_file(const char *path, std::vector<uint8_t> *bytes, std::string *why) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        *why = format("cannot open %s: %s", path, std::strerror(errno));
        return gltf_cannot_open;
    }
    if (!S_ISREG(info.st_mode)) {
        // A directory in the system's own words, as the other readers tell it.
        *why = format("cannot open %s: %s", path,
                      S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file");
        return gltf_cannot_open;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *why = format("cannot open %s: %s", path, std::strerror(errno));
        return gltf_cannot_open;
    }
    if (uint64_t(info.st_size) > largest_gltf_file) {
        *why = format("%s is larger than 1 GiB", path);
        return gltf_cannot_open;
    }
    bytes->resize(size_t(info.st_size));
    if (!bytes->empty() &&
        !in.read(reinterpret_cast<char *>(bytes->data()), std::streamsize(bytes->size()))) {
        *why = format("cannot read %s", path);
        return gltf_cannot_open;
    }
    return 0;
}

void triangle_primitives(const tinygltf::Mesh &mesh, std::vector<const tinygltf::Primitive *> *out,
                         std::vector<size_t> *numbers) {
    for (size_t p = 0; p < mesh.primitives.size(); p++) {
        const tinygltf::Primitive &primitive = mesh.primitives[p];
        if (primitive.mode != TINYGLTF_MODE_TRIANGLES) {
            real_meow("glTF primitive %zu is not made of triangles (mode %d): left out\n", p,
                      primitive.mode);
            continue;
        }
        if (!primitive.targets.empty())
            real_meow("glTF primitive %zu has morph targets: they are not converted\n", p);
        out->push_back(&primitive);
        numbers->push_back(p);
    }
}

} // namespace gltf_import
