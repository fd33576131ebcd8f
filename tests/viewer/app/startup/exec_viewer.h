// SPDX-License-Identifier: MIT
// The child side of running the real viewer: its environment settings, then the program.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

// Adds each NAME=VALUE of env to the environment and executes the viewer with args; never
// returns (exit code 127 when the program cannot be started).
[[noreturn]] inline void exec_viewer(const std::vector<std::string> &args,
                                     const std::vector<std::string> &env) {
    for (const auto &setting : env)
        putenv(const_cast<char *>(setting.c_str()));
    std::vector<char *> argv{const_cast<char *>(TARVIK_BINARY)};
    for (const auto &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execv(TARVIK_BINARY, argv.data());
    _exit(127);
}
