// SPDX-License-Identifier: MIT
// samplegen DIR: writes the sample officer, its walk, a rifle, their textures and a background
// into DIR. Each file appears whole or not at all, so parallel builds and a viewer reading the
// directory never see half a file.
#include <cstdio>
#include <string>

#include "tools/samplegen/byte_writer.h"
#include "tools/samplegen/images.h"
#include "tools/samplegen/sample_models.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_writer.h"

namespace {

int write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    if (write_bytes(path, bytes) == 0) return 0;
    std::fprintf(stderr, "samplegen: cannot write %s\n", path.c_str());
    return 1;
}

int write_mesh(const std::string &path, tkm_mesh *mesh) {
    if (!mesh) {
        std::fprintf(stderr, "samplegen: out of memory building %s\n", path.c_str());
        return 1;
    }
    int code = write_tkm(mesh, path.c_str());
    release_mesh(mesh);
    if (code != 0) {
        std::fprintf(stderr, "samplegen: writing %s failed with code %d\n", path.c_str(), code);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: samplegen OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string directory = std::string(argv[1]) + "/";
    int failures = 0;
    failures += write_mesh(directory + officer_file, build_officer_mesh());
    failures += write_mesh(directory + rifle_file, build_rifle_mesh());
    failures += write_file(directory + walk_file, encode_tka(build_walk_animation(32)));
    failures += write_file(directory + uniform_texture_file, encode_bmp(make_uniform_picture()));
    failures += write_file(directory + face_texture_file, encode_tga(make_face_picture()));
    failures += write_file(directory + rifle_texture_file, encode_tga(make_weapon_picture()));
    failures += write_file(directory + background_file, encode_bmp(make_background_picture()));
    return failures == 0 ? 0 : 1;
}
