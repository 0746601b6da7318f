#pragma once
// A batch file: item links to harvest and save one after the other. Neutral: no Windows header.
//
// One link a line. A line may begin with a platform button's name and a blank or tab
// ("天猫数据 https://detail.tmall.com/item.htm?id=1"), which chooses the platform; otherwise the
// link's host does (LinkOwnerOf). Blank lines and lines starting with '#' are skipped.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/platforms.h"

// The links one batch harvests at most; the file's further links are recorded as left for later.
inline constexpr size_t kMaxBatchLinks = 10000;
// Ten thousand links of up to a kilobyte each and the lines past them; a file far larger is no
// batch file.
inline constexpr size_t kMaxBatchFileBytes = 16 << 20;

// Converts UTF-8 text to GBK (the Windows side names code page 936).
using Utf8ToGbkText = std::function<std::string(std::string_view utf8)>;

// A small text file's bytes as GBK text: without a UTF-8 byte-order mark, and converted when the
// file is UTF-8 (a byte-order mark says so, else bytes that are well-formed UTF-8 with at least one
// character beyond ASCII). Anything else is taken as GBK already.
std::string TextFileAsGbk(std::string_view bytes, const Utf8ToGbkText& toGbk);

struct BatchLink {
  int line = 0;                      // 1-based line of the file
  std::string link;                  // GBK; the line's text (without a button name) when it is no link
  std::optional<Platform> platform;  // empty: the line cannot be harvested, `problem` says why
  std::string problem;               // GBK, in the status line's words
};

struct BatchFile {
  std::vector<BatchLink> links;  // in file order, every one of the file
  std::string problem;           // GBK: why the file as a whole cannot be read (no links then)
};

BatchFile ReadBatchText(std::string_view bytes, const Utf8ToGbkText& toGbk);

// The lines of a text, split at every line feed, each without a carriage return at its end. A line
// feed is never part of a GBK character, so a stray lead byte before one (text that is not quite
// GBK) cannot join two lines.
std::vector<std::string_view> TextLines(std::string_view text);
