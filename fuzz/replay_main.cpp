// SPDX-License-Identifier: MIT
// Replays a fuzz target without libFuzzer: every seed, then bounded deterministic mutations of
// each (every truncation point of the first 4 KiB, single-byte flips and 16-bit extremes at a
// stride), so that the sanitizer build of the test suite exercises the reader's error paths; then
// every file of the corpus that fuzzing left (fuzz/corpus/NAME), as it is.
// Arguments: "--corpus DIR" to add that corpus (a missing folder holds nothing), after
// "--no-mutations" to replay the seeds and the corpus alone; files to replay instead (with the
// readers' messages shown), or "--write-seeds DIR" to export the seed corpus.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "fuzz_target.h"
#include "tests/fixtures/quiet_output.h"

#ifdef _WIN32
// No sanitizer runtime is built for Windows, and PE has no weak undefined symbols to ask with.
constexpr void (*__sanitizer_set_report_fd)(void *) = nullptr;
#else
// Present when a sanitizer runtime is linked in: where its reports go.
extern "C" __attribute__((weak)) void __sanitizer_set_report_fd(void *fd);
#endif

namespace {

// What is being replayed, for the line a failed check prints before the process dies.
char current_input[512] = "no input yet";
int report_fd = 2;

void report_abort(int) {
    static const char text[] = "fuzz replay: aborted on ";
    (void)!write(report_fd, text, sizeof text - 1);
    (void)!write(report_fd, current_input, std::strlen(current_input));
    (void)!write(report_fd, "\n", 1);
    std::signal(SIGABRT, SIG_DFL);
    std::raise(SIGABRT);
}

void run(const std::vector<uint8_t> &input) {
    // A copy of exactly the input's size, so that ASan sees any read past its end.
    std::vector<uint8_t> copy(input);
    LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
}

size_t mutate_all(const std::vector<uint8_t> &seed, size_t index) {
    size_t runs = 0;
    const size_t limit = seed.size() < 4096 ? seed.size() : 4096;
    for (size_t cut = 0; cut < limit; cut++, runs++) {
        std::snprintf(current_input, sizeof current_input, "seed %zu cut to %zu octets", index,
                      cut);
        run(std::vector<uint8_t>(seed.begin(), seed.begin() + static_cast<long>(cut)));
    }
    const size_t stride = seed.size() / 1500 + 1;
    static const uint8_t patterns[] = {0x00, 0xFF, 0x7F, 0x80, 0x01};
    for (size_t at = 0; at < seed.size(); at += stride)
        for (uint8_t pattern : patterns) {
            std::vector<uint8_t> changed(seed);
            changed[at] = pattern;
            if (at + 1 < changed.size()) changed[at + 1] = pattern;
            std::snprintf(current_input, sizeof current_input,
                          "seed %zu with octets %zu and %zu set to %u", index, at, at + 1,
                          unsigned{pattern});
            run(changed);
            runs++;
        }
    return runs;
}

std::vector<uint8_t> file_bytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Every regular file of dir in name order (so a failure reproduces); 0 when there is no dir.
size_t replay_corpus(const char *dir) {
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(dir, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto &file : files) {
        std::snprintf(current_input, sizeof current_input, "%s", file.string().c_str());
        run(file_bytes(file));
    }
    return files.size();
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-seeds") == 0) {
        int index = 0;
        for (const auto &seed : fuzz_seeds()) {
            std::string path = std::string(argv[2]) + "/seed" + std::to_string(index++);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char *>(seed.data()), static_cast<long>(seed.size()));
        }
        std::printf("%d seeds written\n", index);
        return 0;
    }
    const bool mutations = !(argc > 1 && std::strcmp(argv[1], "--no-mutations") == 0);
    if (!mutations) {
        argc--;
        argv++;
    }
    const bool with_corpus = argc == 3 && std::strcmp(argv[1], "--corpus") == 0;
    if (argc > 1 && !with_corpus) {
        for (int i = 1; i < argc; i++)
            run(file_bytes(argv[i]));
        return 0;
    }
    size_t runs = 0, kept = 0;
    auto seeds = fuzz_seeds();
    {
        // Tens of thousands of refusals, each explained by its reader: only a failure is shown.
        quiet_output quiet;
        report_fd = quiet.original_stderr();
        if (__sanitizer_set_report_fd)
            __sanitizer_set_report_fd(reinterpret_cast<void *>(intptr_t{report_fd}));
        std::signal(SIGABRT, report_abort);
        for (size_t i = 0; i < seeds.size(); i++) {
            std::snprintf(current_input, sizeof current_input, "seed %zu", i);
            run(seeds[i]);
            runs += 1 + (mutations ? mutate_all(seeds[i], i) : 0);
        }
        kept = with_corpus ? replay_corpus(argv[2]) : 0;
        std::signal(SIGABRT, SIG_DFL);
        if (__sanitizer_set_report_fd) __sanitizer_set_report_fd(reinterpret_cast<void *>(2));
    }
    std::printf("%zu seeds, %zu inputs replayed; %zu corpus files\n", seeds.size(), runs, kept);
    return 0;
}
