// SPDX-License-Identifier: MIT
// tkmtool's standard streams and command line as every system is to give them: UTF-8 arguments,
// output octets as written (no CR added before LF), and a file-size limit that fails a write
// instead of killing the process.
#pragma once

#include <string>
#include <vector>

// Sets up the standard streams and signals; then the arguments after the program's name, in
// UTF-8.
std::vector<std::string> prepare_console(int argc, char **argv);
