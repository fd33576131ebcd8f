// Fuzz target of the TKA loader, against a small two-bone mesh; every frame is posed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/fixtures/fuzz_files.h"
#include "fuzz_target.h"
#include "tests/fixtures/tkm_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/anim/tka_writer.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

tkm_mesh *two_bone_mesh() {
    static tkm_mesh *mesh = [] {
        std::string path = fuzz_scratch_path("mesh.tkm");
        std::vector<uint8_t> bytes = tkm_fixture::build_tkm(tkm_fixture::small_tkm());
        tkm_mesh *m = create_mesh();
        if (!fuzz_write_file(path, bytes.data(), bytes.size()) || read_tkm(m, path.c_str()) != 0)
            std::abort();
        std::remove(path.c_str());
        return m;
    }();
    return mesh;
}

// Aborts (a finding) when an animation the loader accepted cannot be written, does not read back
// the same, or writes to other octets the second time.
void check_tka_round_trip(const tka_animation *animation, const tkm_mesh *mesh) {
    static const std::string first = fuzz_scratch_path("first.tka");
    static const std::string second = fuzz_scratch_path("second.tka");
    auto fail = [](const char *step, int code) {
        std::fprintf(stderr, "TKA round trip broken: %s gave %d\n", step, code);
        std::abort();
    };
    if (int code = write_tka(animation, first.c_str())) fail("the first write_tka", code);
    tka_animation *again = create_animation();
    if (int code = load_tka(again, mesh, first.c_str())) fail("load_tka of the written file", code);
    if (again->num_frames != animation->num_frames || again->num_bones != animation->num_bones ||
        again->num_animated != animation->num_animated)
        fail("comparing the counts", 0);
    for (uint16_t i = 0; i < animation->num_bones; ++i)
        if (std::memcmp(again->bones[i].frame_rotations, animation->bones[i].frame_rotations,
                        16 * size_t{animation->num_frames}) != 0)
            fail("comparing the rotations of a bone", i);
    if (int code = write_tka(again, second.c_str())) fail("the second write_tka", code);
    if (fuzz_read_file(first) != fuzz_read_file(second)) fail("comparing the two writes", 0);
    release_animation(again);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string input = fuzz_scratch_path("in.tka");
    if (!fuzz_write_file(input, data, size)) return 0;
    tkm_mesh *mesh = two_bone_mesh();
    tka_animation *animation = create_animation();
    if (load_tka(animation, mesh, input.c_str()) == 0) {
        check_tka_round_trip(animation, mesh);
        app_state.animation = animation;
        app_state.current_frame = 0;
        for (uint32_t f = 0; f <= animation->num_frames; ++f) {
            pose_mesh(mesh, animation);
            next_frame();
        }
        previous_frame();
        app_state.animation = nullptr;
    }
    release_animation(animation);
    return 0;
}

std::vector<std::vector<uint8_t>> fuzz_seeds() {
    using namespace tkm_fixture;
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(build_tka(small_tka(3)));
    seeds.push_back(build_tka(small_tka(0)));
    tka_description d = small_tka(2);
    d.header_word = 0x12;
    d.frames[0].strings = {std::string("hit\0", 4), "x"};
    d.animated = {1};
    for (auto &frame : d.frames)
        frame.rotations.resize(1);
    seeds.push_back(build_tka(d));
    return seeds;
}
