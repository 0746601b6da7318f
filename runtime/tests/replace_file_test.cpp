// A file written whole holds its old content or the whole new one: never a part, never a leftover
// temporary file beside it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "runtime/codepage.h"
#include "runtime/folders.h"
#include "tests/support/test_files.h"

namespace {

std::string ScratchFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  return WideToGbk(temp) + "整体写入" + std::to_string(GetCurrentProcessId()) + "\\";
}

TEST(ReplaceFileWholeTest, TheFileIsOldOrWholeNew) {
  const std::string folder = ScratchFolder();
  ASSERT_TRUE(EnsureFolder(folder));
  const std::string big(3 << 20, 'x');
  const struct {
    const char* name;
    const char* before;  // nullptr: no file yet
    std::initializer_list<std::string_view> parts;
    const char* blocker;  // a folder of this name beside the file keeps it from being written
    bool written;
  } rows[] = {
      {"a new file", nullptr, {"abc", "", "def"}, nullptr, true},
      {"replacing a file", "old", {"new"}, nullptr, true},
      {"empty", "old", {}, nullptr, true},
      {"large parts", "old", {big, big}, nullptr, true},
      {"the temporary name taken", "old", {"new"}, ".part", false},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = folder + "文件" + std::to_string(++n) + ".txt";
    if (row.before) {
      ASSERT_TRUE(WriteFileBytes(path, row.before));
    }
    if (row.blocker) {
      ASSERT_TRUE(CreateDirectoryW(GbkToWide(path + row.blocker).c_str(), nullptr));
    }
    std::string whole;
    for (std::string_view part : row.parts) whole += part;
    EXPECT_EQ(ReplaceFileWhole(path, row.parts), row.written);
    EXPECT_EQ(ReadFileBytes(path), row.written ? whole : std::string(row.before ? row.before : "(missing)"));
    if (!row.blocker) {
      EXPECT_FALSE(FileExists(path + ".part"));
    }
  }
  RemoveTree(folder);
}

}  // namespace
