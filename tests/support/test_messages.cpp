// SPDX-License-Identifier: MIT
// The message outlets: where each writes, what it returns, and that nothing stops the program.
#include "support_test.h"

TEST(messages, meow_writes_to_standard_error_and_counts) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int written = real_meow("%s %d\n", "error", 42);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, 9);
    EXPECT_EQ(err, "error 42\n");
    EXPECT_EQ(out, "");
}

TEST(messages, purr_writes_to_standard_output_and_counts) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int written = real_purr("%u octets\n", 7u);
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, 9);
    EXPECT_EQ(out, "7 octets\n");
    EXPECT_EQ(err, "");
}

TEST(messages, fmeow_writes_to_its_stream_and_ignores_null) {
    temp_dir dir;
    FILE *stream = std::fopen((dir / "log").c_str(), "w");
    ASSERT_NE(stream, nullptr);
    fmeow(stream, "%s=%d;", "a", 1);
    fmeow(nullptr, "%s", "nowhere");
    std::fclose(stream);
    auto bytes = read_all(dir / "log");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "a=1;");
}

TEST(messages, hairball_writes_nothing_anywhere) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    hairball("temp filename: %s\n", "x");
    hairball("%d %d %d", 1, 2, 3);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(messages, report_of_a_null_stream_is_one_prefixed_line) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(get_file_position(nullptr), -2);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_REPORT(err, report_pattern("get_file_position", "file\\.c", "Null file pointer"));
}
