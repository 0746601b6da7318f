#pragma once
// Files and folders of the Windows tests, by GBK Windows path.

#include <set>
#include <string>

bool FileExists(const std::string& path);
// The whole file's bytes; "(missing)" when it cannot be opened.
std::string ReadFileBytes(const std::string& path);
// Creates or replaces the file with `bytes`; false when it cannot be written whole.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// The names in a folder (a path ending with "\\"), without "." and "..".
std::set<std::string> ListFolder(const std::string& folder);
// The folder (ending with "\\") and everything in it.
void RemoveTree(const std::string& folder);
