// SPDX-License-Identifier: MIT
/* Compiles every public header of the support library as C. */
#include "file.h"
#include "library.h"
#include "memory.h"
#include "messages.h"
#include "paths.h"
#include "scratch.h"

int headers_as_c_probe(void);
int headers_as_c_probe(void) {
    return (int)sizeof(scratch_file) + (int)sizeof(library_list);
}
