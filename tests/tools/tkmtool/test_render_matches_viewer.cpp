// SPDX-License-Identifier: MIT
// tkmtool render --camera viewer, run with no display, against the viewer's own window: the
// viewer starts from a command line naming the sample files and options, steps to the frame as
// the Right key does, and draws; the PNG must hold the very same 640 x 480 pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fixtures/gl_fixture.h"
#include "tests/common/temp_dir.h"
#include "tests/tools/tkmtool/png_picture.h"
#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/app/commands.h"
#include "viewer/app/open_files.h"
#include "viewer/app/command_line.h"
#include "viewer/app/startup.h"
#include "viewer/app/view_commands.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"

namespace {

struct render_case {
    const char *name;
    std::vector<std::string> viewer_args;  // the viewer's command line; "@" is the sample folder
    bool wire;                             // the wire view switched on, as key 4 does
    int frame;                             // Right pressed this many times
    std::vector<std::string> tkmtool_args; // render's options and files, "@" as above
};

const render_case cases[] = {
    {"officer_textured", {"@SWT_Officer.tkm"}, false, 0, {"@SWT_Officer.tkm"}},
    {"officer_walking_with_bones",
     {"--bones", "@SWT_Officer.tkm", "@SWT_Walk.tka"},
     false,
     11,
     {"--bones", "--anim", "@SWT_Walk.tka", "--frame", "11", "@SWT_Officer.tkm"}},
    {"officer_wire_untextured",
     {"@SWT_Officer.tkm", "--notextures"},
     true,
     0,
     {"--wire", "--no-textures", "@SWT_Officer.tkm"}},
    {"rifle_with_grips", {"@Rifle.tkm", "--bones"}, false, 0, {"--bones", "@Rifle.tkm"}},
};

void PrintTo(const render_case &c, std::ostream *out) {
    *out << c.name;
}

std::string expand(const std::string &arg, const std::string &samples) {
    return arg[0] == '@' ? samples + "/" + arg.substr(1) : arg;
}

struct render_matches_viewer : gl_window_test, testing::WithParamInterface<render_case> {
    static temp_dir *samples;
    static void SetUpTestSuite() {
        samples = new temp_dir;
        const std::string command =
            std::string(SAMPLEGEN_PATH) + " '" + samples->path.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete samples;
        samples = nullptr;
    }
    void TearDown() override { release_models(); }
};
temp_dir *render_matches_viewer::samples = nullptr;

TEST_P(render_matches_viewer, same_pixels_as_the_window) {
    const render_case &c = GetParam();
    const std::string folder = samples->path.string();

    // The viewer: its command line, the toggle key and the frame keys, then one frame drawn.
    std::vector<std::string> args{"tarvik"};
    for (const std::string &arg : c.viewer_args)
        args.push_back(expand(arg, folder));
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    parse_command_line(static_cast<int>(argv.size()), argv.data());
    ASSERT_EQ(
        open_command_line_files(command_line_files(static_cast<int>(argv.size()), argv.data())), 0);
    if (c.wire) toggle_wireframe();
    for (int i = 0; i < c.frame; i++)
        next_frame();
    draw_scene();
    const std::vector<unsigned char> window = gl_fixture::read_rgb(0, 0, 640, 480);

    // tkmtool, as a separate program with no display at all.
    temp_dir out;
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY '" + std::string(TKMTOOL_PATH) +
                          "' render --camera viewer";
    for (const std::string &arg : c.tkmtool_args)
        command += " '" + expand(arg, folder) + "'";
    command += " '" + (out / "picture.png") + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const png_picture picture = read_png(out / "picture.png");
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 480);

    int different = 0, first_x = -1, first_y = -1, model_pixels = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            const unsigned char *seen = &window[(static_cast<std::size_t>(y) * 640 + x) * 3];
            const uint8_t *drawn = picture.at(x, y);
            if (seen[0] != 51 || seen[1] != 0 || seen[2] != 0) model_pixels++;
            if (seen[0] == drawn[0] && seen[1] == drawn[1] && seen[2] == drawn[2]) continue;
            if (different++ == 0) first_x = x, first_y = y;
        }
    EXPECT_GT(model_pixels, 500) << "the window shows no model to compare";
    EXPECT_EQ(different, 0) << "first at (" << first_x << ", " << first_y << ")";
}

INSTANTIATE_TEST_SUITE_P(tkmtool, render_matches_viewer, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<render_case> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
