// SPDX-License-Identifier: MIT
/* larkspur: export marker and C linkage shared by every public header of the support library. */
#ifndef LARKSPUR_API_H
#define LARKSPUR_API_H

#if defined(__GNUC__)
#define LARKSPUR_API __attribute__((visibility("default")))
#else
#define LARKSPUR_API
#endif

#ifdef __cplusplus
#define LARKSPUR_BEGIN_C extern "C" {
#define LARKSPUR_END_C }
#else
#define LARKSPUR_BEGIN_C
#define LARKSPUR_END_C
#endif

#if defined(__GNUC__)
#define LARKSPUR_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define LARKSPUR_PRINTF(f, a)
#endif

#endif
