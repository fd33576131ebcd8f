// SPDX-License-Identifier: MIT
/* larkspur internal: UTF-8 text as the UTF-16 the Windows calls take, and back. */
#ifndef LARKSPUR_UTF16_WIN32_H
#define LARKSPUR_UTF16_WIN32_H

#include <wchar.h>
#include "api.h"

LARKSPUR_BEGIN_C

/* text (UTF-8) as a terminated UTF-16 block from alloc_one; null for invalid UTF-8 or no memory. */
wchar_t *wide_from_utf8(const char *text);
/* text (UTF-16) as a terminated UTF-8 block from alloc_one; null on failure. */
char *utf8_from_wide(const wchar_t *text);

LARKSPUR_END_C

#endif
