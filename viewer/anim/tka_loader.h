// SPDX-License-Identifier: MIT
// Loading a TKA file into a tka_animation for a mesh. The on-disk layout and the codes are in
// tka_format.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "viewer/anim/animation.h"
#include "viewer/mesh/read_failure.h"

// Fills the empty animation from the TKA file at path for mesh (same bone count required); 0 on
// success, else 1 to 16 by field, or 17 for a file without frames ("%s has no frames" on standard
// error; a bone count other than the mesh's is told on standard output). A failed animation is
// only fit for release_animation.
int load_tka(tka_animation *animation, const tkm_mesh *mesh, const char *path);
// load_tka that fills *failure (when not null) with where a failed load stopped, the line that
// explains it (tka_format.h) and the loader's own sentence (failure->notice), printing nothing;
// with a null failure it prints as load_tka does.
int load_tka_explained(tka_animation *animation, const tkm_mesh *mesh, const char *path,
                       read_failure *failure);
// load_tka_explained on the size octets at data, a whole file in memory; path only names it in
// messages. The file entries read the file at once and come here.
int load_tka_memory(tka_animation *animation, const tkm_mesh *mesh, const uint8_t *data,
                    size_t size, const char *path, read_failure *failure = nullptr);
