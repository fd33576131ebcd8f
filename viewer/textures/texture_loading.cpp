// SPDX-License-Identifier: MIT
// Texture discovery and loading through the image library (image_io.h).
//
// Index: helpers - load_image_texture - find_and_load_texture - load_textures -
//        reload_textures - set_picture_change_hook
#include "viewer/textures/texture_loading.h"

#include <GL/gl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/file.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"
#include "viewer/files/image_guard.h"
#include "viewer/files/texture_paths.h"
#include "viewer/textures/image_io.h"

int32_t reloading_textures = 0;

namespace {

picture_change_fn picture_change_hook = nullptr;

void tell_picture_changed() {
    if (picture_change_hook) picture_change_hook();
}

// How a mesh's textures go when it is released: the model code itself calls no GL.
void delete_texture(uint32_t name) {
    GLuint texture = name;
    glDeleteTextures(1, &texture);
    tell_picture_changed();
}

// A block path as its own string: path may lack its terminator within length, or be null.
std::string stored_path(const texture_name &name) {
    if (!name.path || name.length == 0) return {};
    return std::string(name.path, name.length).c_str();
}

} // namespace

int32_t load_image_texture(uint32_t *slot, const char *path) {
    set_texture_release(delete_texture);
    // DevIL overruns its buffers on some absurd BMP and TGA headers: those never reach it.
    if (!path) return 1;
    if (int32_t check = check_image_file(path); check != image_ok) {
        // A file that is not there is an ordinary miss of the search, not worth a line.
        if (check != image_unreadable)
            std::fprintf(stderr, "Refusing image %s: %s\n", path, image_check_reason(check));
        return 1;
    }
    uint32_t texture = 0;
    if (int32_t code = current_image_backend().load_texture(path, &texture); code != 0) return code;
    *slot = texture;
    tell_picture_changed();
    return 0;
}

int32_t find_and_load_texture(const char *directory, const char *name, uint32_t *slot) {
    if (!name) return texture_not_found;
    if (std::FILE *here = open_read(name)) {
        close_file(here);
        if (load_image_texture(slot, name) != 0) return texture_current_directory_failed;
        std::printf("Loaded %s\n", name);
        return texture_loaded;
    }
    std::vector<char> found(path_capacity);
    if (find_texture_file(directory, name, found.data(), found.size()) != texture_found)
        return texture_not_found;
    if (load_image_texture(slot, found.data()) != 0) return texture_found_but_failed;
    std::printf("Loaded %s\n", found.data());
    return texture_loaded;
}

int32_t load_textures(uint16_t count, const texture_name *names, gl_texture_table *table,
                      const char *directory) {
    if (!app_state.show_textures) {
        std::fprintf(stderr, "Textures are disabled: not even trying to load any!\n");
        return count;
    }
    // An empty table keeps no blocks: they would never be freed, as releasing skips empty tables.
    if (count == 0) {
        table->num_textures = 0;
        return 0;
    }
    uint32_t *textures = alloc_elements<uint32_t>(count);
    uint32_t *loaded = alloc_elements<uint32_t>(count);
    if (!textures || !loaded || !names) {
        cleanup_one(textures);
        cleanup_one(loaded);
        std::fprintf(stderr, "Out of memory for %u textures!\n", count);
        return count;
    }
    table->num_textures = count;
    table->textures = textures;
    table->loaded = loaded;

    int32_t failures = 0;
    std::vector<char> resolved(path_capacity);
    for (uint16_t i = 0; i < count; i++) {
        std::string path = stored_path(names[i]);
        char *base = get_basename(path.c_str());
        const char *base_name = base ? base : path.c_str();
        uint32_t slot = 0;
        if (find_and_load_texture(directory ? directory : "", base_name, &slot) == texture_loaded) {
            loaded[i] = 1;
        } else if (resolve_stored_path(path.c_str(), resolved.data(), resolved.size()) == 0 &&
                   load_image_texture(&slot, resolved.data()) == 0) {
            std::printf("Loaded %s\n", path.c_str());
            loaded[i] = 1;
        } else {
            loaded[i] = 0;
            failures++;
            std::printf("Can't load texture \"%s\"\n", base_name);
        }
        if (loaded[i]) {
            textures[i] = slot;
            glBindTexture(GL_TEXTURE_2D, slot);
        }
        cleanup_one(base);
    }
    return failures;
}

void reload_textures(tkm_mesh *mesh) {
    if (!mesh || reloading_textures) return;
    reloading_textures = 1;
    release_gl_textures(&mesh->gl_textures);
    load_textures(mesh->num_texture_names, mesh->texture_names, &mesh->gl_textures,
                  mesh->directory);
    reloading_textures = 0;
}

void set_picture_change_hook(picture_change_fn hook) {
    picture_change_hook = hook;
}
