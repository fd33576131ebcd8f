// Scratch files for fuzz targets whose readers take a path: one per process, rewritten per input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// A path in the temporary directory, unique to this process and name; the file is removed at exit.
inline std::string fuzz_scratch_path(const char *name) {
    const char *tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvik-fuzz-" +
                       std::to_string(getpid()) + "-" + name;
    return path;
}

// Replaces the file at path with size octets of data; false when that failed.
inline bool fuzz_write_file(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}
