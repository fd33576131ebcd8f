// SPDX-License-Identifier: MIT
// Opening, seeking and the raw and typed transfers with every result code they can give.
#include <cstring>
#include <unistd.h>

#include "common/linux_only.h"
#include "support_test.h"

namespace {

#ifndef _WIN32
// A stream that yields good_octets octets and then fails with a read error.
struct failing_source {
    size_t good_octets;
    size_t given = 0;
};

ssize_t failing_read(void *cookie, char *buffer, size_t size) {
    auto *source = static_cast<failing_source *>(cookie);
    if (source->given >= source->good_octets) {
        errno = EIO;
        return -1;
    }
    size_t n = std::min(size, source->good_octets - source->given);
    // The good octets are the float 1.5 repeated; unbuffered streams ask for one octet at a time.
    const float one = 1.5f;
    unsigned char pattern[sizeof one];
    std::memcpy(pattern, &one, sizeof one);
    for (size_t i = 0; i < n; i++)
        buffer[i] = static_cast<char>(pattern[(source->given + i) % 4]);
    source->given += n;
    return static_cast<ssize_t>(n);
}

FILE *open_failing(failing_source *source) {
    cookie_io_functions_t io{failing_read, nullptr, nullptr, nullptr};
    FILE *stream = fopencookie(source, "rb", io);
    // Unbuffered, so each typed read reaches the source on its own.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

// A stream on the read end of a pipe: every seek on it fails.
FILE *open_pipe_stream(int fds[2]) {
    EXPECT_EQ(pipe(fds), 0);
    return fdopen(fds[0], "rb");
}
#endif

} // namespace

TEST(file_io, typed_values_are_little_endian_octets_and_read_back) {
    temp_dir dir;
    std::string path = dir / "values.bin";
    FILE *out = open_write(path.c_str());
    ASSERT_NE(out, nullptr);
    uint32_t one = 1;
    int8_t minus = -2;
    uint16_t word = 0xBEEF;
    float f = -0.25f;
    double d = 1e300;
    const float v3[3] = {1, 2, 3}, v4[4] = {4, 5, 6, 7};
    EXPECT_EQ(write_uint32(out, &one), 0);
    EXPECT_EQ(write_int8(out, &minus), 0);
    EXPECT_EQ(write_uint16(out, &word), 0);
    EXPECT_EQ(write_float(out, &f), 0);
    EXPECT_EQ(write_double(out, &d), 0);
    EXPECT_EQ(write_vec3(out, v3), 0);
    EXPECT_EQ(write_vec4(out, v4), 0);
    EXPECT_EQ(close_file(out), 0);

    auto bytes = read_all(path);
    ASSERT_EQ(bytes.size(), 4u + 1 + 2 + 4 + 8 + 12 + 16);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 7),
              (std::vector<unsigned char>{0x01, 0x00, 0x00, 0x00, 0xFE, 0xEF, 0xBE}));

    FILE *in = open_read(path.c_str());
    ASSERT_NE(in, nullptr);
    uint32_t one_back = 0;
    int8_t minus_back = 0;
    int16_t word_back = 0;
    float f_back = 0;
    double d_back = 0;
    float v3_back[3], v4_back[4];
    EXPECT_EQ(read_uint32(in, &one_back), 0);
    EXPECT_EQ(read_int8(in, &minus_back), 0);
    EXPECT_EQ(read_int16(in, &word_back), 0);
    EXPECT_EQ(read_float(in, &f_back), 0);
    EXPECT_EQ(read_double(in, &d_back), 0);
    EXPECT_EQ(read_vec3(in, v3_back), 0);
    EXPECT_EQ(read_vec4(in, v4_back), 0);
    EXPECT_EQ(get_file_position(in), static_cast<int32_t>(bytes.size()));
    close_file(in);
    EXPECT_EQ(one_back, 1u);
    EXPECT_EQ(minus_back, -2);
    EXPECT_EQ(static_cast<uint16_t>(word_back), 0xBEEF);
    EXPECT_EQ(f_back, -0.25f);
    EXPECT_EQ(d_back, 1e300);
    EXPECT_EQ(v3_back[2], 3.0f);
    EXPECT_EQ(v4_back[3], 7.0f);
}

