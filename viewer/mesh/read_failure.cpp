// SPDX-License-Identifier: MIT
// Where a model reader stopped: the offset and the explanation line.
#include "viewer/mesh/read_failure.h"

#include "support/messages.h"

void note_stop(const byte_reader &in, read_failure *failure) {
    failure->at_end = in.at_end;
    failure->offset = static_cast<int64_t>(in.position);
}

void compose_failure_message(const char *path, const char *field, const failure_where &where,
                             const char *refusal, read_failure *failure) {
    std::string record;
    if (where.record_noun && where.record >= 0) {
        record = std::string(where.record_noun) + ' ' + std::to_string(where.record) + " of " +
                 std::to_string(where.count);
        if (!where.name.empty()) record += " (" + where.name + ')';
    }
    const std::string octet = std::to_string(failure->offset < 0 ? 0 : failure->offset);
    std::string text = std::string(path) + ": ";
    if (failure->at_end) {
        text += "the file ends at octet " + octet;
        if (!record.empty()) text += ", inside " + record;
        if (field) text += (record.empty() ? ", at the " : ", at its ") + std::string(field);
    } else {
        if (!record.empty()) text += "in " + record + ", ";
        text += field ? std::string("the ") + field : std::string("a field");
        text += std::string(" ") + (refusal ? refusal : "cannot be read") +
                "; reading stopped at octet " + octet;
    }
    failure->message = text;
}

void print_failure_explanation(const read_failure &failure) {
    if (!failure.message.empty()) real_meow("%s\n", failure.message.c_str());
}

void print_failure_notice(const read_failure &failure) {
    if (failure.notice.empty()) return;
    if (failure.notice_outlet == failure_outlet_information)
        real_purr("%s\n", failure.notice.c_str());
    else
        real_meow("%s\n", failure.notice.c_str());
}
