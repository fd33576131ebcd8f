// SPDX-License-Identifier: MIT
// What tkmtool check found in a file: the finding record, the one table of codes with their
// severities, and the two reports (compiler-style lines, or one JSON document).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum finding_severity : int {
    severity_error,
    severity_warning,
    severity_information,
};

// Index into the table of codes (finding_code_name, finding_code_severity).
enum finding_code : int {
    finding_file_unreadable,
    finding_folder_unreadable,
    finding_unknown_format,
    finding_misnamed_file,
    finding_read_failed,
    finding_texture_not_found,
    finding_unknown_bone_count,
    finding_weapon_without_grips,
    finding_character_without_grippers,
    finding_non_finite_number,
    finding_non_unit_quaternion,
    finding_uncarried_vertex,
    finding_at_format_limit,
    finding_animation_fits,
    finding_animation_fits_no_mesh,
    finding_convert_refused,
    finding_convert_note,
    num_finding_codes,
};

// The stable UPPER_SNAKE name of code, as the reports show it.
const char *finding_code_name(int code);
finding_severity finding_code_severity(int code);
// "error", "warning", "information".
const char *severity_name(finding_severity severity);

// One thing found in one file, and where: the octet offset or the JSON pointer when known, and
// the record ("bone 3 of 52 (Bip01)") when the finding concerns one.
struct finding {
    int code = 0;
    std::string message;
    int64_t offset = -1; // -1: none
    std::string pointer; // empty: none
    std::string record;  // empty: none
};

// Everything found in one file (or folder), in the order checked.
struct file_report {
    std::string path;
    bool checked = false; // a model file was checked (counted in the summary)
    std::vector<finding> findings;
};

struct check_totals {
    uint32_t num_checked = 0;
    uint32_t num_errors = 0;
    uint32_t num_warnings = 0;
    uint32_t num_information = 0;
};

check_totals count_findings(const std::vector<file_report> &reports);

// Appends a finding of code with message to report.
finding &add_finding(file_report *report, int code, std::string message);

// "FILE:PLACE: severity: message [CODE]" per finding (the message names the record itself), then
// "Checked N files: E errors, W warnings" (with the information count when there is any).
void print_compiler_report(const std::vector<file_report> &reports, const check_totals &totals,
                           FILE *out);
// {"findings": [{"file", "code", "severity", "message", "offset", "pointer", "record"}...],
//  "summary": {"files", "errors", "warnings", "information"}}, with a trailing newline.
std::string json_report(const std::vector<file_report> &reports, const check_totals &totals);
