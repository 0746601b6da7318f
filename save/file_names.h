#pragma once
// Names the saver gives to folders and files, and the bytes it appends to every picture.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A text from a web page made safe as one file or folder name (GBK): no path separators, no
// characters Windows forbids, no control bytes, no ".." and no trailing dot or space, at most
// kMaxNameBytes bytes, and never a device name. An empty text stays empty; a text of which
// nothing usable remains becomes "_". Ordinary names come back unchanged.
std::string SafeFileName(std::string_view name);
inline constexpr size_t kMaxNameBytes = 120;

// `body` followed by `number` as a 32-bit little-endian integer.
std::string WithNumberTail(std::string body, std::uint32_t number);

// The picture file names (without ".jpg") for labels in row order: each label made safe, and a
// name already given in this list (Windows compares names without regard to ASCII case) followed
// by " (2)", " (3)", ... so that no file of one save overwrites another. The first keeps its name.
std::vector<std::string> DistinctFileNames(const std::vector<std::string>& labels);
