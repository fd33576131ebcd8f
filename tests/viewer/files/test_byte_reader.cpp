// SPDX-License-Identifier: MIT
// The in-memory cursor takes octets as a stdio stream reads them from a file of the same octets:
// the same count, the same destination (a short take leaves the rest as it was), the end noticed
// exactly when a take asks past it, and the same position. stdio is the evaluator here.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/common/temp_dir.h"
#include "viewer/files/byte_reader.h"

namespace {

struct take_case {
    const char *what;
    size_t file_size;
    std::vector<uint32_t> takes; // octets asked for, in turn
};

const take_case take_cases[] = {
    {"exactly to the end", 8, {4, 4}},        {"past the end by one", 8, {4, 5}},
    {"after the end", 8, {8, 1, 4}},          {"an empty file", 0, {2}},
    {"one short then more", 5, {2, 2, 2, 2}}, {"a long take over a short file", 3, {16}},
};

constexpr unsigned char untouched = 0xaa;

TEST(byte_reader, takes_as_a_stream_reads) {
    temp_dir dir;
    for (const take_case &c : take_cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes(c.file_size);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i + 1);
        const std::string path = dir / "bytes.bin";
        write_all(path, bytes);
        FILE *stream = std::fopen(path.c_str(), "rb");
        ASSERT_NE(stream, nullptr);
        byte_reader in = make_byte_reader(bytes.data(), bytes.size());
        for (uint32_t size : c.takes) {
            std::vector<unsigned char> from_stream(size, untouched), from_memory(size, untouched);
            const size_t read = std::fread(from_stream.data(), 1, size, stream);
            uint32_t count = 0;
            EXPECT_EQ(take_bytes(&in, from_memory.data(), size, &count), byte_take_done);
            EXPECT_EQ(count, read) << size;
            EXPECT_EQ(from_memory, from_stream) << size;
            EXPECT_EQ(in.at_end, std::feof(stream) != 0) << size;
            EXPECT_EQ(static_cast<long>(in.position), std::ftell(stream)) << size;
            EXPECT_EQ(bytes_remaining(in), bytes.size() - in.position);
        }
        std::fclose(stream);
    }
}

// A take of no octets is refused, as larkspur's try_read refuses one, and moves nothing.
TEST(byte_reader, refuses_a_take_of_nothing) {
    const uint8_t bytes[] = {1, 2};
    byte_reader in = make_byte_reader(bytes, sizeof bytes);
    uint32_t count = 7;
    unsigned char sink = 0;
    EXPECT_EQ(take_bytes(&in, &sink, 0, &count), byte_take_zero_size);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(in.position, 0u);
    EXPECT_FALSE(in.at_end);
    EXPECT_EQ(take_bytes(&in, &sink, 1, nullptr), byte_take_no_count);
}

// The whole-file read brings every octet of files around its chunk sizes, and says why a file
// cannot be read.
TEST(byte_reader, reads_a_whole_file) {
    temp_dir dir;
    for (size_t size : {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{70000}}) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        const std::string path = dir / "whole.bin";
        write_all(path, bytes);
        std::vector<uint8_t> got = {9};
        int reason = -1;
        EXPECT_EQ(read_file_bytes(path.c_str(), &got, &reason), file_bytes_read) << size;
        EXPECT_EQ(reason, 0);
        EXPECT_EQ(got, bytes) << size;
    }
    std::vector<uint8_t> got = {9};
    int reason = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_file_bytes((dir / "missing.bin").c_str(), &got, &reason), file_bytes_not_opened);
    testing::internal::GetCapturedStderr();
    EXPECT_NE(reason, 0);
    EXPECT_TRUE(got.empty());
}

} // namespace
