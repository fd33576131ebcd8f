// SPDX-License-Identifier: MIT
// Scratch files: the temporary name, replacing the target, abandoning, and failed renames.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "common/dir_names.h"
#include "common/linux_only.h"
#include "support_test.h"

namespace {

// Runs the test body with the working directory set to dir, restoring it afterwards.
struct in_directory {
    std::filesystem::path old = std::filesystem::current_path();
    explicit in_directory(const std::filesystem::path &dir) { std::filesystem::current_path(dir); }
    ~in_directory() { std::filesystem::current_path(old); }
};

std::string text_of(const std::string &path) {
    auto bytes = read_all(path);
    return std::string(bytes.begin(), bytes.end());
}

using names = std::set<std::string>;

void write_text(scratch_file *file, const std::string &text) {
    ASSERT_EQ(write_arbitrary(file->stream, text.data(), static_cast<uint32_t>(text.size())), 0);
}

} // namespace

TEST(scratch, temporary_name_lies_beside_the_target_and_stands_only_once_complete) {
    temp_dir dir;
    std::string target = dir / "model.tkm";
    scratch_file *file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(file->target_name), target);
    std::string pattern = "^" + dir.path.generic_string() + "/-?[0-9]+\\." +
                          std::to_string(getpid()) + "\\.model\\.tkm$";
    EXPECT_TRUE(std::regex_match(std::string(file->temp_name), std::regex(pattern)))
        << file->temp_name;
    write_text(file, "data");
    ASSERT_EQ(fflush(file->stream), 0);
    // Where the filesystem keeps unnamed files, a process killed now leaves nothing behind.
    if (unnamed_files_work(dir.path)) {
        EXPECT_EQ(names_in(dir.path), names{});
    }
    cleanup_scratch_file(file);
    EXPECT_EQ(names_in(dir.path), names{});
}

