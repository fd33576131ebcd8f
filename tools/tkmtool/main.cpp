// SPDX-License-Identifier: MIT
// tkmtool: summaries, JSON dumps, TKM conversion, exports and pictures of SWAT models for modders.
// Each command lives in its own file (commands.h); this file holds the command table.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "console.h"
#include "tarvik_version.h"
#include "tool_common.h"

namespace {

struct command {
    const char *name;
    // Its lines of the usage text: the synopsis, then what it does.
    const char *usage;
    int (*run)(const std::vector<std::string> &args);
};

constexpr command commands[] = {
    {"info",
     "  info [--json] FILE                 summary of a TKM mesh, a Milkshape (.ms3d) or\n"
     "                                     glTF 2.0 (.gltf, .glb) model,\n"
     "                                     or with --json the whole model as JSON\n"
     "  info [--json] --mesh MESH ANIM     the TKA animation ANIM loaded against MESH\n",
     command_info},
    {"convert",
     "  convert [--weights] [--own-skeleton] [--bind-unbound nearest]\n"
     "          [--overwrite-textures] IN OUT\n"
     "                                     IN (TKM, .ms3d, .gltf or .glb) written as the TKM\n"
     "                                     file OUT; a glTF model's textures are written\n"
     "                                     beside OUT, a texture that would replace a\n"
     "                                     different file as NAME_2.EXT (or _3, ...) unless\n"
     "                                     --overwrite-textures; --weights keeps a Milkshape\n"
     "                                     model's extra bone weights (Milkshape 1.8) as blend\n"
     "                                     vertices; --own-skeleton keeps a Milkshape model's\n"
     "                                     own joints where a class skeleton would replace\n"
     "                                     them; --bind-unbound nearest binds each vertex\n"
     "                                     without a bone to its nearest joint (a model\n"
     "                                     without joints gets a root joint for them all)\n"
     "  convert --skeleton GAME IN OUT     the glTF or Milkshape model IN as the TKM file OUT\n"
     "                                     on the bones of the TKM mesh GAME, byte for byte\n"
     "                                     (joints matched by name), so that GAME's own\n"
     "                                     animations play on it; takes --weights and\n"
     "                                     --bind-unbound as above\n"
     "  convert [--mesh|--skeleton MESH] [--animation NAME] IN OUT.tka\n"
     "                                     the animation NAME (default: the first) of the\n"
     "                                     Milkshape or glTF model IN as the TKA file OUT, for\n"
     "                                     the skeleton of MESH (bones matched by name) or of\n"
     "                                     IN itself\n",
     command_convert},
    {"export-obj",
     "  export-obj [--anim ANIM] [--frame N] MESH OUT.obj\n"
     "                                     MESH posed in frame N (0-based; default 0) of ANIM,\n"
     "                                     or in its rest pose, as Wavefront OBJ with an MTL\n"
     "                                     file beside it\n",
     command_export_obj},
    {"export-gltf",
     "  export-gltf [--anim ANIM]... [--hit-colors=attribute|vertex-colors] MESH\n"
     "              OUT.glb|OUT.gltf\n"
     "                                     MESH with its skeleton, skin, grips and grippers and\n"
     "                                     each ANIM as glTF 2.0: OUT.glb as one file, or\n"
     "                                     OUT.gltf with its .bin and textures beside it; hit\n"
     "                                     colours as _HIT_COLOR, or as COLOR_0 (kept by\n"
     "                                     Blender)\n",
     command_export_gltf},
    {"render",
     "  render [--anim ANIM] [--frame N] [--size WxH] [--bones] [--wire] [--no-textures]\n"
     "         [--camera viewer|fit] MESH OUT.png\n"
     "                                     MESH drawn as the viewer draws it into a WxH PNG\n"
     "                                     picture (default 640x480), with no display; the\n"
     "                                     viewer's start camera, or (default) one that frames\n"
     "                                     the posed model\n",
     command_render},
    {"thumbnail",
     "  thumbnail [-s SIZE] INPUT OUTPUT.png\n"
     "                                     a SIZE x SIZE PNG thumbnail (default 256) of a mesh\n"
     "                                     on a transparent background, for file managers\n",
     command_thumbnail},
    {"check",
     "  check [--json] [--werror] PATH...  every TKM, TKA, Milkshape and glTF file among the\n"
     "                                     PATHs (folders searched through), recognised by its\n"
     "                                     content and checked without writing anything: one\n"
     "                                     line per finding (FILE:PLACE: severity: message\n"
     "                                     [CODE]) and a summary, or with --json one document;\n"
     "                                     exit 0 without errors, 1 with errors (or warnings,\n"
     "                                     with --werror), 2 for a usage fault\n",
     command_check},
};

void print_usage() {
    std::fputs("Usage: tkmtool COMMAND [OPTIONS] FILES\n\nCommands:\n", stdout);
    for (const command &entry : commands)
        std::fputs(entry.usage, stdout);
    std::fputs("  help [COMMAND]                     this text, or one command's usage\n"
               "  --help                             this text\n"
               "  --version                          the version\n"
               "\n"
               "Exit status: 0 on success, 1 on failure. With --json a failure prints\n"
               "{\"error\": {\"stage\": S, \"code\": N, \"field\": F, \"offset\": O,\n"
               "\"message\": M}} on standard output (F, O, M null when unknown).\n"
               "See tkmtool(1).\n",
               stdout);
}

void print_command_usage(const command &entry) {
    std::printf("Usage: tkmtool %s [OPTIONS] FILES\n\n%s", entry.name, entry.usage);
}

const command *find_command(const std::string &name) {
    for (const command &entry : commands)
        if (name == entry.name) return &entry;
    return nullptr;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args = prepare_console(argc, argv);
    if (args.empty()) return usage_error("no command given");
    std::string name = args[0];
    args.erase(args.begin());
    if (name == "--version") {
        std::printf("tkmtool %s\n", TARVIK_VERSION);
        return 0;
    }
    if (name == "--help" || name == "-h" || (name == "help" && args.empty())) {
        print_usage();
        return 0;
    }
    if (name == "help") {
        const command *entry = find_command(args[0]);
        if (!entry) return usage_error("unknown command " + args[0]);
        print_command_usage(*entry);
        return 0;
    }
    const command *entry = find_command(name);
    if (!entry) return usage_error("unknown command " + name);
    for (const std::string &arg : args)
        if (arg == "--help") {
            print_command_usage(*entry);
            return 0;
        }
    return entry->run(args);
}
