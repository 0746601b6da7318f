// Trusts or stops trusting a certificate authority in this Wine prefix, for the scripts that run
// the program against the demo shop:  trust_authority add|remove <DER file (Windows path)>
#include <windows.h>

#include <cstdio>
#include <string>

#include "runtime/codepage.h"
#include "tests/support/root_store.h"
#include "tests/support/test_files.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring verb = argc == 3 ? argv[1] : L"";
  if (verb != L"add" && verb != L"remove") {
    std::fputs("usage: trust_authority add|remove <DER file>\n", stderr);
    return 2;
  }
  const std::string path = WideToGbk(argv[2]);
  if (!FileExists(path)) {
    std::fprintf(stderr, "trust_authority: no file %s\n", path.c_str());
    return 1;
  }
  const std::string der = ReadFileBytes(path);
  const bool done = verb == L"add" ? TrustAuthority(der) : DistrustAuthority(der);
  if (!done) std::fputs("trust_authority: the Root store refused the change\n", stderr);
  return done ? 0 : 1;
}
