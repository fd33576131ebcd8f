// SPDX-License-Identifier: MIT
// Tests whose subject Windows does not have: skipped there, with the reason in the output.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "Linux only: " << (reason)
#else
#define SKIP_ON_WINDOWS(reason) (void)0
#endif
