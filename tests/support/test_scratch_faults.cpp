// SPDX-License-Identifier: MIT
// Scratch files meeting faults (writes refused after N octets, signals, a kill) with unnamed files
// and with named ones: the target stays as it was, the reason is kept, nothing else is left.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <vector>

#include "common/dir_names.h"
#include "support_test.h"

extern "C" {
#include "scratch_write.h"
}

namespace {

using names = std::set<std::string>;

std::string text_of(const std::string &path) {
    auto bytes = read_all(path);
    return std::string(bytes.begin(), bytes.end());
}

// The faults in effect for one test, ended with it.
struct faults_in_effect {
    explicit faults_in_effect(const scratch_faults &faults) { set_scratch_faults(&faults); }
    ~faults_in_effect() { set_scratch_faults(nullptr); }
};

// Writes count octets in pieces of 100; false once a write is refused.
bool write_octets(scratch_file *file, size_t count) {
    std::vector<unsigned char> piece(100, 'x');
    for (size_t done = 0; done < count; done += piece.size())
        if (write_arbitrary(file->stream, piece.data(), uint32_t(piece.size())) != 0) return false;
    return true;
}

struct kind {
    const char *name;
    int named_only;
};
constexpr kind kinds[] = {{"unnamed", 0}, {"named", 1}};

// A child that opens a scratch file for target (named from the start where named_only), writes
// octets, flushes them and waits to be killed; its id once the data are flushed, else -1.
pid_t child_paused_mid_save(const std::string &target, int named_only, size_t octets) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        scratch_faults faults{0, 0, named_only, nullptr, nullptr};
        set_scratch_faults(&faults);
        scratch_file *file = open_scratch_file(target.c_str());
        if (!file || !write_octets(file, octets) || fflush(file->stream) != 0) _exit(3);
        char byte = 1;
        if (write(ready[1], &byte, 1) != 1) _exit(4);
        for (;;)
            pause();
    }
    close(ready[1]);
    char byte = 0;
    const bool flushed = child > 0 && read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    return flushed ? child : -1;
}