TEST(scratch, target_without_directory_uses_the_current_one) {
    temp_dir dir;
    in_directory here(dir.path);
    scratch_file *file = open_scratch_file("model.tkm");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(std::regex_match(std::string(file->temp_name),
                                 std::regex("^-?[0-9]+\\.[0-9]+\\.model\\.tkm$")))
        << file->temp_name;
    write_text(file, "new");
    EXPECT_EQ(close_scratch_file(file), 0);
    cleanup_scratch_file(file);
    EXPECT_EQ(text_of(dir / "model.tkm"), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}

TEST(scratch, close_creates_or_replaces_the_target_and_a_second_close_is_refused) {
    temp_dir dir;
    std::string target = dir / "out.bin";
    for (const char *content : {"first", "second"}) {
        scratch_file *file = open_scratch_file(target.c_str());
        ASSERT_NE(file, nullptr);
        std::string temp = file->temp_name;
        write_text(file, content);
        EXPECT_EQ(close_scratch_file(file), 0);
        EXPECT_EQ(file->stream, nullptr);
        EXPECT_EQ(file->target_name, nullptr);
        EXPECT_FALSE(std::filesystem::exists(temp));
        EXPECT_EQ(text_of(target), content);
        EXPECT_EQ(close_scratch_file(file), 2);
        EXPECT_EQ(text_of(target), content);
        cleanup_scratch_file(file);
    }
    EXPECT_EQ(close_scratch_file(nullptr), 1);
}

// What a process killed while its scratch file stood named leaves: the next save of that target
// removes it once no process runs under its id, and touches nothing else.
TEST(scratch, a_save_removes_what_ended_processes_left_of_its_target_and_nothing_else) {
    temp_dir dir;
    // No system hands out a process id this large (Linux stops at 2^22, Windows' are far below).
    const std::string ended = "99999996", running = std::to_string(getpid());
    const names left_over = {"5." + ended + ".model.tkm", "-17." + ended + ".model.tkm"};
    const names kept = {
        "5." + running + ".model.tkm",   // a process that still runs (this one)
        "5." + ended + ".other.tkm",     // another target's, left for that target's next save
        "5." + ended + ".model.tkm.bak", // not the target's own name
        "x." + ended + ".model.tkm",     // not ticks
        "5.x" + ended + ".model.tkm",    // not a process id
        "5." + ended + "model.tkm",      // no dot before the name
        "model.tkm",                     // the target itself
    };
    for (const names *set : {&left_over, &kept})
        for (const std::string &name : *set) {
            std::FILE *f = std::fopen((dir / name).c_str(), "wb");
            ASSERT_NE(f, nullptr) << name;
            std::fclose(f);
        }
    scratch_file *file = open_scratch_file((dir / "model.tkm").c_str());
    ASSERT_NE(file, nullptr);
    write_text(file, "new");
    EXPECT_EQ(close_scratch_file(file), 0);
    cleanup_scratch_file(file);
    EXPECT_EQ(names_in(dir.path), kept);
    EXPECT_EQ(text_of(dir / "model.tkm"), "new");
}

TEST(scratch, records_without_names_give_their_codes) {
    temp_dir dir;
    std::string target = dir / "t";
    scratch_file *file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    std::string temp = file->temp_name;
    cleanup_one(file->target_name);
    file->target_name = nullptr;
    EXPECT_EQ(close_scratch_file(file), 3);
    cleanup_scratch_file(file);

    file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    std::string temp2 = file->temp_name;
    cleanup_one(file->temp_name);
    file->temp_name = nullptr;
    EXPECT_EQ(close_scratch_file(file), 4);
    cleanup_scratch_file(file);
    EXPECT_FALSE(std::filesystem::exists(target));
    std::filesystem::remove(temp);
    std::filesystem::remove(temp2);
}

TEST(scratch, abandoning_keeps_the_target_and_leaves_nothing_else) {
    temp_dir dir;
    std::string target = dir / "keep.tkm";
    write_all(target, {'o', 'l', 'd'});
    scratch_file *file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    write_text(file, "partial data");
    cleanup_scratch_file(file);
    cleanup_scratch_file(nullptr);
    EXPECT_EQ(text_of(target), "old");
    EXPECT_EQ(names_in(dir.path), names{"keep.tkm"});
}

TEST(scratch, failed_rename_keeps_the_target_says_why_and_leaves_nothing_else) {
    temp_dir dir;
    std::string target = dir / "busy";
    scratch_file *file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    write_text(file, "precious");
    // A non-empty directory that appears meanwhile cannot be replaced by a file.
    std::filesystem::create_directory(target);
    write_all(target + "/inside", {1});
    testing::internal::CaptureStderr();
    EXPECT_EQ(close_scratch_file(file), 1);
    std::string err = testing::internal::GetCapturedStderr();
    cleanup_scratch_file(file);
    EXPECT_REPORT(err,
                  report_pattern("close_scratch_file", "scratch\\.c",
                                 "Can't rename scratch file over " + target + ": Is a directory"));
    EXPECT_TRUE(std::filesystem::exists(target + "/inside"));
    EXPECT_EQ(names_in(dir.path), names{"busy"});
}

TEST(scratch, a_directory_is_no_target) {
    temp_dir dir;
    std::string target = dir / "folder";
    std::filesystem::create_directory(target);
    testing::internal::CaptureStderr();
    errno = 0;
    EXPECT_EQ(open_scratch_file(target.c_str()), nullptr);
    EXPECT_EQ(errno, EISDIR);
    std::string err = testing::internal::GetCapturedStderr();
    if (shared_build)
        EXPECT_NE(err.find("for writing: Is a directory"), std::string::npos) << err;
    else
        EXPECT_EQ(err, "");
    EXPECT_EQ(names_in(dir.path), names{"folder"});
}

TEST(scratch, the_new_file_keeps_the_old_ones_permissions) {
    SKIP_ON_WINDOWS("Windows files have no POSIX permission bits");
    temp_dir dir;
    std::string target = dir / "private.tkm";
    write_all(target, {'o'});
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    scratch_file *file = open_scratch_file(target.c_str());
    ASSERT_NE(file, nullptr);
    write_text(file, "new");
    EXPECT_EQ(close_scratch_file(file), 0);
    cleanup_scratch_file(file);
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(text_of(target), "new");
}

// A read-only target is refused on every system, root or not, before anything is made, and stays
// as it was; names Windows forbids are refused there alone (Linux saves them like any other).
TEST(scratch, a_read_only_target_everywhere_or_a_name_windows_forbids_there_is_refused) {
    struct target_case {
        const char *name;
        bool read_only;
        bool refused_here;
        int error;
    };
#ifdef _WIN32
    constexpr bool windows = true;
#else
    constexpr bool windows = false;
#endif
    const target_case cases[] = {
        {"locked.tkm", true, true, EACCES},       {"a<b.tkm", false, windows, EINVAL},
        {"a>b.tkm", false, windows, EINVAL},      {"a\"b.tkm", false, windows, EINVAL},
        {"out:name.tkm", false, windows, EINVAL}, {"a|b.tkm", false, windows, EINVAL},
        {"a?b.tkm", false, windows, EINVAL},      {"a*b.tkm", false, windows, EINVAL},
    };
    for (const target_case &c : cases) {
        SCOPED_TRACE(c.name);
        temp_dir dir;
        const std::string target = dir / c.name;
        if (c.read_only) {
            write_all(target, {'o', 'l', 'd'});
            // No write bit for anyone; Windows' C library makes such a file read-only.
            ASSERT_EQ(chmod(target.c_str(), 0444), 0);
        }
        const names before = names_in(dir.path);
        testing::internal::CaptureStderr();
        errno = 0;
        scratch_file *file = open_scratch_file(target.c_str());
        const int error = errno;
        testing::internal::GetCapturedStderr();
        if (c.refused_here) {
            EXPECT_EQ(file, nullptr);
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(names_in(dir.path), before);
            if (c.read_only) {
                EXPECT_EQ(text_of(target), "old");
            }
            if (file) cleanup_scratch_file(file);
        } else {
            ASSERT_NE(file, nullptr);
            write_text(file, "new");
            EXPECT_EQ(close_scratch_file(file), 0);
            cleanup_scratch_file(file);
            EXPECT_EQ(names_in(dir.path), names{c.name});
            EXPECT_EQ(text_of(target), "new");
        }
        if (c.read_only) chmod(target.c_str(), 0644);
    }
}

TEST(scratch, unopenable_temporary_file_gives_null) {
    temp_dir dir;
    std::string target = dir / "missing/dir/model.tkm";
    testing::internal::CaptureStderr();
    EXPECT_EQ(open_scratch_file(target.c_str()), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    if (shared_build)
        EXPECT_NE(err.find("for writing: No such file or directory"), std::string::npos) << err;
    else
        EXPECT_EQ(err, "");
}
