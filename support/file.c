// SPDX-License-Identifier: MIT
/* larkspur: opening, seeking and checked raw and typed binary transfers.
 *
 * Sections: opening and closing | positioning | raw transfers | typed transfers */
#include <errno.h>
#include <string.h>
#include "file.h"
#include "platform_file.h"
#include "report.h"

/* Typed values travel as their in-memory octets; the file formats are little-endian. */
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "larkspur's typed transfers assume a little-endian host"
#endif

/* ---- opening and closing ---------------------------------------------------------------- */

FILE *open_read(const char *path) {
    FILE *stream = open_utf8_path(path, "rb");
    /* Refused here, a directory gets the system's own word for it instead of a failed read. */
    if (stream && is_directory_stream(stream)) {
        fclose(stream);
        stream = NULL;
        errno = EISDIR;
    }
    if (!stream) {
        const int reason = errno;
        LK_REPORT_SHARED("Error opening file '%s' for reading: %s\n", path, strerror(reason));
        errno = reason; /* the caller may tell the system's reason as well */
    }
    return stream;
}

FILE *open_write(const char *path) {
    FILE *stream = open_utf8_path(path, "wb");
    if (!stream)
        LK_REPORT_SHARED("Error opening file '%s' for writing: %s\n", path, strerror(errno));
    return stream;
}

FILE *open_append(const char *path) {
    FILE *stream = open_utf8_path(path, "ab");
    if (!stream)
        LK_REPORT_SHARED("Error opening file '%s' for appending: %s\n", path, strerror(errno));
    return stream;
}

int close_file(FILE *stream) {
    return stream ? fclose(stream) : 0;
}

/* ---- positioning ------------------------------------------------------------------------ */

#ifdef LARKSPUR_SHARED_BUILD /* only the shared library reports failed seeks */
static const char *plural(int32_t offset) {
    return offset == 1 ? "" : "s";
}
#endif

int seek_set(FILE *stream, int32_t offset) {
    if (!stream) {
        LK_REPORT("Null file pointer\n");
        return -2;
    }
    int result = fseek(stream, offset, SEEK_SET);
    if (result)
        LK_REPORT_SHARED("Error skipping %u octet%s: %s\n", (unsigned)offset, plural(offset),
                         strerror(errno));
    return result;
}

int seek_end(FILE *stream, int32_t offset) {
    if (!stream) {
        LK_REPORT("Null file pointer\n");
        return -2;
    }
    int result = fseek(stream, offset, SEEK_END);
    if (result)
        LK_REPORT_SHARED("Error skipping %u octet%s: %s\n", (unsigned)offset, plural(offset),
                         strerror(errno));
    return result;
}

int seek_cur(FILE *stream, int32_t offset, int origin) {
    if (!stream) {
        LK_REPORT("Null file pointer\n");
        return -2;
    }
    int result = fseek(stream, offset, origin);
    if (result)
        LK_REPORT_SHARED("Error seeking %d octet%s: %s\n", (int)offset, plural(offset),
                         strerror(errno));
    return result;
}

int32_t get_file_position(FILE *stream) {
    if (!stream) {
        LK_REPORT("Null file pointer\n");
        return -2;
    }
    return (int32_t)ftell(stream);
}

/* ---- raw transfers ---------------------------------------------------------------------- */

/* The most octets moved one by one through the stream's buffer: a typed value. Below this,
   fwrite's and fread's own locking and bookkeeping cost more than the copy (most of what writing
   a converted model took). */
enum { octet_by_octet_limit = 8 };

/* Moves up to size octets one by one; the number moved, short at end of file or after a stream
   error, as fread and fwrite are. */
static uint32_t transfer_octets(FILE *stream, unsigned char *buffer, uint32_t size, int writing) {
    uint32_t moved = 0;
    for (; moved < size; moved++) {
        if (writing) {
            if (put_octet_unlocked(buffer[moved], stream) == EOF) break;
        } else {
            const int octet = get_octet_unlocked(stream);
            if (octet == EOF) break;
            buffer[moved] = (unsigned char)octet;
        }
    }
    return moved;
}

