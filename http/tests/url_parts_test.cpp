#include "http/url_parts.h"

#include <gtest/gtest.h>

#include <string>

#include "text/tests/url_table.h"

namespace {

bool IsHttpScheme(const char* scheme) {
  return scheme && (std::string(scheme) == "http" || std::string(scheme) == "https");
}

// The engines connect where the URL reading says, and to nothing that is no http(s) URL.
TEST(UrlPartsTest, TheEnginesReadEveryRowOfTheUrlTableAsTheParserDoes) {
  for (const UrlRow& r : kUrlRows) {
    SCOPED_TRACE(r.url);
    const std::optional<RequestTarget> target = RequestTargetOf(r.url, MissingScheme::IsNoUrl);
    ASSERT_EQ(target.has_value(), IsHttpScheme(r.scheme));
    if (!target) continue;
    const bool https = std::string(r.scheme) == "https";
    EXPECT_EQ(target->https, https);
    EXPECT_EQ(target->host, r.host);
    EXPECT_EQ(target->port, r.port ? r.port : https ? 443 : 80);
    std::string object = *r.path ? r.path : "/";
    if (r.query) object += std::string("?") + r.query;
    if (r.fragment) object += std::string("#") + r.fragment;
    EXPECT_EQ(target->object, object);
  }
}

TEST(UrlPartsTest, WithoutASchemeThePictureEngineAsksOverHttp) {
  struct Row {
    const char* url;
    const char* host;
    int port;
    const char* object;
  } rows[] = {
      {"img.example.com/a/b.jpg", "img.example.com", 80, "/a/b.jpg"},
      {"Img.Example.com:8080?x=1", "img.example.com", 8080, "/?x=1"},
      {"a.example/x?r=http://b.example/", "a.example", 80, "/x?r=http://b.example/"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.url);
    EXPECT_FALSE(RequestTargetOf(r.url, MissingScheme::IsNoUrl));
    const std::optional<RequestTarget> target = RequestTargetOf(r.url, MissingScheme::MeansHttp);
    ASSERT_TRUE(target);
    EXPECT_FALSE(target->https);
    EXPECT_EQ(target->host, r.host);
    EXPECT_EQ(target->port, r.port);
    EXPECT_EQ(target->object, r.object);
  }
  // A scheme other than http(s) stays one.
  EXPECT_FALSE(RequestTargetOf("ftp://a.example/x", MissingScheme::MeansHttp));
}

}  // namespace
