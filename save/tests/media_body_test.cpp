#include "save/media_body.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MediaBodyTest, WebPagesAndDataAnsweredInAPicturesPlaceAreNoPictures) {
  const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
  const struct {
    const char* contentType;
    std::string body;
    bool media;
  } rows[] = {
      {"image/jpeg", jpeg, true},
      {"application/octet-stream", jpeg, true},
      {"", "GIF89a", true},
      {"video/mp4", std::string("\0\0\0\x18" "ftypmp42", 12), true},
      {"image/jpeg", "", false},
      {"", " \r\n\t", false},
      {"text/html; charset=utf-8", jpeg, false},
      {"Text/Plain", jpeg, false},
      {" application/JSON ;charset=gbk", jpeg, false},
      {"application/xml", jpeg, false},
      {"application/javascript", jpeg, false},
      {"application/problem+json", jpeg, false},
      {"application/xhtml+xml", jpeg, false},
      {"image/jpeg", "<html><body>blocked</body></html>", false},
      {"application/octet-stream", "\r\n  <!DOCTYPE html>", false},
      {"image/png", "\xEF\xBB\xBF<html>", false},
      {"", "{\"code\":403}", false},
      {"image/webp", "[1,2]", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CanBeMedia(row.contentType, row.body), row.media) << row.contentType << " | " << row.body;
  }
}

}  // namespace