// Typed values move octet by octet through the stream's buffer: each size in turn, at every
// offset modulo the buffer's size, so that many of them straddle a refill or a flush.
TEST(file_io, typed_values_across_buffer_boundaries_keep_every_octet_in_order) {
    temp_dir dir;
    const std::string path = dir / "straddling.bin";
    struct typed {
        size_t size;
        int (*write)(FILE *, const unsigned char *);
        int (*read)(FILE *, unsigned char *);
    };
    const typed kinds[] = {
        {1, [](FILE *s, const unsigned char *v) { return write_uint8(s, v); },
         [](FILE *s, unsigned char *v) { return read_uint8(s, v); }},
        {2,
         [](FILE *s, const unsigned char *v) {
             return write_uint16(s, reinterpret_cast<const uint16_t *>(v));
         },
         [](FILE *s, unsigned char *v) { return read_uint16(s, reinterpret_cast<uint16_t *>(v)); }},
        {4,
         [](FILE *s, const unsigned char *v) {
             return write_uint32(s, reinterpret_cast<const uint32_t *>(v));
         },
         [](FILE *s, unsigned char *v) { return read_uint32(s, reinterpret_cast<uint32_t *>(v)); }},
        {8,
         [](FILE *s, const unsigned char *v) {
             return write_double(s, reinterpret_cast<const double *>(v));
         },
         [](FILE *s, unsigned char *v) { return read_double(s, reinterpret_cast<double *>(v)); }},
    };
    // Octet n of the file is n * 7 + n / 256, not a repeating pattern a lost octet could hide in.
    const size_t total = 3 * 8192 + 5;
    std::vector<unsigned char> expected(total);
    for (size_t n = 0; n < total; n++)
        expected[n] = static_cast<unsigned char>(n * 7 + n / 256);
    std::vector<size_t> sizes; // the value sizes in file order
    for (size_t at = 0, k = 0; at < total; k++) {
        size_t size = kinds[k % 4].size;
        while (at + size > total)
            size /= 2;
        sizes.push_back(size);
        at += size;
    }
    const auto kind_of = [&](size_t size) -> const typed & {
        return kinds[size == 1 ? 0 : size == 2 ? 1 : size == 4 ? 2 : 3];
    };
    FILE *out = open_write(path.c_str());
    ASSERT_NE(out, nullptr);
    size_t at = 0;
    for (size_t size : sizes) {
        alignas(8) unsigned char value[8];
        std::memcpy(value, &expected[at], size);
        ASSERT_EQ(kind_of(size).write(out, value), 0) << "at " << at;
        at += size;
    }
    ASSERT_EQ(close_file(out), 0);
    EXPECT_EQ(read_all(path), expected);

    FILE *in = open_read(path.c_str());
    ASSERT_NE(in, nullptr);
    std::vector<unsigned char> back;
    for (size_t size : sizes) {
        alignas(8) unsigned char value[8] = {};
        ASSERT_EQ(kind_of(size).read(in, value), 0);
        back.insert(back.end(), value, value + size);
    }
    EXPECT_EQ(get_file_position(in), static_cast<int32_t>(total));
    close_file(in);
    EXPECT_EQ(back, expected);
}

