// SPDX-License-Identifier: MIT
// The in-memory cursor and the whole-file read.
#include "viewer/files/byte_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/file.h"

byte_reader make_byte_reader(const uint8_t *data, size_t size) {
    byte_reader in;
    in.data = data;
    in.size = data ? size : 0;
    return in;
}

int take_bytes(byte_reader *in, void *buffer, uint32_t size, uint32_t *count) {
    if (!count) return byte_take_no_count;
    *count = 0;
    if (size == 0) return byte_take_zero_size;
    const size_t left = bytes_remaining(*in);
    const size_t moved = size < left ? size : left;
    if (moved) std::memcpy(buffer, in->data + in->position, moved);
    in->position += moved;
    *count = static_cast<uint32_t>(moved);
    if (moved < size) in->at_end = true;
    return byte_take_done;
}

size_t bytes_remaining(const byte_reader &in) {
    return in.size - in.position;
}

int read_file_bytes(const char *path, std::vector<uint8_t> *bytes, int *reason) {
    bytes->clear();
    *reason = 0;
    FILE *stream = open_read(path);
    if (!stream) {
        *reason = errno;
        return file_bytes_not_opened;
    }
    // One read of the size the file has, then on until the end for a file that grew meanwhile or
    // whose size the system does not tell (a pipe).
    std::fseek(stream, 0, SEEK_END);
    const long size = std::ftell(stream);
    std::fseek(stream, 0, SEEK_SET);
    bytes->resize(size > 0 ? static_cast<size_t>(size) : 0);
    size_t filled = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), stream);
    bytes->resize(filled);
    unsigned char chunk[4096];
    while (!std::ferror(stream) && !std::feof(stream)) {
        const size_t moved = std::fread(chunk, 1, sizeof chunk, stream);
        bytes->insert(bytes->end(), chunk, chunk + moved);
    }
    const int failed = std::ferror(stream);
    const int error = errno;
    close_file(stream);
    if (failed) {
        *reason = error ? error : EIO;
        bytes->clear();
        return file_bytes_read_failed;
    }
    return file_bytes_read;
}
