// SPDX-License-Identifier: MIT
// A cursor over a file's octets in memory, for the model readers, and the one read that brings a
// whole file into memory for it.
//
// A take behaves as larkspur's try_read on a stream does: a take that runs past the end copies
// the octets that are there, leaves the rest of the destination as it was, still succeeds, and
// marks the cursor as run dry (a stream's end-of-file indicator). The readers' codes and their
// explanation lines depend on exactly that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct byte_reader {
    const uint8_t *data = nullptr;
    size_t size = 0;
    size_t position = 0; // never beyond size
    bool at_end = false; // a take asked for more octets than were left
};

// Result codes of take_bytes: the zero-octet request mirrors try_read's refusal of size 0.
inline constexpr int byte_take_done = 0;
inline constexpr int byte_take_no_count = -2;
inline constexpr int byte_take_zero_size = -3;

// A cursor at the first of size octets (data may be null when size is 0).
byte_reader make_byte_reader(const uint8_t *data, size_t size);

// Copies up to size octets to buffer; *count receives the octets copied. byte_take_done also for
// a short take at the end (see count and at_end); byte_take_zero_size for size 0.
int take_bytes(byte_reader *in, void *buffer, uint32_t size, uint32_t *count);

// Octets from the position to the end.
size_t bytes_remaining(const byte_reader &in);

// Result codes of read_file_bytes.
inline constexpr int file_bytes_read = 0;
inline constexpr int file_bytes_not_opened = 1; // larkspur's open_read said why
inline constexpr int file_bytes_read_failed = 2;

// Reads the whole file at path into *bytes (replaced), opened as larkspur's open_read opens it and
// with its message on failure; *reason receives the system's error number on failure, else 0.
int read_file_bytes(const char *path, std::vector<uint8_t> *bytes, int *reason);
