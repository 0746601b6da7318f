#pragma once
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

// Writes `bytes` into a temporary file beside `path` (GBK) and then puts it in place of `path`, so
// that `path` holds either its old content or the whole new one, never a part.
bool ReplaceFileWhole(const std::string& path, std::string_view bytes);
