// The Milkshape branch of the mesh load command: read, convert, release.
#pragma once

struct tkm_mesh;

// Reads the Milkshape file at path and converts it into the empty mesh, printing the read or
// conversion error; 0 on success, non-zero when the mesh is not to be used.
int load_ms3d_mesh(const char *path, tkm_mesh *mesh);
