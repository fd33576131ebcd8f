// SPDX-License-Identifier: MIT
// TKA encoder, field by field in the layout tka_format.h gives, written without the viewer's own
// writer so that the loader is checked against an independent encoding.
#include "tools/samplegen/tka_writer.h"

#include "tools/samplegen/byte_writer.h"
#include "viewer/anim/tka_format.h"

std::vector<uint8_t> encode_tka(const tka_file_record &file) {
    byte_writer out;
    out.raw(tka_magic, sizeof tka_magic);
    out.u16(file.header_word);
    for (int i = 0; i < 10; i++)
        out.u8(0);
    out.counted(file.name);

    out.u16(static_cast<uint16_t>(file.bones.size()));
    for (std::size_t i = 0; i < file.bones.size(); i++) {
        const tka_bone_record &bone = file.bones[i];
        out.u16(static_cast<uint16_t>(i));
        out.counted(bone.name);
        out.u16(bone.parent);
        out.floats(bone.position, 3);
        out.floats(bone.rotation, 4);
    }

    out.u16(0);
    out.u16(static_cast<uint16_t>(file.animated_bones.size()));
    for (uint16_t bone : file.animated_bones)
        out.u16(bone);

    const bool with_strings = file.header_word % 16 >= 2;
    out.u16(static_cast<uint16_t>(file.frames.size()));
    for (const tka_frame_record &frame : file.frames) {
        const float zero3[3] = {0, 0, 0};
        const float identity[4] = {0, 0, 0, 1};
        out.floats(zero3, 3);
        out.floats(identity, 4);
        out.floats(zero3, 3);
        for (const std::vector<float> &rotation : frame.rotations)
            out.floats(rotation.data(), 4);
        if (with_strings) {
            out.u16(static_cast<uint16_t>(frame.strings.size()));
            for (const std::string &text : frame.strings) {
                out.u16(static_cast<uint16_t>(text.size() + 1));
                out.raw(text.c_str(), text.size() + 1);
            }
        }
    }
    return out.bytes;
}