// Ends child with SIGKILL; true when that is what ended it.
bool kill_child(pid_t child) {
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace

TEST(scratch_faults, a_refused_write_keeps_the_target_gives_the_reason_and_leaves_nothing) {
    const int errors[] = {ENOSPC, EFBIG, EIO};
    // Before the first octet, inside and at the edges of the stream's buffer, and in the last
    // piece, which reaches the file only when it is closed.
    const uint64_t limits[] = {0, 1, 4095, 4096, 8192, 10000, 19999};
    for (const kind &k : kinds)
        for (int error : errors)
            for (uint64_t limit : limits) {
                SCOPED_TRACE(std::string(k.name) + " " + strerror(error) + " after " +
                             std::to_string(limit));
                temp_dir dir;
                std::string target = dir / "model.tkm";
                write_all(target, {'o', 'l', 'd'});
                faults_in_effect faults({limit, error, k.named_only, nullptr, nullptr});
                testing::internal::CaptureStderr();
                scratch_file *file = open_scratch_file(target.c_str());
                ASSERT_NE(file, nullptr);
                bool written = write_octets(file, 20000);
                int result = finish_scratch_file(file, written);
                std::string err = testing::internal::GetCapturedStderr();
                EXPECT_EQ(result, error);
                // The tree's writers give the reason in their own message.
                EXPECT_EQ(err, "");
                EXPECT_EQ(text_of(target), "old");
                EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
            }
}

TEST(scratch_faults, closing_after_a_refused_write_reports_it_and_replaces_nothing) {
    temp_dir dir;
    std::string target = dir / "model.tkm";
    write_all(target, {'o', 'l', 'd'});
    faults_in_effect faults({10, ENOSPC, 0, nullptr, nullptr});
    scratch_file *file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    // Buffered: the refusal comes only as the file is closed.
    ASSERT_TRUE(write_octets(file, 200));
    testing::internal::CaptureStderr();
    EXPECT_EQ(close_scratch_file(file), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(scratch_file_error(file), ENOSPC);
    cleanup_scratch_file(file);
    EXPECT_NE(err.find("Can't write scratch file for " + target + ": No space left on device\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(text_of(target), "old");
    EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
}

TEST(scratch_faults, files_below_the_limit_are_written_whole) {
    for (const kind &k : kinds) {
        SCOPED_TRACE(k.name);
        temp_dir dir;
        std::string target = dir / "model.tkm";
        faults_in_effect faults({20000, ENOSPC, k.named_only, nullptr, nullptr});
        scratch_file *file = open_scratch_file(target.c_str());
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(write_octets(file, 20000));
        EXPECT_EQ(finish_scratch_file(file, 1), 0);
        EXPECT_EQ(read_all(target).size(), 20000u);
        EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
        EXPECT_EQ(replace_file_bytes(target.c_str(), "abc", 3), 0);
        EXPECT_EQ(text_of(target), "abc");
    }
}

TEST(scratch_faults, replacing_with_bytes_says_why_it_failed) {
    temp_dir dir;
    std::string target = dir / "picture.png";
    write_all(target, {'o', 'l', 'd'});
    faults_in_effect faults({2, EDQUOT, 0, nullptr, nullptr});
    testing::internal::CaptureStderr();
    EXPECT_EQ(replace_file_bytes(target.c_str(), "abcdef", 6), EDQUOT);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(replace_file_bytes((dir / "missing/x.png").c_str(), "abc", 3), ENOENT);
    EXPECT_EQ(replace_file_bytes(dir.path.c_str(), "abc", 3), EISDIR);
    EXPECT_EQ(text_of(target), "old");
    EXPECT_EQ(names_in(dir.path), names{"picture.png"});
}

namespace {
int signals_seen;
void count_signal(int) {
    signals_seen++;
}
} // namespace

TEST(scratch_faults, a_signal_removes_named_files_and_still_reaches_the_programs_handler) {
    temp_dir dir;
    std::string target = dir / "model.tkm";
    write_all(target, {'o', 'l', 'd'});
    struct sigaction counting {
    }, old{};
    counting.sa_handler = count_signal;
    sigemptyset(&counting.sa_mask);
    ASSERT_EQ(sigaction(SIGINT, &counting, &old), 0);
    signals_seen = 0;
    {
        faults_in_effect faults({0, 0, 1, nullptr, nullptr});
        scratch_file *file = open_scratch_file(target.c_str());
        ASSERT_NE(file, nullptr);
        std::string temp = file->temp_name;
        EXPECT_TRUE(std::filesystem::exists(temp));
        ASSERT_TRUE(write_octets(file, 1000));
        raise(SIGINT);
        EXPECT_EQ(signals_seen, 1);
        EXPECT_FALSE(std::filesystem::exists(temp));
        testing::internal::CaptureStderr();
        EXPECT_EQ(finish_scratch_file(file, 1), ENOENT);
        testing::internal::GetCapturedStderr();
    }
    EXPECT_EQ(text_of(target), "old");
    EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
    struct sigaction now {};
    ASSERT_EQ(sigaction(SIGINT, &old, &now), 0);
    EXPECT_EQ(now.sa_handler, count_signal);
}

namespace {

// Runs body in a child process and returns its wait status.
template <typename body_type> int in_child(body_type body) {
    pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

} // namespace

TEST(scratch_faults, a_process_ended_by_a_signal_leaves_no_named_file) {
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal_number));
        temp_dir dir;
        std::string target = dir / "model.tkm";
        write_all(target, {'o', 'l', 'd'});
        int status = in_child([&] {
            signal(signal_number, SIG_DFL);
            scratch_faults faults{0, 0, 1, nullptr, nullptr};
            set_scratch_faults(&faults);
            scratch_file *file = open_scratch_file(target.c_str());
            if (!file || !write_octets(file, 10000) || fflush(file->stream) != 0) _exit(3);
            if (!std::filesystem::exists(file->temp_name)) _exit(4);
            raise(signal_number);
            _exit(5);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal_number);
        EXPECT_EQ(text_of(target), "old");
        EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
    }
}

TEST(scratch_faults, a_process_killed_while_writing_an_unnamed_file_leaves_nothing) {
    temp_dir dir;
    if (!unnamed_files_work(dir.path)) GTEST_SKIP() << "the filesystem keeps no unnamed files";
    std::string target = dir / "model.tkm";
    write_all(target, {'o', 'l', 'd'});
    const pid_t child = child_paused_mid_save(target, 0, 100000);
    ASSERT_GT(child, 0);
    // The data are on disk, under no name.
    EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
    EXPECT_TRUE(kill_child(child));
    EXPECT_EQ(text_of(target), "old");
    EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
}

TEST(scratch_faults, the_named_file_of_a_killed_save_goes_with_the_next_save_of_its_target) {
    temp_dir dir;
    std::string target = dir / "model.tkm";
    write_all(target, {'o', 'l', 'd'});
    const pid_t child = child_paused_mid_save(target, 1, 1000);
    ASSERT_GT(child, 0);
    ASSERT_TRUE(kill_child(child));
    // SIGKILL cannot be caught: the named scratch file stays, with the child's id in its name.
    names left = names_in(dir.path);
    ASSERT_EQ(left.size(), 2u);
    left.erase("model.tkm");
    EXPECT_NE(left.begin()->find("." + std::to_string(child) + ".model.tkm"), std::string::npos)
        << *left.begin();
    scratch_file *file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(write_arbitrary(file->stream, "new", 3), 0);
    EXPECT_EQ(close_scratch_file(file), 0);
    cleanup_scratch_file(file);
    EXPECT_EQ(names_in(dir.path), names{"model.tkm"});
    EXPECT_EQ(text_of(target), "new");
}
