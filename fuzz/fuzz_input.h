#pragma once
// What every fuzz target shares: cutting the input into texts, and a check that stops the run.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

// The targets compare against the program's GBK literals; a build whose literals are not GBK
// would only report differences.
static_assert(sizeof("引号") == 5, "narrow literals must be GBK bytes in the fuzz build");

namespace fuzz {

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at its first `parts - 1` zero bytes; missing parts are empty.
inline std::vector<std::string_view> SplitAtZeros(std::string_view input, size_t parts) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < parts) {
    const size_t zero = input.find('\0');
    if (zero == std::string_view::npos) break;
    out.push_back(input.substr(0, zero));
    input.remove_prefix(zero + 1);
  }
  out.push_back(input);
  out.resize(parts);
  return out;
}

// A broken promise: says which, then aborts so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::fuzz::Fail(#condition, __FILE__, __LINE__))
