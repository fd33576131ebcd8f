// SPDX-License-Identifier: MIT
// Every tkmtool output meeting the faults of a real machine while it is written: writes refused
// after N octets (through the scratch files' seam), a kill, a file-size limit, a read-only
// directory, a write-protected target, a directory as the target and a full filesystem. Each must
// end in exit status 1 with the system's reason in words, the targets as they were and no other
// file in their directory.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include "commands.h"
#include "parts.h"
#include "tests/common/dir_names.h"
#include "support/scratch_write.h"
#include "tests/tools/tkmtool/tkmtool_run.h"

namespace {

using names = std::set<std::string>;

// One output of the tool: the command that writes it, its targets and the words its failure
// message starts with (the reason follows them on the same line).
struct output_case {
    const char *label;
    int (*command)(const std::vector<std::string> &); // in-process; null for the picture commands
    std::vector<std::string> words;                   // the command and its options before MESH
    std::string target;                               // in the work directory
    std::vector<std::string> also;                    // further files the command replaces
    std::string message;                              // what a failure's line starts with
};

const std::vector<output_case> outputs = {
    {"convert", command_convert, {"convert"}, "out.tkm", {}, "Error writing TarvikMesh: "},
    {"export-obj",
     command_export_obj,
     {"export-obj"},
     "out.obj",
     {"out.mtl"},
     "tkmtool: cannot write "},
    {"export-gltf .glb",
     command_export_gltf,
     {"export-gltf"},
     "out.glb",
     {},
     "tkmtool: cannot export "},
    {"export-gltf .gltf",
     command_export_gltf,
     {"export-gltf"},
     "out.gltf",
     {"out.bin"},
     "tkmtool: cannot export "},
    {"render", nullptr, {"render", "--size", "64x48"}, "out.png", {}, "Error writing PNG "},
    {"thumbnail", nullptr, {"thumbnail", "-s", "32"}, "out.png", {}, "Error writing PNG "},
};

// True when some line of err starts with message and names reason after it.
bool says_why(const std::string &err, const std::string &message, int reason) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(message, 0) != 0) continue;
        const std::string words = std::strerror(reason);
        if (line.size() >= words.size() &&
            (line.compare(line.size() - words.size(), words.size(), words) == 0 ||
             line.find("(" + words + ")") != std::string::npos))
            return true;
    }
    return false;
}

