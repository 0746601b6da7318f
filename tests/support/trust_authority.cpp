// Trusts or stops trusting a certificate authority in this Wine prefix, for the scripts that run
// the program against the demo shop:  trust_authority add|remove <DER file (Windows path)>
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/root_store.h"

namespace {

std::string ReadWhole(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring verb = argc == 3 ? argv[1] : L"";
  if (verb != L"add" && verb != L"remove") {
    std::fputs("usage: trust_authority add|remove <DER file>\n", stderr);
    return 2;
  }
  const std::string der = ReadWhole(argv[2]);
  const bool done = verb == L"add" ? TrustAuthority(der) : DistrustAuthority(der);
  if (!done) std::fputs("trust_authority: the Root store refused the change\n", stderr);
  return done ? 0 : 1;
}
