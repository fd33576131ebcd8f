// SPDX-License-Identifier: MIT
// Runs tkmtool as a program with its output caught in files of a temporary directory.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

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

#ifdef _WIN32
inline std::wstring wide_text(const std::string &text) {
    std::wstring wide(text.size() + 1, L'\0');
    int count = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(),
                                    static_cast<int>(wide.size()));
    wide.resize(count > 0 ? static_cast<size_t>(count) - 1 : 0);
    return wide;
}

// One argument as the C runtime's command-line parser reads it back: quoted, with the
// backslashes before a quote (or the closing one) doubled.
inline std::wstring command_line_quoted(const std::wstring &arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            backslashes++;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// A file the child writes its output to, inherited by it. Shared for writing too: Wine may
// still hold the last child's copy of the handle when the next run opens the file again.
inline HANDLE inherited_output(const std::string &path) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(wide_text(path).c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs program with args, from the directory cwd when one is given; standard output and error
// go through files in dir. No shell: cmd's quoting rules are not the C runtime's.
inline tool_result run_tool(const temp_dir &dir, const std::string &program,
                            const std::vector<std::string> &args, const std::string &cwd = "") {
    std::wstring command = command_line_quoted(wide_text(program));
    for (const std::string &arg : args)
        command += L' ' + command_line_quoted(wide_text(arg));
    tool_result result;
    HANDLE out = inherited_output(dir / "stdout");
    HANDLE err = inherited_output(dir / "stderr");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    std::wstring directory = wide_text(cwd);
    // Which call failed, when the program did not run: a status of -1 alone tells nothing.
    std::string failure;
    auto failed = [&failure](const char *call) {
        failure = std::string(call) + " failed with error " + std::to_string(GetLastError()) + "\n";
    };
    if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
        failed("CreateFileW");
    } else if (!CreateProcessW(wide_text(program).c_str(), command.data(), nullptr, nullptr, TRUE,
                               0, nullptr, cwd.empty() ? nullptr : directory.c_str(), &startup,
                               &process)) {
        failed("CreateProcessW");
    } else {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            result.status = static_cast<int>(code);
        else
            failed("GetExitCodeProcess");
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    result.out = text_of_file(dir / "stdout");
    result.err = failure + text_of_file(dir / "stderr");
    return result;
}
#else
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
#endif
