// SPDX-License-Identifier: MIT
// tkmtool render and thumbnail with no display: their options, the framing of the model, the
// transparent thumbnail, and that a failure never costs the user's file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/fixtures/gltf_import_builder.h"
#include "tests/fixtures/ms3d_builder.h"
#include "tests/tools/tkmtool/png_picture.h"
#include "tests/tools/tkmtool/tkmtool_run.h"
#include "tests/viewer/textures/test_images.h"

namespace {

// The smallest box holding every pixel that shows the model, and how many there are.
struct coverage {
    int left = 1 << 30, right = -1, bottom = 1 << 30, top = -1, pixels = 0;
    int width() const { return right - left + 1; }
    int height() const { return top - bottom + 1; }
};

// Pixels that show the model: any alpha in a transparent picture, otherwise any colour but the
// viewer's background (0.2, 0, 0).
coverage model_coverage(const png_picture &picture) {
    coverage c;
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width; x++) {
            const uint8_t *p = picture.at(x, y);
            const bool model =
                picture.channels == 4 ? p[3] != 0 : !(p[0] == 51 && p[1] == 0 && p[2] == 0);
            if (!model) continue;
            c.pixels++;
            c.left = std::min(c.left, x), c.right = std::max(c.right, x);
            c.bottom = std::min(c.bottom, y), c.top = std::max(c.top, y);
        }
    return c;
}

struct Pictures : Tkmtool {
    std::string out = dir / "out.png";
    // The small weapon without its grip: a character that takes the three-frame swing.
    std::string character() {
        tkm_description d = small_tkm();
        d.grips.clear();
        std::string path = dir / "body.tkm";
        EXPECT_TRUE(write_fixture(path, tkm_bytes(d)));
        return path;
    }
};