struct WriteFaults : Tkmtool {
    std::string work = dir / "work";
    void SetUp() override {
        Tkmtool::SetUp();
        // Run here in-process, export-gltf reads textures through the image part linked in.
        ASSERT_NE(image_reader(), nullptr);
        std::filesystem::create_directory(work);
    }
    void TearDown() override {
        chmod(work.c_str(), 0755);
        umount2(work.c_str(), MNT_DETACH);
    }
    std::string in_work(const std::string &name) const { return work + "/" + name; }
    // The command line after the tool's name.
    std::vector<std::string> arguments(const output_case &output) const {
        std::vector<std::string> args(output.words.begin() + 1, output.words.end());
        args.push_back(gun);
        args.push_back(in_work(output.target));
        return args;
    }
    // Puts "old" into each target of output; the names the work directory then holds.
    names old_targets(const output_case &output) const {
        write_all(in_work(output.target), {'o', 'l', 'd'});
        for (const std::string &name : output.also)
            write_all(in_work(name), {'o', 'l', 'd'});
        return names_in(work);
    }
    // Each target of output still holds "old", and the directory holds what it held before.
    void expect_untouched(const output_case &output, const names &before) const {
        EXPECT_EQ(text_of_file(in_work(output.target)), "old");
        for (const std::string &name : output.also)
            EXPECT_EQ(text_of_file(in_work(name)), "old") << name;
        EXPECT_EQ(names_in(work), before);
    }
    void clear_work() const {
        for (const auto &entry : std::filesystem::directory_iterator(work))
            std::filesystem::remove_all(entry.path());
    }
    // Runs tkmtool as a program after the shell words setup, its output caught in a pipe (which no
    // file-size limit or full filesystem touches).
    run_result run_after(const std::string &setup, const std::vector<std::string> &args) const {
        std::string command =
            setup + " exec env -u DISPLAY -u WAYLAND_DISPLAY " + shell_quoted(TKMTOOL_PATH);
        for (const std::string &arg : args)
            command += ' ' + shell_quoted(arg);
        command += " 2>&1";
        run_result result;
        FILE *pipe = popen(command.c_str(), "r");
        if (!pipe) return result;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            result.err.append(buffer, n);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }
    // Runs output as a program after setup: exit 1 with reason, the targets and the directory
    // as before.
    void expect_refused(const output_case &output, const std::string &setup, int reason,
                        const names &before) const {
        std::vector<std::string> args = arguments(output);
        args.insert(args.begin(), output.words[0]);
        run_result r = run_after(setup, args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(says_why(r.err, output.message, reason)) << r.err;
        expect_untouched(output, before);
    }
    // Every output refused, with all their targets in place from the start.
    void expect_each_refused(const std::string &setup, int reason) const {
        for (const output_case &output : outputs) {
            SCOPED_TRACE(output.label);
            expect_refused(output, setup, reason, names_in(work));
        }
    }
    void put_every_old_target() const {
        for (const output_case &output : outputs)
            old_targets(output);
    }
};

TEST_F(WriteFaults, RefusedWritesSayWhyAndChangeNothing) {
    for (const output_case &output : outputs) {
        if (!output.command) continue;
        // The smallest file the command writes, so that every limit below falls inside each.
        clear_work();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int written = output.command(arguments(output));
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(written, 0) << output.label;
        uintmax_t smallest = UINTMAX_MAX;
        for (const auto &entry : std::filesystem::directory_iterator(work))
            smallest = std::min(smallest, std::filesystem::file_size(entry.path()));
        ASSERT_GT(smallest, 1u) << output.label;
        for (int reason : {ENOSPC, EFBIG, EIO})
            // Before the first octet, inside the file, and at its last octet, which reaches the
            // file only as it is closed.
            for (uint64_t limit : {uint64_t(0), uint64_t(smallest / 2), uint64_t(smallest - 1)}) {
                SCOPED_TRACE(std::string(output.label) + ": " + std::strerror(reason) + " after " +
                             std::to_string(limit) + " octets");
                clear_work();
                names before = old_targets(output);
                scratch_faults faults{limit, reason, 0, nullptr, nullptr};
                set_scratch_faults(&faults);
                testing::internal::CaptureStdout();
                testing::internal::CaptureStderr();
                int status = output.command(arguments(output));
                std::string out = testing::internal::GetCapturedStdout();
                std::string err = testing::internal::GetCapturedStderr();
                set_scratch_faults(nullptr);
                EXPECT_EQ(status, 1) << out;
                EXPECT_TRUE(says_why(err, output.message, reason)) << err;
                expect_untouched(output, before);
            }
    }
}

namespace {
int ready_pipe = -1;
// Tells the test that the scratch file has data, then waits to be killed.
void wait_to_be_killed(uint64_t, void *) {
    char byte = 1;
    if (write(ready_pipe, &byte, 1) != 1) _exit(4);
    for (;;)
        pause();
}
} // namespace

TEST_F(WriteFaults, KilledWhileWritingLeavesTheTargetsAndNothingElse) {
    if (!unnamed_files_work(work)) GTEST_SKIP() << "the filesystem keeps no unnamed files";
    for (const output_case &output : outputs) {
        if (!output.command) continue;
        SCOPED_TRACE(output.label);
        clear_work();
        names before = old_targets(output);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        if (child == 0) {
            close(ready[0]);
            ready_pipe = ready[1];
            scratch_faults faults{0, 0, 0, wait_to_be_killed, nullptr};
            set_scratch_faults(&faults);
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            output.command(arguments(output));
            _exit(3);
        }
        close(ready[1]);
        char byte = 0;
        bool has_data = read(ready[0], &byte, 1) == 1;
        close(ready[0]);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(has_data) << "the child ended before it wrote";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        expect_untouched(output, before);
    }
}

TEST_F(WriteFaults, AFileSizeLimitIsAnOrdinaryFailure) {
    // No file may grow at all: every output meets EFBIG (SIGXFSZ is ignored, not fatal).
    put_every_old_target();
    expect_each_refused("ulimit -f 0;", EFBIG);
}

TEST_F(WriteFaults, ADirectoryAsTheTargetIsRefused) {
    for (const output_case &output : outputs) {
        SCOPED_TRACE(output.label);
        clear_work();
        std::filesystem::create_directory(in_work(output.target));
        names before = names_in(work);
        std::vector<std::string> args = arguments(output);
        args.insert(args.begin(), output.words[0]);
        run_result r = run_after("", args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(says_why(r.err, output.message, EISDIR)) << r.err;
        EXPECT_TRUE(std::filesystem::is_directory(in_work(output.target)));
        EXPECT_EQ(names_in(work), before);
    }
}

TEST_F(WriteFaults, AReadOnlyDirectoryIsRefused) {
    if (geteuid() != 0) {
        // Permission bits bind everyone but root.
        put_every_old_target();
        ASSERT_EQ(chmod(work.c_str(), 0555), 0);
        expect_each_refused("", EACCES);
        return;
    }
    // Root passes permission bits: a filesystem mounted read-only refuses it too.
    if (mount("tmpfs", work.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    put_every_old_target();
    ASSERT_EQ(mount(nullptr, work.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
    expect_each_refused("", EROFS);
}

// A file with no write bit for anyone is refused as Windows refuses a read-only one, root
// included (permission bits do not bind root, so the tool must look at them itself); one
// protected file of several keeps the others from being replaced too.
TEST_F(WriteFaults, AWriteProtectedTargetIsRefused) {
    for (const output_case &output : outputs) {
        std::vector<std::string> protected_sets = {output.target};
        for (const std::string &name : output.also)
            protected_sets.push_back(name);
        for (const std::string &locked : protected_sets) {
            SCOPED_TRACE(std::string(output.label) + ", " + locked + " write-protected");
            clear_work();
            const names before = old_targets(output);
            ASSERT_EQ(chmod(in_work(locked).c_str(), 0444), 0);
            expect_refused(output, "", EACCES, before);
            struct stat info {};
            ASSERT_EQ(stat(in_work(locked).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0444u);
            chmod(in_work(locked).c_str(), 0644);
        }
    }
}

TEST_F(WriteFaults, AFullFilesystemIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    if (mount("tmpfs", work.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    put_every_old_target();
    // Fill what is left, so that not one more page fits.
    int fd = open(in_work("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    std::vector<char> page(4096, 'f');
    while (write(fd, page.data(), page.size()) > 0) {
    }
    close(fd);
    expect_each_refused("", ENOSPC);
}

} // namespace
