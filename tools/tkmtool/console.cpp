// SPDX-License-Identifier: MIT
// The system's side of tkmtool's console: Windows hands the command line over in UTF-16 and adds
// a CR before every LF of a text stream; POSIX kills a process that passes ulimit -f.
#include "console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "support/memory.h"
#include "support/utf16_win32.h"

namespace {

UINT console_code_page = 0; // the console's own output code page, given back at exit

void restore_console_code_page() {
    if (console_code_page) SetConsoleOutputCP(console_code_page);
}

// Our messages are UTF-8: a console showing them in its OEM code page (437, 866, ...) would turn
// "Jürgen" into "J├╝rgen". The console is shared with the shell that started us, so its own code
// page comes back when we end.
void speak_utf8_to_the_console() {
    DWORD mode = 0;
    const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
                         GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
    if (!console) return;
    const UINT own = GetConsoleOutputCP();
    if (own == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    console_code_page = own;
    std::atexit(restore_console_code_page);
}

} // namespace

std::vector<std::string> prepare_console(int argc, char **argv) {
    speak_utf8_to_the_console();
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
    for (int i = 1; i < count; i++) {
        char *utf8 = utf8_from_wide(wide[i]);
        args.emplace_back(utf8 ? utf8 : "");
        cleanup_one(utf8);
    }
    LocalFree(wide);
    return args;
}
#else
#include <csignal>

std::vector<std::string> prepare_console(int argc, char **argv) {
    // A file-size limit (ulimit -f) then fails the write, which says so, instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
    return std::vector<std::string>(argv + 1, argv + argc);
}
#endif
