#pragma once
// One table of addresses for every reader of URLs: the parser, the cookie rule and the request
// engines each check every row, so they cannot come to read an address differently.

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
