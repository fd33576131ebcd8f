// SPDX-License-Identifier: MIT
// tkmtool export-gltf: a mesh with its skeleton, skin, attachment points and animations as glTF.
#include <cstdio>

#include "commands.h"
#include "parts.h"
#include "tool_common.h"
#include "viewer/files/path_names.h"
#include "viewer/gltf/gltf_export.h"

namespace {

bool has_gltf_extension(const std::string &path) {
    size_t dot = path.find_last_of('.');
    size_t slash = last_folder_separator(path);
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash + 2)) return false;
    std::string extension = path.substr(dot + 1);
    for (char &c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == "glb" || extension == "gltf";
}

// What the export could not carry over exactly, on standard error.
void print_report(const gltf_export_report &report, const gltf_export_options &options,
                  const tkm_mesh &mesh) {
    for (const std::string &name : report.missing_textures)
        std::fprintf(stderr, "Can't load texture \"%s\": its materials keep their colours\n",
                     name.c_str());
    if (report.unmatched_blends)
        std::fprintf(stderr,
                     "tkmtool: %u blend vertices cannot be followed exactly by a glTF skin (their "
                     "components on one bone do not meet at the vertex, their weights do not sum "
                     "to 1, or they use more than 4 bones)\n",
                     report.unmatched_blends);
    if (report.largest_deviation <= 1e-4) return;
    std::string vertex =
        report.deviation_vertex < mesh.num_vertices
            ? "vertex " + std::to_string(report.deviation_vertex)
            : "blend vertex " + std::to_string(report.deviation_vertex - mesh.num_vertices);
    std::string where = report.deviation_animation < 0
                            ? std::string("the rest pose")
                            : "frame " + std::to_string(report.deviation_frame) + " of " +
                                  options.animations[size_t(report.deviation_animation)].name;
    std::fprintf(stderr,
                 "tkmtool: the glTF skin places vertices up to %g units from where the viewer "
                 "puts them (%s in %s)\n",
                 report.largest_deviation, vertex.c_str(), where.c_str());
}

// Where the hit colours go, by the value of --hit-colors.
struct hit_colour_choice {
    const char *value;
    bool vertex_colours;
};
constexpr hit_colour_choice hit_colour_choices[] = {{"attribute", false}, {"vertex-colors", true}};

} // namespace

int command_export_gltf(const std::vector<std::string> &args) {
    // --hit-colors=VALUE is taken as --hit-colors VALUE.
    std::vector<std::string> split;
    for (const std::string &arg : args) {
        const std::string option = "--hit-colors=";
        if (arg.rfind(option, 0) == 0) {
            split.push_back("--hit-colors");
            split.push_back(arg.substr(option.size()));
        } else {
            split.push_back(arg);
        }
    }
    parsed_args parsed;
    if (parse_args(split, {}, {{"--anim", "a file"}, {"--hit-colors", "a value"}}, &parsed) != 0)
        return 1;
    if (parsed.files.size() != 2 || !has_gltf_extension(parsed.files[1]))
        return usage_error("export-gltf takes MESH and OUT.glb or OUT.gltf");
    bool vertex_colours = false;
    if (parsed.has("--hit-colors")) {
        const hit_colour_choice *chosen = nullptr;
        for (const hit_colour_choice &choice : hit_colour_choices)
            if (parsed.value("--hit-colors") == choice.value) chosen = &choice;
        if (!chosen) return usage_error("--hit-colors takes attribute or vertex-colors");
        vertex_colours = chosen->vertex_colours;
    }
    const std::string &mesh_path = parsed.files[0], &out_path = parsed.files[1];
    failure failed;
    mesh_ptr mesh = load_mesh(mesh_path, &failed);
    if (!mesh) return 1;
    std::vector<animation_ptr> animations;
    gltf_export_options options;
    options.texture_directory = directory_of(mesh_path);
    options.hit_colors_as_vertex_colors = vertex_colours;
    // The image library is loaded only for a mesh that names textures.
    if (mesh->num_texture_names > 0) {
        options.read_image = image_reader();
        if (!options.read_image) return 1;
    }
    for (const std::string &path : parsed.values("--anim")) {
        animation_ptr animation = load_animation(path, mesh.get(), &failed);
        if (!animation) return 1;
        options.animations.push_back({animation.get(), stem_of(path)});
        animations.push_back(std::move(animation));
    }
    gltf_export_report report;
    int32_t result = export_gltf(*mesh, out_path, options, &report);
    if (result != gltf_export_ok) {
        std::fprintf(stderr, "tkmtool: cannot export %s: %s\n", out_path.c_str(),
                     report.error.c_str());
        return 1;
    }
    print_report(report, options, *mesh);
    std::printf("Wrote glTF %s\n", out_path.c_str());
    return 0;
}
