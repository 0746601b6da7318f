#pragma once
// One table of addresses for every reader of URLs: the parser, the cookie rule, the link rule and
// the request engines each check every row, so they cannot come to read an address differently.

struct UrlRow {
  const char* url;
  const char* scheme;  // nullptr: no URL at all
  const char* host;
  int port;  // as written; 0 when none
  const char* path;
  const char* query;     // nullptr: none
  const char* fragment;  // nullptr: none
  const char* userInfo;
};

inline constexpr UrlRow kUrlRows[] = {
    {"http://[::1]:8080/a.jpg", "http", "[::1]", 8080, "/a.jpg", nullptr, nullptr, ""},
    {"https://[2001:DB8::1]/x", "https", "[2001:db8::1]", 0, "/x", nullptr, nullptr, ""},
    {"http://[::ffff:127.0.0.1]:1/", "http", "[::ffff:127.0.0.1]", 1, "/", nullptr, nullptr, ""},
    // "?" and "#" end the host as "/" does, whatever follows them.
    {"http://a.example?x=1", "http", "a.example", 0, "", "x=1", nullptr, ""},
    {"http://a.example#f", "http", "a.example", 0, "", nullptr, "f", ""},
    {"http://a.example?x=@b.example/", "http", "a.example", 0, "", "x=@b.example/", nullptr, ""},
    {"http://a.example#@b.example/", "http", "a.example", 0, "", nullptr, "@b.example/", ""},
    {"http://a.example:81?x", "http", "a.example", 81, "", "x", nullptr, ""},
    {"http://a.example/p#f?q", "http", "a.example", 0, "/p", nullptr, "f?q", ""},
    {"http://a.example/p?", "http", "a.example", 0, "/p", "", nullptr, ""},
    {"HTTPS://User:Pw@Img.Example.COM:8443/Path/Pic.JPG?Size=Big#Top", "https", "img.example.com", 8443,
     "/Path/Pic.JPG", "Size=Big", "Top", "User:Pw"},
    {"http://u@a.example@b.example/", "http", "b.example", 0, "/", nullptr, nullptr, "u@a.example"},
    {"http://a.example", "http", "a.example", 0, "", nullptr, nullptr, ""},
    {"http://taobao.com./x", "http", "taobao.com", 0, "/x", nullptr, nullptr, ""},
    {"http://img_1.example:65535/p", "http", "img_1.example", 65535, "/p", nullptr, nullptr, ""},
    // The path may hold GBK text; only the authority must be ASCII.
    {"http://a.example/\xD6\xD0\xCE\xC4.jpg", "http", "a.example", 0, "/\xD6\xD0\xCE\xC4.jpg", nullptr, nullptr, ""},
    {"ftp://a.example/x", "ftp", "a.example", 0, "/x", nullptr, nullptr, ""},
    // Hosts of the platforms and look-alikes: the cookie rule and the link rule read each.
    {"https://detail.tmall.hk/item.htm?id=1", "https", "detail.tmall.hk", 0, "/item.htm", "id=1", nullptr, ""},
    {"https://npcitem.jd.hk/1.html", "https", "npcitem.jd.hk", 0, "/1.html", nullptr, nullptr, ""},
    {"https://item.jd.com/1.html", "https", "item.jd.com", 0, "/1.html", nullptr, nullptr, ""},
    {"https://3.cn/-1x", "https", "3.cn", 0, "/-1x", nullptr, nullptr, ""},
    {"https://m.tb.cn/h.5Fw7Qz8", "https", "m.tb.cn", 0, "/h.5Fw7Qz8", nullptr, nullptr, ""},
    {"https://item.taobao.com/item.htm?id=1", "https", "item.taobao.com", 0, "/item.htm", "id=1", nullptr, ""},
    {"https://detail.1688.com/offer/1.html", "https", "detail.1688.com", 0, "/offer/1.html", nullptr, nullptr, ""},
    {"https://detail.china.alibaba.com/offer/1.html", "https", "detail.china.alibaba.com", 0, "/offer/1.html",
     nullptr, nullptr, ""},
    {"https://img.alicdn.com/tfscom/TB1", "https", "img.alicdn.com", 0, "/tfscom/TB1", nullptr, nullptr, ""},
    {"https://evil-taobao.com/x", "https", "evil-taobao.com", 0, "/x", nullptr, nullptr, ""},
    {"https://taobao.com.evil.cn/x", "https", "taobao.com.evil.cn", 0, "/x", nullptr, nullptr, ""},
    {"https://13.cn/x", "https", "13.cn", 0, "/x", nullptr, nullptr, ""},
    {"http://item.jd.localhost:8080/1.html", "http", "item.jd.localhost", 8080, "/1.html", nullptr, nullptr, ""},
    // No URL: ports outside 1-65535 or not a number, broken literals, no host, control characters
    // and blanks, bytes no host name holds, no scheme.
    {"http://h:0/p", nullptr},
    {"http://h:65536/p", nullptr},
    {"http://h:/p", nullptr},
    {"http://h:80x/p", nullptr},
    {"http://h:99999999999999999999/p", nullptr},
    {"http://[::1/", nullptr},
    {"http://[]/", nullptr},
    {"http://[::1]x/", nullptr},
    {"http://[v1.x]/", nullptr},
    {"http:///p", nullptr},
    {"http://./p", nullptr},
    {"http://a b/", nullptr},
    {"http://a.example/a.jpg\r\nX-Injected: from-page", nullptr},
    {"http://a.example/a b.jpg", nullptr},
    {"http://evil.example\\@img.example/", nullptr},
    {"http://evil%2Eexample/", nullptr},
    {"http://\xC4\xE3\xBA\xC3.com/p", nullptr},
    {"a.example/p", nullptr},
    {"//a.example/p", nullptr},
    {"", nullptr},
};

