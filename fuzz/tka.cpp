// SPDX-License-Identifier: MIT
// Fuzz target of the TKA loader, against a small two-bone mesh; every frame is posed.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_target.h"
#include "round_trip.h"
#include "tests/fixtures/tkm_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/tka_loader.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

tkm_mesh *two_bone_mesh() {
    static tkm_mesh *mesh = [] {
        std::vector<uint8_t> bytes = tkm_fixture::tkm_bytes(tkm_fixture::small_tkm());
        tkm_mesh *m = create_mesh();
        if (read_tkm_memory(m, bytes.data(), bytes.size(), "mesh.tkm") != 0) std::abort();
        return m;
    }();
    return mesh;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    tkm_mesh *mesh = two_bone_mesh();
    tka_animation *animation = create_animation();
    if (load_tka_memory(animation, mesh, data, size, "in.tka") == 0) {
        check_tka_round_trip(animation, mesh);
        // One frame past each end too: those pose the bind pose, reading no frame.
        for (int32_t f = -1; f <= int32_t{animation->num_frames}; ++f)
            pose_mesh_in_frame(mesh, animation, f, nullptr);
    }
    release_animation(animation);
    return 0;
}

std::vector<std::vector<uint8_t>> fuzz_seeds() {
    using namespace tkm_fixture;
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(tka_bytes(small_tka(3)));
    seeds.push_back(tka_bytes(small_tka(0)));
    tka_description d = small_tka(2);
    d.header_word = 0x12;
    d.frames[0].strings = {std::string("hit\0", 4), "x"};
    d.animated = {1};
    for (auto &frame : d.frames)
        frame.rotations.resize(1);
    seeds.push_back(tka_bytes(d));
    return seeds;
}
