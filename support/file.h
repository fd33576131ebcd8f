// SPDX-License-Identifier: MIT
/* larkspur: checked file access with typed little-endian transfers; the library's chief header.
 *
 * Every operation returns a small code instead of failing loudly:
 *   try_read / try_write: 0 done (also a short transfer at end of file: see count), -1 null stream,
 *   -2 null count, -3 / -4 zero size, -3 / 1 stream error.
 *   seeks: 0, the standard seek's non-zero result, or -2 for a null stream.
 *   vec3 / vec4: 0, or the 1-based component whose transfer failed. */
#ifndef LARKSPUR_FILE_H
#define LARKSPUR_FILE_H

#include <stdint.h>
#include <stdio.h>
#include "api.h"
#include "messages.h"
#include "memory.h"
#include "scratch.h"

LARKSPUR_BEGIN_C

/* Opens path in binary mode ("rb", "wb", "ab"); null on failure, with errno the system's reason
   (EISDIR for a directory, which open_read refuses). The caller closes the stream. */
LARKSPUR_API FILE *open_read(const char *path);
LARKSPUR_API FILE *open_write(const char *path);
LARKSPUR_API FILE *open_append(const char *path);
/* 0 for null; otherwise fclose's result. */
LARKSPUR_API int close_file(FILE *stream);

/* Seek from the start, the end, or origin (0 start, 1 current, 2 end); offsets in octets. */
LARKSPUR_API int seek_set(FILE *stream, int32_t offset);
LARKSPUR_API int seek_end(FILE *stream, int32_t offset);
/* Seeks from the given origin, not only from the current place as its name suggests. */
LARKSPUR_API int seek_cur(FILE *stream, int32_t offset, int origin);
/* Current offset, -1 if the stream cannot tell, -2 for null. */
LARKSPUR_API int32_t get_file_position(FILE *stream);

/* Moves size octets; *count receives the octets actually moved. */
LARKSPUR_API int try_read(FILE *stream, void *buffer, uint32_t size, uint32_t *count);
LARKSPUR_API int try_write(FILE *stream, const void *buffer, uint32_t size, uint32_t *count);
/* try_read / try_write with the count thrown away: size octets of any kind, as they are. */
LARKSPUR_API int read_arbitrary(FILE *stream, void *buffer, uint32_t size);
LARKSPUR_API int write_arbitrary(FILE *stream, const void *buffer, uint32_t size);

/* Typed transfers of the value's in-memory octets (little-endian IEEE on every supported host). */
LARKSPUR_API int read_int8(FILE *stream, int8_t *value);
LARKSPUR_API int read_uint8(FILE *stream, uint8_t *value);
LARKSPUR_API int read_int16(FILE *stream, int16_t *value);
LARKSPUR_API int read_uint16(FILE *stream, uint16_t *value);
LARKSPUR_API int read_int32(FILE *stream, int32_t *value);
LARKSPUR_API int read_uint32(FILE *stream, uint32_t *value);
LARKSPUR_API int read_float(FILE *stream, float *value);
LARKSPUR_API int read_double(FILE *stream, double *value);
LARKSPUR_API int read_vec3(FILE *stream, float *value);
LARKSPUR_API int read_vec4(FILE *stream, float *value);
LARKSPUR_API int write_int8(FILE *stream, const int8_t *value);
LARKSPUR_API int write_uint8(FILE *stream, const uint8_t *value);
LARKSPUR_API int write_int16(FILE *stream, const int16_t *value);
LARKSPUR_API int write_uint16(FILE *stream, const uint16_t *value);
LARKSPUR_API int write_int32(FILE *stream, const int32_t *value);
LARKSPUR_API int write_uint32(FILE *stream, const uint32_t *value);
LARKSPUR_API int write_float(FILE *stream, const float *value);
LARKSPUR_API int write_double(FILE *stream, const double *value);
LARKSPUR_API int write_vec3(FILE *stream, const float *value);
LARKSPUR_API int write_vec4(FILE *stream, const float *value);

LARKSPUR_END_C

#endif
