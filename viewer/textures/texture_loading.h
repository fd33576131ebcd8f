// SPDX-License-Identifier: MIT
// Turning a mesh's texture images into OpenGL textures: finding each image (beside the mesh, in
// any letter case, or by its stored path) and loading it through the image library.
#pragma once

#include <cstdint>

struct tkm_mesh;
struct texture_name;
struct gl_texture_table;

// Result codes of find_and_load_texture.
enum find_and_load_result : int32_t {
    texture_loaded = 0,
    texture_current_directory_failed = 1, // the name opens in the current directory but won't load
    texture_not_found = 2,                // not in the mesh's directory either
    texture_found_but_failed = 3,         // found in the mesh's directory but won't load
};

// Told that the picture changed: a texture was made or deleted. The application installs its
// redraw notice here; null (the default) tells no one.
using picture_change_fn = void (*)();
void set_picture_change_hook(picture_change_fn hook);

// 1 while reload_textures is at work; a reload arriving meanwhile does nothing.
extern int32_t reloading_textures;

// Decodes the image at path into a new OpenGL texture with mipmaps, left bound; its name goes to
// *slot. 0 on success; 1 when the image cannot be loaded; otherwise the image library's error code.
// *slot is only written on success. Needs the GL context and init_image_loading.
int32_t load_image_texture(uint32_t *slot, const char *path);

// Loads the texture named name (a base name): from the current directory when a file of that name
// opens there, else from directory in any letter case. Prints "Loaded %s\n" on success. Returns a
// find_and_load_result; *slot is written only on success.
int32_t find_and_load_texture(const char *directory, const char *name, uint32_t *slot);

// Fills table with one texture per name (count of them), searching directory first, then each
// stored path. Returns the number of textures that failed; with textures switched off, count and
// the table is left as it was. The table must be empty (release_gl_textures).
int32_t load_textures(uint16_t count, const texture_name *names, gl_texture_table *table,
                      const char *directory);

// Releases and loads again the textures of mesh; nothing for null or during another reload.
void reload_textures(tkm_mesh *mesh);
