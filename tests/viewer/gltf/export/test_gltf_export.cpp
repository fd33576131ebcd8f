// SPDX-License-Identifier: MIT
// The glTF export read back with tinygltf: counts, hierarchy, inverse bind matrices, geometry,
// materials and textures, animation keys, and the skin posed at every frame against the viewer.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tests/fixtures/mesh_loading.h"
#include "tests/viewer/gltf/export/character_fixture.h"
#include "tests/viewer/gltf/export/gltf_read_back.h"
#include "tests/viewer/textures/test_images.h"
#include "tools/tkmtool/stb_images.h"
#include "viewer/anim/pose.h"
#include "viewer/gltf/gltf_export_internal.h"

namespace {

using namespace character_fixture;
namespace rb = gltf_read_back;

// A picture with four quarters: red top left, green top right, blue bottom left, white.
test_images::colour quarters(int x, int y, int size) {
    bool right = x >= size / 2, bottom = y >= size / 2;
    if (!right && !bottom) return {255, 0, 0};
    if (right && !bottom) return {0, 255, 0};
    if (!right) return {0, 0, 255};
    return {255, 255, 255};
}

struct GltfExport : testing::Test {
    temp_dir dir;
    character trooper = build_character();
    mesh_ptr mesh;
    std::vector<animation_ptr> animations;
    gltf_export_options options;
    gltf_export_report report;
    std::vector<gltf_file> files;
    tinygltf::Model model;

