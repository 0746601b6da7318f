#pragma once
// How much one extraction takes from a page at most, so that a hostile page cannot freeze the
// window or exhaust a 32-bit process: rows per picture kind, and text lines altogether.

#include <cstddef>

inline constexpr size_t kMaxRowsPerKind = 2000;
inline constexpr size_t kMaxTextLines = 2000;
