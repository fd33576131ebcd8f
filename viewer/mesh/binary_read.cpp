// SPDX-License-Identifier: MIT
// Short-read-checked typed reads.
#include "viewer/mesh/binary_read.h"

namespace {

// A take counts only when it succeeded and the cursor did not run dry in it (or before it).
int checked(const byte_reader *in, int result) {
    return result != byte_take_done || in->at_end;
}

int take_all(byte_reader *in, void *buffer, uint32_t size) {
    uint32_t count = 0;
    return checked(in, take_bytes(in, buffer, size, &count));
}

// Component by component, as a stream read them: a cut one leaves those after it as they were.
int get_floats(byte_reader *in, float *value, int n) {
    for (int i = 0; i < n; ++i)
        if (take_all(in, &value[i], sizeof(float))) return 1;
    return 0;
}

} // namespace

int get_bytes(byte_reader *in, void *buffer, uint32_t size) {
    return take_all(in, buffer, size);
}
int get_u8(byte_reader *in, uint8_t *value) {
    return take_all(in, value, sizeof *value);
}
int get_u16(byte_reader *in, uint16_t *value) {
    return take_all(in, value, sizeof *value);
}
int get_u32(byte_reader *in, uint32_t *value) {
    return take_all(in, value, sizeof *value);
}
int get_f32(byte_reader *in, float *value) {
    return take_all(in, value, sizeof *value);
}
int get_vec3(byte_reader *in, float *value) {
    return get_floats(in, value, 3);
}
int get_vec4(byte_reader *in, float *value) {
    return get_floats(in, value, 4);
}

int skip_bytes(byte_reader *in, uint32_t size) {
    unsigned char sink[64];
    while (size > 0) {
        uint32_t part = size < sizeof sink ? size : static_cast<uint32_t>(sizeof sink);
        if (get_bytes(in, sink, part)) return 1;
        size -= part;
    }
    return 0;
}

bool records_fit(const byte_reader *in, uint64_t count, uint64_t record_size) {
    return count * record_size <= bytes_remaining(*in);
}
