// SPDX-License-Identifier: MIT
// tkmtool check: every model and animation in the files and folders given, checked in one run
// without writing anything, reported as compiler-style lines or one JSON document.
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "check_findings.h"
#include "check_models.h"
#include "check_pairing.h"
#include "check_walk.h"
#include "commands.h"
#include "tool_common.h"

namespace {

// The exit statuses of check.
constexpr int check_clean = 0;
constexpr int check_faulty = 1;
constexpr int check_usage = 2;

#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS)
constexpr bool real_threads = false;
// One thread: nothing to exclude.
struct check_mutex {
    void lock() {}
    void unlock() {}
};
#else
constexpr bool real_threads = true;
using check_mutex = std::mutex;
#endif

// How many threads check files: both cores where there are two, one where the C++ library's
// threads are not real (MinGW's win32 thread model has no std::thread).
unsigned num_check_threads() {
    if (!real_threads) return 1;
    unsigned cores = std::thread::hardware_concurrency();
    return cores >= 2 ? 2 : 1;
}

// "checked N of M files", kept on one line of standard error while it is a terminal.
struct progress_line {
    bool shown = isatty(STDERR_FILENO) != 0;
    check_mutex lock;
    void update(size_t done, size_t total) {
        if (!shown) return;
        std::lock_guard<check_mutex> hold(lock);
        std::fprintf(stderr, "\rchecked %zu of %zu files", done, total);
        std::fflush(stderr);
    }
    void erase() {
        if (!shown) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
};

std::vector<checked_file> check_all(const std::vector<check_item> &items) {
    std::vector<checked_file> results(items.size());
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    progress_line progress;
    auto work = [&] {
        for (size_t i = next++; i < items.size(); i = next++) {
            results[i] = check_item_file(items[i]);
            progress.update(++done, items.size());
        }
    };
#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS)
    work();
#else
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < num_check_threads(); ++t)
        threads.emplace_back(work);
    work();
    for (std::thread &thread : threads)
        thread.join();
#endif
    progress.erase();
    return results;
}

int check_usage_error(const std::string &message) {
    usage_error(message);
    return check_usage;
}

} // namespace

int command_check(const std::vector<std::string> &args) {
    parsed_args parsed;
    if (parse_args(args, {"--json", "--werror"}, {}, &parsed) != 0) return check_usage;
    if (parsed.files.empty()) return check_usage_error("check needs a PATH");
    std::vector<checked_file> checked = check_all(walk_check_paths(parsed.files));
    pair_animations(checked);
    std::vector<file_report> reports;
    reports.reserve(checked.size());
    for (checked_file &file : checked)
        reports.push_back(std::move(file.report));
    const check_totals totals = count_findings(reports);
    if (parsed.has("--json"))
        std::fputs(json_report(reports, totals).c_str(), stdout);
    else
        print_compiler_report(reports, totals, stdout);
    std::fflush(stdout);
    const bool faulty =
        totals.num_errors != 0 || (parsed.has("--werror") && totals.num_warnings != 0);
    return faulty ? check_faulty : check_clean;
}
