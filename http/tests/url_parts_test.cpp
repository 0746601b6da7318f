#include "http/url_parts.h"

#include <gtest/gtest.h>

namespace {

struct UrlRow {
  const char* url;
  const char* host;
  const char* hostWithPort;
  int port;
  const char* path;
};

TEST(UrlPartsTest, Table) {
  const UrlRow rows[] = {
      // Upper-case scheme and host: the host is lower-cased, the path keeps its case.
      {"HTTPS://Img.Example.COM:8443/Path/Pic.JPG?Size=Big", "img.example.com", "img.example.com:8443",
       8443, "/Path/Pic.JPG?Size=Big"},
      // No scheme: http on port 80.
      {"img.example.com/a/b.jpg", "img.example.com", "img.example.com", 80, "/a/b.jpg"},
      // Scheme and host only.
      {"http://example.com", "example.com", "example.com", 80, "/"},
      {"https://example.com", "example.com", "example.com", 443, "/"},
      {"https://example.com/", "example.com", "example.com", 443, "/"},
      {"http://127.0.0.1:8080/x?y=1#z", "127.0.0.1", "127.0.0.1:8080", 8080, "/x?y=1#z"},
      // The host's letters also occur in the path: the path starts after the host.
      {"http://a.com/A.COM/p", "a.com", "a.com", 80, "/A.COM/p"},
      // Hosts whose names also occur inside the scheme.
      {"http://tp/x", "tp", "tp", 80, "/x"},
      {"https://s/x", "s", "s", 443, "/x"},
      // A port that is not a number reads as its leading digits.
      {"http://h:80x/p", "h", "h:80x", 80, "/p"},
      // Numbers that are no port give 0, whatever their size.
      {"http://h:x/p", "h", "h:x", 0, "/p"},
      {"http://h:0/p", "h", "h:0", 0, "/p"},
      {"http://h:65535/p", "h", "h:65535", 65535, "/p"},
      {"http://h:65536/p", "h", "h:65536", 0, "/p"},
      {"http://h:2147483649/p", "h", "h:2147483649", 0, "/p"},
      {"http://h:99999999999999999999/p", "h", "h:99999999999999999999", 0, "/p"},
      {"", "", "", 80, "/"},
  };
  for (const UrlRow& r : rows) {
    SCOPED_TRACE(r.url);
    EXPECT_EQ(UrlHostOf(r.url), r.host);
    EXPECT_EQ(UrlHostOf(r.url, true), r.hostWithPort);
    EXPECT_EQ(UrlPortOf(r.url), r.port);
    EXPECT_EQ(UrlPathOf(r.url), r.path);
  }
}

TEST(UrlPartsTest, DoubleByteTextIsNotLowerCased) {
  // Only ASCII letters fold; the GBK bytes of the host stay as they are.
  EXPECT_EQ(UrlHostOf("http://\xC4\xE3\xBA\xC3.COM/p"), "\xC4\xE3\xBA\xC3.com");
}

}  // namespace