/* Moves size octets in as many standard block transfers as it takes. 0 when done or at end of
   file (count tells how much moved), non-zero after a stream error, whose indicators are cleared
   so that the stream can be used again. */
static int transfer(FILE *stream, unsigned char *buffer, uint32_t size, uint32_t *count,
                    int writing) {
    for (;;) {
        size_t moved = size <= octet_by_octet_limit
                           ? transfer_octets(stream, buffer, size - *count, writing)
                       : writing ? fwrite(buffer, 1, size - *count, stream)
                                 : fread(buffer, 1, size - *count, stream);
        *count += (uint32_t)moved;
        if (*count == size) return 0;
        if (ferror(stream)) {
            if (writing)
                LK_REPORT_SHARED("Failed to write buffer of size %u: %s\n", size, strerror(errno));
            else
                LK_REPORT_SHARED("Failed to read buffer of size %u: %s\n", size, strerror(errno));
            clearerr(stream);
            return 1;
        }
        /* End of file: the count says how much arrived; the caller decides what that means. */
        if (moved == 0) return 0;
        buffer += moved;
    }
}

int try_read(FILE *stream, void *buffer, uint32_t size, uint32_t *count) {
    if (!stream) {
        LK_REPORT("Null file pointer\n");
        return -1;
    }
    if (!count) {
        LK_REPORT("Null result pointer\n");
        return -2;
    }
    *count = 0;
    if (size == 0) {
        LK_REPORT("How did we get here?\n");
        return -3;
    }
    return transfer(stream, (unsigned char *)buffer, size, count, 0) ? -3 : 0;
}

int try_write(FILE *stream, const void *buffer, uint32_t size, uint32_t *count) {
    if (!stream) {
        LK_REPORT("Null file pointer\n");
        return -1;
    }
    if (!count) {
        LK_REPORT("Null result pointer\n");
        return -2;
    }
    *count = 0;
    if (size == 0) {
        LK_REPORT("How did we get here?\n");
        return -4;
    }
    /* fwrite never writes through its buffer argument. */
    return transfer(stream, (unsigned char *)(uintptr_t)buffer, size, count, 1) ? 1 : 0;
}

int read_arbitrary(FILE *stream, void *buffer, uint32_t size) {
    uint32_t count;
    return try_read(stream, buffer, size, &count);
}

int write_arbitrary(FILE *stream, const void *buffer, uint32_t size) {
    uint32_t count;
    return try_write(stream, buffer, size, &count);
}

/* ---- typed transfers -------------------------------------------------------------------- */

#define TYPED_TRANSFER(name, type)                                                                 \
    int read_##name(FILE *stream, type *value) {                                                   \
        return read_arbitrary(stream, value, (uint32_t)sizeof(type));                              \
    }                                                                                              \
    int write_##name(FILE *stream, const type *value) {                                            \
        return write_arbitrary(stream, value, (uint32_t)sizeof(type));                             \
    }

TYPED_TRANSFER(int8, int8_t)
TYPED_TRANSFER(uint8, uint8_t)
TYPED_TRANSFER(int16, int16_t)
TYPED_TRANSFER(uint16, uint16_t)
TYPED_TRANSFER(int32, int32_t)
TYPED_TRANSFER(uint32, uint32_t)
TYPED_TRANSFER(float, float)
TYPED_TRANSFER(double, double)

/* Vectors report which component failed (1-based), not the transfer's own code. */
static int read_floats(FILE *stream, float *value, int n) {
    for (int i = 0; i < n; i++)
        if (read_float(stream, &value[i])) return i + 1;
    return 0;
}

static int write_floats(FILE *stream, const float *value, int n) {
    for (int i = 0; i < n; i++)
        if (write_float(stream, &value[i])) return i + 1;
    return 0;
}

int read_vec3(FILE *stream, float *value) {
    return read_floats(stream, value, 3);
}
int read_vec4(FILE *stream, float *value) {
    return read_floats(stream, value, 4);
}
int write_vec3(FILE *stream, const float *value) {
    return write_floats(stream, value, 3);
}
int write_vec4(FILE *stream, const float *value) {
    return write_floats(stream, value, 4);
}
