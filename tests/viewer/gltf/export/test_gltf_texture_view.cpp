// SPDX-License-Identifier: MIT
// A texture appears on an exported model as the viewer shows it: the viewer draws a textured
// triangle in the real window, and at each of several points the exported image, sampled at the
// texture coordinate the exported triangle has there, gives the colour read back from the window.
// Images of every row order the viewer reads are tried, with coordinates outside 0 to 1.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/viewer/gltf/export/gltf_read_back.h"
#include "tests/viewer/render/render_test.h"
#include "tests/viewer/render/scene_builder.h"
#include "viewer/gltf/gltf_export.h"
#include "viewer/textures/image_png.h"
#include "viewer/textures/texture_loading.h"

namespace {

using gl_fixture::rgb;
namespace rb = gltf_read_back;

constexpr int side = 64;

// Four quarters in different colours, as the picture is seen.
test_images::colour quarters(int x, int y) {
    bool right = x >= side / 2, bottom = y >= side / 2;
    if (!right && !bottom) return {255, 0, 0};
    if (right && !bottom) return {0, 255, 0};
    if (!right) return {0, 0, 255};
    return {255, 255, 0};
}

// An uncompressed 24-bit TGA stored top row first (origin bit 5 set).
std::vector<uint8_t> top_first_tga() {
    std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, side, 0, side, 0, 24, 0x20};
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            test_images::colour c = quarters(x, y);
            out.insert(out.end(), {c.b, c.g, c.r});
        }
    return out;
}

// The colour of the exported image at texture coordinate (u, v): glTF's images start at their
// top row, and coordinates repeat.
rgb sample(const tinygltf::Image &image, double u, double v) {
    int x = int(std::floor((u - std::floor(u)) * image.width));
    int y = int(std::floor((v - std::floor(v)) * image.height));
    const unsigned char *px = &image.image[size_t(image.component * (y * image.width + x))];
    return {px[0], px[1], px[2]};
}

class exported_texture : public scene_test {
  protected:
    temp_dir files;

    // The triangle the viewer draws and the export writes, textured with the file name.
    tkm_mesh *textured_triangle(const std::string &name) {
        scene::builder b;
        b.textures = {name};
        scene::material_desc material;
        material.texture = 0;
        b.run(material, b.triangle({-3, -2, 0}, {0, 3, 0}, {3, -2, 0}));
        const float uv[3][2] = {{1.1f, -0.9f}, {1.5f, -0.1f}, {1.9f, -0.9f}};
        for (int k = 0; k < 3; ++k) {
            b.corners[size_t(k)].u = uv[k][0];
            b.corners[size_t(k)].v = uv[k][1];
        }
        tkm_mesh *mesh = b.build();
        uint32_t slot = 0;
        EXPECT_EQ(load_image_texture(&slot, (files / name).c_str()), 0) << name;
        mesh->gl_textures.num_textures = 1;
        mesh->gl_textures.textures = alloc_elements<uint32_t>(1);
        mesh->gl_textures.loaded = alloc_elements<uint32_t>(1);
        mesh->gl_textures.textures[0] = slot;
        mesh->gl_textures.loaded[0] = 1;
        return mesh;
    }

    // Draws the triangle, exports it, and compares the two at points in each quarter.
    void compare(const std::string &name) {
        app_state.mesh = textured_triangle(name);
        draw_scene();
        gltf_export_options options;
        options.texture_directory = files.path.string();
        options.read_image = read_image_with_devil;
        std::vector<gltf_file> out;
        gltf_export_report report;
        ASSERT_EQ(encode_gltf(*app_state.mesh, options, &out, &report), gltf_export_ok);
        tinygltf::Model model;
        std::string error;
        ASSERT_TRUE(rb::load_glb(out[0].bytes, &model, &error)) << error;
        ASSERT_EQ(model.images.size(), 1u);
        const tinygltf::Primitive &primitive = model.meshes.at(0).primitives.at(0);
        std::vector<float> p = rb::floats(model, primitive.attributes.at("POSITION"));
        std::vector<float> t = rb::floats(model, primitive.attributes.at("TEXCOORD_0"));
        std::vector<uint32_t> index = rb::integers(model, primitive.indices);
        ASSERT_EQ(index.size(), 3u);
        const double points[][2] = {{-1.5, -1}, {1.5, -1}, {-0.3, 1.5}, {0.3, 1.5}, {-0.8, -1.5}};
        for (const auto &point : points) {
            // Barycentric weights of the point in the exported triangle (it lies in z = 0).
            const float *a = &p[3 * index[0]], *b = &p[3 * index[1]], *c = &p[3 * index[2]];
            double area = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
            double wb =
                ((point[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (point[1] - a[1])) / area;
            double wc =
                ((b[0] - a[0]) * (point[1] - a[1]) - (point[0] - a[0]) * (b[1] - a[1])) / area;
            double wa = 1 - wb - wc;
            double u = wa * t[2 * index[0]] + wb * t[2 * index[1]] + wc * t[2 * index[2]];
            double v =
                wa * t[2 * index[0] + 1] + wb * t[2 * index[1] + 1] + wc * t[2 * index[2] + 1];
            rgb expected = sample(model.images[0], u, v);
            EXPECT_RGB(scene::at(float(point[0]), float(point[1])), expected.r, expected.g,
                       expected.b)
                << name << " at (" << point[0] << ", " << point[1] << ")";
        }
    }
};

TEST_F(exported_texture, shows_the_same_texel_as_the_viewer_for_every_row_order) {
    write_all(files / "bottom_first.bmp", test_images::bmp(side, side, quarters));
    write_all(files / "bottom_first.tga", test_images::tga(side, side, quarters));
    write_all(files / "top_first.tga", top_first_tga());
    for (const char *name : {"bottom_first.bmp", "bottom_first.tga", "top_first.tga"}) {
        compare(name);
        release_mesh(app_state.mesh);
        app_state.mesh = nullptr;
    }
}

TEST_F(exported_texture, a_png_taken_as_it_is_shows_the_same_texel_too) {
    // The PNG DevIL writes for a BMP, then read by the viewer and passed through by the export.
    write_all(files / "source.bmp", test_images::bmp(side, side, quarters));
    app_state.mesh = textured_triangle("source.bmp");
    gltf_export_options options;
    options.texture_directory = files.path.string();
    options.read_image = read_image_with_devil;
    options.binary = false;
    std::vector<gltf_file> out;
    gltf_export_report report;
    ASSERT_EQ(encode_gltf(*app_state.mesh, options, &out, &report), gltf_export_ok);
    ASSERT_EQ(out.size(), 3u);
    write_all(files / "picture.png",
              std::vector<unsigned char>(out[2].bytes.begin(), out[2].bytes.end()));
    release_mesh(app_state.mesh);
    app_state.mesh = nullptr;
    compare("picture.png");
}

} // namespace
