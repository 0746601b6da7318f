#include "http/base64.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64EncodeTest, PaddingByLength) {
  const struct {
    std::string in;
    const char* out;
  } rows[] = {
      {"", ""},
      {"f", "Zg=="},  // 1 modulo 3: two fill characters
      {"fo", "Zm8="},  // 2 modulo 3: one
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"user:secret", "dXNlcjpzZWNyZXQ="},
      {std::string("\0\0\0", 3), "AAAA"},
      {std::string("\xFF\xFE\xFD", 3), "//79"},
      {std::string("\xFB\xFF", 2), "+/8="},
  };
  for (const auto& r : rows) EXPECT_EQ(Base64Encode(r.in), r.out) << r.out;
}

}  // namespace
