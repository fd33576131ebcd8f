// SPDX-License-Identifier: MIT
// Small TKM files built byte by byte, independent of the viewer's own writer: test fixtures that
// a reader or a command can be checked against, and from which broken variants are made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/samplegen/tka_writer.h"

// A simple model: one triangle per bone, each on its own bone, materials one per texture name.
struct tkm_fixture {
    uint16_t header_word = 1029;
    std::string name = "fixture";
    std::vector<tka_bone_record> bones;
    std::vector<std::string> texture_names; // stored paths, e.g. "textures\\skin.bmp"
    std::vector<std::string> grips;         // names of grips on bone 0 (a weapon has some)
    std::vector<std::string> grippers;      // names of grippers on bone 0
};

// A chain of count bones, each 10 units above its parent along y, all with identity rotation.
std::vector<tka_bone_record> chain_skeleton(int count);

// The TKM layout of fixture, header to grippers, with a bone-run end marker.
std::vector<uint8_t> encode_tkm(const tkm_fixture &fixture);

// An animation for a skeleton of bones: every bone animated, frames turning each bone a little
// further about z.
tka_file_record turning_animation(const std::vector<tka_bone_record> &bones, int frames);
