// SPDX-License-Identifier: MIT
// e2e_read_back FILE: reads a TKM file with the viewer's own reader and prints what a person would
// check in the mesh window: "bones=N triangles=N class=NAME", or the reader's error code.
#include <cstdio>

#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_reader.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: e2e_read_back FILE.tkm\n");
        return 2;
    }
    tkm_mesh *mesh = create_mesh();
    if (!mesh) return 1;
    int code = read_tkm(mesh, argv[1]);
    if (code == 0)
        std::printf("bones=%u triangles=%u class=%s\n", mesh->num_bones, mesh->num_triangles,
                    mesh->class_name);
    else
        std::printf("error=%d\n", code);
    release_mesh(mesh);
    return code == 0 ? 0 : 1;
}
