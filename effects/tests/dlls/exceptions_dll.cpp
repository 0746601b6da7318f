// C++ exceptions thrown and caught inside the image, through frames that own objects. On x86-64
// the throw unwinds through the image's function table.
#include <stdexcept>
#include <string>

namespace {

int unwound = 0;

struct Guard {
  ~Guard() { ++unwound; }
};

[[gnu::noinline]] void ThrowFrom(int depth, int value) {
  Guard guard;
  if (depth == 0) throw std::runtime_error(std::to_string(value));
  ThrowFrom(depth - 1, value);
}

}  // namespace

extern "C" {

// Throws `value` as text from `depth` frames further down and catches it here: the value read back
// from the exception plus 1000 for each frame whose object was destroyed on the way.
__declspec(dllexport) int ExceptionsRoundTrip(int depth, int value) {
  unwound = 0;
  try {
    ThrowFrom(depth, value);
  } catch (const std::exception& e) {
    return std::stoi(e.what()) + 1000 * unwound;
  }
  return -1;
}

// The same through a rethrow and a catch-all.
__declspec(dllexport) int ExceptionsRethrown(int value) {
  try {
    try {
      ThrowFrom(1, value);
    } catch (...) {
      throw;
    }
  } catch (const std::runtime_error& e) {
    return std::stoi(e.what());
  }
  return -1;
}

}  // extern "C"
