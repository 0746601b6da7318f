#pragma once
// Splitting, trimming and searching texts made of items (header lines, cookie items, lists).
//
// Texts are GBK bytes; a byte of 0x80 or above starts a two-byte character and no match begins on
// its trailing byte.

#include <string>
#include <string_view>

#include "text/text_slicing.h"

// Every `delimiter` ends one item (which may be empty); the rest after the last one is an item
// only when it is not empty. An empty text gives no items, an empty delimiter the whole text.
TextList SplitText(std::string_view text, std::string_view delimiter);

// Spaces are ASCII spaces and full-width spaces (A1 A1); tabs and line ends are not.
std::string Trim(std::string_view text);
// The same, and tabs and line ends too: text pasted into a one-line box.
std::string TrimBlanks(std::string_view text);
std::string RemoveAllSpaces(std::string_view text);

// Everything before the first `marker` found at or after `start`; empty when it is not found.
std::string TextBefore(std::string_view text, std::string_view marker, int start = 1,
                       bool ignoreCase = false);

// The bytes after the last `marker`; empty when it is not found.
std::string TextAfterLast(std::string_view text, std::string_view marker);

// The longest start of the text of at most `maxBytes` that ends on a character boundary (a lead
// byte is never kept without its trailing byte).
std::string_view CharacterPrefix(std::string_view text, size_t maxBytes);

// The 1-based index of the first item equal to `text`, or -1.
int IndexOfItem(const TextList& items, std::string_view text);
