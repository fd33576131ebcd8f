// SPDX-License-Identifier: MIT
// Fixture TKM encoder, section by section in the layout tkm_format.h gives (header, bones, runs
// and their end marker, vertices, no blends, texture coordinates, corners, triangles, material
// runs, one triangle list, texture names, materials, grips, grippers).
#include "tools/samplegen/tkm_bytes.h"

#include <cmath>

#include "tools/samplegen/byte_writer.h"
#include "viewer/mesh/tkm_format.h"

namespace {

void gripper_record(byte_writer &out, const std::string &name, uint16_t bone) {
    const float axes[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 2};
    out.counted(name);
    out.floats(axes, 12);
    out.u16(bone);
}

} // namespace

std::vector<tka_bone_record> chain_skeleton(int count) {
    std::vector<tka_bone_record> bones(static_cast<std::size_t>(count));
    for (int i = 0; i < count; i++) {
        bones[i].name = "Bone" + std::to_string(i);
        bones[i].parent = i == 0 ? 0xFFFF : static_cast<uint16_t>(i - 1);
        bones[i].position[1] = i == 0 ? 0.0f : 10.0f;
    }
    return bones;
}

std::vector<uint8_t> encode_tkm(const tkm_fixture &fixture) {
    const auto num_bones = static_cast<uint16_t>(fixture.bones.size());
    const uint16_t num_triangles = num_bones;
    const uint16_t num_vertices = static_cast<uint16_t>(3 * num_bones);
    byte_writer out;
    out.raw(tkm_magic, sizeof tkm_magic);
    out.u16(fixture.header_word);
    out.u16(1);
    out.u16(0);
    out.counted(fixture.name);

    out.u16(num_bones);
    for (uint16_t i = 0; i < num_bones; i++) {
        const tka_bone_record &bone = fixture.bones[i];
        out.u16(i);
        out.counted(bone.name);
        out.u16(bone.parent);
        out.floats(bone.position, 3);
        out.floats(bone.rotation, 4);
    }

    out.u16(static_cast<uint16_t>(num_bones + 1)); // the runs and the end marker
    for (uint16_t i = 0; i < num_bones; i++) {
        out.u16(i);
        out.u16(static_cast<uint16_t>(3 * i));
        out.u16(3);
        out.u16(0);
    }
    out.u16(tkm_run_end_marker);
    out.u16(num_vertices);
    out.u16(0);
    out.u16(0);

    out.u16(num_vertices);
    for (uint16_t i = 0; i < num_bones; i++) {
        const float triangle[9] = {0, 0, 0, 4, 0, 0, 0, 4, 0};
        out.floats(triangle, 9);
    }
    out.u16(0);    // blends
    out.f32(0.0f); // blend_aux

    const float texcoords[6] = {0, 0, 1, 0, 0, 1};
    out.u16(3);
    out.floats(texcoords, 6);

    out.u16(num_vertices); // one corner per vertex
    for (uint16_t v = 0; v < num_vertices; v++) {
        out.u16(static_cast<uint16_t>(v % 3));
        out.u16(v);
        out.u16(0);
        out.u16(0x7C00); // red hit region
    }
    out.u16(num_triangles);
    for (uint16_t t = 0; t < num_triangles; t++) {
        out.u16(static_cast<uint16_t>(3 * t));
        out.u16(static_cast<uint16_t>(3 * t + 1));
        out.u16(static_cast<uint16_t>(3 * t + 2));
        out.u16(0);
    }

    // Triangle t uses material t modulo the material count.
    const std::size_t num_materials =
        fixture.texture_names.empty() ? 1 : fixture.texture_names.size();
    out.u16(num_triangles);
    for (uint16_t t = 0; t < num_triangles; t++) {
        out.u16(static_cast<uint16_t>(t % num_materials));
        out.u16(t);
        out.u16(1);
        out.u16(0);
    }
    out.u32(static_cast<uint32_t>(num_triangles) + 2); // list_aux
    out.u16(1);
    out.u16(num_triangles);
    for (uint16_t t = 0; t < num_triangles; t++)
        out.u16(t);

    out.u16(static_cast<uint16_t>(fixture.texture_names.size()));
    for (const std::string &path : fixture.texture_names) {
        out.counted(path);
        out.u16(0);
    }

    out.u16(static_cast<uint16_t>(num_materials));
    for (std::size_t m = 0; m < num_materials; m++) {
        out.u16(static_cast<uint16_t>(m));
        out.counted("Material" + std::to_string(m));
        if (fixture.texture_names.empty()) {
            out.u16(0);
        } else {
            out.u16(1);
            out.u16(1);
            out.u16(static_cast<uint16_t>(m));
        }
        out.u16(3); // aux_word
        const float colours[9] = {200, 180, 160, 60, 60, 60, 0, 0, 0};
        out.floats(colours, 9);
        out.f32(0.0f); // aux_float1
        out.f32(0.0f); // transparency
        out.u8(0);     // two_sided
        out.f32(0.0f); // emission
        out.f32(0.0f); // shininess
        out.f32(0.05f);
    }

    out.u16(static_cast<uint16_t>(fixture.grips.size()));
    for (const std::string &name : fixture.grips)
        gripper_record(out, name, 0);
    out.u16(static_cast<uint16_t>(fixture.grippers.size()));
    for (const std::string &name : fixture.grippers)
        gripper_record(out, name, 0);
    return out.bytes;
}

tka_file_record turning_animation(const std::vector<tka_bone_record> &bones, int frames) {
    tka_file_record file;
    file.name = "turning";
    file.bones = bones;
    for (int f = 0; f < frames; f++) {
        tka_frame_record frame;
        const float half = 0.05f * static_cast<float>(f);
        for (std::size_t b = 0; b < bones.size(); b++)
            frame.rotations.push_back({0.0f, 0.0f, std::sin(half), std::cos(half)});
        file.frames.push_back(frame);
    }
    return file;
}
