// SPDX-License-Identifier: MIT
// Short-read-checked typed reads.
#include "viewer/mesh/binary_read.h"

#include <sys/stat.h>

#include "support/file.h"

namespace {

// A transfer counts only when the library call succeeded and the stream did not run dry in it.
int checked(FILE *stream, int result) {
    return (result != 0 || feof(stream) || ferror(stream));
}

} // namespace

int get_bytes(FILE *stream, void *buffer, uint32_t size) {
    return checked(stream, read_arbitrary(stream, buffer, size));
}
int get_u8(FILE *stream, uint8_t *value) {
    return checked(stream, read_uint8(stream, value));
}
int get_u16(FILE *stream, uint16_t *value) {
    return checked(stream, read_uint16(stream, value));
}
int get_u32(FILE *stream, uint32_t *value) {
    return checked(stream, read_uint32(stream, value));
}
int get_f32(FILE *stream, float *value) {
    return checked(stream, read_float(stream, value));
}
int get_vec3(FILE *stream, float *value) {
    return checked(stream, read_vec3(stream, value));
}
int get_vec4(FILE *stream, float *value) {
    return checked(stream, read_vec4(stream, value));
}

int skip_bytes(FILE *stream, uint32_t size) {
    unsigned char sink[64];
    while (size > 0) {
        uint32_t part = size < sizeof sink ? size : static_cast<uint32_t>(sizeof sink);
        if (get_bytes(stream, sink, part)) return 1;
        size -= part;
    }
    return 0;
}

int64_t bytes_left(FILE *stream) {
    struct stat info {};
    if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) return INT64_MAX;
    long position = ftell(stream);
    if (position < 0) return INT64_MAX;
    int64_t left = static_cast<int64_t>(info.st_size) - position;
    return left < 0 ? 0 : left;
}

bool records_fit(FILE *stream, uint64_t count, uint64_t record_size) {
    int64_t left = bytes_left(stream);
    if (left == INT64_MAX) return true;
    return count * record_size <= static_cast<uint64_t>(left);
}
