// SPDX-License-Identifier: MIT
// The round trips every mesh and animation the viewer holds must survive, checked inside the fuzz
// targets so that the fuzzer finds what breaks them: written, read back, and written again to the
// same octets.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/fixtures/fuzz_files.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/tka_loader.h"
#include "viewer/anim/tka_writer.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/mesh/tkm_writer.h"

// Aborts (a finding) when mesh cannot be saved, when the saved file does not read back, or when
// the mesh read back saves to other octets than the first save.
inline void check_round_trip(const tkm_mesh *mesh) {
    static const std::string first = fuzz_scratch_path("first.tkm");
    static const std::string second = fuzz_scratch_path("second.tkm");
    auto fail = [](const char *step, int code) {
        std::fprintf(stderr, "round trip broken: %s gave %d\n", step, code);
        std::abort();
    };
    fuzz_forget_file(first);
    fuzz_forget_file(second);
    if (int code = write_tkm(mesh, first.c_str())) fail("the first write_tkm", code);
    tkm_mesh *again = create_mesh();
    if (int code = read_tkm(again, first.c_str())) fail("read_tkm of the written file", code);
    if (int code = write_tkm(again, second.c_str())) fail("the second write_tkm", code);
    if (fuzz_read_file(first) != fuzz_read_file(second)) fail("comparing the two writes", 0);
    release_mesh(again);
}

// Aborts (a finding) when an animation the loader accepted cannot be written, does not read back
// the same, or writes to other octets the second time.
inline void check_tka_round_trip(const tka_animation *animation, const tkm_mesh *mesh) {
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
