// SPDX-License-Identifier: MIT
// Typed reads that also fail on a short read at the end of the file, for the model readers.
//
// The support library's typed reads report success when the file ends inside a value; every
// reader of untrusted files goes through these instead, so a truncated field counts as a failed
// one. Each returns 0 when the whole value arrived, non-zero otherwise.
#pragma once

#include <cstdint>
#include <cstdio>

// size octets into buffer (size 0 always fails, as a zero-length read does in the library).
int get_bytes(FILE *stream, void *buffer, uint32_t size);
int get_u8(FILE *stream, uint8_t *value);
int get_u16(FILE *stream, uint16_t *value);
int get_u32(FILE *stream, uint32_t *value);
int get_f32(FILE *stream, float *value);
// Three floats (a vec3) and four floats (a quaternion x y z w).
int get_vec3(FILE *stream, float *value);
int get_vec4(FILE *stream, float *value);
// Moves past size octets; fails when fewer remain (a seek alone would not notice).
int skip_bytes(FILE *stream, uint32_t size);
// Octets left from the current position to the end of a regular file; INT64_MAX when unknown.
int64_t bytes_left(FILE *stream);
// Whether count records of at least record_size octets each can still be in the file; readers
// ask before allocating for counts that multiply, so a short file cannot claim gigabytes.
bool records_fit(FILE *stream, uint64_t count, uint64_t record_size);
