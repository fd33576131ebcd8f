// SPDX-License-Identifier: MIT
// Runs tkmtool as a program with its output caught in files of a temporary directory.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/common/temp_dir.h"

struct tool_result {
    int status = -1;
    std::string out, err;
};

inline std::string shell_quoted(const std::string &text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string text_of_file(const std::string &path) {
    std::vector<unsigned char> bytes = read_all(path);
    return std::string(bytes.begin(), bytes.end());
}

// Runs program with args and no display (tkmtool never needs one), from the directory cwd when
// one is given; standard output and error go through files in dir.
inline tool_result run_tool(const temp_dir &dir, const std::string &program,
                            const std::vector<std::string> &args, const std::string &cwd = "") {
    std::string command = (cwd.empty() ? "" : "cd " + shell_quoted(cwd) + " && ") +
                          "env -u DISPLAY -u WAYLAND_DISPLAY " + shell_quoted(program);
    for (const std::string &arg : args)
        command += ' ' + shell_quoted(arg);
    command += " >" + shell_quoted(dir / "stdout") + " 2>" + shell_quoted(dir / "stderr");
    tool_result result;
    int status = std::system(command.c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = text_of_file(dir / "stdout");
    result.err = text_of_file(dir / "stderr");
    return result;
}
