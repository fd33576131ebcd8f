// SPDX-License-Identifier: MIT
/* larkspur internal: the two-call error report (location prefix, then message) of both builds. */
#ifndef LARKSPUR_REPORT_H
#define LARKSPUR_REPORT_H

#include "messages.h"

/* The shared library names the file and line; the viewer's copy also names the operation. */
#ifdef LARKSPUR_SHARED_BUILD
#define LK_PREFIX() real_meow("%s:%d: ", __FILE__, __LINE__)
#else
#define LK_PREFIX() real_meow("%s(): %s:%d: ", __func__, __FILE__, __LINE__)
#endif

/* Reported by both builds. */
#define LK_REPORT(...) ((void)LK_PREFIX(), (void)real_meow(__VA_ARGS__))

/* Reported by the shared library only; the viewer stays silent on these. */
#ifdef LARKSPUR_SHARED_BUILD
#define LK_REPORT_SHARED(...) LK_REPORT(__VA_ARGS__)
#else
#define LK_REPORT_SHARED(...) ((void)0)
#endif

#endif