TEST_F(Pictures, UsageErrorsWriteNothing) {
    const std::vector<std::vector<std::string>> wrong = {
        {"render"},
        {"render", gun},
        {"render", "--size", "0x10", gun, out},
        {"render", "--size", "640", gun, out},
        {"render", "--size", "8193x10", gun, out},
        {"render", "--size", "10x-5", gun, out},
        {"render", "--size", "10x5x", gun, out},
        {"render", "--camera", "top", gun, out},
        {"render", "--frame", "-1", gun, out},
        {"render", "--frame", gun, out},
        {"thumbnail", gun},
        {"thumbnail", "-s", "0", gun, out},
        {"thumbnail", "-s", "big", gun, out},
        {"thumbnail", "--size", "64", gun, out},
    };
    for (const std::vector<std::string> &args : wrong) {
        run_result r = run(args);
        EXPECT_EQ(r.status, 1) << args.size() << " arguments, " << args.back();
        EXPECT_NE(r.err.find("Try 'tkmtool --help'."), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << args.back();
    }
    run_result help = run({"--help"});
    for (const char *synopsis : {"  render [--anim ANIM]", "  thumbnail [-s SIZE] INPUT"})
        EXPECT_NE(help.out.find(synopsis), std::string::npos) << synopsis;
}

TEST_F(Pictures, RenderFramesTheModelWhereTheViewerCameraShowsItSmall) {
    run_result r = run({"render", "--size", "160x120", gun, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Wrote PNG " + out + "\n"), std::string::npos) << r.out;
    png_picture fitted = read_png(out);
    ASSERT_EQ(fitted.width, 160);
    ASSERT_EQ(fitted.height, 120);
    EXPECT_EQ(fitted.channels, 3);
    coverage fit = model_coverage(fitted);
    // Nine tenths of the picture along the binding side, centred to a pixel or two.
    EXPECT_TRUE(std::abs(fit.width() - 144) <= 3 || std::abs(fit.height() - 108) <= 3)
        << fit.width() << " x " << fit.height();
    EXPECT_LE(std::abs(fit.left + fit.right - 159), 3) << fit.left << " " << fit.right;
    EXPECT_LE(std::abs(fit.bottom + fit.top - 119), 3) << fit.bottom << " " << fit.top;

    // The viewer's start camera stands 96 units off: the gun is a speck of its 640 x 480 window.
    r = run({"render", "--camera", "viewer", gun, out});
    ASSERT_EQ(r.status, 0) << r.err;
    png_picture viewer = read_png(out);
    ASSERT_EQ(viewer.width, 640);
    coverage start = model_coverage(viewer);
    EXPECT_GT(start.pixels, 0);
    EXPECT_LT(start.pixels, 50);
    EXPECT_GT(fit.pixels, 160 * 120 / 10);
}

TEST_F(Pictures, ThumbnailIsSquareTransparentAndFilled) {
    for (int side : {48, 128}) {
        run_result r = run({"thumbnail", "-s", std::to_string(side), gun, out});
        ASSERT_EQ(r.status, 0) << r.err;
        png_picture picture = read_png(out);
        ASSERT_EQ(picture.width, side);
        ASSERT_EQ(picture.height, side);
        EXPECT_EQ(picture.channels, 4);
        EXPECT_EQ(picture.at(0, 0)[3], 0);
        EXPECT_EQ(picture.at(side - 1, side - 1)[3], 0);
        coverage c = model_coverage(picture);
        EXPECT_GE(std::max(c.width(), c.height()), side * 85 / 100) << side;
        EXPECT_LE(std::abs(c.left + c.right - (side - 1)), 3) << side;
        EXPECT_LE(std::abs(c.bottom + c.top - (side - 1)), 3) << side;
    }
    // A Milkshape model is converted on the way, as the viewer converts it.
    std::string model = dir / "tri.ms3d";
    ASSERT_TRUE(write_fixture(model, ms3d_fixture::bytes(ms3d_fixture::triangle_model())));
    run_result r = run({"thumbnail", "-s", "64", model, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(model_coverage(read_png(out)).pixels, 64 * 64 / 10);
    // And so is a glTF model, through the same load.
    std::string binary = dir / "chain.glb";
    write_all(binary, gltf_fixture::glb(gltf_fixture::build(gltf_fixture::chain_model(3))));
    r = run({"thumbnail", "-s", "64", binary, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_png(out).width, 64);
}

TEST_F(Pictures, FramesAndAnimationsAsTheViewerHasThem) {
    const std::string body = character();
    run_result r = run({"render", "--anim", swing, "--frame", "2", body, out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Loading mesh: " + swing + "\n"), std::string::npos) << r.out;

    r = run({"render", "--anim", swing, "--frame", "3", body, out + "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("frame 3 is out of range: the animation has 3 frames"), std::string::npos)
        << r.err;
    // The rest pose has one frame; a weapon is only ever drawn in its rest pose.
    EXPECT_EQ(run({"render", "--frame", "1", body, out + "2"}).status, 1);
    r = run({"render", "--anim", swing, gun, out + "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("only a character mesh takes an animation"), std::string::npos) << r.err;
    EXPECT_EQ(run({"render", "--anim", gun, body, out + "2"}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(out + "2"));
}

TEST_F(Pictures, RelativeNamesHoldWhileTexturesAreSought) {
    // The texture lies beside the model, so loading it makes the model's folder current.
    std::filesystem::create_directory(dir / "models");
    ASSERT_TRUE(write_fixture(dir / "models/gun.tkm", tkm_bytes(small_tkm())));
    write_fixture(dir / "models/skin.bmp",
                  test_images::bmp(8, 8, test_images::plain({200, 40, 40})));
    run_result r = run({"render", "models/gun.tkm", "pictures.png"}, dir.path.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Loaded "), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "pictures.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "models/pictures.png"));
}

TEST_F(Pictures, AFailureKeepsTheUsersFile) {
    write_all(out, {'k', 'e', 'e', 'p'});
    run_result r = run({"render", broken_mesh(), out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error loading TarvikMesh: "), std::string::npos) << r.err;
    EXPECT_EQ(text_of_file(out), "keep");

    r = run({"thumbnail", "-s", "32", gun, dir / "no/such/dir/x.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error writing PNG "), std::string::npos) << r.err;
    r = run({"render", dir / "missing.tkm", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(text_of_file(out), "keep");
    // Nothing but the files this test made is left behind.
    std::size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 6u); // gun, swing, broken, out, stdout, stderr
}

} // namespace
