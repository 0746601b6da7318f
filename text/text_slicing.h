#pragma once
// Cutting page text between literal markers.
//
// Texts are GBK bytes. Positions are 1-based byte positions, lengths byte counts. A byte of 0x80 or
// above starts a two-byte character, and no match ever begins on its trailing byte.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

using TextList = std::vector<std::string>;

// First occurrence of `search` starting at or after `start`, or -1. A start below 1 means 1.
// An empty search text gives 1 when the searched remainder is not empty, else -1.
int Find(std::string_view text, std::string_view search, int start = 1, bool ignoreCase = false);

// At most `length` bytes from the 1-based `start`; empty when start lies outside the text.
std::string Mid(std::string_view text, int start, int length);

// The text between the first `left` found at or after `start` and the first `right` after it;
// empty when either is missing. "#引号" in either marker stands for a double quote.
std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start = 1, bool ignoreCase = false);

struct AllTextBetweenOptions {
  bool ignoreCase = false;
  int maxLength = 0;  // keep only items shorter than this (0: keep all)
  std::string prefix;
  std::string suffix;
  int includeLeft = 0;   // 1: the left marker is put in front of each item
  int includeRight = 0;  // 1: the right marker is put behind each item
  int start = 1;
  // Called after each piece, so a long cut lets the caller's window answer meanwhile; may be empty.
  std::function<void()> yield;
};

// Every piece between the markers, dressed with prefix and suffix, replaces `items`; returns the
// count. The next left marker is looked for right after the previous left marker, so pieces may
// overlap. Markers are taken literally. `yield` runs after each piece.
int AllTextBetween(std::string_view text, std::string_view left, std::string_view right,
                   TextList& items, const AllTextBetweenOptions& options = {});

// Non-overlapping occurrences of `search`; 0 when either text is empty.
int CountOccurrences(std::string_view text, std::string_view search, bool caseSensitive = false);

// Removes every block from `left` to the next `right` (keeping the markers themselves when
// keepMarkers is 1); `text` receives the result, which is also returned.
std::string RemoveBetween(std::string& text, std::string_view left, std::string_view right,
                          int keepMarkers = 0);