// A redirect's Location, resolved against the address that answered with it.
struct RedirectRow {
  const char* from;
  const char* location;
  const char* target;  // nullptr: no http(s) address to follow
};

inline constexpr char kAnswering[] = "https://item.taobao.com/a/item.htm?id=1#top";
inline constexpr RedirectRow kRedirectRows[] = {
    {kAnswering, "https://detail.tmall.com/item.htm?id=1", "https://detail.tmall.com/item.htm?id=1"},
    {kAnswering, " HTTP://Detail.Tmall.com/x#frag ", "HTTP://Detail.Tmall.com/x"},
    {kAnswering, "//login.taobao.com/member/login.jhtml", "https://login.taobao.com/member/login.jhtml"},
    {kAnswering, "/b/other.htm", "https://item.taobao.com/b/other.htm"},
    {kAnswering, "?id=2", "https://item.taobao.com/a/item.htm?id=2"},
    {kAnswering, "next.htm?x=1", "https://item.taobao.com/a/next.htm?x=1"},
    {kAnswering, "", "https://item.taobao.com/a/item.htm?id=1"},
    {kAnswering, "ftp://item.taobao.com/file", nullptr},
    {kAnswering, "javascript:alert(1)", nullptr},
    {kAnswering, "file:///c:/windows/win.ini", nullptr},
    {"https://m.test", "x.html", "https://m.test/x.html"},
    {"http://m.test?q=1", "?q=2", "http://m.test?q=2"},
    {"ftp://m.test/a", "/b", nullptr},
};

// A query parameter of an address, and the number its page is named after.
struct LinkPartsRow {
  const char* link;
  const char* name;   // the query parameter asked for
  const char* value;  // its value, percent-decoded
  const char* pageNumber;
};

inline constexpr LinkPartsRow kLinkPartsRows[] = {
    {"https://item.taobao.com/item.htm?spm=a.1&id=561495525977&ns=1#detail", "id", "561495525977", ""},
    {"https://item.taobao.com/item.htm?xid=5&id=6", "id", "6", ""},
    {"https://item.taobao.com/item.htm?ID=5", "id", "", ""},
    {"https://item.taobao.com/item.htm#id=5", "id", "", ""},
    {"https://item.taobao.com/item.htm?a=1#x&id=5", "id", "", ""},
    {"//desc.test/d?f=a%2Fb%zz%4", "f", "a/b%zz%4", ""},
    {"item.jd.com/1.html?sku=2", "sku", "2", "1"},
    {"https://item.jd.com/100012043978.html#crumb-wrap", "sku", "", "100012043978"},
    {"https://a.m.taobao.com/i561495525977.htm?sid=1", "sid", "1", "561495525977"},
    {"https://detail.1688.com/offer/601748658723.html?spm=a", "spm", "a", "601748658723"},
    {"https://item.jd.com/12345678901234567890.html", "", "", "12345678901234567890"},
    {"https://item.jd.com/123456789012345678901.html", "", "", ""},
    {"https://item.jd.com/abc100.html", "", "", ""},
    {"https://item.jd.com/100.html/more", "", "", ""},
    {"https://item.jd.com/.html", "", "", ""},
    {"https://item.jd.com/", "", "", ""},
    {"", "id", "", ""},
};