TEST(file_io, short_read_at_end_of_file_fills_only_what_arrived) {
    temp_dir dir;
    write_all(dir / "six", {1, 2, 3, 4, 0xAA, 0xBB});
    FILE *in = open_read((dir / "six").c_str());
    ASSERT_NE(in, nullptr);
    ASSERT_EQ(seek_set(in, 4), 0);
    uint32_t value = 0x11223344;
    EXPECT_EQ(read_uint32(in, &value), 0);
    unsigned char octets[4];
    std::memcpy(octets, &value, 4);
    EXPECT_EQ(octets[0], 0xAA);
    EXPECT_EQ(octets[1], 0xBB);
    EXPECT_EQ(octets[2], 0x22); // untouched
    EXPECT_EQ(octets[3], 0x11);

    ASSERT_EQ(seek_set(in, 3), 0);
    unsigned char buffer[8] = {};
    uint32_t count = 99;
    EXPECT_EQ(try_read(in, buffer, 8, &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(try_read(in, buffer, 8, &count), 0);
    EXPECT_EQ(count, 0u);
    close_file(in);
}

TEST(file_io, null_arguments_and_zero_sizes_are_reported_with_their_codes) {
    temp_dir dir;
    write_all(dir / "f", {1, 2, 3});
    FILE *in = open_read((dir / "f").c_str());
    unsigned char buffer[4];
    uint32_t count;
    struct {
        int expected;
        int (*call)(FILE *, unsigned char *, uint32_t *);
        const char *operation;
        const char *message;
        bool null_stream;
    } rows[] = {
        {-1, [](FILE *, unsigned char *b, uint32_t *c) { return try_read(nullptr, b, 1, c); },
         "try_read", "Null file pointer", true},
        {-1, [](FILE *, unsigned char *b, uint32_t *c) { return try_write(nullptr, b, 1, c); },
         "try_write", "Null file pointer", true},
        {-2, [](FILE *s, unsigned char *b, uint32_t *) { return try_read(s, b, 1, nullptr); },
         "try_read", "Null result pointer", false},
        {-2, [](FILE *s, unsigned char *b, uint32_t *) { return try_write(s, b, 1, nullptr); },
         "try_write", "Null result pointer", false},
        {-3, [](FILE *s, unsigned char *b, uint32_t *) { return read_arbitrary(s, b, 0); },
         "try_read", "How did we get here\\?", false},
        {-4, [](FILE *s, unsigned char *b, uint32_t *) { return write_arbitrary(s, b, 0); },
         "try_write", "How did we get here\\?", false},
        {-2, [](FILE *, unsigned char *, uint32_t *) { return seek_set(nullptr, 0); }, "seek_set",
         "Null file pointer", true},
        {-2, [](FILE *, unsigned char *, uint32_t *) { return seek_end(nullptr, 0); }, "seek_end",
         "Null file pointer", true},
        {-2, [](FILE *, unsigned char *, uint32_t *) { return seek_cur(nullptr, 0, 1); },
         "seek_cur", "Null file pointer", true},
    };
    for (const auto &row : rows) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(row.call(in, buffer, &count), row.expected) << row.operation;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_REPORT(err, report_pattern(row.operation, "file\\.c", row.message));
    }
    EXPECT_EQ(close_file(nullptr), 0);
    EXPECT_EQ(close_file(in), 0);
}

TEST(file_io, vector_reads_name_the_component_that_failed) {
#ifdef _WIN32
    SKIP_ON_WINDOWS("a stream that fails on demand needs fopencookie");
#else
    failing_source source{4};
    FILE *stream = open_failing(&source);
    ASSERT_NE(stream, nullptr);
    float v[3] = {9, 9, 9};
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_vec3(stream, v), 2);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(v[1], 9.0f);
    // The failed transfer cleared the stream's indicators, so the stream can be used again.
    EXPECT_EQ(ferror(stream), 0);
    if (shared_build)
        EXPECT_REPORT(err, report_pattern("try_read", "file\\.c",
                                          "Failed to read buffer of size 4: Input/output error"));
    else
        EXPECT_EQ(err, "");
    std::fclose(stream);
#endif
}

TEST(file_io, failed_write_returns_one_and_clears_the_error) {
    SKIP_ON_WINDOWS("a device that is always full is /dev/full");
    FILE *full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    uint32_t value = 7;
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_uint32(full, &value), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ferror(full), 0);
    const float v[4] = {1, 2, 3, 4};
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_vec4(full, v), 1);
    testing::internal::GetCapturedStderr();
    std::fclose(full);
    if (shared_build)
        EXPECT_REPORT(err,
                      report_pattern("try_write", "file\\.c",
                                     "Failed to write buffer of size 4: No space left on device"));
    else
        EXPECT_EQ(err, "");
}

