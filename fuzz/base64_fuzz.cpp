// Base64 text of any bytes decodes back to them.
//
// Input: the bytes.
#include <string>

#include "fuzz/fuzz_input.h"
#include "http/base64.h"

namespace {

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Strict decoding: groups of four, "=" only as the fill at the very end.
bool Decode(const std::string& text, std::string& out) {
  if (text.size() % 4 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const int fill = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
    if (fill == 1 && text[i + 2] == '=') return false;
    unsigned group = 0;
    for (int k = 0; k < 4; ++k) {
      const int v = k >= 4 - fill ? 0 : Sextet(text[i + k]);
      if (v < 0) return false;
      group = (group << 6) | static_cast<unsigned>(v);
    }
    for (int k = 0; k < 3 - fill; ++k) out += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::AsText(data, size);
  const std::string text = Base64Encode(bytes);
  FUZZ_CHECK(text.size() == (size + 2) / 3 * 4);
  std::string back;
  FUZZ_CHECK(Decode(text, back));
  FUZZ_CHECK(back == bytes);
  return 0;
}
