// tkmtool: summaries, JSON dumps, TKM conversion and OBJ export of SWAT models for modders.
//
// Index: usage text; loading (mesh by extension, animation); commands info, convert, export-obj;
// main (argument parsing).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "json_output.h"
#include "obj_export.h"
#include "support/file.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/app/app_state.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/ms3d/ms3d_load.h"

namespace {

constexpr const char *usage_text =
    "Usage: tkmtool COMMAND [OPTIONS] FILES\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE                 summary of a TKM mesh or Milkshape (.ms3d) model,\n"
    "                                     or with --json the whole model as JSON\n"
    "  info [--json] --mesh MESH ANIM     the TKA animation ANIM loaded against MESH\n"
    "  convert IN OUT                     IN (TKM or .ms3d) written as the TKM file OUT\n"
    "  export-obj [--anim ANIM] [--frame N] MESH OUT.obj\n"
    "                                     MESH posed in frame N (0-based; default 0) of ANIM,\n"
    "                                     or in its rest pose, as Wavefront OBJ with an MTL\n"
    "                                     file beside it\n"
    "  --help                             this text\n"
    "\n"
    "Exit status: 0 on success, 1 on failure. With --json a failure prints\n"
    "{\"error\": {\"stage\": S, \"code\": N}} on standard output.\n";

struct mesh_releaser {
    void operator()(tkm_mesh *mesh) const { release_mesh(mesh); }
};
struct animation_releaser {
    void operator()(tka_animation *animation) const { release_animation(animation); }
};
using mesh_ptr = std::unique_ptr<tkm_mesh, mesh_releaser>;
using animation_ptr = std::unique_ptr<tka_animation, animation_releaser>;

// Where a load or save failed: the stage name of the JSON error and its code.
struct failure {
    const char *stage = nullptr;
    int code = 0;
};

int usage_error(const char *message) {
    std::fprintf(stderr, "tkmtool: %s\nTry 'tkmtool --help'.\n", message);
    return 1;
}

bool is_ms3d(const std::string &path) {
    return str_equiv(file_extension(path.c_str()), "ms3d") && path.find('.') != std::string::npos;
}

// Reads a TKM mesh, or converts a Milkshape model when the name ends in ".ms3d" in any case.
mesh_ptr load_mesh(const std::string &path, failure *failed) {
    mesh_ptr mesh(create_mesh());
    if (!mesh) {
        *failed = {"read_tkm", 1};
        return nullptr;
    }
    if (is_ms3d(path)) {
        const char *stage = "read_ms3d";
        int code = load_ms3d_mesh_staged(path.c_str(), mesh.get(), &stage);
        if (code != 0) {
            *failed = {stage ? stage : "read_ms3d", code};
            return nullptr;
        }
        if (!mesh->class_name) mesh->class_name = model_class_name(mesh.get());
        return mesh;
    }
    int code = read_tkm(mesh.get(), path.c_str());
    if (code != 0) {
        std::fprintf(stderr, "Error loading TarvikMesh: %d\n", code);
        *failed = {"read_tkm", code};
        return nullptr;
    }
    return mesh;
}

animation_ptr load_animation(const std::string &path, const tkm_mesh *mesh, failure *failed) {
    animation_ptr animation(create_animation());
    int code = animation ? load_tka(animation.get(), mesh, path.c_str()) : 1;
    if (code != 0) {
        std::fprintf(stderr, "Error loading TarvikAnimation: %d\n", code);
        *failed = {"load_tka", code};
        return nullptr;
    }
    return animation;
}

// While it lives, what the readers and the converter print on standard output goes to standard
// error instead, so that standard output carries nothing but the JSON document.
struct progress_to_stderr {
    int saved = -1;
    explicit progress_to_stderr(bool active) {
        if (!active) return;
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        if (saved >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
    }
    ~progress_to_stderr() {
        if (saved < 0) return;
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    progress_to_stderr(const progress_to_stderr &) = delete;
    progress_to_stderr &operator=(const progress_to_stderr &) = delete;
};

int report_failure(const failure &failed, bool json) {
    if (json) std::printf("%s\n", error_json(failed.stage, failed.code).c_str());
    return 1;
}

void print_mesh_summary(const tkm_mesh &mesh) {
    std::printf("name: %s\nclass: %s\n", mesh.name ? mesh.name : "", mesh.class_name);
    const std::pair<const char *, unsigned> counts[] = {
        {"bones", mesh.num_bones},
        {"runs", mesh.num_runs},
        {"vertices", mesh.num_vertices},
        {"blend vertices", mesh.num_blends},
        {"texture coordinates", mesh.num_texcoords},
        {"corners", mesh.num_corners},
        {"triangles", mesh.num_triangles},
        {"material runs", mesh.num_material_runs},
        {"triangle lists", mesh.num_triangle_lists},
        {"texture names", mesh.num_texture_names},
        {"materials", mesh.num_materials},
        {"grips", mesh.num_grips},
        {"grippers", mesh.num_grippers},
    };
    for (const auto &[label, count] : counts)
        std::printf("%s: %u\n", label, count);
}

void print_animation_summary(const tka_animation &animation) {
    std::printf("name: %s\nbones: %u\nanimated bones: %u\nframes: %u\n",
                animation.name ? animation.name : "", unsigned{animation.num_bones},
                unsigned{animation.num_animated}, unsigned{animation.num_frames});
}

int command_info(const std::vector<std::string> &args) {
    bool json = false;
    std::string mesh_path;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--mesh") {
            if (++i == args.size()) return usage_error("--mesh needs a file");
            mesh_path = args[i];
        } else if (args[i].rfind("--", 0) == 0 && args[i].size() > 2) {
            return usage_error(("unknown option " + args[i]).c_str());
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 1) return usage_error("info takes one file");
    failure failed;
    mesh_ptr mesh;
    animation_ptr animation;
    {
        progress_to_stderr quiet(json);
        mesh = load_mesh(mesh_path.empty() ? files[0] : mesh_path, &failed);
        if (mesh && !mesh_path.empty()) animation = load_animation(files[0], mesh.get(), &failed);
    }
    if (!mesh || (!mesh_path.empty() && !animation)) return report_failure(failed, json);
    if (mesh_path.empty()) {
        if (json)
            std::printf("%s\n", mesh_json(*mesh).c_str());
        else
            print_mesh_summary(*mesh);
        return 0;
    }
    if (json)
        std::printf("%s\n", animation_json(*animation).c_str());
    else
        print_animation_summary(*animation);
    return 0;
}

int command_convert(const std::vector<std::string> &args) {
    if (args.size() != 2) return usage_error("convert takes IN and OUT");
    failure failed;
    mesh_ptr mesh = load_mesh(args[0], &failed);
    if (!mesh) return 1;
    // The target is replaced only by a complete file; a failed write leaves it as it was.
    scratch_file *file = open_scratch_file(args[1].c_str());
    if (!file) {
        std::fprintf(stderr, "Error writing TarvikMesh: %d\n", 1);
        return 1;
    }
    int code = write_tkm_stream(mesh.get(), file->stream);
    if (code == 0 && fflush(file->stream) != 0) code = 67;
    if (code != 0) {
        std::remove(file->temp_name);
        cleanup_scratch_file(file);
        std::fprintf(stderr, "Error writing TarvikMesh: %d\n", code);
        return 1;
    }
    int closed = close_scratch_file(file);
    cleanup_scratch_file(file);
    if (closed != 0) {
        std::fprintf(stderr, "Error writing TarvikMesh: %d\n", 1);
        return 1;
    }
    std::printf("Wrote TKM %s\n", args[1].c_str());
    return 0;
}

bool parse_frame(const std::string &text, long *frame) {
    errno = 0;
    char *end = nullptr;
    *frame = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && *frame >= 0 && *frame <= 65535;
}

int command_export_obj(const std::vector<std::string> &args) {
    std::string anim_path;
    long frame = 0;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--anim") {
            if (++i == args.size()) return usage_error("--anim needs a file");
            anim_path = args[i];
        } else if (args[i] == "--frame") {
            if (++i == args.size() || !parse_frame(args[i], &frame))
                return usage_error("--frame needs a frame number from 0");
        } else if (args[i].rfind("--", 0) == 0 && args[i].size() > 2) {
            return usage_error(("unknown option " + args[i]).c_str());
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) return usage_error("export-obj takes MESH and OUT.obj");
    failure failed;
    mesh_ptr mesh = load_mesh(files[0], &failed);
    if (!mesh) return 1;
    animation_ptr animation;
    if (anim_path.empty()) {
        animation.reset(create_animation());
        if (!animation || build_rest_pose(mesh.get(), animation.get()) != 0) {
            std::fprintf(stderr, "tkmtool: out of memory\n");
            return 1;
        }
    } else {
        animation = load_animation(anim_path, mesh.get(), &failed);
        if (!animation) return 1;
    }
    if (frame >= animation->num_frames) {
        std::fprintf(stderr, "tkmtool: frame %ld is out of range: the animation has %u frames\n",
                     frame, unsigned{animation->num_frames});
        return 1;
    }
    app_state.weapon_mesh = nullptr;
    app_state.current_frame = static_cast<int32_t>(frame);
    pose_mesh(mesh.get(), animation.get());
    std::string error;
    if (export_obj(*mesh, files[1], &error) != 0) {
        std::fprintf(stderr, "tkmtool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("no command given");
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(usage_text, stdout);
        return 0;
    }
    for (const std::string &arg : args)
        if (arg == "--help") {
            std::fputs(usage_text, stdout);
            return 0;
        }
    if (command == "info") return command_info(args);
    if (command == "convert") return command_convert(args);
    if (command == "export-obj") return command_export_obj(args);
    return usage_error(("unknown command " + command).c_str());
}
