// SPDX-License-Identifier: MIT
// JSON text of meshes and animations for tkmtool, with exact floats and byte-safe strings.
#pragma once

#include <string>

struct tkm_mesh;
struct tka_animation;
struct read_failure;

// The shortest decimal that reads back as the same 32-bit float; "nan", "inf", "-inf" (quoted)
// for the values JSON has no number for.
std::string json_float(float value);
// A quoted JSON string of text up to its first zero byte; bytes outside 0x20..0x7E as \u00XX.
std::string json_string(const char *text);
// The whole mesh as one JSON object (no trailing newline).
std::string mesh_json(const tkm_mesh &mesh);
// The whole animation as one JSON object (no trailing newline).
std::string animation_json(const tka_animation &animation);
// {"error": {"stage": stage, "code": code, "field": F, "offset": N, "message": M}}: field,
// offset and message from detail, each null when the reader told nothing of it.
std::string error_json(const char *stage, int code, const read_failure &detail);
