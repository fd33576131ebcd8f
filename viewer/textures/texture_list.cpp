// SPDX-License-Identifier: MIT
// List lines and the two edits of the textures window, on the mesh's texture names.
#include "viewer/textures/texture_list.h"

#include <cstring>

#include "support/memory.h"
#include "support/messages.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/mesh.h"

std::vector<texture_list_line> texture_list_lines(const tkm_mesh *mesh) {
    std::vector<texture_list_line> lines;
    if (!mesh) return lines;
    lines.reserve(mesh->num_texture_names);
    for (uint32_t i = 0; i < mesh->num_texture_names; i++) {
        const texture_name &name = mesh->texture_names[i];
        const char *mark = "! ";
        if (i >= mesh->gl_textures.num_textures) {
            // Textures switched off leave the table empty on purpose; otherwise it is a surprise.
            if (app_state.show_textures)
                real_meow(
                    "Warning: gui_generate_textures_list(): i = %u; tkm->gl_textures.num_textures "
                    "= %u\n",
                    i, mesh->gl_textures.num_textures);
        } else if (mesh->gl_textures.loaded && mesh->gl_textures.loaded[i]) {
            mark = "  ";
        }
        lines.push_back({std::string(mark) + (name.base ? name.base : ""), i});
    }
    return lines;
}

int32_t replace_texture_paths(tkm_mesh *mesh, std::span<const uint32_t> indices, const char *path) {
    if (!mesh || !path) return replace_done;
    size_t length = std::strlen(path);
    if (length > UINT16_MAX) {
        real_meow("Replacement texture path is too long (%zu characters)!\n", length);
        return replace_path_too_long;
    }
    for (uint32_t index : indices) {
        // The list may show another mesh's textures (a weapon loaded after the character).
        if (index >= mesh->num_texture_names) {
            real_meow("Texture %u is not in the mesh (%u textures), not replaced!\n", index,
                      mesh->num_texture_names);
            continue;
        }
        char *copy = alloc_counted_string(path, static_cast<uint16_t>(length));
        if (!copy) {
            real_meow("Out of memory replacing texture %u!\n", index);
            return replace_out_of_memory;
        }
        texture_name &name = mesh->texture_names[index];
        if (name.length != 0 || name.path) cleanup_one(name.path);
        name.path = copy;
        name.length = static_cast<uint16_t>(length);
        set_texture_base(&name);
    }
    return replace_done;
}

void show_only_textures(tkm_mesh *mesh, std::span<const uint32_t> indices) {
    if (!mesh) return;
    for (uint32_t i = 0; i < mesh->num_texture_names; i++)
        mesh->texture_names[i].hidden = 1;
    real_purr("Showing only selected textures:\n");
    for (uint32_t index : indices) {
        if (index >= mesh->num_texture_names) continue;
        texture_name &name = mesh->texture_names[index];
        name.hidden = 0;
        real_purr("  Texture %u: %s\n", index, name.base ? name.base : "");
    }
}
