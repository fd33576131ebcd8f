// SPDX-License-Identifier: MIT
// Fuzz target for the glTF import: read any bytes as a .glb or .gltf (the reader tells them
// apart by the GLB magic) with no access to files, into the neutral model with its animations,
// and build the mesh and the animations of whatever reads; every built mesh and animation must
// save as a TKM or TKA file that reads back the same.
#include "fuzz_target.h"
#include "round_trip.h"
#include "sniff_check.h"
#include "tests/fixtures/gltf_import_builder.h"
#include "tests/fixtures/quiet_output.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tka_builder.h"
#include "viewer/scene/tkm_builder.h"

namespace gf = gltf_fixture;

namespace {

// Most rotations one built animation may hold (frames times bones), so that one input cannot take
// the fuzzer's memory: a TKA of 65,535 frames is valid, but not for thousands of bones.
constexpr uint64_t most_built_rotations = uint64_t{1} << 22;

// Builds each animation of the scene for the mesh built from it; every animation that builds must
// survive the TKA round trip.
void check_animations(const scene_model &scene, const tkm_mesh *mesh) {
    for (size_t i = 0; i < scene.animations.size() && i < 4; ++i) {
        float first = 0, last = 0;
        if (animation_time_span(scene.animations[i], &first, &last) &&
            !(double{last - first} * tka_frames_per_second * mesh->num_bones <
              double(most_built_rotations)))
            continue;
        tka_animation *animation = create_animation();
        int code = 0;
        {
            quiet_output quiet;
            code = build_tka(animation, scene, i, mesh);
        }
        if (code == 0) check_tka_round_trip(animation, mesh);
        release_animation(animation);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    tkm_mesh *converted = nullptr;
    scene_model scene;
    {
        quiet_output quiet;
        gltf_import_notes notes;
        if (read_gltf_scene_bytes(&scene, data, size, nullptr, "fuzz", &notes) == 0) {
            check_sniffed_as(data, size, "glTF");
            tkm_mesh *mesh = create_mesh();
            if (mesh && convert_scene_to_tkm(mesh, &scene) == 0)
                converted = mesh;
            else
                release_mesh(mesh);
        }
    }
    if (converted) {
        check_round_trip(converted);
        check_animations(scene, converted);
    }
    release_mesh(converted);
    return 0;
}

std::vector<std::vector<uint8_t>> fuzz_seeds() {
    gf::model textured = gf::chain_model(2);
    textured.images = {{"skin", gf::png(1, 1, {9, 8, 7}), "", "image/png"}};
    textured.materials[0].image = 0;
    textured.materials[0].blend = true;
    textured.animations = 1;
    gf::model reordered = gf::chain_model(3);
    reordered.skin_order = {2, 1, 0};
    reordered.primitives[0].indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    gf::model still;
    still.primitives = gf::chain_model(1).primitives;
    still.primitives[0].material = -1;
    still.mesh_translation = {1, 2, 3};
    gf::model animated = gf::chain_model(3);
    animated.colour_attribute = "_HIT_COLOR";
    animated.attachments = {{"Grip1", 2, {0, 1, 0}, {0, 0, 0, 1}, "grip"},
                            {"Hand", 1, {1, 0, 0}, {0, 0, 0, 1}, ""}};
    animated.primitives[0].vertices[0].joints = {0, 1, 2, 0};
    animated.primitives[0].vertices[0].weights = {0.5f, 0.3f, 0.2f, 0};
    animated.clips = {{"walk",
                       {{1, "rotation", "LINEAR", {0, 0.5f}, {0, 0, 0, 1, 0, 0.38f, 0, 0.92f}},
                        {2, "translation", "STEP", {0, 0.25f}, {1, 0, 0, 1, 1, 0}},
                        {0, "rotation", "CUBICSPLINE", {0}, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
                        {0, "scale", "LINEAR", {0.1f}, {2, 2, 2}}}}};
    gf::model coloured = gf::chain_model(2);
    coloured.colour_attribute = "COLOR_0";
    coloured.images = {{"swat_uniform.bmp.png", gf::png(1, 1, {1, 2, 3}), "", "image/png"}};
    coloured.materials[0].image = 0;
    gf::document sparse = gf::build(gf::chain_model(2));
    sparse.add_sparse(sparse.attribute("POSITION"), {1, 4}, {0.5f, 0.5f, 0.5f, 7, 0, 0}, 2);
    return {gf::glb(gf::build(textured)),
            gf::gltf(gf::build(textured)),
            gf::glb(sparse),
            gf::glb(gf::build(reordered)),
            gf::gltf(gf::build(still)),
            gf::glb(gf::build(gf::chain_model(5))),
            gf::glb(gf::build(animated)),
            gf::gltf(gf::build(coloured))};
}