    void SetUp() override {
        write_all(dir / "skin.bmp",
                  test_images::bmp(8, 8, [](int x, int y) { return quarters(x, y, 8); }));
        load(trooper.mesh);
    }
    void load(const tkm_description &description) {
        int code = -1;
        mesh = read_mesh_bytes(dir, tkm_bytes(description), &code);
        ASSERT_EQ(code, 0);
        options.texture_directory = dir.path.string();
        options.read_image = read_image_with_stb;
    }
    void add_animation(const tka_description &description) {
        int code = -1;
        animations.push_back(load_animation_bytes(dir, tka_bytes(description), mesh.get(), &code,
                                                  description.name + ".tka"));
        ASSERT_EQ(code, 0);
        options.animations.push_back({animations.back().get(), description.name});
    }
    // Encodes the mesh and reads the result back.
    void encode_and_read() {
        ASSERT_EQ(encode_gltf(*mesh, options, &files, &report), gltf_export_ok) << report.error;
        temp_dir out;
        std::string error;
        ASSERT_TRUE(rb::load_files(out, files, &model, &error)) << error;
    }
    // Where the viewer puts mesh vertex index (stored, then blend) in frame of animation.
    rb::vec3 viewer_position(const tka_animation *animation, int32_t frame, int index) {
        pose_mesh_in_frame(mesh.get(), animation, frame, nullptr);
        float p[3];
        corner_position(mesh.get(), static_cast<uint16_t>(index), p);
        return {p[0], p[1], p[2]};
    }
};

double distance(const rb::vec3 &a, const rb::vec3 &b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

TEST_F(GltfExport, TheSkinPosedAtEveryFrameIsWhereTheViewerPutsTheMesh) {
    add_animation(character_animation(trooper, 5));
    add_animation(character_animation(trooper, 3, 2, "reparented"));
    encode_and_read();
    std::vector<int> source = rb::tkm_vertex_of(model, *mesh);
    const uint16_t stored = mesh->num_vertices;
    auto followed = [&](int vertex) {
        if (vertex < stored) return true;
        const std::vector<int> &exact = trooper.exact_blends;
        return std::find(exact.begin(), exact.end(), vertex - stored) != exact.end();
    };
    size_t checked_blends = 0;
    // The rest pose (no animation), then every frame of each animation.
    for (int a = -1; a < int(animations.size()); ++a) {
        const tka_animation *animation = a < 0 ? nullptr : animations[size_t(a)].get();
        int frames = animation ? animation->num_frames : 1;
        for (int k = 0; k < frames; ++k) {
            std::vector<rb::vec3> skinned = rb::skinned_positions(
                model, a < 0 ? nullptr : &model.animations.at(size_t(a)), size_t(k));
            for (size_t g = 0; g < skinned.size(); ++g) {
                ASSERT_GE(source[g], 0);
                if (!followed(source[g]) && a >= 0) continue;
                rb::vec3 expected = viewer_position(animation, k, source[g]);
                EXPECT_LT(distance(skinned[g], expected), 1e-4)
                    << "vertex " << source[g] << " animation " << a << " frame " << k;
                checked_blends += source[g] >= stored;
            }
        }
    }
    EXPECT_GT(checked_blends, 0u);
    // What no skin can follow is counted and measured.
    EXPECT_EQ(report.unmatched_blends, trooper.unmatched_blends.size());
    EXPECT_GT(report.largest_deviation, 0.1);
    EXPECT_GE(report.deviation_vertex, stored);
    int unmatched = int(report.deviation_vertex) - stored;
    EXPECT_NE(
        std::find(trooper.unmatched_blends.begin(), trooper.unmatched_blends.end(), unmatched),
        trooper.unmatched_blends.end());
    EXPECT_GE(report.deviation_animation, 0);
}

TEST_F(GltfExport, BlendVerticesKeepTheirHeaviestFourBonesWithWeightsSummingToOne) {
    encode_and_read();
    const tinygltf::Primitive &primitive = model.meshes[0].primitives[0];
    std::vector<uint32_t> joints = rb::integers(model, primitive.attributes.at("JOINTS_0"));
    std::vector<float> weights = rb::floats(model, primitive.attributes.at("WEIGHTS_0"));
    std::vector<int> source = rb::tkm_vertex_of(model, *mesh);
    const int stored = mesh->num_vertices;
    struct expectation {
        int vertex;
        std::vector<std::pair<uint32_t, float>> joints; // heaviest first
    };
    const expectation expected[] = {
        {0, {{0, 1.0f}}},
        {12, {{3, 1.0f}}},
        {stored + 0, {{3, 0.75f}, {1, 0.25f}}},
        {stored + 1, {{0, 1.0f}}},
        {stored + 3, {{4, 0.3f / 0.9f}, {3, 0.25f / 0.9f}, {2, 0.2f / 0.9f}, {1, 0.15f / 0.9f}}},
        {stored + 4, {{1, 0.5f}, {3, 0.5f}}},
    };
    for (const expectation &e : expected) {
        auto at = std::find(source.begin(), source.end(), e.vertex);
        ASSERT_NE(at, source.end()) << e.vertex;
        size_t g = size_t(at - source.begin());
        float sum = 0;
        for (size_t i = 0; i < 4; ++i) {
            sum += weights[4 * g + i];
            if (i < e.joints.size()) {
                EXPECT_EQ(joints[4 * g + i], e.joints[i].first) << e.vertex << " slot " << i;
                EXPECT_NEAR(weights[4 * g + i], e.joints[i].second, 1e-6) << e.vertex;
            } else {
                EXPECT_EQ(joints[4 * g + i], 0u);
                EXPECT_EQ(weights[4 * g + i], 0.0f);
            }
        }
        EXPECT_EQ(sum, 1.0f) << e.vertex;
    }
}

TEST_F(GltfExport, JointsHierarchyAttachmentsAndInverseBindMatrices) {
    encode_and_read();
    std::vector<int> parents = rb::node_parents(model);
    const char *names[] = {"hips", "spine", "head", "arm", "hand", "prop"};
    ASSERT_EQ(model.skins.size(), 1u);
    const tinygltf::Skin &skin = model.skins[0];
    ASSERT_EQ(skin.joints.size(), 6u);
    ASSERT_GE(skin.skeleton, 0);
    const tinygltf::Node &skeleton = model.nodes[size_t(skin.skeleton)];
    EXPECT_EQ(skeleton.name, "Skeleton");
    EXPECT_EQ(skeleton.children, (std::vector<int>{skin.joints[0], skin.joints[5]}));
    EXPECT_EQ(parents[size_t(skin.skeleton)], -1);
    std::vector<rb::mat4> worlds = rb::node_worlds(model, nullptr, 0);
    std::vector<float> inverse_binds = rb::floats(model, skin.inverseBindMatrices);
    for (size_t b = 0; b < 6; ++b) {
        const tinygltf::Node &joint = model.nodes[size_t(skin.joints[b])];
        EXPECT_EQ(joint.name, names[b]);
        uint16_t parent = mesh->bones[b].parent;
        EXPECT_EQ(parents[size_t(skin.joints[b])],
                  parent == 0xFFFF ? skin.skeleton : skin.joints[parent]);
        // The joint stands where the bone stands, and its inverse bind matrix undoes that.
        rb::mat4 inverse_bind;
        for (size_t k = 0; k < 16; ++k) {
            inverse_bind[k] = inverse_binds[16 * b + k];
            EXPECT_NEAR(worlds[size_t(skin.joints[b])][k], mesh->bones[b].world[k], 1e-5) << b;
        }
        rb::mat4 product = rb::multiply(inverse_bind, worlds[size_t(skin.joints[b])]);
        for (size_t k = 0; k < 16; ++k)
            EXPECT_NEAR(product[k], k % 5 == 0 ? 1.0 : 0.0, 1e-5) << "bone " << b << " " << k;
    }
    // The gripper by its placement, the grip by the placement's inverse, as the viewer poses.
    struct attachment {
        const gripper &source;
        const char *kind;
        bool inverted;
    } attachments[] = {{mesh->grippers[0], "gripper", false}, {mesh->grips[0], "grip", true}};
    for (const attachment &a : attachments) {
        auto node = std::find_if(model.nodes.begin(), model.nodes.end(),
                                 [&](const auto &n) { return n.name == a.source.name; });
        ASSERT_NE(node, model.nodes.end()) << a.source.name;
        size_t index = size_t(node - model.nodes.begin());
        EXPECT_EQ(parents[index], skin.joints[a.source.bone]);
        EXPECT_EQ(node->extras.Get("tarvik_attachment").Get<std::string>(), a.kind);
        float placement[16], world[16];
        if (a.inverted)
            mat4_rigid_inverse(placement, a.source.local);
        else
            std::copy(a.source.local, a.source.local + 16, placement);
        mat4_multiply(world, mesh->bones[a.source.bone].world, placement);
        for (size_t k = 0; k < 16; ++k)
            EXPECT_NEAR(worlds[index][k], world[k], 1e-5) << a.kind << " " << k;
    }
    // Everything is reachable from the scene: the skeleton and the skinned mesh's node.
    ASSERT_EQ(model.scenes.size(), 1u);
    EXPECT_EQ(model.scenes[0].nodes.size(), 2u);
    for (int root : model.scenes[0].nodes)
        EXPECT_EQ(parents[size_t(root)], -1);
}

TEST_F(GltfExport, AnimationsHaveAKeyPerFrameAtTenFramesPerSecond) {
    add_animation(character_animation(trooper, 7));
    add_animation(character_animation(trooper, 1, 3, "pose"));
    encode_and_read();
    ASSERT_EQ(model.animations.size(), 2u);
    const std::pair<const char *, size_t> expected[] = {{"walk", 7}, {"pose", 1}};
    for (size_t a = 0; a < 2; ++a) {
        const tinygltf::Animation &animation = model.animations[a];
        EXPECT_EQ(animation.name, expected[a].first);
        ASSERT_EQ(animation.channels.size(), 12u);
        for (size_t c = 0; c < animation.channels.size(); ++c) {
            const tinygltf::AnimationChannel &channel = animation.channels[c];
            EXPECT_EQ(channel.target_node, model.skins[0].joints[c / 2]);
            EXPECT_EQ(channel.target_path, c % 2 ? "translation" : "rotation");
            const tinygltf::AnimationSampler &sampler = animation.samplers[size_t(channel.sampler)];
            EXPECT_EQ(sampler.interpolation, "LINEAR");
            std::vector<float> times = rb::floats(model, sampler.input);
            ASSERT_EQ(times.size(), expected[a].second);
            for (size_t k = 0; k < times.size(); ++k)
                EXPECT_NEAR(times[k], 0.1 * double(k), 1e-6);
            const tinygltf::Accessor &input = model.accessors[size_t(sampler.input)];
            EXPECT_EQ(input.minValues, std::vector<double>{0.0});
            EXPECT_NEAR(input.maxValues.at(0), 0.1 * double(times.size() - 1), 1e-6);
            std::vector<float> values = rb::floats(model, sampler.output);
            ASSERT_EQ(values.size(), times.size() * (c % 2 ? 3 : 4));
            if (c % 2) continue;
            for (size_t k = 0; k < times.size(); ++k) {
                double length = 0, along = 0;
                for (size_t i = 0; i < 4; ++i) {
                    length += double(values[4 * k + i]) * values[4 * k + i];
                    if (k) along += double(values[4 * k + i]) * values[4 * k - 4 + i];
                }
                EXPECT_NEAR(length, 1.0, 1e-6);
                EXPECT_GE(along, 0.0) << "keys of one joint stay in one hemisphere";
            }
        }
    }
}

TEST_F(GltfExport, TrianglesKeepTheirFrontWithFlatNormalsTextureCoordinatesAndHitColours) {
    encode_and_read();
    const tinygltf::Mesh &gltf_mesh = model.meshes.at(0);
    // One primitive per material run that has triangles, with that run's material.
    ASSERT_EQ(gltf_mesh.primitives.size(), 4u);
    const int materials[] = {0, 1, 2, 0};
    const tinygltf::Primitive &first = gltf_mesh.primitives[0];
    std::vector<float> positions = rb::floats(model, first.attributes.at("POSITION"));
    std::vector<float> normals = rb::floats(model, first.attributes.at("NORMAL"));
    std::vector<float> texcoords = rb::floats(model, first.attributes.at("TEXCOORD_0"));
    std::vector<float> hits = rb::floats(model, first.attributes.at("_HIT_COLOR"));
    animation_ptr rest(create_animation());
    ASSERT_EQ(fill_rest_pose(mesh.get(), rest.get()), 0);
    pose_mesh_in_frame(mesh.get(), rest.get(), 0, nullptr);
    size_t degenerate = 0;
    for (size_t p = 0; p < gltf_mesh.primitives.size(); ++p) {
        const tinygltf::Primitive &primitive = gltf_mesh.primitives[p];
        EXPECT_EQ(primitive.material, materials[p]);
        EXPECT_EQ(primitive.mode, TINYGLTF_MODE_TRIANGLES);
        EXPECT_EQ(primitive.attributes, first.attributes);
        const material_run &run = mesh->material_runs[p];
        std::vector<uint32_t> indices = rb::integers(model, primitive.indices);
        ASSERT_EQ(indices.size(), 3u * run.triangle_count);
        for (uint32_t t = 0; t < run.triangle_count; ++t) {
            const uint16_t *corners = mesh->triangles[run.first_triangle + t].corners;
            float p0[3], p1[3], p2[3], viewer_normal[3];
            corner_position(mesh.get(), mesh->corners[corners[0]].vertex, p0);
            corner_position(mesh.get(), mesh->corners[corners[1]].vertex, p1);
            corner_position(mesh.get(), mesh->corners[corners[2]].vertex, p2);
            triangle_normal(viewer_normal, p0, p1, p2);
            const uint16_t order[3] = {corners[0], corners[2], corners[1]};
            const float *g[3];
            for (size_t k = 0; k < 3; ++k) {
                uint32_t v = indices[3 * t + k];
                const tkm_corner &corner = mesh->corners[order[k]];
                g[k] = &positions[3 * v];
                EXPECT_EQ(texcoords[2 * v], mesh->texcoords[corner.texcoord].u);
                EXPECT_EQ(texcoords[2 * v + 1], mesh->texcoords[corner.texcoord].v);
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(hits[3 * v + size_t(c)],
                                ((corner.aux2 >> (10 - 5 * c)) & 31) * 8 / 255.0, 1e-6);
                double length = 0;
                for (int c = 0; c < 3; ++c)
                    length += double(normals[3 * v + size_t(c)]) * normals[3 * v + size_t(c)];
                EXPECT_NEAR(length, 1.0, 1e-6);
                if (!std::isfinite(viewer_normal[0])) continue;
                // The viewer's normal, turned to glTF's counter-clockwise front.
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(normals[3 * v + size_t(c)], -viewer_normal[c], 1e-5);
            }
            if (!std::isfinite(viewer_normal[0])) {
                ++degenerate;
                continue;
            }
            // The glTF winding faces the way the normal points.
            double e1[3], e2[3];
            for (int c = 0; c < 3; ++c) {
                e1[c] = g[1][c] - g[0][c];
                e2[c] = g[2][c] - g[0][c];
            }
            const float *n = &normals[3 * indices[3 * t]];
            double facing = n[0] * (e1[1] * e2[2] - e1[2] * e2[1]) +
                            n[1] * (e1[2] * e2[0] - e1[0] * e2[2]) +
                            n[2] * (e1[0] * e2[1] - e1[1] * e2[0]);
            EXPECT_GT(facing, 0) << "triangle " << run.first_triangle + t;
        }
    }
    EXPECT_EQ(degenerate, 1u);
    // The position accessor declares its bounds.
    const tinygltf::Accessor &accessor = model.accessors[size_t(first.attributes.at("POSITION"))];
    for (size_t c = 0; c < 3; ++c) {
        float lo = std::numeric_limits<float>::max(), hi = -lo;
        for (size_t v = c; v < positions.size(); v += 3) {
            lo = std::min(lo, positions[v]);
            hi = std::max(hi, positions[v]);
        }
        EXPECT_EQ(accessor.minValues.at(c), lo);
        EXPECT_EQ(accessor.maxValues.at(c), hi);
    }
}

TEST_F(GltfExport, MaterialsCarryColourOpacityAndTheFirstTexture) {
    encode_and_read();
    ASSERT_EQ(model.materials.size(), 3u);
    const tinygltf::Material &body = model.materials[0], &visor = model.materials[1];
    EXPECT_EQ(body.name, "body");
    EXPECT_EQ(body.alphaMode, "OPAQUE");
    EXPECT_FALSE(body.doubleSided);
    // The viewer shows the texture as it is: no tint.
    EXPECT_EQ(body.pbrMetallicRoughness.baseColorFactor, (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(body.pbrMetallicRoughness.metallicFactor, 0.0);
    ASSERT_GE(body.pbrMetallicRoughness.baseColorTexture.index, 0);
    const tinygltf::Texture &texture =
        model.textures[size_t(body.pbrMetallicRoughness.baseColorTexture.index)];
    const tinygltf::Image &image = model.images[size_t(texture.source)];
    EXPECT_EQ(image.mimeType, "image/png");
    EXPECT_EQ(image.name, "Skin.BMP.png"); // the texture's name, then what the bytes are
    // The BMP became a PNG of the same picture, top row first.
    ASSERT_EQ(image.width, 8);
    ASSERT_EQ(image.height, 8);
    ASSERT_EQ(image.component, 4);
    for (int y : {0, 7})
        for (int x : {0, 7}) {
            test_images::colour c = quarters(x, y, 8);
            const unsigned char *px = &image.image[size_t(4 * (8 * y + x))];
            EXPECT_EQ(px[0], c.r) << x << "," << y;
            EXPECT_EQ(px[1], c.g) << x << "," << y;
            EXPECT_EQ(px[2], c.b) << x << "," << y;
        }
    EXPECT_EQ(visor.name, "visor");
    EXPECT_EQ(visor.alphaMode, "BLEND");
    EXPECT_TRUE(visor.doubleSided);
    const std::vector<double> &colour = visor.pbrMetallicRoughness.baseColorFactor;
    ASSERT_EQ(colour.size(), 4u);
    EXPECT_NEAR(colour[0], 0.2, 1e-6);
    EXPECT_NEAR(colour[1], 0.4, 1e-6);
    EXPECT_NEAR(colour[2], 1.0, 1e-6);
    EXPECT_NEAR(colour[3], 0.5, 1e-6);
    EXPECT_LT(visor.pbrMetallicRoughness.baseColorTexture.index, 0);
    EXPECT_TRUE(report.missing_textures.empty());
}

TEST_F(GltfExport, PngTexturesAreKeptAsTheyAreAndMissingOnesLeaveTheColour) {
    encode_and_read();
    const tinygltf::Image &converted = model.images.at(0);
    const tinygltf::BufferView &view = model.bufferViews.at(size_t(converted.bufferView));
    std::vector<uint8_t> png(model.buffers[0].data.begin() + long(view.byteOffset),
                             model.buffers[0].data.begin() +
                                 long(view.byteOffset + view.byteLength));
    write_all(dir / "skin.png", std::vector<unsigned char>(png.begin(), png.end()));
    trooper.mesh.texture_names = {"skin.png", "gone.tga"};
    trooper.mesh.materials[1].refs = {{1, 1}};
    load(trooper.mesh);
    model = {};
    encode_and_read();
    ASSERT_EQ(model.images.size(), 1u);
    const tinygltf::BufferView &kept = model.bufferViews.at(size_t(model.images[0].bufferView));
    EXPECT_TRUE(
        std::equal(png.begin(), png.end(), model.buffers[0].data.begin() + long(kept.byteOffset)));
    EXPECT_EQ(kept.byteLength, png.size());
    EXPECT_EQ(report.missing_textures, std::vector<std::string>{"gone.tga"});
    const tinygltf::Material &visor = model.materials[1];
    EXPECT_LT(visor.pbrMetallicRoughness.baseColorTexture.index, 0);
    EXPECT_NEAR(visor.pbrMetallicRoughness.baseColorFactor.at(2), 1.0, 1e-6);
}

TEST_F(GltfExport, JpegTexturesAreKeptAsTheyAreToo) {
    // A JPEG made by stb from the BMP, then named by both materials.
    int width = 0, height = 0, channels = 0;
    stbi_uc *pixels = stbi_load((dir / "skin.bmp").c_str(), &width, &height, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    std::vector<uint8_t> jpeg;
    auto append = [](void *context, void *data, int size) {
        auto *out = static_cast<std::vector<uint8_t> *>(context);
        out->insert(out->end(), static_cast<uint8_t *>(data), static_cast<uint8_t *>(data) + size);
    };
    EXPECT_NE(stbi_write_jpg_to_func(append, &jpeg, width, height, 3, pixels, 90), 0);
    stbi_image_free(pixels);
    ASSERT_FALSE(jpeg.empty());
    write_all(dir / "photo.jpeg", std::vector<unsigned char>(jpeg.begin(), jpeg.end()));
    trooper.mesh.texture_names = {"photo.jpeg"};
    trooper.mesh.materials[1].refs = {{1, 0}};
    load(trooper.mesh);
    options.binary = false;
    options.base_name = "photo";
    encode_and_read();
    ASSERT_EQ(model.images.size(), 1u) << "one image for both materials";
    EXPECT_EQ(model.textures.size(), 1u);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[2].name, "photo.jpeg");
    EXPECT_EQ(files[2].bytes, jpeg);
    EXPECT_EQ(model.images[0].width, 8);
}

TEST_F(GltfExport, TheTextFormNamesItsBinaryAndImageFilesBesideIt) {
    options.binary = false;
    options.base_name = "my trooper";
    add_animation(character_animation(trooper, 2));
    encode_and_read();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "my trooper.gltf");
    EXPECT_EQ(files[1].name, "my trooper.bin");
    EXPECT_EQ(files[2].name, "skin.png"); // as the file is spelt on disk
    std::string text(files[0].bytes.begin(), files[0].bytes.end());
    EXPECT_NE(text.find("\"uri\": \"my%20trooper.bin\""), std::string::npos);
    EXPECT_NE(text.find("\"uri\": \"skin.png\""), std::string::npos);
    EXPECT_EQ(text.find("data:"), std::string::npos);
    ASSERT_EQ(model.buffers.size(), 1u);
    EXPECT_EQ(model.buffers[0].data.size(), files[1].bytes.size());
    ASSERT_EQ(model.images.size(), 1u);
    EXPECT_EQ(model.images[0].width, 8);
    EXPECT_EQ(model.animations.size(), 1u);
}

TEST_F(GltfExport, ValuesThatAreNoNumbersAndAnimationsWithoutFramesAreRefused) {
    trooper.mesh.vertices[3][1] = std::numeric_limits<float>::quiet_NaN();
    load(trooper.mesh);
    EXPECT_EQ(encode_gltf(*mesh, options, &files, &report), gltf_export_bad_number);
    EXPECT_EQ(report.error, "the rest position of vertex 3 is not a finite number");
    EXPECT_TRUE(files.empty());

    trooper = build_character();
    trooper.mesh.texcoords[2][0] = std::numeric_limits<float>::infinity();
    load(trooper.mesh);
    EXPECT_EQ(encode_gltf(*mesh, options, &files, &report), gltf_export_bad_number);
    EXPECT_EQ(report.error, "texture coordinate 2 is not a finite number");

    trooper = build_character();
    load(trooper.mesh);
    // The reader refuses frameless files, but the encoder also serves animations built in memory.
    add_animation(character_animation(trooper, 1, 3, "still"));
    animations.back()->num_frames = 0;
    EXPECT_EQ(encode_gltf(*mesh, options, &files, &report), gltf_export_bad_animation);
    EXPECT_EQ(report.error, "animation \"still\" has no frames");
    animations.back()->num_frames = 1; // so that its frame is released

    options.animations.clear();
    tka_description broken = character_animation(trooper, 2);
    broken.frames[1].rotations[2] = {std::numeric_limits<float>::quiet_NaN(), 0, 0, 1};
    add_animation(broken);
    EXPECT_EQ(encode_gltf(*mesh, options, &files, &report), gltf_export_bad_number);
    EXPECT_EQ(report.error,
              "a rotation key of bone 2 is not a finite number (frame 1 of animation \"walk\")");
}

TEST_F(GltfExport, MeshesWithoutBonesOrTrianglesStillMakeValidDocuments) {
    tkm_description plain = trooper.mesh;
    plain.bones.clear();
    plain.runs.clear();
    plain.grips.clear();
    plain.grippers.clear();
    load(plain);
    encode_and_read();
    EXPECT_TRUE(model.skins.empty());
    EXPECT_TRUE(model.animations.empty());
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].primitives[0].attributes.count("JOINTS_0"), 0u);
    EXPECT_EQ(model.nodes.size(), 1u);

    load(minimal_tkm());
    model = {};
    encode_and_read();
    EXPECT_TRUE(model.meshes.empty());
    EXPECT_TRUE(model.buffers.empty());
    EXPECT_TRUE(model.scenes.empty()) << "a scene of nothing would be null";
}

TEST_F(GltfExport, AnUnnormalisedBindRotationIsReportedWithItsDeviation) {
    trooper.mesh.bones[1].rotation = {0, 0, 0.5f, 0.5f};
    load(trooper.mesh);
    encode_and_read();
    EXPECT_GT(report.largest_deviation, 0.1);
    EXPECT_EQ(report.deviation_animation, -1) << "found in the rest pose";
    for (double value : model.nodes[1].rotation)
        EXPECT_TRUE(std::isfinite(value));
}

TEST(GltfExportNames, BytesThatAreNotUtf8AreReadAsLatin1) {
    const std::pair<const char *, const char *> cases[] = {
        {"plain", "plain"},
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},               // already UTF-8
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},                         // three bytes
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                 // four bytes
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                         // overlong
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},             // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"}, // past U+10FFFF
        {"cut\xE2\x82", "cut\xC3\xA2\xC2\x82"},                   // cut short
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(utf8_name(in), out) << in;
    EXPECT_EQ(utf8_name(nullptr), "");
    EXPECT_EQ(uri_of_file_name("a b%c/\xC3\xA9.png"), "a%20b%25c%2F%C3%A9.png");
}

TEST(GltfExportFiles, TargetsAreReplacedOnlyWhenEveryFileIsComplete) {
    temp_dir dir;
    write_all(dir / "a.gltf", {'o', 'l', 'd'});
    std::string error;
    std::vector<gltf_file> files = {{"a.gltf", {'n', 'e', 'w'}}, {"a.bin", {1, 2}}};
    ASSERT_EQ(write_gltf_files(dir.path.string(), files, &error), gltf_export_ok) << error;
    EXPECT_EQ(read_all(dir / "a.gltf"), (std::vector<unsigned char>{'n', 'e', 'w'}));
    EXPECT_EQ(read_all(dir / "a.bin"), (std::vector<unsigned char>{1, 2}));

    // A file that cannot be made leaves every target as it was, and no scratch file behind.
    files = {{"a.gltf", {'x'}}, {"missing/a.bin", {3}}};
    EXPECT_EQ(write_gltf_files(dir.path.string(), files, &error), gltf_export_write_failed);
    EXPECT_NE(error.find("missing/a.bin"), std::string::npos) << error;
    EXPECT_EQ(read_all(dir / "a.gltf"), (std::vector<unsigned char>{'n', 'e', 'w'}));
    size_t entries = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2u);
}

} // namespace
