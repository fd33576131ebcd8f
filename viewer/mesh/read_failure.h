// SPDX-License-Identifier: MIT
// Where a model reader stopped, told to the user on the line after a failed load's code.
//
// The readers keep a read_place up to date as they go (the section and the record in it); on a
// failure the place, the stream's position and the format's table of field descriptions make one
// line such as "SWT_Officer.tkm: the file ends at octet 500, inside bone 3 of 52 (Bip01), at its
// rotation".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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
};

// The record a failure happened in, as the format's explain step finds it.
struct failure_where {
    const char *record_noun = nullptr; // "bone", or null outside records
    int32_t record = -1;               // its index
    uint32_t count = 0;                // records in the section
    const char *name = nullptr;        // the record's name once read, else null or ""
};

// Fills offset and at_end from the stream just after the failing read (before it is closed).
void note_stop(FILE *stream, read_failure *failure);

// Sets failure->message from failure->field, offset and at_end: "<path>: the file ends at octet N,
// inside bone 3 of 52 (Bip01), at its rotation" (or ", at the bone count" outside records) when
// the file ended, else "<path>: in corner 5 of 9, the vertex is out of range; reading stopped at
// octet N", refusal saying what was wrong with a value read whole (null: "cannot be read").
void compose_failure_message(const char *path, const failure_where &where, const char *refusal,
                             read_failure *failure);

// Prints failure's message and a newline through real_meow when there is one.
void print_failure_explanation(const read_failure &failure);
