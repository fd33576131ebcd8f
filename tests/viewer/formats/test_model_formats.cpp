// SPDX-License-Identifier: MIT
// The table of model formats: a file's extension, in any letter case, chooses its entry, and any
// other name is read as TKM; each entry carries its own builder rules.
#include <gtest/gtest.h>

#include <string>

#include "viewer/formats/model_formats.h"

namespace {

struct format_case {
    const char *path;
    const char *format; // the entry's name
};

constexpr format_case format_cases[] = {
    {"walk.ms3d", "Milkshape"},
    {"WALK.MS3D", "Milkshape"},
    {"Walk.mS3d", "Milkshape"},
    {"/models/rifle.gltf", "glTF"},
    {"RIFLE.GLTF", "glTF"},
    {"rifle.glb", "glTF"},
    {"C:\\Models\\Rifle.GlB", "glTF"},
    {"SWT_Officer.tkm", "TarvikMesh"},
    {"SWT_Officer.TKM", "TarvikMesh"},
    // Every other name is read as TKM, as the viewer always has.
    {"model", "TarvikMesh"},
    {"model.obj", "TarvikMesh"},
    {"model.ms3d.bak", "TarvikMesh"},
    {"model.glbx", "TarvikMesh"},
    {"models.ms3d/body", "TarvikMesh"},
    {"ms3d", "TarvikMesh"},
    {"", "TarvikMesh"},
};

TEST(ModelFormats, EachExtensionInAnyCaseChoosesItsEntry) {
    for (const format_case &c : format_cases)
        EXPECT_STREQ(find_model_format(c.path).name, c.format) << c.path;
}

// What each format's models take from the builder, and how each is read.
struct rule_case {
    const char *path;
    bool reads_scene;         // read into the neutral model and built
    bool reference_skeletons; // the game's known skeletons take the reference pose
    bool loads_animations;    // the viewer's animation load reads it itself
    const char *read_stage;
};

constexpr rule_case rule_cases[] = {
    // Milkshape joint placements are not the game's: the known skeletons get the reference pose.
    {"a.ms3d", true, true, false, "read_ms3d"},
    // glTF carries a true bind pose, which must come back as it was.
    {"a.glb", true, false, true, "read_gltf"},
    {"a.tkm", false, false, false, "read_tkm"},
};

TEST(ModelFormats, EachEntryCarriesItsBuilderRules) {
    for (const rule_case &c : rule_cases) {
        const model_format &format = find_model_format(c.path);
        EXPECT_EQ(reads_scene(format), c.reads_scene) << c.path;
        EXPECT_EQ(format.load_animation != nullptr, c.loads_animations) << c.path;
        EXPECT_STREQ(format.read_stage, c.read_stage) << c.path;
        if (!c.reads_scene) continue;
        model_read_notes notes;
        const tkm_build_options options = build_options(format, notes);
        EXPECT_EQ(options.reference_skeletons, c.reference_skeletons) << c.path;
        EXPECT_STREQ(options.source, format.name) << c.path;
        EXPECT_EQ(options.method, merge_method::grid) << c.path;
        EXPECT_EQ(options.bind_unbound, unbound_binding::refuse) << c.path;
        // What the caller asked of the read reaches the build.
        notes.bind_unbound = unbound_binding::nearest;
        EXPECT_EQ(build_options(format, notes).bind_unbound, unbound_binding::nearest) << c.path;
    }
}

} // namespace
