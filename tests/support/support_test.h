// SPDX-License-Identifier: MIT
// Shared helpers for the support library's tests, which run against both builds.
#pragma once

#include <gtest/gtest.h>
#include <regex>
#include <string>

#include "common/temp_dir.h"

extern "C" {
#include "file.h"
}

// The location prefix of a report made by operation in source (e.g. "file.c"): the shared
// library names the file and line, the viewer's copy names the operation first.
inline std::string report_pattern(const std::string &operation, const std::string &source,
                                  const std::string &message) {
#ifdef LARKSPUR_SHARED_BUILD
    (void)operation;
    return "^[^ ]*support/" + source + ":[0-9]+: " + message + "\n$";
#else
    return "^" + operation + "\\(\\): support/" + source + ":[0-9]+: " + message + "\n$";
#endif
}

// True when this binary tests the shared library, whose reports also cover opens, seeks and
// stream errors.
inline constexpr bool shared_build =
#ifdef LARKSPUR_SHARED_BUILD
    true;
#else
    false;
#endif

#define EXPECT_REPORT(text, pattern)                                                               \
    EXPECT_TRUE(std::regex_match(text, std::regex(pattern))) << (text)
