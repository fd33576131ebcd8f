// Replays a fuzz target without libFuzzer: every seed, then bounded deterministic mutations of
// each (every truncation point of the first 4 KiB, single-byte flips and 16-bit extremes at a
// stride), so that the sanitizer build of the test suite exercises the reader's error paths.
// Arguments: files to replay instead, or "--write-seeds DIR" to export the seed corpus.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_target.h"

namespace {

void run(const std::vector<uint8_t> &input)
{
    // A copy of exactly the input's size, so that ASan sees any read past its end.
    std::vector<uint8_t> copy(input);
    LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
}

size_t mutate_all(const std::vector<uint8_t> &seed)
{
    size_t runs = 0;
    const size_t limit = seed.size() < 4096 ? seed.size() : 4096;
    for (size_t cut = 0; cut < limit; cut++, runs++)
        run(std::vector<uint8_t>(seed.begin(), seed.begin() + static_cast<long>(cut)));
    const size_t stride = seed.size() / 1500 + 1;
    static const uint8_t patterns[] = {0x00, 0xFF, 0x7F, 0x80, 0x01};
    for (size_t at = 0; at < seed.size(); at += stride)
        for (uint8_t pattern : patterns) {
            std::vector<uint8_t> changed(seed);
            changed[at] = pattern;
            if (at + 1 < changed.size()) changed[at + 1] = pattern;
            run(changed);
            runs++;
        }
    return runs;
}

} // namespace

int main(int argc, char **argv)
{
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
    if (argc > 1) {
        for (int i = 1; i < argc; i++) {
            std::ifstream in(argv[i], std::ios::binary);
            run(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
        }
        return 0;
    }
    size_t runs = 0;
    auto seeds = fuzz_seeds();
    for (const auto &seed : seeds) {
        run(seed);
        runs += 1 + mutate_all(seed);
    }
    std::printf("%zu seeds, %zu inputs replayed\n", seeds.size(), runs);
    return 0;
}
