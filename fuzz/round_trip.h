// The round trip every mesh the viewer holds must survive, checked inside the fuzz targets so that
// the fuzzer finds what breaks it: written, read back, and written again to the same octets.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fixtures/fuzz_files.h"
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
