// SPDX-License-Identifier: MIT
// What every fuzz target provides: the libFuzzer entry and its seed inputs built in code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// Valid and nearly valid inputs that start the search; no binary files are checked in.
std::vector<std::vector<uint8_t>> fuzz_seeds();