TEST(file_io, reading_a_directory_is_a_stream_error) {
    SKIP_ON_WINDOWS("Windows does not open a directory as a stream");
    temp_dir dir;
    FILE *stream = std::fopen(dir.path.string().c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    uint16_t value;
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_uint16(stream, &value), -3);
    testing::internal::GetCapturedStderr();
    std::fclose(stream);
}

TEST(file_io, failed_seeks_report_octet_with_its_plural_ending) {
#ifdef _WIN32
    SKIP_ON_WINDOWS("the messages are glibc's text for ESPIPE on a POSIX pipe");
#else
    int fds[2];
    FILE *stream = open_pipe_stream(fds);
    ASSERT_NE(stream, nullptr);
    struct {
        int (*seek)(FILE *);
        const char *operation;
        const char *message;
    } rows[] = {
        {[](FILE *s) { return seek_set(s, 1); }, "seek_set",
         "Error skipping 1 octet: Illegal seek"},
        {[](FILE *s) { return seek_set(s, 2); }, "seek_set",
         "Error skipping 2 octets: Illegal seek"},
        {[](FILE *s) { return seek_end(s, -1); }, "seek_end",
         "Error skipping 4294967295 octets: Illegal seek"},
        {[](FILE *s) { return seek_cur(s, -3, 1); }, "seek_cur",
         "Error seeking -3 octets: Illegal seek"},
        {[](FILE *s) { return seek_cur(s, 1, 1); }, "seek_cur",
         "Error seeking 1 octet: Illegal seek"},
    };
    for (const auto &row : rows) {
        testing::internal::CaptureStderr();
        EXPECT_NE(row.seek(stream), 0) << row.message;
        std::string err = testing::internal::GetCapturedStderr();
        if (shared_build)
            EXPECT_REPORT(err, report_pattern(row.operation, "file\\.c", row.message));
        else
            EXPECT_EQ(err, "");
    }
    std::fclose(stream);
    close(fds[1]);
#endif
}

TEST(file_io, seeks_move_the_position) {
    temp_dir dir;
    write_all(dir / "ten", std::vector<unsigned char>(10, 0));
    FILE *in = open_read((dir / "ten").c_str());
    EXPECT_EQ(seek_set(in, 3), 0);
    EXPECT_EQ(get_file_position(in), 3);
    EXPECT_EQ(seek_cur(in, 4, 1), 0);
    EXPECT_EQ(get_file_position(in), 7);
    EXPECT_EQ(seek_end(in, -2), 0);
    EXPECT_EQ(get_file_position(in), 8);
    close_file(in);
}

TEST(file_io, failed_opens_return_null_and_only_the_shared_library_reports) {
    temp_dir dir;
    std::string missing = dir / "no/such/file";
    struct {
        FILE *(*open)(const char *);
        const char *operation;
        const char *verb;
    } rows[] = {{open_read, "open_read", "reading"},
                {open_write, "open_write", "writing"},
                {open_append, "open_append", "appending"}};
    for (const auto &row : rows) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(row.open(missing.c_str()), nullptr);
        std::string err = testing::internal::GetCapturedStderr();
        if (shared_build)
            EXPECT_REPORT(err, report_pattern(row.operation, "file\\.c",
                                              std::string("Error opening file '.*' for ") +
                                                  row.verb + ": No such file or directory"));
        else
            EXPECT_EQ(err, "");
    }
}

TEST(file_io, append_adds_to_the_end) {
    temp_dir dir;
    write_all(dir / "a", {1});
    FILE *out = open_append((dir / "a").c_str());
    uint8_t two = 2;
    EXPECT_EQ(write_uint8(out, &two), 0);
    close_file(out);
    EXPECT_EQ(read_all(dir / "a"), (std::vector<unsigned char>{1, 2}));
}
