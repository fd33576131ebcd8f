// SPDX-License-Identifier: MIT
// Model and animation commands: load a mesh (TKM, or Milkshape or glTF converted on the fly), load
// an animation for the character mesh, and save the character mesh as a TKM file.
//
// Index: filter lists | helpers | load_mesh_command | load_animation_command | save_mesh_command
#include "viewer/app/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "support/file.h"
#include "support/scratch_write.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/tka_loader.h"
#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/app/unload_commands.h"
#include "viewer/app/view_commands.h"
#include "viewer/gui/control_ids.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/textures_window.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/files/file_status.h"
#include "viewer/files/path_names.h"
#include "viewer/formats/model_load.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/scene/image_files.h"
#include "viewer/scene/scene.h"
#include "viewer/textures/scene_images.h"
#include "viewer/textures/texture_loading.h"

namespace {

// ---- filter lists

constexpr file_filter mesh_load_filters[] = {
    {"Model files", "*.tkm;*.ms3d;*.gltf;*.glb"},
    {"TarvikMesh files", "*.tkm"},
    {"Officer models", "SWT_*.tkm"},
    {"Kid models", "KID_*.tkm"},
    {"Male character models", "TAC_*.tkm;BG1_*.tkm;BG2_*.tkm;BG3_*.tkm;MH1_*.tkm;MH2_*.tkm"},
    {"Female character models", "BF1_*.tkm;FH1_*.tkm;FH2_*.tkm;PRH_*.tkm"},
    {"Milkshape 3D files", "*.ms3d"},
    {"All files", "*.*"},
    {"glTF 2.0 files", "*.gltf;*.glb"},
};

constexpr file_filter animation_load_filters[] = {
    {"TarvikAnimation files", "*.tka"},
    {"Officer animations", "SWT_*.tka"},
    {"Kid animations", "KID_*.tka"},
    {"Male character animations", "TAC_*.tka;BG1_*.tka;BG2_*.tka;BG3_*.tka;MH1_*.tka;MH2_*.tka"},
    {"Female character animations", "BF1_*.tka;FH1_*.tka;FH2_*.tka;PRH_*.tka"},
    {"All files", "*.*"},
    {"glTF 2.0 files", "*.gltf;*.glb"},
};

constexpr file_filter mesh_save_filters[] = {
    {"TarvikMesh files", "*.tkm"},
    {"All files", "*.*"},
};

notice_fn save_notice_hook = nullptr;

// ---- helpers

void show_save_notice(const char *text, const char *caption) {
    if (save_notice_hook)
        save_notice_hook(text, caption);
    else
        show_message_box(text, caption);
}

// Reads the file into the new mesh by its format; a converted model's images are written beside
// the file, where the mesh's textures are looked for, under names that replace no other file.
// 0 on success (failures are reported).
int read_mesh_file(tkm_mesh *mesh, const char *path) {
    scene_model scene;
    scene_image_placing images;
    images.beside = path;
    images.encode = encode_scene_image;
    model_read_notes notes;
    notes.images = &images;
    const int code = load_model_mesh(path, mesh, &scene, &notes);
    if (code == 0) write_placed_images(images);
    return code;
}

void load_mesh_textures(tkm_mesh *mesh) {
    if (mesh->num_texture_names == 0) return; // nothing to load, nothing to report
    int failed = load_textures(mesh->num_texture_names, mesh->texture_names, &mesh->gl_textures,
                               mesh->directory);
    if (failed == 0) return;
    real_purr("load_textures() returned %d\n", failed);
    if (failed == mesh->num_texture_names && app_state.show_textures) toggle_textures();
}

// A new rest pose of mesh, or null (reported) when memory ran out.
tka_animation *new_rest_pose(const tkm_mesh *mesh) {
    tka_animation *pose = create_animation();
    if (pose && build_rest_pose(mesh, pose) == 0) return pose;
    release_animation(pose);
    real_meow("Out of memory building the rest pose\n");
    return nullptr;
}

} // namespace

void set_save_notice_hook(notice_fn notice) {
    save_notice_hook = notice;
}

void release_models() {
    release_mesh(app_state.mesh);
    release_mesh(app_state.weapon_mesh);
    release_animation(app_state.animation);
    release_animation(app_state.weapon_animation);
    app_state.mesh = app_state.weapon_mesh = nullptr;
    app_state.animation = app_state.weapon_animation = nullptr;
}

// ---- load_mesh_command

void load_mesh_command() {
    if (!choose_file(nullptr, mesh_load_filters, "Load TarvikMesh",
                     app_state.mesh_directory.c_str(), &app_state.mesh_filter_index))
        return;
    // A copy: the texture search and the windows must not see a later chooser's answer.
    const std::string path = app_state.chosen_path;
    load_mesh_file(path.c_str(), app_state.chosen_name_offset);
}

