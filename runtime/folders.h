#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

// Creates every missing folder on `path` (GBK; a trailing backslash is added when missing) and
// returns whether the whole path exists afterwards. Existing folders are not an error. Works on
// GBK names under any system locale (each level is created with the wide API).
bool EnsureFolder(std::string path);

// The whole of a file of at most `maxBytes` (a wide path: any name, under any locale); false when
// it cannot be opened or read, or is larger.
bool ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string& bytes);

// What kept a file from being read whole.
enum class FileReadFailure {
  None,
  Missing,   // no such file (nor folder on its path)
  TooLarge,  // larger than asked for
  InUse,     // another program holds it open and shares no reading
  Other,     // any other failure: `systemError` tells
};
struct FileReading {
  FileReadFailure failure = FileReadFailure::None;
  unsigned long systemError = 0;
};
// As ReadSmallFile, saying why a file could not be read.
FileReading ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes);

// The one way a file is written whole: the parts, one after the other, go into a temporary file
// beside `path` (GBK), which is flushed to the disk and then put in place of `path`. So `path` holds
// either what it held or the whole new file, never a part, even after a crash or a power cut. The
// temporary file is held exclusively while it is written and removed on failure.
bool ReplaceFileWhole(const std::string& path, std::initializer_list<std::string_view> parts);
