// SPDX-License-Identifier: MIT
// TarvikAnimation (.tka) files built in memory: the viewer only reads them, samples need some.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One skeleton bone as both model formats store it.
struct tka_bone_record {
    std::string name;
    uint16_t parent = 0xFFFF; // 0xFFFF for a root
    float position[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1}; // x, y, z, w
};

// One frame: the rotations of the animated bones in the order of animated_bones.
struct tka_frame_record {
    std::vector<std::vector<float>> rotations; // each x, y, z, w
    std::vector<std::string> strings;          // written only when header_word % 16 >= 2
};

struct tka_file_record {
    uint16_t header_word = 0x0010;
    std::string name;
    std::vector<tka_bone_record> bones;
    std::vector<uint16_t> animated_bones; // empty: every bone, in index order
    std::vector<tka_frame_record> frames;
};

// The TKA layout, header to last frame. Strings are stored with their terminating zero.
std::vector<uint8_t> encode_tka(const tka_file_record &file);
