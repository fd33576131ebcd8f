// SPDX-License-Identifier: MIT
/* A C user of the installed library: writes its argument file through a scratch file. It also
   includes the C library's <memory.h>, which larkspur's own memory.h must not shadow, and takes
   the path helpers from <larkspur/memory.h>, where programs older than paths.h find them. */
#include <memory.h>
#include <larkspur/file.h>
#include <larkspur/library.h>
#include <larkspur/memory.h>

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    scratch_file *file = open_scratch_file(argv[1]);
    if (!file) return 1;
    char word[9] = {0};
    memcpy(word, "larkspur", 8); /* declared by the C library's <memory.h> */
    if (write_arbitrary(file->stream, word, 8) != 0) return 1;
    int result = close_scratch_file(file);
    cleanup_scratch_file(file);
    library_list list;
    initialise_library_list(&list);
    if (find_function("anything", &list) != NULL) return 1;
    if (str_equiv(file_extension("model.TKM"), "tkm") != 1) return 1;
    real_purr("%s\n", result == 0 ? "ok" : "failed");
    return result;
}
