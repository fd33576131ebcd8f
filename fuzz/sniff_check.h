// SPDX-License-Identifier: MIT
// What a reader accepted its first bytes must show: a file the TKM, Milkshape or glTF reader
// reads is never one the format sniffing would send to another reader or refuse.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "viewer/formats/model_sniff.h"

// Aborts (a finding) when the size octets at data, accepted by the reader of the format named
// format, are not recognised as that format.
inline void check_sniffed_as(const uint8_t *data, size_t size, const char *format) {
    const model_format *seen = recognise_model_format(data, size);
    if (seen && std::strcmp(seen->name, format) == 0) return;
    std::fprintf(stderr, "a %s file the reader accepts is sniffed as %s\n", format,
                 seen ? seen->name : "nothing");
    std::abort();
}
