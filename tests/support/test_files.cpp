#include "tests/support/test_files.h"

#include <windows.h>

#include "runtime/codepage.h"
#include "runtime/handles.h"

bool FileExists(const std::string& path) {
  return GetFileAttributesW(GbkToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path) {
  UniqueFile f(CreateFileW(GbkToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return "(missing)";
  std::string out;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  return out;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  UniqueFile f(CreateFileW(GbkToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return f && WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::set<std::string> ListFolder(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(GbkToWide(folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.insert(WideToGbk(name));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

void RemoveTree(const std::string& folder) {
  for (const std::string& name : ListFolder(folder)) {
    const std::string path = folder + name;
    if (GetFileAttributesW(GbkToWide(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY)
      RemoveTree(path + "\\");
    else
      DeleteFileW(GbkToWide(path).c_str());
  }
  RemoveDirectoryW(GbkToWide(folder).c_str());
}
