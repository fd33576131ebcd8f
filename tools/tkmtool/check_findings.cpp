// SPDX-License-Identifier: MIT
// The finding codes, their severities and the reports of tkmtool check.
#include "check_findings.h"

#include "json_output.h"

namespace {

struct code_row {
    const char *name;
    finding_severity severity;
};

// In the order of finding_code.
constexpr code_row code_rows[num_finding_codes] = {
    {"FILE_UNREADABLE", severity_error},
    {"FOLDER_UNREADABLE", severity_error},
    {"UNKNOWN_FORMAT", severity_error},
    {"MISNAMED_FILE", severity_warning},
    {"READ_FAILED", severity_error},
    {"TEXTURE_NOT_FOUND", severity_warning},
    {"UNKNOWN_BONE_COUNT", severity_warning},
    {"WEAPON_WITHOUT_GRIPS", severity_error},
    {"CHARACTER_WITHOUT_GRIPPERS", severity_error},
    {"NON_FINITE_NUMBER", severity_error},
    {"NON_UNIT_QUATERNION", severity_warning},
    {"UNCARRIED_VERTEX", severity_error},
    {"AT_FORMAT_LIMIT", severity_information},
    {"ANIMATION_FITS", severity_information},
    {"ANIMATION_FITS_NO_MESH", severity_warning},
    {"CONVERT_REFUSED", severity_error},
    {"CONVERT_NOTE", severity_warning},
};

constexpr const char *severity_names[] = {"error", "warning", "information"};

// "1 error", "2 errors".
std::string counted(uint32_t count, const char *noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string json_or_null(bool present, const std::string &text) {
    return present ? json_string(text.c_str()) : "null";
}

} // namespace

const char *finding_code_name(int code) {
    return code_rows[code].name;
}

finding_severity finding_code_severity(int code) {
    return code_rows[code].severity;
}

const char *severity_name(finding_severity severity) {
    return severity_names[severity];
}

finding &add_finding(file_report *report, int code, std::string message) {
    finding &added = report->findings.emplace_back();
    added.code = code;
    added.message = std::move(message);
    return added;
}

check_totals count_findings(const std::vector<file_report> &reports) {
    check_totals totals;
    for (const file_report &report : reports) {
        if (report.checked) totals.num_checked++;
        for (const finding &found : report.findings) {
            uint32_t *counts[] = {&totals.num_errors, &totals.num_warnings,
                                  &totals.num_information};
            ++*counts[finding_code_severity(found.code)];
        }
    }
    return totals;
}

void print_compiler_report(const std::vector<file_report> &reports, const check_totals &totals,
                           FILE *out) {
    for (const file_report &report : reports)
        for (const finding &found : report.findings) {
            std::string place = found.offset >= 0        ? ":" + std::to_string(found.offset)
                                : !found.pointer.empty() ? ":" + found.pointer
                                                         : "";
            std::fprintf(out, "%s%s: %s: %s [%s]\n", report.path.c_str(), place.c_str(),
                         severity_name(finding_code_severity(found.code)), found.message.c_str(),
                         finding_code_name(found.code));
        }
    std::string summary = "Checked " + counted(totals.num_checked, "file") + ": " +
                          counted(totals.num_errors, "error") + ", " +
                          counted(totals.num_warnings, "warning");
    if (totals.num_information)
        summary += ", " + std::to_string(totals.num_information) + " information";
    std::fprintf(out, "%s\n", summary.c_str());
}

std::string json_report(const std::vector<file_report> &reports, const check_totals &totals) {
    std::string out = "{\"findings\": [";
    const char *separator = "";
    for (const file_report &report : reports)
        for (const finding &found : report.findings) {
            out += separator;
            separator = ", ";
            out +=
                "{\"file\": " + json_string(report.path.c_str()) +
                ", \"code\": " + json_string(finding_code_name(found.code)) +
                ", \"severity\": " + json_string(severity_name(finding_code_severity(found.code))) +
                ", \"message\": " + json_string(found.message.c_str()) +
                ", \"offset\": " + (found.offset >= 0 ? std::to_string(found.offset) : "null") +
                ", \"pointer\": " + json_or_null(!found.pointer.empty(), found.pointer) +
                ", \"record\": " + json_or_null(!found.record.empty(), found.record) + "}";
        }
    out += "], \"summary\": {\"files\": " + std::to_string(totals.num_checked) +
           ", \"errors\": " + std::to_string(totals.num_errors) +
           ", \"warnings\": " + std::to_string(totals.num_warnings) +
           ", \"information\": " + std::to_string(totals.num_information) + "}}\n";
    return out;
}
