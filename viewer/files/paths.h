// SPDX-License-Identifier: MIT
// Path buffer capacity of this platform; a path that does not fit is refused, never cut.
#pragma once

#include <climits>
#include <cstddef>

// Characters, terminator included, that a path buffer of the viewer holds.
inline constexpr std::size_t path_capacity = PATH_MAX;
