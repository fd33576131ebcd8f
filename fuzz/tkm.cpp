// SPDX-License-Identifier: MIT
// Fuzz target of the TKM reader: read, pose, write, read back, and write again identically.
#include <cstdlib>
#include <vector>

#include "fuzz_target.h"
#include "round_trip.h"
#include "sniff_check.h"
#include "tests/fixtures/tkm_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

// Everything a reader's output feeds: posing in the rest pose and every corner's position.
void use(tkm_mesh *mesh) {
    tka_animation *rest = create_animation();
    if (rest && fill_rest_pose(mesh, rest) == 0) pose_mesh_in_frame(mesh, rest, 0, nullptr);
    release_animation(rest);
    float position[3];
    for (uint32_t i = 0; i < mesh->num_corners; ++i)
        corner_position(mesh, mesh->corners[i].vertex, position);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    tkm_mesh *mesh = create_mesh();
    if (read_tkm_memory(mesh, data, size, "in.tkm") == 0) {
        check_sniffed_as(data, size, "TarvikMesh");
        use(mesh);
        // What the reader accepts the writer must store, and the stored file must read back.
        check_round_trip(mesh);
    }
    release_mesh(mesh);
    return 0;
}

std::vector<std::vector<uint8_t>> fuzz_seeds() {
    using namespace tkm_fixture;
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(tkm_bytes(minimal_tkm()));
    seeds.push_back(tkm_bytes(small_tkm()));
    tkm_description d = small_tkm();
    d.end_marker = false;
    d.grippers = {gripper_description{}};
    d.materials.push_back(material_description{});
    d.materials[1].refs = {{1, 0}, {2, 0}};
    d.triangle_lists = {{0, 1}, {}, {5, 5, 5}};
    seeds.push_back(tkm_bytes(d));
    d = small_tkm();
    d.runs = {{0, 0, 4}};
    d.declared_run_count = 4;
    d.bones.resize(4);
    d.bones[3].parent = 9; // a parent after the bone: placed as a root
    seeds.push_back(tkm_bytes(d));
    return seeds;
}
