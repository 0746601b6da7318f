#pragma once
// The system's UTF-8 to GBK conversion, for the few words the batch tests write beyond ASCII (the
// sources' literals are GBK); any other character beyond ASCII comes out as one "?", a mark that no
// link survives.

#include <string>
#include <string_view>
#include <utility>

// The UTF-8 bytes of "天猫数据" and of "完成".
inline const std::string kTmallButtonUtf8 = "\xE5\xA4\xA9\xE7\x8C\xAB\xE6\x95\xB0\xE6\x8D\xAE";
inline const std::string kDoneUtf8 = "\xE5\xAE\x8C\xE6\x88\x90";

inline std::string Utf8ToGbk(std::string_view utf8) {
  const std::pair<std::string_view, std::string_view> words[] = {{kTmallButtonUtf8, "天猫数据"}, {kDoneUtf8, "完成"}};
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    bool word = false;
    for (const auto& [from, to] : words)
      if (utf8.substr(i).starts_with(from)) {
        out += to;
        i += from.size();
        word = true;
        break;
      }
    if (word) continue;
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      out += utf8[i++];
      continue;
    }
    out += '?';
    for (++i; i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80;) ++i;
  }
  return out;
}
