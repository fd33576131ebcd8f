// SPDX-License-Identifier: MIT
// The textures window's logic apart from GTK: list lines with their marks, path replacement and
// showing only some textures.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct tkm_mesh;

// One line of the textures list: "  " (loaded) or "! " (not loaded) and the base name.
struct texture_list_line {
    std::string text;
    uint32_t index; // the texture's index in texture_names
};

// The lines for mesh in texture order (empty for null). Warns on standard error, while
// show_textures is on, about names beyond the loaded texture table.
std::vector<texture_list_line> texture_list_lines(const tkm_mesh *mesh);

// Result codes of replace_texture_paths.
enum replace_texture_result : int32_t {
    replace_done = 0,
    replace_path_too_long = 1, // longer than a counted string holds; nothing changed
    replace_out_of_memory = 2, // names replaced before the failure keep their new path
};

// Gives every texture name of indices (those beyond num_texture_names are skipped and reported)
// an owned copy of path and splits off its base again; hidden stays as it was.
int32_t replace_texture_paths(tkm_mesh *mesh, std::span<const uint32_t> indices, const char *path);

// Hides every texture but those of indices and lists the shown ones on standard output.
void show_only_textures(tkm_mesh *mesh, std::span<const uint32_t> indices);