int load_mesh_file(const char *path_text, uint16_t name_offset) {
    const std::string path = path_text;
    if (name_offset > path.size()) name_offset = 0;
    const std::string name = path.substr(name_offset);
    const std::string directory = directory_of(path, name_offset);
    app_state.mesh_directory = directory;

    tkm_mesh *mesh = create_mesh();
    if (!mesh) {
        real_meow("Out of memory loading %s\n", path.c_str());
        return 1;
    }
    mesh->directory_length = static_cast<uint16_t>(directory.size());
    mesh->directory = alloc_counted_string(directory.c_str(), mesh->directory_length);

    real_purr("Loading mesh: %s\n", path.c_str());
    if (!mesh->directory || read_mesh_file(mesh, path.c_str()) != 0) {
        release_mesh(mesh);
        return 1;
    }

    // Decide the animation first, so that running out of memory leaves the viewer as it was.
    const bool weapon = mesh->num_grips != 0;
    const tka_animation *current = app_state.animation;
    const bool keep_animation = !weapon && current && current->num_bones == mesh->num_bones &&
                                app_state.rest_pose_animation == 0;
    tka_animation *rest_pose = nullptr;
    if (!keep_animation) {
        // A weapon's rest pose must not mark the character's loaded animation as a rest pose.
        const int32_t rest_flag = app_state.rest_pose_animation;
        rest_pose = new_rest_pose(mesh);
        if (!rest_pose) {
            release_mesh(mesh);
            return 1;
        }
        if (weapon) app_state.rest_pose_animation = rest_flag;
    }

    show_mesh_fields(mesh, name.c_str());
    load_mesh_textures(mesh);

    app_state.mesh_changes++;
    if (weapon) {
        release_mesh(app_state.weapon_mesh);
        app_state.weapon_mesh = mesh;
        app_state.weapon_file_name = name;
        release_animation(app_state.weapon_animation);
        app_state.weapon_animation = rest_pose;
        pose_mesh(mesh, rest_pose);
        // The textures window acts on the character mesh, so it keeps listing that one.
        gui_generate_textures_list(app_state.mesh, 0, nullptr);
        return 0;
    }

    gui_generate_textures_list(mesh, 0, nullptr);
    release_mesh(app_state.mesh);
    app_state.mesh = mesh;
    app_state.mesh_file_name = name;
    if (!keep_animation) {
        // Also empties the animation window, which would otherwise name an animation now gone.
        clear_animation(app_state.animation);
        app_state.current_frame = 0;
        app_state.animation = rest_pose;
    }
    pose_mesh(mesh, app_state.animation);
    return 0;
}

// ---- load_animation_command

void load_animation_command() {
    const bool had_mesh = app_state.mesh != nullptr;
    if (!choose_file(nullptr, animation_load_filters, "Load TarvikAnimation",
                     app_state.animation_directory.c_str(), &app_state.animation_filter_index))
        return;
    const std::string path = app_state.chosen_path;
    load_animation_file(path.c_str(), app_state.chosen_name_offset);
    // The tool windows stay usable while the chooser waits: Remove may have taken the mesh.
    if (had_mesh && !app_state.mesh)
        real_meow("Animation not loaded: the mesh was removed while the file chooser was open\n");
}

int load_animation_file(const char *path_text, uint16_t name_offset) {
    const std::string path = path_text;
    if (name_offset > path.size()) name_offset = 0;
    app_state.animation_directory = directory_of(path, name_offset);
    if (!app_state.mesh) return 1;

    const std::string name = path.substr(name_offset);
    real_purr("Loading mesh: %s\n", path.c_str());
    tka_animation *animation = create_animation();
    if (!animation) {
        real_meow("Out of memory loading %s\n", path.c_str());
        return 1;
    }
    int code = 0;
    if (const model_animation_loader load = choose_animation_loader(path.c_str(), name.c_str())) {
        code = load(path.c_str(), app_state.mesh, animation);
    } else {
        read_failure failure;
        if ((code = load_tka_explained(animation, app_state.mesh, path.c_str(), &failure)) != 0) {
            print_failure_notice(failure);
            real_meow("Error loading TarvikAnimation: %d%s\n", code,
                      bracketed_reason(failure.reason).c_str());
            print_failure_explanation(failure);
        }
    }
    if (code) {
        release_animation(animation);
        return code;
    }

    set_dlg_item_text(app_state.animation_window, animation_name_field, name.c_str());
    set_dlg_item_int(app_state.animation_window, animation_frames_field, animation->num_frames);
    app_state.current_frame = 0;
    show_current_frame();
    release_animation(app_state.animation);
    app_state.animation = animation;
    app_state.animation_file_name = name;
    app_state.rest_pose_animation = 0;
    return 0;
}

// ---- save_mesh_command

void save_mesh_command() {
    tkm_mesh *const *shown = mesh_on_show();
    if (!shown) {
        real_meow("No mesh loaded!\n");
        return;
    }
    const tkm_mesh *mesh = *shown;
    const uint32_t changes = app_state.mesh_changes;
    if (!choose_file("tkm", mesh_save_filters, "Save TarvikMesh", app_state.mesh_directory.c_str(),
                     nullptr))
        return;
    if (app_state.chosen_path[0] == 0) return;
    // The tool windows stay usable while the chooser waits: the mesh may have been removed (and
    // freed) or replaced meanwhile, and must not be written then.
    if (app_state.mesh_changes != changes || *shown != mesh) {
        real_meow("Not saved: the mesh was removed or replaced while the file chooser was open\n");
        return;
    }
    const std::string target = app_state.chosen_path;
    save_mesh_file(mesh, target.c_str());
}

int save_mesh_file(const tkm_mesh *mesh, const char *path) {
    const std::string target = path;
    if (!mesh || target.empty()) return 1;
    // A write-protected model stays as it is: the scratch file's rename would replace it
    // regardless of its mode. A file marked read-only for everyone counts as protected for root as
    // well.
    if (const int reason = file_write_refusal(target.c_str())) {
        const std::string text = target + " is write-protected: " + std::strerror(reason) + "!";
        show_save_notice(text.c_str(), "Failed to write TKM");
        return 1;
    }

    // The writer's scratch file replaces the target in one step and only when complete, with the
    // old file's permissions: there is never a moment without the user's file.
    int code = write_tkm(mesh, target.c_str());
    if (code) {
        const std::string text =
            "Error code: " + std::to_string(code) + "!" + bracketed_reason(errno);
        show_save_notice(text.c_str(), "Failed to write TKM");
        return code;
    }
    real_purr("Wrote TKM %s\n", target.c_str());
    return 0;
}
