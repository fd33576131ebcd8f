// SPDX-License-Identifier: MIT
// Typed reads that also fail on a short read at the end of the file, for the model readers.
//
// A take from the cursor succeeds when the file ends inside a value (byte_reader.h); every reader
// of untrusted files goes through these instead, so a truncated field counts as a failed one. Each
// returns 0 when the whole value arrived, non-zero otherwise; once the cursor ran dry every later
// read fails too.
#pragma once

#include <cstdint>

#include "viewer/files/byte_reader.h"

// size octets into buffer (size 0 always fails, as a zero-length take does).
int get_bytes(byte_reader *in, void *buffer, uint32_t size);
int get_u8(byte_reader *in, uint8_t *value);
int get_u16(byte_reader *in, uint16_t *value);
int get_u32(byte_reader *in, uint32_t *value);
int get_f32(byte_reader *in, float *value);
// Three floats (a vec3) and four floats (a quaternion x y z w), one component at a time.
int get_vec3(byte_reader *in, float *value);
int get_vec4(byte_reader *in, float *value);
// Moves past size octets; fails when fewer remain.
int skip_bytes(byte_reader *in, uint32_t size);
// Whether count records of at least record_size octets each can still be in the file; readers
// ask before allocating for counts that multiply, so a short file cannot claim gigabytes.
bool records_fit(const byte_reader *in, uint64_t count, uint64_t record_size);
