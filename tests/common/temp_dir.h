// SPDX-License-Identifier: MIT
// A fresh temporary directory for one test, removed with its contents afterwards.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct temp_dir {
    std::filesystem::path path;
    temp_dir() {
#ifdef _WIN32
        // No mkdtemp: a name made of the clock and a counter, taken when nothing has it.
        static unsigned made = 0;
        const auto base = std::filesystem::temp_directory_path();
        for (unsigned tries = 0; tries < 1000; tries++) {
            path = base /
                   ("tarvik-test-" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                    "-" + std::to_string(made++));
            if (std::filesystem::create_directory(path)) break;
        }
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarvik-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        path = mkdtemp(buffer.data());
#endif
    }
    ~temp_dir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    temp_dir(const temp_dir &) = delete;
    temp_dir &operator=(const temp_dir &) = delete;
    // Full path of name inside the directory, with '/' separators on every system (Windows takes
    // them too), so that a path can stand in a message's pattern.
    std::string operator/(const std::string &name) const {
        return (path / name).generic_string();
    }
};

// The whole content of a file as bytes (empty when it cannot be read).
inline std::vector<unsigned char> read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Writes bytes to path, replacing it.
inline void write_all(const std::string &path, const std::vector<unsigned char> &bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<long>(bytes.size()));
}
