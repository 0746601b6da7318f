#pragma once
#include <string>

// Creates every missing folder on `path` (GBK; a trailing backslash is added when missing) and
// returns whether the whole path exists afterwards. Existing folders are not an error. Works on
// GBK names under any system locale (each level is created with the wide API).
bool EnsureFolder(std::string path);
