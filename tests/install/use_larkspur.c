// SPDX-License-Identifier: MIT
/* A C user of the installed library: writes its argument file through a scratch file. */
#include <file.h>
#include <library.h>

int main(int argc, char **argv)
{
    if (argc < 2) return 2;
    scratch_file *file = open_scratch_file(argv[1]);
    if (!file) return 1;
    if (write_arbitrary(file->stream, "larkspur", 8) != 0) return 1;
    int result = close_scratch_file(file);
    cleanup_scratch_file(file);
    library_list list;
    initialise_library_list(&list);
    if (find_function("anything", &list) != NULL) return 1;
    real_purr("%s\n", result == 0 ? "ok" : "failed");
    return result;
}
