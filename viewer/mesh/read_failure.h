// SPDX-License-Identifier: MIT
// Where a model reader stopped, told to the user on the line after a failed load's code.
//
// The readers keep a read_place up to date as they go (the section and the record in it); on a
// failure the place, the stream's position and the format's table of field descriptions make one
// line such as "SWT_Officer.tkm: the file ends at octet 500, inside bone 3 of 52 (Bip01), at its
// rotation".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/files/byte_reader.h"

// The reader's place: which section of the file, and which record of it (-1 outside records,
// in a header or at a count).
struct read_place {
    int section = 0;       // the format's own section number
    int32_t record = -1;   // index of the record being read in that section
    uint32_t declared = 0; // the section's record count, when the model does not hold it yet
};

// What a failed read tells beyond its code; every field is filled by the format's explain step.
struct read_failure {
    int code = 0;                // the reader's result code; 0 while nothing failed
    const char *field = nullptr; // static: the short description of the code's field, or null
    int64_t offset = -1;         // octet where reading stopped (the file's size when it ended)
    bool at_end = false;         // the file ended inside the field
    std::string message;         // the explanation line, no newline; empty when there is none
    int reason = 0; // the system's error number when the file could not be opened or read
    // The reader's own sentence about the file ("x.tkm is not a TKM"), no newline; told before the
    // line with the code, and through notice_outlet. Empty when the reader has none.
    std::string notice;
    int notice_outlet = 0; // failure_outlet_error or failure_outlet_information
};

// Where a reader's notice is told: with the errors, or with the information (the viewer's
// standard output).
inline constexpr int failure_outlet_error = 1;
inline constexpr int failure_outlet_information = 2;

// The record a failure happened in, as the format's explain step finds it.
struct failure_where {
    const char *record_noun = nullptr; // "bone", or null outside records
    int32_t record = -1;               // its index
    uint32_t count = 0;                // records in the section
    std::string name;                  // the record's name once read, else empty
};

// One section of a format's records, as a failed read names them; each format keeps a table of
// these, one row per section that has records.
template <typename Model> struct failure_section {
    int section;                           // the format's section number (read_place::section)
    const char *noun;                      // "bone"
    uint32_t (*count)(const Model &model); // records in the section, as read so far
    std::string (*name)(const Model &model, uint32_t index); // null: its records have no name
    int name_code; // the name is whole once the read stops at a code above this one
};

// The record of place in sections' row for its section (none outside records, or when no row
// is there); the section's count is the one declared in the file while the model holds none.
template <typename Model, size_t N>
failure_where find_failure_where(const failure_section<Model> (&sections)[N], const Model &model,
                                 const read_place &place, int code) {
    failure_where where;
    if (place.record < 0) return where;
    for (const failure_section<Model> &row : sections) {
        if (row.section != place.section) continue;
        where.record_noun = row.noun;
        where.record = place.record;
        where.count = place.declared ? place.declared : row.count(model);
        if (row.name && static_cast<uint32_t>(place.record) < where.count && code > row.name_code)
            where.name = row.name(model, static_cast<uint32_t>(place.record));
        break;
    }
    return where;
}

// Fills offset and at_end from the cursor just after the failing read.
void note_stop(const byte_reader &in, read_failure *failure);

// Sets failure->message from field, failure->offset and at_end: "<path>: the file ends at octet N,
// inside bone 3 of 52 (Bip01), at its rotation" (or ", at the bone count" outside records) when
// the file ended, else "<path>: in corner 5 of 9, the vertex is out of range; reading stopped at
// octet N", refusal saying what was wrong with a value read whole (null: "cannot be read");
// field is the description to show, null where the code does not name it.
void compose_failure_message(const char *path, const char *field, const failure_where &where,
                             const char *refusal, read_failure *failure);

// Prints failure's message and a newline through real_meow when there is one.
void print_failure_explanation(const read_failure &failure);
// Prints failure's notice and a newline through its outlet (real_meow or real_purr) when there is
// one; the line with the code follows it.
void print_failure_notice(const read_failure &failure);
