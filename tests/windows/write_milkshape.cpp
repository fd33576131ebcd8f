// SPDX-License-Identifier: MIT
// write_milkshape FILE: a small Milkshape model (two joints in a chain, a triangle on each) for
// the commands of the Windows page that take "a Milkshape model of yours".
#include <cstdio>

#include "fixtures/ms3d_builder.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_milkshape FILE\n");
        return 2;
    }
    const std::vector<uint8_t> data = ms3d_fixture::bytes(ms3d_fixture::chain_model(2));
    std::FILE *out = std::fopen(argv[1], "wb");
    bool written = out && std::fwrite(data.data(), 1, data.size(), out) == data.size();
    if (out && std::fclose(out) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "write_milkshape: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
