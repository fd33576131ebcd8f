// SPDX-License-Identifier: MIT
// Entry point of the tarvik viewer on Windows: the command line in UTF-8 from the wide one, and
// the console spoken to in UTF-8, as tkmtool does.
#include <string>
#include <vector>

#include "console.h"
#include "viewer/app/startup.h"

int main(int argc, char **argv) {
    std::vector<std::string> args = prepare_console(argc, argv);
    std::vector<char *> pointers;
    pointers.push_back(argc > 0 ? argv[0] : nullptr);
    for (std::string &arg : args)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    return tarvik_main(static_cast<int>(pointers.size()) - 1, pointers.data());
}
