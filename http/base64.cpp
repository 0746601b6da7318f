#include "http/base64.h"

std::string Base64Encode(std::string_view bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    // The input is extended with zero bytes to a whole group; the fill replaces what they made.
    const size_t have = bytes.size() - i < 3 ? bytes.size() - i : 3;
    unsigned group = 0;
    for (size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < have ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += have > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    out += have > 2 ? kAlphabet[group & 63] : '=';
  }
  return out;
}
