#pragma once
// What the page data fuzz targets share: the input as a page, and checks of what a reader
// promises about the lists and texts it returns. A broken promise aborts, so libFuzzer keeps the
// input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "extract/harvest_bounds.h"
#include "extract/page_data/page_data.h"

namespace page_data_fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

#define PAGE_DATA_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::page_data_fuzz::Fail(#condition, __FILE__, __LINE__))

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Every input is read as each encoding a fetch may report: none (the reader judges the page), GBK
// and UTF-8.
inline constexpr PageEncoding kEncodings[] = {PageEncoding::Unknown, PageEncoding::Gbk, PageEncoding::Utf8};

// Characters of UTF-8 pages become a marker per byte, so converted texts stay checkable.
inline std::string MarkUtf8(std::string_view utf8) { return std::string(utf8.size(), '?'); }

// Complete http(s) addresses of printable ASCII without quotes or markup, at most kMaxRowsPerKind.
inline void CheckPictures(const TextList& pictures) {
  PAGE_DATA_CHECK(pictures.size() <= kMaxRowsPerKind);
  for (const std::string& url : pictures) {
    PAGE_DATA_CHECK(url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0);
    for (char c : url) {
      const auto b = static_cast<unsigned char>(c);
      PAGE_DATA_CHECK(b > 0x20 && b < 0x7F && c != '"' && c != '\'' && c != '<' && c != '>' && c != '\\');
    }
  }
}

// Lines for the text box: no line breaks or other control characters inside, bounded.
inline void CheckLines(const TextList& lines) {
  PAGE_DATA_CHECK(lines.size() <= kMaxTextLines);
  for (const std::string& line : lines) {
    PAGE_DATA_CHECK(!line.empty() && line.size() <= kMaxLineBytes);
    for (char c : line) PAGE_DATA_CHECK(static_cast<unsigned char>(c) >= 0x20);
  }
}

inline void CheckItem(const ItemPageData& d) {
  CheckPictures(d.mainPictures);
  CheckPictures(d.skuPictures);
  CheckLines(d.skuNames);
  CheckLines(d.attributes);
  if (!d.title.empty()) CheckLines({d.title});
  if (!d.videoUrl.empty()) CheckPictures({d.videoUrl});
  if (!d.descriptionUrl.empty()) CheckPictures({d.descriptionUrl});
  if (!d.found) PAGE_DATA_CHECK(d.itemId.empty() && d.title.empty() && d.mainPictures.empty());
}

}  // namespace page_data_fuzz
