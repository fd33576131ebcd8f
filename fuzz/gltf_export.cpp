// SPDX-License-Identifier: MIT
// Fuzz target of the glTF export: whatever the TKM reader accepts is exported with its rest pose
// as an animation, and the .glb must read back with its skin and animation.
#include <tiny_gltf.h>

#include <cstdlib>
#include <vector>

#include "fuzz_target.h"
#include "tests/fixtures/fuzz_files.h"
#include "tests/fixtures/tkm_builder.h"
#include "tests/viewer/gltf/export/character_fixture.h"
#include "viewer/anim/animation.h"
#include "tools/tkmtool/stb_images.h"
#include "viewer/anim/pose.h"
#include "viewer/gltf/gltf_export.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

// The .glb always; the .gltf (whose JSON is parsed and written once more) for every fourth
// input size, which keeps the replay's cost down while both forms see every kind of mesh.
void export_forms(const tkm_mesh &mesh, const tka_animation *rest, bool text) {
    gltf_export_options options;
    options.texture_directory = fuzz_scratch_path("no-such-directory");
    options.read_image = read_image_with_stb;
    if (rest) options.animations.push_back({rest, "rest"});
    for (bool binary : {true, false}) {
        if (!binary && !text) continue;
        options.binary = binary;
        std::vector<gltf_file> files;
        gltf_export_report report;
        int32_t result = encode_gltf(mesh, options, &files, &report);
        // Only values that are no numbers may stop an export of what the reader accepts.
        if (result != gltf_export_ok && result != gltf_export_bad_number) std::abort();
        if (result != gltf_export_ok || !binary) continue;
        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string error, warning;
        const std::vector<uint8_t> &glb = files.at(0).bytes;
        if (!loader.LoadBinaryFromMemory(&model, &error, &warning, glb.data(),
                                         static_cast<unsigned>(glb.size())))
            std::abort();
        if (model.skins.size() != (mesh.num_bones ? 1u : 0u)) std::abort();
        if (model.animations.size() != (rest && mesh.num_bones ? 1u : 0u)) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    tkm_mesh *mesh = create_mesh();
    if (read_tkm_memory(mesh, data, size, "in.tkm") == 0) {
        tka_animation *rest = create_animation();
        bool posed = rest && fill_rest_pose(mesh, rest) == 0;
        export_forms(*mesh, posed && mesh->num_bones ? rest : nullptr, size % 4 == 0);
        release_animation(rest);
    }
    release_mesh(mesh);
    return 0;
}

std::vector<std::vector<uint8_t>> fuzz_seeds() {
    using namespace tkm_fixture;
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(tkm_bytes(minimal_tkm()));
    seeds.push_back(tkm_bytes(small_tkm()));
    character_fixture::character trooper = character_fixture::build_character();
    seeds.push_back(tkm_bytes(trooper.mesh));
    tkm_description d = small_tkm();
    d.bones.push_back({"late", 3, {1, 1, 1}, {0, 0, 0, 0}}); // a later parent, no rotation
    d.runs = {{0, 0, 2}, {2, 2, 2}};
    seeds.push_back(tkm_bytes(d));
    return seeds;
}
