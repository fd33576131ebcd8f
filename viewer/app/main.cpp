// SPDX-License-Identifier: MIT
// Entry point of the tarvik viewer.
#include <csignal>

#include "viewer/app/startup.h"

int main(int argc, char **argv) {
    // A file-size limit (ulimit -f) then fails the write, which says so, instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
    return tarvik_main(argc, argv);
}
