// SPDX-License-Identifier: MIT
// Little-endian byte buffers for building model, animation and image files in memory.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Appends values in file order; the caller writes the finished bytes out whole.
struct byte_writer {
    std::vector<uint8_t> bytes;

    void u8(uint8_t value) { bytes.push_back(value); }
    void u16(uint16_t value) {
        u8(static_cast<uint8_t>(value));
        u8(static_cast<uint8_t>(value >> 8));
    }
    void u32(uint32_t value) {
        u16(static_cast<uint16_t>(value));
        u16(static_cast<uint16_t>(value >> 16));
    }
    void f32(float value) {
        uint32_t raw;
        std::memcpy(&raw, &value, sizeof raw);
        u32(raw);
    }
    void floats(const float *values, int count) {
        for (int i = 0; i < count; i++)
            f32(values[i]);
    }
    void raw(const void *data, std::size_t size) {
        const auto *p = static_cast<const uint8_t *>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    // A 16-bit length and the text without a terminator, as the model formats store names.
    void counted(std::string_view text) {
        u16(static_cast<uint16_t>(text.size()));
        raw(text.data(), text.size());
    }
    std::size_t size() const { return bytes.size(); }
};

// Writes bytes to path through a scratch file that replaces it only when complete; 0 on success,
// 1 when the file cannot be written whole (path is then as it was).
int write_bytes(const std::string &path, const std::vector<uint8_t> &bytes);
