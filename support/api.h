// SPDX-License-Identifier: MIT
/* larkspur: export marker and C linkage shared by every public header of the support library. */
#ifndef LARKSPUR_API_H
#define LARKSPUR_API_H

#if defined(_WIN32) && defined(LARKSPUR_SHARED_BUILD)
#define LARKSPUR_API __declspec(dllexport)
#elif defined(_WIN32)
#define LARKSPUR_API
#elif defined(__GNUC__)
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

#if defined(_WIN32) && defined(__GNUC__)
/* MinGW's ANSI stdio (__USE_MINGW_ANSI_STDIO) takes the C99 formats, %zu among them. */
#define LARKSPUR_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define LARKSPUR_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define LARKSPUR_PRINTF(f, a)
#endif

#endif
