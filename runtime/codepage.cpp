#include "runtime/codepage.h"

#include <windows.h>

#include <climits>

namespace {

constexpr UINT kGbk = 936;

std::string WideToGbkWithFlags(std::wstring_view wide, DWORD flags) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(kGbk, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(kGbk, flags, wide.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring GbkToWide(std::string_view gbk) {
  if (gbk.empty() || gbk.size() > INT_MAX) return {};
  const int size = static_cast<int>(gbk.size());
  const int n = MultiByteToWideChar(kGbk, 0, gbk.data(), size, nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(kGbk, 0, gbk.data(), size, out.data(), n);
  return out;
}

std::string WideToGbk(std::wstring_view wide) { return WideToGbkWithFlags(wide, 0); }

// Text of the program's own making is already composed; a page decoded from UTF-8 may carry "e"
// and a combining accent as two characters, which GBK would otherwise turn into "e?".
std::string WideToGbkComposed(std::wstring_view wide) { return WideToGbkWithFlags(wide, WC_COMPOSITECHECK); }
